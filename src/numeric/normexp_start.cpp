// Where the maximum-likelihood normexp fit starts, as limma's normexp.fit starts its "mle" fit:
// from moment estimates, the minimum of minus twice the log-likelihood under a saddle-point
// approximation of the density, found by the Nelder-Mead method (R's optim with its default
// control, as limma's method "saddle" does). The likelihood can have more than one maximum, and
// the exact climb that follows reaches limma's only from limma's start.
//
// The density of x = mu + sigma Z + alpha E (Z standard normal, E standard exponential) has the
// cumulant generating function K(t) = mu t + sigma^2 t^2 / 2 - log(1 - alpha t), t < 1 / alpha.
// Its saddle-point approximation (Daniels 1954, Ann. Math. Statist. 25:631) at the s where
// K'(s) = x is
//   log f(x) = K(s) - s x - log(2 pi K2) / 2 + K4 / (8 K2^2) - 5 K3^2 / (24 K2^3),
// Kj the j-th derivative of K at s: the first-order term and the second-order correction added
// to it (not the logarithm of 1 plus it, the other common form; limma's values are this one's).
// With e = x - mu and w = 1 - alpha s > 0, K'(s) = x reads sigma^2 w^2 + (e alpha - sigma^2) w -
// alpha^2 = 0, whose positive root gives w and s = (1 - w) / alpha. Then K2 = sigma^2 +
// alpha^2 / w^2, K3 = 2 alpha^3 / w^3 and K4 = 6 alpha^4 / w^4; with m = sigma^2 w^2 + alpha^2 and
// r = alpha^2 / m (the exponential's share of K2),
//   log f(x) = -s e + sigma^2 s^2 / 2 - log(m) / 2 - log(2 pi) / 2 + r^2 (3/4 - 5 r / 6),
// as log w + log(K2) / 2 = log(m) / 2.
#include <algorithm>
#include <cmath>
#include <numbers>

#include "numeric/normexp_parts.hpp"
#include "numeric/numeric.hpp"

namespace {

// R's quantile of type 7 on values partly sorted in place: (1 - h) x[lo] + h x[lo + 1] at
// position (n - 1) p.
double quantile_type7(std::vector<double>& x, double p) {
  const double position = static_cast<double>(x.size() - 1) * p;
  const std::size_t lo = static_cast<std::size_t>(std::floor(position));
  std::nth_element(x.begin(), x.begin() + lo, x.end());
  const double low = x[lo];
  const double h = position - static_cast<double>(lo);
  if (h == 0.0) return low;
  const double high = *std::min_element(x.begin() + lo + 1, x.end());
  return high == low ? low : (1.0 - h) * low + h * high;
}

// log f(x) + log(2 pi) / 2 for e = x - mu, as in the comment at the top.
double saddle_point_log_density(double e, double sigma2, double alpha, double alpha2) {
  const double b = sigma2 - e * alpha;
  const double root = std::sqrt(b * b + 4.0 * sigma2 * alpha2);
  // The root without cancellation: b + root when b >= 0, else through the product of the roots.
  const double w = b >= 0.0 ? (b + root) / (2.0 * sigma2) : 2.0 * alpha2 / (root - b);
  const double s = (1.0 - w) / alpha;
  const double m = sigma2 * w * w + alpha2;
  const double r = alpha2 / m;
  return -s * e + 0.5 * sigma2 * s * s - 0.5 * std::log(m) + r * r * (0.75 - r * (5.0 / 6.0));
}

}  // namespace

NormexpParameters moment_estimates(std::vector<double> x, double sum) {
  const double lowest = *std::min_element(x.begin(), x.end());
  const double highest = *std::max_element(x.begin(), x.end());
  const double q05 = quantile_type7(x, 0.05);
  const double q10 = quantile_type7(x, 0.10);
  double mu = lowest + 0.05 * (highest - lowest);
  if (q05 > lowest)
    mu = q05;
  else if (q10 > lowest)
    mu = q10;
  double sum_squares = 0.0;
  std::size_t below = 0;
  for (double value : x)
    if (value < mu) {
      sum_squares += (value - mu) * (value - mu);
      ++below;
    }
  double alpha = sum / static_cast<double>(x.size()) - mu;
  if (alpha <= 0.0) alpha = 1e-6;
  return {mu, 0.5 * std::log(sum_squares / static_cast<double>(below)), std::log(alpha)};
}

double saddle_point_m2loglik(const WeightedValues& x, const NormexpParameters& theta) {
  const double mu = theta[0];
  const double sigma2 = std::exp(2.0 * theta[1]);
  const double alpha = std::exp(theta[2]);
  const double alpha2 = alpha * alpha;
  double sum = 0.0, count = 0.0;
  if (x.weights.empty()) {
    for (double value : x.values)
      sum += saddle_point_log_density(value - mu, sigma2, alpha, alpha2);
    count = static_cast<double>(x.values.size());
  } else {
    for (std::size_t i = 0; i < x.values.size(); ++i) {
      sum += x.weights[i] * saddle_point_log_density(x.values[i] - mu, sigma2, alpha, alpha2);
      count += x.weights[i];
    }
  }
  return -2.0 * sum + count * std::log(2.0 * std::numbers::pi);
}

SaddlePointFit fit_saddle_point(const WeightedValues& x, const NormexpParameters& start) {
  const auto m2loglik = [&x](const std::vector<double>& theta) {
    return saddle_point_m2loglik(x, {theta[0], theta[1], theta[2]});
  };
  const NelderMeadResult result = nelder_mead(m2loglik, {start[0], start[1], start[2]});
  return {{result.point[0], result.point[1], result.point[2]},
          result.value,
          result.evaluations,
          result.converged};
}
