// The parts of the weighted lowess (weighted_lowess.cpp) that have files of their own: the anchors
// with their windows, and the weighted median of the absolute residuals.
#pragma once

#include <cstddef>
#include <utility>
#include <vector>

// A point where a local line is fitted, and its window.
struct LowessAnchor {
  std::size_t point;        // the anchor
  std::size_t left, right;  // the first and the last point of its window
  double h;                 // the window's reach: its largest distance from the anchor
};

// The anchors of points sorted by x and their windows, which hold the nearest points whose prior
// weights add up to at least `target` (weighted_lowess_windows.cpp).
std::vector<LowessAnchor> plan_lowess_anchors(const std::vector<double>& x,
                                              const std::vector<double>& weights, double target,
                                              double delta);

// The median of the absolute residuals weighted by the prior weights, whose sum in the order of
// the points is `total`; `work` is space it reuses (weighted_lowess_median.cpp).
double weighted_residual_median(const std::vector<double>& residuals,
                                const std::vector<double>& weights, double total,
                                std::vector<std::pair<double, double>>& work);
