// Contrasts of the coefficients, as limma's contrasts.fit computes them. With C the contrast
// matrix (coefficients x contrasts), a gene's estimates are b'C. Their unscaled standard
// deviations come from the gene's own stdev.unscaled u and the correlation K of the design's
// coefficients: sqrt(sum_j u_j^2 C_jc^2) when the coefficients are uncorrelated, otherwise
// |R diag(u) C_c| with K = R'R (Cholesky). K is the full design's, also for a gene fitted on
// fewer arrays: an approximation limma makes, kept here so that the numbers agree. The contrasts'
// covariance is C' V C, V the coefficients' unscaled covariance.
//
// Coefficients no contrast uses are left out first. A coefficient a gene cannot estimate enters
// as 0 with u = 1e30, and a contrast whose u then exceeds 1e20 is not a number for that gene, as
// in limma.
#include <cmath>
#include <limits>
#include <utility>

#include "numeric/linear_model.hpp"

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
// Below this, the correlations of the coefficients count as none.
constexpr double kUncorrelated = 1e-14;
// What a coefficient a gene cannot estimate enters as, and the size of u that marks a contrast
// that needed one.
constexpr double kUnknownDeviation = 1e30;
constexpr double kNeededUnknown = 1e20;

// A square matrix of size n, row after row.
struct Square {
  int32_t n = 0;
  std::vector<double> values;
  explicit Square(int32_t size) : n(size), values(size * size, 0.0) {}
  Square(int32_t size, std::vector<double> v) : n(size), values(std::move(v)) {}
  double& operator()(int32_t i, int32_t j) { return values[cell(i, j)]; }
  double operator()(int32_t i, int32_t j) const { return values[cell(i, j)]; }
  std::size_t cell(int32_t i, int32_t j) const { return i * n + j; }
};

// The upper triangular R with R'R = a, a positive definite.
Square cholesky(const Square& a) {
  Square r(a.n);
  for (int32_t j = 0; j < a.n; ++j) {
    double diagonal = a(j, j);
    for (int32_t k = 0; k < j; ++k)
      diagonal -= r(k, j) * r(k, j);
    r(j, j) = std::sqrt(diagonal);
    for (int32_t i = j + 1; i < a.n; ++i) {
      double sum = a(j, i);
      for (int32_t k = 0; k < j; ++k)
        sum -= r(k, j) * r(k, i);
      r(j, i) = sum / r(j, j);
    }
  }
  return r;
}

// The contrast matrix C restricted to the coefficients some contrast uses (limma drops the
// others before anything else), with those coefficients' places among the fit's columns.
struct UsedWeights {
  std::vector<int32_t> columns;
  std::vector<double> weights;  // used coefficients x contrasts, row after row
};

UsedWeights used_weights(int32_t columns, const std::vector<Contrast>& contrasts) {
  UsedWeights used;
  for (int32_t j = 0; j < columns; ++j) {
    bool needed = false;
    for (const Contrast& contrast : contrasts)
      needed = needed || contrast.weights[j] != 0.0;
    if (!needed) continue;
    used.columns.push_back(j);
    for (const Contrast& contrast : contrasts)
      used.weights.push_back(contrast.weights[j]);
  }
  return used;
}

// C'VC, as (R C)'(R C) with V = R'R.
std::vector<double> contrast_covariance(const Square& covariance, const std::vector<double>& c,
                                        int32_t k) {
  const int32_t p = covariance.n;
  const Square r = cholesky(covariance);
  std::vector<double> rc(p * k);
  for (int32_t i = 0; i < p; ++i)
    for (int32_t a = 0; a < k; ++a)
      for (int32_t j = 0; j < p; ++j)
        rc[i * k + a] += r(i, j) * c[j * k + a];
  std::vector<double> result(k * k);
  for (int32_t a = 0; a < k; ++a)
    for (int32_t b = 0; b < k; ++b)
      for (int32_t i = 0; i < p; ++i)
        result[a * k + b] += rc[i * k + a] * rc[i * k + b];
  return result;
}

}  // namespace

// K_ij = (s_i V_ij) s_j with s_i = sqrt(1 / V_ii), and 1 on the diagonal.
std::vector<double> correlation_of(const std::vector<double>& covariance, int32_t n) {
  std::vector<double> s(n);
  for (int32_t i = 0; i < n; ++i)
    s[i] = std::sqrt(1.0 / covariance[i * n + i]);
  std::vector<double> correlation(n * n);
  for (int32_t i = 0; i < n; ++i)
    for (int32_t j = 0; j < n; ++j)
      correlation[i * n + j] = i == j ? 1.0 : s[i] * covariance[i * n + j] * s[j];
  return correlation;
}

LinearFit fit_contrasts(const LinearFit& fit, const std::vector<Contrast>& contrasts) {
  const auto k = static_cast<int32_t>(contrasts.size());
  const int32_t all = fit.columns();
  const UsedWeights used = used_weights(all, contrasts);
  const std::vector<double>& c = used.weights;
  const auto p = static_cast<int32_t>(used.columns.size());
  Square covariance(p);
  for (int32_t i = 0; i < p; ++i)
    for (int32_t j = 0; j < p; ++j)
      covariance(i, j) = fit.cov_coefficients[used.columns[i] * all + used.columns[j]];
  const Square correlation(p, correlation_of(covariance.values, p));
  bool uncorrelated = true;
  for (int32_t i = 0; i < p; ++i)
    for (int32_t j = 0; j < i; ++j)
      uncorrelated = uncorrelated && std::fabs(correlation(i, j)) < kUncorrelated;
  const Square root = cholesky(correlation);

  LinearFit result;
  result.genes = fit.genes;
  for (const Contrast& contrast : contrasts)
    result.names.push_back(contrast.name);
  result.sigma = fit.sigma;
  result.df_residual = fit.df_residual;
  result.cov_coefficients = contrast_covariance(covariance, c, k);
  result.coefficients.assign(fit.genes * k, kNaN);
  result.stdev_unscaled.assign(fit.genes * k, kNaN);

  bool any_unknown = false;
  for (int32_t g = 0; g < fit.genes; ++g)
    for (int32_t j : used.columns)
      any_unknown = any_unknown || std::isnan(fit.coefficients[g * all + j]);
  std::vector<double> b(p), u(p);
  for (int32_t g = 0; g < fit.genes; ++g) {
    for (int32_t j = 0; j < p; ++j) {
      const int32_t cell = g * all + used.columns[j];
      const bool unknown = std::isnan(fit.coefficients[cell]);
      b[j] = unknown ? 0.0 : fit.coefficients[cell];
      u[j] = unknown ? kUnknownDeviation : fit.stdev_unscaled[cell];
    }
    for (int32_t a = 0; a < k; ++a) {
      double estimate = 0.0;
      for (int32_t j = 0; j < p; ++j)
        estimate += b[j] * c[j * k + a];
      double squares = 0.0;
      if (uncorrelated) {
        for (int32_t j = 0; j < p; ++j)
          squares += u[j] * u[j] * (c[j * k + a] * c[j * k + a]);
      } else {
        for (int32_t i = 0; i < p; ++i) {
          double projected = 0.0;
          for (int32_t j = 0; j < p; ++j)
            projected += root(i, j) * (u[j] * c[j * k + a]);
          squares += projected * projected;
        }
      }
      const double deviation = std::sqrt(squares);
      if (any_unknown && deviation > kNeededUnknown) continue;
      result.coefficients[g * k + a] = estimate;
      result.stdev_unscaled[g * k + a] = deviation;
    }
  }
  return result;
}
