// The median of the absolute residuals weighted by the prior weights, which scales the robustness
// weights of the weighted lowess, taken as limma's weightedLowess takes it: with the residuals
// sorted ascending (not a number last), the first at which the running sum in double of their
// weights reaches half the total, or the mean of it and the next one when the sum is exactly half.
// The total is that of all the points, in their order, those without a residual included.
#include <algorithm>
#include <cmath>

#include "numeric/weighted_lowess_parts.hpp"

namespace {

// Sorts the values ascending, not a number last, carrying their places along: Shell's sort with
// the gaps 1, 4, 13, 40, ..., the sort that decides the order of equal residuals, and so the
// order in which their weights are added, for weightedLowess.
void shell_sort(std::vector<double>& values, std::vector<std::size_t>& places) {
  const auto after = [](double a, double b) {
    if (std::isnan(a)) return !std::isnan(b);
    return a > b;
  };
  const std::size_t n = values.size();
  std::size_t gap = 1;
  while (gap <= n / 9)
    gap = 3 * gap + 1;
  for (; gap > 0; gap /= 3) {
    for (std::size_t i = gap; i < n; ++i) {
      const double value = values[i];
      const std::size_t place = places[i];
      std::size_t j = i;
      for (; j >= gap && after(values[j - gap], value); j -= gap) {
        values[j] = values[j - gap];
        places[j] = places[j - gap];
      }
      values[j] = value;
      places[j] = place;
    }
  }
}

double shell_sorted_median(const std::vector<double>& residuals, const std::vector<double>& weights,
                           double total) {
  std::vector<double> values = residuals;
  std::vector<std::size_t> places(values.size());
  for (std::size_t i = 0; i < places.size(); ++i)
    places[i] = i;
  shell_sort(values, places);
  const double half = total / 2.0;
  double sum = 0.0;
  for (std::size_t k = 0; k < values.size(); ++k) {
    sum += weights[places[k]];
    if (sum < half) continue;
    if (sum > half || k + 1 == values.size()) return values[k];
    return (values[k] + values[k + 1]) / 2.0;
  }
  return values.back();
}

}  // namespace

// The median is found by selection, without sorting. Only the order of equal residuals can
// differ from the Shell sort's, and it only changes the rounding of the running sum: when half
// the total lies clear of the weights of the residuals below the median's value and of those up
// to it, by more than any rounding of a sum of n weights, the median is that value whatever the
// order. Otherwise, or when a residual is not a number, the Shell sort decides.
double weighted_residual_median(const std::vector<double>& residuals,
                                const std::vector<double>& weights, double total,
                                std::vector<std::pair<double, double>>& work) {
  const std::size_t n = residuals.size();
  work.resize(n);
  for (std::size_t i = 0; i < n; ++i) {
    if (std::isnan(residuals[i])) return shell_sorted_median(residuals, weights, total);
    work[i] = {residuals[i], weights[i]};
  }
  // The residual at which the running weight in ascending order reaches half: a quickselect that
  // keeps the part holding it, with the weight of the parts below it set aside.
  const double half = total / 2.0;
  const auto by_value = [](const auto& a, const auto& b) { return a.first < b.first; };
  std::size_t first = 0, end = n;
  long double below = 0.0L;
  while (end - first > 1) {
    const std::size_t middle = first + (end - first) / 2;
    const auto begin = work.begin();
    std::nth_element(begin + static_cast<std::ptrdiff_t>(first),
                     begin + static_cast<std::ptrdiff_t>(middle),
                     begin + static_cast<std::ptrdiff_t>(end), by_value);
    long double lower = below;
    for (std::size_t i = first; i < middle; ++i)
      lower += work[i].second;
    if (lower >= half) {
      end = middle;
    } else if (lower + work[middle].second >= half) {
      first = middle;
      end = middle + 1;
    } else {
      below = lower + work[middle].second;
      first = middle + 1;
    }
  }
  if (first == n) return shell_sorted_median(residuals, weights, total);
  const double median = work[first].first;
  long double under = 0.0L, up_to = 0.0L;
  for (std::size_t i = 0; i < n; ++i) {
    if (residuals[i] < median) under += weights[i];
    if (residuals[i] <= median) up_to += weights[i];
  }
  const double margin =
      total * (0x1p-52 * static_cast<double>(n + 1) + 0x1p-60 * static_cast<double>(n));
  if (under < half - margin && up_to >= half + margin) return median;
  return shell_sorted_median(residuals, weights, total);
}
