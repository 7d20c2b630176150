#include <gtest/gtest.h>

#include <cmath>
#include <utility>
#include <vector>

#include "numeric/numeric.hpp"

namespace {

std::vector<double> smoothed(const std::vector<double>& x, const std::vector<double>& y, double f,
                             int iterations, double delta) {
  std::vector<double> fitted;
  lowess(x, y, f, iterations, delta, fitted);
  return fitted;
}

}  // namespace

// Twelve points with a tie and an outlier (x = 4.5). The expected values are those of the
// original program, which R's lowess() runs, printed to 17 digits: the smoother must agree to
// the bit, one fit with a robustness pass and delta skips, and one plain first pass.
TEST(Lowess, AgreesToTheBitWithTheOriginalProgram) {
  const std::vector<double> x = {1, 2, 2, 3, 4.5, 5, 6, 7, 8, 9, 10, 12};
  const std::vector<double> y = {0.3, 0.1, 0.5, 0.2, 1.9, 0.4, 0.8, 1.1, 0.7, 1.6, 1.2, 2.0};
  const std::vector<double> robust = {0.31976789798621846, 0.27393155249609868, 0.27393155249609868,
                                      0.19999999999999996, 0.40568990705961983, 0.52408687004842147,
                                      0.72292954115765906, 0.90290431552195449, 1.0990587067764814,
                                      1.2046014994434278,  1.4573324965704988,  1.938442367015885};
  const std::vector<double> first_pass = {
      0.25950581714455162, 0.30336519442995602, 0.30336519442995602, 0.55292974819124507,
      0.93098042524973879, 0.96168389378188335, 0.95238547026874487, 0.89207482719769826,
      1.0933336250784067,  1.2106687282075017,  1.460822222882544,   1.9378574679341742};
  EXPECT_EQ(smoothed(x, y, 0.5, 3, 0.5), robust);
  EXPECT_EQ(smoothed(x, y, 0.5, 0, 0.0), first_pass);
}

// In windows of 64 points or more the local lines come from one pass of sums: the same values
// as the original program's to rounding. 200 points, 100 to a window, three outliers; R's lowess
// values at seven of the points.
TEST(Lowess, LargeWindowsAgreeToRounding) {
  std::vector<double> x, y;
  for (int i = 0; i < 200; ++i) {
    x.push_back(i + 0.3 * std::sin(i));
    y.push_back(std::sin(x.back() / 20) + 0.1 * std::cos(7 * x.back()));
  }
  for (int outlier : {30, 100, 170})
    y[static_cast<std::size_t>(outlier)] += 3;
  const std::vector<double> fitted = smoothed(x, y, 0.5, 3, 2.0);
  const std::pair<std::size_t, double> expected[] = {
      {0, 0.80176798793024118},   {30, 0.59468130874492442},   {50, 0.36448831781443353},
      {99, -0.58230752552258458}, {100, -0.57488238998327534}, {150, 0.56559849518007566},
      {199, 0.14150471379892984}};
  for (const auto& [point, value] : expected)
    EXPECT_NEAR(fitted[point], value, 1e-12) << "point " << point;
}

// Points on a straight line are fitted by it, whatever the window; tied x share one value.
TEST(Lowess, LinesAreKeptAndTiesShareTheirValue) {
  const std::vector<double> x = {0, 1, 1, 1, 2, 3, 5, 8, 13};
  std::vector<double> y;
  for (double v : x)
    y.push_back(3.0 - 0.5 * v);
  for (double f : {0.3, 0.5, 1.0}) {
    const std::vector<double> fitted = smoothed(x, y, f, 3, 0.0);
    for (std::size_t i = 0; i < x.size(); ++i)
      EXPECT_NEAR(fitted[i], y[i], 1e-12) << "f " << f << " point " << i;
  }
  // Three tied points with different y: one local fit, whose value all three take.
  const std::vector<double> tied = smoothed(x, {0, 1, 5, 9, 2, 3, 5, 8, 13}, 0.5, 0, 0.0);
  EXPECT_EQ(tied[1], tied[2]);
  EXPECT_EQ(tied[2], tied[3]);
}

// A delta as wide as the range: only the first and the last point are fitted, the others lie on
// the straight line between those two values.
TEST(Lowess, PointsWithinDeltaAreInterpolated) {
  const std::vector<double> x = {0, 1, 2, 4, 7, 10};
  const std::vector<double> y = {1, 4, 0, 3, 9, 2};
  const std::vector<double> fitted = smoothed(x, y, 0.5, 0, 10.0);
  // With 3 points per window, the end fits use the two nearest points (the third is at the
  // window's reach, weight 0): the line through (0, 1) and (1, 4) gives 1 at x = 0, the line
  // through (7, 9) and (10, 2) gives 2 at x = 10.
  EXPECT_NEAR(fitted[0], 1.0, 1e-12);
  EXPECT_NEAR(fitted[5], 2.0, 1e-12);
  for (std::size_t i = 1; i < 5; ++i)
    EXPECT_NEAR(fitted[i], 1.0 + x[i] / 10.0, 1e-12) << "point " << i;
}

// An outlier pulls the first fit towards it, by 0.43 at its own place; the robustness passes
// give it weight 0 and the line through the other points comes back, within their noise.
TEST(Lowess, RobustnessPassesSetAnOutlierAside) {
  std::vector<double> x, y;
  for (int i = 0; i < 40; ++i) {
    x.push_back(i);
    y.push_back(1.0 + 0.25 * i + 0.2 * std::sin(1.7 * i));
  }
  y[20] += 5.0;
  const std::vector<double> first = smoothed(x, y, 0.5, 0, 0.0);
  const std::vector<double> robust = smoothed(x, y, 0.5, 3, 0.0);
  EXPECT_GT(first[20] - 6.0, 0.4);
  for (int i = 15; i <= 25; ++i)
    EXPECT_NEAR(robust[static_cast<std::size_t>(i)], 1.0 + 0.25 * i, 0.02) << "point " << i;
}

// At least two points in each window; one point is its own fit; nothing for none.
TEST(Lowess, FewPoints) {
  EXPECT_TRUE(smoothed({}, {}, 0.3, 3, 0.0).empty());
  EXPECT_EQ(smoothed({2.0}, {7.0}, 0.3, 3, 0.0), std::vector<double>{7.0});
  // Two points: the window holds both, and each fit is the line through them.
  const std::vector<double> two = smoothed({1.0, 3.0}, {5.0, 9.0}, 0.3, 3, 0.0);
  EXPECT_NEAR(two[0], 5.0, 1e-12);
  EXPECT_NEAR(two[1], 9.0, 1e-12);
  // All x equal: no slope, every point gets the mean.
  const std::vector<double> flat = smoothed({4, 4, 4, 4}, {1, 2, 3, 6}, 1.0, 0, 0.0);
  for (double v : flat)
    EXPECT_DOUBLE_EQ(v, 3.0);
}
