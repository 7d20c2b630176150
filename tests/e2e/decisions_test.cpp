// The spot table's decisions against merge.txt's and the gene table's counts, through the real
// binary, on slides whose ratios tie again and again.
#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "support/binary_run.hpp"
#include "support/result_file_text.hpp"

namespace {

constexpr int kSlides = 3;
constexpr int kSpots = 240;
constexpr int kReplicates = 6;  // 40 genes

std::vector<std::string> split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::stringstream stream(text);
  for (std::string part; std::getline(stream, part, separator);)
    parts.push_back(part);
  return parts;
}

// Nets from a handful of values, so that a gene's ratios tie within a slide and across slides;
// one spot in 12 without a ratio (channel 2 at its background), one in 9 failing the quality
// test (backgrounds far above the nets). In a gene in eight, two replicates of every slide have
// the ratio 40, for the outlier rules: equal values on one slide. Gene 8 keeps only two ratios, 0.5
// on slide 1 and 10 on slide 2: a pair too far apart.
std::string slide_text(int slide) {
  uint32_t state = 12345u + static_cast<uint32_t>(slide) * 977u;
  auto next = [&state](uint32_t range) {
    state = state * 1103515245u + 12345u;
    return (state >> 16) % range;
  };
  const int ch1_nets[] = {100, 200};
  const int ch2_nets[] = {100, 200, 200, 400};
  std::vector<SpotRowText> spots;
  for (int s = 0; s < kSpots; ++s) {
    int ch1 = ch1_nets[next(2)];
    int ch2 = ch2_nets[next(4)];
    if ((s / kReplicates) % 8 == 3 && s % kReplicates < 2) ch1 = 100, ch2 = 4000;
    int background = 50;
    if (next(9) == 0) background = 5000;
    if (next(12) == 0) ch2 = 0;
    if (s / kReplicates == 7) {
      background = s % kReplicates == 0 && slide < 3 ? 50 : 5000;
      ch2 = slide == 1 ? ch1 / 2 : ch1 * 10;
    }
    spots.push_back({1 + s / 120, 1, 1 + (s % 120) / 12, 1 + s % 12, "G" + std::to_string(s / 6),
                     std::to_string(ch1 + background), std::to_string(background),
                     std::to_string(ch2 + background), std::to_string(background)});
  }
  return result_file_text(spots, "1\tC:\\s\\a.tif\tCy3\t", "2\tC:\\s\\b.tif\tCy5\t");
}

struct Counts {
  int kept = 0, zeros = 0, dropped = 0;
};

}  // namespace

// Per gene: kept spots are merge.txt's spots used, dropped ones (mean-to-median or pair) its
// outliers found, and spots without a ratio or failing the quality test the gene table's zero
// ratios. Per slide the zeros are merge.txt's too; its outlier count counts every spot that equals
// a dropped value, at every drop, so it is at least the spots dropped, and above it where the
// dropped value ties.
TEST(Decisions, SpotTableAgreesWithTheCountsWhenRatiosTie) {
  for (const char* method : {"none", "total"}) {
    SCOPED_TRACE(method);
    ScratchFolder folder;
    std::string names;
    for (int slide = 1; slide <= kSlides; ++slide) {
      const std::string name = "t" + std::to_string(slide) + ".txt";
      folder.write(name, slide_text(slide));
      names += " " + name;
    }
    BinaryRun run =
        folder.run_with_arguments("-q -r " + std::to_string(kReplicates) + " --normalise " +
                                  method + " --spots spots.tsv --genes genes.tsv" + names);
    ASSERT_EQ(run.status, 0) << run.errors;

    std::map<int, Counts> by_gene;
    std::map<std::string, Counts> by_slide;
    std::map<std::string, int> decisions;
    const std::vector<std::string> spot_lines = split(folder.read("spots.tsv"), '\n');
    for (std::size_t i = 1; i < spot_lines.size(); ++i) {
      const std::vector<std::string> field = split(spot_lines[i], '\t');
      ASSERT_EQ(field.size(), 13u);
      const std::string& decision = field[12];
      ++decisions[decision];
      ASSERT_NE(decision, "no_gene");  // 240 spots are 40 whole genes
      Counts& gene = by_gene[std::stoi(field[2])];
      Counts& slide = by_slide[field[0]];
      if (decision == "kept") {
        ++gene.kept;
      } else if (decision == "no_ratio" || decision == "failed_quality") {
        ++gene.zeros;
        ++slide.zeros;
      } else {
        ASSERT_TRUE(decision == "dropped_mean_median" || decision == "dropped_pair") << decision;
        ++gene.dropped;
        ++slide.dropped;
      }
    }
    for (const char* decision :
         {"kept", "no_ratio", "failed_quality", "dropped_mean_median", "dropped_pair"}) {
      EXPECT_GT(decisions[decision], 0) << decision;
    }

    const std::vector<std::string> gene_lines = split(folder.read("genes.tsv"), '\n');
    const std::vector<std::string> heading = split(gene_lines[0], '\t');
    std::map<std::string, std::size_t> column;
    for (std::size_t c = 0; c < heading.size(); ++c)
      column[heading[c]] = c;
    ASSERT_EQ(gene_lines.size(), 41u);
    for (std::size_t g = 1; g < gene_lines.size(); ++g) {
      const std::vector<std::string> field = split(gene_lines[g], '\t');
      const Counts& counts = by_gene[static_cast<int>(g)];
      EXPECT_EQ(counts.kept, std::stoi(field[column["spots_used"]])) << "gene " << g;
      EXPECT_EQ(counts.dropped, std::stoi(field[column["outliers"]])) << "gene " << g;
      EXPECT_EQ(counts.zeros, std::stoi(field[column["zero_ratios"]])) << "gene " << g;
    }

    // merge.txt's lines 14 and 18: per slide the spots not used (zeros and outliers) and the
    // outliers.
    const std::vector<std::string> merge_lines = split(folder.read("merge.txt"), '\n');
    const std::vector<std::string> unused = split(merge_lines[13], '\t');
    const std::vector<std::string> outliers = split(merge_lines[17], '\t');
    int ties_counted_again = 0;
    for (int slide = 1; slide <= kSlides; ++slide) {
      const Counts& counts = by_slide["t" + std::to_string(slide) + ".txt"];
      const int merge_outliers = std::stoi(outliers[static_cast<std::size_t>(slide - 1)]);
      const int merge_unused = std::stoi(unused[static_cast<std::size_t>(slide - 1)]);
      EXPECT_EQ(counts.zeros, merge_unused - merge_outliers) << "slide " << slide;
      EXPECT_GE(merge_outliers, counts.dropped) << "slide " << slide;
      ties_counted_again += merge_outliers - counts.dropped;
    }
    EXPECT_GT(ties_counted_again, 0);
  }
}
