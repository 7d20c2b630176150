// The records of a tab-separated text file, as the formats other than the scanner's hold them:
// one record a line (LF or CR LF), fields split at tabs, a field maybe enclosed in double quotes.
// The fields point into the file's bytes; nothing is copied, so a row costs no allocation once the
// record's vector has grown to its width.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "input/result_file.hpp"

// One field of a record: its text, without the double quotes that enclosed it.
struct Field {
  const char* first = nullptr;
  const char* last = nullptr;
  bool quoted = false;  // inside, two quotes in a row stand for one

  std::string_view view() const { return {first, static_cast<std::size_t>(last - first)}; }
};

struct Record {
  std::vector<Field> fields;
  int64_t line = 1;  // the line it starts on
  // Where a search for a closing quote last found none up to the end of the file, so that a file
  // of many unclosed quotes is not searched to its end again and again.
  const char* no_quote_after = nullptr;
};

// Reads the record at file.pos, moves the position past its line end and counts the lines. With
// `quotes`, a field that starts with a double quote and has its closing quote before a tab or the
// line end runs to that quote, tabs and line ends inside included; a quote that is never closed
// so is taken as a character of the field. False, with nothing read, at the end of the file.
bool read_record(ResultFile& file, bool quotes, Record& record);

// A record of white space only (no field holds anything else).
bool record_is_blank(const Record& record);

// The fields up to the last one that is not empty: what a record holds without its trailing tabs.
std::size_t filled_width(const Record& record);

// The record's bytes from its first field to the end of its last field that is not empty, as they
// stand in the file (quotes included), for messages.
std::string_view record_view(const Record& record);

// The field's text: the quotes that enclosed it dropped, a doubled quote inside made one.
std::string field_text(const Field& field);

// Text as a message shows it: in quotes, at most 40 characters, a tab as \t and the other bytes
// that the console would not show as \xHH.
std::string shown_text(std::string_view text);
