// How often a piece of text stands in a text, for the tests that read pages and reports.
#pragma once

#include <cstddef>
#include <string>

// The places where the piece starts, overlapping ones included.
inline std::size_t count_of(const std::string& text, const std::string& piece) {
  std::size_t count = 0;
  for (std::size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1))
    ++count;
  return count;
}
