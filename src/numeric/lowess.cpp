// Cleveland's robust locally weighted linear regression (lowess), computed as the program of
// Cleveland (1979, 1981) computes it, so that its values agree with that program's: to the bit in
// small windows, to rounding in large ones.
//
// Every point's value comes from a straight line fitted to the ns points nearest to it in x,
// weighted by the tricube of their distance. After each pass, points with large residuals get
// smaller robustness weights and the fits are made again. Points within delta of the last fitted
// point are not fitted but interpolated, which makes a pass cost about (range / delta) local fits.
// Which points are fitted, with which window, depends on x alone, so it is worked out once: the
// plan.
#include <algorithm>
#include <cmath>

#include "numeric/numeric.hpp"

namespace {

// Windows of at least this many points are fitted from one pass of sums.
constexpr std::size_t kSummedWindow = 64;

double cube(double v) {
  return v * v * v;
}

double square(double v) {
  return v * v;
}

// A point that is fitted: its window left..right, and the last of the points after it that are
// tied with it in x, which take its value.
struct PlannedFit {
  std::size_t point, left, right, last_tie;
};

// Walks the points as the program does: before each fit the window of `window` points moves
// right while that brings its far end closer; after it, the next fit is at the last point within
// delta, or at the first point after the ties if that comes later.
std::vector<PlannedFit> plan_fits(const std::vector<double>& x, std::size_t window, double delta) {
  const std::size_t n = x.size();
  std::vector<PlannedFit> plan;
  std::size_t left = 0, right = window - 1, i = 0;
  while (true) {
    while (right + 1 < n && x[i] - x[left] > x[right + 1] - x[i]) {
      ++left;
      ++right;
    }
    std::size_t last = i;
    const double cut = x[i] + delta;
    std::size_t next = i + 1;
    for (; next < n; ++next) {
      if (x[next] > cut) break;
      if (x[next] == x[last]) last = next;
    }
    plan.push_back({i, left, right, last});
    if (last + 1 >= n) return plan;
    i = std::max(last + 1, next - 1);
  }
}

// What one pass reads.
struct Pass {
  const std::vector<double>& x;
  const std::vector<double>& y;
  const std::vector<double>& robustness;  // all 1 in the first pass
  double range;                           // x of the last point less x of the first
  std::vector<double>& weights;           // work space of the exact fit
};

// The reach of a fit: the larger distance from its point to the ends of its window, and the first
// point on the right farther than 0.999 of it, which ends the points weighed. Those include the
// points tied with the window's right end. x - xs rises with x, so that point is found by
// bisection.
struct Reach {
  double h;
  std::size_t end;
};

Reach reach_of(const std::vector<double>& x, const PlannedFit& fit) {
  const double xs = x[fit.point];
  const double h = std::max(xs - x[fit.left], x[fit.right] - xs);
  const double h9 = 0.999 * h;
  const auto beyond =
      std::partition_point(x.begin() + static_cast<std::ptrdiff_t>(fit.point), x.end(),
                           [xs, h9](double v) { return !(std::fabs(v - xs) > h9); });
  return {h, static_cast<std::size_t>(beyond - x.begin())};
}

// The fit at x[i], with every sum formed in the order and with the operations of the original
// program. Each point's weight is the tricube of its distance over h (1 within 0.001 h, 0 beyond
// 0.999 h) times its robustness weight. With the weights scaled to add up to 1, a is their
// centre of x and c their spread around it. When h > 0 and the points are spread out enough to
// give a slope, each weight becomes w * (1 + b * (x - a)) with b = (xs - a) / c, so that the
// weighted mean of y is the value at xs of the weighted least-squares line. A fit whose weights
// are all zero takes its own y.
double exact_fit(const Pass& pass, const PlannedFit& fit) {
  const std::vector<double>& x = pass.x;
  std::vector<double>& w = pass.weights;
  const double xs = x[fit.point];
  const Reach reach = reach_of(x, fit);
  const double h = reach.h, h9 = 0.999 * h, h1 = 0.001 * h;
  double sum = 0.0;
  for (std::size_t j = fit.left; j < reach.end; ++j) {
    const double r = std::fabs(x[j] - xs);
    w[j] = 0.0;
    if (r <= h9) {
      w[j] = r <= h1 ? 1.0 : cube(1.0 - cube(r / h));
      w[j] *= pass.robustness[j];
      sum += w[j];
    }
  }
  if (sum <= 0.0) return pass.y[fit.point];
  double a = 0.0;
  for (std::size_t j = fit.left; j < reach.end; ++j) {
    w[j] /= sum;
    a += w[j] * x[j];
  }
  double fitted = 0.0;
  if (h > 0.0) {
    double c = 0.0;
    for (std::size_t j = fit.left; j < reach.end; ++j)
      c += w[j] * square(x[j] - a);
    if (std::sqrt(c) > 0.001 * pass.range) {
      const double b = (xs - a) / c;
      for (std::size_t j = fit.left; j < reach.end; ++j) {
        w[j] *= (b * (x[j] - a) + 1.0);
        fitted += w[j] * pass.y[j];
      }
      return fitted;
    }
  }
  for (std::size_t j = fit.left; j < reach.end; ++j)
    fitted += w[j] * pass.y[j];
  return fitted;
}

// Two points at a time in one vector register.
using Pair = double __attribute__((vector_size(2 * sizeof(double))));

// The same fit from the sums of one pass over the window, x taken relative to xs: the weights and
// their products with dx, dx^2, y and dx * y give a, c and the line's value at xs. It is the same
// line up to rounding, several times faster than the program's four passes.
double summed_fit(const Pass& pass, const PlannedFit& fit) {
  const double* x = pass.x.data();
  const double* y = pass.y.data();
  const double* robustness = pass.robustness.data();
  const double xs = x[fit.point];
  const Reach reach = reach_of(pass.x, fit);
  const double h = reach.h, h9 = 0.999 * h, h1 = 0.001 * h, inverse_h = 1.0 / h;
  Pair w_sum{}, dx_sum{}, dx2_sum{}, y_sum{}, dxy_sum{};
  std::size_t j = fit.left;
  for (; j + 2 <= reach.end; j += 2) {
    const Pair dx = Pair{x[j], x[j + 1]} - xs;
    const Pair yj = {y[j], y[j + 1]};
    const Pair r = dx < 0.0 ? -dx : dx;
    const Pair q = r * inverse_h;
    const Pair one = 1.0 - q * q * q;
    const Pair tricube = r <= h1 ? Pair{1.0, 1.0} : one * one * one;
    const Pair w = r <= h9 ? tricube * Pair{robustness[j], robustness[j + 1]} : Pair{};
    w_sum += w;
    dx_sum += w * dx;
    dx2_sum += w * dx * dx;
    y_sum += w * yj;
    dxy_sum += w * dx * yj;
  }
  double sum = w_sum[0] + w_sum[1], sum_dx = dx_sum[0] + dx_sum[1];
  double sum_dx2 = dx2_sum[0] + dx2_sum[1], sum_y = y_sum[0] + y_sum[1];
  double sum_dxy = dxy_sum[0] + dxy_sum[1];
  for (; j < reach.end; ++j) {
    const double dx = x[j] - xs, r = std::fabs(dx);
    if (!(r <= h9)) continue;
    const double w = (r <= h1 ? 1.0 : cube(1.0 - cube(r * inverse_h))) * robustness[j];
    sum += w;
    sum_dx += w * dx;
    sum_dx2 += w * dx * dx;
    sum_y += w * y[j];
    sum_dxy += w * dx * y[j];
  }
  if (sum <= 0.0) return y[fit.point];
  const double mean_y = sum_y / sum;
  if (!(h > 0.0)) return mean_y;
  const double a = sum_dx / sum;  // relative to xs
  const double c = sum_dx2 / sum - a * a;
  if (!(std::sqrt(c) > 0.001 * pass.range)) return mean_y;
  return mean_y - a * (sum_dxy / sum - a * mean_y) / c;
}

// One pass: the planned fits, then the points between them. Small windows are fitted as the
// original program fits them: there a local line often runs through its points exactly, the
// residuals are rounding noise, and the robustness weights made from them agree only when the
// noise does to the bit. In larger windows the residuals are the data's, and the summed fit
// agrees to rounding.
void fit_pass(const Pass& pass, const std::vector<PlannedFit>& plan, std::size_t window,
              std::vector<double>& fitted) {
  for (const PlannedFit& fit : plan)
    fitted[fit.point] = window < kSummedWindow ? exact_fit(pass, fit) : summed_fit(pass, fit);

  // Ties take the value of their fitted point; the points skipped between two fits lie on the
  // straight line between them.
  const std::vector<double>& x = pass.x;
  std::size_t last = 0;
  for (const PlannedFit& fit : plan) {
    const std::size_t i = fit.point;
    if (last + 1 < i) {
      const double denominator = x[i] - x[last];
      for (std::size_t j = last + 1; j < i; ++j) {
        const double alpha = (x[j] - x[last]) / denominator;
        fitted[j] = alpha * fitted[i] + (1.0 - alpha) * fitted[last];
      }
    }
    for (std::size_t j = i + 1; j <= fit.last_tie; ++j)
      fitted[j] = fitted[i];
    last = fit.last_tie;
  }
}

}  // namespace

void lowess(const std::vector<double>& x, const std::vector<double>& y, double f, int iterations,
            double delta, std::vector<double>& fitted) {
  const std::size_t n = x.size();
  fitted.assign(n, 0.0);
  if (n == 0) return;
  if (n == 1) {
    fitted[0] = y[0];
    return;
  }
  // At least two points and at most all of them in each local fit.
  const auto share = static_cast<std::size_t>(f * static_cast<double>(n) + 1e-7);
  const std::size_t window = std::max<std::size_t>(2, std::min(n, share));
  const std::vector<PlannedFit> plan = plan_fits(x, window, delta);

  std::vector<double> residuals(n), robustness(n, 1.0), scratch(n), weights(n);
  const Pass pass{x, y, robustness, x[n - 1] - x[0], weights};
  for (int step = 0; step <= iterations; ++step) {
    fit_pass(pass, plan, window, fitted);
    double absolute_sum = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
      residuals[i] = y[i] - fitted[i];
      absolute_sum += std::fabs(residuals[i]);
    }
    if (step == iterations) break;

    // Robustness weights: the bisquare of the residual over six times the median absolute
    // residual. A median of (almost) zero means the fit is exact; nothing is left to weigh.
    for (std::size_t i = 0; i < n; ++i)
      scratch[i] = std::fabs(residuals[i]);
    // The original program forms 3 (m1 + m2) for an even count: the same double as 6 (m1 + m2) / 2,
    // since halving is exact.
    const double scale = 6.0 * median_in_place(scratch);
    if (scale < 1e-7 * (absolute_sum / static_cast<double>(n))) break;
    const double c9 = 0.999 * scale;
    const double c1 = 0.001 * scale;
    for (std::size_t i = 0; i < n; ++i) {
      const double r = std::fabs(residuals[i]);
      robustness[i] = r <= c1 ? 1.0 : r <= c9 ? square(1.0 - square(r / scale)) : 0.0;
    }
  }
}
