// The parts of the normexp fit (normexp_fit.cpp) that have a file of their own: where its climb
// starts (normexp_start.cpp).
#pragma once

#include <array>
#include <cstddef>
#include <vector>

// The parameters mu, log sigma and log alpha.
using NormexpParameters = std::array<double, 3>;

// The values to fit, each once with its weight, how often it occurs.
struct WeightedValues {
  const std::vector<double>& values;
  const std::vector<double>& weights;
};

// limma's moment estimates from the values (in ascending order, `count` of them with their
// weights, adding up to `sum`): mu the 5% quantile (the 10%, or 5% of the range above the lowest
// value, when that equals the lowest), sigma^2 the mean square of x - mu below mu, alpha the mean
// of x less mu (1e-6 if that is not positive). Needs two different values.
NormexpParameters moment_estimates(const WeightedValues& x, double count, double sum);

// Minus twice the log-likelihood of the values under the saddle-point approximation of the
// normal-exponential density, at theta; not finite where the approximation breaks down.
double saddle_point_m2loglik(const WeightedValues& x, const NormexpParameters& theta);

// The minimum of saddle_point_m2loglik found by the Nelder-Mead method from `start`.
struct SaddlePointFit {
  NormexpParameters theta;
  double m2loglik;  // not finite when the approximation is not finite at the start
  int evaluations;
  bool converged;
};
SaddlePointFit fit_saddle_point(const WeightedValues& x, const NormexpParameters& start);
