// The anchors of the weighted lowess and their windows, as limma's weightedLowess chooses them.
//
// Anchors: the first point, then each first point farther than delta from the anchor before it,
// and the last point when it is not tied with the anchor before it. Window: grown from the anchor
// by taking the nearer of the next points on either side (the right one when both are as near),
// adding up their prior weights in double in that order until they reach the target, span times
// the total weight; then widened over the points tied in x with its two ends. Its reach h is the
// distance of the last point taken (0 when the anchor's own weight reaches the target).
#include <algorithm>
#include <cmath>

#include "numeric/weighted_lowess_parts.hpp"

namespace {

// The prior weights of points from..to-1, from running sums in long double: a few units of the
// last place of a double from their exact sum.
class WeightSums {
 public:
  explicit WeightSums(const std::vector<double>& weights) : running_(weights.size() + 1, 0.0L) {
    for (std::size_t i = 0; i < weights.size(); ++i)
      running_[i + 1] = running_[i] + weights[i];
  }
  long double of(std::size_t from, std::size_t to) const { return running_[to] - running_[from]; }
  // A bound on the error of these sums and of any sum in double of k + 1 of the weights.
  double error_bound(std::size_t k) const {
    return static_cast<double>(running_.back()) *
           (0x1p-52 * static_cast<double>(k + 1) + 0x1p-60 * static_cast<double>(running_.size()));
  }

 private:
  std::vector<long double> running_;
};

LowessAnchor widened(const std::vector<double>& x, LowessAnchor window) {
  while (window.left > 0 && x[window.left - 1] == x[window.left])
    --window.left;
  while (window.right + 1 < x.size() && x[window.right + 1] == x[window.right])
    ++window.right;
  return window;
}

// The window grown point by point.
LowessAnchor grown_window(const std::vector<double>& x, const std::vector<double>& weights,
                          std::size_t point, double target) {
  const std::size_t n = x.size();
  const double xs = x[point];
  std::size_t left = point, right = point;
  double sum = weights[point], h = 0.0;
  while (sum < target && (left > 0 || right + 1 < n)) {
    const double to_left = left > 0 ? xs - x[left - 1] : INFINITY;
    const double to_right = right + 1 < n ? x[right + 1] - xs : INFINITY;
    if (to_left < to_right) {
      --left;
      sum += weights[left];
      h = to_left;
    } else {
      ++right;
      sum += weights[right];
      h = to_right;
    }
  }
  return widened(x, {point, left, right, h});
}

// The points within distance d of the anchor, or closer than d: first..end-1. Distances are
// taken as the growing window takes them, x less the anchor's x or the other way round.
struct Reach {
  std::size_t first, end;
};

Reach within(const std::vector<double>& x, std::size_t point, double d, bool closer) {
  const double xs = x[point];
  const auto near = [d, closer](double distance) { return closer ? distance < d : distance <= d; };
  const auto at = x.begin() + static_cast<std::ptrdiff_t>(point);
  const auto first = std::partition_point(x.begin(), at, [&](double v) { return !near(xs - v); });
  const auto end = std::partition_point(at + 1, x.end(), [&](double v) { return near(v - xs); });
  return {static_cast<std::size_t>(first - x.begin()), static_cast<std::size_t>(end - x.begin())};
}

// The same window found without walking it: the least distance h at which the weights within h
// reach the target, by bisection on either side, then the points at distance h in the order the
// growing window takes them. The sums are exact to a few units of their last place, so when the
// target lies clear of the sums just before and at the point that reaches it, the walked sum in
// double crosses it at the same point. Otherwise, as when the weights reach the target exactly,
// the window is grown point by point.
LowessAnchor window_of(const std::vector<double>& x, const std::vector<double>& weights,
                       const WeightSums& sums, std::size_t point, double target) {
  const std::size_t n = x.size();
  const double xs = x[point];
  if (weights[point] >= target) return widened(x, {point, point, point, 0.0});
  const auto short_of = [&](double d) {
    const Reach reach = within(x, point, d, false);
    return sums.of(reach.first, reach.end) < target;
  };
  const auto at = x.begin() + static_cast<std::ptrdiff_t>(point);
  double h = INFINITY;
  const auto right =
      std::partition_point(at + 1, x.end(), [&](double v) { return short_of(v - xs); });
  if (right != x.end()) h = *right - xs;
  const auto left =
      std::partition_point(x.begin(), at, [&](double v) { return !short_of(xs - v); });
  if (left != x.begin()) h = std::min(h, xs - *(left - 1));

  if (h == INFINITY) {
    // All the weights together fall short of the target: the window holds every point.
    if (sums.of(0, n) < target - sums.error_bound(n)) {
      return {point, 0, n - 1, std::max(xs - x[0], x[n - 1] - xs)};
    }
    return grown_window(x, weights, point, target);
  }
  // The points closer than h, then those at h: on the right first.
  const Reach closer = within(x, point, h, true), reach = within(x, point, h, false);
  LowessAnchor window{point, closer.first, closer.end - 1, h};
  long double sum = sums.of(closer.first, closer.end), before = sum;
  std::size_t taken = closer.end - closer.first - 1;
  while (sum < target && (window.right + 1 < reach.end || window.left > reach.first)) {
    before = sum;
    if (window.right + 1 < reach.end) {
      ++window.right;
      sum += weights[window.right];
    } else {
      --window.left;
      sum += weights[window.left];
    }
    ++taken;
  }
  const double margin = sums.error_bound(taken);
  if (before < target - margin && sum >= target + margin) return widened(x, window);
  return grown_window(x, weights, point, target);
}

}  // namespace

std::vector<LowessAnchor> plan_lowess_anchors(const std::vector<double>& x,
                                              const std::vector<double>& weights, double target,
                                              double delta) {
  const std::size_t n = x.size();
  const WeightSums sums(weights);
  std::vector<LowessAnchor> anchors;
  std::size_t point = 0;
  while (true) {
    anchors.push_back(window_of(x, weights, sums, point, target));
    std::size_t next = point + 1;
    while (next < n && x[next] - x[point] <= delta)
      ++next;
    if (next < n) {
      point = next;
      continue;
    }
    if (x[n - 1] != x[point]) anchors.push_back(window_of(x, weights, sums, n - 1, target));
    return anchors;
  }
}
