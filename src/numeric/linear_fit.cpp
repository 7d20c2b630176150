// The least-squares fit of every gene on the arrays where it has a value, as limma's lmFit with
// method "ls" and no weights. With X the design's rows of those m arrays and y the gene's values:
// X P = Q R (P moves the columns X's rows cannot estimate to the end, k columns are kept), the
// effects e = Q'y, the coefficients b from R b = e[0..k), stdev.unscaled the square roots of the
// diagonal of (R'R)^-1, df.residual = m - k and sigma^2 = (e[k]^2 + ... + e[m-1]^2) / (m - k).
#include <cmath>
#include <limits>

#include "numeric/linear_model.hpp"

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// The standard deviation of the residuals, from the effects past the rank: the mean of their
// squares summed in long double, as R's mean and colMeans sum.
double residual_sigma(std::span<const double> effects, int32_t rank, int32_t used) {
  if (used == rank) return kNaN;
  long double squares = 0.0L;
  for (int32_t i = rank; i < used; ++i)
    squares += effects[i] * effects[i];
  return std::sqrt(static_cast<double>(squares / (used - rank)));
}

// Where the gene's row starts in a table of genes x columns.
int32_t row_of(int32_t gene, int32_t columns) {
  return gene * columns;
}

// A gene with a value on every array: the design's own decomposition serves.
void fit_complete_gene(const LinearDesign& design, std::span<const double> values,
                       GeneFitScratch& scratch, LinearFit& fit, int32_t gene) {
  const QrDecomposition& qr = design.qr;
  const int32_t p = qr.columns;
  scratch.y.assign(values.begin(), values.end());
  scratch.b.resize(p);
  apply_qt(qr, scratch.y);
  solve_r(qr, scratch.y, scratch.b);
  const int32_t row = row_of(gene, p);
  for (int32_t j = 0; j < p; ++j) {
    fit.coefficients[row + j] = scratch.b[j];
    fit.stdev_unscaled[row + j] = design.stdev_unscaled[j];
  }
  fit.sigma[gene] = residual_sigma(scratch.y, p, qr.rows);
  fit.df_residual[gene] = qr.rows - p;
}

// A gene with `used` values, fewer than the arrays: the design's rows of those arrays are
// decomposed anew.
void fit_gene_on_its_arrays(const LinearDesign& design, std::span<const double> values,
                            int32_t used, GeneFitScratch& scratch, LinearFit& fit, int32_t gene) {
  const int32_t n = design.design.arrays;
  const int32_t p = design.qr.columns;
  QrDecomposition& qr = scratch.qr;
  qr.rows = used;
  qr.columns = p;
  qr.packed.resize(used * p);
  scratch.y.resize(used);
  int32_t r = 0;
  for (int32_t i = 0; i < n; ++i) {
    const double value = values[i];
    if (!std::isfinite(value)) continue;
    for (int32_t j = 0; j < p; ++j)
      qr.packed[j * used + r] = design.design.at(i, j);
    scratch.y[r] = value;
    ++r;
  }
  decompose_qr(qr);
  scratch.b.resize(p);
  scratch.covariance.resize(p * p);
  apply_qt(qr, scratch.y);
  solve_r(qr, scratch.y, scratch.b);
  unscaled_covariance(qr, scratch.covariance);
  const int32_t row = row_of(gene, p);
  for (int32_t c = 0; c < qr.rank; ++c) {
    const int32_t j = row + qr.order[c];
    fit.coefficients[j] = scratch.b[c];
    fit.stdev_unscaled[j] = std::sqrt(scratch.covariance[c * qr.rank + c]);
  }
  fit.sigma[gene] = residual_sigma(scratch.y, qr.rank, used);
  fit.df_residual[gene] = used - qr.rank;
}

}  // namespace

LinearFit empty_fit(const LinearDesign& design, int32_t genes) {
  LinearFit fit;
  fit.genes = genes;
  fit.names = design.design.names;
  const int32_t cells = row_of(genes, fit.columns());
  fit.coefficients.assign(cells, kNaN);
  fit.stdev_unscaled.assign(cells, kNaN);
  fit.sigma.assign(genes, kNaN);
  fit.df_residual.assign(genes, 0.0);
  fit.cov_coefficients = design.cov_coefficients;
  return fit;
}

void fit_gene(const LinearDesign& design, std::span<const double> values, GeneFitScratch& scratch,
              LinearFit& fit, int32_t gene) {
  int32_t used = 0;
  for (double value : values)
    used += std::isfinite(value) ? 1 : 0;
  if (used == design.design.arrays) {
    fit_complete_gene(design, values, scratch, fit, gene);
    return;
  }
  const int32_t row = row_of(gene, fit.columns());
  for (int32_t j = row; j < row + fit.columns(); ++j)
    fit.coefficients[j] = fit.stdev_unscaled[j] = kNaN;
  fit.sigma[gene] = kNaN;
  fit.df_residual[gene] = 0.0;
  if (used > 0) fit_gene_on_its_arrays(design, values, used, scratch, fit, gene);
}

LinearFit fit_linear_model(const LinearDesign& design, std::span<const double> values) {
  const int32_t n = design.design.arrays;
  const auto genes = static_cast<int32_t>(values.size() / n);
  LinearFit fit = empty_fit(design, genes);
  GeneFitScratch scratch;
  for (int32_t g = 0; g < genes; ++g)
    fit_gene(design, values.subspan(g * n, n), scratch, fit, g);
  return fit;
}
