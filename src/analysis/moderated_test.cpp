// The moderated t-test across slides (Smyth 2004). Replicate spots on one slide share its
// hybridisation, so a gene's evidence comes from its slides: per slide, the mean of the
// normalised M of its spots that pass the quality test and have a ratio; per gene, the mean and
// sample variance of those slide means. Each gene's variance is shrunk towards a prior estimated
// from all genes, and the mean is tested against 0 with the degrees of freedom of both.
#include <cmath>
#include <limits>
#include <vector>

#include "analysis/analysis.hpp"
#include "numeric/numeric.hpp"
#include "run/shared_work.hpp"

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// A gene's slide means: their count, mean and sample variance (divisor n - 1).
struct SlideMeans {
  int32_t count = 0;
  double mean = kNaN;
  double variance = kNaN;
};

SlideMeans slide_means_of(const Run& run, int32_t g, std::vector<double>& means) {
  means.clear();
  for (int32_t f = 1; f <= run.options.FileCount; ++f) {
    const double mean = run.genes.slide_log2_mean[f][g];
    if (!std::isnan(mean)) means.push_back(mean);
  }
  SlideMeans result;
  result.count = static_cast<int32_t>(means.size());
  if (means.empty()) return result;
  double sum = 0.0;
  for (double m : means)
    sum += m;
  result.mean = sum / static_cast<double>(means.size());
  if (means.size() < 2) return result;
  double squares = 0.0;
  for (double m : means)
    squares += (m - result.mean) * (m - result.mean);
  result.variance = squares / static_cast<double>(means.size() - 1);
  return result;
}

void create_test_arrays(Run& run) {
  ModeratedTest& test = run.moderated;
  const int32_t genes = run.genes.GeneNumber;
  test.slides_used = ivector(1, genes);
  test.slide_log2_mean = dvector(1, genes);
  test.t = dvector(1, genes);
  test.df = dvector(1, genes);
  test.p_value = dvector(1, genes);
  test.q_value = dvector(1, genes);
  for (int32_t g = 1; g <= genes; ++g) {
    test.slides_used[g] = 0;
    test.slide_log2_mean[g] = test.t[g] = test.df[g] = kNaN;
    test.p_value[g] = test.q_value[g] = kNaN;
  }
}

}  // namespace

void compute_moderated_test(Run& run) {
  ModeratedTest& test = run.moderated;
  const int32_t genes = run.genes.GeneNumber;
  create_test_arrays(run);

  // Each gene's slide means, and later its test, are its own: the genes are shared among the
  // threads.
  std::vector<double> variances(static_cast<std::size_t>(genes) + 1, kNaN);
  share_among_threads<std::vector<double>>(
      genes, run.options.threads, [&run, &test, &variances](int32_t g, std::vector<double>& means) {
        const SlideMeans gene = slide_means_of(run, g, means);
        test.slides_used[g] = gene.count;
        test.slide_log2_mean[g] = gene.mean;
        variances[static_cast<std::size_t>(g)] = gene.variance;
      });
  std::vector<double> prior_variances, prior_dfs;
  double pooled_df = 0.0;  // the degrees of freedom of all genes together
  for (int32_t g = 1; g <= genes; ++g) {
    const int32_t count = test.slides_used[g];
    if (count < 2) continue;
    pooled_df += count - 1;
    const double variance = variances[static_cast<std::size_t>(g)];
    if (std::isfinite(variance)) {
      prior_variances.push_back(variance);
      prior_dfs.push_back(count - 1);
    }
  }
  if (prior_variances.empty()) {
    test.made = false;
    test.not_made_because =
        "no gene has a value on two slides or more, so no gene's variance across slides can be "
        "estimated";
    return;
  }
  const VariancePrior prior = estimate_variance_prior(prior_variances, prior_dfs);
  test.made = true;
  test.prior_df = prior.df;
  test.prior_variance = prior.variance;

  // The posterior variance weighs the prior by d0 and the gene's own by d; a gene seen on one
  // slide has only the prior's.
  share_among_threads<NoScratch>(
      genes, run.options.threads, [&test, &variances, &prior, pooled_df](int32_t g, NoScratch&) {
        const int32_t n = test.slides_used[g];
        if (n == 0) return;
        const double d = n - 1;
        const double own = n >= 2 ? variances[static_cast<std::size_t>(g)] : 0.0;
        const double posterior = std::isinf(prior.df)
                                     ? prior.variance
                                     : (prior.df * prior.variance + d * own) / (prior.df + d);
        test.t[g] = test.slide_log2_mean[g] / (std::sqrt(posterior) / std::sqrt(n));
        test.df[g] = std::min(d + prior.df, pooled_df);
        test.p_value[g] = two_sided_t_p_value(test.t[g], test.df[g]);
      });
  std::vector<int32_t> tested;
  for (int32_t g = 1; g <= genes; ++g)
    if (!std::isnan(test.p_value[g])) tested.push_back(g);
  adjust_p_values(std::move(tested), test.p_value, test.q_value);
}
