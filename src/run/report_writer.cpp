#include "run/report_writer.hpp"

#include <algorithm>
#include <cassert>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>

#include "run/console.hpp"
#include "run/fixed_point.hpp"

namespace {

constexpr std::size_t kBufferSize = std::size_t{1} << 20;
// Longest text of a 32-bit integer: a sign and ten digits.
constexpr std::size_t kLongestInt = 11;

// The run's temporary files go at its exit (exit_after_failure); a file written in place is left.
[[noreturn]] void fail_report(ReportWriter& out, int error) {
  // A stream may fail without setting errno; the message still needs a reason.
  if (error == 0) error = EIO;
  if (!out.standard_output && out.output.file != nullptr) std::fclose(out.output.file);
  out.output.file = nullptr;
  print_failure(out.console, "can't write the data file <%s>: %s\n", out.name.c_str(),
                std::strerror(error));
  exit_after_failure(out.console, 1);
}

void flush_buffer(ReportWriter& out) {
  if (out.used == 0) return;
  if (!out.standard_output) {
    const int no_room = take_disk_room(out.used);
    if (no_room != 0) fail_report(out, no_room);
  }
  errno = 0;
  std::size_t written = std::fwrite(out.buffer.data(), 1, out.used, out.output.file);
  if (written != out.used) fail_report(out, errno);
  out.used = 0;
}

// Room for count more bytes at the end of the buffer, which goes to the file first when it has
// too little left.
char* room_for(ReportWriter& out, std::size_t count) {
  if (out.buffer.size() - out.used < count) flush_buffer(out);
  return out.buffer.data() + out.used;
}

void append_spaces(ReportWriter& out, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i)
    append_bytes(out, " ", 1);
}

// The text right-aligned in a field of at least min_width characters.
void append_right_aligned(ReportWriter& out, const char* text, std::size_t length, int min_width) {
  if (min_width > 0 && length < static_cast<std::size_t>(min_width)) {
    append_spaces(out, static_cast<std::size_t>(min_width) - length);
  }
  append_bytes(out, text, length);
}

// The text of a value that is not finite, which printf writes without decimals.
const char* text_of_not_finite(double value) {
  if (std::isnan(value)) return std::signbit(value) ? "-nan" : "nan";
  return value < 0 ? "-inf" : "inf";
}

}  // namespace

void append_bytes(ReportWriter& out, const char* bytes, std::size_t count) {
  while (count > 0) {
    if (out.used == out.buffer.size()) flush_buffer(out);
    std::size_t piece = std::min(count, out.buffer.size() - out.used);
    std::memcpy(out.buffer.data() + out.used, bytes, piece);
    out.used += piece;
    bytes += piece;
    count -= piece;
  }
}

char* keep_room(ReportWriter& out, std::size_t count) {
  return room_for(out, count);
}

bool open_report(ReportWriter& out, const Console& console, const std::string& path,
                 const char* opening_failure) {
  out.name = path;
  out.console = console;
  if (path == "-") {
    out.name = "standard output";
    out.output.file = stdout;
    out.output.in_place = true;
    out.standard_output = true;
    std::fflush(stdout);
  } else {
    // Text mode: lines end as the system's text files do, LF on POSIX and CR LF on Windows.
    if (!open_output(out.output, path, opening_failure)) return false;
    // The report has its own buffer; with the stream's switched off, every failure shows at once.
    std::setvbuf(out.output.file, nullptr, _IONBF, 0);
  }
  out.buffer.assign(kBufferSize, '\0');
  out.used = 0;
  return true;
}

void exit_report_not_opened(const ReportWriter& out, const char* first_line_format) {
  print_failure(out.console, first_line_format, out.name.c_str());
  print_failure(out.console,
                "close the Excel or other application which opens this file and try again.\n");
  exit_after_failure(out.console, 1);
}

void close_report(ReportWriter& out) {
  flush_buffer(out);
  errno = 0;
  if (out.standard_output) {
    if ((std::fflush(stdout) | std::ferror(stdout)) != 0) fail_report(out, errno);
    out.output.file = nullptr;
  } else {
    const int error = close_output(out.output);
    if (error != 0) fail_report(out, error);
  }
  out.buffer.clear();
  out.buffer.shrink_to_fit();
}

void append_text_clipped(ReportWriter& out, const char* text, int min_width, int max_chars) {
  std::size_t length = 0;
  while (length < static_cast<std::size_t>(max_chars) && text[length] != '\0')
    ++length;
  append_right_aligned(out, text, length, min_width);
}

void append_int(ReportWriter& out, int32_t value, int min_width) {
  // Without a field width the number is written straight into the buffer.
  if (min_width == 0) {
    char* at = room_for(out, kLongestInt);
    out.used += static_cast<std::size_t>(std::to_chars(at, at + kLongestInt, value).ptr - at);
    return;
  }
  char text[kLongestInt];
  std::to_chars_result result = std::to_chars(text, text + sizeof text, value);
  append_right_aligned(out, text, static_cast<std::size_t>(result.ptr - text), min_width);
}

char* put_fixed(char* at, double value, int decimals) {
  if (!std::isfinite(value)) return put_text(at, text_of_not_finite(value));
  return at + write_fixed(at, value, decimals);
}

void append_fixed(ReportWriter& out, double value, int decimals, int min_width) {
  if (min_width == 0) {
    take_written(out, put_fixed(room_for(out, kLongestFixed), value, decimals));
    return;
  }
  char text[kLongestFixed];
  append_right_aligned(out, text, static_cast<std::size_t>(put_fixed(text, value, decimals) - text),
                       min_width);
}
