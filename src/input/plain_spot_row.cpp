#include "input/plain_spot_row.hpp"

#include <cstring>

#include "input/plain_decimal.hpp"
#include "run/run.hpp"

namespace {

constexpr int kPositionColumns = 5;
constexpr int kNumbersPerRow = 11;
// Nine digits always fit in 32 bits.
constexpr std::ptrdiff_t kMostIntegerDigits = 9;

// The integer scanners below run inside one line whose line feed is known to be there: it stops
// every loop over characters, so they need no test for the end of the text.

bool is_blank_or_tab(char c) {
  return c == ' ' || c == '\t';
}

const char* skip_blanks_and_tabs(const char* p) {
  while (is_blank_or_tab(*p))
    ++p;
  return p;
}

// 1 to 9 digits, no sign, followed by a blank or a tab; returns the end of the digits or null.
const char* scan_short_integer(const char* p, int32_t& value) {
  const char* const first = p;
  // Unsigned, so that more digits than fit wrap harmlessly before the count refuses them.
  uint32_t digits = 0;
  while (is_decimal_digit(*p))
    digits = digits * 10 + static_cast<uint32_t>(*p++ - '0');
  if (p == first || p - first > kMostIntegerDigits || !is_blank_or_tab(*p)) return nullptr;
  value = static_cast<int32_t>(digits);
  return p;
}

}  // namespace

bool read_plain_spot_row(ResultFile& file, PlainSpotRow& row) {
  const char* const data = file.bytes.data();
  const char* const last = data + file.bytes.size();
  const char* p = data + file.pos;

  // The end of the previous row.
  int64_t line_feeds = 0;
  while (p != last && is_white_space(*p)) {
    if (*p == '\n') ++line_feeds;
    ++p;
  }
  // The last row of a file without a line end is left to the general readers.
  const auto* line_end = static_cast<const char*>(std::memchr(p, '\n', last - p));
  if (line_end == nullptr) return false;

  int32_t column[kPositionColumns];
  for (int i = 0; i < kPositionColumns; ++i) {
    if (i > 0) p = skip_blanks_and_tabs(p);
    p = scan_short_integer(p, column[i]);
    if (p == nullptr) return false;
  }
  ++p;  // the separator, a blank or a tab

  const char* const name = p;
  while (*p != '\t' && *p != '\n' && *p != '\0')
    ++p;
  if (*p != '\t' || p - name + 1 > SPOT_NAME_WIDTH - 1) return false;
  const char* const name_end = ++p;

  PlainDecimal number[kNumbersPerRow];
  for (auto& n : number) {
    p = scan_plain_decimal(skip_blanks_and_tabs(p), line_end, n);
    if (p == nullptr || !is_white_space(*p)) return false;
  }
  if (!(p == line_end || (*p == '\r' && p + 1 == line_end))) return false;

  for (int i = 0; i < 4; ++i)
    row.position[i] = column[i + 1];
  row.name = name;
  row.name_length = static_cast<std::size_t>(name_end - name);
  row.ch1_intensity = plain_decimal_value(number[2]);
  row.ch1_background = plain_decimal_value(number[3]);
  row.ch2_intensity = plain_decimal_value(number[6]);
  row.ch2_background = plain_decimal_value(number[7]);
  file.pos = static_cast<std::size_t>(p - data);
  file.line += line_feeds;
  return true;
}
