#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <limits>
#include <string>
#include <vector>

#include "report_test_support.hpp"
#include "reports/reports.hpp"
#include "run/output_files.hpp"

namespace {

const double inf = std::numeric_limits<double>::infinity();
const double nan = std::numeric_limits<double>::quiet_NaN();

// Three slides of three spots. Slide 2 has no positive channel-1 net, so its factor is infinite;
// slide 3 has no positive net at all, so its factor and its scaled channel-2 nets are undefined.
// data.txt shows such a factor and the channel-2 nets divided by it as missing ("-"), not as the
// infinities and not-a-numbers they are.
Run three_slide_run(TestArrays& arrays) {
  ::Run run;
  run.options.FileCount = 3;
  run.slides.TotalSpots = 3;
  run.options.RatioChoice = 1;
  run.options.FileNames = arrays.texts({"slide1.txt", "slide2.txt", "slide3.txt"}, 50);
  run.spots.channel_totals = arrays.double_rows({{400.0, 800.0}, {0.0, 250.0}, {0.0, 0.0}});
  run.spots.norm_factor = arrays.doubles({2.0, inf, -nan});
  run.slides.spot_array_row = arrays.ints({1, 1, 2});
  run.slides.spot_array_col = arrays.ints({1, 1, 1});
  run.slides.spot_row = arrays.ints({1, 1, 3});
  run.slides.spot_col = arrays.ints({1, 2, 12});
  // The second spot's name field was empty: only its tab is left.
  run.slides.spot_name = arrays.texts({"geneA\t", "\t", "ctrl 3\t"}, 500);
  run.spots.ch1_net =
      arrays.double_rows({{100.0, 300.0, -50.0}, {-10.0, 0.0, -1.5}, {0.0, -2.0, 0.0}});
  run.spots.ch2_net = arrays.double_rows({{100.0, 150.0, 0.0}, {0.0, 0.0, -0.0}, {nan, -nan, nan}});
  run.spots.spot_ratio = arrays.double_rows({{1.0, 0.5, 0.0}, {0.0, 0.0, 0.0}, {0.0, 0.0, 0.0}});
  return run;
}

std::string block_heading(const std::string& file_name, const std::string& totals,
                          const std::string& factor, const std::string& ratio_heading) {
  return "\n\nFiles:\t  " + file_name +
         "\n"
         "\n"
         "Normalization\t Information:\n"
         "  \t Channel 1 \t Channel 2\n"
         "Total Intensities(Backgound Subtracted):\t " +
         totals +
         "\n"
         "Normalization Factor:\t 1\t " +
         factor +
         "\n\n"
         "begin data\n"
         "Number\t Position\t Gene Name\tCh.1 Intensity \t Ch.2 Intensity \t " +
         ratio_heading + "\t\n";
}

TEST(SpotReport, EveryFileWithItsNormalisationAndSpots) {
  ScratchDirectory scratch;
  std::ofstream("data.txt") << "a longer report of an earlier run that must disappear\n";
  TestArrays arrays;
  ::Run run = three_slide_run(arrays);
  write_spot_report(run);
  give_outputs_their_names(run.options.console);

  const std::string expected =
      block_heading("slide1.txt", "400.000000\t 800.000000", "2.000000", "Ch.2/Ch.1 Ratio") +
      "1\tAR1 AC1 R1 C1\tgeneA\t100.000000\t 100.000000\t 1.000000\t\n"
      "2\tAR1 AC1 R1 C2\t\t300.000000\t 150.000000\t 0.500000\t\n"
      "3\tAR2 AC1 R3 C12\tctrl 3\t-50.000000\t 0.000000\t 0.000000\t\n" +
      block_heading("slide2.txt", "0.000000\t 250.000000", "-", "Ch.2/Ch.1 Ratio") +
      "1\tAR1 AC1 R1 C1\tgeneA\t-10.000000\t -\t 0.000000\t\n"
      "2\tAR1 AC1 R1 C2\t\t0.000000\t -\t 0.000000\t\n"
      "3\tAR2 AC1 R3 C12\tctrl 3\t-1.500000\t -\t 0.000000\t\n" +
      block_heading("slide3.txt", "0.000000\t 0.000000", "-", "Ch.2/Ch.1 Ratio") +
      "1\tAR1 AC1 R1 C1\tgeneA\t0.000000\t -\t 0.000000\t\n"
      "2\tAR1 AC1 R1 C2\t\t-2.000000\t -\t 0.000000\t\n"
      "3\tAR2 AC1 R3 C12\tctrl 3\t0.000000\t -\t 0.000000\t\n";
  EXPECT_EQ(read_file("data.txt"), expected);
}

TEST(SpotReport, ChannelOneOverChannelTwo) {
  ScratchDirectory scratch;
  TestArrays arrays;
  ::Run run;
  run.options.FileCount = 1;
  run.slides.TotalSpots = 2;
  run.options.RatioChoice = 2;
  run.options.FileNames = arrays.texts({"only.txt"}, 50);
  run.spots.channel_totals = arrays.double_rows({{300.0, 150.0}});
  run.spots.norm_factor = arrays.doubles({0.5});
  run.slides.spot_array_row = arrays.ints({3, 3});
  run.slides.spot_array_col = arrays.ints({4, 4});
  run.slides.spot_row = arrays.ints({10, 10});
  run.slides.spot_col = arrays.ints({20, 21});
  run.slides.spot_name = arrays.texts({"YAL001C\t", "YAL002W\t"}, 500);
  run.spots.ch1_net = arrays.double_rows({{200.0, 100.0}});
  run.spots.ch2_net = arrays.double_rows({{100.0, 200.0}});
  run.spots.spot_ratio = arrays.double_rows({{2.0, 0.5}});
  write_spot_report(run);
  give_outputs_their_names(run.options.console);

  const std::string expected =
      block_heading("only.txt", "300.000000\t 150.000000", "0.500000", "Ch.1/Ch.2 Ratio") +
      "1\tAR3 AC4 R10 C20\tYAL001C\t200.000000\t 100.000000\t 2.000000\t\n"
      "2\tAR3 AC4 R10 C21\tYAL002W\t100.000000\t 200.000000\t 0.500000\t\n";
  EXPECT_EQ(read_file("data.txt"), expected);
}

// Slides a.txt and b.txt with the given number of spots, ratio 1, and their normalisation figures;
// the spot arrays are left to the test.
::Run two_slide_run(TestArrays& arrays, int32_t spots) {
  ::Run run;
  run.options.FileCount = 2;
  run.slides.TotalSpots = spots;
  run.options.RatioChoice = 1;
  run.options.FileNames = arrays.texts({"a.txt", "b.txt"}, 50);
  run.spots.channel_totals = arrays.double_rows({{1.0, 2.0}, {3.0, 4.0}});
  run.spots.norm_factor = arrays.doubles({1.0, 2.0});
  return run;
}

// The heading of block f (0 or 1) of such a run.
std::string two_slide_heading(int f) {
  return f == 0 ? block_heading("a.txt", "1.000000\t 2.000000", "1.000000", "Ch.2/Ch.1 Ratio")
                : block_heading("b.txt", "3.000000\t 4.000000", "2.000000", "Ch.2/Ch.1 Ratio");
}

// The start of a row (number, position, name) is written for the first file and copied for the
// others; with long names the blocks pass the writer's buffer many times, and every row must still
// read as printf would write it.
TEST(SpotReport, RowStartsOfLaterFilesAcrossManyBufferFills) {
  ScratchDirectory scratch;
  TestArrays arrays;
  const int32_t spots = 5000;
  ::Run run = two_slide_run(arrays, spots);
  std::vector<int32_t> positions;
  std::vector<std::string> names;
  std::vector<double> first, second;
  for (int32_t s = 1; s <= spots; ++s) {
    positions.push_back(s % 7 + s);
    names.push_back(std::string(static_cast<std::size_t>(s * 37 % 499), 'n') + "\t");
    first.push_back(s * 0.25);
    second.push_back(-s / 3.0);
  }
  run.slides.spot_array_row = arrays.ints(positions);
  run.slides.spot_array_col = arrays.ints(positions);
  run.slides.spot_row = arrays.ints(positions);
  run.slides.spot_col = arrays.ints(positions);
  run.slides.spot_name = arrays.texts(names, 500);
  run.spots.ch1_net = arrays.double_rows({first, second});
  run.spots.ch2_net = arrays.double_rows({second, first});
  run.spots.spot_ratio = arrays.double_rows({first, first});
  write_spot_report(run);
  give_outputs_their_names(run.options.console);

  std::string expected;
  for (int f = 0; f < 2; ++f) {
    expected += two_slide_heading(f);
    for (int32_t s = 1; s <= spots; ++s) {
      const auto i = static_cast<std::size_t>(s - 1);
      const int p = positions[i];
      char row[700];
      std::snprintf(row, sizeof row, "%d\tAR%d AC%d R%d C%d\t%s%lf\t %lf\t %lf\t\n", s, p, p, p, p,
                    names[i].c_str(), f == 0 ? first[i] : second[i], f == 0 ? second[i] : first[i],
                    first[i]);
      expected += row;
    }
  }
  ASSERT_GT(expected.size(), std::size_t{2} << 20);
  EXPECT_EQ(read_file("data.txt"), expected);
}

// Rows of the longest kind: the longest name and numbers of 309 whole digits, which pass the end of
// the writer's buffer at many places; each row is written into room kept for it at once.
TEST(SpotReport, LongestRowsAcrossBufferFills) {
  ScratchDirectory scratch;
  TestArrays arrays;
  const int32_t spots = 1500;
  ::Run run = two_slide_run(arrays, spots);
  const std::vector<int32_t> positions(spots, std::numeric_limits<int32_t>::min());
  const std::string name = std::string(498, 'x') + "\t";
  std::vector<double> values;
  for (int32_t s = 1; s <= spots; ++s)
    values.push_back(-1.7976931348623157e308 / s);
  run.slides.spot_array_row = arrays.ints(positions);
  run.slides.spot_array_col = arrays.ints(positions);
  run.slides.spot_row = arrays.ints(positions);
  run.slides.spot_col = arrays.ints(positions);
  run.slides.spot_name = arrays.texts(std::vector<std::string>(spots, name), 500);
  run.spots.ch1_net = arrays.double_rows({values, values});
  run.spots.ch2_net = arrays.double_rows({values, values});
  run.spots.spot_ratio = arrays.double_rows({values, values});
  write_spot_report(run);
  give_outputs_their_names(run.options.console);

  std::string expected;
  const std::string position = "AR-2147483648 AC-2147483648 R-2147483648 C-2147483648\t";
  for (int f = 0; f < 2; ++f) {
    expected += two_slide_heading(f);
    for (int32_t s = 1; s <= spots; ++s) {
      char number[400];
      std::snprintf(number, sizeof number, "%lf", values[static_cast<std::size_t>(s - 1)]);
      expected += std::to_string(s) + "\t" + position + name + number + "\t " + number + "\t " +
                  number + "\t\n";
    }
  }
  ASSERT_GT(expected.size(), std::size_t{4} << 20);
  EXPECT_EQ(read_file("data.txt"), expected);
}

TEST(SpotReportDeathTest, ReportThatCannotBeOpened) {
  ScratchDirectory scratch;
  std::filesystem::create_directory("data.txt");
  TestArrays arrays;
  ::Run run = three_slide_run(arrays);
  EXPECT_EXIT(run_with_console_on_stderr([&] { write_spot_report(run); }),
              testing::ExitedWithCode(1),
              "^can't open the data file <data.txt>\n"
              "close the Excel or other application which opens this file and try again.\n"
              "press any key to exit the program\n$");
  EXPECT_TRUE(std::filesystem::is_directory("data.txt"));
}

TEST(SpotReportDeathTest, ReportOnADeviceThatCannotBeWrittenStays) {
  if (kOnWindows)
    GTEST_SKIP() << "Windows has no device like /dev/full, on which every write fails";
  ScratchDirectory scratch;
  std::filesystem::create_symlink("/dev/full", "data.txt");
  TestArrays arrays;
  ::Run run = three_slide_run(arrays);
  EXPECT_EXIT(run_with_console_on_stderr([&] { write_spot_report(run); }),
              testing::ExitedWithCode(1),
              "^can't write the data file <data.txt>: No space left on device\n"
              "press any key to exit the program\n$");
  // Written in place, as a device is: the link stays.
  EXPECT_TRUE(std::filesystem::is_symlink("data.txt"));
}

}  // namespace
