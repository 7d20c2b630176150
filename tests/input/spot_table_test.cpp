#include <string>

#include "input_test_support.hpp"

namespace {

class SpotTableTest : public ResultFilesTest {
 protected:
  // Writes bad.txt with the given spot rows and expects reading its table to end the run with the
  // damaged-file message for `line`.
  void expect_refused(const std::string& total_spots, const std::string& rows, int line,
                      const std::string& detail) {
    write_file("bad.txt", result_header(total_spots) + rows);
    prepare_run({"bad.txt"}, 1.0);
    EXPECT_RUN_ENDS_WITH(read_spot_tables(run), damaged("bad.txt", line, detail));
  }
};

TEST_F(SpotTableTest, ForegroundAndBackgroundAreKeptAsRead) {
  write_file("slide1.txt", result_header("2") + spot_row(1, "half", "150", "100", "150.5", "100") +
                               spot_row(2, "negative", "-5", "0", "0", "7e2"));
  prepare_run({"slide1.txt"}, 1.0);
  read_spot_tables(run);
  EXPECT_EQ(run.slides.ch1_fg[1][1], 150.0);
  EXPECT_EQ(run.slides.ch1_bg[1][1], 100.0);
  EXPECT_EQ(run.slides.ch2_fg[1][1], 150.5);
  EXPECT_EQ(run.slides.ch1_fg[1][2], -5.0);
  EXPECT_EQ(run.slides.ch2_bg[1][2], 700.0);
  EXPECT_TRUE(run.slides.first_file.bytes.empty());
}

TEST_F(SpotTableTest, PositionsComeFromTheFirstFileAndNamesFromTheLast) {
  const std::string long_name(498, 'n');
  write_file("one.txt", result_header("2") +
                            spot_row("1\t1\t2\t3\t4", "gene A", "0 0 110 10 0 0 220 20 0 0 0") +
                            spot_row("2\t5\t6\t7\t8", "gene B", "0 0 130 30 0 0 240 40 0 0 0"));
  // Another export of the same layout: line feeds alone, other positions, other names.
  write_file("two.txt",
             result_header("2", "\n", "1\tx.tif\tCy5\t", "2\ty.tif\tCy3\t") +
                 spot_row("9\t9\t9\t9\t9", "", "0 0 1010 10 0 0 1020 20 0 0 0", "\n") +
                 spot_row("9\t9\t9\t9\t9", long_name, "0 0 30 10 0 0 40 20 0 0 0", "\n"));
  prepare_run({"one.txt", "two.txt"}, 1.0);
  read_spot_tables(run);

  EXPECT_EQ(run.slides.spot_array_row[1], 1);
  EXPECT_EQ(run.slides.spot_array_col[1], 2);
  EXPECT_EQ(run.slides.spot_row[1], 3);
  EXPECT_EQ(run.slides.spot_col[1], 4);
  EXPECT_EQ(run.slides.spot_array_row[2], 5);
  EXPECT_EQ(run.slides.spot_col[2], 8);
  // An empty name is its tab alone; a name of 498 characters fits with its tab.
  EXPECT_STREQ(run.slides.spot_name[1].block(), "\t");
  EXPECT_EQ(std::string(run.slides.spot_name[2].block()), long_name + "\t");

  EXPECT_EQ(run.slides.ch1_fg[1][1], 110.0);
  EXPECT_EQ(run.slides.ch2_fg[1][2], 240.0);
  EXPECT_EQ(run.slides.ch1_fg[2][1], 1010.0);
  EXPECT_EQ(run.slides.ch2_bg[2][1], 20.0);
  EXPECT_EQ(run.slides.ch1_fg[2][2], 30.0);
}

TEST_F(SpotTableTest, NameWithBlanksIsKeptWhole) {
  write_file("blanks.txt",
             result_header("1") + spot_row(1, " name  with blanks ", "2", "1", "2", "1"));
  prepare_run({"blanks.txt"}, 1.0);
  read_spot_tables(run);
  EXPECT_STREQ(run.slides.spot_name[1].block(), " name  with blanks \t");
}

TEST_F(SpotTableTest, RowOfALaterExportWithMoreValuesIsRefused) {
  std::string numbers = "1 2";
  for (int value = 3; value <= 27; ++value) {
    numbers += '\t';
    numbers += std::to_string(value);
  }
  expect_refused("1", spot_row("1\t1\t1\t1\t1", "wide", numbers), 41,
                 "spot row 1 holds 27 values where 11 were expected");
}

TEST_F(SpotTableTest, RowWithTooFewValuesIsRefusedAtItsOwnLine) {
  expect_refused("2",
                 spot_row("1\t1\t1\t1\t1", "narrow", "1 2 3 4 5 6 7 8 9 10") +
                     spot_row(2, "next", "1", "1", "1", "1"),
                 42, "spot row 1 holds 10 values where 11 were expected");
}

TEST_F(SpotTableTest, CharactersStuckToTheLastNumberAreRefused) {
  expect_refused("1", spot_row("1\t1\t1\t1\t1", "stuck", "1 2 3 4 5 6 7 8 9 10 11x"), 41,
                 "expected only white space after value 11 of spot row 1, found \"x\"");
}

TEST_F(SpotTableTest, NumbersThatCannotBeConvertedAreRefused) {
  expect_refused("2",
                 spot_row(1, "a", "1", "1", "1", "1") +
                     spot_row("2\tx7\t1\t1\t1", "b", "1 2 3 4 5 6 7 8 9 10 11"),
                 43, "expected an integer (column 2 of spot row 2), found \"x7\"");
}

TEST_F(SpotTableTest, IntegersOutOfRangeAreRefused) {
  expect_refused("1", spot_row("99999999999\t1\t1\t1\t1", "a", "1 2 3 4 5 6 7 8 9 10 11"), 41,
                 "expected an integer (column 1 of spot row 1), found \"99999999999\"");
}

TEST_F(SpotTableTest, RealsThatCannotBeConvertedAreRefused) {
  expect_refused("1", spot_row(1, "a", "1", "1", "n/a", "1"), 41,
                 "expected a real number (value 7 of spot row 1), found \"n/a\"");
}

TEST_F(SpotTableTest, FileEndingInsideARowIsRefused) {
  expect_refused("2",
                 spot_row(1, "a first spot with a long name", "1", "1", "1", "1") +
                     "2\t1\t1\t2\t2\tcut\t1.5\t2",
                 43, "expected a real number (value 3 of spot row 2), found the end of the file");
}

TEST_F(SpotTableTest, FileEndingBeforeTheSeparatorIsRefused) {
  expect_refused(
      "2", spot_row(1, "a first spot with a long name", "1", "1", "1", "1") + "2\t1\t1\t2\t2", 43,
      "expected the separator after column 5 of spot row 2, found the end of the file");
}

TEST_F(SpotTableTest, NameTooLongIsRefused) {
  expect_refused("1", spot_row(1, std::string(499, 'n'), "1", "1", "1", "1"), 41,
                 "expected a tab-ended field of at most 499 characters (name of spot row 1)");
}

// Printed as text, the name would end at the zero and lose its tab: the columns would shift.
TEST_F(SpotTableTest, NameWithAZeroByteIsRefused) {
  expect_refused("1", spot_row(1, std::string("ab\0c", 4), "1", "1", "1", "1"), 41,
                 "expected text without zero bytes (name of spot row 1)");
}

TEST_F(SpotTableTest, NameWithoutATabIsRefused) {
  expect_refused("1", "1\t1\t1\t1\t1\tname 1.5 -2 1 1 0.25 8 1 1 9 10 11\r\n", 41,
                 "expected a tab-ended field of at most 499 characters (name of spot row 1), "
                 "found the end of the file");
}

TEST_F(SpotTableTest, LaterFileEndingBeforeItsSpotTableIsRefused) {
  write_file("one.txt", result_header("1") + spot_row(1, "a", "1", "1", "1", "1"));
  write_file("two.txt", "User\r\nonly\r\n");
  prepare_run({"one.txt", "two.txt"}, 1.0);
  EXPECT_RUN_ENDS_WITH(
      read_spot_tables(run),
      damaged("two.txt", 3, "expected the file to go on to line 41, found the end of the file"));
}

TEST_F(SpotTableTest, LaterFileMissingOrNotAResultFileEndsTheRun) {
  write_file("one.txt", result_header("1") + spot_row(1, "a", "1", "1", "1", "1"));
  write_file("wide.txt", std::string("\xFF\xFEU\0s\0e\0r\0", 10));
  prepare_run({"one.txt", "gone.txt", "wide.txt"}, 1.0);
  EXPECT_RUN_ENDS_WITH(read_spot_tables(run),
                       "can't open the data file: gone.txt\npress any key to exit the program\n");

  write_file("gone.txt", result_header("1") + spot_row(1, "a", "1", "1", "1", "1"));
  EXPECT_RUN_ENDS_WITH(read_spot_tables(run),
                       "\n wide.txt is not a valid ASCII format Vantar output file, check\n"
                       " the README to see how to convert a Unicode Vantar output file\n"
                       " to an ASCII format file\n\npress any key to exit the program\n");
}

}  // namespace
