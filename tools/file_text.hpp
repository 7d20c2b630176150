// What every file writer of make_slides uses: the lines of a file with the chosen line end, and
// numbers as text.
#pragma once

#include <charconv>
#include <string>
#include <string_view>

// Collects the lines of one file with the chosen line end.
struct FileText {
  std::string text;
  std::string_view line_end;

  void line(std::string_view content) {
    text += content;
    text += line_end;
  }
};

// The value with the given number of decimals.
inline std::string fixed(double value, int decimals) {
  char text[64];
  const auto result =
      std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals);
  return std::string(text, result.ptr);
}

// The shortest text that reads back as the same double.
inline std::string shortest(double value) {
  char text[64];
  const auto result = std::to_chars(text, text + sizeof text, value);
  return std::string(text, result.ptr);
}
