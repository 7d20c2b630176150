// Lowess with prior weights (Cleveland 1979, 1981), extended to weights as limma's weightedLowess
// extends it, and computed so that its values agree with weightedLowess's: to the bit in small
// windows, to rounding in large ones.
//
// Local lines are fitted at anchors only, each to a window of its nearest points that hold the
// share `span` of the total prior weight, of reach h (weighted_lowess_windows.cpp). A point of the
// window at distance d weighs w (1 - (d / h)^3)^3 times its robustness weight, w being its prior
// weight (the factor is 1 when h < 1e-7), and the anchor takes the value at its x of the weighted
// least-squares line (the weighted mean of y when the weighted sum of squares of x about its mean
// is below 1e-7). The points between two anchors lie on the straight line between their values.
// After each pass a point's robustness weight becomes (1 - (r / 6m)^2)^2, and 0 from r = 6m on,
// where r is its absolute residual and m the median of the absolute residuals weighted by the
// prior weights (weighted_lowess_median.cpp); a 6m of at most 1e-7 times the mean absolute
// residual means the fit is exact, and the passes end.
#include <algorithm>
#include <cmath>
#include <utility>

#include "numeric/numeric.hpp"
#include "numeric/weighted_lowess_parts.hpp"

namespace {

// Windows of at least this many points are fitted from sums over all their points at once, the
// smaller ones with the operations of weightedLowess.
constexpr std::size_t kSummedWindow = 64;
// Below this reach every point of a window keeps its weight; below this weighted sum of squares
// of x a local fit has no slope.
constexpr double kTiny = 1e-7;

// What one pass reads.
struct Pass {
  const std::vector<double>& x;
  const std::vector<double>& y;
  const std::vector<double>& weights;
  const std::vector<double>& robustness;    // all 1 in the first pass
  const std::vector<double>& weighted_rob;  // prior times robustness weight
  const std::vector<double>& tricubes;      // of the small windows, one after the other
  std::vector<double>& local;               // the local weights of the fit at hand
};

bool is_small(const LowessAnchor& anchor) {
  return anchor.right - anchor.left + 1 < kSummedWindow;
}

// The distance weights (1 - (d / h)^3)^3 of the points of the small windows, one window after the
// other. They stay the same from pass to pass and are taken from pow(), the C library's, as
// weightedLowess takes them, which is slow: once for all passes.
std::vector<double> small_window_tricubes(const std::vector<double>& x,
                                          const std::vector<LowessAnchor>& anchors) {
  std::vector<double> tricubes;
  for (const LowessAnchor& anchor : anchors) {
    if (!is_small(anchor)) continue;
    const double xs = x[anchor.point], h = anchor.h;
    for (std::size_t j = anchor.left; j <= anchor.right; ++j) {
      tricubes.push_back(h < kTiny ? 1.0
                                   : std::pow(1.0 - std::pow(std::fabs(x[j] - xs) / h, 3), 3));
    }
  }
  return tricubes;
}

// The fit at an anchor with the operations of weightedLowess in their order, which the residuals
// of small windows, where a local line often runs through its points exactly, need to agree to
// the bit: sums in the order of the points, the line's value as its intercept plus slope times x.
double exact_fit(const Pass& pass, const LowessAnchor& anchor, const double* tricube) {
  const std::vector<double>& x = pass.x;
  const std::vector<double>& y = pass.y;
  double sum = 0.0, sum_x = 0.0, sum_y = 0.0;
  for (std::size_t j = anchor.left; j <= anchor.right; ++j) {
    const double w = tricube[j - anchor.left] * pass.weights[j] * pass.robustness[j];
    pass.local[j] = w;
    sum += w;
    sum_x += w * x[j];
    sum_y += w * y[j];
  }
  const double mean_x = sum_x / sum, mean_y = sum_y / sum;
  double sxx = 0.0, sxy = 0.0;
  for (std::size_t j = anchor.left; j <= anchor.right; ++j) {
    const double dx = x[j] - mean_x;
    sxx += pass.local[j] * (dx * dx);
    sxy += pass.local[j] * (dx * (y[j] - mean_y));
  }
  if (!(sxx >= kTiny)) return mean_y;
  const double slope = sxy / sxx;
  const double intercept = mean_y - slope * mean_x;
  return intercept + slope * x[anchor.point];
}

// Two points at a time in one vector register.
using Pair = double __attribute__((vector_size(2 * sizeof(double))));

// The sums of the local weights w and of w dx and w y, dx being x less the anchor's x.
struct FirstSums {
  double w = 0.0, dx = 0.0, y = 0.0;
};

// Weighs the points first..end-1 on one side of the anchor, on which dx / signed_h, the distance
// over h, is not negative; keeps their local weights in pass.local and adds them to the sums.
// Dividing rather than multiplying by 1 / h gives the points at distance h no weight at all, as
// pow() does.
void weigh_side(const Pass& pass, double xs, double signed_h, std::size_t first, std::size_t end,
                FirstSums& sums) {
  const double* x = pass.x.data();
  const double* y = pass.y.data();
  const double* weighted_rob = pass.weighted_rob.data();
  double* local = pass.local.data();
  Pair w_sum{}, dx_sum{}, y_sum{};
  std::size_t j = first;
  for (; j + 2 <= end; j += 2) {
    const Pair dx = Pair{x[j], x[j + 1]} - xs;
    const Pair q = dx / signed_h;
    const Pair t = 1.0 - q * q * q;
    const Pair w = t * t * t * Pair{weighted_rob[j], weighted_rob[j + 1]};
    local[j] = w[0];
    local[j + 1] = w[1];
    w_sum += w;
    dx_sum += w * dx;
    y_sum += w * Pair{y[j], y[j + 1]};
  }
  sums.w += w_sum[0] + w_sum[1];
  sums.dx += dx_sum[0] + dx_sum[1];
  sums.y += y_sum[0] + y_sum[1];
  for (; j < end; ++j) {
    const double dx = x[j] - xs;
    const double q = dx / signed_h;
    const double t = 1.0 - q * q * q;
    const double w = t * t * t * weighted_rob[j];
    local[j] = w;
    sums.w += w;
    sums.dx += w * dx;
    sums.y += w * y[j];
  }
}

// The same fit in two passes of sums over the window, several times faster: the first gives the
// local weights and the weighted means, the second the sums of squares and products about them.
// The points left of the anchor are weighed apart from the others so that no distance needs its
// sign taken off. It is the same line up to rounding; in windows this large the residuals are the
// data's, and the robustness weights agree to rounding too.
double summed_fit(const Pass& pass, const LowessAnchor& anchor) {
  const double xs = pass.x[anchor.point];
  // Every point of the window keeps its weight when h < 1e-7.
  const double h = anchor.h < kTiny ? INFINITY : anchor.h;
  FirstSums sums;
  weigh_side(pass, xs, -h, anchor.left, anchor.point, sums);
  weigh_side(pass, xs, h, anchor.point, anchor.right + 1, sums);
  const double mean_dx = sums.dx / sums.w, mean_y = sums.y / sums.w;

  const double* x = pass.x.data();
  const double* y = pass.y.data();
  const double* local = pass.local.data();
  const double centre = xs + mean_dx;
  Pair sxx_sum{}, sxy_sum{};
  std::size_t j = anchor.left;
  const std::size_t end = anchor.right + 1;
  for (; j + 2 <= end; j += 2) {
    const Pair d = Pair{x[j], x[j + 1]} - centre;
    const Pair w_d = Pair{local[j], local[j + 1]} * d;
    sxx_sum += w_d * d;
    sxy_sum += w_d * (Pair{y[j], y[j + 1]} - mean_y);
  }
  double sxx = sxx_sum[0] + sxx_sum[1], sxy = sxy_sum[0] + sxy_sum[1];
  for (; j < end; ++j) {
    const double d = x[j] - centre;
    sxx += local[j] * d * d;
    sxy += local[j] * d * (y[j] - mean_y);
  }
  if (!(sxx >= kTiny)) return mean_y;
  return mean_y - mean_dx * (sxy / sxx);
}

// One pass: the fits at the anchors, then the points between two anchors on the line through
// their values, as slope times x plus the line's intercept from the right anchor (the points tied
// with the left anchor included, which so may differ from it in the last bits). The points after
// the last anchor are tied with it and take its value.
void fit_pass(const Pass& pass, const std::vector<LowessAnchor>& anchors,
              std::vector<double>& fitted) {
  const double* tricube = pass.tricubes.data();
  for (const LowessAnchor& anchor : anchors) {
    if (is_small(anchor)) {
      fitted[anchor.point] = exact_fit(pass, anchor, tricube);
      tricube += anchor.right - anchor.left + 1;
    } else {
      fitted[anchor.point] = summed_fit(pass, anchor);
    }
  }
  const std::vector<double>& x = pass.x;
  for (std::size_t k = 0; k + 1 < anchors.size(); ++k) {
    const std::size_t a = anchors[k].point, b = anchors[k + 1].point;
    const double slope = (fitted[b] - fitted[a]) / (x[b] - x[a]);
    const double intercept = fitted[b] - slope * x[b];
    for (std::size_t j = a + 1; j < b; ++j)
      fitted[j] = slope * x[j] + intercept;
  }
  const std::size_t last = anchors.back().point;
  for (std::size_t j = last + 1; j < x.size(); ++j)
    fitted[j] = fitted[last];
}

}  // namespace

// With k of the largest gaps between neighbours taken out as the gaps between clusters, the other
// gaps spread over the npts - k anchors left: delta is the least such spread. The sums of the
// smallest gaps are accumulated in long double, as R's cumsum() does.
double weighted_lowess_delta(const std::vector<double>& x, int points) {
  const std::size_t n = x.size();
  if (points < 1 || static_cast<std::size_t>(points) >= n) return 0.0;
  std::vector<double> gaps(n - 1);
  for (std::size_t i = 0; i + 1 < n; ++i)
    gaps[i] = x[i + 1] - x[i];
  std::sort(gaps.begin(), gaps.end());
  std::vector<double> smallest_sum(n - 1);
  long double sum = 0.0L;
  for (std::size_t i = 0; i + 1 < n; ++i) {
    sum += gaps[i];
    smallest_sum[i] = static_cast<double>(sum);
  }
  double delta = INFINITY;
  for (int k = 0; k < points; ++k)
    delta = std::min(delta, smallest_sum[n - 2 - static_cast<std::size_t>(k)] / (points - k));
  return delta;
}

void weighted_lowess(const std::vector<double>& x, const std::vector<double>& y,
                     const std::vector<double>& weights, double span, int iterations, double delta,
                     std::vector<double>& fitted) {
  const std::size_t n = x.size();
  fitted.assign(n, 0.0);
  if (n == 0) return;
  double total = 0.0;
  for (double w : weights)
    total += w;
  const std::vector<LowessAnchor> anchors = plan_lowess_anchors(x, weights, span * total, delta);

  std::vector<double> robustness(n, 1.0), weighted_rob = weights, local(n), residuals(n);
  std::vector<std::pair<double, double>> work;
  const std::vector<double> tricubes = small_window_tricubes(x, anchors);
  const Pass pass{x, y, weights, robustness, weighted_rob, tricubes, local};
  for (int step = 1; step <= iterations; ++step) {
    fit_pass(pass, anchors, fitted);
    if (step == iterations) break;

    double absolute_sum = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
      residuals[i] = std::fabs(y[i] - fitted[i]);
      absolute_sum += residuals[i];
    }
    const double scale = 6.0 * weighted_residual_median(residuals, weights, total, work);
    if (scale <= kTiny * (absolute_sum / static_cast<double>(n))) break;
    for (std::size_t i = 0; i < n; ++i) {
      const double u = residuals[i] / scale;
      const double bisquare = 1.0 - u * u;
      robustness[i] = u < 1.0 ? bisquare * bisquare : 0.0;
      weighted_rob[i] = weights[i] * robustness[i];
    }
  }
}
