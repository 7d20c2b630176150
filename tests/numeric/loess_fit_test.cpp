#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <utility>
#include <vector>

#include "numeric/numeric.hpp"

// The expected values are limma's loessFit(y, x, w)$fitted (span 0.3, 4 iterations), printed
// with sprintf("%.17g").
namespace {

std::vector<double> fit(const std::vector<double>& x, const std::vector<double>& y,
                        const std::vector<double>& w) {
  std::vector<double> fitted;
  loess_fit(x, y, w, 0.3, 4, fitted);
  return fitted;
}

void expect_near_limma(const std::vector<double>& fitted, const std::vector<double>& expected) {
  ASSERT_EQ(fitted.size(), expected.size());
  for (std::size_t i = 0; i < fitted.size(); ++i)
    EXPECT_NEAR(fitted[i], expected[i], 1e-12) << "point " << i;
}

// A slide's M against A, drawn with a congruential generator that R repeats exactly:
//   s <- 1; u <- function() { s <<- (16598013 * s + 12820163) %% 16777216; s / 16777216 }
//   for (i in 1:n) { a <- 6 + floor(10240 * u()) / 1024; noise <- (u() + u() + u() - 1.5) * 0.6
//     m <- 0.8 / (1 + (a - 6) * (a - 6) / 4) + noise; if (u() < 0.02) m <- m + 8 * (u() - 0.5)
//     A[i] <- a; M[i] <- m; w[i] <- if (u() < 0.05) 0 else 1 }
// A bend at low A, outliers, 5% of the spots flagged (weight 0), A in steps of 1/1024 (ties).
struct Slide {
  std::vector<double> a, m, w;
};

Slide simulated_slide(std::size_t n) {
  std::uint64_t state = 1;
  const auto draw = [&state] {
    state = (16598013 * state + 12820163) % 16777216;
    return static_cast<double>(state) / 16777216;
  };
  Slide slide;
  for (std::size_t i = 0; i < n; ++i) {
    const double a = 6 + std::floor(10240 * draw()) / 1024;
    double noise = draw();
    noise += draw();
    noise += draw();
    double m = 0.8 / (1 + (a - 6) * (a - 6) / 4) + (noise - 1.5) * 0.6;
    if (draw() < 0.02) m += 8 * (draw() - 0.5);
    slide.a.push_back(a);
    slide.m.push_back(m);
    slide.w.push_back(draw() < 0.05 ? 0.0 : 1.0);
  }
  return slide;
}

// The fit in the order of the spots: sorted by A, equal A in the order of the spots.
std::vector<double> fit_in_spot_order(const Slide& slide) {
  const std::size_t n = slide.a.size();
  std::vector<std::pair<double, std::size_t>> order(n);
  for (std::size_t i = 0; i < n; ++i)
    order[i] = {slide.a[i], i};
  std::sort(order.begin(), order.end());
  std::vector<double> a(n), m(n), w(n), sorted_fit;
  for (std::size_t i = 0; i < n; ++i) {
    a[i] = order[i].first;
    m[i] = slide.m[order[i].second];
    w[i] = slide.w[order[i].second];
  }
  loess_fit(a, m, w, 0.3, 4, sorted_fit);
  std::vector<double> fitted(n);
  for (std::size_t i = 0; i < n; ++i)
    fitted[order[i].second] = sorted_fit[i];
  return fitted;
}

struct SlideExpectation {
  std::size_t spots;
  std::vector<std::pair<std::size_t, double>> fits;  // spot (from 0) and its fit
  double sum;                                        // of all the fits
};

}  // namespace

// Slides of 5,000 and 30,000 spots: the weighted lowess with 200 anchors, windows of thousands of
// points. f <- loessFit(M, A, w)$fitted; f[c(1, 2, 3, 17, 100, 1234, n / 2, n - 1, n)]; sum(f).
TEST(LoessFit, AgreesWithLimmaOnSimulatedSlides) {
  const SlideExpectation expectations[] = {{5000,
                                            {{0, 0.04774307305404546},
                                             {1, 0.28732280963550072},
                                             {2, 0.76073073886271536},
                                             {16, 0.71889487582870837},
                                             {99, 0.080092616144635642},
                                             {1233, 0.6306530627532545},
                                             {2499, 0.048942976610967526},
                                             {4998, 0.028733344590160442},
                                             {4999, 0.62695391393675637}},
                                            1132.9802629004571},
                                           {30000,
                                            {{0, 0.045745112873015081},
                                             {1, 0.27656391445068818},
                                             {2, 0.7754573046533817},
                                             {16, 0.73159486893421621},
                                             {99, 0.086300676135835419},
                                             {1233, 0.63851656584900973},
                                             {14999, 0.36409297666030427},
                                             {29998, 0.082416870858471214},
                                             {29999, 0.22010600920862899}},
                                            6658.6823976776031}};
  for (const SlideExpectation& expected : expectations) {
    const std::vector<double> fitted = fit_in_spot_order(simulated_slide(expected.spots));
    for (const auto& [spot, value] : expected.fits)
      EXPECT_NEAR(fitted[spot], value, 1e-12) << expected.spots << " spots, spot " << spot;
    double sum = 0.0;
    for (double v : fitted)
      sum += v;
    EXPECT_NEAR(sum, expected.sum, 1e-9) << expected.spots << " spots";
  }
}

// Fewer points than 4 + 1/span (7 for span 0.3): the weighted least-squares line, with the
// weights 0 held at 1e-5 (R: lm.wfit(cbind(1, x), y, pmax(w, 1e-5))$fitted, which loessFit's
// values are). Fewer than 1/span: each point its own fit.
TEST(LoessFit, FewPointsGetALineOrThemselves) {
  expect_near_limma(fit({7.25, 8, 8.5, 9.75, 11}, {0.42, 0.1, 0.35, -0.2, 0.05}, {1, 0, 1, 1, 0}),
                    {0.49999565874870677, 0.31399879547922482, 0.19000088663287357,
                     -0.11999388548295922, -0.42998865759879251});
  EXPECT_EQ(fit({1, 2, 3}, {1, 5, 2}, {1, 0, 1}), (std::vector<double>{1, 5, 2}));
  EXPECT_EQ(fit({4}, {-0.5}, {0}), std::vector<double>{-0.5});
  EXPECT_TRUE(fit({}, {}, {}).empty());
  // No spread in x, or too little beside its size to tell from none: the weighted mean.
  const std::vector<double> mean(4, 2.2500093749765631);
  expect_near_limma(fit({2, 2, 2, 2}, {1, 2, 3, 6}, {1, 1, 2, 0}), mean);
  expect_near_limma(fit({2, 2, 2, 2.0000001}, {1, 2, 3, 6}, {1, 1, 2, 0}), mean);
}

// Weights are held within [1e-5, 1e5], not a number counting as 0: the same fit as with 0 and
// 1e5. When they are then all equal, the fit is the unweighted lowess with 3 robustness passes
// and delta 1% of the range.
TEST(LoessFit, WeightsHeldWithinBounds) {
  const std::vector<double> x = {6.5, 7, 7.25, 8, 8.5, 9.75, 11, 12, 13.5};
  const std::vector<double> y = {0.6, 0.42, 0.5, 0.1, 0.35, -0.2, 0.05, 0.3, -0.1};
  const std::vector<double> expected = {
      0.54891865706195375,  0.44317529918367549, 0.3908623683882253,
      0.23349319717325434,  0.12315533618095031, -0.20000000000000001,
      0.050000000000000003, 0.29999999999999999, -0.099999999999999645};
  expect_near_limma(fit(x, y, {NAN, 1, 1, 2, 1, 1, 1e6, 1, 1}), expected);
  expect_near_limma(fit(x, y, {0, 1, 1, 2, 1, 1, 1e5, 1, 1}), expected);

  std::vector<double> unweighted;
  lowess(x, y, 0.3, 3, 0.01 * (13.5 - 6.5), unweighted);
  EXPECT_EQ(fit(x, y, std::vector<double>(9, 0.0)), unweighted);
  EXPECT_EQ(fit(x, y, std::vector<double>(9, 2e5)), unweighted);
  EXPECT_EQ(fit(x, y, {1e5, 1e5, 1e5, 1e6, 1e5, 1e5, 1e5, 1e5, 1e5}), unweighted);
}
