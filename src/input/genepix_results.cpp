// GenePix results (.gpr), an Axon Text File: "ATF" and a version on line 1; on line 2 the number
// n of header records and the number of data columns; n records Key=Value, each on its own line
// and maybe in double quotes (a quoted record may hold tabs, and line ends too); then the record
// of column titles and one row per feature.
#include <algorithm>
#include <cmath>

#include "input/column_table.hpp"
#include "input/format_readers.hpp"

namespace {

// The header records a report may echo.
constexpr const char* kKeptKeys[] = {"Type", "DateTime", "Creator", "Scanner"};

// What a record that should have been there holds instead, for messages.
std::string found(bool read, const Record& record) {
  return read ? shown_text(record_view(record)) : std::string("the end of the file");
}

void read_atf_lines(ResultFile& file, Record& record, int32_t& header_records) {
  bool read = read_record(file, true, record);
  if (!read || field_text(record.fields[0]).rfind("ATF", 0) != 0) {
    file.line = 1;
    reject_damaged_file(file,
                        "expected ATF and its version on line 1, found " + found(read, record));
  }
  int32_t columns = 0;
  read = read_record(file, true, record);
  if (!read || record.fields.size() < 2 ||
      parse_integer(field_text(record.fields[0]), header_records) != NumberText::kNumber ||
      parse_integer(field_text(record.fields[1]), columns) != NumberText::kNumber ||
      header_records < 0 || columns < 1) {
    file.line = 2;
    reject_damaged_file(file,
                        "expected the number of header records and the number of columns on "
                        "line 2, found " +
                            found(read, record));
  }
}

}  // namespace

Titles read_atf_header(ResultFile& file, SlideTable* table) {
  Record record;
  int32_t header_records = 0;
  read_atf_lines(file, record, header_records);
  const std::string count = std::to_string(header_records);
  for (int32_t i = 1; i <= header_records; ++i) {
    if (!read_record(file, true, record)) {
      reject_damaged_file(file, "expected " + count + " header records as line 2 says, found " +
                                    std::to_string(i - 1) + " and the end of the file");
    }
    const std::string text = field_text(record.fields[0]);
    const std::size_t equals = text.find('=');
    if (equals == std::string::npos) {
      file.line = record.line;
      reject_damaged_file(file, "expected header record " + std::to_string(i) + " of the " + count +
                                    " that line 2 says (Key=Value), found " +
                                    shown_text(record_view(record)));
    }
    const std::string key = text.substr(0, equals);
    if (table != nullptr &&
        std::find(std::begin(kKeptKeys), std::end(kKeptKeys), key) != std::end(kKeptKeys)) {
      table->header.emplace_back(key, text.substr(equals + 1));
    }
  }
  if (!read_record(file, true, record)) {
    reject_damaged_file(file, "expected the column titles after the " + count +
                                  " header records that line 2 says, found the end of the file");
  }
  if (field_text(record.fields[0]).find('=') != std::string::npos) {
    file.line = record.line;
    reject_damaged_file(file, "expected the column titles after the " + count +
                                  " header records that line 2 says, found the header record " +
                                  shown_text(field_text(record.fields[0])));
  }
  return titles_of(record);
}

namespace {

// GenePix files do not say how their blocks lie on the slide. The blocks are numbered row by row
// over it, left to right, so along the block numbers the mean X of a block's spots grows within a
// row of blocks and falls back at the start of the next row: the blocks before the first fall make
// up one row. That count is taken only when it divides the number of blocks and every row of
// blocks shows the same pattern (X growing along the row, falling back at its start, and the mean
// Y growing from row to row); otherwise, and in a file without X and Y, the blocks stay one row.
void infer_block_grid(const SpotPositions& positions, SlideTable& table) {
  if (positions.x.empty()) return;
  const int32_t blocks = *std::max_element(table.block.begin(), table.block.end());
  std::vector<double> x(static_cast<std::size_t>(blocks), 0.0);
  std::vector<double> y(x.size(), 0.0);
  std::vector<int64_t> spots(x.size(), 0);
  for (std::size_t s = 0; s < table.block.size(); ++s) {
    const auto b = static_cast<std::size_t>(table.block[s] - 1);
    x[b] += positions.x[s];
    y[b] += positions.y[s];
    ++spots[b];
  }
  for (std::size_t b = 0; b < x.size(); ++b) {
    if (spots[b] == 0) return;  // a block without spots has no place
    x[b] /= static_cast<double>(spots[b]);
    y[b] /= static_cast<double>(spots[b]);
  }
  int32_t columns = 1;
  while (columns < blocks && x[static_cast<std::size_t>(columns)] > x[columns - 1])
    ++columns;
  if (blocks % columns != 0) return;
  for (int32_t b = 1; b < blocks; ++b) {
    const auto i = static_cast<std::size_t>(b);
    const bool row_start = b % columns == 0;
    if (row_start ? !(x[i] < x[i - 1] && y[i] > y[i - columns]) : !(x[i] > x[i - 1])) return;
  }
  table.block_rows = blocks / columns;
  table.block_columns = columns;
}

}  // namespace

SlideTable read_genepix_results(ResultFile& file, const ReadChoices& choices,
                                bool with_annotations) {
  SlideTable table;
  table.format = SlideFormat::kGenePix;
  const Titles titles = read_atf_header(file, &table);

  const bool median = choices.signal == SignalChoice::kMedian;
  ColumnPlan plan;
  plan.r = require_column(file, titles, median ? "F635 Median" : "F635 Mean");
  plan.g = require_column(file, titles, median ? "F532 Median" : "F532 Mean");
  plan.rb = require_column(file, titles, "B635 Median");
  plan.gb = require_column(file, titles, "B532 Median");
  plan.block = require_column(file, titles, "Block");
  plan.row = require_column(file, titles, "Row");
  plan.column = require_column(file, titles, "Column");
  plan.flag = find_column(titles, "Flags");
  plan.flag_rule = FlagRule::kNegative;
  plan.x = find_column(titles, "X");
  plan.y = find_column(titles, "Y");
  if (with_annotations) {
    plan.id = id_column(file, titles, choices, "ID");
    plan.name = find_column(titles, "Name");
  }
  const SpotPositions positions =
      read_spot_rows(file, titles, plan, nullptr, true, with_annotations, table);
  check_block_numbers(file, titles, table);
  infer_block_grid(positions, table);
  return table;
}
