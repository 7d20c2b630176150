// The Householder QR decomposition X P = Q R (Golub and Van Loan, Matrix Computations, 4th ed.,
// section 5.2) with the column rule of R's lm.fit: the columns are reflected in their order, and
// one that depends on the columns before it is moved to the end instead.
//
// Column l is reflected by H = I - v v' / v[0] with v = x / s + e1, where x is the column's part
// from row l on and s its length with the sign of x[0]: H x = -s e1, so R's diagonal holds -s.
// Every operation is that of lm.fit's own decomposition, in its order (x scaled by 1 / s, sums
// from the top, the back substitution column by column), so that the coefficients are its to
// the bit in most cases.
#include <algorithm>
#include <cmath>

#include "numeric/linear_model.hpp"

namespace {

// A column depends on the columns before it when the part of it the reflections leave is shorter
// than this share of its length: the tolerance of R's lm.fit.
constexpr double kDependenceTolerance = 1e-7;

std::size_t at(const QrDecomposition& qr, int32_t row, int32_t column) {
  return column * qr.rows + row;
}

// The length of column j from row `from` on.
double length_below(const QrDecomposition& qr, int32_t j, int32_t from) {
  double squares = 0.0;
  for (int32_t i = from; i < qr.rows; ++i)
    squares += qr.packed[at(qr, i, j)] * qr.packed[at(qr, i, j)];
  return std::sqrt(squares);
}

// Moves column j of the decomposition, with its order and its length, after the last one.
void move_to_end(QrDecomposition& qr, int32_t j) {
  const auto first = qr.packed.begin() + static_cast<std::ptrdiff_t>(at(qr, 0, j));
  std::rotate(first, first + qr.rows, qr.packed.end());
  std::rotate(qr.order.begin() + j, qr.order.begin() + j + 1, qr.order.end());
  std::rotate(qr.leading.begin() + j, qr.leading.begin() + j + 1, qr.leading.end());
}

// Reflects column l, of length `length` from row l on, and applies the reflection to the columns
// after it.
void reflect(QrDecomposition& qr, int32_t l, double length) {
  const double x0 = qr.packed[at(qr, l, l)];
  const double s = x0 != 0.0 ? std::copysign(length, x0) : length;
  const double scale = 1.0 / s;
  for (int32_t i = l; i < qr.rows; ++i)
    qr.packed[at(qr, i, l)] *= scale;
  qr.packed[at(qr, l, l)] = 1.0 + qr.packed[at(qr, l, l)];
  const double v0 = qr.packed[at(qr, l, l)];
  for (int32_t j = l + 1; j < qr.columns; ++j) {
    double dot = 0.0;
    for (int32_t i = l; i < qr.rows; ++i)
      dot += qr.packed[at(qr, i, l)] * qr.packed[at(qr, i, j)];
    const double t = -dot / v0;
    for (int32_t i = l; i < qr.rows; ++i)
      qr.packed[at(qr, i, j)] += t * qr.packed[at(qr, i, l)];
  }
  qr.leading[l] = v0;
  qr.packed[at(qr, l, l)] = -s;
}

}  // namespace

void decompose_qr(QrDecomposition& qr) {
  const auto columns = qr.columns;
  qr.order.resize(columns);
  qr.leading.resize(columns);
  // Until a column is reflected, `leading` holds its length, which its remainder is measured by.
  for (int32_t j = 0; j < qr.columns; ++j) {
    qr.order[j] = j;
    qr.leading[j] = length_below(qr, j, 0);
  }
  int32_t candidates = qr.columns;  // the columns not yet found to depend on others
  qr.rank = 0;
  for (int32_t l = 0; l < candidates && l < qr.rows; ++l) {
    double remainder = 0.0;
    while (l < candidates) {
      remainder = length_below(qr, l, l);
      const double length = qr.leading[l];
      // A column of zeros is measured against 1, as in lm.fit.
      if (remainder >= kDependenceTolerance * (length > 0.0 ? length : 1.0)) break;
      move_to_end(qr, l);
      --candidates;
    }
    if (l == candidates) break;
    reflect(qr, l, remainder);
    qr.rank = l + 1;
  }
}

void apply_qt(const QrDecomposition& qr, std::span<double> y) {
  const int32_t m = qr.rows;
  for (int32_t l = 0; l < qr.rank; ++l) {
    const double* v = qr.packed.data() + at(qr, 0, l);  // the reflection vector from row l + 1 on
    const double v0 = qr.leading[l];
    double dot = v0 * y[l];
    for (int32_t i = l + 1; i < m; ++i)
      dot += v[i] * y[i];
    const double t = -dot / v0;
    y[l] += t * v0;
    for (int32_t i = l + 1; i < m; ++i)
      y[i] += t * v[i];
  }
}

// Column by column from the last: b_j = e_j / R_jj, then e_i -= R_ij b_j above it.
void solve_r(const QrDecomposition& qr, std::span<const double> effects, std::span<double> b) {
  for (int32_t i = 0; i < qr.rank; ++i)
    b[i] = effects[i];
  for (int32_t j = qr.rank - 1; j >= 0; --j) {
    b[j] /= qr.packed[at(qr, j, j)];
    const double t = -b[j];
    for (int32_t i = 0; i < j; ++i)
      b[i] += t * qr.packed[at(qr, i, j)];
  }
}

// (R'R)^-1 = R^-1 R^-T. R^-1 is upper triangular and is built in the upper triangle of
// `covariance`; element (i, k), k >= i, of the product needs only elements (i, j) and (k, j) of
// R^-1 with j >= k, so the product can take their place row by row, left to right.
void unscaled_covariance(const QrDecomposition& qr, std::span<double> covariance) {
  const int32_t k = qr.rank;
  auto c = [&covariance, k](int32_t i, int32_t j) -> double& { return covariance[i * k + j]; };
  for (int32_t col = 0; col < k; ++col) {
    c(col, col) = 1.0 / qr.packed[at(qr, col, col)];
    for (int32_t i = col - 1; i >= 0; --i) {
      double sum = 0.0;
      for (int32_t j = i + 1; j <= col; ++j)
        sum += qr.packed[at(qr, i, j)] * c(j, col);
      c(i, col) = -sum / qr.packed[at(qr, i, i)];
    }
  }
  for (int32_t i = 0; i < k; ++i) {
    for (int32_t col = i; col < k; ++col) {
      double sum = 0.0;
      for (int32_t j = col; j < k; ++j)
        sum += c(i, j) * c(col, j);
      c(i, col) = sum;
      c(col, i) = sum;
    }
  }
}
