#include "input/result_file.hpp"

#include <algorithm>
#include <cassert>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "input/gzip_bytes.hpp"
#include "input/plain_decimal.hpp"
#include "input/tab_records.hpp"
#include "platform/platform.hpp"
#include "run/console.hpp"

namespace {

void skip_white_space(ResultFile& file) {
  const std::size_t size = file.bytes.size();
  while (file.pos < size && is_white_space(file.bytes[file.pos])) {
    if (file.bytes[file.pos] == '\n') ++file.line;
    ++file.pos;
  }
}

// from_chars takes no leading plus sign where formatted input does; formatted input still refuses
// a plus sign directly followed by a minus sign ("+-5"), so that one is left for from_chars to
// refuse.
const char* skip_plus_sign(const char* first, const char* last) {
  if (first != last && *first == '+' && !(first + 1 != last && first[1] == '-')) return first + 1;
  return first;
}

// The common shape, when the general conversion follows: a number with an exponent is not plain.
const char* convert_plain_decimal(const char* first, const char* last, double& value) {
  PlainDecimal number{};
  const char* end = scan_plain_decimal(first, last, number);
  if (end == nullptr || (end != last && (*end == 'e' || *end == 'E'))) return nullptr;
  value = plain_decimal_value(number);
  return end;
}

}  // namespace

bool load_result_file(const char* name, ResultFile& file) {
  const int fd = open_regular_file(name);
  if (fd < 0) return false;
  // Size the buffer from the file's length, so that one read takes it all; a file that grows
  // while it is read is taken as far as it goes.
  FileBytes bytes(file_size(fd) + 1);
  std::size_t used = 0;
  bool read_whole = true;
  for (;;) {
    if (used == bytes.size()) bytes.resize(bytes.size() * 2);
    const std::ptrdiff_t got = read_file(fd, bytes.data() + used, bytes.size() - used);
    if (got <= 0) {
      read_whole = got == 0;
      break;
    }
    used += static_cast<std::size_t>(got);
  }
  close_file(fd);
  if (!read_whole) return false;
  bytes.resize(used);

  file.name = name;
  file.bytes = std::move(bytes);
  file.pos = 0;
  file.line = 1;
  if (is_gzip(file.bytes)) decompress_gzip(file);
  return true;
}

void load_or_refuse(const Console& console, const char* name, int32_t file_number,
                    ResultFile& file) {
  file.console = console;
  if (!load_result_file(name, file)) {
    if (file_number == 1) {
      print_failure(console, "can't open the data file: %s, press any key to exit\n", name);
    } else {
      print_failure(console, "can't open the data file: %s\n", name);
    }
    exit_after_failure(console, 1);
  }
}

void close_result_file(ResultFile& file) {
  file.bytes = FileBytes();
  file.pos = 0;
}

void skip_lines(ResultFile& file, int64_t count) {
  const int64_t target_line = file.line + std::max<int64_t>(count, 0);
  const char* data = file.bytes.data();
  const std::size_t size = file.bytes.size();
  for (int64_t i = 0; i < count; ++i) {
    const void* line_feed =
        file.pos < size ? std::memchr(data + file.pos, '\n', size - file.pos) : nullptr;
    if (line_feed == nullptr) {
      file.pos = size;
      reject_damaged_file(file, "expected the file to go on to line " +
                                    std::to_string(target_line) + ", found the end of the file");
    }
    file.pos = static_cast<std::size_t>(static_cast<const char*>(line_feed) - data) + 1;
    ++file.line;
  }
}

bool read_tab_field(ResultFile& file, const OffsetVector<char>& row, int32_t width) {
  assert(width >= 1 && row.lowest() == 0 && row.highest() >= width - 1);
  std::memset(row.block(), 0, static_cast<std::size_t>(width));
  const std::size_t room = static_cast<std::size_t>(width) - 1;
  const std::size_t limit = std::min(room, file.bytes.size() - file.pos);
  if (limit == 0) return false;
  const char* start = file.bytes.data() + file.pos;
  const void* tab = std::memchr(start, '\t', limit);
  if (tab == nullptr) return false;
  const std::size_t length = static_cast<std::size_t>(static_cast<const char*>(tab) - start) + 1;
  if (std::memchr(start, '\0', length) != nullptr) return false;
  std::memcpy(row.block(), start, length);
  file.line += std::count(start, start + length, '\n');
  file.pos += length;
  return true;
}

bool read_word(ResultFile& file, std::string& word) {
  skip_white_space(file);
  const std::size_t start = file.pos;
  while (file.pos < file.bytes.size() && !is_white_space(file.bytes[file.pos]))
    ++file.pos;
  word.assign(file.bytes.data() + start, file.pos - start);
  return file.pos > start;
}

bool read_int32(ResultFile& file, int32_t& value) {
  skip_white_space(file);
  const char* first = file.bytes.data() + file.pos;
  const char* last = file.bytes.data() + file.bytes.size();
  const char* number = skip_plus_sign(first, last);
  auto [end, error] = std::from_chars(number, last, value);
  // A minus sign alone is no number, and neither is one that does not fit in 32 bits.
  if (error != std::errc()) return false;
  file.pos += static_cast<std::size_t>(end - first);
  return true;
}

bool read_real(ResultFile& file, double& value) {
  skip_white_space(file);
  const char* first = file.bytes.data() + file.pos;
  const char* last = file.bytes.data() + file.bytes.size();
  const char* number = skip_plus_sign(first, last);
  const char* end = convert_plain_decimal(number, last, value);
  if (end == nullptr) {
    std::from_chars_result result =
        std::from_chars(number, last, value, std::chars_format::general);
    if (result.ec == std::errc::invalid_argument) return false;
    if (result.ec == std::errc::result_out_of_range) {
      // Formatted input turns a number beyond the range of a double into infinity, and one too
      // small into zero; strtod on the same characters does just that.
      value = std::strtod(std::string(number, result.ptr).c_str(), nullptr);
    }
    end = result.ptr;
    // Text for a value that is not finite (nan, inf, infinity) and a number beyond the range of a
    // double are no measurement: the field is damaged.
    if (!std::isfinite(value)) return false;
  }
  file.pos += static_cast<std::size_t>(end - first);
  return true;
}

bool read_char(ResultFile& file, char& c) {
  if (file.pos >= file.bytes.size()) return false;
  c = file.bytes[file.pos++];
  if (c == '\n') ++file.line;
  return true;
}

bool rest_of_line_is_blank(const ResultFile& file) {
  for (std::size_t i = file.pos; i < file.bytes.size() && file.bytes[i] != '\n'; ++i) {
    if (!is_white_space(file.bytes[i])) return false;
  }
  return true;
}

std::string describe_next_word(const ResultFile& file) {
  std::size_t first = file.pos;
  while (first < file.bytes.size() && is_white_space(file.bytes[first]))
    ++first;
  if (first == file.bytes.size()) return "the end of the file";
  std::size_t last = first;
  while (last < file.bytes.size() && !is_white_space(file.bytes[last]))
    ++last;
  return shown_text(std::string_view(file.bytes.data() + first, last - first));
}

void reject_damaged_file(const ResultFile& file, const std::string& detail) {
  print_failure(file.console, "\nthe data file %s is damaged at line %lld: %s\n", file.name.c_str(),
                static_cast<long long>(file.line), detail.c_str());
  exit_after_failure(file.console, 1);
}

void reject_tab_field(const ResultFile& file, int32_t width, const std::string& what) {
  const std::size_t room = static_cast<std::size_t>(width) - 1;
  const std::size_t limit = std::min(room, file.bytes.size() - file.pos);
  const char* start = file.bytes.data() + file.pos;
  if (limit > 0 && std::memchr(start, '\t', limit) != nullptr) {
    reject_damaged_file(file, "expected text without zero bytes (" + what + ")");
  }
  std::string detail = "expected a tab-ended field of at most " + std::to_string(room) +
                       " characters (" + what + ")";
  // No tab came within the room; if the file holds less than that, it was the end that came.
  if (file.bytes.size() - file.pos < room) detail += ", found the end of the file";
  reject_damaged_file(file, detail);
}
