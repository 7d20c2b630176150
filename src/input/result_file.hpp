// A result file held in memory and read like a formatted input stream, with the line number of the
// read position kept for messages about damaged files.
//
// Numbers and words skip white space first, line ends included (a carriage return before a line
// feed is white space like any other); tab-ended fields and single characters are taken raw.
// The readers of tokens return false when the token is not there and leave the read position at
// the place that failed, so that the caller can name what it expected in its message.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "numeric/arrays.hpp"
#include "run/loaded_file.hpp"

// White space as the C locale's isspace sees it: blank, tab, line feed, vertical tab, form feed and
// carriage return.
inline bool is_white_space(char c) {
  return c == ' ' || (c >= '\t' && c <= '\r');
}

// Reads the named file whole into `file`, positioned at its first byte. False when the file cannot
// be opened or read, or is not a regular file (see open_regular_file in platform/platform.hpp). A
// file that starts with the gzip magic bytes (1f 8b) is decompressed, whatever its name: its bytes
// are then the text it holds. A damaged or cut-short compressed stream is rejected as a damaged
// file (reject_damaged_file) through file.console, which the caller sets first.
bool load_result_file(const char* name, ResultFile& file);

// Loads the named file as load_result_file does, for the run's file number file_number, with
// `console` as its console. A file that cannot be opened or read ends the run with status 1 after
// the message "can't open the data file: NAME" (for file 1 with ", press any key to exit").
void load_or_refuse(const Console& console, const char* name, int32_t file_number,
                    ResultFile& file);

// Lets go of the bytes of a file that has been read: the file is closed.
void close_result_file(ResultFile& file);

// Consumes characters up to and including the count-th line feed, so that the next character is
// the first of the line count lines further on. A count of 0 or less consumes nothing. A file that
// ends first is rejected as damaged.
void skip_lines(ResultFile& file, int64_t count);

// Zeroes row[0..width-1], then stores the characters up to and including the next tab, taken raw
// (no white space is skipped; a field that begins with a tab is that tab alone). The field with
// its tab must fit in width - 1 characters so that a zero follows it. False when no tab comes
// within that many characters or before the end of the file, and when the field holds a zero byte
// (printed as text, it would end there and lose its tab, shifting the report's columns); the
// position is then left at the start of the field.
bool read_tab_field(ResultFile& file, const OffsetVector<char>& row, int32_t width);

// Skips white space, then reads a run of non-white-space characters of any length. False at the
// end of the file.
bool read_word(ResultFile& file, std::string& word);

// Skip white space, then convert an optionally signed decimal integer that fits in 32 bits, or a
// finite decimal real number. False when there is none (or the integer does not fit, or the real
// is text for a value that is not finite, such as nan, inf or 1e999, beyond the range of a double;
// one too small for a double, 1e-999, reads as 0); the position is then left at the first
// character that is not white space.
bool read_int32(ResultFile& file, int32_t& value);
bool read_real(ResultFile& file, double& value);

// Reads exactly one character, whatever it is. False at the end of the file.
bool read_char(ResultFile& file, char& c);

// True when only white space is left before the next line feed or the end of the file.
bool rest_of_line_is_blank(const ResultFile& file);

// What the read position holds, for messages: the next word in quotes, or "the end of the file".
std::string describe_next_word(const ResultFile& file);

// Prints "the data file ... is damaged at line ...: <detail>" for the current line, waits for a
// key and ends the run with status 1.
[[noreturn]] void reject_damaged_file(const ResultFile& file, const std::string& detail);

// Rejects a file whose tab-ended field, described by `what`, failed to read at the position.
[[noreturn]] void reject_tab_field(const ResultFile& file, int32_t width, const std::string& what);
