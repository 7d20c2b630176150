// The reading-speed tool of the benchmark (tools/read_speed) on one slide in every format: each
// file is read whole, as the run reads it, under a path longer than the dialogue's 50 characters,
// and told by its content; a compressed file is read as the text it holds.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "support/binary_run.hpp"

namespace {

// A row of read_speed's table: file, format, spots, file MB, text MB, best ms, MB/s, spots/s.
struct SpeedRow {
  std::string file, format;
  int spots = 0;
  double file_mb = 0, text_mb = 0, milliseconds = 0, mb_per_second = 0, spots_per_second = 0;
};

std::vector<SpeedRow> rows_of(const std::string& console) {
  std::istringstream lines(console);
  std::string line;
  std::getline(lines, line);  // the heading
  std::vector<SpeedRow> rows;
  while (std::getline(lines, line)) {
    std::istringstream fields(line);
    SpeedRow row;
    fields >> row.file >> row.format >> row.spots >> row.file_mb >> row.text_mb >>
        row.milliseconds >> row.mb_per_second >> row.spots_per_second;
    EXPECT_FALSE(fields.fail()) << line;
    rows.push_back(row);
  }
  return rows;
}

const char* const kColumns = "R=Red,G=Green,Rb=RedBg,Gb=GreenBg,id=ProbeID,name=Gene";

TEST(ReadSpeed, ReadsOneSlideOfEveryFormatWholeUnderALongPath) {
  if (std::string(CORVANE_READ_SPEED).empty()) GTEST_SKIP() << "no read_speed in this build";
  const ScratchFolder folder;
  // A folder name that takes the paths well past the 50 characters of a dialogue's file name.
  const std::string out = "a-folder-whose-name-is-longer-than-fifty-characters-on-its-own";
  const std::string common = "--files 1 --spots 1024 --block 8x8 --seed 7 --out " + out;
  for (const std::string format : {"scanner", "genepix", "agilent", "spot", "columns"}) {
    ASSERT_EQ(
        folder.run_tool(CORVANE_MAKE_SLIDES, common + " --format " + format + " --prefix " + format)
            .status,
        0);
  }
  ASSERT_EQ(
      folder.run_tool(CORVANE_MAKE_SLIDES, common + " --format genepix --gzip --prefix packed")
          .status,
      0);
  const std::vector<std::string> files = {"scanner01.txt", "genepix01.gpr", "packed01.gpr.gz",
                                          "agilent01.txt", "spot01.spot",   "columns01.tsv"};
  std::string arguments = std::string("--repeats 2 --columns ") + kColumns;
  for (const std::string& file : files)
    arguments += " " + (folder.path() / out / file).string();

  const BinaryRun run = folder.run_tool(CORVANE_READ_SPEED, arguments);
  ASSERT_EQ(run.status, 0) << run.errors;
  const std::vector<SpeedRow> rows = rows_of(run.console);
  ASSERT_EQ(rows.size(), files.size()) << run.console;
  const std::vector<std::string> formats = {"scanner", "genepix", "genepix.gz",
                                            "agilent", "spot",    "columns"};
  for (std::size_t i = 0; i < rows.size(); ++i) {
    SCOPED_TRACE(files[i]);
    EXPECT_EQ(rows[i].file, files[i]);
    EXPECT_EQ(rows[i].format, formats[i]);
    EXPECT_EQ(rows[i].spots, 1024);
    EXPECT_GT(rows[i].milliseconds, 0.0);
    EXPECT_GT(rows[i].mb_per_second, 0.0);
  }
  // The plain files are their own text; the compressed one holds the plain GenePix file's text.
  EXPECT_EQ(rows[1].text_mb, rows[1].file_mb);
  EXPECT_EQ(rows[2].text_mb, rows[1].file_mb);
  EXPECT_LT(rows[2].file_mb, rows[2].text_mb);
}

TEST(ReadSpeed, RefusesAMissingFileListAndAColumnItDoesNotKnow) {
  if (std::string(CORVANE_READ_SPEED).empty()) GTEST_SKIP() << "no read_speed in this build";
  const ScratchFolder folder;
  folder.write("table.tsv", "Red\tGreen\tRedBg\tGreenBg\n1\t2\t0\t0\n");
  EXPECT_EQ(folder.run_tool(CORVANE_READ_SPEED, "--repeats 2").status, 2);
  const BinaryRun unknown =
      folder.run_tool(CORVANE_READ_SPEED, "--columns R=Red,Blue=Green table.tsv");
  EXPECT_EQ(unknown.status, 2);
  EXPECT_NE(unknown.errors.find("'Blue=Green'"), std::string::npos) << unknown.errors;
}

}  // namespace
