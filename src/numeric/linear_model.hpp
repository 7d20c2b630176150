// Linear models of the genes' log ratios over the arrays: the least-squares fit of every gene,
// contrasts of the coefficients and the empirical Bayes moderated t and F tests (Smyth 2004,
// "Linear models and empirical Bayes methods for assessing differential expression in microarray
// experiments"), computed as R's limma computes them (lmFit with method "ls" and no weights,
// contrasts.fit, and eBayes with its default arguments). Genes and coefficients are numbered from
// 0; a table of genes holds one row per gene, row after row.
//
// In order: prepare_design once; fit_linear_model, or empty_fit and fit_gene for each gene on as
// many threads as wanted; fit_contrasts when contrasts are asked for; moderate_tests. Each gene's
// values are its log ratios M on the arrays, in the design's order of arrays.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "numeric/numeric.hpp"

// A design matrix: one row per array, one column per coefficient.
struct Design {
  int32_t arrays = 0;
  std::vector<std::string> names;  // one per coefficient
  std::vector<double> values;      // arrays x coefficients, array after array

  int32_t coefficients() const { return static_cast<int32_t>(names.size()); }
  double at(int32_t array, int32_t coefficient) const {
    return values[static_cast<std::size_t>(array) * names.size() +
                  static_cast<std::size_t>(coefficient)];
  }
};

// A Householder QR decomposition X P = Q R of a rows x columns matrix X. The columns are taken in
// their order; one whose part left by the reflections of the columns before it is below 1e-7 of
// its own length depends on them and is moved to the end (as R's lm.fit does, so that the same
// coefficients are left out). The first `rank` columns of the decomposition are the kept ones.
struct QrDecomposition {
  int32_t rows = 0;
  int32_t columns = 0;
  int32_t rank = 0;
  // Column after column: R on and above the diagonal, below it the reflection vectors, whose
  // first elements are in `leading`.
  std::vector<double> packed;
  std::vector<double> leading;
  std::vector<int32_t> order;  // the column of X held in each column of the decomposition
};

// Decomposes the matrix that qr.packed holds column after column (qr.rows and qr.columns set).
// Allocates nothing once its vectors have grown to the size.
void decompose_qr(QrDecomposition& qr);
// Replaces y (qr.rows values) by Q'y, the effects, through the first `rank` reflections.
void apply_qt(const QrDecomposition& qr, std::span<double> y);
// Solves R b = effects for the `rank` kept columns, in the decomposition's order.
void solve_r(const QrDecomposition& qr, std::span<const double> effects, std::span<double> b);
// (R'R)^-1 of the kept columns, rank x rank, row after row: the unscaled covariance of the
// coefficients.
void unscaled_covariance(const QrDecomposition& qr, std::span<double> covariance);

// A design checked and decomposed, ready for the genes.
struct LinearDesign {
  Design design;
  QrDecomposition qr;
  std::vector<double> stdev_unscaled;    // of a gene with a value on every array
  std::vector<double> cov_coefficients;  // (X'X)^-1, coefficients x coefficients
};

// Checks the design and decomposes it. A design without more arrays than coefficients, with a
// value that is not a finite number, with two coefficients of one name or with linearly dependent
// columns is refused: false, and a sentence in `error` (the dependent columns are named, each as
// a combination of the others).
bool prepare_design(const Design& design, LinearDesign& prepared, std::string& error);

// Per gene, the least-squares fit on the arrays where the gene has a finite value.
struct LinearFit {
  int32_t genes = 0;
  std::vector<std::string> names;        // the columns: coefficients, or contrasts
  std::vector<double> coefficients;      // genes x columns; not a number when not estimable
  std::vector<double> stdev_unscaled;    // genes x columns
  std::vector<double> sigma;             // residual standard deviation; not a number at df 0
  std::vector<double> df_residual;       // values used less the rank of their rows
  std::vector<double> cov_coefficients;  // of the design's coefficients, columns x columns

  int32_t columns() const { return static_cast<int32_t>(names.size()); }
};

// A fit of `genes` genes, every value not a number and every df 0, to be filled by fit_gene.
LinearFit empty_fit(const LinearDesign& design, int32_t genes);

// What fit_gene works in: it grows to the design's size once and is reused from gene to gene.
struct GeneFitScratch {
  QrDecomposition qr;
  std::vector<double> y;
  std::vector<double> b;
  std::vector<double> covariance;
};

// Fits gene `gene` from its values on the arrays (NaN or infinite where it has none) into that
// gene's row of `fit`, and writes nothing else, so that threads may share the genes, each with a
// scratch of its own. A gene with a value on every array uses the design's decomposition; one
// with values missing is fitted on its own rows, where a coefficient they cannot estimate is not
// a number.
void fit_gene(const LinearDesign& design, std::span<const double> values, GeneFitScratch& scratch,
              LinearFit& fit, int32_t gene);
// Every gene of `values` (genes x arrays, gene after gene) on one thread.
LinearFit fit_linear_model(const LinearDesign& design, std::span<const double> values);

// A contrast: a named combination of the coefficients, one weight per coefficient.
struct Contrast {
  std::string name;
  std::vector<double> weights;
};

// The contrasts' estimates and unscaled standard deviations, as limma's contrasts.fit computes
// them: for a design whose coefficients are correlated through the correlation of the design's
// coefficients, which serves every gene, also those fitted on fewer arrays. A contrast that needs
// a coefficient a gene cannot estimate is not a number for that gene. Every contrast must have a
// weight for each of the fit's columns. sigma and df_residual are the fit's.
LinearFit fit_contrasts(const LinearFit& fit, const std::vector<Contrast>& contrasts);
// The correlation matrix of a covariance matrix of size n (row after row), as R's cov2cor.
std::vector<double> correlation_of(const std::vector<double>& covariance, int32_t n);

// The empirical Bayes tests of every gene and column of a fit.
struct ModeratedTests {
  VariancePrior prior;            // d0 and s0^2, from the genes' sigma^2 and df_residual
  double proportion = 0.01;       // the share of genes taken as changed, for the log-odds
  std::vector<double> var_prior;  // per column: the prior variance of a changed coefficient
  // Per column, whether var_prior was estimated; without any t it is 1 / s0^2.
  std::vector<bool> var_prior_estimated;
  std::vector<double> s2_post;   // per gene: the posterior variance
  std::vector<double> df_total;  // per gene: df_residual + d0, at most the genes' df together
  std::vector<double> t;         // genes x columns: the moderated t
  std::vector<double> p_value;   // genes x columns: two-sided
  std::vector<double> q_value;   // genes x columns: Benjamini-Hochberg per column
  std::vector<double> lods;      // genes x columns: the log-odds B of a change
  // Per gene, the moderated F of all columns together, with df1 the rank of their correlation
  // and df2 = df_residual + d0 (+infinity with an infinite d0); its p-value and q-value.
  int32_t f_df1 = 0;
  std::vector<double> f_df2;
  std::vector<double> f;
  std::vector<double> f_p_value;
  std::vector<double> f_q_value;
};

// The moderated t of every gene and column, its p-value, q-value and log-odds, and the moderated
// F of every gene, as limma's eBayes with its defaults (and topTable's Benjamini-Hochberg
// adjustment). Refused, with a sentence in `error`, when no gene has residual degrees of freedom
// or a finite sigma.
bool moderate_tests(const LinearFit& fit, ModeratedTests& tests, std::string& error);
// The steps of moderate_tests after the t-tests: the log-odds of every gene and column with the
// prior variance of the changes, and the moderated F of every gene.
void add_log_odds(const LinearFit& fit, ModeratedTests& tests);
void add_moderated_f(const LinearFit& fit, ModeratedTests& tests);
