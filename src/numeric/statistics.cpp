// Mean, population standard deviation and median of a[1..n], and the median of a list.
#include <algorithm>
#include <cmath>

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
