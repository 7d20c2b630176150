// Small GenePix results files for the end-to-end tests, and the lines and fields of the tables a
// run writes.
#pragma once

#include <sstream>
#include <string>
#include <vector>

struct Feature {
  int block, column, row;
  std::string name, id;
  int r, g, rb, gb, flags;
};

// A GenePix results file of the features, with the four columns a run reads and the flags.
inline std::string genepix_file(const std::vector<Feature>& features) {
  std::string text =
      "ATF\t1.0\n2\t9\n\"Type=GenePix Results 3\"\n\"Scanner=GenePix 4000B\"\n"
      "\"Block\"\t\"Column\"\t\"Row\"\t\"Name\"\t\"ID\"\t\"F635 Mean\"\t\"F532 Mean\"\t"
      "\"B635 Median\"\t\"B532 Median\"\t\"Flags\"\n";
  for (const Feature& f : features) {
    text += std::to_string(f.block) + "\t" + std::to_string(f.column) + "\t" +
            std::to_string(f.row) + "\t" + f.name + "\t" + f.id + "\t" + std::to_string(f.r) +
            "\t" + std::to_string(f.g) + "\t" + std::to_string(f.rb) + "\t" + std::to_string(f.gb) +
            "\t" + std::to_string(f.flags) + "\n";
  }
  return text;
}

inline std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::stringstream stream(text);
  for (std::string line; std::getline(stream, line);)
    lines.push_back(line);
  return lines;
}

inline std::vector<std::string> fields_of(const std::string& line) {
  std::vector<std::string> fields;
  std::stringstream stream(line);
  for (std::string field; std::getline(stream, field, '\t');)
    fields.push_back(field);
  return fields;
}
