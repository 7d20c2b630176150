// The fast path of the spot rows: what it takes, what it leaves to the general readers, and that
// both give the same values, positions, line numbers and names.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "input/plain_spot_row.hpp"
#include "input_test_support.hpp"

namespace {

const std::string kNumbers =
    "121\t296.19\t1488.74\t156.79\t121\t764.67\t1990.13\t345.59\t1.235\t0.0\t0.0";

TEST(PlainSpotRow, TakesARowOfTheCommonShape) {
  ResultFile file = result_file_from("\r\n27647\t6\t6\t24\t31\tGENE6912\t" + kNumbers + "\r\nnext");
  file.pos = 0;
  PlainSpotRow row;
  ASSERT_TRUE(read_plain_spot_row(file, row, true));
  EXPECT_EQ(row.position[0], 6);
  EXPECT_EQ(row.position[1], 6);
  EXPECT_EQ(row.position[2], 24);
  EXPECT_EQ(row.position[3], 31);
  EXPECT_EQ(std::string(row.name, row.name_length), "GENE6912\t");
  EXPECT_EQ(row.ch1_intensity, 1488.74);
  EXPECT_EQ(row.ch1_background, 156.79);
  EXPECT_EQ(row.ch2_intensity, 1990.13);
  EXPECT_EQ(row.ch2_background, 345.59);
  // Right after the last number, with the line feed before the row counted.
  EXPECT_EQ(file.bytes[file.pos], '\r');
  EXPECT_EQ(file.line, 2);
}

TEST(PlainSpotRow, SignsPointsLongFieldsAndEmptyNamesStillTakeTheFastPath) {
  // Nine-digit positions, a name that fills the row to 127 bytes, numbers of fifteen characters.
  const std::string start = "123456789\t2\t3\t4\t5\t";
  const std::string numbers =
      "\t-1.5\t.5\t7.\t-0\t0.0\t1\t-1234567.890123\t3\t4\t5\t012345678901234";
  const std::string name(127 - start.size() - numbers.size(), 'n');
  for (const std::string& text : {start + numbers, start + name + numbers}) {
    SCOPED_TRACE(text);
    ResultFile file = result_file_from(text + "\n");
    PlainSpotRow row;
    ASSERT_TRUE(read_plain_spot_row(file, row, true));
    EXPECT_EQ(row.position[0], 2);
    EXPECT_EQ(row.name_length, text.size() - start.size() - numbers.size() + 1);
    EXPECT_EQ(row.ch1_intensity, 7.0);
    EXPECT_TRUE(std::signbit(row.ch1_background));
    EXPECT_EQ(row.ch2_intensity, -1234567.890123);
    EXPECT_EQ(row.ch2_background, 3.0);
    EXPECT_EQ(file.bytes[file.pos], '\n');
  }
}

// The later files' positions are only checked; what the row held before stays.
TEST(PlainSpotRow, PositionsAreConvertedOnlyWhenAskedFor) {
  ResultFile file = result_file_from("1\t2\t3\t4\t5\tname\t" + kNumbers + "\n");
  PlainSpotRow row;
  row.position[2] = -7;
  ASSERT_TRUE(read_plain_spot_row(file, row, false));
  EXPECT_EQ(row.position[2], -7);
  EXPECT_EQ(row.ch2_background, 345.59);
}

// Each of these rows has something the fast path does not take; the file must be left as it was
// for the general readers.
TEST(PlainSpotRow, LeavesEveryOtherShapeToTheGeneralReaders) {
  const std::string name_too_long(499, 'n');
  const std::string after_first = kNumbers.substr(3);
  const std::string rows[] = {
      "1 1\t1\t1\t1\tname\t" + kNumbers + "\n",                           // a blank for a tab
      "1\t1\t1\t1\t1\tname\t121 " + kNumbers.substr(4) + "\n",            // here too
      "1\t1.5\t1\t1\t1\tname\t" + kNumbers + "\n",                        // a point in a position
      "1\t1\t1\t1\t\tname\t" + kNumbers + "\n",                           // an empty position
      "1\t1\t1\t1\t1\t" + std::string(52, 'n') + "\t" + kNumbers + "\n",  // 129 bytes
      "1\t1\t1\t1\t1\tname\t1234567890.123456" + after_first + "\n",      // 17 characters
      "1\t1\t1\t1\t1\tname\t1234567890123456" + after_first + "\n",       // 16 digits
      "1\t1\t1\t1\t1\tname\t" + after_first + "\n",                       // an empty number
      "1\t1\t1\t1\t1\tname\t." + after_first + "\n",                      // a point alone
      "1\t1\t1\t1\t1\tname\t-." + after_first + "\n",                     // and a sign
      "1\t1\t1\t1\t1\tname\t1..2" + after_first + "\n",                   // points side by side
      "1\t1\t1\t1\t1\tname\t.1." + after_first + "\n",                    // around a digit
      "1\t1\t1\t1\t1\tname\t1-2" + after_first + "\n",                    // a sign inside
      "1\t1\t1\t1\t1\tname\t--2" + after_first + "\n",                    // two signs
      "1\t1\t1\t1\t1\tname\t" + kNumbers + "\r\r\n",                      // a lone carriage return
      "1\t1\t1\t1\t1\tname\t" + kNumbers,                                 // no line end
      "1\t1\t1\t1\t1\tname\t" + kNumbers + " \n",                         // a blank before it
      "+1\t1\t1\t1\t1\tname\t" + kNumbers + "\n",                         // a plus sign
      "-1\t1\t1\t1\t1\tname\t" + kNumbers + "\n",                         // a signed integer
      "1234567890\t1\t1\t1\t1\tname\t" + kNumbers + "\n",                 // ten digits
      "99999999999999999999\t1\t1\t1\t1\tname\t" + kNumbers + "\n",       // twenty digits
      "1\t1\t1\t1\t1xname\t" + kNumbers + "\n",                           // another separator
      "1\t1\t1\t1\t1\tna" + std::string(1, '\0') + "me\t" + kNumbers +
          "\n",                                                    // a zero byte in the name
      "1\t1\t1\t1\t1\t" + name_too_long + "\t" + kNumbers + "\n",  // no room for the zero
      "1\t1\t1\t1\t1\tname\t1e3" + kNumbers.substr(3) + "\n",      // an exponent
      "1\t1\t1\t1\t1\tname\t+121" + kNumbers.substr(3) + "\n",     // a plus sign
      "1\t1\t1\t1\t1\tname\t12345678901234567890" + kNumbers.substr(3) + "\n",  // 20 digits
      "1\t1\t1\t1\t1\tname\t9007199254740993" + kNumbers.substr(3) + "\n",      // above 2^53
      "1\t1\t1\t1\t1\tname\t1.2.3" + kNumbers.substr(3) + "\n",                 // two points
      "1\t1\t1\t1\t1\tname\t-" + kNumbers.substr(3) + "\n",                     // a sign alone
      "1\t1\t1\t1\t1\tname\t121\v" + kNumbers.substr(4) + "\n",  // another white space
      "1\t1\t1\t1\t1\tname\t" + kNumbers + "\t12\n",             // twelve numbers
      "1\t1\t1\t1\t1\tname\t" + kNumbers.substr(0, kNumbers.rfind('\t')) + "\n",  // ten
  };
  for (const std::string& text : rows) {
    SCOPED_TRACE(text);
    ResultFile file = result_file_from(std::string("\n") + text);
    PlainSpotRow row;
    EXPECT_FALSE(read_plain_spot_row(file, row, true));
    EXPECT_EQ(file.pos, 0u);
    EXPECT_EQ(file.line, 1);
  }
}

std::vector<std::string> tab_fields(const std::string& text) {
  std::vector<std::string> fields(1);
  for (char c : text) {
    if (c == '\t') {
      fields.emplace_back();
    } else {
      fields.back() += c;
    }
  }
  return fields;
}

// The text of a row after the white space that the reader skips and before its line end, which a
// carriage return before the line feed belongs to.
std::string row_text(const std::string& row) {
  std::string text = row.substr(std::min(row.size(), row.find_first_not_of(" \t\r\v\f")));
  if (!text.empty() && text.back() == '\r') text.pop_back();
  return text;
}

// The shape the fast path takes, written out field by field, to hold its masks against.
bool reference_is_plain(const std::string& row) {
  const std::string text = row_text(row);
  const std::vector<std::string> fields = tab_fields(text);
  if (text.size() > 127 || fields.size() != 17) return false;
  const auto digits_only = [](const std::string& characters) {
    return characters.find_first_not_of("0123456789") == std::string::npos;
  };
  for (int i = 0; i < 5; ++i) {
    if (fields[i].empty() || fields[i].size() > 9 || !digits_only(fields[i])) return false;
  }
  if (fields[5].find('\0') != std::string::npos) return false;
  for (int i = 6; i < 17; ++i) {
    std::string number = fields[i];
    if (number.size() > 15) return false;
    if (!number.empty() && number[0] == '-') number.erase(0, 1);
    const std::size_t point = number.find('.');
    if (point != std::string::npos) number.erase(point, 1);
    if (number.empty() || !digits_only(number)) return false;
  }
  return true;
}

// Rows made of the characters that matter to the masks, mostly near the plain shape: the fast path
// takes exactly the plain ones, with the values of the general conversion.
TEST(PlainSpotRow, TakesExactlyThePlainRowsAmongRandomOnes) {
  std::srand(7);
  const std::string alphabet = "0123456789012345678901234567890123456789..--\t\t x\r";
  const auto pick = [](const std::string& from) { return from[std::rand() % from.size()]; };
  int taken = 0;
  for (int trial = 0; trial < 20000; ++trial) {
    std::string row = "1\t2\t3\t4\t5\tname\t" + kNumbers;
    const int changes = std::rand() % 4;
    for (int c = 0; c < changes; ++c) {
      const std::size_t at = std::rand() % (row.size() + 1);
      switch (std::rand() % 3) {
        case 0:
          row.insert(at, 1, pick(alphabet));
          break;
        case 1:
          if (at < row.size()) row.erase(at, 1);
          break;
        default:
          if (at < row.size()) row[at] = pick(alphabet);
          break;
      }
    }
    if (std::rand() % 8 == 0) row.insert(6, std::string(std::rand() % 64, 'n'));
    SCOPED_TRACE(row);
    ResultFile file = result_file_from("\n" + row + "\n");
    PlainSpotRow read;
    const bool plain = read_plain_spot_row(file, read, true);
    ASSERT_EQ(plain, reference_is_plain(row));
    if (!plain) continue;
    ++taken;
    const std::string text = row_text(row);
    const std::vector<std::string> fields = tab_fields(text);
    EXPECT_EQ(read.position[3], std::atoi(fields[4].c_str()));
    EXPECT_EQ(read.name_length, fields[5].size() + 1);
    EXPECT_EQ(read.ch1_intensity, std::strtod(fields[8].c_str(), nullptr));
    EXPECT_EQ(read.ch1_background, std::strtod(fields[9].c_str(), nullptr));
    EXPECT_EQ(read.ch2_intensity, std::strtod(fields[12].c_str(), nullptr));
    EXPECT_EQ(read.ch2_background, std::strtod(fields[13].c_str(), nullptr));
    EXPECT_EQ(file.pos, 1 + row.find(text) + text.size());
  }
  // Both kinds came up often.
  EXPECT_GT(taken, 2000);
  EXPECT_LT(taken, 18000);
}

class PlainSpotTableTest : public ResultFilesTest {};

// Rows through the fast path and rows through the general readers, in one table: the values are
// those of the general conversion on both sides of each limit of the fast path.
TEST_F(PlainSpotTableTest, BothPathsReadTheSameValues) {
  const std::string values[] = {"0.1",
                                "2.675",
                                "12345678",
                                "123456789",
                                "1234567.8",
                                "-0.00000001",
                                "-12345.678",
                                "123456789012345",
                                "1234567890123456",
                                "9007199254740992",
                                "9007199254740993",
                                "1234567890123456789",
                                "12345678901234567890",
                                "0.1000000000000000055511151231257827",
                                "1e3",
                                "+7.25",
                                "-0.0"};
  std::string rows;
  int spot = 0;
  for (const std::string& value : values)
    rows += spot_row(++spot, "v", value, "1", value, "1");
  write_file("mixed.txt", result_header(std::to_string(spot)) + rows);
  prepare_run({"mixed.txt"}, 1.0);
  read_spot_tables(run);
  for (int32_t s = 1; s <= spot; ++s) {
    const std::string& text = values[s - 1];
    SCOPED_TRACE(text);
    const double expected = std::strtod(text.c_str(), nullptr);
    EXPECT_EQ(run.slides.ch1_fg[1][s], expected);
    EXPECT_EQ(run.slides.ch2_fg[1][s], expected);
  }
}

// A damaged row after plain rows is named at its own line, so the fast path counts lines as the
// general readers do.
TEST_F(PlainSpotTableTest, LinesAreCountedThroughPlainRows) {
  write_file("late.txt", result_header("3") + spot_row(1, "a", "2", "1", "2", "1") +
                             spot_row(2, "b", "2", "1", "2", "1") +
                             spot_row(3, "c", "2", "1", "2x", "1"));
  prepare_run({"late.txt"}, 1.0);
  EXPECT_RUN_ENDS_WITH(read_spot_tables(run),
                       damaged("late.txt", 45,
                               "expected a real number (value 8 of spot row 3), "
                               "found \"x\""));
}

// The last file's shorter name leaves the row as a fresh read would: the name, then zeros to the
// end of its width, with nothing left of the longer names before it.
TEST_F(PlainSpotTableTest, AShorterLastNameLeavesOnlyZerosBehindIt) {
  write_file("one.txt", result_header("1") + spot_row(1, "a rather long name", "2", "1", "2", "1"));
  write_file("two.txt",
             result_header("1") + spot_row(1, "an even longer name than that", "2", "1", "2", "1"));
  write_file("three.txt", result_header("1") + spot_row(1, "short", "2", "1", "2", "1"));
  prepare_run({"one.txt", "two.txt", "three.txt"}, 1.0);
  read_spot_tables(run);
  EXPECT_STREQ(run.slides.spot_name[1].block(), "short\t");
  for (int32_t i = 6; i < SPOT_NAME_WIDTH; ++i)
    EXPECT_EQ(run.slides.spot_name[1][i], '\0') << "i = " << i;
}

}  // namespace
