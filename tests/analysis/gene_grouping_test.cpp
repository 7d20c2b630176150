#include <gtest/gtest.h>

#include "analysis/analysis.hpp"
#include "analysis/run_setup.hpp"

namespace {

// Sets the spot ratios and quality flags that group_by_gene reads.
void fill_spots(Run& run, const std::vector<std::vector<double>>& ratios,
                const std::vector<std::vector<double>>& flags) {
  run.spots.spot_ratio = dmatrix(1, run.options.FileCount, 1, run.slides.TotalSpots);
  run.spots.spot_qc = dmatrix(1, run.options.FileCount, 1, run.slides.TotalSpots);
  for (int32_t f = 1; f <= run.options.FileCount; ++f) {
    for (int32_t s = 1; s <= run.slides.TotalSpots; ++s) {
      run.spots.spot_ratio[f][s] = ratios[static_cast<size_t>(f - 1)][static_cast<size_t>(s - 1)];
      run.spots.spot_qc[f][s] = flags[static_cast<size_t>(f - 1)][static_cast<size_t>(s - 1)];
    }
  }
}

Run grouping_run(int32_t replicates, int32_t files, int32_t spots) {
  Run run;
  run.options.ReplicateCount = replicates;
  run.options.FileCount = files;
  run.slides.TotalSpots = spots;
  run.genes.GeneNumber = spots / replicates;
  run.genes.members = consecutive_members(spots, replicates);
  return run;
}

}  // namespace

TEST(GeneGrouping, FileMeansAreTakenBeforeFailedSpotsAreZeroed) {
  ::Run run = grouping_run(2, 2, 2);
  fill_spots(run, {{1.5, 0.0}, {2.0, 4.0}}, {{QC_PASS, QC_PASS}, {QC_PASS, QC_FAIL}});
  group_by_gene(run);
  EXPECT_EQ(run.genes.gene_ratio[1][1], 1.5);
  EXPECT_EQ(run.genes.gene_ratio[1][2], 0.0);
  EXPECT_EQ(run.genes.gene_ratio[1][3], 2.0);
  EXPECT_EQ(run.genes.gene_ratio[1][4], 4.0);
  EXPECT_EQ(run.genes.gene_qc[1][4], QC_FAIL);

  compute_file_gene_means(run);
  EXPECT_EQ(run.genes.file_gene_mean[1][1], 1.5);
  EXPECT_EQ(run.genes.file_gene_mean[2][1], 3.0);

  zero_failed_ratios(run);
  EXPECT_EQ(run.genes.gene_ratio[1][1], 1.5);
  EXPECT_EQ(run.genes.gene_ratio[1][2], 0.0);
  EXPECT_EQ(run.genes.gene_ratio[1][3], 2.0);
  EXPECT_EQ(run.genes.gene_ratio[1][4], 0.0);
  release_run_arrays(run);
}

TEST(GeneGrouping, ColumnsFollowFileThenReplicateAndLeftoverSpotsBelongToNoGene) {
  // R = 3, 7 spots: genes 1..2, spot 7 of each file belongs to no gene.
  ::Run run = grouping_run(3, 2, 7);
  fill_spots(run, {{1, 2, 3, 4, 5, 6, 70}, {0, 0, 0, 14, 15, 16, 170}},
             std::vector<std::vector<double>>(2, std::vector<double>(7, QC_PASS)));
  group_by_gene(run);
  const double expected[2][6] = {{1, 2, 3, 0, 0, 0}, {4, 5, 6, 14, 15, 16}};
  for (int32_t g = 1; g <= 2; ++g) {
    for (int32_t k = 1; k <= 6; ++k)
      EXPECT_EQ(run.genes.gene_ratio[g][k], expected[g - 1][k - 1]);
  }
  EXPECT_EQ(run.genes.gene_ratio[1].highest(), 6);

  compute_file_gene_means(run);
  EXPECT_EQ(run.genes.file_gene_mean[1][1], 2.0);
  EXPECT_EQ(run.genes.file_gene_mean[2][1], 0.0);
  EXPECT_EQ(run.genes.file_gene_mean[1][2], 5.0);
  EXPECT_EQ(run.genes.file_gene_mean[2][2], 15.0);
  zero_failed_ratios(run);
  release_run_arrays(run);
}

TEST(GeneGrouping, NoGenesGivesEmptyRangesThroughToTheStatistics) {
  ::Run run = grouping_run(5, 2, 3);
  ASSERT_EQ(run.genes.GeneNumber, 0);
  fill_spots(run, {{1, 2, 3}, {4, 5, 6}},
             std::vector<std::vector<double>>(2, std::vector<double>(3, QC_FAIL)));
  group_by_gene(run);
  compute_file_gene_means(run);
  zero_failed_ratios(run);
  EXPECT_EQ(run.genes.gene_ratio.row_table().highest(), 0);
  EXPECT_EQ(run.genes.file_gene_mean[2].highest(), 0);

  compute_gene_statistics(run);
  EXPECT_EQ(run.genes.ratio_mean.highest(), 0);
  EXPECT_EQ(run.genes.file_zero_spots[1], 0);
  EXPECT_EQ(run.genes.file_outliers[2], 0);
  // Without a gene nothing is held per replicate column, whatever R * N is.
  EXPECT_EQ(run.genes.gene_values.highest(), 0);

  release_run_arrays(run);
}
