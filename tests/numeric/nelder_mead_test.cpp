#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "numeric/numeric.hpp"

namespace {

double rosenbrock(const std::vector<double>& x) {
  return 100.0 * (x[1] - x[0] * x[0]) * (x[1] - x[0] * x[0]) + (1.0 - x[0]) * (1.0 - x[0]);
}

}  // namespace

// R's optim(c(-1.2, 1), fr) with fr the Rosenbrock function 100 (x2 - x1^2)^2 + (1 - x1)^2 (the
// example of ?optim): the same 195 evaluations to the same point; and with control = list(maxit
// = 50) the same point after 51, not converged.
TEST(NelderMead, TakesRsStepsOnTheRosenbrockFunction) {
  NelderMeadResult result = nelder_mead(rosenbrock, {-1.2, 1.0});
  EXPECT_TRUE(result.converged);
  EXPECT_EQ(result.evaluations, 195);
  EXPECT_NEAR(result.point[0], 1.0002601387256695, 1e-13);
  EXPECT_NEAR(result.point[1], 1.000505999303765, 1e-13);
  EXPECT_NEAR(result.value, 8.8252410967227472e-08, 1e-19);

  result = nelder_mead(rosenbrock, {-1.2, 1.0}, 50);
  EXPECT_FALSE(result.converged);
  EXPECT_EQ(result.evaluations, 51);
  EXPECT_NEAR(result.point[0], -0.71460362434386515, 1e-13);
  EXPECT_NEAR(result.point[1], 0.47018069267272222, 1e-13);
  EXPECT_NEAR(result.value, 3.1037095813242419, 1e-13);
}

// From 0 the first simplex steps by 0.1, and a value that is not a number (here left of -0.05 in
// the first parameter) counts as very large, as in R:
//   fq <- function(p) if (p[1] < -0.05) NaN else sum((p - c(1, 2, 3))^2 * c(1, 10, 100))
//   optim(c(0, 0, 0), fq)  # 176 evaluations
TEST(NelderMead, StartsFromZeroAndStepsAroundValuesThatAreNotNumbers) {
  const auto f = [](const std::vector<double>& p) {
    if (p[0] < -0.05) return std::numeric_limits<double>::quiet_NaN();
    return (p[0] - 1) * (p[0] - 1) + 10 * (p[1] - 2) * (p[1] - 2) + 100 * (p[2] - 3) * (p[2] - 3);
  };
  const NelderMeadResult result = nelder_mead(f, {0.0, 0.0, 0.0});
  EXPECT_TRUE(result.converged);
  EXPECT_EQ(result.evaluations, 176);
  EXPECT_NEAR(result.point[0], 0.99924171961961084, 1e-13);
  EXPECT_NEAR(result.point[1], 2.0000329497173017, 1e-13);
  EXPECT_NEAR(result.point[2], 2.9997036257100458, 1e-13);
  EXPECT_NEAR(result.value, 9.3696179485723083e-06, 1e-17);
}

// A start where f is not finite is returned as it is, not converged, as R stops there.
TEST(NelderMead, StopsAtAStartThatCannotBeEvaluated) {
  const auto f = [](const std::vector<double>& p) { return std::log(p[0]); };
  const NelderMeadResult result = nelder_mead(f, {-1.0});
  EXPECT_FALSE(result.converged);
  EXPECT_EQ(result.evaluations, 1);
  EXPECT_EQ(result.point, std::vector<double>{-1.0});
}
