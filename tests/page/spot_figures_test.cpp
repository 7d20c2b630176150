// The figures of the slide images and of the listed genes' replicate spots, from hand-built runs.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "page/page.hpp"
#include "reports/report_test_support.hpp"

namespace {

// One slide of eleven spots in two blocks of one row: M of the ratios -3, -2.5, 0.22, 0.24, 2.9,
// 3; spot 7 of M 0 failing the quality test; spot 8 with an infinite ratio; spots 9 and 10 of M
// 40 and -40, beyond the codes; spot 11 of nets too small for their product, ratio 1.
Run coded_run(TestArrays& arrays) {
  Run run;
  run.options.FileCount = 1;
  run.slides.TotalSpots = 11;
  run.options.ReplicateCount = 1;
  run.options.RatioChoice = 1;
  run.options.FileNames = arrays.texts({"one.txt"}, 50);
  run.spots.channel_totals = arrays.double_rows({{8, 8}});
  run.spots.norm_factor = arrays.doubles({1.0});
  std::vector<double> ratios;
  for (double m : {-3.0, -2.5, 0.22, 0.24, 2.9, 3.0, 0.0})
    ratios.push_back(std::exp2(m));
  ratios.insert(ratios.end(), {INFINITY, std::exp2(40.0), std::exp2(-40.0), 1.0});
  std::vector<double> ch1(11, 1.0), ch2 = ratios;
  ch1[10] = ch2[10] = 1e-200;
  run.spots.ch1_net = arrays.double_rows({ch1});
  run.spots.ch2_net = arrays.double_rows({ch2});
  run.spots.spot_ratio = arrays.double_rows({ratios});
  run.spots.spot_qc = arrays.double_rows({{100, 100, 100, 100, 100, 100, -90, 100, 100, 100, 100}});
  run.normalisation.method = NormalisationMethod::kNone;
  run.normalisation.slide_removed_m = arrays.doubles({0.0});
  run.slides.spot_array_row = run.slides.spot_row = arrays.ints(std::vector<int32_t>(11, 1));
  run.slides.spot_array_col = arrays.ints({1, 1, 1, 1, 2, 2, 2, 2, 2, 2, 2});
  run.slides.spot_col = arrays.ints({1, 2, 3, 4, 1, 2, 3, 4, 5, 6, 7});
  return run;
}

}  // namespace

// The code is 32768 + 1024 M rounded: -3 gives 29696, 0.22 gives 32993.28 and so 32993, 0.24
// 33014 (of 33013.76); M beyond -32 or 32 is held at 1 or 65535. A failing spot, an infinite
// ratio and a missing one have none; nets whose product underflowed still have their ratio's.
TEST(FiguresImages, EverySpotTakesTheCodeOfItsLog2RatioOrNone) {
  TestArrays arrays;
  ::Run run = coded_run(arrays);
  collect_spot_figures(run, 1);
  const RunFigures& figures = run.figures;
  EXPECT_EQ(figures.slides[0].image_codes,
            (std::vector<uint16_t>{29696, 30208, 32993, 33014, 35738, 35840, kNoRatioCode,
                                   kNoRatioCode, 65535, 1, 32768}));
  ASSERT_EQ(figures.spot_places.size(), 11u);
  EXPECT_EQ(figures.spot_places[5].array_col, 2);
  EXPECT_EQ(figures.spot_places[5].col, 2);
  EXPECT_EQ(figures.spot_places[5].row, 1);
  run.spots.spot_ratio[1][1] = 0.0;
  run.figures.slides.clear();  // figures taken afresh
  collect_spot_figures(run, 1);
  EXPECT_EQ(run.figures.slides[0].image_codes[0], kNoRatioCode);
}

namespace {

// Two slides, two replicates a gene, two genes and 49 more of ratio 1 after them that only the
// ranking needs. Gene 1: slide 1 ratios 2 (kept) and 0.5 (failing the quality test, zeroed
// in gene_ratio), slide 2 ratios 4 (kept) and 8 (dropped by the mean-to-median rule). Gene 2:
// slide 1 no ratio and 1, slide 2 16 and no ratio, the pair 1 and 16 failing the eight-fold test.
constexpr int32_t kGenes = 51;

Run decided_run(TestArrays& arrays) {
  Run run;
  run.options.FileCount = 2;
  run.options.ReplicateCount = 2;
  run.genes.GeneNumber = kGenes;
  run.slides.TotalSpots = 2 * kGenes;
  std::vector<double> slide1 = {2, 0.5, 0, 1}, slide2 = {4, 8, 16, 0};
  slide1.resize(static_cast<std::size_t>(run.slides.TotalSpots), 1.0);
  slide2.resize(static_cast<std::size_t>(run.slides.TotalSpots), 1.0);
  run.spots.spot_ratio = arrays.double_rows({slide1, slide2});
  std::vector<double> passing(static_cast<std::size_t>(run.slides.TotalSpots), 100.0);
  std::vector<double> failing_one = passing;
  failing_one[1] = -90.0;
  run.spots.spot_qc = arrays.double_rows({failing_one, passing});
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
  run.genes.gene_ratio = arrays.double_rows(gene_ratios);
  run.genes.members = consecutive_members(run.slides.TotalSpots, 2);
  // The slide means of the spots that passed, as the analysis leaves them: gene 1 log2 2 alone,
  // then (2 + 3) / 2; gene 2 log2 1, then log2 16.
  std::vector<double> slide1_means(kGenes, 0.0), slide2_means(kGenes, 0.0);
  slide1_means[0] = 1.0, slide2_means[0] = 2.5;
  slide1_means[1] = 0.0, slide2_means[1] = 4.0;
  run.genes.slide_log2_mean = arrays.double_rows({slide1_means, slide2_means});
  run.decisions.wanted = true;
  run.decisions.verdict = arrays.texts(verdicts, 5);
  for (int32_t s = 1; s <= run.slides.TotalSpots; ++s) {
    names.push_back("n\t");
    places.push_back(1);
  }
  run.slides.spot_name = arrays.texts(names, 4);
  run.slides.spot_array_row = run.slides.spot_array_col = run.slides.spot_row =
      run.slides.spot_col = arrays.ints(places);
  run.genes.file_outliers = arrays.ints({0, 0});
  std::vector<double> zeros(kGenes, 0.0), nan(kGenes, NAN);
  std::vector<int32_t> counts(kGenes, 2);
  run.genes.ratio_mean = run.genes.log_mean = arrays.doubles(zeros);
  run.genes.p_value = run.genes.q_value = arrays.doubles(p_values);
  run.genes.spots_used = run.genes.outliers_found = arrays.ints(counts);
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
