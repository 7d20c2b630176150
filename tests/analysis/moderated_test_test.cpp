#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "analysis/analysis.hpp"
#include "analysis/run_setup.hpp"

namespace {

// One replicate spot per gene and slide; 0.0 is a slide without a value. The ratios are powers
// of two, so the slide means (log2) are exact.
::Run moderated_run(const std::vector<std::vector<double>>& ratios) {
  ::Run run = gene_run(1, static_cast<int32_t>(ratios[0].size()), ratios);
  compute_moderated_test(run);
  return run;
}

}  // namespace

// Four genes of three slides with the same variance 1 and one gene on one slide: the variances
// spread less than chance, so d0 is infinite, s0^2 = 1 and every gene's posterior variance is 1:
// t = mean * sqrt(n), df = the sum of the genes' degrees of freedom, 8. The p-values are limma's.
TEST(ModeratedTest, EqualVariancesGiveAnInfinitePrior) {
  ::Run run = moderated_run({{2, 4, 8}, {1, 2, 4}, {0.5, 1, 2}, {32, 64, 128}, {2, 0, 0}});
  const ModeratedTest& test = run.moderated;
  ASSERT_TRUE(test.made);
  EXPECT_TRUE(std::isinf(test.prior_df));
  EXPECT_DOUBLE_EQ(test.prior_variance, 1.0);
  const double means[] = {2, 1, 0, 6, 1};
  const double p[] = {0.0085162633709012538, 0.12150291881711299, 1.0, 6.364036898110809e-06,
                      0.34659350708733411};
  for (int32_t g = 1; g <= 5; ++g) {
    SCOPED_TRACE(g);
    const int32_t n = g == 5 ? 1 : 3;
    EXPECT_EQ(test.slides_used[g], n);
    EXPECT_DOUBLE_EQ(test.slide_log2_mean[g], means[g - 1]);
    EXPECT_DOUBLE_EQ(test.t[g], means[g - 1] * std::sqrt(n));
    EXPECT_EQ(test.df[g], 8.0);
    EXPECT_NEAR(test.p_value[g], p[g - 1], 1e-14);
  }
  // Benjamini-Hochberg over the five: ranks of p 4, 1, 2, 5, 3.
  EXPECT_NEAR(test.q_value[4], 5 * p[3], 1e-15);
  EXPECT_NEAR(test.q_value[1], 5.0 / 2 * p[0], 1e-15);
  EXPECT_NEAR(test.q_value[3], 1.0, 1e-15);
  release_run_arrays(run);
}

// One gene with a variance (slides 1 and 2: means 1 and 2, s^2 = 0.5): the prior is its own
// variance with no weight, so its t is 1.5 / sqrt(0.5 / 2) = 3 with 1 degree of freedom. Genes
// on one slide then have neither variance nor prior weight: no t. A gene on no slide has nothing.
TEST(ModeratedTest, ASingleGeneWithAVariance) {
  ::Run run = moderated_run({{2, 4, 0}, {std::sqrt(2.0), 0, 0}, {0, 0, 0}, {0, 0.5, 0}});
  const ModeratedTest& test = run.moderated;
  ASSERT_TRUE(test.made);
  EXPECT_EQ(test.prior_df, 0.0);
  EXPECT_DOUBLE_EQ(test.prior_variance, 0.5);
  EXPECT_DOUBLE_EQ(test.t[1], 3.0);
  EXPECT_EQ(test.df[1], 1.0);
  EXPECT_NEAR(test.p_value[1], 0.2048327646991335, 1e-14);
  for (int32_t g : {2, 4}) {
    EXPECT_EQ(test.slides_used[g], 1);
    EXPECT_TRUE(std::isnan(test.t[g]));
    EXPECT_EQ(test.df[g], 0.0);
    EXPECT_TRUE(std::isnan(test.p_value[g]));
  }
  EXPECT_EQ(test.slides_used[3], 0);
  EXPECT_TRUE(std::isnan(test.slide_log2_mean[3]));
  EXPECT_TRUE(std::isnan(test.df[3]));
  release_run_arrays(run);
}

// Replicates on one slide are averaged first: two replicates per slide, gene 1 with log2 values
// (1, 3) and (2, 2) has slide means 2 and 2. A single slide leaves no gene a variance: the test
// is not made and says why, but the slide means are there.
TEST(ModeratedTest, ReplicatesAreAveragedWithinASlide) {
  ::Run pairs = gene_run(2, 2, {{2, 8, 4, 4}, {1, 1, 4, 0}});
  compute_moderated_test(pairs);
  EXPECT_EQ(pairs.moderated.slides_used[1], 2);
  EXPECT_DOUBLE_EQ(pairs.moderated.slide_log2_mean[1], 2.0);
  EXPECT_DOUBLE_EQ(pairs.moderated.slide_log2_mean[2], 1.0);  // slide means 0 and 2
  release_run_arrays(pairs);

  ::Run single = moderated_run({{2}, {4}, {0}});
  EXPECT_FALSE(single.moderated.made);
  EXPECT_NE(single.moderated.not_made_because, "");
  EXPECT_EQ(single.moderated.slide_log2_mean[2], 2.0);
  for (int32_t g = 1; g <= 3; ++g)
    EXPECT_TRUE(std::isnan(single.moderated.p_value[g]));
  release_run_arrays(single);
}

// The genes are shared among threads; every value is the same bit for bit for any number.
TEST(ModeratedTest, TheSameForAnyNumberOfThreads) {
  std::vector<std::vector<double>> ratios;
  for (int g = 0; g < 300; ++g) {
    std::vector<double> gene;
    for (int f = 0; f < 5; ++f)
      gene.push_back((g + f) % 13 == 0 ? 0.0 : std::exp2(std::sin(0.7 * g + 1.3 * f) + 0.01 * g));
    ratios.push_back(gene);
  }
  std::vector<double> reference;
  for (int32_t threads : {1, 2, 7}) {
    ::Run run = gene_run(1, 5, ratios);
    run.options.threads = threads;
    compute_moderated_test(run);
    const ModeratedTest& test = run.moderated;
    std::vector<double> values = {test.prior_df, test.prior_variance};
    for (int32_t g = 1; g <= 300; ++g) {
      for (const DoubleVector* column :
           {&test.slide_log2_mean, &test.t, &test.df, &test.p_value, &test.q_value})
        values.push_back((*column)[g]);
      values.push_back(test.slides_used[g]);
    }
    if (threads == 1) {
      reference = values;
    } else {
      ASSERT_EQ(values.size(), reference.size());
      for (std::size_t i = 0; i < values.size(); ++i) {
        const bool same =
            values[i] == reference[i] || (std::isnan(values[i]) && std::isnan(reference[i]));
        EXPECT_TRUE(same) << threads << " threads, value " << i;
      }
    }
    release_run_arrays(run);
  }
}
