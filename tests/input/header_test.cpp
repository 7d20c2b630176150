#include <string>
#include <utility>

#include "input_test_support.hpp"

namespace {

const std::string kNotValid =
    " is not a valid ASCII format Vantar output file, check\n"
    " the README to see how to convert a Unicode Vantar output file\n"
    " to an ASCII format file\n\npress any key to exit the program\n";

// The message for a plain text file in none of the formats, whose first line shows as given.
std::string not_readable(const std::string& first_line) {
  return " is in none of the formats that Corvane reads; its first line holds\n   " + first_line +
         "\n Corvane reads the Vantar scanner's ASCII export (first word User), GenePix\n"
         " results (ATF on line 1, a Type=GenePix Results record), Agilent Feature\n"
         " Extraction text (a TYPE line, then FEPARAMS), SPOT tables (headings indexs,\n"
         " grid.r, ..., Rmean, Gmean) and, with --format columns, a tab-separated table\n"
         " whose columns --columns names.\n\npress any key to exit the program\n";
}

// The echo of result_header's values and default channel lines.
std::string echo_of_header(const std::string& total_spots) {
  return "ArrayRows = 2\nArrayColumns = 3\nRows = 12\nColumns = 16\nArraySpots = 768\n"
         "TotalSpots = " +
         total_spots +
         "\n\nChannel (Fluor.)\tImage (listed only for the first data set)\n"
         "1\t(Cy3)\tcy3 scan.tif\t\n"
         " \t(R\t) \tplain.tif\t\n";
}

std::string replaced(std::string text, const std::string& from, const std::string& to) {
  const std::size_t at = text.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  return text.replace(at, from.size(), to);
}

TEST_F(ResultFilesTest, HeaderIsReadEchoedAndSkippedToTheSpotTable) {
  write_file("slide1.txt", result_header("3") + spot_row(1, "", "1", "1", "1", "1") +
                               spot_row(2, "", "1", "1", "1", "1") +
                               spot_row(3, "", "1", "1", "1", "1"));
  testing::internal::CaptureStdout();
  run.slides.first_file = open_result_file(Console{}, "slide1.txt", 1);
  read_result_header(run);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), echo_of_header("3"));

  EXPECT_EQ(run.slides.ArrayRows, 2);
  EXPECT_EQ(run.slides.ArrayColumns, 3);
  EXPECT_EQ(run.slides.Rows, 12);
  EXPECT_EQ(run.slides.Columns, 16);
  EXPECT_EQ(run.slides.ArraySpots, 768);
  EXPECT_EQ(run.slides.TotalSpots, 3);
  EXPECT_STREQ(run.slides.channel_fields[0][1].block(), "1\t");
  EXPECT_STREQ(run.slides.channel_fields[0][2].block(), "C:\\scans\\slide 7\\cy3 scan.tif\t");
  EXPECT_STREQ(run.slides.channel_fields[0][3].block(), "Cy3-Green\t");
  EXPECT_STREQ(run.slides.channel_fields[1][1].block(), "\t");
  EXPECT_STREQ(run.slides.image_name[0], "cy3 scan.tif\t");
  // An image path without a backslash is taken whole.
  EXPECT_STREQ(run.slides.image_name[1], "plain.tif\t");
  EXPECT_EQ(run.slides.first_file.line, 31);

  // With three spots the spot table begins on line 43.
  seek_spot_table(run);
  EXPECT_EQ(run.slides.first_file.line, 43);
  EXPECT_EQ(describe_next_word(run.slides.first_file), "\"1\"");
}

TEST_F(ResultFilesTest, ChannelEchoShowsAtMostThreeCharactersOfAField) {
  write_file("slide1.txt", result_header("1", "\n", "Ch1\tD:\\images\\\tCy\trest",
                                         "Channel 2\tE:\\slides\\red.tif\t\tPMT") +
                               spot_row(1, "", "1", "1", "1", "1", "\n"));
  testing::internal::CaptureStdout();
  run.slides.first_file = open_result_file(Console{}, "slide1.txt", 1);
  read_result_header(run);
  const std::string echo = testing::internal::GetCapturedStdout();
  const std::string channel_lines = echo.substr(echo.find("Ch1("));
  // A two-character field keeps its tab; a path ending in a backslash leaves the tab alone.
  EXPECT_EQ(channel_lines, "Ch1(Cy\t)\t\t\nCha( \t) \tred.tif\t\n");
}

TEST_F(ResultFilesTest, FirstWordMustBeUserExactly) {
  // A plain ASCII file of another kind is told which formats Corvane reads and what its first
  // line holds.
  const std::pair<std::string, std::string> not_user[] = {
      {"user Name:\tlab\r\n", "\"user Name:\\tlab\""},
      {"USER\r\n", "\"USER\""},
      {"User:\tlab\r\n", "\"User:\\tlab\""},
      {"Users\r\n", "\"Users\""},
      {"", "nothing: the file is empty"},
      {" \r\n\t", "\" \""},
  };
  for (const auto& [text, first_line] : not_user) {
    SCOPED_TRACE(text);
    write_file("other.txt", text);
    for (int32_t file_number : {1, 2}) {
      EXPECT_RUN_ENDS_WITH(open_result_file(Console{}, "other.txt", file_number),
                           "\n other.txt" + not_readable(first_line));
    }
  }
  // A Unicode file keeps the advice to convert it.
  const std::string unicode[] = {
      std::string("\xFF\xFEU\0s\0e\0r\0 \0N\0", 14),  // UTF-16 with its byte-order mark
      std::string("U\0s\0e\0r\0 \0N\0", 12),          // UTF-16 without one
  };
  for (const std::string& text : unicode) {
    write_file("other.txt", text);
    EXPECT_RUN_ENDS_WITH(open_result_file(Console{}, "other.txt", 1), "\n other.txt" + kNotValid);
    EXPECT_RUN_ENDS_WITH(open_result_file(Console{}, "other.txt", 2), "\n other.txt" + kNotValid);
  }
}

TEST_F(ResultFilesTest, UserFollowedByWhiteSpaceIsAccepted) {
  write_file("a.txt", "User\tName:\r\n");
  write_file("b.txt", "\r\n  User");
  ResultFile tab_after = open_result_file(Console{}, "a.txt", 1);
  EXPECT_EQ(tab_after.pos, 4u);
  ResultFile at_end = open_result_file(Console{}, "b.txt", 2);
  EXPECT_EQ(at_end.line, 2);
}

TEST_F(ResultFilesTest, FilesThatCannotBeOpenedHaveTheirOwnMessages) {
  EXPECT_RUN_ENDS_WITH(open_result_file(Console{}, "gone.txt", 1),
                       "can't open the data file: gone.txt, press any key to exit\n"
                       "press any key to exit the program\n");
  EXPECT_RUN_ENDS_WITH(open_result_file(Console{}, "gone.txt", 3),
                       "can't open the data file: gone.txt\n"
                       "press any key to exit the program\n");
}

TEST_F(ResultFilesTest, HeaderThatEndsEarlyIsRefused) {
  write_file("short.txt", "User Name\r\nx\r\nx\r\nx\r\n");
  run.slides.first_file = open_result_file(Console{}, "short.txt", 1);
  EXPECT_RUN_ENDS_WITH(
      read_result_header(run),
      damaged("short.txt", 5, "expected the file to go on to line 11, found the end of the file"));
}

TEST_F(ResultFilesTest, HeaderValuesMustBeIntegers) {
  write_file("rows.txt", replaced(result_header("3"), "Rows\t12", "Rows\tabc"));
  run.slides.first_file = open_result_file(Console{}, "rows.txt", 1);
  EXPECT_RUN_ENDS_WITH(read_result_header(run),
                       "ArrayRows = 2\nArrayColumns = 3\n" +
                           damaged("rows.txt", 13, "expected an integer (Rows), found \"abc\""));

  write_file("huge.txt", replaced(result_header("3"), "Total Spots\t3", "Total Spots\t3000000000"));
  run.slides.first_file = open_result_file(Console{}, "huge.txt", 1);
  EXPECT_RUN_ENDS_WITH(
      read_result_header(run),
      "ArrayRows = 2\nArrayColumns = 3\nRows = 12\nColumns = 16\nArraySpots = 768\n" +
          damaged("huge.txt", 22, "expected an integer (TotalSpots), found \"3000000000\""));
}

TEST_F(ResultFilesTest, TotalSpotsBelowOneIsRefused) {
  write_file("none.txt", result_header("-3"));
  run.slides.first_file = open_result_file(Console{}, "none.txt", 1);
  EXPECT_RUN_ENDS_WITH(
      read_result_header(run),
      "ArrayRows = 2\nArrayColumns = 3\nRows = 12\nColumns = 16\nArraySpots = 768\n" +
          damaged("none.txt", 22, "expected TotalSpots of at least 1, found -3"));
}

TEST_F(ResultFilesTest, ChannelFieldsMustFitAndEndWithATab) {
  const std::string echo = echo_of_header("1");
  const std::string echo_before_channels = echo.substr(0, echo.find("1\t(Cy3)"));

  const std::string long_path = std::string(99, 'p') + "\t";
  write_file("long.txt", result_header("1", "\r\n", "1\t" + long_path + "Cy3\t"));
  run.slides.first_file = open_result_file(Console{}, "long.txt", 1);
  EXPECT_RUN_ENDS_WITH(
      read_result_header(run),
      echo_before_channels +
          damaged(
              "long.txt", 30,
              "expected a tab-ended field of at most 99 characters (field 2 of channel line 1)"));

  const std::string header = result_header("1");
  write_file("cut.txt", header.substr(0, header.find("\tplain.tif")) + "\tplain.tif");
  run.slides.first_file = open_result_file(Console{}, "cut.txt", 1);
  EXPECT_RUN_ENDS_WITH(
      read_result_header(run),
      echo_before_channels + damaged("cut.txt", 31,
                                     "expected a tab-ended field of at most 99 characters (field "
                                     "2 of channel line 2), found the end of the file"));
}

TEST_F(ResultFilesTest, SpotTableMustHoldTotalSpotsRows) {
  const std::string rows =
      spot_row(1, "a", "1", "1", "1", "1") + spot_row(2, "b", "1", "1", "1", "1");
  write_file("few.txt", result_header("1000") + rows);
  testing::internal::CaptureStdout();
  run.slides.first_file = open_result_file(Console{}, "few.txt", 1);
  read_result_header(run);
  testing::internal::GetCapturedStdout();
  EXPECT_RUN_ENDS_WITH(
      seek_spot_table(run),
      damaged("few.txt", 1040,
              "expected TotalSpots = 1000 spot rows of at least 32 characters each, found " +
                  std::to_string(rows.size()) + " characters to the end of the file"));
}

TEST_F(ResultFilesTest, LineThirtySixMustHoldAnInteger) {
  write_file("seven.txt", replaced(result_header("1"), "7\tmeasurements", "seven\tmeasurements") +
                              spot_row(1, "a", "1", "1", "1", "1"));
  testing::internal::CaptureStdout();
  run.slides.first_file = open_result_file(Console{}, "seven.txt", 1);
  read_result_header(run);
  testing::internal::GetCapturedStdout();
  EXPECT_RUN_ENDS_WITH(
      seek_spot_table(run),
      damaged("seven.txt", 36, "expected an integer (the value of line 36), found \"seven\""));
}

}  // namespace
