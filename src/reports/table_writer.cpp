#include "reports/table_writer.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>

#include <string>

namespace {

// Longest shortest-round-trip text of a double, such as "-2.2250738585072014e-308".
constexpr std::size_t kLongestShortest = 24;

}  // namespace

void open_table(ReportWriter& out, const Console& console, const std::string& path) {
  if (!open_report(out, console, path))
    exit_report_not_opened(out, "can't open the data file <%s>\n");
}

void append_shortest(ReportWriter& out, double value) {
  if (std::isnan(value)) {
    append_text(out, "NaN");
  } else if (std::isinf(value)) {
    append_text(out, value < 0 ? "-Inf" : "Inf");
  } else {
    char* at = keep_room(out, kLongestShortest);
    take_written(out, std::to_chars(at, at + kLongestShortest, value).ptr);
  }
}

void append_real_or_na(ReportWriter& out, double value, bool missing) {
  if (missing) {
    append_text(out, "NA");
  } else {
    append_shortest(out, value);
  }
}

void append_field_text(ReportWriter& out, const char* text) {
  std::string_view field = text;
  if (!field.empty() && field.back() == '\t') field.remove_suffix(1);
  append_table_text(out, field);
}

void append_table_text(ReportWriter& out, std::string_view text) {
  const auto is_control = [](char c) { return static_cast<unsigned char>(c) < 0x20; };
  const bool plain = std::none_of(text.begin(), text.end(),
                                  [&is_control](char c) { return c == '"' || is_control(c); });
  // Most names are plain and go out as they are.
  if (plain) {
    append_text(out, text);
    return;
  }
  const bool quoted = text.find_first_of("\"\t\r\n") != std::string_view::npos;
  std::string field;
  if (quoted) field += '"';
  for (char c : text) {
    if (c == '"') {
      field += "\"\"";
    } else if (is_control(c) && c != '\t' && c != '\r' && c != '\n') {
      field += ' ';
    } else {
      field += c;
    }
  }
  if (quoted) field += '"';
  append_text(out, field);
}
