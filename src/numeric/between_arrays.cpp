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
void divide_by_relative_median_abs(double* x, std::size_t arrays, std::size_t spots) {
  if (arrays <= 1) return;
  std::vector<double> log_median(arrays);
  std::vector<double> magnitudes;
  for (std::size_t j = 0; j < arrays; ++j) {
    magnitudes.clear();
    for (std::size_t s = 0; s < spots; ++s)
      if (!std::isnan(x[j * spots + s])) magnitudes.push_back(std::fabs(x[j * spots + s]));
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
      x[j * spots + s] /= factor;
  }
}

}  // namespace

void normalise_scale(double* m, double* a, std::size_t arrays, std::size_t spots) {
  divide_by_relative_median_abs(m, arrays, spots);
  divide_by_relative_median_abs(a, arrays, spots);
}

bool normalise_quantile(double* m, double* a, std::size_t arrays, std::size_t spots) {
  // Checked first, so that a refusal leaves M and A as they were, not as R - G and (R + G) / 2.
  if (spots < 2) return false;
  for (std::size_t j = 0; j < arrays; ++j) {
    std::size_t present = 0;
    for (std::size_t s = j * spots; s < (j + 1) * spots && present < 2; ++s)
      if (!std::isnan(m[s]) && !std::isnan(a[s])) ++present;
    if (present < 2) return false;
  }
  // G = A - M / 2 takes the place of M and R = A + M / 2 that of A; columns 0..N-1 are G.
  const std::size_t count = arrays * spots;
  for (std::size_t i = 0; i < count; ++i) {
    const double green = a[i] - m[i] / 2.0;
    const double red = a[i] + m[i] / 2.0;
    m[i] = green;
    a[i] = red;
  }
  std::vector<double*> columns;
  for (std::size_t j = 0; j < arrays; ++j)
    columns.push_back(m + j * spots);
  for (std::size_t j = 0; j < arrays; ++j)
    columns.push_back(a + j * spots);
  const bool normalised = quantile_normalise_columns(columns, spots);
  for (std::size_t i = 0; i < count; ++i) {
    const double green = m[i];
    const double red = a[i];
    m[i] = red - green;
    a[i] = (red + green) / 2.0;
  }
  return normalised;
}

bool normalise_aquantile(double* /*m*/, double* a, std::size_t arrays, std::size_t spots) {
  std::vector<double*> columns;
  for (std::size_t j = 0; j < arrays; ++j)
    columns.push_back(a + j * spots);
  return quantile_normalise_columns(columns, spots);
}
