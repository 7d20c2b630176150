// How a word goes into a Windows command line, for the tests that start programs on Windows.
#pragma once

#include <string>

// The word as the C library of the started program splits its command line back into words:
// quoted when it holds blanks or quotes (or is empty), a quote inside escaped with a backslash, and
// the backslashes before a quote, or before the closing quote, doubled.
inline std::string command_line_word(const std::string& word) {
  if (!word.empty() && word.find_first_of(" \t\"") == std::string::npos) return word;
  std::string quoted = "\"";
  std::size_t backslashes = 0;
  for (char c : word) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    if (c == '"') backslashes = backslashes * 2 + 1;
    quoted.append(backslashes, '\\');
    backslashes = 0;
    quoted += c;
  }
  quoted.append(backslashes * 2, '\\');
  return quoted + "\"";
}
