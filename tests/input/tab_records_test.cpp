// Splitting the records of a tab-separated file: quotes, line ends and what messages show.
#include <string>
#include <vector>

#include "input/tab_records.hpp"
#include "input_test_support.hpp"

namespace {

std::vector<std::string> texts(const Record& record) {
  std::vector<std::string> result;
  for (const Field& field : record.fields)
    result.push_back(field_text(field));
  return result;
}

TEST(TabRecords, QuotesEncloseWholeFieldsOnly) {
  ResultFile file = result_file_from(
      "a\t\"b\tc\"\t\"d \"\"e\"\"\"\r\n"  // a quoted tab, doubled quotes
      "\"x\"y\t\"open\tz\r\n"             // quotes that do not enclose a field are characters
      "\"two\nlines\"\tlast\r");          // a quoted line end; CR at the end of the file
  Record record;
  ASSERT_TRUE(read_record(file, true, record));
  EXPECT_EQ(texts(record), (std::vector<std::string>{"a", "b\tc", "d \"e\""}));
  EXPECT_EQ(record.line, 1);
  ASSERT_TRUE(read_record(file, true, record));
  EXPECT_EQ(texts(record), (std::vector<std::string>{"\"x\"y", "\"open", "z"}));
  ASSERT_TRUE(read_record(file, true, record));
  EXPECT_EQ(texts(record), (std::vector<std::string>{"two\nlines", "last"}));
  EXPECT_EQ(record.line, 3);
  EXPECT_EQ(file.line, 4);
  EXPECT_FALSE(read_record(file, true, record));

  // Without quotes (Agilent), a quote is a character like any other.
  ResultFile plain = result_file_from("\"b\tc\"\n");
  ASSERT_TRUE(read_record(plain, false, record));
  EXPECT_EQ(texts(record), (std::vector<std::string>{"\"b", "c\""}));
}

TEST(TabRecords, WidthsAndBlanks) {
  ResultFile file = result_file_from("a\tb\t\t\n \t\r\n\n");
  Record record;
  ASSERT_TRUE(read_record(file, true, record));
  EXPECT_EQ(record.fields.size(), 4u);
  EXPECT_EQ(filled_width(record), 2u);
  EXPECT_EQ(record_view(record), "a\tb");
  EXPECT_FALSE(record_is_blank(record));
  ASSERT_TRUE(read_record(file, true, record));
  EXPECT_TRUE(record_is_blank(record));
  ASSERT_TRUE(read_record(file, true, record));
  EXPECT_EQ(record.fields.size(), 1u);
  EXPECT_TRUE(record_is_blank(record));
  EXPECT_EQ(shown_text(std::string("\x01x\ty", 4)), "\"\\x01x\\ty\"");
}

}  // namespace
