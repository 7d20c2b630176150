// Every kind of damage that the scanner's reader meets, met in each of the other formats: a file
// cut short (a row with fewer fields than the titles, a file that ends inside its header), a field
// that is not a number or not a finite one, a missing column, a row of another shape. Each is
// refused with a message that names the file, the line and what was expected.
#include <string>
#include <vector>

#include "slide_test_support.hpp"

namespace {

using Strings = std::vector<std::string>;

// The line with field `index` (from 0) replaced by `text`.
std::string with_field(const std::string& line, std::size_t index, const std::string& text) {
  std::size_t start = 0;
  for (std::size_t i = 0; i < index; ++i)
    start = line.find('\t', start) + 1;
  const std::size_t end = line.find('\t', start);
  return line.substr(0, start) + text + (end == std::string::npos ? "" : line.substr(end));
}

std::size_t column_index(const std::string& titles, const std::string& title) {
  std::size_t index = 0, start = 0;
  for (;;) {
    const std::size_t end = titles.find('\t', start);
    std::string field = titles.substr(start, end == std::string::npos ? end : end - start);
    if (field == title) return index;
    if (end == std::string::npos) ADD_FAILURE() << title;
    if (end == std::string::npos) return 0;
    start = end + 1;
    ++index;
  }
}

struct DamagedCase {
  const char* what;
  SlideFormat format;
  std::string text;
  int line;
  std::string detail;
};

void expect_refused(const DamagedCase& damage) {
  SCOPED_TRACE(damage.what);
  ReadChoices choices = damage.format == SlideFormat::kColumns ? columns_choices() : ReadChoices{};
  EXPECT_RUN_ENDS_WITH(read_text(damage.text, damage.format, choices),
                       damaged("memory.txt", damage.line, damage.detail));
}

Strings edited(Strings lines, std::size_t line, const std::string& text) {
  lines[line] = text;
  return lines;
}

Strings first(const Strings& lines, std::size_t count) {
  return Strings(lines.begin(), lines.begin() + static_cast<std::ptrdiff_t>(count));
}

TEST(DamagedSlides, GenePixResults) {
  const Strings lines = genepix_lines();
  const std::string& row = lines[7];
  const DamagedCase cases[] = {
      {"cut short", SlideFormat::kGenePix, joined(edited(lines, 8, "2\t1\t1\tgene b\tID2")), 9,
       "expected 14 fields as the column titles on line 7 have, found 5 (the row is cut short)"},
      {"ends in the header", SlideFormat::kGenePix, joined(first(lines, 4)), 5,
       "expected 4 header records as line 2 says, found 2 and the end of the file"},
      {"ends before the titles", SlideFormat::kGenePix, joined(first(lines, 6)), 7,
       "expected the column titles after the 4 header records that line 2 says, found the end "
       "of the file"},
      {"no rows", SlideFormat::kGenePix, joined(first(lines, 7)), 8,
       "expected spot rows after the column titles on line 7, found the end of the file"},
      {"not a number", SlideFormat::kGenePix, joined(edited(lines, 7, with_field(row, 8, "12a"))),
       8, "expected a number in column \"F635 Mean\", found \"12a\""},
      {"empty", SlideFormat::kGenePix, joined(edited(lines, 7, with_field(row, 12, ""))), 8,
       "expected a number in column \"B532 Median\", found an empty field (a missing value, "
       "which R reads as NA; Corvane needs every value)"},
      {"block 0", SlideFormat::kGenePix, joined(edited(lines, 7, with_field(row, 0, "0"))), 8,
       "expected a whole number of at least 1 in column \"Block\", found \"0\""},
      {"row 1.5", SlideFormat::kGenePix, joined(edited(lines, 7, with_field(row, 2, "1.5"))), 8,
       "expected a whole number of at least 1 in column \"Row\", found \"1.5\""},
      {"block beyond the spots", SlideFormat::kGenePix,
       joined(edited(lines, 7, with_field(row, 0, "9"))), 7,
       "expected block numbers of at most one block per spot, found block 9 among 6 spots"},
      {"missing column", SlideFormat::kGenePix,
       joined(edited(lines, 6, with_field(lines[6], 12, "B532 Mean"))), 7,
       "expected a column titled \"B532 Median\", found none among the column titles"},
      {"another shape", SlideFormat::kGenePix, joined(edited(lines, 9, lines[9] + "\textra")), 10,
       "expected at most 14 fields as the column titles on line 7 have, found 15 (a row of "
       "another shape)"},
      {"too few records counted", SlideFormat::kGenePix, joined(edited(lines, 1, "3\t14")), 6,
       "expected the column titles after the 3 header records that line 2 says, found the header "
       "record \"Scanner=GenePix 4000B\""},
      {"too many records counted", SlideFormat::kGenePix, joined(edited(lines, 1, "5\t14")), 7,
       "expected header record 5 of the 5 that line 2 says (Key=Value), found "
       "\"Block\\tColumn\\tRow\\tName\\tID\\tX\\tY\\tF635 Median...\""},
      {"line 2", SlideFormat::kGenePix, joined(edited(lines, 1, "four\t14")), 2,
       "expected the number of header records and the number of columns on line 2, found "
       "\"four\\t14\""},
      {"not ATF", SlideFormat::kGenePix, joined(edited(lines, 0, "ATX\t1")), 1,
       "expected ATF and its version on line 1, found \"ATX\\t1\""},
      {"empty file", SlideFormat::kGenePix, "", 1,
       "expected ATF and its version on line 1, found the end of the file"},
  };
  for (const DamagedCase& damage : cases)
    expect_refused(damage);
}

TEST(DamagedSlides, AgilentFeatures) {
  const Strings lines = agilent_lines();
  const DamagedCase cases[] = {
      {"cut short", SlideFormat::kAgilent, joined(edited(lines, 11, "DATA\t2\t1\t2")), 12,
       "expected 16 fields as the column titles on line 10 have, found 4 (the row is cut short)"},
      {"ends in the header", SlideFormat::kAgilent, joined(first(lines, 9)), 10,
       "expected the FEATURES section, found the end of the file"},
      {"not a number", SlideFormat::kAgilent,
       joined(edited(lines, 10, with_field(lines[10], 9, "9,001"))), 11,
       "expected a number in column \"rMedianSignal\", found \"9,001\""},
      {"missing column", SlideFormat::kAgilent,
       joined(edited(lines, 9, with_field(lines[9], 12, "gBGMeanSignal"))), 10,
       "expected a column titled \"gBGMedianSignal\", found none among the column titles"},
      {"another shape", SlideFormat::kAgilent, joined(edited(lines, 12, lines[12] + "\t7")), 13,
       "expected at most 16 fields as the column titles on line 10 have, found 17 (a row of "
       "another shape)"},
      {"not a DATA row", SlideFormat::kAgilent, joined(edited(lines, 11, "*")), 12,
       "expected a row that starts with DATA, found \"*\""},
  };
  for (const DamagedCase& damage : cases)
    expect_refused(damage);
}

TEST(DamagedSlides, SpotTables) {
  const Strings lines = spot_lines();
  const DamagedCase cases[] = {
      {"cut short", SlideFormat::kSpot, joined(edited(lines, 2, "1\t1\t2\t1")), 3,
       "expected 13 fields as the column titles on line 1 have, found 4 (the row is cut short)"},
      {"empty file", SlideFormat::kSpot, "", 1,
       "expected the heading line, found the end of the file"},
      {"heading alone", SlideFormat::kSpot, joined(first(lines, 1)), 2,
       "expected spot rows after the column titles on line 1, found the end of the file"},
      {"not a number", SlideFormat::kSpot,
       joined(edited(lines, 1, with_field(lines[1], 8, "19538.47.1"))), 2,
       "expected a number in column \"Rmean\", found \"19538.47.1\""},
      {"missing column", SlideFormat::kSpot,
       joined(edited(lines, 0, with_field(lines[0], 2, "grid.col"))), 1,
       "expected a column titled \"grid.c\", found none among the column titles"},
      {"another shape", SlideFormat::kSpot, joined(edited(lines, 4, lines[4] + "\t\t9\t")), 5,
       "expected at most 13 fields as the column titles on line 1 have, found 15 (a row of "
       "another shape)"},
      {"grid beyond the spots", SlideFormat::kSpot,
       joined(edited(lines, 4, with_field(lines[4], 1, "3"))), 1,
       "expected a grid of blocks with at most one block per spot, found 3 rows of 2 blocks "
       "(grid.r, grid.c) for 4 spots"},
  };
  for (const DamagedCase& damage : cases)
    expect_refused(damage);
}

TEST(DamagedSlides, NamedColumns) {
  const Strings lines = columns_lines();
  const DamagedCase cases[] = {
      {"cut short", SlideFormat::kColumns, joined(edited(lines, 3, "g3\t120\t220")), 4,
       "expected 6 fields as the column titles on line 1 have, found 3 (the row is cut short)"},
      {"empty file", SlideFormat::kColumns, "", 1,
       "expected the heading line, found the end of the file"},
      {"not a number", SlideFormat::kColumns, joined(edited(lines, 2, "g2\t110\tNA\t11\t21\t")), 3,
       "expected a number in column \"green\", found \"NA\""},
      {"missing column", SlideFormat::kColumns,
       joined(edited(lines, 0, "gene\tred\tgreen\tred bg\tgreen_bg\tnote")), 1,
       "expected a column titled \"green bg\", found none among the column titles"},
      {"another shape", SlideFormat::kColumns, joined(edited(lines, 1, lines[1] + "\tmore")), 2,
       "expected at most 6 fields as the column titles on line 1 have, found 7 (a row of another "
       "shape)"},
  };
  for (const DamagedCase& damage : cases)
    expect_refused(damage);

  // A named ID column must be there, and so must the column --id names.
  ReadChoices choices = columns_choices();
  choices.id_column = "probe";
  EXPECT_RUN_ENDS_WITH(read_text(joined(lines), SlideFormat::kColumns, choices),
                       damaged("memory.txt", 1,
                               "expected a column titled \"probe\", found none among the column "
                               "titles"));
}

// Text for a value that is not finite is refused in every numeric column of every format.
TEST(DamagedSlides, ValuesThatAreNotFinite) {
  struct Format {
    SlideFormat format;
    Strings lines;
    std::size_t titles, row;
    Strings columns;
  };
  const Format formats[] = {
      {SlideFormat::kGenePix,
       genepix_lines(),
       6,
       7,
       {"F635 Mean", "F532 Mean", "B635 Median", "B532 Median", "Flags", "X", "Y"}},
      {SlideFormat::kAgilent,
       agilent_lines(),
       9,
       10,
       {"rMedianSignal", "gMedianSignal", "rBGMedianSignal", "gBGMedianSignal", "ControlType",
        "IsManualFlag"}},
      {SlideFormat::kSpot, spot_lines(), 0, 1, {"Rmean", "Gmean", "morphR", "morphG", "badspot"}},
      {SlideFormat::kColumns, columns_lines(), 0, 1, {"red", "green", "red bg", "green bg"}},
  };
  for (const Format& format : formats) {
    for (const std::string& column : format.columns) {
      for (const char* text : {"nan", "-inf", "Infinity", "NAN", "1e999", "-1E400"}) {
        const std::size_t index = column_index(format.lines[format.titles], column);
        const Strings lines =
            edited(format.lines, format.row, with_field(format.lines[format.row], index, text));
        expect_refused(
            {text, format.format, joined(lines), static_cast<int>(format.row) + 1,
             "expected a finite number in column \"" + column + "\", found \"" + text + "\""});
      }
    }
  }
}

// The scanner's reader refuses the same spellings in each of a spot row's eleven values.
TEST_F(ResultFilesTest, ScannerValuesThatAreNotFinite) {
  for (int value = 1; value <= 11; ++value) {
    for (const char* text : {"nan", "-inf", "Infinity", "1e999"}) {
      std::string numbers;
      for (int v = 1; v <= 11; ++v)
        numbers += (v > 1 ? "\t" : "") + (v == value ? std::string(text) : std::to_string(v));
      write_file("bad.txt", result_header("1") + spot_row("1\t1\t1\t1\t1", "a", numbers));
      prepare_run({"bad.txt"}, 1.0);
      EXPECT_RUN_ENDS_WITH(read_spot_tables(run),
                           damaged("bad.txt", 41,
                                   "expected a real number (value " + std::to_string(value) +
                                       " of spot row 1), found \"" + text + "\""));
      release_run_arrays(run);
      run = ::Run();
    }
  }
}

}  // namespace
