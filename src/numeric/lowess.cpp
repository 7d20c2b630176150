// Cleveland's robust locally weighted linear regression (lowess), computed as the program of
// Cleveland (1979, 1981) computes it, so that its values agree with that program's to the bit.
//
// Every point's value comes from a straight line fitted to the ns points nearest to it in x,
// weighted by the tricube of their distance. After each pass, points with large residuals get
// smaller robustness weights and the fits are made again. Points within delta of the last fitted
// point are not fitted but interpolated, which makes a pass cost about (range / delta) local fits.
//
// Which points are fitted, with which window, depends on x alone, so it is worked out once: the
// plan. The local fits of a pass are then independent of each other and are made kLanes at a
// time, each fit's sums in the program's order, so that the processor adds the sums of several
// fits at once instead of waiting on one sum after the other.
#include <algorithm>
#include <array>
#include <cmath>

#include "numeric/numeric.hpp"

namespace {

constexpr std::size_t kLanes = 4;

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
std::vector<PlannedFit> plan_fits(const std::vector<double>& x, std::size_t window,
                                  double delta) {
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
  const std::vector<double>* robustness;  // null in the first pass
  double range;                           // x of the last point less x of the first
};

// One local fit in the making: its weights over [left, end), and its value.
struct Lane {
  std::size_t point = 0, left = 0, end = 0;
  double h = 0.0;
  double fitted = 0.0;
  std::vector<double> w;
};

// The tricube weights of the distance to the fitted point, from the window's left end up to the
// first point on the right farther than 0.999 h, where h is the window's larger reach: so the
// points tied with the window's right end count too. From the second pass on, each weight is
// multiplied by the point's robustness weight.
void set_weights(const Pass& pass, const PlannedFit& fit, Lane& lane) {
  const std::vector<double>& x = pass.x;
  const double xs = x[fit.point];
  lane.point = fit.point;
  lane.left = fit.left;
  lane.h = std::max(xs - x[fit.left], x[fit.right] - xs);
  const double h9 = 0.999 * lane.h;
  const double h1 = 0.001 * lane.h;
  // x - xs rises with x, so the first point too far on the right is found by bisection.
  lane.end = static_cast<std::size_t>(
      std::partition_point(x.begin() + static_cast<std::ptrdiff_t>(fit.point), x.end(),
                           [xs, h9](double v) { return !(std::fabs(v - xs) > h9); }) -
      x.begin());
  // Points on the left farther than 0.999 h weigh 0, and adding 0 changes no sum.
  for (std::size_t j = lane.left; j < lane.end; ++j) {
    const double r = std::fabs(x[j] - xs);
    double w = 0.0;
    if (r <= h9) {
      w = r <= h1 ? 1.0 : cube(1.0 - cube(r / lane.h));
      if (pass.robustness != nullptr) w *= (*pass.robustness)[j];
    }
    lane.w[j - lane.left] = w;
  }
}

// Each lane's stretch of the points, from its window's left end: the lanes share the stretch
// that all of them have, and the rest of each is finished on its own. The accumulators are
// locals, so that the processor keeps them in registers.
struct Stretches {
  const double* x[kLanes];
  const double* y[kLanes];
  double* w[kLanes];
  std::size_t length[kLanes];
  std::size_t common;
};

// The four sums of each lane's fit, each in index order.
//
// With the weights scaled to add up to 1, a is their centre of x and c their spread around it.
// When the points are spread out enough to give a slope, each weight becomes w * (1 + b * (x - a))
// with b = (xs - a) / c, so that the weighted mean of y is the value at xs of the weighted
// least-squares line; otherwise b = 0 and a = 0 leave the weights as they are.
void sum_lanes(const Pass& pass, std::array<Lane, kLanes>& lanes) {
  Stretches s{};
  s.common = lanes[0].end - lanes[0].left;
  for (std::size_t k = 0; k < kLanes; ++k) {
    s.x[k] = pass.x.data() + lanes[k].left;
    s.y[k] = pass.y.data() + lanes[k].left;
    s.w[k] = lanes[k].w.data();
    s.length[k] = lanes[k].end - lanes[k].left;
    s.common = std::min(s.common, s.length[k]);
  }

  double sum[kLanes] = {};
  for (std::size_t t = 0; t < s.common; ++t) {
    for (std::size_t k = 0; k < kLanes; ++k)
      sum[k] += s.w[k][t];
  }
  for (std::size_t k = 0; k < kLanes; ++k) {
    for (std::size_t t = s.common; t < s.length[k]; ++t)
      sum[k] += s.w[k][t];
  }
  // A fit whose weights are all zero takes the point's own y; its lane divides by 1 meanwhile.
  bool weighed[kLanes];
  for (std::size_t k = 0; k < kLanes; ++k) {
    weighed[k] = !(sum[k] <= 0.0);
    if (!weighed[k]) sum[k] = 1.0;
  }

  double a[kLanes] = {};
  for (std::size_t t = 0; t < s.common; ++t) {
    for (std::size_t k = 0; k < kLanes; ++k) {
      s.w[k][t] /= sum[k];
      a[k] += s.w[k][t] * s.x[k][t];
    }
  }
  for (std::size_t k = 0; k < kLanes; ++k) {
    for (std::size_t t = s.common; t < s.length[k]; ++t) {
      s.w[k][t] /= sum[k];
      a[k] += s.w[k][t] * s.x[k][t];
    }
  }

  double c[kLanes] = {};
  for (std::size_t t = 0; t < s.common; ++t) {
    for (std::size_t k = 0; k < kLanes; ++k)
      c[k] += s.w[k][t] * square(s.x[k][t] - a[k]);
  }
  for (std::size_t k = 0; k < kLanes; ++k) {
    for (std::size_t t = s.common; t < s.length[k]; ++t)
      c[k] += s.w[k][t] * square(s.x[k][t] - a[k]);
  }

  double b[kLanes];
  for (std::size_t k = 0; k < kLanes; ++k) {
    b[k] = 0.0;
    if (lanes[k].h > 0.0 && std::sqrt(c[k]) > 0.001 * pass.range) {
      b[k] = (pass.x[lanes[k].point] - a[k]) / c[k];
    } else {
      a[k] = 0.0;
    }
  }

  double fitted[kLanes] = {};
  for (std::size_t t = 0; t < s.common; ++t) {
    for (std::size_t k = 0; k < kLanes; ++k) {
      s.w[k][t] *= (b[k] * (s.x[k][t] - a[k]) + 1.0);
      fitted[k] += s.w[k][t] * s.y[k][t];
    }
  }
  for (std::size_t k = 0; k < kLanes; ++k) {
    for (std::size_t t = s.common; t < s.length[k]; ++t) {
      s.w[k][t] *= (b[k] * (s.x[k][t] - a[k]) + 1.0);
      fitted[k] += s.w[k][t] * s.y[k][t];
    }
    lanes[k].fitted = weighed[k] ? fitted[k] : pass.y[lanes[k].point];
  }
}

// One pass: the planned fits, then the points between them.
void fit_pass(const Pass& pass, const std::vector<PlannedFit>& plan,
              std::array<Lane, kLanes>& lanes, std::vector<double>& fitted) {
  // The last group is filled up with copies of its last fit.
  for (std::size_t first = 0; first < plan.size(); first += kLanes) {
    for (std::size_t k = 0; k < kLanes; ++k)
      set_weights(pass, plan[std::min(first + k, plan.size() - 1)], lanes[k]);
    sum_lanes(pass, lanes);
    for (std::size_t k = 0; k < kLanes; ++k)
      fitted[lanes[k].point] = lanes[k].fitted;
  }

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

// Six times the median of the values (for an even count, three times the sum of the two middle
// ones, as the original program forms it); reorders them.
double six_medians(std::vector<double>& values) {
  const std::size_t n = values.size();
  const auto middle = values.begin() + static_cast<std::ptrdiff_t>(n / 2);
  std::nth_element(values.begin(), middle, values.end());
  if (n % 2 == 1) return 6.0 * *middle;
  const double below = *std::max_element(values.begin(), middle);
  return 3.0 * (*middle + below);
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

  std::array<Lane, kLanes> lanes;
  for (Lane& lane : lanes)
    lane.w.resize(n);
  std::vector<double> residuals(n), robustness(n), scratch(n);
  Pass pass{x, y, nullptr, x[n - 1] - x[0]};
  for (int step = 0; step <= iterations; ++step) {
    fit_pass(pass, plan, lanes, fitted);
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
    const double scale = six_medians(scratch);
    if (scale < 1e-7 * (absolute_sum / static_cast<double>(n))) break;
    const double c9 = 0.999 * scale;
    const double c1 = 0.001 * scale;
    for (std::size_t i = 0; i < n; ++i) {
      const double r = std::fabs(residuals[i]);
      robustness[i] = r <= c1 ? 1.0 : r <= c9 ? square(1.0 - square(r / scale)) : 0.0;
    }
    pass.robustness = &robustness;
  }
}
