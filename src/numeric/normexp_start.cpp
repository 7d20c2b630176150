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
// In u = (x - mu) / alpha and v = sigma^2 / alpha^2, with w = 1 - alpha s > 0, K'(s) = x reads
// v w^2 + (u - v) w - 1 = 0, whose positive root is w. Then K2 = alpha^2 q / w^2, K3 =
// 2 alpha^3 / w^3 and K4 = 6 alpha^4 / w^4 with q = 1 + v w^2, and with r = 1 / q,
//   log f(x) = -(1 - w) u + v (1 - w)^2 / 2 - log(q) / 2 - log(alpha) - log(2 pi) / 2
//              + r^2 (3/4 - 5 r / 6).
#include <algorithm>
#include <cmath>
#include <numbers>

#include "numeric/normexp_parts.hpp"
#include "numeric/numeric.hpp"

namespace {

// R's quantile of type 7 of the values in ascending order, each `weights` times:
// (1 - h) x(lo) + h x(lo + 1), x(k) the k-th smallest value counting from 0, at position
// (n - 1) p = lo + h.
double quantile_type7(const WeightedValues& x, double count, double p) {
  const double position = (count - 1.0) * p;
  const double lo = std::floor(position);
  const double h = position - lo;
  std::size_t i = 0;
  double below = x.weights[0];  // the values up to x.values[i]
  while (below <= lo)
    below += x.weights[++i];
  const double low = x.values[i];
  if (h == 0.0) return low;
  const double high = below > lo + 1.0 ? low : x.values[i + 1];
  return high == low ? low : (1.0 - h) * low + h * high;
}

// The terms of log f(x) + log(alpha) + log(2 pi) / 2 for one u, as in the comment at the top,
// but log(q) / 2, left to the caller: q, always 1 or more, and the rest.
struct SaddlePointTerms {
  double q, rest;
};

SaddlePointTerms saddle_point_terms(double u, double v, double half_over_v, double four_v) {
  const double b = v - u;
  const double root = std::sqrt(b * b + four_v);
  // w and t = 1 - w, the roots of v w^2 - b w - 1 = 0 and v t^2 - c t + u - 1 = 0 (c = u + v),
  // each taken without cancellation: directly where the two terms have the same sign, else through
  // the product of the roots (1 - w underflows in the upper tail, where w is small, and is far
  // off where sigma is much larger than alpha, where t is small and v large).
  const double w = b >= 0.0 ? (b + root) * half_over_v : 2.0 / (root - b);
  const double c = u + v;
  const double t = c >= 0.0 ? 2.0 * (u - 1.0) / (c + root) : (c - root) * half_over_v;
  const double q = 1.0 + v * w * w;
  const double r = 1.0 / q;
  return {q, -t * u + 0.5 * v * t * t + r * r * (0.75 - r * (5.0 / 6.0))};
}

// A product of factors of at least 1 grows until it passes this, then its logarithm is taken:
// the sum of the logarithms of the factors for a logarithm every few hundred values (the
// logarithm would take half the time of the sum), to within 1e-16 of each factor.
constexpr double kLargestProduct = 1e150;

}  // namespace

NormexpParameters moment_estimates(const WeightedValues& x, double count, double sum) {
  const double lowest = x.values.front();
  const double highest = x.values.back();
  const double q05 = quantile_type7(x, count, 0.05);
  const double q10 = quantile_type7(x, count, 0.10);
  double mu = lowest + 0.05 * (highest - lowest);
  if (q05 > lowest)
    mu = q05;
  else if (q10 > lowest)
    mu = q10;
  double sum_squares = 0.0, below = 0.0;
  for (std::size_t i = 0; i < x.values.size() && x.values[i] < mu; ++i) {
    sum_squares += x.weights[i] * (x.values[i] - mu) * (x.values[i] - mu);
    below += x.weights[i];
  }
  double alpha = sum / count - mu;
  if (alpha <= 0.0) alpha = 1e-6;
  return {mu, 0.5 * std::log(sum_squares / below), std::log(alpha)};
}

double saddle_point_m2loglik(const WeightedValues& x, const NormexpParameters& theta) {
  const double mu = theta[0];
  const double inverse_alpha = std::exp(-theta[2]);
  const double v = std::exp(2.0 * (theta[1] - theta[2]));
  const double half_over_v = 0.5 / v;
  const double four_v = 4.0 * v;
  double sum = 0.0, count = 0.0;
  double log_q = 0.0, product = 1.0;  // the sum of the weighted log q is log_q + log(product)
  for (std::size_t i = 0; i < x.values.size(); ++i) {
    const double weight = x.weights[i];
    const SaddlePointTerms terms =
        saddle_point_terms((x.values[i] - mu) * inverse_alpha, v, half_over_v, four_v);
    sum += weight * terms.rest;
    count += weight;
    if (weight != 1.0 || terms.q > kLargestProduct) {
      log_q += weight * std::log(terms.q);
    } else {
      product *= terms.q;
      if (product > kLargestProduct) {
        log_q += std::log(product);
        product = 1.0;
      }
    }
  }
  log_q += std::log(product);
  return -2.0 * sum + log_q + count * (2.0 * theta[2] + std::log(2.0 * std::numbers::pi));
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
