// Runs of the formats other than the scanner's through the real binary: the gene table they write,
// their spots grouped by ID with flagged spots and controls left out, gzip-compressed files, the
// refusal of files of another format or layout, and --top.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "support/binary_run.hpp"
#include "support/genepix_text.hpp"

namespace {

// Two genes of two spots each, their spots apart on the array, and a spot of no ID. Nets over a
// background of 100: gene A's ratios (red over green) are 2 and 8 on slide 1 and 4, 4 on slide 2,
// so its log2 slide means are 2 and 2; gene B's are 1/2 and 1/2, then 1/8 and flagged.
std::vector<Feature> slide(int which) {
  const bool second = which == 2;
  return {
      {1, 1, 1, "alpha", "A", 300, 200, 100, 100, 0},
      {1, 2, 1, "beta", "B", 200, 300, 100, 100, 0},
      {1, 1, 2, "empty", "", 500, 500, 100, 100, 0},
      {1, 2, 2, "alpha", "A", second ? 500 : 900, second ? 200 : 200, 100, 100, 0},
      {1, 1, 3, "beta", "B", second ? 150 : 200, second ? 500 : 300, 100, 100, second ? -50 : 0},
  };
}

// Slide 2 of gene A: 400/100 and 400/100; of B: 100/200 then 50/400, flagged.
std::vector<Feature> second_slide() {
  std::vector<Feature> features = slide(2);
  features[0].r = 500;
  return features;
}

class Formats : public testing::Test {
 protected:
  void SetUp() override {
    folder_.write("s1.gpr", genepix_file(slide(1)));
    folder_.write("s2.gpr", genepix_file(second_slide()));
  }
  ScratchFolder folder_;
};

TEST_F(Formats, GenePixGenesAreGroupedByIdWithFlaggedSpotsLeftOut) {
  BinaryRun run = folder_.run_with_arguments("-q --normalise none --spots spots.tsv s1.gpr s2.gpr");
  ASSERT_EQ(run.status, 0) << run.errors;
  EXPECT_EQ(run.console, "");
  // No data.txt or merge.txt: the gene table, in the working folder.
  EXPECT_FALSE(folder_.exists("data.txt"));
  EXPECT_FALSE(folder_.exists("merge.txt"));
  const std::vector<std::string> genes = lines_of(folder_.read("genes.tsv"));
  ASSERT_EQ(genes.size(), 3u);
  EXPECT_EQ(genes[0].substr(0, 45), "gene\tid\tname\tspots\tratio_s1.gpr\tratio_s2.gpr\t");
  const std::vector<std::string> a = fields_of(genes[1]), b = fields_of(genes[2]);
  // Gene A: slide means of the ratios 5 and 4; log2 slide means 2 and 2.
  EXPECT_EQ(std::vector<std::string>(a.begin(), a.begin() + 6),
            (std::vector<std::string>{"1", "A", "alpha", "2", "5", "4"}));
  // Gene B: ratios 1/2 and 1/2 on slide 1; on slide 2 the mean of 1/2 and 1/8 (the flagged spot's
  // ratio still counts in the ratio column, as a failing spot's does).
  EXPECT_EQ(std::vector<std::string>(b.begin(), b.begin() + 6),
            (std::vector<std::string>{"2", "B", "beta", "2", "0.5", "0.3125"}));
  // The moderated test's slide means: A 2; B -1 (the flagged spot left out).
  const std::vector<std::string> heading = fields_of(genes[0]);
  std::size_t mean_column = 0;
  for (std::size_t c = 0; c < heading.size(); ++c)
    if (heading[c] == "slide_log2_mean") mean_column = c;
  ASSERT_GT(mean_column, 0u);
  EXPECT_EQ(a[mean_column], "2");
  EXPECT_EQ(b[mean_column], "-1");

  const std::vector<std::string> spots = lines_of(folder_.read("spots.tsv"));
  ASSERT_EQ(spots.size(), 11u);
  EXPECT_EQ(spots[0],
            "file\tspot\tgene\tid\tarray_row\tarray_col\trow\tcol\tname\tch1_net\tch2_net\tratio\t"
            "quality\tdecision");
  EXPECT_EQ(spots[3], "s1.gpr\t3\tNA\t\t1\t1\t2\t1\tempty\t400\t400\t1\tpass\tno_gene");
  EXPECT_EQ(spots[10], "s2.gpr\t5\t2\tB\t1\t1\t3\t1\tbeta\t400\t50\t0.125\tpass\tflagged");
}

TEST_F(Formats, FlagsIgnoredAndCompressedFilesGiveTheirOwnTables) {
  BinaryRun ignored = folder_.run_with_arguments(
      "-q --normalise none --ignore-flags --genes ignored.tsv s1.gpr s2.gpr");
  ASSERT_EQ(ignored.status, 0) << ignored.errors;
  const std::vector<std::string> b = fields_of(lines_of(folder_.read("ignored.tsv"))[2]);
  const std::vector<std::string> heading = fields_of(lines_of(folder_.read("ignored.tsv"))[0]);
  // B's slide means are -1 and (-1 - 3) / 2 = -2 with the flagged spot taken as good: -1.5.
  for (std::size_t c = 0; c < heading.size(); ++c) {
    if (heading[c] == "slide_log2_mean") {
      EXPECT_EQ(b[c], "-1.5");
    }
  }

  // The same slides gzip-compressed, named .gz or not, give the same table.
  if (kOnWindows) GTEST_SKIP() << "gzip is a POSIX tool";
  ASSERT_EQ(folder_.run_command("gzip -c s1.gpr > c1.gpr.gz && gzip -c s2.gpr > c2.dat").status, 0);
  BinaryRun plain = folder_.run_with_arguments("-q --genes plain.tsv s1.gpr s2.gpr");
  BinaryRun packed = folder_.run_with_arguments("-q --genes packed.tsv c1.gpr.gz c2.dat");
  ASSERT_EQ(packed.status, 0) << packed.errors;
  const std::string plain_table = folder_.read("plain.tsv");
  std::string packed_table = folder_.read("packed.tsv");
  // Only the slide columns' names differ.
  const std::size_t end = packed_table.find('\n');
  EXPECT_EQ(packed_table.substr(end), plain_table.substr(plain_table.find('\n')));
}

TEST_F(Formats, FilesOfAnotherFormatOrLayoutAreRefused) {
  std::vector<Feature> moved = slide(2);
  moved[1].row = 9;
  folder_.write("moved.gpr", genepix_file(moved));
  BinaryRun run = folder_.run_with_arguments("-q s1.gpr moved.gpr");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.errors,
            "the data file moved.gpr holds spot 2 at block 1, row 9, column 2 and the first file, "
            "s1.gpr, at block 1, row 1, column 2: the files of one run must share one layout\n");
  EXPECT_FALSE(folder_.exists("genes.tsv"));

  folder_.write("table.tsv", "Red\tGreen\tRedBg\tGreenBg\n1\t2\t0\t0\n");
  run = folder_.run_with_arguments("-q s1.gpr table.tsv");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.errors.find("table.tsv"), std::string::npos) << run.errors;
  EXPECT_FALSE(folder_.exists("genes.tsv"));
}

TEST_F(Formats, OptionsOfTheOtherFormatsAreRefusedForTheScannersFiles) {
  ASSERT_EQ(folder_.run_tool(CORVANE_MAKE_SLIDES, "--files 2 --spots 16 --prefix x").status, 0);
  BinaryRun run = folder_.run_with_arguments("-r 4 --signal median x01.txt x02.txt");
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.errors,
            "corvane: option --signal reads the files of the other formats, not the scanner's, "
            "whose genes are R consecutive spots\nTry 'corvane --help'.\n");
  run = folder_.run_with_arguments("x01.txt x02.txt");
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.errors,
            "corvane: option --replicates is required with files: the replicate spots per gene\n"
            "Try 'corvane --help'.\n");
}

TEST_F(Formats, TopPrintsTheGenesOfSmallestPValueAligned) {
  BinaryRun run = folder_.run_with_arguments("-q --normalise none --top 5 s1.gpr s2.gpr");
  ASSERT_EQ(run.status, 0) << run.errors;
  const std::vector<std::string> lines = lines_of(run.console);
  ASSERT_EQ(lines.size(), 3u) << run.console;
  EXPECT_EQ(lines[0].substr(0, 10), "  ID Name ");
  EXPECT_NE(lines[0].find("logFC"), std::string::npos);
  EXPECT_NE(lines[0].find("adj.P.Val"), std::string::npos);
  EXPECT_EQ(lines[1].substr(0, 12), "1 A  alpha  ");
  EXPECT_NE(lines[1].find(" 2.0000 "), std::string::npos) << lines[1];
}

}  // namespace
