// The expected signal of a spot given its intensity x under a fitted normal-exponential model
// (limma's normexp.signal): the signal given x is the exponential's density times the normal's,
// a normal of mean x - mu - sigma^2 / alpha and standard deviation sigma truncated to the
// positive half-line, so E[signal | x] = m + sigma phi(m / sigma) / Phi(m / sigma) with
// m = x - mu - sigma^2 / alpha. With sigma = 0 (no background spread) it is x - mu, with
// alpha = 0 (no signal) 0.
#include <cmath>
#include <limits>
#include <vector>

#include "numeric/normexp.hpp"

void normexp_signal(const NormexpFit& fit, const double* x, std::size_t n, double offset,
                    double* corrected) {
  const double sigma = std::exp(fit.log_sigma);
  const double variance_over_alpha = sigma * sigma / std::exp(fit.log_alpha);
  for (std::size_t i = 0; i < n; ++i) {
    if (!std::isfinite(x[i]))
      corrected[i] = std::numeric_limits<double>::quiet_NaN();
    else if (sigma == 0.0)
      corrected[i] = x[i] - fit.mu + offset;
    else if (fit.log_alpha == -std::numeric_limits<double>::infinity())
      corrected[i] = offset;
    else
      corrected[i] = positive_normal_mean(x[i] - fit.mu - variance_over_alpha, sigma) + offset;
  }
}

bool usable(const NormexpFit& fit) {
  return fit.status != NormexpStatus::too_few_values && fit.status != NormexpStatus::all_equal;
}

NormexpFit normexp_correct(const double* foreground, const double* background, std::size_t n,
                           double offset, double* corrected) {
  std::vector<double> x(foreground, foreground + n);
  if (background != nullptr)
    for (std::size_t i = 0; i < n; ++i)
      x[i] -= background[i];
  const NormexpFit fit = fit_normexp(x.data(), n);
  if (!usable(fit)) {
    for (std::size_t i = 0; i < n; ++i)
      corrected[i] = std::numeric_limits<double>::quiet_NaN();
    return fit;
  }
  normexp_signal(fit, x.data(), n, offset, corrected);
  return fit;
}
