// The three between-array normalisations of an MA list (limma's normalizeBetweenArrays with
// method "scale", "quantile" and "Aquantile").
#include <cmath>
#include <limits>
#include <vector>

#include "numeric/between_arrays.hpp"
#include "numeric/numeric.hpp"

namespace {

// limma's normalizeMedianAbsValues: with c_j = log median |x_j| over array j's values that are not
// missing, array j is divided by exp(c_j - mean c). An array without values, or with a median of
// 0, makes the mean not finite and every array not a number, as in R.
void divide_by_relative_median_abs(const std::vector<double*>& x, std::size_t spots) {
  const std::size_t arrays = x.size();
  if (arrays <= 1) return;
  std::vector<double> log_median(arrays);
  std::vector<double> magnitudes;
  for (std::size_t j = 0; j < arrays; ++j) {
    magnitudes.clear();
    for (std::size_t s = 0; s < spots; ++s)
      if (!std::isnan(x[j][s])) magnitudes.push_back(std::fabs(x[j][s]));
    log_median[j] = magnitudes.empty() ? std::numeric_limits<double>::quiet_NaN()
                                       : std::log(median_in_place(magnitudes));
  }
  double sum = 0.0;
  for (double value : log_median)
    sum += value;
  const double mean = sum / static_cast<double>(arrays);
  for (std::size_t j = 0; j < arrays; ++j) {
    const double factor = std::exp(log_median[j] - mean);
    for (std::size_t s = 0; s < spots; ++s)
      x[j][s] /= factor;
  }
}

}  // namespace

void normalise_scale(const std::vector<double*>& m, const std::vector<double*>& a,
                     std::size_t spots) {
  divide_by_relative_median_abs(m, spots);
  divide_by_relative_median_abs(a, spots);
}

bool normalise_quantile(const std::vector<double*>& m, const std::vector<double*>& a,
                        std::size_t spots) {
  const std::size_t arrays = m.size();
  // Checked first, so that a refusal leaves M and A as they were, not as R - G and (R + G) / 2.
  if (spots < 2) return false;
  for (std::size_t j = 0; j < arrays; ++j) {
    std::size_t present = 0;
    for (std::size_t s = 0; s < spots && present < 2; ++s)
      if (!std::isnan(m[j][s]) && !std::isnan(a[j][s])) ++present;
    if (present < 2) return false;
  }
  // G = A - M / 2 takes the place of M and R = A + M / 2 that of A; columns 0..N-1 are G.
  for (std::size_t j = 0; j < arrays; ++j) {
    for (std::size_t s = 0; s < spots; ++s) {
      const double green = a[j][s] - m[j][s] / 2.0;
      const double red = a[j][s] + m[j][s] / 2.0;
      m[j][s] = green;
      a[j][s] = red;
    }
  }
  std::vector<double*> columns = m;
  columns.insert(columns.end(), a.begin(), a.end());
  const bool normalised = quantile_normalise_columns(columns, spots);
  for (std::size_t j = 0; j < arrays; ++j) {
    for (std::size_t s = 0; s < spots; ++s) {
      const double green = m[j][s];
      const double red = a[j][s];
      m[j][s] = red - green;
      a[j][s] = (red + green) / 2.0;
    }
  }
  return normalised;
}

bool normalise_aquantile(const std::vector<double*>& a, std::size_t spots) {
  return quantile_normalise_columns(a, spots);
}
