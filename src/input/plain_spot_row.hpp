// The fast path of the spot table: a row of the shape that result files hold is checked and read
// a block of characters at a time, without the general readers' work for every token. Any other row
// is left to the general readers, which read it (or refuse it with their messages) exactly as
// before.
#pragma once

#include <cstddef>
#include <cstdint>

#include "input/result_file.hpp"

// The parts of a spot row that the run keeps.
struct PlainSpotRow {
  int32_t position[4] = {};     // array row, array column, row, column (columns 2 to 5)
  const char* name = nullptr;   // the name field in the file's bytes, with its ending tab
  std::size_t name_length = 0;  // including the tab
  double ch1_intensity = 0.0, ch1_background = 0.0, ch2_intensity = 0.0, ch2_background = 0.0;
};

// Reads the spot row at the position when it has the plain shape: white space, then at most 127
// characters before the line end (a line feed, or a carriage return and a line feed), in
// seventeen fields separated by tabs: five integers of 1 to 9 digits, a name without a zero byte
// (it may be empty), and eleven numbers of at most 15 characters, each an optional minus sign and
// digits with at most one point among them. The position then stands right after the last number,
// with the line feeds of the white space before the row counted, as after the general readers.
// The positions are converted only when asked for; otherwise they are checked and left as they
// were. Any other row makes it return false and leave the file as it was.
bool read_plain_spot_row(ResultFile& file, PlainSpotRow& row, bool with_positions);
