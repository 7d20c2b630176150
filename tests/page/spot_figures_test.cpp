// The figures of the slide images and of the listed genes' replicate spots, from hand-built runs.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "page/page.hpp"
#include "page/slide_shades.hpp"
#include "reports/report_test_support.hpp"

namespace {

// One slide of eight spots in two blocks of one row: M of the ratios -3, -2.5, 0.22, 0.24, 2.9,
// 3, then spot 7 of M 0 failing the quality test and spot 8 with an infinite ratio. The box's
// whiskers reach -3 and 3 (the failing spot is in the box, the infinite one is not), so the
// scale runs from -3 to 3 in steps of 6 / 13: the step of M is floor((M + 3) * 13 / 6), and 0.22
// and 0.24 lie either side of the bound 7 * 6 / 13 - 3 = 0.2308.
Run shaded_run(TestArrays& arrays) {
  Run run;
  run.FileCount = 1;
  run.TotalSpots = 8;
  run.ReplicateCount = 1;
  run.RatioChoice = 1;
  run.FileNames = arrays.texts({"one.txt"}, 50);
  run.channel_totals = arrays.double_rows({{8, 8}});
  run.norm_factor = arrays.doubles({1.0});
  std::vector<double> ratios;
  for (double m : {-3.0, -2.5, 0.22, 0.24, 2.9, 3.0, 0.0})
    ratios.push_back(std::exp2(m));
  ratios.push_back(INFINITY);
  run.ch1_net = arrays.double_rows({std::vector<double>(8, 1.0)});
  run.ch2_net = arrays.double_rows({ratios});
  run.spot_ratio = arrays.double_rows({ratios});
  run.spot_qc = arrays.double_rows({{100, 100, 100, 100, 100, 100, -90, 100}});
  run.normalisation.method = NormalisationMethod::kNone;
  run.normalisation.removed_m = arrays.double_rows({std::vector<double>(8, 0.0)});
  run.spot_array_row = arrays.ints({1, 1, 1, 1, 1, 1, 1, 1});
  run.spot_array_col = arrays.ints({1, 1, 1, 1, 2, 2, 2, 2});
  run.spot_row = arrays.ints({1, 1, 1, 1, 1, 1, 1, 1});
  run.spot_col = arrays.ints({1, 2, 3, 4, 1, 2, 3, 4});
  return run;
}

BoxFigures box_reaching(double lower, double upper) {
  BoxFigures box;
  box.count = 10;
  box.lower_whisker = lower;
  box.upper_whisker = upper;
  return box;
}

}  // namespace

TEST(FiguresImages, EverySpotTakesTheStepOfItsLog2RatioOrTheGrey) {
  TestArrays arrays;
  ::Run run = shaded_run(arrays);
  collect_spot_figures(run);
  const RunFigures& figures = run.figures;
  EXPECT_EQ(figures.image_limit, 3.0);
  EXPECT_EQ(figures.slides[0].image_shades,
            (std::vector<uint8_t>{0, 1, 6, 7, 12, 12, kNoRatioShade, kNoRatioShade}));
  ASSERT_EQ(figures.spot_places.size(), 8u);
  EXPECT_EQ(figures.spot_places[5].array_col, 2);
  EXPECT_EQ(figures.spot_places[5].col, 2);
  EXPECT_EQ(figures.spot_places[5].row, 1);

  // A spot without a ratio is grey too, and the scale follows the whiskers: only spot 6 is
  // beyond the upper quartile now, so the whiskers are -3 and 2.9, which round up to 3 again.
  run.spot_ratio[1][1] = 0.0;
  run.figures = RunFigures{};
  collect_spot_figures(run);
  EXPECT_EQ(run.figures.slides[0].image_shades[0], kNoRatioShade);
}

// The limit is the farthest whisker end of any slide rounded up to a half, at least a half and
// at most 16; a slide without a ratio, or a whisker that is not a number, has no say.
TEST(FiguresImages, TheScaleIsClippedAtTheFarthestWhiskerRoundedUpToAHalf) {
  std::vector<SlideFigures> slides(3);
  slides[0].log2_ratio = box_reaching(-0.7, 0.4);
  slides[1].log2_ratio = box_reaching(-0.2, 1.2);
  slides[2].log2_ratio = box_reaching(-40.0, 40.0);
  slides[2].log2_ratio.count = 0;
  EXPECT_EQ(image_limit_of(slides), 1.5);
  slides[1].log2_ratio = box_reaching(NAN, 1.0);
  EXPECT_EQ(image_limit_of(slides), 1.0);
  slides[0].log2_ratio = box_reaching(-0.1, 0.1);
  slides[1].log2_ratio.count = 0;
  EXPECT_EQ(image_limit_of(slides), 0.5);
  slides[2].log2_ratio.count = 5;
  EXPECT_EQ(image_limit_of(slides), 16.0);
}

namespace {

// Two slides, two replicates a gene, two genes and 49 more of ratio 1 after them that only the
// ranking needs. Gene 1: slide 1 ratios 2 (kept) and 0.5 (failing the quality test, zeroed
// in gene_ratio), slide 2 ratios 4 (kept) and 8 (dropped by the mean-to-median rule). Gene 2:
// slide 1 no ratio and 1, slide 2 16 and no ratio, the pair 1 and 16 failing the eight-fold test.
constexpr int32_t kGenes = 51;

Run decided_run(TestArrays& arrays) {
  Run run;
  run.FileCount = 2;
  run.ReplicateCount = 2;
  run.GeneNumber = kGenes;
  run.TotalSpots = 2 * kGenes;
  std::vector<double> slide1 = {2, 0.5, 0, 1}, slide2 = {4, 8, 16, 0};
  slide1.resize(static_cast<std::size_t>(run.TotalSpots), 1.0);
  slide2.resize(static_cast<std::size_t>(run.TotalSpots), 1.0);
  run.spot_ratio = arrays.double_rows({slide1, slide2});
  std::vector<double> passing(static_cast<std::size_t>(run.TotalSpots), 100.0);
  std::vector<double> failing_one = passing;
  failing_one[1] = -90.0;
  run.spot_qc = arrays.double_rows({failing_one, passing});
  std::vector<std::vector<double>> gene_ratios = {{2, 0, 4, 8}, {0, 1, 16, 0}};
  std::vector<std::string> verdicts = {"xk0km", "x0pp0"};
  std::vector<std::string> names;
  std::vector<int32_t> places;
  std::vector<double> p_values = {0.001, 0.002};
  std::vector<int32_t> slides_used = {2, 2};
  for (int32_t g = 3; g <= kGenes; ++g) {
    gene_ratios.push_back({1, 1, 1, 1});
    verdicts.push_back("xkkkk");
    // Gene 3 comes last of all, the 51st of the ranking.
    p_values.push_back(g == 3 ? 0.9 : 0.01 + 0.001 * g);
    slides_used.push_back(2);
  }
  run.gene_ratio = arrays.double_rows(gene_ratios);
  run.decisions.wanted = true;
  run.decisions.verdict = arrays.texts(verdicts, 5);
  for (int32_t s = 1; s <= run.TotalSpots; ++s) {
    names.push_back("n\t");
    places.push_back(1);
  }
  run.spot_name = arrays.texts(names, 4);
  run.spot_array_row = run.spot_array_col = run.spot_row = run.spot_col = arrays.ints(places);
  run.file_outliers = arrays.ints({0, 0});
  std::vector<double> zeros(kGenes, 0.0), nan(kGenes, NAN);
  std::vector<int32_t> counts(kGenes, 2);
  run.ratio_mean = run.log_mean = arrays.doubles(zeros);
  run.p_value = run.q_value = arrays.doubles(p_values);
  run.spots_used = run.outliers_found = arrays.ints(counts);
  ModeratedTest& test = run.moderated;
  test.made = true;
  test.slides_used = arrays.ints(slides_used);
  test.slide_log2_mean = test.t = test.df = test.q_value = arrays.doubles(nan);
  test.p_value = arrays.doubles(p_values);
  run.figures.slides.resize(2);  // as the spot figures leave them
  return run;
}

}  // namespace

TEST(FiguresReplicates, EachSpotWithItsDecisionAndEachSlideWithItsMean) {
  TestArrays arrays;
  ::Run run = decided_run(arrays);
  collect_gene_figures(run);
  const std::vector<GeneFigures>& genes = run.figures.tested_genes;
  ASSERT_EQ(genes.size(), static_cast<std::size_t>(kGenes));
  const std::vector<ReplicateSpot>& one = genes[0].replicate_spots;
  ASSERT_EQ(one.size(), 4u);
  EXPECT_EQ(one[0].slide, 1);
  EXPECT_EQ(one[0].log2_ratio, 1.0);
  EXPECT_EQ(one[0].decision, SpotDecision::kKept);
  // A failing spot keeps its ratio on the axis.
  EXPECT_EQ(one[1].log2_ratio, -1.0);
  EXPECT_EQ(one[1].decision, SpotDecision::kFailedQuality);
  EXPECT_EQ(one[2].slide, 2);
  EXPECT_EQ(one[2].decision, SpotDecision::kKept);
  EXPECT_EQ(one[3].log2_ratio, 3.0);
  EXPECT_EQ(one[3].decision, SpotDecision::kDroppedMeanMedian);
  // Slide means of the spots that passed: log2 2 alone, then (2 + 3) / 2.
  EXPECT_EQ(genes[0].slide_means, (std::vector<double>{1.0, 2.5}));

  const std::vector<ReplicateSpot>& two = genes[1].replicate_spots;
  ASSERT_EQ(two.size(), 4u);
  EXPECT_EQ(two[0].decision, SpotDecision::kNoRatio);
  EXPECT_TRUE(std::isnan(two[0].log2_ratio));
  EXPECT_EQ(two[1].decision, SpotDecision::kDroppedPair);
  EXPECT_EQ(two[1].log2_ratio, 0.0);
  EXPECT_EQ(two[2].decision, SpotDecision::kDroppedPair);
  EXPECT_EQ(two[2].log2_ratio, 4.0);
  EXPECT_EQ(two[3].decision, SpotDecision::kNoRatio);
  EXPECT_EQ(genes[1].slide_means, (std::vector<double>{0.0, 4.0}));
}

// Only the 50 genes the page lists carry their spots: gene 3, 51st by p-value, has none.
TEST(FiguresReplicates, OnlyTheListedGenesCarryTheirSpots) {
  TestArrays arrays;
  ::Run run = decided_run(arrays);
  collect_gene_figures(run);
  const std::vector<GeneFigures>& genes = run.figures.tested_genes;
  std::size_t with_spots = 0;
  for (const GeneFigures& gene : genes)
    with_spots += !gene.replicate_spots.empty();
  EXPECT_EQ(with_spots, 50u);
  EXPECT_TRUE(genes[2].replicate_spots.empty());
  EXPECT_TRUE(genes[2].slide_means.empty());
  EXPECT_EQ(genes[kGenes - 1].replicate_spots.size(), 4u);

  // Without the verdicts (no report asked for them), no gene does.
  ::Run without = decided_run(arrays);
  without.decisions.wanted = false;
  collect_gene_figures(without);
  for (const GeneFigures& gene : without.figures.tested_genes)
    EXPECT_TRUE(gene.replicate_spots.empty());
}
