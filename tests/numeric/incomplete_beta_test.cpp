#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "numeric/fatal_notice.hpp"
#include "numeric/numeric.hpp"

using testing::ExitedWithCode;

namespace {

// Two-sided p-value of t with df degrees of freedom, called as the gene statistics call it.
double two_sided_p(double df, double t) {
  return betai(0.5 * df, 0.5, df / (df + t * t));
}

}  // namespace

TEST(LogGamma, KnownValues) {
  EXPECT_NEAR(log_gamma(1.0), 0.0, 1e-9);
  EXPECT_NEAR(log_gamma(2.0), 0.0, 1e-9);
  EXPECT_NEAR(log_gamma(0.5), 0.5723649429, 1e-9);
  EXPECT_NEAR(log_gamma(5.0), std::log(24.0), 1e-9);
}

TEST(Betai, EndsOfTheRangeAreExact) {
  for (double a : {0.5, 1.0, 4.5}) {
    EXPECT_EQ(betai(a, 0.5, 0.0), 0.0);
    EXPECT_EQ(betai(a, 0.5, 1.0), 1.0);
  }
}

TEST(Betai, KnownValues) {
  EXPECT_NEAR(betai(0.5, 0.5, 0.5), 0.5, 1e-8);
  EXPECT_NEAR(betai(1.0, 0.5, 1.0 / 3.0), 1.0 - std::sqrt(2.0 / 3.0), 1e-8);
  // At the switch point the roles of a and b are exchanged; the value is continuous there.
  EXPECT_NEAR(betai(1.0, 1.0, 0.5), 0.5, 1e-8);
}

TEST(Betai, TwoSidedTestPValues) {
  EXPECT_NEAR(two_sided_p(1.0, 1.0), 0.5, 1e-7);
  EXPECT_NEAR(two_sided_p(2.0, 2.0), 0.1835034, 1e-7);
  EXPECT_NEAR(two_sided_p(3.0, 3.182446305), 0.05, 1e-7);
  EXPECT_NEAR(two_sided_p(9.0, 2.262157163), 0.05, 1e-7);
  EXPECT_EQ(two_sided_p(4.0, 0.0), 1.0);
  EXPECT_EQ(two_sided_p(4.0, std::numeric_limits<double>::infinity()), 0.0);
}

TEST(BetaiDeathTest, BadXEndsTheProcess) {
  const std::string notice = fatal_notice("Bad x in routine betai");
  EXPECT_EXIT(betai(0.5, 0.5, -0.1), ExitedWithCode(1), notice);
  EXPECT_EXIT(betai(0.5, 0.5, 1.5), ExitedWithCode(1), notice);
  EXPECT_EXIT(betai(0.5, 0.5, std::nan("")), ExitedWithCode(1), notice);
}

TEST(BetacfDeathTest, NoConvergenceEndsTheProcess) {
  EXPECT_EXIT(betai(1e6, 1e6, 0.4999), ExitedWithCode(1),
              fatal_notice("a or b too big, or MAXIT too small in betacf"));
}
