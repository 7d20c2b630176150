#include <bit>
#include <cmath>
#include <cstdlib>
#include <string>

#include "input_test_support.hpp"

namespace {

TEST(ReaderPrimitives, IntegersFollowFormattedInput) {
  ResultFile file = result_file_from(" +5\r\n\t-7\n12abc +-5");
  int32_t value = 0;
  ASSERT_TRUE(read_int32(file, value));
  EXPECT_EQ(value, 5);
  ASSERT_TRUE(read_int32(file, value));
  EXPECT_EQ(value, -7);
  EXPECT_EQ(file.line, 2);
  // The digits end the integer; what follows them is the next read's.
  ASSERT_TRUE(read_int32(file, value));
  EXPECT_EQ(value, 12);
  EXPECT_EQ(file.line, 3);
  std::string word;
  ASSERT_TRUE(read_word(file, word));
  EXPECT_EQ(word, "abc");
  // A plus sign before a minus sign is no number; the position stays at the sign.
  EXPECT_FALSE(read_int32(file, value));
  EXPECT_EQ(describe_next_word(file), "\"+-5\"");
}

TEST(ReaderPrimitives, IntegersMustFitIn32Bits) {
  ResultFile file = result_file_from("-2147483648 2147483647 2147483648");
  int32_t value = 0;
  ASSERT_TRUE(read_int32(file, value));
  EXPECT_EQ(value, INT32_MIN);
  ASSERT_TRUE(read_int32(file, value));
  EXPECT_EQ(value, INT32_MAX);
  EXPECT_FALSE(read_int32(file, value));
  EXPECT_EQ(describe_next_word(file), "\"2147483648\"");
}

TEST(ReaderPrimitives, SignsAloneAndTheEndOfTheFileAreNoNumbers) {
  int32_t integer = 0;
  double real = 0.0;
  ResultFile minus = result_file_from("- 5");
  EXPECT_FALSE(read_int32(minus, integer));
  EXPECT_FALSE(read_real(minus, real));
  ResultFile plus = result_file_from("+ 5");
  EXPECT_FALSE(read_int32(plus, integer));
  EXPECT_FALSE(read_real(plus, real));
  ResultFile blank = result_file_from(" \r\n ");
  EXPECT_FALSE(read_int32(blank, integer));
  EXPECT_FALSE(read_real(blank, real));
  EXPECT_EQ(blank.line, 2);
  EXPECT_EQ(describe_next_word(blank), "the end of the file");
}

TEST(ReaderPrimitives, RealsFollowFormattedInput) {
  ResultFile file = result_file_from("+.5 -1.25e2\r\n3 1e-400 7x");
  double value = 0.0;
  const double expected[] = {0.5, -125.0, 3.0, 0.0, 7.0};
  for (double want : expected) {
    ASSERT_TRUE(read_real(file, value));
    EXPECT_EQ(value, want);
  }
  EXPECT_EQ(file.line, 2);
  EXPECT_FALSE(read_real(file, value));
  EXPECT_EQ(describe_next_word(file), "\"x\"");
}

// Text for a value that is not finite, and a number beyond the range of a double, are no
// measurement: the reader refuses them and leaves the position at the text for the message.
TEST(ReaderPrimitives, RealsThatAreNotFiniteAreRefused) {
  for (const char* text : {"inf", "-inf", "+INF", "Infinity", "-iNfInItY", "nan", "-NaN", "NAN(1)",
                           "1e999", "-1e999", "1e309"}) {
    ResultFile file = result_file_from(std::string(" ") + text + "\t5");
    double value = 0.0;
    EXPECT_FALSE(read_real(file, value)) << text;
    EXPECT_EQ(describe_next_word(file), "\"" + std::string(text) + "\"");
  }
}

// Plain decimals take a shortcut through one exact division; it must round as the general
// conversion does, also where the digits no longer fit the shortcut.
TEST(ReaderPrimitives, RealsRoundAsTheGeneralConversionDoes) {
  const char* texts[] = {"0.1",
                         "0.3",
                         "2.675",
                         "1.0000000000000002",
                         "9007199254740993",
                         "9007199254740992.5",
                         "123456789012345678901",
                         "0.0000000000000000000001",
                         "-0",
                         "65535.999",
                         "5.",
                         "1e5",
                         "4.35E-3"};
  for (const char* text : texts) {
    ResultFile file = result_file_from(text);
    double value = 0.0;
    ASSERT_TRUE(read_real(file, value)) << text;
    EXPECT_EQ(std::bit_cast<uint64_t>(value), std::bit_cast<uint64_t>(std::strtod(text, nullptr)))
        << text;
  }
}

TEST(ReaderPrimitives, TabFieldsAreTakenRaw) {
  ResultFile file = result_file_from(" spot A\t\tline\nfeed\tab");
  CharMatrix rows = cmatrix(1, 1, 0, 20);
  const OffsetVector<char>& row = rows[1];
  // Leading blanks and inner blanks belong to the field, and so does its tab.
  ASSERT_TRUE(read_tab_field(file, row, 20));
  EXPECT_STREQ(row.block(), " spot A\t");
  // A field that begins with a tab is the tab alone.
  ASSERT_TRUE(read_tab_field(file, row, 20));
  EXPECT_STREQ(row.block(), "\t");
  // A line feed inside a field is part of it and is counted.
  ASSERT_TRUE(read_tab_field(file, row, 20));
  EXPECT_STREQ(row.block(), "line\nfeed\t");
  EXPECT_EQ(file.line, 2);
  // No tab before the end: nothing is read, and the field is left zeroed.
  EXPECT_FALSE(read_tab_field(file, row, 20));
  EXPECT_EQ(row[0], '\0');
  EXPECT_EQ(describe_next_word(file), "\"ab\"");
  release_cmatrix(rows, 1, 1, 0, 20);
}

TEST(ReaderPrimitives, TabFieldMustFitWithItsZero) {
  CharMatrix rows = cmatrix(1, 1, 0, 5);
  ResultFile fits = result_file_from("abc\t");
  ASSERT_TRUE(read_tab_field(fits, rows[1], 5));
  EXPECT_STREQ(rows[1].block(), "abc\t");
  ResultFile too_long = result_file_from("abcd\t");
  EXPECT_FALSE(read_tab_field(too_long, rows[1], 5));
  EXPECT_EQ(too_long.pos, 0u);
  release_cmatrix(rows, 1, 1, 0, 5);
}

TEST(ReaderPrimitives, SkipLinesCountsLineFeeds) {
  ResultFile file = result_file_from("one\r\ntwo\nthree\nfour");
  skip_lines(file, 0);
  EXPECT_EQ(file.pos, 0u);
  file.pos = 1;  // from the middle of a line, the first line feed ends it
  skip_lines(file, 2);
  EXPECT_EQ(file.line, 3);
  std::string word;
  ASSERT_TRUE(read_word(file, word));
  EXPECT_EQ(word, "three");
}

TEST(ReaderPrimitives, WordsOfAnyLengthAreReadWhole) {
  const std::string long_word(300, 'w');
  ResultFile file = result_file_from("\r\n  " + long_word + "\tnext");
  std::string word;
  ASSERT_TRUE(read_word(file, word));
  EXPECT_EQ(word, long_word);
  EXPECT_EQ(file.line, 2);
}

TEST(ReaderPrimitives, DescribedWordsAreShortAndPrintable) {
  ResultFile file = result_file_from(std::string("U\0s\0e\0r\0 ", 9) + std::string(60, 'n'));
  EXPECT_EQ(describe_next_word(file), "\"U\\x00s\\x00e\\x00r\\x00\"");
  file.pos = 9;
  EXPECT_EQ(describe_next_word(file), "\"" + std::string(40, 'n') + "...\"");
}

TEST(ReaderPrimitives, SkippingPastTheEndRejectsTheFile) {
  ResultFile file = result_file_from("one\ntwo\nthree");
  EXPECT_RUN_ENDS_WITH(skip_lines(file, 5), damaged("memory.txt", 3,
                                                    "expected the file to go on to line 6, "
                                                    "found the end of the file"));
}

TEST_F(ResultFilesTest, LoadingTakesTheWholeFile) {
  std::string text;
  for (int i = 0; i < 20000; ++i)
    text += "line " + std::to_string(i) + "\r\n";
  write_file("big.txt", text);
  ResultFile file;
  ASSERT_TRUE(load_result_file("big.txt", file));
  EXPECT_EQ(std::string(file.bytes.begin(), file.bytes.end()), text);
  EXPECT_EQ(file.name, "big.txt");
  close_result_file(file);
  EXPECT_TRUE(file.bytes.empty());
}

TEST_F(ResultFilesTest, MissingFilesAndDirectoriesDoNotLoad) {
  ResultFile file;
  EXPECT_FALSE(load_result_file("missing.txt", file));
  std::filesystem::create_directory("folder");
  EXPECT_FALSE(load_result_file("folder", file));
}

}  // namespace
