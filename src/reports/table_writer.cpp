#include "reports/table_writer.hpp"

#include <charconv>
#include <cmath>

#include "run/text_field.hpp"

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
  append_text(out, field_without_tab(text));
}
