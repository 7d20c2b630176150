#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "numeric/numeric.hpp"

// Two variances 1 and e^4 with 2 degrees of freedom each: e = ln s^2 - digamma(1) + ln 1 is
// gamma and 4 + gamma (gamma = -digamma(1)), so their mean is 2 + gamma and their variance 8;
// less trigamma(1) = pi^2 / 6 leaves V = 8 - pi^2 / 6 > 0, d0 = 2 trigamma_inverse(V) and
// s0^2 = exp(2 + gamma + digamma(d0 / 2) - ln(d0 / 2)). limma's fitFDist gives the same figures
// (0.8638378418802296 and 2.922189692240165).
TEST(VariancePrior, SpreadOfTheLogVariancesGivesTheDegreesOfFreedom) {
  const VariancePrior prior = estimate_variance_prior({1.0, std::exp(4.0)}, {2.0, 2.0});
  const double spread = 8.0 - std::numbers::pi * std::numbers::pi / 6.0;
  EXPECT_NEAR(trigamma(1.0), std::numbers::pi * std::numbers::pi / 6.0, 1e-15);
  EXPECT_NEAR(prior.df, 2.0 * trigamma_inverse(spread), 1e-14);
  EXPECT_NEAR(prior.df, 0.86383784188022961, 1e-13);
  const double half = prior.df / 2.0;
  EXPECT_NEAR(prior.variance, std::exp(2.0 + std::numbers::egamma + digamma(half) - std::log(half)),
              1e-12);
  EXPECT_NEAR(prior.variance, 2.9221896922401651, 1e-12);
}

// Equal variances spread less than their degrees of freedom alone make them: V <= 0, d0 is
// infinite and s0^2 their mean. A single variance is the prior's scale with no weight.
TEST(VariancePrior, NoSpreadAndASingleVariance) {
  const VariancePrior equal = estimate_variance_prior({2.0, 2.0, 2.0}, {4.0, 4.0, 4.0});
  EXPECT_TRUE(std::isinf(equal.df));
  EXPECT_DOUBLE_EQ(equal.variance, 2.0);
  const VariancePrior single = estimate_variance_prior({0.5}, {1.0});
  EXPECT_EQ(single.df, 0.0);
  EXPECT_EQ(single.variance, 0.5);
  EXPECT_TRUE(std::isnan(estimate_variance_prior({}, {}).df));
}

// More than half of the variances zero: the median is taken as 1, so the zeros are raised to
// 1e-5 for the estimate. limma's fitFDist: d0 = 0.28521820501820261, s0^2 = 1.1517224563326083e-05.
TEST(VariancePrior, ZeroVariancesAreRaisedForTheEstimate) {
  const VariancePrior prior = estimate_variance_prior({0.0, 0.0, 4.0}, {1.0, 1.0, 1.0});
  EXPECT_NEAR(prior.df, 0.28521820501820261, 1e-12);
  EXPECT_NEAR(prior.variance, 1.1517224563326083e-05, 1e-15);
}

// Values of limma's trigammaInverse; trigamma of the inverse gives the value back.
TEST(VariancePrior, TrigammaInverse) {
  const double cases[][2] = {{1e-8, 1e8},
                             {0.001, 1000.4999166666823},
                             {0.5, 2.4599529483523077},
                             {1.0, 1.4262551202150788},
                             {10.0, 0.33508104437803565},
                             {1e6, 0.0010000008212676086},
                             {1e8, 1e-4}};
  for (const auto& [x, inverse] : cases) {
    EXPECT_NEAR(trigamma_inverse(x), inverse, 1e-12 * inverse) << x;
    if (x >= 1e-6 && x <= 1e7) {
      EXPECT_NEAR(trigamma(trigamma_inverse(x)), x, 1e-7 * x) << x;
    }
  }
  EXPECT_TRUE(std::isnan(trigamma_inverse(0.0)));
}

// Student's t: two-sided p of t = 1 with 1 degree of freedom is 0.5 (the Cauchy distribution);
// t = 0 gives 1; no degrees of freedom give no p-value.
TEST(VariancePrior, TwoSidedTPValue) {
  EXPECT_NEAR(two_sided_t_p_value(1.0, 1.0), 0.5, 1e-15);
  EXPECT_NEAR(two_sided_t_p_value(-1.0, 1.0), 0.5, 1e-15);
  EXPECT_EQ(two_sided_t_p_value(0.0, 8.0), 1.0);
  EXPECT_NEAR(two_sided_t_p_value(3.0, 1.0), 0.2048327646991335, 1e-15);
  EXPECT_TRUE(std::isnan(two_sided_t_p_value(1.0, 0.0)));
  EXPECT_TRUE(std::isnan(two_sided_t_p_value(std::nan(""), 3.0)));
}
