#include "input/text_table.hpp"

#include <string_view>

#include "input/result_file.hpp"

namespace {

// The fields of one line, quotes removed and comments cut; false when a quote is not closed.
bool split_line(std::string_view line, std::vector<std::string>& fields) {
  fields.assign(1, std::string());
  bool quoted = false;
  for (std::size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (quoted) {
      if (c == '"' && i + 1 < line.size() && line[i + 1] == '"') {
        fields.back() += '"';
        ++i;
      } else if (c == '"') {
        quoted = false;
      } else {
        fields.back() += c;
      }
    } else if (c == '"') {
      quoted = true;
    } else if (c == '#') {
      break;
    } else if (c == '\t') {
      fields.emplace_back();
    } else {
      fields.back() += c;
    }
  }
  return !quoted;
}

bool blank(const std::vector<std::string>& fields) {
  for (const std::string& field : fields)
    if (field.find_first_not_of(" \r") != std::string::npos) return false;
  return true;
}

}  // namespace

bool read_text_table(const std::string& path, const std::string& role, TextTable& table,
                     std::string& error) {
  ResultFile file;
  if (!load_result_file(path.c_str(), file)) {
    error = "cannot read the " + role + ": a readable tab-separated file is expected";
    return false;
  }
  const std::string_view text(file.bytes.data(), file.bytes.size());
  std::vector<std::string> fields;
  int64_t line_number = 0;
  for (std::size_t start = 0; start < text.size();) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    start = end + 1;
    ++line_number;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    const std::string where = "the " + role + ", line " + std::to_string(line_number);
    if (!split_line(line, fields)) {
      error = where + ": a double quote is not closed";
      return false;
    }
    if (blank(fields)) continue;
    if (table.headings.empty()) {
      table.headings = fields;
      continue;
    }
    // A table written with row names, as R writes one, has a heading one field shorter than its
    // rows: the first column is the rows' names, with an empty heading.
    if (table.rows.empty() && fields.size() == table.headings.size() + 1)
      table.headings.insert(table.headings.begin(), std::string());
    if (fields.size() != table.headings.size()) {
      error = where + ": " + std::to_string(fields.size()) + " fields where the heading has " +
              std::to_string(table.headings.size());
      return false;
    }
    table.rows.push_back(fields);
    table.lines.push_back(line_number);
  }
  if (table.headings.empty()) {
    error = "the " + role + " holds no heading line";
    return false;
  }
  return true;
}
