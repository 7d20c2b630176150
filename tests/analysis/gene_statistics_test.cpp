#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "analysis/analysis.hpp"
#include "analysis/run_setup.hpp"

namespace {

// Every result of one gene, to compare whole outcomes at once.
struct GeneResult {
  int32_t spots_used;
  int32_t zero_count;
  int32_t outliers_found;
  double ratio_mean;
  double ratio_sd;
  double ratio_cv;
  double ratio_median;
  double log_mean;
  double log_sd;
  double p_value;
};

void expect_gene(const Run& run, int32_t g, const GeneResult& expected) {
  SCOPED_TRACE("gene " + std::to_string(g));
  EXPECT_EQ(run.genes.spots_used[g], expected.spots_used);
  EXPECT_EQ(run.genes.zero_count[g], expected.zero_count);
  EXPECT_EQ(run.genes.outliers_found[g], expected.outliers_found);
  EXPECT_EQ(six_decimals(run.genes.ratio_mean[g]), six_decimals(expected.ratio_mean));
  EXPECT_EQ(six_decimals(run.genes.ratio_sd[g]), six_decimals(expected.ratio_sd));
  EXPECT_EQ(six_decimals(run.genes.ratio_cv[g]), six_decimals(expected.ratio_cv));
  EXPECT_EQ(six_decimals(run.genes.ratio_median[g]), six_decimals(expected.ratio_median));
  EXPECT_EQ(six_decimals(run.genes.log_mean[g]), six_decimals(expected.log_mean));
  EXPECT_EQ(six_decimals(run.genes.log_sd[g]), six_decimals(expected.log_sd));
  EXPECT_EQ(six_decimals(run.genes.p_value[g]), six_decimals(expected.p_value));
}

}  // namespace

// One column per file, so each gene has at most two kept ratios: no outlier loop, only the pair
// test.
TEST(GeneStatistics, GenesOfNoneOneOrTwoKeptRatios) {
  restart_random_source();
  ::Run run = gene_run(
      1, 2, {{0.0, 0.0}, {0.0, 2.0}, {0.5, 5.0}, {1.0, 8.0}, {2.0, 0.5}, {3.0, 3.0}, {1.0, 1.0}});
  compute_gene_statistics(run);

  // All zeros: only the zero counts change.
  expect_gene(run, 1, {0, 2, 0, 0.0, 0.0, 0.0, 0.0, UNSET_STAT, 0.0, NO_PVALUE});
  // One kept value: its log2, and no test.
  expect_gene(run, 2, {1, 1, 0, 2.0, 0.0, 0.0, 2.0, 1.0, 0.0, NO_PVALUE});
  EXPECT_EQ(run.genes.log_mean[2], 1.0);
  // q = 10: the pair is rejected and both values count as outliers.
  expect_gene(run, 3, {0, 0, 2, 0.0, 0.0, UNSET_STAT, 0.0, UNSET_STAT, 0.0, NO_PVALUE});
  // q = 8 exactly is accepted; t = 1 with one degree of freedom.
  expect_gene(run, 4, {2, 0, 0, 4.5, 3.5, 0.777778, 4.5, 1.5, 1.5, 0.5});
  // log_mean 0: t = 0 and p = 1.
  expect_gene(run, 5, {2, 0, 0, 1.25, 0.75, 0.6, 1.25, 0.0, 1.0, 1.0});
  EXPECT_EQ(run.genes.p_value[5], 1.0);
  // Equal values other than 1.0: t is infinite and p = 0.
  expect_gene(run, 6, {2, 0, 0, 3.0, 0.0, 0.0, 3.0, 1.584963, 0.0, 0.0});
  EXPECT_EQ(run.genes.p_value[6], 0.0);
  // All kept ratios exactly 1.0: no change at all, p = 1 without a test.
  expect_gene(run, 7, {2, 0, 0, 1.0, 0.0, 0.0, 1.0, 0.0, 0.0, 1.0});

  EXPECT_EQ(run.genes.file_zero_spots[1], 2);
  EXPECT_EQ(run.genes.file_zero_spots[2], 1);
  EXPECT_EQ(run.genes.file_outliers[1], 1);
  EXPECT_EQ(run.genes.file_outliers[2], 1);
  release_run_arrays(run);
}

TEST(GeneStatistics, LargestValueIsDroppedUntilMeanAndMedianAgree) {
  restart_random_source();
  ::Run run = gene_run(2, 3, {{0.0, 1.2, 1.0, 0.0, 0.9, 12.0}});
  compute_gene_statistics(run);
  expect_gene(run, 1, {3, 2, 1, 1.033333, 0.124722, 0.120699, 1.0, 0.037010, 0.171447, 0.788990});
  EXPECT_EQ(run.genes.file_zero_spots[1], 1);
  EXPECT_EQ(run.genes.file_zero_spots[2], 1);
  EXPECT_EQ(run.genes.file_zero_spots[3], 0);
  EXPECT_EQ(run.genes.file_outliers[1], 0);
  EXPECT_EQ(run.genes.file_outliers[2], 0);
  EXPECT_EQ(run.genes.file_outliers[3], 1);
  release_run_arrays(run);
}

TEST(GeneStatistics, EveryColumnHoldingADroppedValueCountsAtEveryDrop) {
  restart_random_source();
  ::Run run = gene_run(5, 1, {{20.0, 2.0, 2.0, 20.0, 2.0}});
  compute_gene_statistics(run);
  expect_gene(run, 1, {3, 0, 2, 2.0, 0.0, 0.0, 2.0, 1.0, 0.0, 0.0});
  EXPECT_EQ(run.genes.file_outliers[1], 4);
  release_run_arrays(run);
}

TEST(GeneStatistics, MeanExactlyTwiceTheMedianDropsNothing) {
  restart_random_source();
  ::Run run = gene_run(4, 1, {{10.0, 2.0, 2.0, 2.0}});
  compute_gene_statistics(run);
  EXPECT_EQ(run.genes.spots_used[1], 4);
  EXPECT_EQ(run.genes.outliers_found[1], 0);
  EXPECT_EQ(run.genes.ratio_mean[1], 4.0);
  EXPECT_EQ(run.genes.ratio_median[1], 2.0);
  EXPECT_EQ(run.genes.file_outliers[1], 0);
  release_run_arrays(run);
}

TEST(GeneStatistics, PairLeftByTheOutlierLoopCanStillBeRejected) {
  restart_random_source();
  // 100 is dropped (q = 37 / 10); then 10 / 1 fails the pair test.
  ::Run run = gene_run(3, 1, {{10.0, 1.0, 100.0}});
  compute_gene_statistics(run);
  expect_gene(run, 1, {0, 0, 3, 0.0, 0.0, UNSET_STAT, 0.0, UNSET_STAT, 0.0, NO_PVALUE});
  EXPECT_EQ(run.genes.file_outliers[1], 3);
  release_run_arrays(run);
}

TEST(GeneStatistics, ThreeRatiosOfExactlyOneHaveNoChange) {
  restart_random_source();
  ::Run run = gene_run(3, 1, {{1.0, 1.0, 1.0}});
  compute_gene_statistics(run);
  expect_gene(run, 1, {3, 0, 0, 1.0, 0.0, 0.0, 1.0, 0.0, 0.0, 1.0});
  release_run_arrays(run);
}

// The zeros lead the sorted values; only the non-zero values after them are sorted, ties included.
TEST(GeneStatistics, ZerosScatteredAmongTiedValuesLeadTheSortedValues) {
  restart_random_source();
  ::Run run = gene_run(4, 2, {{0.0, 3.0, 0.0, 1.5, 3.0, 0.0, 1.5, 2.0}});
  compute_gene_statistics(run);
  const double sorted[8] = {0.0, 0.0, 0.0, 1.5, 1.5, 2.0, 3.0, 3.0};
  for (int32_t i = 1; i <= 8; ++i)
    EXPECT_EQ(run.genes.sorted_values[i], sorted[i - 1]) << "i = " << i;
  for (int32_t i = 1; i <= 5; ++i)
    EXPECT_EQ(run.genes.kept_values[i], sorted[i + 2]) << "i = " << i;
  EXPECT_EQ(run.genes.zero_count[1], 3);
  EXPECT_EQ(run.genes.spots_used[1], 5);
  EXPECT_EQ(run.genes.ratio_median[1], 2.0);
  EXPECT_EQ(run.genes.file_zero_spots[1], 2);
  EXPECT_EQ(run.genes.file_zero_spots[2], 1);
  release_run_arrays(run);
}

// After 50 is dropped (mean 12 over median 3), the window 1, 2, 3, 4 has an even count: its
// median is the mean of its middle pair.
TEST(GeneStatistics, MedianOfAnEvenWindowIsTheMeanOfItsMiddlePair) {
  restart_random_source();
  ::Run run = gene_run(6, 1, {{0.0, 4.0, 50.0, 1.0, 3.0, 2.0}});
  compute_gene_statistics(run);
  EXPECT_EQ(run.genes.spots_used[1], 4);
  EXPECT_EQ(run.genes.outliers_found[1], 1);
  EXPECT_EQ(run.genes.ratio_mean[1], 2.5);
  EXPECT_EQ(run.genes.ratio_median[1], 2.5);
  release_run_arrays(run);
}

// The random source only picks the sort's pivots: wherever it stands, every result is the same.
TEST(GeneStatistics, ResultsDoNotDependOnTheRandomSource) {
  const std::vector<std::vector<double>> rows = {{0.7, 0.0, 1.3, 0.9, 0.9, 25.0, 1.1, 0.0, 1.0},
                                                 {2.0, 2.0, 0.0, 2.0, 0.0, 2.0, 2.1, 1.9, 0.0},
                                                 {0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.4, 3.9}};
  restart_random_source();
  ::Run first = gene_run(3, 3, rows);
  compute_gene_statistics(first);
  for (int i = 0; i < 1000; ++i)
    uniform_random();
  ::Run second = gene_run(3, 3, rows);
  compute_gene_statistics(second);
  for (int32_t g = 1; g <= 3; ++g) {
    SCOPED_TRACE("gene " + std::to_string(g));
    EXPECT_EQ(first.genes.spots_used[g], second.genes.spots_used[g]);
    EXPECT_EQ(first.genes.outliers_found[g], second.genes.outliers_found[g]);
    EXPECT_EQ(first.genes.ratio_mean[g], second.genes.ratio_mean[g]);
    EXPECT_EQ(first.genes.ratio_median[g], second.genes.ratio_median[g]);
    EXPECT_EQ(first.genes.ratio_sd[g], second.genes.ratio_sd[g]);
    EXPECT_EQ(first.genes.log_mean[g], second.genes.log_mean[g]);
    EXPECT_EQ(first.genes.p_value[g], second.genes.p_value[g]);
  }
  for (int32_t f = 1; f <= 3; ++f)
    EXPECT_EQ(first.genes.file_outliers[f], second.genes.file_outliers[f]);
  release_run_arrays(first);
  release_run_arrays(second);
}

namespace {

// The verdicts of every column of every gene, as one text per gene.
std::vector<std::string> verdicts_of(::Run& run) {
  std::vector<std::string> rows;
  for (int32_t g = 1; g <= run.genes.GeneNumber; ++g) {
    std::string row;
    for (int32_t k = 1; k <= run.options.ReplicateCount * run.options.FileCount; ++k)
      row += run.decisions.verdict[g][k];
    rows.push_back(row);
  }
  return rows;
}

}  // namespace

// Gene 1, one file of seven replicates: kept (1, 1, 2, 2, 9, 9, 9) has mean 33 / 7 over median 2,
// above 2, so one 9 is dropped; then (1, 1, 2, 2, 9, 9) has mean 4 over median 2, exactly 2, and
// the loop stops. Three columns hold 9: the drop of the largest value takes the last of them,
// column 5. The file's outlier count counts all three. Gene 2: a zero and a pair 0.5, 5.0 that
// fails the eight-fold test. Gene 3: all zeros. Gene 4: one ratio, kept.
TEST(GeneStatistics, VerdictsOfEveryColumnWithTies) {
  ::Run run = gene_run(7, 1,
                       {{9, 1, 9, 2, 9, 2, 1},
                        {0, 0.5, 0, 0, 5, 0, 0},
                        {0, 0, 0, 0, 0, 0, 0},
                        {0, 0, 0, 3, 0, 0, 0}});
  run.decisions.wanted = true;
  compute_gene_statistics(run);
  EXPECT_EQ(verdicts_of(run),
            (std::vector<std::string>{"kkkkmkk", "0p00p00", "0000000", "000k000"}));
  EXPECT_EQ(run.genes.outliers_found[1], 1);
  EXPECT_EQ(run.genes.spots_used[1], 6);
  EXPECT_EQ(run.genes.outliers_found[2], 2);
  EXPECT_EQ(run.genes.file_outliers[1], 3 + 2);
  release_run_arrays(run);
}

// Two files of two replicates: (1, 1 | 1, 8) keeps four values, mean 2.75 over median 1 drops the 8
// (column 4); then (1, 1, 1) stays. (4, 4 | 4, 40): the one 40 is dropped.
TEST(GeneStatistics, VerdictsFollowTheDroppedValueToItsColumn) {
  ::Run run = gene_run(2, 2, {{1, 1, 1, 8}, {4, 40, 4, 4}});
  run.decisions.wanted = true;
  compute_gene_statistics(run);
  EXPECT_EQ(verdicts_of(run), (std::vector<std::string>{"kkkm", "kmkk"}));
  release_run_arrays(run);
}
