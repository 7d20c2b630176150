// Normalisation between the arrays of a two-colour experiment, as limma's normalizeBetweenArrays
// does it for an MA list: M (log2 ratio) and A (mean log2 intensity) of N arrays of S spots, given
// as a column of S values for each array (m[j][s] is array j's spot s). Not a number marks a spot
// without M or A; it stays so (and method "quantile" leaves a spot without one of them without
// both). Fewer than 2^31 spots.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct IndexedValue {
  double value;
  std::uint32_t index;
};

// Sorts the values of one array after another, keeping its buffers from one to the next.
class ValueSorter {
 public:
  // The values of values[0..n-1] (n < 2^32) that are not missing, each with its index, in
  // ascending order of value (ties in any order). Valid until the next call.
  const std::vector<IndexedValue>& sort(const double* values, std::size_t n);

 private:
  std::vector<IndexedValue> items_, sorted_;
  std::vector<std::uint32_t> bucket_, start_;
};

// limma's normalizeQuantiles, on columns of `rows` values each: every column is given the same
// distribution, the mean of the columns' sorted values. A column with missing values is first
// interpolated linearly to `rows` quantiles (its k sorted values at the positions l / (k - 1), read
// at i / (rows - 1)). Each value becomes the target at its rank: tied values take their average
// rank, and a rank r among k values is read, interpolating, at position (r - 1) / (k - 1). One
// column is left as it is. False, and nothing changed, when there are fewer than 2 rows or a column
// has fewer than 2 values.
bool quantile_normalise_columns(const std::vector<double*>& columns, std::size_t rows);

// Method "scale": M and A each divided, array by array, by the array's median absolute value
// (over its values that are not missing) relative to the geometric mean of those medians, so that
// all arrays share that geometric mean as their median absolute value (limma's
// normalizeMedianAbsValues, which limma applies to M and to A). As in R, an array without values
// makes every array not a number, and one with a median of 0 makes itself not a number and the
// others 0. One array is left as it is.
void normalise_scale(const std::vector<double*>& m, const std::vector<double*>& a,
                     std::size_t spots);

// Method "quantile": the green and red log intensities G = A - M / 2 and R = A + M / 2 of all
// arrays, 2N columns, quantile-normalised together; then M = R - G and A = (R + G) / 2. False, and
// nothing changed, as for quantile_normalise_columns.
bool normalise_quantile(const std::vector<double*>& m, const std::vector<double*>& a,
                        std::size_t spots);

// Method "Aquantile": A quantile-normalised across the arrays, M unchanged. False, and nothing
// changed, as for quantile_normalise_columns.
bool normalise_aquantile(const std::vector<double*>& a, std::size_t spots);
