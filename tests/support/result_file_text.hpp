// Builds the text of a small scanner result file with the line layout the reader expects.
#pragma once

#include <string>
#include <vector>

struct SpotRowText {
  int array_row, array_col, row, col;
  std::string name;
  std::string ch1_intensity, ch1_background, ch2_intensity, ch2_background;
};

// Header values, channel lines and spot rows; `line_end` is "\n" or "\r\n".
inline std::string result_file_text(const std::vector<SpotRowText>& spots,
                                    const std::string& channel1, const std::string& channel2,
                                    const std::string& line_end = "\n") {
  const std::string total = std::to_string(spots.size());
  std::vector<std::string> lines;
  lines.push_back("User Name:\tlab");
  for (int i = 2; i <= 10; ++i)
    lines.push_back("Header line " + std::to_string(i));
  lines.push_back("Array Rows\t1");
  lines.push_back("Array Columns\t1");
  lines.push_back("Rows\t1");
  lines.push_back("Columns\t" + total);
  for (int i = 15; i <= 20; ++i)
    lines.push_back("Setting " + std::to_string(i) + "\t0");
  lines.push_back("Spots per Array\t" + total);
  lines.push_back("Total Spots\t" + total);
  for (int i = 23; i <= 29; ++i)
    lines.push_back("Note " + std::to_string(i));
  lines.push_back(channel1);
  lines.push_back(channel2);
  for (int i = 32; i <= 35; ++i)
    lines.push_back("Scan " + std::to_string(i));
  lines.push_back("7\tmeasurements");
  // A first table of TotalSpots + 3 lines, which the reader skips.
  lines.push_back("Begin First Table");
  for (std::size_t s = 1; s <= spots.size(); ++s)
    lines.push_back(std::to_string(s) + "\t0\t0");
  lines.push_back("End First Table");
  lines.push_back("Number\tArray Row\tArray Column\tRow\tColumn\tName\tValues");
  std::size_t number = 1;
  for (const SpotRowText& spot : spots) {
    lines.push_back(std::to_string(number++) + "\t" + std::to_string(spot.array_row) + "\t" +
                    std::to_string(spot.array_col) + "\t" + std::to_string(spot.row) + "\t" +
                    std::to_string(spot.col) + "\t" + spot.name + "\t1.5\t2\t" +
                    spot.ch1_intensity + "\t" + spot.ch1_background + "\t0\t0\t" +
                    spot.ch2_intensity + "\t" + spot.ch2_background + "\t0\t0\t0");
  }
  std::string text;
  for (const std::string& line : lines)
    text += line + line_end;
  return text;
}
