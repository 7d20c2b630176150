#include "input/field_values.hpp"

#include "input/plain_decimal.hpp"

#include <charconv>
#include <cmath>
#include <cstdlib>

namespace {

// The text without the blanks around it and without a leading plus sign (from_chars takes none).
std::string_view number_part(std::string_view text) {
  while (!text.empty() && is_white_space(text.front()))
    text.remove_prefix(1);
  while (!text.empty() && is_white_space(text.back()))
    text.remove_suffix(1);
  if (text.size() > 1 && text.front() == '+' && text[1] != '-') text.remove_prefix(1);
  return text;
}

[[noreturn]] void reject_field(ResultFile& file, const Record& record, const Column& column,
                               NumberText problem, const char* expected) {
  const std::string_view text = record.fields[static_cast<std::size_t>(column.index)].view();
  const std::string where = " in column \"" + column.title + "\"";
  file.line = record.line;
  switch (problem) {
    case NumberText::kEmpty:
      reject_damaged_file(file, std::string("expected ") + expected + where +
                                    ", found an empty field (a missing value, which R reads as "
                                    "NA; Corvane needs every value)");
    case NumberText::kNotFinite:
      reject_damaged_file(
          file, std::string("expected a finite number") + where + ", found " + shown_text(text));
    default:
      reject_damaged_file(
          file, std::string("expected ") + expected + where + ", found " + shown_text(text));
  }
}

}  // namespace

NumberText parse_real(std::string_view text, double& value) {
  text = number_part(text);
  if (text.empty()) return NumberText::kEmpty;
  const char* const first = text.data();
  const char* const last = first + text.size();
  // Most fields are plain decimals, which one exact division converts (plain_decimal.hpp).
  PlainDecimal plain;
  if (scan_plain_decimal(first, last, plain) == last) {
    value = plain_decimal_value(plain);
    return NumberText::kNumber;
  }
  const auto [end, error] = std::from_chars(first, last, value, std::chars_format::general);
  if (end != last || error == std::errc::invalid_argument) return NumberText::kNotANumber;
  if (error == std::errc::result_out_of_range) {
    // Beyond the range of a double, or too small for one: strtod on the same characters tells
    // which (infinity or zero). Rare, so the copy does not matter.
    value = std::strtod(std::string(text).c_str(), nullptr);
  }
  return std::isfinite(value) ? NumberText::kNumber : NumberText::kNotFinite;
}

NumberText parse_integer(std::string_view text, int32_t& value) {
  text = number_part(text);
  if (text.empty()) return NumberText::kEmpty;
  const char* const first = text.data();
  const char* const last = first + text.size();
  const auto [end, error] = std::from_chars(first, last, value);
  if (end != last || error != std::errc()) return NumberText::kNotANumber;
  return NumberText::kNumber;
}

double real_field(ResultFile& file, const Record& record, const Column& column) {
  double value = 0.0;
  const NumberText outcome =
      parse_real(record.fields[static_cast<std::size_t>(column.index)].view(), value);
  if (outcome != NumberText::kNumber) reject_field(file, record, column, outcome, "a number");
  return value;
}

int32_t integer_field(ResultFile& file, const Record& record, const Column& column, int32_t least) {
  int32_t value = 0;
  const NumberText outcome =
      parse_integer(record.fields[static_cast<std::size_t>(column.index)].view(), value);
  if (outcome != NumberText::kNumber || value < least) {
    const std::string expected = least == INT32_MIN
                                     ? "a whole number"
                                     : "a whole number of at least " + std::to_string(least);
    reject_field(file, record, column,
                 outcome == NumberText::kNumber ? NumberText::kNotANumber : outcome,
                 expected.c_str());
  }
  return value;
}
