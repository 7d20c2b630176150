// The moderated F statistic of every gene over all columns of a fit, as limma's eBayes takes it
// from classifyTestsF: with K the correlation of the columns' estimates (from the fit's
// cov_coefficients; a column of variance 0 is given variance 1) and its eigenvalues
// l_1 >= l_2 >= ... with eigenvectors e_j, the rank r counts the l_j above 1e-8 l_1, and
//   F = (1 / r) sum_{j <= r} (t'e_j)^2 / l_j,
// t'K^-1 t / r for a K of full rank. One column gives F = t^2 and r = 1. F has r and
// df_residual + d0 degrees of freedom (not bounded as the t's are; infinite with d0).
#include <algorithm>
#include <cmath>
#include <numeric>

#include "numeric/linear_model.hpp"

namespace {

// Eigenvalues below this share of the largest count as zero.
constexpr double kSmallestEigenvalue = 1e-8;
constexpr int kJacobiSweeps = 100;

// The eigenvalues of a symmetric matrix a (size n, row after row), largest first, and their
// eigenvectors as the columns of `vectors`, by cyclic Jacobi rotations (Golub and Van Loan,
// Matrix Computations, 4th ed., section 8.5): each rotation zeroes one off-diagonal pair, until
// what is left off the diagonal is lost in rounding.
void symmetric_eigen(std::vector<double> a, int32_t n, std::vector<double>& values,
                     std::vector<double>& vectors) {
  auto at = [n](int32_t i, int32_t j) { return i * n + j; };
  std::vector<double> v(n * n, 0.0);
  for (int32_t i = 0; i < n; ++i)
    v[at(i, i)] = 1.0;
  for (int sweep = 0; sweep < kJacobiSweeps; ++sweep) {
    double off = 0.0, all = 0.0;
    for (int32_t i = 0; i < n; ++i)
      for (int32_t j = 0; j < n; ++j) {
        all += a[at(i, j)] * a[at(i, j)];
        if (i != j) off += a[at(i, j)] * a[at(i, j)];
      }
    if (off <= 1e-32 * all) break;
    for (int32_t p = 0; p < n - 1; ++p) {
      for (int32_t q = p + 1; q < n; ++q) {
        if (a[at(p, q)] == 0.0) continue;
        // The rotation by angle theta with cot 2 theta = (a_qq - a_pp) / (2 a_pq), through the
        // smaller root t = tan theta.
        const double theta = (a[at(q, q)] - a[at(p, p)]) / (2.0 * a[at(p, q)]);
        const double t = std::copysign(1.0, theta) / (std::fabs(theta) + std::hypot(theta, 1.0));
        const double c = 1.0 / std::sqrt(t * t + 1.0);
        const double s = t * c;
        for (int32_t i = 0; i < n; ++i) {
          const double ip = a[at(i, p)], iq = a[at(i, q)];
          a[at(i, p)] = c * ip - s * iq;
          a[at(i, q)] = s * ip + c * iq;
        }
        for (int32_t j = 0; j < n; ++j) {
          const double pj = a[at(p, j)], qj = a[at(q, j)];
          a[at(p, j)] = c * pj - s * qj;
          a[at(q, j)] = s * pj + c * qj;
        }
        for (int32_t i = 0; i < n; ++i) {
          const double ip = v[at(i, p)], iq = v[at(i, q)];
          v[at(i, p)] = c * ip - s * iq;
          v[at(i, q)] = s * ip + c * iq;
        }
      }
    }
  }
  std::vector<int32_t> order(n);
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(),
                   [&a, &at](int32_t x, int32_t y) { return a[at(x, x)] > a[at(y, y)]; });
  values.resize(n);
  vectors.resize(n * n);
  for (int32_t j = 0; j < n; ++j) {
    values[j] = a[at(order[j], order[j])];
    for (int32_t i = 0; i < n; ++i)
      vectors[at(i, j)] = v[at(i, order[j])];
  }
}

}  // namespace

void add_moderated_f(const LinearFit& fit, ModeratedTests& tests) {
  const int32_t k = fit.columns();
  const int32_t genes = fit.genes;
  // The columns' weights: t Q with Q_ij = e_ij / sqrt(l_j) / sqrt(r), summed as squares.
  std::vector<double> q;
  int32_t rank = 1;
  if (k > 1) {
    std::vector<double> covariance = fit.cov_coefficients;
    for (int32_t i = 0; i < k; ++i)
      if (covariance[i * k + i] == 0.0) covariance[i * k + i] = 1.0;
    std::vector<double> values, vectors;
    symmetric_eigen(correlation_of(covariance, k), k, values, vectors);
    rank = 0;
    for (double value : values)
      rank += value / values[0] > kSmallestEigenvalue ? 1 : 0;
    q.resize(k * rank);
    for (int32_t i = 0; i < k; ++i)
      for (int32_t j = 0; j < rank; ++j)
        q[i * rank + j] = vectors[i * k + j] * (1.0 / std::sqrt(values[j])) / std::sqrt(rank);
  }
  tests.f_df1 = rank;
  tests.f_df2.resize(genes);
  tests.f.resize(genes);
  tests.f_p_value.resize(genes);
  for (int32_t g = 0; g < genes; ++g) {
    const double* t = tests.t.data() + g * k;
    double f = 0.0;
    if (k == 1) {
      f = t[0] * t[0];
    } else {
      for (int32_t j = 0; j < rank; ++j) {
        double projected = 0.0;
        for (int32_t i = 0; i < k; ++i)
          projected += t[i] * q[i * rank + j];
        f += projected * projected;
      }
    }
    tests.f[g] = f;
    tests.f_df2[g] = fit.df_residual[g] + tests.prior.df;
    tests.f_p_value[g] = f_upper_tail(f, rank, tests.f_df2[g]);
  }
}
