// The readers of GenePix results, Agilent Feature Extraction text, SPOT tables and tables of named
// columns: what they read from small files, whatever the quotes, line ends, trailing tabs and
// compression, and the values they take from each format's columns.
#include <string>
#include <vector>

#include "slide_test_support.hpp"

namespace {

using Strings = std::vector<std::string>;

TEST(GenePixResults, ColumnsAreReadByTheirTitles) {
  const SlideTable table = read_text(joined(genepix_lines()), SlideFormat::kGenePix);
  EXPECT_EQ(table.format, SlideFormat::kGenePix);
  ASSERT_EQ(table.spots, 6);
  // R and G from the mean columns, backgrounds from the median ones.
  EXPECT_EQ(table.r, (std::vector<double>{500.5, 501, 502, 503, 504, 505}));
  EXPECT_EQ(table.g, (std::vector<double>{400.25, 401, 402, 403, 404, 405}));
  EXPECT_EQ(table.rb, (std::vector<double>{50, 51, 52, 53, 54, 55}));
  EXPECT_EQ(table.gb, (std::vector<double>{40, 41, 42, 43, 44, 45}));
  EXPECT_EQ(table.block, (std::vector<int32_t>{1, 2, 3, 4, 5, 6}));
  EXPECT_EQ(table.row, (std::vector<int32_t>{3, 1, 1, 1, 1, 5}));
  EXPECT_EQ(table.column, (std::vector<int32_t>{2, 1, 1, 1, 1, 4}));
  // Flags below zero mark a bad spot; 100 (a good one) does not.
  EXPECT_EQ(table.flagged, (std::vector<uint8_t>{0, 1, 0, 1, 0, 0}));
  EXPECT_EQ(table.control, (std::vector<uint8_t>(6, 0)));
  EXPECT_EQ(table.id, (Strings{"ID1", "ID2", "ID3", "ID4", "ID5", "ID6"}));
  EXPECT_EQ(table.name[1], "gene \"b\"");
  // The blocks lie in two rows of three: X falls back at block 4, which lies lower.
  EXPECT_EQ(table.block_rows, 2);
  EXPECT_EQ(table.block_columns, 3);
  const std::vector<std::pair<std::string, std::string>> header = {
      {"Type", "GenePix Results 3"},
      {"DateTime", "2010/11/09 16:56:02"},
      {"Scanner", "GenePix 4000B"}};
  EXPECT_EQ(table.header, header);
}

TEST(GenePixResults, SignalAndIdColumnsCanBeChosen) {
  ReadChoices choices;
  choices.signal = SignalChoice::kMedian;
  choices.id_column = "Name";
  const SlideTable table = read_text(joined(genepix_lines()), SlideFormat::kGenePix, choices);
  EXPECT_EQ(table.r, (std::vector<double>{510, 520, 530, 540, 550, 560}));
  EXPECT_EQ(table.g, (std::vector<double>{410, 420, 430, 440, 450, 460}));
  EXPECT_EQ(table.rb[0], 50);
  EXPECT_EQ(table.id[0], "gene a");
  // Without annotations, no IDs and no names.
  const SlideTable later = read_text(joined(genepix_lines()), SlideFormat::kGenePix, {}, false);
  EXPECT_TRUE(later.id.empty());
  EXPECT_TRUE(later.name.empty());
  EXPECT_EQ(later.r, read_text(joined(genepix_lines()), SlideFormat::kGenePix).r);
}

// The blocks' grid is taken only when the X positions show it; otherwise one row of blocks.
TEST(GenePixResults, BlocksThatShowNoGridAreOneRow) {
  Strings lines = genepix_lines();
  lines[10] = "4\t1\t1\tgene d\tID4\t3000\t200\t540\t503\t440\t403\t53\t43\t0";  // right of block 3
  SlideTable table = read_text(joined(lines), SlideFormat::kGenePix);
  EXPECT_EQ(table.block_rows, 1);
  EXPECT_EQ(table.block_columns, 6);
  // Without X and Y.
  lines = genepix_lines();
  lines[6].replace(lines[6].find("\tX\tY"), 4, "\tx\ty");
  table = read_text(joined(lines), SlideFormat::kGenePix);
  EXPECT_EQ(table.block_rows, 1);
  EXPECT_EQ(table.block_columns, 6);
}

// Quoted records and titles, CR LF line ends, trailing tabs, blank lines at the end and gzip
// change nothing of what is read.
TEST_F(ResultFilesTest, GenePixResultsInEveryDressReadTheSame) {
  const SlideTable plain = read_text(joined(genepix_lines()), SlideFormat::kGenePix);
  const std::string dressed[] = {
      joined(genepix_lines(true), "\r\n"),
      joined(genepix_lines(false, "\t\t\t"), "\r\n") + "\r\n\r\n",
      joined(genepix_lines(true, "\t")) + "\n\t\n",
  };
  for (const std::string& text : dressed) {
    for (bool compressed : {false, true}) {
      write_file("slide.gpr", compressed ? gzip_text(text) : text);
      ResultFile file;
      ASSERT_TRUE(load_result_file("slide.gpr", file));
      const SlideTable table = read_slide_table(file, SlideFormat::kGenePix, {}, true);
      EXPECT_EQ(table.r, plain.r);
      EXPECT_EQ(table.gb, plain.gb);
      EXPECT_EQ(table.block, plain.block);
      EXPECT_EQ(table.flagged, plain.flagged);
      EXPECT_EQ(table.id, plain.id);
      EXPECT_EQ(table.name, plain.name);
      EXPECT_EQ(table.header, plain.header);
    }
  }
}

// A quoted header record may run over a line end: line 2 counts records, not lines.
TEST(GenePixResults, QuotedRecordsMayHoldLineEnds) {
  Strings lines = genepix_lines();
  lines[3] = "\"Comment=first line\nsecond line\"";
  const SlideTable table = read_text(joined(lines), SlideFormat::kGenePix);
  EXPECT_EQ(table.spots, 6);
}

TEST(AgilentFeatures, TheFeaturesSectionIsRead) {
  const SlideTable table = read_text(joined(agilent_lines()), SlideFormat::kAgilent);
  ASSERT_EQ(table.spots, 3);
  EXPECT_EQ(table.r, (std::vector<double>{9001, 1501, 35}));
  EXPECT_EQ(table.g, (std::vector<double>{8001, 1401, 36}));
  EXPECT_EQ(table.rb, (std::vector<double>{30, 32, 34}));
  EXPECT_EQ(table.gb, (std::vector<double>{31, 33, 35}));
  EXPECT_EQ(table.block, (std::vector<int32_t>{1, 1, 1}));
  EXPECT_EQ(table.row, (std::vector<int32_t>{1, 1, 2}));
  EXPECT_EQ(table.column, (std::vector<int32_t>{1, 2, 1}));
  EXPECT_EQ(table.control, (std::vector<uint8_t>{1, 0, 1}));
  EXPECT_EQ(table.flagged, (std::vector<uint8_t>{0, 1, 0}));
  EXPECT_EQ(table.id, (Strings{"BrightCorner", "A_44_P1", "NegativeControl"}));
  // Agilent's fields are never quoted: a quote is part of the text.
  EXPECT_EQ(table.name, (Strings{"BrightCorner", "\"Gene B", "NC"}));
  EXPECT_EQ(table.block_rows * table.block_columns, 1);
  const std::vector<std::pair<std::string, std::string>> header = {
      {"Protocol_Name", "GE2_105_Dec08"}, {"Scan_ScannerName", "SG12345678"}};
  EXPECT_EQ(table.header, header);

  ReadChoices mean;
  mean.signal = SignalChoice::kMean;
  const SlideTable means = read_text(joined(agilent_lines(), "\r\n"), SlideFormat::kAgilent, mean);
  EXPECT_EQ(means.r, (std::vector<double>{9000.5, 1500.25, 35.5}));
  EXPECT_EQ(means.g, (std::vector<double>{8000.5, 1400.75, 36.5}));
}

TEST(SpotTables, BlocksAreNumberedRowByRowOverTheGrid) {
  const SlideTable table = read_text(joined(spot_lines()), SlideFormat::kSpot);
  ASSERT_EQ(table.spots, 4);
  EXPECT_EQ(table.r, (std::vector<double>{19538.47, 23619.82, 200.5, 400.5}));
  EXPECT_EQ(table.g, (std::vector<double>{22028.26, 25613.2, 100.5, 300.5}));
  EXPECT_EQ(table.rb, (std::vector<double>{174, 174, 11, 13}));
  EXPECT_EQ(table.gb, (std::vector<double>{182, 171, 10, 12}));
  EXPECT_EQ(table.block, (std::vector<int32_t>{1, 2, 3, 4}));
  EXPECT_EQ(table.row, (std::vector<int32_t>{1, 1, 2, 2}));
  EXPECT_EQ(table.column, (std::vector<int32_t>{1, 2, 1, 2}));
  EXPECT_EQ(table.block_rows, 2);
  EXPECT_EQ(table.block_columns, 2);
  EXPECT_EQ(table.flagged, (std::vector<uint8_t>{0, 0, 1, 0}));
  // No IDs or names of its own: they come from an array list.
  EXPECT_EQ(table.id, (Strings(4, "")));

  ReadChoices median;
  median.signal = SignalChoice::kMedian;
  const SlideTable medians = read_text(joined(spot_lines()), SlideFormat::kSpot, median, false);
  EXPECT_EQ(medians.r, (std::vector<double>{20626, 18618, 201, 401}));
  EXPECT_EQ(medians.g, (std::vector<double>{23219, 20827, 101, 301}));
}

TEST(NamedColumns, TheNamedColumnsAreRead) {
  ReadChoices choices = columns_choices();
  SlideTable table = read_text(joined(columns_lines()), SlideFormat::kColumns, choices);
  ASSERT_EQ(table.spots, 3);
  EXPECT_EQ(table.r, (std::vector<double>{100, 110, 120}));
  EXPECT_EQ(table.gb, (std::vector<double>{20, 21, 22}));
  EXPECT_EQ(table.id, (Strings{"g1", "g2", "g3"}));
  EXPECT_EQ(table.name, (Strings(3, "")));
  // One block; a spot's row is its number, its column 1.
  EXPECT_EQ(table.block, (std::vector<int32_t>{1, 1, 1}));
  EXPECT_EQ(table.row, (std::vector<int32_t>{1, 2, 3}));
  EXPECT_EQ(table.column, (std::vector<int32_t>{1, 1, 1}));
  EXPECT_EQ(table.flagged, (std::vector<uint8_t>(3, 0)));

  // Blocks, rows and columns from columns of their own; blocks without a grid lie in one row.
  Strings lines = {"b\tr\tc\tred\tgreen\tred bg\tgreen bg", "1\t1\t1\t1\t2\t3\t4",
                   "2\t1\t2\t1\t2\t3\t4", "2\t3\t1\t1\t2\t3\t4"};
  choices.columns.id.clear();
  choices.columns.block = "b";
  choices.columns.row = "r";
  choices.columns.column = "c";
  table = read_text(joined(lines), SlideFormat::kColumns, choices);
  EXPECT_EQ(table.block, (std::vector<int32_t>{1, 2, 2}));
  EXPECT_EQ(table.row, (std::vector<int32_t>{1, 1, 3}));
  EXPECT_EQ(table.column, (std::vector<int32_t>{1, 2, 1}));
  EXPECT_EQ(table.block_rows, 1);
  EXPECT_EQ(table.block_columns, 2);
}

TEST(Numbers, FieldsAreReadWhole) {
  double value = 0.0;
  EXPECT_EQ(parse_real(" +12.5 ", value), NumberText::kNumber);
  EXPECT_EQ(value, 12.5);
  EXPECT_EQ(parse_real("-1.5e3", value), NumberText::kNumber);
  EXPECT_EQ(value, -1500.0);
  EXPECT_EQ(parse_real("1e-999", value), NumberText::kNumber);
  EXPECT_EQ(value, 0.0);
  for (const char* text : {"12x", "1e", "0x10", "-", ".", "+-1", "1 2"})
    EXPECT_EQ(parse_real(text, value), NumberText::kNotANumber) << text;
  for (const char* text : {"nan", "-NaN", "inf", "-Inf", "INFINITY", "1e999", "-1e400"})
    EXPECT_EQ(parse_real(text, value), NumberText::kNotFinite) << text;
  EXPECT_EQ(parse_real("  ", value), NumberText::kEmpty);
  int32_t integer = 0;
  EXPECT_EQ(parse_integer("+7", integer), NumberText::kNumber);
  EXPECT_EQ(integer, 7);
  for (const char* text : {"1.5", "2147483648", "7a"})
    EXPECT_EQ(parse_integer(text, integer), NumberText::kNotANumber) << text;
}

}  // namespace
