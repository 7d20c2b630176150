// Quantile normalisation of columns with missing values and ties, as limma's normalizeQuantiles
// does it (Bolstad et al. 2003, Bioinformatics 19:185, with limma's handling of missing values).
// The target distribution is the mean over the columns of their sorted values, each column's
// first brought to the common length `rows` by linear interpolation; each value then takes the
// target at its average rank, read off the target by the same interpolation. The interpolation
// is that of R's approx() to rounding: exact at a knot, else y[l] + (y[l + 1] - y[l]) (p - x[l])
// (k - 1) on the knots x[l] = l / (k - 1) (R divides by x[l + 1] - x[l] instead).
#include <cmath>
#include <cstdint>
#include <vector>

#include "numeric/between_arrays.hpp"

namespace {

// Marks in a column's order a value equal to the one before it (rows are fewer than 2^31).
constexpr std::uint32_t kTiedWithPrevious = std::uint32_t{1} << 31;

// Reads the polyline through the knots (l / (k - 1), y[l]), l = 0..k-1 (k >= 2), at points p in
// [0, 1] that never decrease, walking along the knots instead of searching for each point.
class PolylineReader {
 public:
  PolylineReader(const double* y, std::size_t k)
      : y_(y), k_(k), last_(static_cast<double>(k - 1)) {}

  double at(double p) {
    while (l_ + 2 < k_ && p >= knot(l_ + 1))
      ++l_;
    const double low = knot(l_);
    const double high = knot(l_ + 1);
    if (p == high) return y_[l_ + 1];
    if (p == low) return y_[l_];
    return y_[l_] + (y_[l_ + 1] - y_[l_]) * ((p - low) * last_);
  }

 private:
  double knot(std::size_t l) const { return static_cast<double>(l) / last_; }

  const double* y_;
  std::size_t k_;
  double last_;
  std::size_t l_ = 0;
};

}  // namespace

bool quantile_normalise_columns(const std::vector<double*>& columns, std::size_t rows) {
  if (columns.size() <= 1) return true;
  if (rows < 2) return false;
  for (const double* column : columns) {
    std::size_t present = 0;
    for (std::size_t i = 0; i < rows && present < 2; ++i)
      if (!std::isnan(column[i])) ++present;
    if (present < 2) return false;
  }

  // The target: the mean over the columns of their sorted values, brought to `rows` quantiles.
  // Each column's order is kept for the ranks, a quarter of the memory of the values and half the
  // time of sorting them again, with the ties marked in its top bit.
  ValueSorter sorter;
  std::vector<std::vector<std::uint32_t>> orders(columns.size());
  std::vector<double> target(rows, 0.0);
  std::vector<double> sorted(rows);
  for (std::size_t c = 0; c < columns.size(); ++c) {
    const std::vector<IndexedValue>& ascending = sorter.sort(columns[c], rows);
    const std::size_t k = ascending.size();
    orders[c].resize(k);
    for (std::size_t i = 0; i < k; ++i) {
      sorted[i] = ascending[i].value;
      orders[c][i] = ascending[i].index;
      if (i > 0 && sorted[i] == sorted[i - 1]) orders[c][i] |= kTiedWithPrevious;
    }
    if (k == rows) {
      for (std::size_t i = 0; i < rows; ++i)
        target[i] += sorted[i];
    } else {
      PolylineReader column_quantiles(sorted.data(), k);
      const double last_row = static_cast<double>(rows - 1);
      for (std::size_t i = 0; i < rows; ++i)
        target[i] += column_quantiles.at(static_cast<double>(i) / last_row);
    }
  }
  for (double& value : target)
    value /= static_cast<double>(columns.size());

  for (std::size_t c = 0; c < columns.size(); ++c) {
    double* column = columns[c];
    const std::vector<std::uint32_t>& order = orders[c];
    const std::size_t k = order.size();
    const double last_rank = static_cast<double>(k - 1);
    PolylineReader target_quantiles(target.data(), rows);
    for (std::size_t first = 0, end = 0; first < k; first = end) {
      end = first + 1;
      while (end < k && (order[end] & kTiedWithPrevious) != 0)
        ++end;
      // The average of the ranks first + 1 .. end; a rank r of a complete column, untied, falls
      // on the knot r - 1.
      const double rank = static_cast<double>(first + end + 1) / 2.0;
      const double normalised = k == rows && end == first + 1
                                    ? target[first]
                                    : target_quantiles.at((rank - 1.0) / last_rank);
      for (std::size_t t = first; t < end; ++t)
        column[order[t] & ~kTiedWithPrevious] = normalised;
    }
  }
  return true;
}
