#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <vector>

#include "numeric/numeric.hpp"

// The expected values are limma's weightedLowess(x, y, w, span, iterations, delta)$fitted,
// printed with sprintf("%.17g").
namespace {

std::vector<double> smoothed(const std::vector<double>& x, const std::vector<double>& y,
                             const std::vector<double>& w, double span, int iterations,
                             double delta) {
  std::vector<double> fitted;
  weighted_lowess(x, y, w, span, iterations, delta, fitted);
  return fitted;
}

// Small windows take their distance weights from pow(), as weightedLowess does. With glibc's,
// which R uses here, the fits agree to the bit; MinGW-w64's rounds some cubes differently, and
// there they agree to rounding.
void expect_as_limma(const std::vector<double>& fitted, const std::vector<double>& expected) {
  ASSERT_EQ(fitted.size(), expected.size());
  for (std::size_t i = 0; i < fitted.size(); ++i) {
#ifdef __GLIBC__
    EXPECT_EQ(fitted[i], expected[i]) << "point " << i;
#else
    EXPECT_NEAR(fitted[i], expected[i], 1e-12) << "point " << i;
#endif
  }
}

void expect_near_limma(const std::vector<double>& fitted, const std::vector<double>& expected) {
  ASSERT_EQ(fitted.size(), expected.size());
  for (std::size_t i = 0; i < fitted.size(); ++i)
    EXPECT_NEAR(fitted[i], expected[i], 1e-12) << "point " << i;
}

}  // namespace

// Ties in x, a zero, a tiny and decimal weights, an outlier (x = 4.5), four passes; every point
// an anchor, then anchors 1.5 apart.
TEST(WeightedLowess, AgreesWithLimmaInSmallWindows) {
  const std::vector<double> x = {1, 2, 2, 3, 4.5, 5, 6, 7, 7, 8, 9, 10, 12};
  const std::vector<double> y = {0.3, 0.1, 0.5, 0.2, 1.9, 0.4, 0.8, 1.1, 0.9, 0.7, 1.6, 1.2, 2.0};
  const std::vector<double> w = {1, 0.5, 2, 1, 1, 0, 1, 0.3, 0.7, 1, 1e-5, 1, 1};
  expect_as_limma(
      smoothed(x, y, w, 0.4, 4, 0.0),
      {0.30000000000000004, 0.5, 0.5, 0.20000000000000018, 0.49999999999999994, 0.59017776661921861,
       0.80885198897025856, 0.85009802025331327, 0.85009802025331327, 0.97666613603541741,
       1.067734334071369, 1.3609048055249922, 1.9589680037736081});
  expect_as_limma(
      smoothed(x, y, w, 0.4, 4, 1.5),
      {0.29999999999999999, 0.25000000000000006, 0.25000000000000006, 0.20000000000000007,
       0.49498808698203633, 0.59331744930938179, 0.70727826160299501, 0.82123907389660822,
       0.82123907389660822, 0.91303925858576074, 1.0048394432749133, 1.3166789793441791,
       1.9403580514827099});
  // One point is its own fit; two points, the line through them.
  expect_as_limma(smoothed({2.0}, {7.0}, {0.5}, 0.3, 4, 0.0), {7.0});
  expect_as_limma(smoothed({1, 2}, {3, 5}, {1, 0.5}, 0.3, 4, 0.0), {3, 5});
  expect_as_limma(smoothed({1, 2, 4}, {3, 5, 4}, {1, 0.5, 2}, 0.5, 4, 0.0),
                  {3.0000000000000004, 5, 4});
}

// A window grows from its anchor by the nearer point on either side, the right one when both are
// as near, until its weights add up to span times the total, in that order in double: at x = 4
// (weight 0.1) the right neighbour (0.7) then the left (0.3) add up to 1.0999999999999999, short
// of 1.1000000000000001, so the window reaches x = 2 and 6, which the other order would not.
TEST(WeightedLowess, WindowsGrowByTheNearestPoints) {
  const std::vector<double> x = {1, 2, 3, 4, 5, 6, 7, 8};
  const std::vector<double> y = {0.4, 0.5, 0.6, 0.7, 0.8, 0.9, 2.5, 1.1};
  const std::vector<double> w = {0.3, 0.1, 0.3, 0.1, 0.7, 0.2, 0.1, 0.4};
  expect_as_limma(
      smoothed(x, y, w, 0.5, 1, 0.0),
      {0.40000000000000008, 0.5, 0.59999999999999998, 0.69999999999999996, 0.79999999999999982,
       1.3047538772757923, 1.3280182232346245, 1.2216673749852844});
  // At x = 0.5 the weights up to x = 4, added up in double, come to the target exactly,
  // 3.1000000000000005, though their exact sum falls short of it: the window ends there.
  expect_as_limma(smoothed({0.5, 1, 2, 3, 4, 5, 6, 7.5, 8.5, 9},
                           {0.2, 0.9, 0.4, 1.3, 0.8, 1.9, 1.1, 2.4, 1.7, 2.6},
                           {1.1, 0.6, 0.7, 0.1, 0.6, 1.1, 0.7, 0.7, 0.3, 0.3}, 0.5, 1, 0.0),
                  {0.35736898689806246, 0.43841740988492772, 0.59229347768268781,
                   0.76979161001051266, 1.0323812456694128, 1.4343995914374861, 1.7088082629713974,
                   2.0199806081742122, 2.293902819833471, 2.4273368068988193});
  // The first point's weight alone reaches the target; the window is widened over its ties,
  // which all keep their weight (h = 0): the weighted mean (5 * 2 + 3 + 7) / 7.
  expect_as_limma(smoothed({1, 1, 1, 2}, {2, 3, 7, 5}, {5, 1, 1, 1}, 0.1, 1, 0.0),
                  {2.8571428571428572, 2.8571428571428572, 2.8571428571428572, 5});
  // Reaches below 1e-7 keep every weight, but the window is not widened to a point as far on
  // its other side: at x = 1e-9 it holds 1e-9 and 2e-9 only, (2 + 4) / 2.
  expect_as_limma(
      smoothed({0, 1e-9, 2e-9, 50, 100}, {1, 2, 4, 0, 0}, {1, 1, 1, 1e-5, 1e-5}, 0.6, 1, 0.0),
      {1.5, 3, 3, 8.6401460303571167e-26, -1.0799642972030351e-26});
}

// A local fit whose points all weigh nothing gives not a number, as does every point on the line
// to it; the anchors on either side keep their values. The point that reaches the target is at
// the window's reach h and weighs nothing itself, in large windows too (110 points 0.5 apart, the
// last 12 of weight 1: every window left of them reaches to x = 49, and 49 * (1 / 49) != 1).
TEST(WeightedLowess, WindowsWithoutWeightGiveNotANumber) {
  const std::vector<double> fitted = smoothed({1, 2, 3, 4}, {2, 3, 7, 1}, {1, 0, 0, 1}, 0.3, 1, 0);
  EXPECT_EQ(fitted[0], 2.0);
  EXPECT_TRUE(std::isnan(fitted[1]));
  EXPECT_TRUE(std::isnan(fitted[2]));
  EXPECT_EQ(fitted[3], 1.0);

  std::vector<double> x, y, w;
  for (int i = 0; i < 110; ++i) {
    x.push_back(0.5 * i);
    y.push_back(0.1 * (i % 7));
    w.push_back(i >= 98 ? 1.0 : 0.0);
  }
  const std::vector<double> large = smoothed(x, y, w, 0.05, 1, 0.0);
  for (std::size_t i = 0; i < 110; ++i) {
    if (i < 98) {
      EXPECT_TRUE(std::isnan(large[i])) << "point " << i;
    } else {
      EXPECT_EQ(large[i], y[i]) << "point " << i;
    }
  }
}

// A local line needs a weighted sum of squares of x about its mean of at least 1e-7; below it the
// anchor takes the weighted mean of y. Spacing 1e-4: (1 + 2 (7/8)^3) / (1 + (7/8)^3) at x = 0;
// spacing 1e-3: the line through the two points that weigh.
TEST(WeightedLowess, NoSlopeFromATinySpread) {
  const std::vector<double> y = {1, 2, 1.5, 3, 0, 0}, w = {1, 1, 1, 1, 1e-5, 1e-5};
  const auto spaced = [](double s) { return std::vector<double>{0, s, 2 * s, 3 * s, 50, 100}; };
  expect_as_limma(smoothed(spaced(1e-4), y, w, 0.5, 1, 0.0),
                  {1.4011695906432748, 2, 1.5, 2.3982456140350878, 6.4800388807158476e-11,
                   -8.0999756962901389e-12});
  expect_as_limma(smoothed(spaced(1e-3), y, w, 0.5, 1, 0.0),
                  {1, 2, 1.5, 3, 6.4803886703249845e-08, -8.0997568363932023e-09});
}

// The robustness weights scale with the median of the absolute residuals weighted by the prior
// weights, in which points of weight 0 still take their place, and equal residuals (x = 2.9)
// come in the order of weightedLowess's sort: here the one of weight 1 first, so that the
// weights reach exactly half with it and the median is its residual, 0.457629362.
TEST(WeightedLowess, RobustnessScaleAsLimmaTakesIt) {
  const std::vector<double> x = {1, 1.7, 2.3, 2.5, 2.6, 2.9, 2.9, 2.9, 3,   3.9,
                                 4, 4,   4.9, 6,   7.6, 8.1, 9.4, 9.6, 9.6, 9.8};
  const std::vector<double> y = {-1.2, 2.5,  -0.1, 1.5,  0.1, 0.7,  -0.2, -0.2, 0,    0.2,
                                 -1.7, -1.2, -1.3, -0.8, 0.5, -1.4, -1,   0,    -0.3, 0.7};
  const std::vector<double> w = {1, 0, 0, 1, 1, 0, 0, 1, 0, 1, 1, 1, 1, 1, 1, 0, 1, 1, 1, 1};
  expect_as_limma(
      smoothed(x, y, w, 0.54, 2, 0.15),
      {-0.67614022413720676,  -0.40150954367214747, -0.20970031662083116, -0.11162225018477401,
       -0.054237607373017971, 0.11791632106225025,  0.11791632106225025,  0.11791632106225025,
       0.027308937207131123,  -0.78815751748894103, -0.81058357792297753, -0.81058357792297753,
       -1.0124181218293051,   -0.51261949760365333, -0.30968906492421988, -0.22871502163925106,
       -0.058574565165920078, -0.04031315392824053, -0.04031315392824053, -0.023558655130640371});
  // Twelve points of weight 1: the median is the mean of the sixth and seventh residuals.
  expect_as_limma(smoothed({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12},
                           {0.5, 1.4, 0.9, 2.2, 1.6, 2.9, 2.1, 3.8, 2.7, 3.5, 4.9, 3.6},
                           std::vector<double>(12, 1.0), 0.5, 2, 0.0),
                  {0.6401654307017558, 1.0116456834321854, 1.3916441813984259, 1.702642977537232,
                   2.067948177764638, 2.3788833640956764, 2.7416490816195371, 2.9493079848533998,
                   3.3192547894719966, 3.6557821520320362, 3.8680720647146858, 4.1188071570450973});
}

// Points on a line are their own fits; the residuals are rounding, whose median is no larger
// than 1e-7 / 6 of their mean or zero, and the passes end.
TEST(WeightedLowess, ExactFitsEndThePasses) {
  const std::vector<double> x = {1, 2, 3.5, 4, 6, 7, 9, 10};
  std::vector<double> y;
  for (double v : x)
    y.push_back(2 * v + 1);
  expect_near_limma(smoothed(x, y, {1, 0.5, 2, 1, 1e-5, 1, 3, 1}, 0.5, 4, 0.0), y);
}

// delta from npts: 0 when npts is at least the number of points; else, with the sums of the
// n - 1 - k smallest gaps, the least of those sums over npts - k. Anchors lie more than delta
// apart: with delta = 2 at x = 1, 4, 7 and 10, the points between on straight lines.
TEST(WeightedLowess, AnchorsAndTheirDelta) {
  const std::vector<double> x = {0.5, 1, 1, 1.25, 2, 3.5, 3.75, 4, 7, 7.5, 8, 9.25, 10, 10, 12};
  EXPECT_EQ(weighted_lowess_delta(x, 3), 3.8333333333333335);
  EXPECT_EQ(weighted_lowess_delta(x, 5), 2.125);
  EXPECT_EQ(weighted_lowess_delta(x, 8), 0.9375);
  EXPECT_EQ(weighted_lowess_delta(x, 14), 0.0);
  EXPECT_EQ(weighted_lowess_delta(x, 15), 0.0);

  const std::vector<double> fitted =
      smoothed({1, 2, 3, 4, 5, 6, 7, 8, 9, 10}, {0.2, 1.1, 0.4, 1.9, 1.3, 2.2, 2.0, 3.1, 2.7, 3.3},
               {1, 2, 1, 1, 0.5, 1, 1, 2, 1, 1}, 0.5, 1, 2.0);
  expect_as_limma(fitted,
                  {0.43729461869839348, 0.7592394895184511, 1.0811843603385087, 1.4031292311585664,
                   1.7404368594397193, 2.0777444877208722, 2.4150521160020246, 2.6795453005704366,
                   2.9440384851388486, 3.208531669707261});
  for (std::size_t i : {1, 2, 4, 5, 7, 8})
    EXPECT_NEAR(fitted[i] - fitted[i - 1], fitted[i + 1] - fitted[i], 1e-12) << "point " << i;

  // The last point is an anchor, and the point tied with it lies on the line to it from the
  // anchor before, which puts it a few units of the last place away.
  expect_as_limma(
      smoothed({2.8, 4.3, 4.5, 7.1, 7.3, 7.5, 7.7, 7.7}, {1.5, 0.5, 0, -1.5, 1, -0.6, 0.8, 0.9},
               {1, 2, 1, 1, 2, 0.5, 1, 1}, 0.5, 1, 1.5),
      {1.5249414989283627, 0.37077032621442774, 0.21688083651923584, -1.0433830313306984,
       -0.4589177026244613, 0.12554762608177938, 0.71001295478802362, 0.7100129547880254});
}
