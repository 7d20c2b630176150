// Telling a file's format by its content, gzip-compressed or not, and the messages for files in
// none of the formats, with a byte order mark, or damaged in their compression.
#include <string>

#include "slide_test_support.hpp"

namespace {

class RecognitionTest : public ResultFilesTest {
 protected:
  SlideFormat open(const std::string& name, const ReadChoices& choices = {}) {
    ResultFile file;
    return open_slide_file(Console{}, name.c_str(), 1, choices, file);
  }
};

TEST_F(RecognitionTest, FormatsAreToldByContentWhateverTheName) {
  write_file("a.txt", joined(genepix_lines(true), "\r\n"));
  write_file("b.gpr", joined(agilent_lines()));
  write_file("c.gal", joined(spot_lines()));
  write_file("d.spot", gzip_text(result_header("1") + spot_row(1, "a", "1", "1", "1", "1")));
  write_file("e", gzip_text(joined(spot_lines())) + gzip_text("more"));
  EXPECT_EQ(open("a.txt"), SlideFormat::kGenePix);
  EXPECT_EQ(open("b.gpr"), SlideFormat::kAgilent);
  EXPECT_EQ(open("c.gal"), SlideFormat::kSpot);
  EXPECT_EQ(open("d.spot"), SlideFormat::kScanner);
  EXPECT_EQ(open("e"), SlideFormat::kSpot);
  // --format names one; a table of named columns is known by that alone.
  ReadChoices choices = columns_choices();
  write_file("f.tsv", joined(columns_lines()));
  EXPECT_EQ(open("f.tsv", choices), SlideFormat::kColumns);
  choices.format = SlideFormat::kSpot;
  EXPECT_EQ(open("a.txt", choices), SlideFormat::kSpot);
}

TEST_F(RecognitionTest, ConcatenatedMembersAreOneText) {
  const std::string text = joined(spot_lines());
  write_file("two.spot",
             gzip_text(text.substr(0, 100)) + gzip_text(text.substr(100)) + std::string(10, '\0'));
  ResultFile file;
  ASSERT_TRUE(load_result_file("two.spot", file));
  EXPECT_EQ(std::string(file.bytes.begin(), file.bytes.end()), text);
}

TEST_F(RecognitionTest, DamagedCompressionIsADamagedFile) {
  const std::string text = joined(spot_lines());
  const std::string packed = gzip_text(text);
  ResultFile file;
  write_file("cut.gz", packed.substr(0, packed.size() - 12));
  EXPECT_RUN_ENDS_WITH(load_result_file("cut.gz", file),
                       damaged("cut.gz", 5,
                               "expected more gzip-compressed data, found the end of the file (the "
                               "file is cut short)"));
  std::string broken = packed;
  broken[packed.size() - 6] ^= 0x55;  // the checksum of the text
  write_file("broken.gz", broken);
  EXPECT_RUN_ENDS_WITH(
      load_result_file("broken.gz", file),
      damaged("broken.gz", 6, "the gzip-compressed data is damaged (incorrect data check)"));
  write_file("tail.gz", packed + "tail");
  EXPECT_RUN_ENDS_WITH(load_result_file("tail.gz", file),
                       damaged("tail.gz", 6,
                               "expected another gzip member or the end of the file after the "
                               "compressed data, found other bytes"));
}

TEST_F(RecognitionTest, ByteOrderMarksHaveTheirOwnMessages) {
  write_file("mark.gpr", "\xEF\xBB\xBF" + joined(genepix_lines()));
  EXPECT_RUN_ENDS_WITH(open("mark.gpr"),
                       "\n mark.gpr starts with a UTF-8 byte order mark, the bytes EF BB BF that "
                       "some\n programs write at the start of a text file. Remove it and read the "
                       "file\n again, for example with:\n   sed -i '1s/^\\xEF\\xBB\\xBF//' "
                       "mark.gpr\n\npress any key to exit the program\n");
  write_file("wide.gpr", std::string("\xFF\xFE"
                                     "A\0T\0F\0",
                                     8));
  EXPECT_RUN_ENDS_WITH(open("wide.gpr"),
                       "\n wide.gpr is not a valid ASCII format Vantar output file, check\n"
                       " the README to see how to convert a Unicode Vantar output file\n"
                       " to an ASCII format file\n\npress any key to exit the program\n");
  // Control bytes of the first line are escaped and a long one clipped.
  write_file("other.txt", "\x01odd\tline " + std::string(50, 'x') + "\nsecond\n");
  EXPECT_RUN_ENDS_WITH(
      open("other.txt"),
      "\n other.txt is in none of the formats that Corvane reads; its first line holds\n"
      "   \"\\x01odd\\tline xxxxxxxxxxxxxxxxxxxxxxxxxxxxxx...\"\n"
      " Corvane reads the Vantar scanner's ASCII export (first word User), GenePix\n"
      " results (ATF on line 1, a Type=GenePix Results record), Agilent Feature\n"
      " Extraction text (a TYPE line, then FEPARAMS), SPOT tables (headings indexs,\n"
      " grid.r, ..., Rmean, Gmean) and, with --format columns, a tab-separated table\n"
      " whose columns --columns names.\n\npress any key to exit the program\n");
}

// The run of the scanner's files turns the other formats away, naming what they hold.
TEST_F(RecognitionTest, TheScannerRunNamesOtherFormats) {
  write_file("a.gpr", joined(genepix_lines()));
  EXPECT_RUN_ENDS_WITH(open_result_file(Console{}, "a.gpr", 2),
                       "\n a.gpr holds GenePix results, not the Vantar scanner's ASCII export "
                       "that this run reads\n\npress any key to exit the program\n");
}

}  // namespace
