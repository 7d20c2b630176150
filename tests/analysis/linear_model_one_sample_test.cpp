#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "analysis/analysis.hpp"
#include "analysis/run_setup.hpp"
#include "numeric/linear_model.hpp"

// The moderated test across slides is the linear model of one coefficient: with the design a
// column of 1s, and -1 on the slides whose M is taken the other way round (a dye swap: the value
// fitted there is -M), the coefficient is the mean of the slide means and the moderated t, its
// degrees of freedom and p-value are the one-sample test's. Slides without a value are missing
// values; genes on one slide have no residual degrees of freedom.
TEST(LinearModelOneSample, AgreesWithTheModeratedTestAcrossSlides) {
  const int32_t slides = 5;
  const double sign[slides] = {1, -1, 1, 1, -1};
  std::vector<std::vector<double>> ratios;
  for (int g = 0; g < 300; ++g) {
    std::vector<double> gene;
    for (int f = 0; f < slides; ++f) {
      const bool missing = (g + f) % 13 == 0 || (g % 50 == 7 && f > 0) || g % 97 == 3;
      gene.push_back(
          missing ? 0.0
                  : std::exp2((0.2 + 0.3 * (g % 7)) * std::sin(0.7 * g + 1.3 * f) + 0.01 * g));
    }
    ratios.push_back(gene);
  }
  ::Run run = gene_run(1, slides, ratios);
  compute_moderated_test(run);
  const ModeratedTest& test = run.moderated;
  ASSERT_TRUE(test.made);

  Design design;
  design.arrays = slides;
  design.names = {"M"};
  design.values.assign(sign, sign + slides);
  LinearDesign prepared;
  std::string error;
  ASSERT_TRUE(prepare_design(design, prepared, error)) << error;
  std::vector<double> values;
  for (const std::vector<double>& gene : ratios)
    for (int f = 0; f < slides; ++f)
      values.push_back(gene[f] > 0.0 ? sign[f] * std::log2(gene[f]) : std::nan(""));
  const LinearFit fit = fit_linear_model(prepared, values);
  ModeratedTests tests;
  ASSERT_TRUE(moderate_tests(fit, tests, error)) << error;

  ASSERT_TRUE(std::isfinite(test.prior_df));
  EXPECT_NEAR(tests.prior.df, test.prior_df, 1e-12 * test.prior_df);
  EXPECT_NEAR(tests.prior.variance, test.prior_variance, 1e-12 * test.prior_variance);
  int32_t compared = 0;
  for (int32_t g = 1; g <= run.genes.GeneNumber; ++g) {
    SCOPED_TRACE(g);
    const std::size_t i = g - 1;
    if (test.slides_used[g] == 0) {
      EXPECT_TRUE(std::isnan(tests.t[i]) && std::isnan(tests.p_value[i]));
      continue;
    }
    EXPECT_NEAR(fit.coefficients[i], test.slide_log2_mean[g],
                1e-12 * std::fabs(test.slide_log2_mean[g]));
    EXPECT_NEAR(tests.t[i], test.t[g], 1e-12 * std::fabs(test.t[g]));
    EXPECT_NEAR(tests.df_total[i], test.df[g], 1e-12 * test.df[g]);
    EXPECT_NEAR(tests.p_value[i], test.p_value[g], 1e-12 * test.p_value[g]);
    ++compared;
  }
  EXPECT_GT(compared, 280);
  release_run_arrays(run);
}
