// The result files of the formats other than the scanner's: every file's table read into the
// slide arrays, each file checked against the first for its format and layout, the spots named by
// the array list when one is given.
#include <algorithm>
#include <cstring>
#include <string>

#include "input/input.hpp"
#include "input/slide_table.hpp"
#include "run/run.hpp"
#include "run/shared_work.hpp"

namespace {

// Where the first file's spots lie, which every later file must repeat.
struct FirstLayout {
  std::vector<int32_t> block, row, column;
};

[[noreturn]] void refuse(const Run& run, const std::string& message) {
  print_failure(run.options.console, "%s\n", message.c_str());
  exit_after_failure(run.options.console, 1);
}

// The name with the tab that ends every name in the run's arrays; a name too long for its row is
// cut, as it is only shown.
void store_name(const OffsetVector<char>& row, const std::string& name) {
  const std::size_t length = std::min<std::size_t>(name.size(), SPOT_NAME_WIDTH - 2);
  std::memcpy(row.block(), name.data(), length);
  row[static_cast<int32_t>(length)] = '\t';
  std::memset(row.block() + length + 1, 0, SPOT_NAME_WIDTH + 1 - (length + 1));
}

// The header values and spot arrays of the run, from its first file.
void take_layout(Run& run, const SlideTable& table, FirstLayout& first) {
  Slides& slides = run.slides;
  const char* name = run.options.FileNames[1].block();
  if (table.spots < 1 || table.spots > INT32_MAX / 2) {
    refuse(run, std::string("the data file ") + name + " holds " +
                    (table.spots < 1 ? "no spot" : "more spots than a run can take"));
  }
  slides.TotalSpots = static_cast<int32_t>(table.spots);
  slides.ArrayRows = table.block_rows;
  slides.ArrayColumns = table.block_columns;
  slides.Rows = *std::max_element(table.row.begin(), table.row.end());
  slides.Columns = *std::max_element(table.column.begin(), table.column.end());
  slides.ArraySpots = slides.TotalSpots / std::max(1, table.block_rows * table.block_columns);
  create_spot_arrays(run);
  for (int32_t s = 1; s <= slides.TotalSpots; ++s) {
    const auto i = static_cast<std::size_t>(s - 1);
    const int32_t block = table.block[i] - 1;
    slides.spot_array_row[s] = block / table.block_columns + 1;
    slides.spot_array_col[s] = block % table.block_columns + 1;
    slides.spot_row[s] = table.row[i];
    slides.spot_col[s] = table.column[i];
    store_name(slides.spot_name[s], table.name.empty() ? std::string() : table.name[i]);
  }
  slides.spot_id = table.id;
  slides.spot_control = table.control;
  if (slides.spot_control.empty()) slides.spot_control.assign(table.r.size(), 0);
  if (!run.formats.ignore_flags && !table.flagged.empty()) {
    slides.spot_flagged = cmatrix(1, run.options.FileCount, 1, slides.TotalSpots);
  }
  first.block = table.block;
  first.row = table.row;
  first.column = table.column;
  if (run.formats.genes_by_id && std::all_of(slides.spot_id.begin(), slides.spot_id.end(),
                                             [](const std::string& id) { return id.empty(); })) {
    refuse(run, std::string("the data file ") + name +
                    " gives no spot an ID to group the spots into genes by: name the spots with "
                    "--array-list, take the IDs from another column with --id, or group R "
                    "consecutive spots with --replicates R");
  }
}

// A later file must hold the first file's spots in the first file's places.
void check_layout(const Run& run, const SlideTable& table, const FirstLayout& first, int32_t k) {
  const std::string name = run.options.FileNames[k].block();
  const std::string first_name = run.options.FileNames[1].block();
  if (table.spots != run.slides.TotalSpots) {
    refuse(run, "the data file " + name + " holds " + std::to_string(table.spots) +
                    " spots and the first file, " + first_name + ", " +
                    std::to_string(run.slides.TotalSpots) +
                    ": the files of one run must share one layout");
  }
  for (std::size_t i = 0; i < first.block.size(); ++i) {
    if (table.block[i] == first.block[i] && table.row[i] == first.row[i] &&
        table.column[i] == first.column[i])
      continue;
    const auto place = [](int32_t block, int32_t row, int32_t column) {
      return "block " + std::to_string(block) + ", row " + std::to_string(row) + ", column " +
             std::to_string(column);
    };
    refuse(run, "the data file " + name + " holds spot " + std::to_string(i + 1) + " at " +
                    place(table.block[i], table.row[i], table.column[i]) + " and the first file, " +
                    first_name + ", at " + place(first.block[i], first.row[i], first.column[i]) +
                    ": the files of one run must share one layout");
  }
}

// Channel 1 is the green channel (Cy3) and channel 2 the red (Cy5), so that ratio 1, channel 2
// over channel 1, is red over green.
void store_values(Run& run, const SlideTable& table, int32_t k) {
  Slides& slides = run.slides;
  for (int32_t s = 1; s <= slides.TotalSpots; ++s) {
    const auto i = static_cast<std::size_t>(s - 1);
    slides.ch1_fg[k][s] = table.g[i];
    slides.ch1_bg[k][s] = table.gb[i];
    slides.ch2_fg[k][s] = table.r[i];
    slides.ch2_bg[k][s] = table.rb[i];
    if (slides.spot_flagged.row_table().block() != nullptr)
      slides.spot_flagged[k][s] = static_cast<char>(table.flagged[i] != 0);
  }
  slides.file_facts[static_cast<std::size_t>(k - 1)] = table.header;
}

// A later file: of the first file's format and layout, its values stored in its own rows.
void read_later_file(Run& run, int32_t k, const FirstLayout& first) {
  Slides& slides = run.slides;
  const char* name = run.options.FileNames[k].block();
  ResultFile file;
  const SlideFormat format = open_slide_file(run.options.console, name, k, run.formats.read, file);
  if (format != slides.format) {
    refuse(run, std::string("the data file ") + name + " holds " + format_title(format) +
                    " and the first file, " + run.options.FileNames[1].block() + ", " +
                    format_title(slides.format) + ": the files of one run must share one format");
  }
  const SlideTable table = read_slide_table(file, slides.format, run.formats.read, false);
  close_result_file(file);
  check_layout(run, table, first, k);
  store_values(run, table, k);
}

}  // namespace

void read_slide_files(Run& run) {
  Slides& slides = run.slides;
  const Console& console = run.options.console;
  slides.file_facts.assign(static_cast<std::size_t>(run.options.FileCount), {});
  // The first file gives the layout, the IDs and the names.
  ResultFile file = std::move(slides.first_file);
  SlideTable table = read_slide_table(file, slides.format, run.formats.read, true);
  close_result_file(file);
  if (!run.formats.array_list.empty()) {
    ResultFile list_file;
    list_file.console = console;
    load_or_refuse(console, run.formats.array_list.c_str(), 0, list_file);
    apply_array_list(read_array_list(list_file), table, run.options.FileNames[1].block());
  }
  FirstLayout first;
  take_layout(run, table, first);
  store_values(run, table, 1);
  table = SlideTable();

  // The later files are independent of each other and shared among the threads, each writing
  // only its own rows. A failure is kept until every file is read, and the first in file order
  // is told, as reading them one after another would tell it.
  const int32_t later = run.options.FileCount - 1;
  std::vector<DeferredFailure> failures(static_cast<std::size_t>(later));
  share_among_threads<NoScratch>(
      later, run.options.threads, [&run, &first, &failures](int32_t i, NoScratch&) {
        failures[static_cast<std::size_t>(i - 1)] =
            with_failures_deferred([&run, &first, i] { read_later_file(run, i + 1, first); });
      });
  for (const DeferredFailure& failure : failures)
    if (failure.met) end_with_failure(console, failure);
}
