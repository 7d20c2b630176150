// The empirical Bayes moderated t-test of every gene and column of a linear fit (Smyth 2004,
// sections 3 to 5), as limma's eBayes computes it with its default arguments.
//
// The genes' variances sigma^2 with df_residual degrees of freedom give the prior d0 and s0^2
// (limma's squeezeVar and fitFDist; genes with df 0 are left out of it). Each gene's posterior
// variance is s2.post = (d s^2 + d0 s0^2) / (d + d0), s0^2 for an infinite d0, where a gene with
// d = 0 enters with s^2 = 0. Then t = b / u / sqrt(s2.post) with u the unscaled standard
// deviation, on d + d0 degrees of freedom, but never more than the genes' degrees of freedom
// together.
#include <algorithm>
#include <cmath>

#include "numeric/linear_model.hpp"

namespace {

// The prior from the genes with degrees of freedom and a variance; a single gene is its own prior
// with no weight.
VariancePrior prior_of(const LinearFit& fit) {
  if (fit.genes == 1) return {0.0, fit.sigma[0] * fit.sigma[0]};
  std::vector<double> variances, dfs;
  for (int32_t g = 0; g < fit.genes; ++g) {
    const double variance = fit.sigma[g] * fit.sigma[g];
    if (fit.df_residual[g] > 0.0 && std::isfinite(variance)) {
      variances.push_back(variance);
      dfs.push_back(fit.df_residual[g]);
    }
  }
  return estimate_variance_prior(variances, dfs);
}

double posterior_variance(double variance, double df, const VariancePrior& prior) {
  if (std::isinf(prior.df)) return prior.variance;
  return (df * variance + prior.df * prior.variance) / (df + prior.df);
}

// The Benjamini-Hochberg q-values of column c of a table of genes x columns.
void adjust_column(const std::vector<double>& p, std::vector<double>& q, int32_t c,
                   int32_t columns) {
  const std::size_t genes = p.size() / static_cast<std::size_t>(columns);
  std::vector<double> column(genes);
  for (std::size_t g = 0; g < genes; ++g)
    column[g] = p[g * columns + c];
  const std::vector<double> adjusted = benjamini_hochberg(column);
  for (std::size_t g = 0; g < genes; ++g)
    q[g * columns + c] = adjusted[g];
}

}  // namespace

bool moderate_tests(const LinearFit& fit, ModeratedTests& tests, std::string& error) {
  const int32_t genes = fit.genes;
  const int32_t k = fit.columns();
  double pooled_df = 0.0;
  bool any_df = false, any_sigma = false;
  for (int32_t g = 0; g < genes; ++g) {
    pooled_df += fit.df_residual[g];
    any_df = any_df || fit.df_residual[g] > 0.0;
    any_sigma = any_sigma || std::isfinite(fit.sigma[g]);
  }
  if (!any_df || !any_sigma) {
    error =
        "no gene has a value on more arrays than the design has coefficients, so no gene's "
        "variance can be estimated";
    return false;
  }
  tests = ModeratedTests();
  tests.prior = prior_of(fit);
  tests.s2_post.resize(genes);
  tests.df_total.resize(genes);
  tests.t.resize(genes * k);
  tests.p_value.resize(genes * k);
  for (int32_t g = 0; g < genes; ++g) {
    const double df = fit.df_residual[g];
    const double variance = df > 0.0 ? fit.sigma[g] * fit.sigma[g] : 0.0;
    tests.s2_post[g] = genes == 1 ? variance : posterior_variance(variance, df, tests.prior);
    tests.df_total[g] = std::min(df + tests.prior.df, pooled_df);
    for (int32_t c = 0; c < k; ++c) {
      const int32_t cell = g * k + c;
      const double t =
          fit.coefficients[cell] / fit.stdev_unscaled[cell] / std::sqrt(tests.s2_post[g]);
      tests.t[cell] = t;
      tests.p_value[cell] = f_upper_tail(t * t, 1.0, tests.df_total[g]);
    }
  }
  tests.q_value.resize(genes * k);
  for (int32_t c = 0; c < k; ++c)
    adjust_column(tests.p_value, tests.q_value, c, k);
  add_log_odds(fit, tests);
  add_moderated_f(fit, tests);
  tests.f_q_value = benjamini_hochberg(tests.f_p_value);
  return true;
}
