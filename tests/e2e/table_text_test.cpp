// What the tables and data.txt make of awkward names and of a slide without a factor, through the
// real binary: names with double quotes read back whole by R's read.delim, slide columns named by
// the file alone, and a slide with no positive net in a channel warned about and shown as missing.
#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "support/binary_run.hpp"
#include "support/result_file_text.hpp"

namespace {

// Four spots of four genes (R = 1); channel 2's intensities as given.
std::string slide_with(const std::vector<std::string>& names,
                       const std::vector<std::string>& ch2_intensities) {
  std::vector<SpotRowText> spots;
  for (std::size_t s = 0; s < names.size(); ++s) {
    spots.push_back({1, 1, 1, static_cast<int>(s) + 1, names[s], std::to_string(200 + 10 * s), "20",
                     ch2_intensities[s], "20"});
  }
  return result_file_text(spots, "1\ta.tif\tCy3\t", "2\tb.tif\tCy5\t");
}

const std::vector<std::string> kNames = {"5\" flank", "plain", "\"quoted\"", "x\"y\"z"};
const std::vector<std::string> kCh2 = {"300", "250", "180", "400"};

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::stringstream stream(text);
  for (std::string line; std::getline(stream, line);)
    lines.push_back(line);
  return lines;
}

TEST(TableText, NamesWithDoubleQuotesAreQuotedAsReadDelimReadsThem) {
  ScratchFolder folder;
  folder.write("s1.txt", slide_with(kNames, kCh2));
  folder.write("s2.txt", slide_with(kNames, kCh2));
  BinaryRun run = folder.run_with_arguments("-q -r 1 --genes g.tsv --spots s.tsv s1.txt s2.txt");
  ASSERT_EQ(run.status, 0) << run.errors;
  const std::vector<std::string> genes = lines_of(folder.read("g.tsv"));
  ASSERT_EQ(genes.size(), 5u);
  EXPECT_EQ(genes[1].rfind("1\t1\t1\t1\t1\t1\t1\t1\t\"5\"\" flank\"\t", 0), 0u) << genes[1];
  EXPECT_NE(genes[2].find("\tplain\t"), std::string::npos);
  EXPECT_NE(genes[3].find("\t\"\"\"quoted\"\"\"\t"), std::string::npos);
  EXPECT_NE(genes[4].find("\t\"x\"\"y\"\"z\"\t"), std::string::npos);
  const std::vector<std::string> spots = lines_of(folder.read("s.tsv"));
  ASSERT_EQ(spots.size(), 9u);
  EXPECT_EQ(spots[1].rfind("s1.txt\t1\t1\t1\t1\t1\t1\t\"5\"\" flank\"\t", 0), 0u) << spots[1];

  // R reads every row, and each name as it was in the file.
  if (std::system("Rscript --version >/dev/null 2>&1") != 0) GTEST_SKIP() << "no Rscript";
  folder.write("check.R",
               "g <- read.delim('g.tsv'); s <- read.delim('s.tsv')\n"
               "stopifnot(nrow(g) == 4, nrow(s) == 8)\n"
               "stopifnot(identical(g$name, c('5\" flank', 'plain', '\"quoted\"', 'x\"y\"z')))\n"
               "stopifnot(identical(s$name, rep(g$name, 2)), is.numeric(g$mod_p_value))\n");
  BinaryRun r = folder.run_command("Rscript check.R");
  EXPECT_EQ(r.status, 0) << r.console << r.errors;
}

TEST(TableText, SlideColumnsAreNamedByTheFileWithoutItsFolderAndAreUnique) {
  ScratchFolder folder;
  std::filesystem::create_directory(folder.path() / "a");
  std::filesystem::create_directory(folder.path() / "b");
  folder.write("a/s1.txt", slide_with(kNames, kCh2));
  folder.write("b/s1.txt", slide_with(kNames, kCh2));
  folder.write("s1.txt.1", slide_with(kNames, kCh2));
  BinaryRun run = folder.run_with_arguments("-q -r 1 --genes g.tsv a/s1.txt b/s1.txt s1.txt.1");
  ASSERT_EQ(run.status, 0) << run.errors;
  const std::string heading = lines_of(folder.read("g.tsv"))[0];
  EXPECT_NE(heading.find("\tname\tratio_s1.txt\tratio_s1.txt.1\tratio_s1.txt.1.1\tmean_ratio"),
            std::string::npos)
      << heading;
}

TEST(TableText, SlideWithoutAPositiveChannelTwoIsWarnedAboutAndShownAsMissing) {
  ScratchFolder folder;
  folder.write("s1.txt", slide_with(kNames, kCh2));
  folder.write("s2.txt", slide_with(kNames, {"10", "20", "5", "0"}));  // every net below 0
  BinaryRun run = folder.run_with_arguments("-q -r 1 --spots s.tsv s1.txt s2.txt");
  ASSERT_EQ(run.status, 0) << run.errors;
  EXPECT_EQ(run.errors,
            "corvane: warning: no spot of slide 2 (s2.txt) has a positive net intensity in "
            "channel 2, so it has no normalisation factor and no ratios\n");
  const std::string data = folder.read("data.txt");
  const std::size_t slide2 = data.find("Files:\t  s2.txt");
  ASSERT_NE(slide2, std::string::npos);
  EXPECT_NE(data.find("Normalization Factor:\t 1\t -\n", slide2), std::string::npos);
  EXPECT_NE(data.find("1\tAR1 AC1 R1 C1\t5\" flank\t180.000000\t -\t 0.000000\t\n", slide2),
            std::string::npos);
  EXPECT_EQ(data.find("nan"), std::string::npos);
  EXPECT_EQ(data.find("inf"), std::string::npos);
  const std::vector<std::string> spots = lines_of(folder.read("s.tsv"));
  EXPECT_EQ(spots[5], "s2.txt\t1\t1\t1\t1\t1\t1\t\"5\"\" flank\"\t180\tNA\tNA\tpass\tno_ratio");
}

}  // namespace
