// Mean, population standard deviation and median of a[1..n], the median of a list, and the
// weighted median of limma's weighted.median().
#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

#include "numeric/numeric.hpp"

double mean_of(const DoubleVector& a, int32_t n) {
  double sum = 0.0;
  for (int32_t i = 1; i <= n; ++i)
    sum += a[i];
  return sum / n;
}

// The divisor is n, not n - 1: the spread of the values themselves, not an estimate for a
// population they were drawn from.
double popsd_of(const DoubleVector& a, int32_t n) {
  double sum = 0.0;
  for (int32_t i = 1; i <= n; ++i)
    sum += a[i];
  double mean = sum / n;

  double squares = 0.0;
  for (int32_t i = 1; i <= n; ++i)
    squares += (a[i] - mean) * (a[i] - mean);
  return std::sqrt(squares / n);
}

// Sorts a copy, so the caller's order is kept.
double median_of(const DoubleVector& a, int32_t n) {
  DoubleVector sorted = dvector(0, n - 1);
  for (int32_t i = 1; i <= n; ++i)
    sorted[i - 1] = a[i];
  random_quicksort(sorted, n);

  double median = (n % 2 == 1) ? sorted[(n - 1) / 2] : (sorted[n / 2 - 1] + sorted[n / 2]) * 0.5;
  release_dvector(sorted, 0, n - 1);
  return median;
}

double median_in_place(std::vector<double>& values) {
  const auto middle = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
  std::nth_element(values.begin(), middle, values.end());
  if (values.size() % 2 == 1) return *middle;
  return (*std::max_element(values.begin(), middle) + *middle) / 2.0;
}

double weighted_median(const std::vector<double>& values, const std::vector<double>& weights) {
  // The values with a weight, ascending; equal values in their order as given.
  std::vector<std::pair<double, double>> weighed;
  for (std::size_t i = 0; i < values.size(); ++i) {
    if (!std::isnan(values[i]) && weights[i] > 0.0) weighed.emplace_back(values[i], weights[i]);
  }
  if (weighed.empty()) return std::numeric_limits<double>::quiet_NaN();
  std::stable_sort(weighed.begin(), weighed.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  // The total and the running sums in long double, rounded to double, as R's sum() and cumsum().
  long double total = 0.0L;
  for (const auto& value : weighed)
    total += value.second;
  const double whole = static_cast<double>(total);
  long double running = 0.0L;
  for (std::size_t k = 0; k < weighed.size(); ++k) {
    running += weighed[k].second;
    const double share = static_cast<double>(running) / whole;
    if (share < 0.5) continue;
    if (share > 0.5) return weighed[k].first;
    if (k + 1 == weighed.size()) break;
    return (weighed[k].first + weighed[k + 1].first) / 2.0;
  }
  return std::numeric_limits<double>::quiet_NaN();
}
