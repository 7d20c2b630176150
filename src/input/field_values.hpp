// The numbers of a tab-separated file's fields, converted with std::from_chars straight from the
// file's bytes, and the messages for fields that hold none.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "input/tab_records.hpp"

enum class NumberText { kNumber, kEmpty, kNotANumber, kNotFinite };

// Converts the whole text (blanks around it allowed, a plus sign taken) to a finite double. Text
// for a value that is not finite (nan, inf, infinity in any case and sign) and a number beyond the
// range of a double (1e999) are kNotFinite; a number too small for a double (1e-999) reads as 0.
NumberText parse_real(std::string_view text, double& value);

// Converts the whole text (blanks around it allowed, a plus sign taken) to a 32-bit integer.
NumberText parse_integer(std::string_view text, int32_t& value);

// A column of the titles: its place in the record and its title for messages. index is -1 when
// the file has no such column.
struct Column {
  int index = -1;
  std::string title;

  bool present() const { return index >= 0; }
};

// The value of the record's field in the column, which the record must reach; a field that is
// empty or holds no finite number rejects the file at the record's line.
double real_field(ResultFile& file, const Record& record, const Column& column);

// The same for a whole number of at least `least`.
int32_t integer_field(ResultFile& file, const Record& record, const Column& column, int32_t least);
