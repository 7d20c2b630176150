// The prior of the genes' variances in the moderated t-test (Smyth 2004, section 6.2): the
// sample variances s^2 with d degrees of freedom are taken as scaled F-distributed around s0^2
// with d and d0 degrees of freedom, and d0 and s0^2 are estimated by matching the mean and the
// variance of log s^2.
#include <algorithm>
#include <cmath>
#include <limits>

#include "numeric/numeric.hpp"

namespace {

// Variances far below the typical one would dominate the logarithms; for the estimate they are
// raised to this share of the median.
constexpr double kSmallestShareOfMedian = 1e-5;

}  // namespace

VariancePrior estimate_variance_prior(const std::vector<double>& variances,
                                      const std::vector<double>& dfs) {
  const std::size_t count = variances.size();
  VariancePrior prior;
  if (count == 0) return prior;
  // One variance tells nothing about their spread: it is the prior's scale, with no weight.
  if (count == 1) {
    prior.df = 0.0;
    prior.variance = variances[0];
    return prior;
  }
  std::vector<double> sorted = variances;
  double median = median_in_place(sorted);
  if (median == 0.0) median = 1.0;
  std::vector<double> raised(count), e(count);
  double e_sum = 0.0, raised_sum = 0.0, trigamma_sum = 0.0;
  // Most genes share their degrees of freedom: the functions of the last are kept.
  double half_df = 0.0, digamma_of_half = 0.0, trigamma_of_half = 0.0;
  for (std::size_t g = 0; g < count; ++g) {
    raised[g] = std::max(variances[g], kSmallestShareOfMedian * median);
    raised_sum += raised[g];
    if (g == 0 || dfs[g] / 2.0 != half_df) {
      half_df = dfs[g] / 2.0;
      digamma_of_half = digamma(half_df);
      trigamma_of_half = trigamma(half_df);
    }
    e[g] = std::log(raised[g]) - digamma_of_half + std::log(half_df);
    e_sum += e[g];
    trigamma_sum += trigamma_of_half;
  }
  const double e_mean = e_sum / static_cast<double>(count);
  double squares = 0.0;
  for (std::size_t g = 0; g < count; ++g)
    squares += (e[g] - e_mean) * (e[g] - e_mean);
  const double spread =
      squares / static_cast<double>(count - 1) - trigamma_sum / static_cast<double>(count);
  // The log variances spread no more than their degrees of freedom alone make them: the prior
  // has all the weight.
  if (!(spread > 0.0)) {
    prior.df = std::numeric_limits<double>::infinity();
    prior.variance = raised_sum / static_cast<double>(count);
    return prior;
  }
  prior.df = 2.0 * trigamma_inverse(spread);
  prior.variance = std::exp(e_mean + digamma(prior.df / 2.0) - std::log(prior.df / 2.0));
  return prior;
}
