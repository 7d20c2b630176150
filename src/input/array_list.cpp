// The GenePix array list (.gal): the ATF layout of GenePix results, with the header records
// BlockCount, Block1=..., and the titles Block, Row, Column, ID and Name, one row per place of the
// array. It names the spots of files that carry no names (SPOT), or replaces their names.
#include <algorithm>
#include <cstdio>
#include <numeric>

#include "input/format_readers.hpp"

namespace {

// A place packed into one number, to sort and look up: block, row and column are positive 32-bit
// integers, so 31 bits each would need 93; 21 bits for each keep every real array (at most two
// million blocks, rows and columns) apart, and larger numbers are refused as they are read.
constexpr int32_t kLargestPlaceNumber = (1 << 21) - 1;

uint64_t place_key(int32_t block, int32_t row, int32_t column) {
  return uint64_t(block) << 42 | uint64_t(row) << 21 | uint64_t(column);
}

std::string place_text(int32_t block, int32_t row, int32_t column) {
  return "block " + std::to_string(block) + ", row " + std::to_string(row) + ", column " +
         std::to_string(column);
}

int32_t place_number(ResultFile& file, const Record& record, const Column& column) {
  const int32_t value = integer_field(file, record, column, 1);
  if (value > kLargestPlaceNumber) {
    file.line = record.line;
    reject_damaged_file(file, "expected a number of at most " +
                                  std::to_string(kLargestPlaceNumber) + " in column \"" +
                                  column.title + "\", found " + std::to_string(value));
  }
  return value;
}

[[noreturn]] void reject_mismatch(const ArrayList& list, const std::string& slide_name,
                                  const SlideTable& table, const std::string& what) {
  // %lld rather than %zu, which MinGW-w64's printf does not know.
  print_failure(list.console,
                "\nthe array list %s does not match %s: %s (the list has %lld places, the file "
                "%lld spots)\n",
                list.file_name.c_str(), slide_name.c_str(), what.c_str(),
                static_cast<long long>(list.block.size()), static_cast<long long>(table.spots));
  exit_after_failure(list.console, 1);
}

}  // namespace

ArrayList read_array_list(ResultFile& file) {
  ArrayList list;
  list.file_name = file.name;
  list.console = file.console;
  file.pos = 0;
  file.line = 1;
  const Titles titles = read_atf_header(file, nullptr);
  const Column block = require_column(file, titles, "Block");
  const Column row = require_column(file, titles, "Row");
  const Column column = require_column(file, titles, "Column");
  const Column id = require_column(file, titles, "ID");
  const Column name = require_column(file, titles, "Name");

  std::vector<int64_t> lines;
  Record record;
  while (read_record(file, true, record)) {
    if (record_is_blank(record)) continue;
    if (record.fields.size() < titles.width || filled_width(record) > titles.width) {
      file.line = record.line;
      reject_damaged_file(
          file, "expected " + std::to_string(titles.width) +
                    " fields as the column titles on line " + std::to_string(titles.line) +
                    " have, found " +
                    std::to_string(record.fields.size() < titles.width ? record.fields.size()
                                                                       : filled_width(record)));
    }
    list.block.push_back(place_number(file, record, block));
    list.row.push_back(place_number(file, record, row));
    list.column.push_back(place_number(file, record, column));
    list.id.push_back(field_text(record.fields[static_cast<std::size_t>(id.index)]));
    list.name.push_back(field_text(record.fields[static_cast<std::size_t>(name.index)]));
    lines.push_back(record.line);
  }
  if (list.block.empty()) {
    reject_damaged_file(file,
                        "expected the rows of the array list after the column titles on "
                        "line " +
                            std::to_string(titles.line) + ", found the end of the file");
  }

  // A place listed twice would name its spot twice.
  std::vector<std::size_t> order(list.block.size());
  std::iota(order.begin(), order.end(), 0);
  const auto key = [&list](std::size_t i) {
    return place_key(list.block[i], list.row[i], list.column[i]);
  };
  std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
    return key(a) != key(b) ? key(a) < key(b) : a < b;
  });
  for (std::size_t i = 1; i < order.size(); ++i) {
    if (key(order[i]) == key(order[i - 1])) {
      file.line = lines[order[i]];
      reject_damaged_file(
          file, "expected each place once, found " +
                    place_text(list.block[order[i]], list.row[order[i]], list.column[order[i]]) +
                    " again (first on line " + std::to_string(lines[order[i - 1]]) + ")");
    }
  }
  return list;
}

void apply_array_list(const ArrayList& list, SlideTable& table, const std::string& slide_name) {
  std::vector<std::pair<uint64_t, std::size_t>> places(list.block.size());
  for (std::size_t i = 0; i < places.size(); ++i)
    places[i] = {place_key(list.block[i], list.row[i], list.column[i]), i};
  std::sort(places.begin(), places.end());

  std::vector<std::string> ids(static_cast<std::size_t>(table.spots));
  std::vector<std::string> names(ids.size());
  std::vector<uint8_t> used(places.size(), 0);
  for (std::size_t s = 0; s < ids.size(); ++s) {
    const int32_t block = table.block[s], row = table.row[s], column = table.column[s];
    const bool fits =
        block <= kLargestPlaceNumber && row <= kLargestPlaceNumber && column <= kLargestPlaceNumber;
    const auto found = std::lower_bound(places.begin(), places.end(),
                                        std::pair{place_key(block, row, column), std::size_t{0}});
    if (!fits || found == places.end() || found->first != place_key(block, row, column)) {
      reject_mismatch(list, slide_name, table,
                      "spot " + std::to_string(s + 1) + " at " + place_text(block, row, column) +
                          " is not in the list");
    }
    const auto entry = static_cast<std::size_t>(found - places.begin());
    if (used[entry] != 0) {
      reject_mismatch(list, slide_name, table,
                      "two spots stand at " + place_text(block, row, column));
    }
    used[entry] = 1;
    ids[s] = list.id[found->second];
    names[s] = list.name[found->second];
  }
  for (std::size_t i = 0; i < list.block.size(); ++i) {
    const std::size_t entry = static_cast<std::size_t>(
        std::lower_bound(
            places.begin(), places.end(),
            std::pair{place_key(list.block[i], list.row[i], list.column[i]), std::size_t{0}}) -
        places.begin());
    if (used[entry] == 0) {
      reject_mismatch(
          list, slide_name, table,
          "the list's " + place_text(list.block[i], list.row[i], list.column[i]) + " has no spot");
    }
  }
  table.id = std::move(ids);
  table.name = std::move(names);
}
