#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "report_test_support.hpp"
#include "reports/reports.hpp"
#include "run/output_files.hpp"

namespace {

void set_image_name(Run& run, int channel_line, const std::string& name) {
  name.copy(run.slides.image_name[channel_line], sizeof run.slides.image_name[channel_line] - 1);
}

void set_channel_lines(Run& run, TestArrays& arrays) {
  run.slides.channel_fields[0] =
      arrays.texts({"Cy5\t", "C:\\scans\\red.tif\t", "Cyanine 5\t"}, 100);
  run.slides.channel_fields[1] = arrays.texts({"G\t", "D:\\green.tif\t", "\t"}, 100);
  set_image_name(run, 0, "red.tif\t");
  set_image_name(run, 1, "green.tif\t");
}

// Two slides, three replicates a gene, four genes: one without any positive ratio, one rejected
// by the pair test (0.5 and 5.0), one with the single kept ratio 2.0, and one with the kept pair
// 1.0 and 8.0. Spots 1..6 lie in array row 1 and 7..12 in array row 2; every row of an array
// holds four spots.
Run four_gene_run(TestArrays& arrays) {
  ::Run run;
  run.options.FileCount = 2;
  run.options.ReplicateCount = 3;
  run.genes.GeneNumber = 4;
  run.options.RatioChoice = 1;
  run.options.FileNames = arrays.texts({"slide1.txt", "slide2.txt"}, 50);
  set_channel_lines(run, arrays);
  run.genes.file_zero_spots = arrays.ints({9, 10});
  run.genes.file_outliers = arrays.ints({1, 1});
  run.slides.spot_array_row = arrays.ints({1, 1, 1, 1, 1, 1, 2, 2, 2, 2, 2, 2});
  run.slides.spot_array_col = arrays.ints({1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 2});
  run.slides.spot_row = arrays.ints({1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3});
  run.slides.spot_col = arrays.ints({1, 2, 3, 4, 1, 2, 3, 4, 1, 2, 3, 4});
  // Spot 9, the last spot of gene 3, has an empty name.
  run.slides.spot_name =
      arrays.texts({"spot1\t", "spot2\t", "spot3\t", "spot4\t", "spot5\t", "spot6\t", "spot7\t",
                    "spot8\t", "\t", "spot10\t", "spot11\t", "spot12\t"},
                   500);
  run.genes.file_gene_mean = arrays.double_rows({{0.0, 0.5, 2.0, 1.0}, {0.0, 5.0, 0.0, 8.0}});
  run.genes.spots_used = arrays.ints({0, 0, 1, 2});
  run.genes.outliers_found = arrays.ints({0, 2, 0, 0});
  run.genes.ratio_mean = arrays.doubles({0.0, 0.0, 2.0, 4.5});
  run.genes.ratio_sd = arrays.doubles({0.0, 0.0, 0.0, 3.5});
  run.genes.ratio_cv = arrays.doubles({0.0, UNSET_STAT, 0.0, 3.5 / 4.5});
  run.genes.ratio_median = arrays.doubles({0.0, 0.0, 2.0, 4.5});
  run.genes.log_mean = arrays.doubles({UNSET_STAT, UNSET_STAT, 1.0, 1.5});
  run.genes.log_sd = arrays.doubles({0.0, 0.0, 0.0, 1.5});
  run.genes.p_value = arrays.doubles({NO_PVALUE, NO_PVALUE, NO_PVALUE, 0.5});
  return run;
}

const char* const kColumnHeadings =
    "Mean of Ratio\tStandard Deviation of Mean Ratio\tCV\tMedian of Ratio\tMean of Log-Ratio\t"
    "Standard Deviation of Mean Log-Ratio\tP-Value(t statistic)\tSpots used\tOutliers Found\n";

TEST(MergeReport, HeadingAndEveryKindOfGene) {
  ScratchDirectory scratch;
  TestArrays arrays;
  ::Run run = four_gene_run(arrays);
  write_merge_report(run);
  give_outputs_their_names(run.options.console);

  const std::string expected =
      std::string(
          "The number of data sets merged:\t 2\n"
          "The number of genes in each file:\t 4\n"
          "The nummber of replicated spots in each file:\t 3\n\n"
          "Image\t Information:\n"
          "Channel (Fluor.)\tImage (listed only for the first data set)\n"
          "Cy5(Cya)\tred.tif\t\n"
          "G\t( \t)\tgreen.tif\t\n"
          "\nch2 : ch 1 ratio was considered\n\n"
          "The number of spots not used in ratio calculation in each data set:\n"
          "slide1.txt\tslide2.txt\t\n"
          "10\t11\t\n\n"
          "The number of outliers found in each data set:\n"
          "slide1.txt\tslide2.txt\t\n"
          "1\t1\t\n\n"
          "Number\t Position\t Name\tslide1.txt-Ratio\tslide2.txt-Ratio\t") +
      kColumnHeadings +
      "  1-  3\tAR1 AC1 R1 C1-C3\tspot3\t0.000000\t0.000000\t-\t-\t-\t-\t-\t-\t-\t0\t0\n"
      "  4-  6\tAR1 AC1 R2 C4-C2\tspot6\t0.500000\t5.000000\t-\t-\t-\t-\t-\t-\t-\t0\t2\n"
      "  7-  9\tAR2 AC1 R3 C3-C1\t\t2.000000\t0.000000\t"
      "2.000\t0.000\t0.000\t2.000\t1.000\t0.000\t-\t1\t0\n"
      " 10- 12\tAR2 AC2 R3 C2-C4\tspot12\t1.000000\t8.000000\t"
      "4.500\t3.500\t0.778\t4.500\t1.500\t1.500\t0.500000\t2\t0\n";
  EXPECT_EQ(read_file("merge.txt"), expected);
}

TEST(MergeReport, NoGenesAndChannelOneOverChannelTwo) {
  ScratchDirectory scratch;
  TestArrays arrays;
  ::Run run;
  run.options.FileCount = 1;
  run.options.ReplicateCount = 5;
  run.genes.GeneNumber = 0;
  run.options.RatioChoice = 2;
  run.options.FileNames = arrays.texts({"a.txt"}, 50);
  run.slides.channel_fields[0] = arrays.texts({"\t", "E:\\a.tif\t", "Alexa 647\t"}, 100);
  run.slides.channel_fields[1] = arrays.texts({"Ch2\t", "E:\\b.tif\t", "C3\t"}, 100);
  set_image_name(run, 0, "a.tif\t");
  set_image_name(run, 1, "b.tif\t");
  run.genes.file_zero_spots = arrays.ints({0});
  run.genes.file_outliers = arrays.ints({0});
  write_merge_report(run);
  give_outputs_their_names(run.options.console);

  const std::string expected =
      std::string(
          "The number of data sets merged:\t 1\n"
          "The number of genes in each file:\t 0\n"
          "The nummber of replicated spots in each file:\t 5\n\n"
          "Image\t Information:\n"
          "Channel (Fluor.)\tImage (listed only for the first data set)\n"
          " \t(Ale)\ta.tif\t\n"
          "Ch2(C3\t)\tb.tif\t\n"
          "\nch1 : ch2  ratio was considered\n\n"
          "The number of spots not used in ratio calculation in each data set:\n"
          "a.txt\t\n"
          "0\t\n\n"
          "The number of outliers found in each data set:\n"
          "a.txt\t\n"
          "0\t\n\n"
          "Number\t Position\t Name\ta.txt-Ratio\t") +
      kColumnHeadings;
  EXPECT_EQ(read_file("merge.txt"), expected);
}

// The dash stands only for the rejected gene's mark, a CV below -1000; -1000 itself is a value.
// A p-value of exactly 0 is a value too.
TEST(MergeReport, DashesOnlyBelowTheirLimits) {
  ScratchDirectory scratch;
  TestArrays arrays;
  ::Run run;
  run.options.FileCount = 1;
  run.options.ReplicateCount = 1;
  run.genes.GeneNumber = 2;
  run.options.RatioChoice = 1;
  run.options.FileNames = arrays.texts({"a.txt"}, 50);
  set_channel_lines(run, arrays);
  run.genes.file_zero_spots = arrays.ints({0});
  run.genes.file_outliers = arrays.ints({0});
  run.slides.spot_array_row = arrays.ints({1, 1});
  run.slides.spot_array_col = arrays.ints({1, 1});
  run.slides.spot_row = arrays.ints({1, 1});
  run.slides.spot_col = arrays.ints({7, 8});
  run.slides.spot_name = arrays.texts({"x\t", "y\t"}, 500);
  run.genes.file_gene_mean = arrays.double_rows({{0.25, 3.0}});
  run.genes.spots_used = arrays.ints({3, 4});
  run.genes.outliers_found = arrays.ints({1, 0});
  run.genes.ratio_mean = arrays.doubles({0.25, 3.0});
  run.genes.ratio_sd = arrays.doubles({0.0625, 0.0});
  run.genes.ratio_cv = arrays.doubles({-1000.0, -1000.5});
  run.genes.ratio_median = arrays.doubles({0.25, 3.0});
  run.genes.log_mean = arrays.doubles({-2.0, 1.5849625007211563});
  run.genes.log_sd = arrays.doubles({0.0005, 0.0});
  run.genes.p_value = arrays.doubles({0.0, -0.5});
  write_merge_report(run);
  give_outputs_their_names(run.options.console);

  const std::string rows =
      "  1-  1\tAR1 AC1 R1 C7-C7\tx\t0.250000\t"
      "0.250\t0.062\t-1000.000\t0.250\t-2.000\t0.001\t0.000000\t3\t1\n"
      "  2-  2\tAR1 AC1 R1 C8-C8\ty\t3.000000\t3.000\t0.000\t-\t3.000\t1.585\t0.000\t-\t4\t0\n";
  const std::string report = read_file("merge.txt");
  ASSERT_GE(report.size(), rows.size());
  EXPECT_EQ(report.substr(report.size() - rows.size()), rows);
}

TEST(MergeReportDeathTest, ReportThatCannotBeOpened) {
  ScratchDirectory scratch;
  std::filesystem::create_directory("merge.txt");
  TestArrays arrays;
  ::Run run = four_gene_run(arrays);
  EXPECT_EXIT(run_with_console_on_stderr([&] { write_merge_report(run); }),
              testing::ExitedWithCode(1),
              "^can't open the data file: <merge.txt>\n"
              "close the Excel or other application which opens this file and try again.\n"
              "press any key to exit the program\n$");
  EXPECT_TRUE(std::filesystem::is_directory("merge.txt"));
}

TEST(MergeReportDeathTest, ReportOnADeviceThatCannotBeWrittenStays) {
  if (kOnWindows)
    GTEST_SKIP() << "Windows has no device like /dev/full, on which every write fails";
  ScratchDirectory scratch;
  std::filesystem::create_symlink("/dev/full", "merge.txt");
  TestArrays arrays;
  ::Run run = four_gene_run(arrays);
  EXPECT_EXIT(run_with_console_on_stderr([&] { write_merge_report(run); }),
              testing::ExitedWithCode(1),
              "^can't write the data file <merge.txt>: No space left on device\n"
              "press any key to exit the program\n$");
  // Written in place, as a device is: the link stays.
  EXPECT_TRUE(std::filesystem::is_symlink("merge.txt"));
}

}  // namespace
