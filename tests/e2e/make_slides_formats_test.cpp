// The slide generator's other file formats through the real tool: each file is laid out as
// shared/formats.md describes it (read back here by its headings), every format holds the same
// simulated spots for one seed, gzip output inflates to the plain file, and the same options give
// the same bytes.
#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "support/binary_run.hpp"

namespace {

using Row = std::vector<std::string>;

int make_slides(const ScratchFolder& folder, const std::string& out, const std::string& options) {
  return folder.run_tool(CORVANE_MAKE_SLIDES, "--out " + out + " " + options).status;
}

Row split(const std::string& text, char separator) {
  Row parts;
  std::stringstream stream(text);
  std::string part;
  while (std::getline(stream, part, separator))
    parts.push_back(part);
  if (!text.empty() && text.back() == separator) parts.push_back("");
  return parts;
}

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines = split(text, '\n');
  if (!lines.empty() && lines.back().empty()) lines.pop_back();
  return lines;
}

// A table of one heading line and rows, its values found by heading.
struct Table {
  Row heading;
  std::vector<Row> rows;

  std::size_t column(const std::string& name) const {
    const auto place = std::find(heading.begin(), heading.end(), name);
    EXPECT_NE(place, heading.end()) << "no column " << name;
    return static_cast<std::size_t>(place - heading.begin());
  }
  const std::string& at(std::size_t row, const std::string& name) const {
    return rows.at(row).at(column(name));
  }
  double number(std::size_t row, const std::string& name) const { return std::stod(at(row, name)); }
};

// The heading at line `first` and the rows after it, less a leading field to drop (DATA).
Table table_of(const std::vector<std::string>& lines, std::size_t first, std::size_t drop = 0) {
  Table table;
  table.heading = split(lines.at(first), '\t');
  for (std::size_t i = first + 1; i < lines.size(); ++i) {
    Row row = split(lines[i], '\t');
    EXPECT_EQ(row.size(), table.heading.size()) << lines[i];
    row.erase(row.begin(), row.begin() + static_cast<long>(drop));
    table.rows.push_back(row);
  }
  table.heading.erase(table.heading.begin(), table.heading.begin() + static_cast<long>(drop));
  return table;
}

// An ATF file (results file or array list): checks lines 1 and 2 against the records and the
// titles, and returns the table.
Table atf_table(const std::string& text, std::vector<std::string>* records = nullptr) {
  const std::vector<std::string> lines = lines_of(text);
  EXPECT_EQ(lines.at(0), "ATF\t1.0");
  const Row counts = split(lines.at(1), '\t');
  const std::size_t record_count = std::stoul(counts.at(0));
  if (records)
    records->assign(lines.begin() + 2, lines.begin() + 2 + static_cast<long>(record_count));
  Table table = table_of(lines, 2 + record_count);
  EXPECT_EQ(table.heading.size(), std::stoul(counts.at(1)));
  return table;
}

// Feature-extraction text: three sections, each a TYPE line with a type per column, a heading
// named after the section, and DATA lines. Returns the FEATURES table.
Table features_table(const std::string& text) {
  const std::vector<std::string> lines = lines_of(text);
  std::vector<std::size_t> headings;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (lines[i].starts_with("TYPE\t")) {
      headings.push_back(i + 1);
      const Row types = split(lines[i], '\t');
      EXPECT_EQ(types.size(), split(lines.at(i + 1), '\t').size()) << lines[i + 1];
      for (std::size_t t = 1; t < types.size(); ++t) {
        EXPECT_TRUE(types[t] == "text" || types[t] == "integer" || types[t] == "float" ||
                    types[t] == "boolean")
            << types[t];
      }
    } else if (!lines[i].starts_with("DATA\t") && !lines[i].starts_with("FEPARAMS\t") &&
               !lines[i].starts_with("STATS\t") && !lines[i].starts_with("FEATURES\t")) {
      ADD_FAILURE() << "a line of no section: " << lines[i];
    }
  }
  EXPECT_EQ(headings.size(), 3u);
  if (headings.size() != 3) return {};
  EXPECT_TRUE(lines[headings[0]].starts_with("FEPARAMS\t"));
  EXPECT_TRUE(lines[headings[1]].starts_with("STATS\t"));
  EXPECT_TRUE(lines[headings[2]].starts_with("FEATURES\t"));
  EXPECT_EQ(headings[1] - headings[0], 3u);  // one DATA line each
  EXPECT_EQ(headings[2] - headings[1], 3u);
  return table_of(lines, headings[2], 1);
}

// The scanner's spot table: the rows after the heading of the second table.
Table scanner_table(const std::string& text) {
  const std::vector<std::string> lines = lines_of(text);
  std::size_t heading = 0;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (lines[i].starts_with("Number\tArray Row\tArray Column\tRow\tColumn\tName")) heading = i;
  }
  return table_of(lines, heading);
}

std::string inflate_gzip(const std::string& compressed) {
  z_stream stream{};
  EXPECT_EQ(inflateInit2(&stream, 15 + 16), Z_OK);
  std::string text;
  char buffer[65536];
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(compressed.data()));
  stream.avail_in = static_cast<uInt>(compressed.size());
  int result = Z_OK;
  while (result == Z_OK) {
    stream.next_out = reinterpret_cast<Bytef*>(buffer);
    stream.avail_out = sizeof buffer;
    result = inflate(&stream, Z_NO_FLUSH);
    text.append(buffer, sizeof buffer - stream.avail_out);
  }
  EXPECT_EQ(result, Z_STREAM_END);
  EXPECT_EQ(stream.avail_in, 0u);  // nothing after the one member
  inflateEnd(&stream);
  return text;
}

const std::string kTitles635 =
    "F635 Median\tF635 Mean\tF635 SD\tF635 CV\tB635\tB635 Median\tB635 Mean\tB635 SD\tB635 CV\t"
    "% > B635+1SD\t% > B635+2SD\tF635 % Sat.";

// Slides of every effect, in every format, from one seed: 3 x 3 blocks of 8 x 8 spots.
const std::string kEverything =
    "--files 2 --spots 512 --seed 9 --flags 0.1 --controls 0.1 --scatter --uneven --dye-bias 0.5 "
    "--slide-sd 0.3";

class EveryFormat : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    folder_ = new ScratchFolder;
    for (const char* format : {"scanner", "genepix", "agilent", "spot", "columns"}) {
      ASSERT_EQ(make_slides(*folder_, format,
                            kEverything + " --format " + format + " --array-list --truth " +
                                format + ".tsv"),
                0);
    }
  }
  static void TearDownTestSuite() { delete folder_; }
  static ScratchFolder* folder_;
};
ScratchFolder* EveryFormat::folder_ = nullptr;

TEST_F(EveryFormat, ResultsFileHasTheHeaderRecordsAndVersionThreeTitles) {
  std::vector<std::string> records;
  const Table table = atf_table(folder_->read("genepix/slide01.gpr"), &records);
  EXPECT_EQ(records.at(0), "Type=GenePix Results 3");
  EXPECT_NE(std::find(records.begin(), records.end(), "\"Wavelengths=635\t532\""), records.end());
  EXPECT_TRUE(std::any_of(records.begin(), records.end(),
                          [](const std::string& r) { return r.starts_with("DateTime=2002/01/"); }));
  std::string titles;
  for (const std::string& title : table.heading)
    titles += title + "\t";
  EXPECT_TRUE(titles.starts_with("Block\tColumn\tRow\tName\tID\tX\tY\tDia.\t" + kTitles635 + "\t"))
      << titles;
  EXPECT_NE(titles.find("\tF532 Median\tF532 Mean\t"), std::string::npos);
  EXPECT_TRUE(titles.ends_with("\tFlags\tNormalize\tAutoflag\t")) << titles;
  ASSERT_EQ(table.rows.size(), 576u);

  std::set<std::string> blocks;
  std::map<std::string, int> flags;
  for (std::size_t s = 0; s < table.rows.size(); ++s) {
    blocks.insert(table.at(s, "Block"));
    ++flags[table.at(s, "Flags")];
    // The background column that results files subtract is the median; the median near the mean.
    EXPECT_EQ(table.at(s, "B635"), table.at(s, "B635 Median"));
    EXPECT_LE(table.number(s, "B635 Median"), table.number(s, "B635 Mean") + 1);
    const double mean = table.number(s, "F532 Mean"), median = table.number(s, "F532 Median");
    EXPECT_NEAR(median, mean, 0.2 * mean + 1) << s;
    EXPECT_EQ(table.number(s, "F635 Mean - B635"),
              table.number(s, "F635 Mean") - table.number(s, "B635"));
  }
  EXPECT_EQ(blocks.size(), 9u);
  EXPECT_EQ(flags.size(), 4u);  // 0, -50, -75, -100
  EXPECT_NEAR(static_cast<double>(flags["0"]), 0.9 * 576, 30);
}

TEST_F(EveryFormat, FeatureExtractionTextHasItsThreeSectionsAndControls) {
  const Table table = features_table(folder_->read("agilent/slide01.txt"));
  ASSERT_EQ(table.rows.size(), 576u);
  for (const char* name :
       {"FeatureNum", "Row", "Col", "SubTypeMask", "ControlType", "ProbeName", "GeneName",
        "SystematicName", "rMeanSignal", "gMeanSignal", "rMedianSignal", "gMedianSignal",
        "rBGMeanSignal", "gBGMeanSignal", "rBGMedianSignal", "gBGMedianSignal", "IsManualFlag"})
    table.column(name);
  int controls = 0, rows = 0, columns = 0;
  for (std::size_t s = 0; s < table.rows.size(); ++s) {
    EXPECT_EQ(table.at(s, "FeatureNum"), std::to_string(s + 1));
    rows = std::max(rows, std::stoi(table.at(s, "Row")));
    columns = std::max(columns, std::stoi(table.at(s, "Col")));
    const std::string& type = table.at(s, "ControlType");
    const std::string& probe = table.at(s, "ProbeName");
    controls += type != "0";
    if (type == "1") {
      EXPECT_TRUE(probe.starts_with("(+)E1A_r60_") || probe == "BrightCorner") << probe;
    } else if (type == "-1") {
      EXPECT_TRUE(probe == "(-)3xSLv1" || probe == "DarkCorner") << probe;
    } else {
      EXPECT_EQ(type, "0");
      EXPECT_TRUE(probe.starts_with("P")) << probe;
    }
  }
  // One grid of 24 x 24 features; about a tenth of them controls.
  EXPECT_EQ(rows, 24);
  EXPECT_EQ(columns, 24);
  EXPECT_NEAR(controls, 57.6, 22);
}

TEST_F(EveryFormat, SpotFileHasItsHeadingAndTheArrayListNamesItsSpots) {
  const Table spot = table_of(lines_of(folder_->read("spot/slide01.spot")), 0);
  std::string heading;
  for (const std::string& title : spot.heading)
    heading += title + " ";
  EXPECT_EQ(heading,
            "indexs grid.r grid.c spot.r spot.c area Gmean Gmedian GIQR Rmean Rmedian RIQR bgGmean "
            "bgGmed bgGSD bgRmean bgRmed bgRSD valleyG valleyR morphG morphG.erode "
            "morphG.close.open morphR morphR.erode morphR.close.open logratio perimeter "
            "circularity badspot ");
  ASSERT_EQ(spot.rows.size(), 576u);

  std::vector<std::string> records;
  const Table gal = atf_table(folder_->read("spot/slide.gal"), &records);
  EXPECT_EQ(records.at(0), "Type=GenePix ArrayList V1.0");
  EXPECT_EQ(records.at(1), "BlockCount=9");
  EXPECT_EQ(records.at(4), "Block2= 6000, 1500, 120, 8, 250, 8, 250");
  EXPECT_EQ(records.size(), 12u);
  EXPECT_EQ(gal.heading, (Row{"Block", "Row", "Column", "ID", "Name"}));
  ASSERT_EQ(gal.rows.size(), 576u);
  // The array list of the results files is the same, and gives each spot's own ID and name.
  EXPECT_EQ(folder_->read("genepix/slide.gal"), folder_->read("spot/slide.gal"));
  const Table results = atf_table(folder_->read("genepix/slide02.gpr"));
  for (std::size_t s = 0; s < gal.rows.size(); ++s) {
    EXPECT_EQ(spot.at(s, "indexs"), std::to_string(s));
    const int block = (std::stoi(spot.at(s, "grid.r")) - 1) * 3 + std::stoi(spot.at(s, "grid.c"));
    EXPECT_EQ(gal.at(s, "Block"), std::to_string(block));
    EXPECT_EQ(gal.at(s, "Row"), spot.at(s, "spot.r"));
    EXPECT_EQ(gal.at(s, "Column"), spot.at(s, "spot.c"));
    for (const char* name : {"Block", "Row", "Column", "ID", "Name"})
      EXPECT_EQ(gal.at(s, name), results.at(s, name));
  }
}

// For one seed every format holds the scanner's intensities and backgrounds: the spot mean
// (rounded to whole numbers in results files) and the background median.
TEST_F(EveryFormat, EveryFormatHoldsTheSameSpots) {
  for (const char* slide : {"01", "02"}) {
    SCOPED_TRACE(slide);
    const std::string name = std::string("/slide") + slide;
    const Table scanner = scanner_table(folder_->read("scanner" + name + ".txt"));
    const Table results = atf_table(folder_->read("genepix" + name + ".gpr"));
    const Table features = features_table(folder_->read("agilent" + name + ".txt"));
    const Table spot = table_of(lines_of(folder_->read("spot" + name + ".spot")), 0);
    const Table columns = table_of(lines_of(folder_->read("columns" + name + ".tsv")), 0);
    EXPECT_EQ(columns.heading,
              (Row{"Block", "Row", "Col", "ProbeID", "Gene", "Red", "Green", "RedBg", "GreenBg"}));
    ASSERT_EQ(scanner.rows.size(), 576u);
    for (const Table* table : {&results, &features, &spot, &columns})
      ASSERT_EQ(table->rows.size(), 576u);
    for (std::size_t s = 0; s < 576; ++s) {
      const std::string& red = scanner.at(s, "Ch2 Intensity");
      const std::string& green = scanner.at(s, "Ch1 Intensity");
      const std::string& red_background = scanner.at(s, "Ch2 Background");
      const std::string& green_background = scanner.at(s, "Ch1 Background");
      EXPECT_EQ(columns.rows[s],
                (Row{columns.at(s, "Block"), scanner.at(s, "Row"), scanner.at(s, "Column"),
                     features.at(s, "ProbeName"), scanner.at(s, "Name"), red, green, red_background,
                     green_background}));
      EXPECT_EQ(features.at(s, "rMeanSignal"), red);
      EXPECT_EQ(features.at(s, "gMeanSignal"), green);
      EXPECT_EQ(features.at(s, "rBGMedianSignal"), red_background);
      EXPECT_EQ(features.at(s, "gBGMedianSignal"), green_background);
      EXPECT_EQ(features.at(s, "ProbeName"), columns.at(s, "ProbeID"));
      EXPECT_EQ((Row{spot.at(s, "Rmean"), spot.at(s, "Gmean"), spot.at(s, "morphR"),
                     spot.at(s, "morphG")}),
                (Row{red, green, red_background, green_background}));
      EXPECT_NEAR(results.number(s, "F635 Mean"), std::stod(red), 0.5);
      EXPECT_NEAR(results.number(s, "F532 Mean"), std::stod(green), 0.5);
      EXPECT_NEAR(results.number(s, "B635 Median"), std::stod(red_background), 0.5);
      EXPECT_NEAR(results.number(s, "B532 Median"), std::stod(green_background), 0.5);
      EXPECT_NEAR(results.number(s, "F635 Median"), features.number(s, "rMedianSignal"), 0.5);
      EXPECT_EQ(spot.at(s, "Rmedian"), features.at(s, "rMedianSignal"));
      EXPECT_EQ(results.at(s, "Name"), scanner.at(s, "Name"));
      // The block and the place in it.
      EXPECT_EQ(results.at(s, "Block"), columns.at(s, "Block"));
      EXPECT_EQ(results.at(s, "Row"), scanner.at(s, "Row"));
      EXPECT_EQ(spot.at(s, "grid.r"), scanner.at(s, "Array Row"));
      EXPECT_EQ(spot.at(s, "grid.c"), scanner.at(s, "Array Column"));
      EXPECT_EQ(features.number(s, "Row"),
                (scanner.number(s, "Array Row") - 1) * 8 + scanner.number(s, "Row"));
      // One flag in all three formats that carry them.
      const bool flagged = results.at(s, "Flags") != "0";
      EXPECT_EQ(features.at(s, "IsManualFlag"), flagged ? "1" : "0");
      EXPECT_EQ(spot.at(s, "badspot"), flagged ? "1" : "0");
    }
  }
}

// Negative controls stand for empty spots in the results files: ID EMPTY for a dark corner, an
// empty ID for the others. A gene's spots share its ID, which the truth file gives.
TEST_F(EveryFormat, ScatteredGenesShareTheirIdsWithTheTruthFile) {
  const Table features = features_table(folder_->read("agilent/slide01.txt"));
  const Table results = atf_table(folder_->read("genepix/slide01.gpr"));
  std::map<std::string, int> spots_of_id;
  int next_to_same = 0;
  for (std::size_t s = 0; s < results.rows.size(); ++s) {
    const std::string& probe = features.at(s, "ProbeName");
    const std::string& id = results.at(s, "ID");
    if (probe == "DarkCorner") {
      EXPECT_EQ(id, "EMPTY");
    } else if (probe == "(-)3xSLv1") {
      EXPECT_EQ(id, "");
    } else {
      EXPECT_EQ(id, probe);
    }
    if (features.at(s, "ControlType") != "0") continue;
    ++spots_of_id[id];
    next_to_same += s > 0 && results.at(s - 1, "ID") == id;
  }
  // 1 to 7 spots per gene with 4 replicates, spread over the array.
  std::set<int> counts;
  for (const auto& [id, count] : spots_of_id) {
    EXPECT_GE(count, 1);
    EXPECT_LE(count, 7);
    counts.insert(count);
  }
  EXPECT_EQ(counts.size(), 7u);
  EXPECT_LT(next_to_same, 30);

  // The truth lists every gene, by number, ID and name; the scanner's truth has no ID column.
  const Table truth = table_of(lines_of(folder_->read("genepix.tsv")), 0);
  EXPECT_EQ(truth.heading, (Row{"gene", "id", "name", "true_log2_ratio", "changed"}));
  EXPECT_EQ(truth.rows.size(), spots_of_id.size());
  for (std::size_t g = 0; g < truth.rows.size(); ++g) {
    const std::string number = std::to_string(g + 1);
    const std::string id = "P" + std::string(6 - number.size(), '0') + number;
    EXPECT_EQ(truth.at(g, "id"), id);
    EXPECT_EQ(spots_of_id.count(id), 1u) << id;
  }
  EXPECT_EQ(folder_->read("agilent.tsv"), folder_->read("genepix.tsv"));
  const Table scanner_truth = table_of(lines_of(folder_->read("scanner.tsv")), 0);
  EXPECT_EQ(scanner_truth.heading, (Row{"gene", "name", "true_log2_ratio", "changed"}));
}

TEST(MakeSlidesFormats, GzipInflatesToThePlainFileAndEveryFormatIsDeterministic) {
  ScratchFolder folder;
  for (const std::string format : {"scanner", "genepix", "agilent", "spot", "columns"}) {
    SCOPED_TRACE(format);
    const std::string options = "--files 2 --spots 300 --crlf --flags 0.05 --format " + format;
    ASSERT_EQ(make_slides(folder, "plain-" + format, options), 0);
    ASSERT_EQ(make_slides(folder, "gzip-" + format, options + " --gzip"), 0);
    ASSERT_EQ(make_slides(folder, "again-" + format, options + " --gzip"), 0);
    const std::string extension = format == "genepix"   ? ".gpr"
                                  : format == "spot"    ? ".spot"
                                  : format == "columns" ? ".tsv"
                                                        : ".txt";
    for (const char* slide : {"/slide01", "/slide02"}) {
      const std::string plain = folder.read_bytes("plain-" + format + slide + extension);
      const std::string compressed =
          folder.read_bytes("gzip-" + format + slide + extension + ".gz");
      EXPECT_EQ(folder.read_bytes("again-" + format + slide + extension + ".gz"), compressed);
      EXPECT_EQ(inflate_gzip(compressed), plain);
      EXPECT_LT(compressed.size(), plain.size() / 2);
      // Every line ends in CR LF.
      EXPECT_EQ(std::count(plain.begin(), plain.end(), '\n'),
                static_cast<long>(split(plain, '\r').size() - 1));
      // The gzip header: deflate, no flags (so no name), no time stamp, system unknown.
      ASSERT_GE(compressed.size(), 10u);
      EXPECT_EQ(compressed.substr(0, 8), std::string("\x1f\x8b\x08\0\0\0\0\0", 8));
      EXPECT_EQ(static_cast<unsigned char>(compressed[9]), 255u);
    }
  }
}

TEST(MakeSlidesFormats, UnknownFormatsAndClashingOptionsAreUsageErrors) {
  ScratchFolder folder;
  EXPECT_EQ(make_slides(folder, "x", "--format gpr"), 2);
  EXPECT_EQ(make_slides(folder, "x", "--flags 1.5"), 2);
  EXPECT_EQ(make_slides(folder, "x", "--samples ref"), 2);
  EXPECT_EQ(make_slides(folder, "x", "--samples ref,A,ref"), 2);
  EXPECT_EQ(make_slides(folder, "x", "--samples ref,,A"), 2);
  EXPECT_EQ(make_slides(folder, "x", "--samples ref,A --dye-swap 1"), 2);
  EXPECT_FALSE(folder.exists("x"));
}

}  // namespace
