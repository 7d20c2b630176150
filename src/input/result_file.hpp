// A result file held in memory and read like a formatted input stream, with the line number of the
// read position kept for messages about damaged files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct ResultFile {
  std::string name;
  std::vector<char> bytes;  // the whole file
  std::size_t pos = 0;      // next byte to read
  int64_t line = 1;         // line of the next byte, counted from 1
};
