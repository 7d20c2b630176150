// The lowess fit of y on x with prior weights as limma's loessFit() makes it, the fit its
// normalizeWithinArrays() takes away from M: the weights held within [1e-5, 1e5]; equal weights
// fitted by the unweighted lowess; too few points for local fits given a weighted least-squares
// line; the others fitted by the weighted lowess with the anchors spread over 200 points.
#include <algorithm>
#include <cmath>

#include "numeric/numeric.hpp"

namespace {

constexpr double kLeastWeight = 1e-5;
constexpr double kMostWeight = 1e5;
// Weights closer than this are equal.
constexpr double kEqualWeights = 1e-15;
// The anchors of the weighted lowess: as far apart as spreading them over this many points makes
// them.
constexpr int kAnchorPoints = 200;
// A slope is fitted when the spread of x about its weighted mean is at least this share of the
// size of x, as the least-squares fit by QR decomposition decides that x is not a constant.
constexpr double kRankTolerance = 1e-7;

// The weighted least-squares line a + b x at every point: b = sum w (x - xm)(y - ym) /
// sum w (x - xm)^2 about the weighted means xm and ym. Without spread in x, the weighted mean.
void fit_weighted_line(const std::vector<double>& x, const std::vector<double>& y,
                       const std::vector<double>& weights, std::vector<double>& fitted) {
  const std::size_t n = x.size();
  double sum = 0.0, sum_x = 0.0, sum_y = 0.0, sum_x2 = 0.0;
  for (std::size_t i = 0; i < n; ++i) {
    sum += weights[i];
    sum_x += weights[i] * x[i];
    sum_y += weights[i] * y[i];
    sum_x2 += weights[i] * x[i] * x[i];
  }
  const double mean_x = sum_x / sum, mean_y = sum_y / sum;
  double sxx = 0.0, sxy = 0.0;
  for (std::size_t i = 0; i < n; ++i) {
    const double dx = x[i] - mean_x;
    sxx += weights[i] * dx * dx;
    sxy += weights[i] * dx * (y[i] - mean_y);
  }
  const bool sloped = std::sqrt(sxx) >= kRankTolerance * std::sqrt(sum_x2);
  const double slope = sloped ? sxy / sxx : 0.0;
  fitted.resize(n);
  for (std::size_t i = 0; i < n; ++i)
    fitted[i] = mean_y + slope * (x[i] - mean_x);
}

}  // namespace

void loess_fit(const std::vector<double>& x, const std::vector<double>& y,
               const std::vector<double>& weights, double span, int iterations,
               std::vector<double>& fitted) {
  const std::size_t n = x.size();
  fitted = y;
  // Less than one point in a local fit: each point is its own fit.
  if (n == 0 || span < 1.0 / static_cast<double>(n)) return;

  std::vector<double> held(n);
  for (std::size_t i = 0; i < n; ++i) {
    const double w = std::isnan(weights[i]) ? 0.0 : weights[i];
    held[i] = std::min(std::max(w, kLeastWeight), kMostWeight);
  }
  const auto [least, most] = std::minmax_element(held.begin(), held.end());
  if (*most - *least < kEqualWeights) {
    lowess(x, y, span, iterations - 1, 0.01 * (x[n - 1] - x[0]), fitted);
    return;
  }
  if (static_cast<double>(n) < 4.0 + 1.0 / span) {
    fit_weighted_line(x, y, held, fitted);
    return;
  }
  weighted_lowess(x, y, held, span, iterations, weighted_lowess_delta(x, kAnchorPoints), fitted);
}
