// Writing a report file: the text collects in one large buffer that goes to the file whenever it
// fills up and when the report is closed. Numbers are formatted the way C's printf formats them,
// so the reports read the same as those of the formats they are described with.
//
// A report that looks complete must be complete, and one that is not never replaces anything: the
// text goes to a temporary file that takes the report's name only when the run has finished all of
// its outputs (run/output_files.hpp). When a write or the close fails, the run prints "can't write
// the data file <name>: reason", removes its temporary files and ends with status 1 (after a key
// press, when the console waits for one); every earlier report stays as it was.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "run/console.hpp"
#include "run/output_files.hpp"

struct ReportWriter {
  OutputFile output;             // the file, under its temporary name until the run ends
  std::string name;              // the file's path, as the messages show it
  Console console;               // where its failures are told
  bool standard_output = false;  // a table written to standard output
  std::vector<char> buffer;      // text not yet handed to the file
  std::size_t used = 0;          // bytes of the buffer in use
};

// The first line of the message of a report that cannot be opened, with %s for its path.
inline constexpr const char* kReportNotOpened = "can't open the data file <%s>\n";

// Opens the named report for writing in text mode, so that its lines end as the system's text
// files do (CR LF on Windows); the path "-" is standard output. `opening_failure` is the first line
// of the message printed when the report cannot take its name at the end. Returns false when it
// cannot be opened; nothing has been written then.
bool open_report(ReportWriter& out, const Console& console, const std::string& path,
                 const char* opening_failure = kReportNotOpened);

// Prints the two lines of a report that cannot be opened, the first line of the given format with
// the report's path and the advice to close the application that holds it, then ends the run with
// status 1 (after a key press, when the console waits for one).
[[noreturn]] void exit_report_not_opened(const ReportWriter& out, const char* first_line_format);

// Writes what is left in the buffer and closes the file, which then waits for its name.
void close_report(ReportWriter& out);

// Copies the bytes into the buffer, writing the buffer to the file whenever it fills up.
void append_bytes(ReportWriter& out, const char* bytes, std::size_t count);

// Makes sure that count more bytes fit into the buffer without a write to the file in between,
// so that the text appended next lies in one piece from buffer.data() + used on, and returns that
// place.
//
// A row of known longest length is written with this one check: the put_ functions write at a
// place in the room kept and return the end of what they wrote, and take_written then counts the
// text up to that end as written.
char* keep_room(ReportWriter& out, std::size_t count);

inline void take_written(ReportWriter& out, const char* end) {
  out.used = static_cast<std::size_t>(end - out.buffer.data());
}

inline char* put_text(char* at, std::string_view text) {
  std::memcpy(at, text.data(), text.size());
  return at + text.size();
}

// append_fixed without a field width, at a place with room for kLongestFixed characters.
char* put_fixed(char* at, double value, int decimals);

// "%s": the text up to its terminating zero. Inline, so that a literal is copied where it is
// written, without counting its length or calling a function for every row.
inline void append_text(ReportWriter& out, std::string_view text) {
  if (text.size() <= out.buffer.size() - out.used) {
    std::memcpy(out.buffer.data() + out.used, text.data(), text.size());
    out.used += text.size();
  } else {
    append_bytes(out, text.data(), text.size());
  }
}

// "%<min_width>.<max_chars>s": at most max_chars characters of the text (fewer if its zero comes
// first), right-aligned in a field of at least min_width characters.
void append_text_clipped(ReportWriter& out, const char* text, int min_width, int max_chars);

// "%d", or "%<min_width>d": the value right-aligned in a field of at least min_width characters.
void append_int(ReportWriter& out, int32_t value, int min_width = 0);

// "%<min_width>.<decimals>lf": fixed point with the given number of decimals, right-aligned in a
// field of at least min_width characters; "%lf" is decimals 6. Values that are not finite read
// "inf", "-inf", "nan" or "-nan", the sign taken from the sign bit.
void append_fixed(ReportWriter& out, double value, int decimals, int min_width = 0);
