// The targets file (--targets): the arrays of the run, one row each, with the file that holds
// the array and, optionally, the samples in its two channels, as limma's readTargets reads it.
#include <filesystem>
#include <string>

#include "app/command_line.hpp"
#include "input/text_table.hpp"

namespace {

// The column of that heading, or -1.
int column_of(const TextTable& table, const std::string& heading) {
  for (std::size_t c = 0; c < table.headings.size(); ++c)
    if (table.headings[c] == heading) return static_cast<int>(c);
  return -1;
}

}  // namespace

bool take_targets(CommandLine& options, Experiment& experiment, std::string& error) {
  if (options.targets.empty()) return true;
  const std::string role = "targets file '" + options.targets + "'";
  if (!options.files.empty()) {
    error = "the " + role + " names the result files: give them there, not on the command line";
    return false;
  }
  TextTable table;
  if (!read_text_table(options.targets, role, table, error)) return false;
  const int file_column = column_of(table, "FileName");
  const int cy3_column = column_of(table, "Cy3");
  const int cy5_column = column_of(table, "Cy5");
  if (file_column < 0) {
    error = "the " + role +
            " has no column FileName: its heading must name the column of the "
            "result files";
    return false;
  }
  if ((cy3_column < 0) != (cy5_column < 0)) {
    error = "the " + role + " has a column " +
            (cy3_column < 0 ? "Cy5 but no Cy3" : "Cy3 but no Cy5") +
            ": give the samples of both channels, or neither";
    return false;
  }
  if (table.rows.empty()) {
    error = "the " + role + " names no array";
    return false;
  }
  // The files are named from the targets file's folder.
  const std::filesystem::path folder = std::filesystem::path(options.targets).parent_path();
  for (std::size_t row = 0; row < table.rows.size(); ++row) {
    const std::vector<std::string>& fields = table.rows[row];
    const std::string where = "the " + role + ", line " + std::to_string(table.lines[row]);
    if (fields[static_cast<std::size_t>(file_column)].empty()) {
      error = where + ": the FileName is empty";
      return false;
    }
    const std::filesystem::path file(fields[static_cast<std::size_t>(file_column)]);
    options.files.push_back((file.is_absolute() || folder.empty() ? file : folder / file).string());
    if (cy3_column < 0) continue;
    for (const int column : {cy3_column, cy5_column}) {
      if (!fields[static_cast<std::size_t>(column)].empty()) continue;
      error = where + ": the " + table.headings[static_cast<std::size_t>(column)] +
              " sample is empty: name the sample in every channel";
      return false;
    }
    experiment.cy3.push_back(fields[static_cast<std::size_t>(cy3_column)]);
    experiment.cy5.push_back(fields[static_cast<std::size_t>(cy5_column)]);
  }
  return true;
}
