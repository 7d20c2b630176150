// Small result files written by the tests, a scratch directory to hold them, and a run prepared as
// the driver prepares it for the spot tables.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "input/input.hpp"
#include "run/run.hpp"
#include "support/test_platform.hpp"

// A result file in memory, for the reader primitives.
inline ResultFile result_file_from(const std::string& text) {
  ResultFile file;
  file.name = "memory.txt";
  file.bytes.assign(text.begin(), text.end());
  return file;
}

// Lines 1 to TotalSpots + 39 of a result file as the scanner exports it: labels before each header
// value, the two channel lines, and a first table that the reader skips.
inline std::string result_header(
    const std::string& total_spots, const std::string& eol = "\r\n",
    const std::string& channel1 = "1\tC:\\scans\\slide 7\\cy3 scan.tif\tCy3-Green\tPMT 600",
    const std::string& channel2 = "\tplain.tif\tR\tPMT 650") {
  std::string text = "User Name:\tlab 4" + eol;
  for (int line = 2; line <= 10; ++line)
    text += "Comment " + std::to_string(line) + eol;
  text += "Array Rows\t2" + eol;
  text += "Array Columns\t3" + eol;
  text += "Rows\t12" + eol;
  text += "Columns\t16" + eol;
  for (int line = 15; line <= 20; ++line)
    text += "Setting " + std::to_string(line) + "\t0" + eol;
  text += "Spots per Array\t768" + eol;
  text += "Total Spots\t" + total_spots + eol;
  for (int line = 23; line <= 29; ++line)
    text += "Note " + std::to_string(line) + eol;
  text += channel1 + eol;
  text += channel2 + eol;
  for (int line = 32; line <= 35; ++line)
    text += "Scan " + std::to_string(line) + eol;
  text += "7\tmeasurements" + eol;
  const int spots = std::atoi(total_spots.c_str());
  text += "Begin Table" + eol;
  for (int s = 1; s <= spots; ++s)
    text += std::to_string(s) + "\t0\t0" + eol;
  text += "End Table" + eol;
  text += "Number\tArray Row\tArray Column\tRow\tColumn\tName\tValues" + eol;
  return text;
}

// One spot row: five integers, the name with its tab and the numbers after it as given.
inline std::string spot_row(const std::string& positions, const std::string& name,
                            const std::string& numbers, const std::string& eol = "\r\n") {
  return positions + "\t" + name + "\t" + numbers + eol;
}

// A spot row whose intensities and backgrounds are given; the other numbers are filler.
inline std::string spot_row(int number, const std::string& name, const std::string& ch1_intensity,
                            const std::string& ch1_background, const std::string& ch2_intensity,
                            const std::string& ch2_background, const std::string& eol = "\r\n") {
  const std::string n = std::to_string(number);
  return spot_row("1\t1\t" + n + "\t" + n + "\t" + n, name,
                  "1.5\t-2\t" + ch1_intensity + "\t" + ch1_background + "\t0.25\t8\t" +
                      ch2_intensity + "\t" + ch2_background + "\t9\t10\t11",
                  eol);
}

// The statement must end the run with status 1 after printing exactly `output`.
#define EXPECT_RUN_ENDS_WITH(statement, output)                                     \
  EXPECT_EXIT((show_output_and_end_input(), statement), testing::ExitedWithCode(1), \
              testing::Eq(std::string(output)))

// The message of a damaged file.
inline std::string damaged(const std::string& name, int line, const std::string& detail) {
  return "\nthe data file " + name + " is damaged at line " + std::to_string(line) + ": " + detail +
         "\npress any key to exit the program\n";
}

// Each test works in a scratch directory of its own, so that file names stay short.
class ResultFilesTest : public testing::Test {
 protected:
  void SetUp() override {
    original_directory_ = std::filesystem::current_path();
    scratch_directory_ = make_scratch_folder("corvane_input_");
    std::filesystem::current_path(scratch_directory_);
  }

  void TearDown() override {
    release_run_arrays(run);
    std::filesystem::current_path(original_directory_);
    std::filesystem::remove_all(scratch_directory_);
  }

  static void write_file(const std::string& name, const std::string& text) {
    std::ofstream(name, std::ios::binary) << text;
  }

  // The run as the driver leaves it before the spot tables: the names, the first file's header
  // read (its echo swallowed) and its stream at the first spot row, and the spot arrays.
  void prepare_run(const std::vector<std::string>& names, double quality_constant) {
    run.options.FileCount = static_cast<int32_t>(names.size());
    run.options.FileNames = cmatrix(1, run.options.FileCount, 0, MAX_NAME_LENGTH);
    for (int32_t k = 1; k <= run.options.FileCount; ++k)
      std::strcpy(run.options.FileNames[k].block(), names[static_cast<std::size_t>(k - 1)].c_str());
    testing::internal::CaptureStdout();
    run.slides.first_file = open_result_file(Console{}, run.options.FileNames[1].block(), 1);
    read_result_header(run);
    run.options.QualityConstant = quality_constant;
    seek_spot_table(run);
    testing::internal::GetCapturedStdout();

    create_spot_arrays(run);
  }

  ::Run run;  // the type, not testing::Test::Run

 private:
  std::filesystem::path original_directory_;
  std::filesystem::path scratch_directory_;
};
