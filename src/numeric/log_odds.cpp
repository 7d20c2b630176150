// The log-odds B that a gene's coefficient is not zero (Smyth 2004, section 5), as limma's eBayes
// computes it with proportion p = 0.01 of changed genes and the prior variance of a change bounded
// by stdev.coef.lim (0.1, 4).
//
// With v0 the prior variance of a changed coefficient (in units of the gene's variance),
// u the unscaled standard deviation and r = (u^2 + v0) / u^2:
//   B = log(p / (1 - p)) - log(r) / 2 + (1 + d) / 2 log((t^2 + d) / (t^2 / r + d)),
// d the gene's total degrees of freedom; with d0 above 10^6 the last term becomes its limit
// t^2 (1 - 1 / r) / 2.
//
// v0 of a column is limma's tmixture estimate: the genes' t are brought to the largest of their
// degrees of freedom (D) through their tail probabilities, and the N' = ceil(p N / 2) largest
// |t| of the N genes with a t each give one estimate. The one of rank i (i = 1 .. N') compares
// its tail p0 = 2 P(T_D > |t|) with the share it would have in a mixture,
// p_i = ((i - 0.5) / N - (1 - p') p0) / p', p' = max(N' / N, p); where p_i > p0, the |t| of the
// change alone is q = the t exceeded with probability p_i / 2, and v0_i = u^2 ((|t| / q)^2 - 1),
// else 0; each bounded by stdev.coef.lim^2 / s0^2. v0 is their mean.
#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "numeric/linear_model.hpp"

namespace {

// stdev.coef.lim, the bounds of a change's standard deviation.
constexpr double kSmallestChange = 0.1;
constexpr double kLargestChange = 4.0;
// Above this, d0 counts as infinite.
constexpr double kInfinitePriorDf = 1e6;

// A gene's |t| on D degrees of freedom, in the tmixture estimate.
struct RankedT {
  int32_t gene;
  double t;
};

// v0 of column c, not a number when no gene has a t there.
double change_variance(const LinearFit& fit, const ModeratedTests& tests, int32_t c) {
  const int32_t k = fit.columns();
  int32_t with_t = 0;
  double largest_df = 0.0;
  for (int32_t g = 0; g < fit.genes; ++g) {
    if (std::isnan(tests.t[g * k + c])) continue;
    ++with_t;
    largest_df = std::max(largest_df, tests.df_total[g]);
  }
  const auto wanted = static_cast<int32_t>(std::ceil(tests.proportion / 2.0 * with_t));
  if (wanted < 1) return std::numeric_limits<double>::quiet_NaN();
  const double share = std::max(static_cast<double>(wanted) / with_t, tests.proportion);

  // A smaller tail probability is a larger t on D degrees of freedom, so the genes of the
  // `wanted` smallest p-values (and any tied with the last of them) are the candidates, and only
  // theirs are brought to D.
  std::vector<double> p_values;
  for (int32_t g = 0; g < fit.genes; ++g)
    if (!std::isnan(tests.t[g * k + c]) && !std::isnan(tests.p_value[g * k + c]))
      p_values.push_back(tests.p_value[g * k + c]);
  if (static_cast<int32_t>(p_values.size()) < wanted)
    return std::numeric_limits<double>::quiet_NaN();
  std::nth_element(p_values.begin(), p_values.begin() + (wanted - 1), p_values.end());
  const double largest_p = p_values[wanted - 1];
  std::vector<RankedT> ranked;
  for (int32_t g = 0; g < fit.genes; ++g) {
    const double p = tests.p_value[g * k + c];
    if (std::isnan(tests.t[g * k + c]) || !(p <= largest_p)) continue;
    const double t = tests.df_total[g] < largest_df ? t_upper_quantile(p / 2.0, largest_df)
                                                    : std::fabs(tests.t[g * k + c]);
    ranked.push_back({g, t});
  }
  std::sort(ranked.begin(), ranked.end(), [](const RankedT& a, const RankedT& b) {
    return a.t > b.t || (a.t == b.t && a.gene < b.gene);
  });

  const double lower = kSmallestChange * kSmallestChange / tests.prior.variance;
  const double upper = kLargestChange * kLargestChange / tests.prior.variance;
  double sum = 0.0;
  for (int32_t i = 0; i < wanted; ++i) {
    const RankedT& gene = ranked[i];
    const double u = fit.stdev_unscaled[gene.gene * k + c];
    const double p0 = f_upper_tail(gene.t * gene.t, 1.0, largest_df);
    const double target = ((i + 0.5) / with_t - (1.0 - share) * p0) / share;
    double v0 = 0.0;
    if (target > p0) {
      const double q = t_upper_quantile(target / 2.0, largest_df);
      v0 = u * u * ((gene.t / q) * (gene.t / q) - 1.0);
    }
    sum += std::min(std::max(v0, lower), upper);
  }
  return sum / wanted;
}

}  // namespace

void add_log_odds(const LinearFit& fit, ModeratedTests& tests) {
  const int32_t k = fit.columns();
  tests.var_prior.assign(k, 0.0);
  tests.var_prior_estimated.assign(k, true);
  for (int32_t c = 0; c < k; ++c) {
    tests.var_prior[c] = change_variance(fit, tests, c);
    if (std::isnan(tests.var_prior[c])) {
      tests.var_prior[c] = 1.0 / tests.prior.variance;
      tests.var_prior_estimated[c] = false;
    }
  }
  const double prior_odds = std::log(tests.proportion / (1.0 - tests.proportion));
  tests.lods.resize(fit.genes * k);
  for (int32_t g = 0; g < fit.genes; ++g) {
    const double d = tests.df_total[g];
    for (int32_t c = 0; c < k; ++c) {
      const int32_t cell = g * k + c;
      const double u2 = fit.stdev_unscaled[cell] * fit.stdev_unscaled[cell];
      const double r = (u2 + tests.var_prior[c]) / u2;
      const double t2 = tests.t[cell] * tests.t[cell];
      const double kernel = tests.prior.df > kInfinitePriorDf
                                ? t2 * (1.0 - 1.0 / r) / 2.0
                                : (1.0 + d) / 2.0 * std::log((t2 + d) / (t2 / r + d));
      tests.lods[cell] = prior_odds - std::log(r) / 2.0 + kernel;
    }
  }
}
