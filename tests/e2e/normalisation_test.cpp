// The normalisation methods and dye swaps from the command line, through the real binary.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "support/binary_run.hpp"
#include "support/result_file_text.hpp"

namespace {

// Five spots of one print-tip block; every background is 10 (channel 2 of spot 5: 100), so the
// nets are the intensities less 10.
std::string slide(const std::vector<std::string>& ch1, const std::vector<std::string>& ch2) {
  const char* names[] = {"G1", "G1", "G2", "G2", "G3"};
  std::vector<SpotRowText> spots;
  for (std::size_t s = 0; s < 5; ++s) {
    spots.push_back(
        {1, 1, 1, static_cast<int>(s + 1), names[s], ch1[s], "10", ch2[s], s == 4 ? "100" : "10"});
  }
  return result_file_text(spots, "1\tC:\\scan\\a1.tif\tCy3\t", "2\tC:\\scan\\a2.tif\tCy5\t");
}

// Slide a: nets (100, 200), (100, 400), (100, 100), (100, 800) and (50, -25). Slide b holds the
// same samples with the dyes exchanged: (200, 100), (400, 100), (100, 100), (800, 100), (50, -25).
void write_slides(const ScratchFolder& folder) {
  folder.write("a.txt",
               slide({"110", "110", "110", "110", "60"}, {"210", "410", "110", "810", "75"}));
  folder.write("b.txt",
               slide({"210", "410", "110", "810", "60"}, {"110", "110", "110", "110", "75"}));
}

std::string block_heading(const std::string& file, const std::string& totals,
                          const std::string& factor, const std::string& ratio) {
  return "\n\nFiles:\t  " + file +
         "\n\nNormalization\t Information:\n  \t Channel 1 \t Channel 2\n"
         "Total Intensities(Backgound Subtracted):\t " +
         totals + "\nNormalization Factor:\t 1\t " + factor +
         "\n\nbegin data\nNumber\t Position\t Gene Name\tCh.1 Intensity \t Ch.2 Intensity \t " +
         ratio + " Ratio\t\n";
}

}  // namespace

// The median method: on both slides M = 1, 2, 0, 3 (slide b's in its own orientation, channel 1
// over channel 2), median 1.5, so the normalised ratios are 2^-0.5, 2^0.5, 2^-1.5 and 2^1.5.
// Slide a's channel 2 becomes 100 times those; every spot of it was divided by 2^1.5 = 2.828427.
// Slide b's channel 2 becomes channel 1 over the ratio, 200 * 2^0.5 = 400 * 2^-0.5 = ... =
// 282.842712, each a channel 2 of 100 divided by 0.353553. Spot 5 has no ratio and is divided by
// the channel-total factor: 1500 / 450 on slide a (-25 / 3.333333 = -7.5) and 400 / 1550 on slide
// b (-96.875). merge.txt keeps the run's orientation.
TEST(Normalisation, MedianMethodWithADyeSwap) {
  ScratchFolder folder;
  write_slides(folder);
  BinaryRun run = folder.run_with_arguments("-q -r 2 --normalise median --dye-swap 2 a.txt b.txt");
  ASSERT_EQ(run.status, 0) << run.errors;
  EXPECT_EQ(run.errors, "");
  const std::string position = "\tAR1 AC1 R1 C";
  const std::string expected =
      block_heading("a.txt", "450.000000\t 1500.000000", "2.828427", "Ch.2/Ch.1") + "1" + position +
      "1\tG1\t100.000000\t 70.710678\t 0.707107\t\n" + "2" + position +
      "2\tG1\t100.000000\t 141.421356\t 1.414214\t\n" + "3" + position +
      "3\tG2\t100.000000\t 35.355339\t 0.353553\t\n" + "4" + position +
      "4\tG2\t100.000000\t 282.842712\t 2.828427\t\n" + "5" + position +
      "5\tG3\t50.000000\t -7.500000\t 0.000000\t\n" +
      block_heading("b.txt", "1550.000000\t 400.000000", "0.353553", "Ch.1/Ch.2") + "1" + position +
      "1\tG1\t200.000000\t 282.842712\t 0.707107\t\n" + "2" + position +
      "2\tG1\t400.000000\t 282.842712\t 1.414214\t\n" + "3" + position +
      "3\tG2\t100.000000\t 282.842712\t 0.353553\t\n" + "4" + position +
      "4\tG2\t800.000000\t 282.842712\t 2.828427\t\n" + "5" + position +
      "5\tG3\t50.000000\t -96.875000\t 0.000000\t\n";
  EXPECT_EQ(folder.read("data.txt"), expected);
  const std::string merge = folder.read("merge.txt");
  EXPECT_NE(merge.find("\nch2 : ch 1 ratio was considered\n\n"), std::string::npos);
  // Gene 1 has the mean of 2^-0.5 and 2^0.5 on both slides.
  EXPECT_NE(merge.find("  1-  2\tAR1 AC1 R1 C1-C2\tG1\t1.060660\t1.060660\t"), std::string::npos);
}

// none leaves channel 2 as it was read, factor 1; total, named or not, is the plain merge; a
// print-tip fit of fewer than four points leaves every ratio at 1, channel 2 equal to channel 1.
TEST(Normalisation, NoneTotalAndTooFewPointsToFit) {
  ScratchFolder folder;
  write_slides(folder);
  ASSERT_EQ(folder.run_with_arguments("-q -r 2 a.txt b.txt").status, 0);
  const std::string plain = folder.read("data.txt");
  ASSERT_EQ(folder.run_with_arguments("-q -r 2 --normalise total a.txt b.txt").status, 0);
  EXPECT_EQ(folder.read("data.txt"), plain);

  ASSERT_EQ(folder.run_with_arguments("-q -r 2 --normalise none a.txt").status, 0);
  const std::string none = folder.read("data.txt");
  EXPECT_NE(none.find("Normalization Factor:\t 1\t 1.000000\n"), std::string::npos);
  EXPECT_NE(none.find("\tG1\t100.000000\t 400.000000\t 4.000000\t\n"), std::string::npos);
  EXPECT_NE(none.find("\tG3\t50.000000\t -25.000000\t 0.000000\t\n"), std::string::npos);

  ASSERT_EQ(folder.run_with_arguments("-q -r 2 --normalise printtip-loess --ratio 2 b.txt").status,
            0);
  const std::string few = folder.read("data.txt");
  EXPECT_NE(few.find("\tG2\t800.000000\t 800.000000\t 1.000000\t\n"), std::string::npos);
  EXPECT_NE(few.find("Ch.1/Ch.2 Ratio"), std::string::npos);
}

// The gene table's moderated columns for the median run above: each gene's slide means are 0 on
// both slides (the means of -0.5 and 0.5, of -1.5 and 1.5, up to the rounding of 2^M and back),
// so both variances are 0 and the test has t = 0, p = 1 with the 2 degrees of freedom of both.
TEST(Normalisation, ModeratedColumnsOfTheGeneTable) {
  ScratchFolder folder;
  write_slides(folder);
  ASSERT_EQ(folder
                .run_with_arguments(
                    "-q -r 2 --normalise median --dye-swap 2 --genes genes.tsv a.txt b.txt")
                .status,
            0);
  std::istringstream table(folder.read("genes.tsv"));
  std::string line;
  std::getline(table, line);
  const std::string moderated =
      "\tzero_ratios\tslides_used\tslide_log2_mean\tmod_t\tmod_df\tmod_p_value\tmod_q_value";
  EXPECT_TRUE(line.ends_with(moderated)) << line;
  int rows = 0;
  while (std::getline(table, line)) {
    ++rows;
    std::vector<std::string> fields;
    std::istringstream row(line);
    for (std::string field; std::getline(row, field, '\t');)
      fields.push_back(field);
    // Nine fields, a ratio per slide, 14 statistics and counts, then the moderated test.
    ASSERT_EQ(fields.size(), 30u) << line;
    EXPECT_EQ(fields[24], "2");
    EXPECT_NEAR(std::stod(fields[25]), 0.0, 1e-15);
    EXPECT_NEAR(std::stod(fields[26]), 0.0, 1e-12);
    EXPECT_EQ(fields[27], "2");
    EXPECT_NEAR(std::stod(fields[28]), 1.0, 1e-12);
    EXPECT_NEAR(std::stod(fields[29]), 1.0, 1e-12);
  }
  EXPECT_EQ(rows, 2);
}
