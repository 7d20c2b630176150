// A result file held in memory, with its read position and the line number of that position kept
// for messages about damaged files. The run holds the first file in it from its recognition to the
// end of its spot table; the reader's operations on it are declared in input/result_file.hpp.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "run/console.hpp"

struct ResultFile {
  std::string name;
  std::vector<char> bytes;  // the whole file
  std::size_t pos = 0;      // next byte to read
  int64_t line = 1;         // line of the next byte, counted from 1
  Console console;          // where a message about the file goes
};
