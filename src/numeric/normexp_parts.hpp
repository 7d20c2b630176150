// The parts of the normexp fit (normexp_fit.cpp) that have a file of their own: where its climb
// starts (normexp_start.cpp), the saddle-point approximation of the likelihood that finds that
// start (normexp_saddle_point.cpp) and the climb itself, which both use (normexp_climb.cpp).
#pragma once

#include <array>
#include <cstddef>
#include <functional>
#include <optional>
#include <vector>

#include "numeric/normexp.hpp"

// The parameters mu, log sigma and log alpha.
using NormexpParameters = std::array<double, 3>;
using NormexpMatrix = std::array<NormexpParameters, 3>;

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

// A log-likelihood, exact or approximate, at some parameters, with its gradient and Hessian in
// them.
struct LikelihoodPoint {
  double log_likelihood;
  NormexpParameters gradient;
  NormexpMatrix hessian;
};

// Minus twice the log-likelihood of the values under the saddle-point approximation of the
// normal-exponential density, at theta; not finite where the approximation breaks down.
double saddle_point_m2loglik(const WeightedValues& x, const NormexpParameters& theta);
// The same approximation as a log-likelihood (minus half of the above, to rounding), with its
// gradient and Hessian.
LikelihoodPoint saddle_point_likelihood(const WeightedValues& x, const NormexpParameters& theta);

// The values in ascending order with those from `lowest_grouped` on gathered into at most
// `groups` groups of neighbours of about equal weight, each one value, the weighted mean of its
// members, with their total weight; the values below it stay as they are, and so do all of them
// when there are no more than `groups` from it on. The sum of a smooth function over the values
// is, over the groups, exact to the second order in each group's spread.
struct GroupedValues {
  std::vector<double> values;
  std::vector<double> weights;
};
GroupedValues group_values(const WeightedValues& x, double lowest_grouped, std::size_t groups);

// The minimum of saddle_point_m2loglik found by the Nelder-Mead method from `start`.
struct SaddlePointFit {
  NormexpParameters theta;
  double m2loglik;  // not finite when the approximation is not finite at the start
  int evaluations;
  bool converged;
};
SaddlePointFit fit_saddle_point(const WeightedValues& x, const NormexpParameters& start);

// Where the maximum-likelihood fit starts: the point at which limma's Nelder-Mead search of
// the saddle-point approximation stops, or near enough to it for the exact climb to reach the
// same maximum (see normexp_start.cpp). `evaluations` counts the passes over the values of the
// approximation with its derivatives, and of the approximation alone when the Nelder-Mead method
// had to be run; `m2loglik` is not finite when the approximation is not finite at the moment
// estimates, which are then the start.
struct NormexpStart {
  NormexpParameters theta;
  double m2loglik;
  int evaluations;
  bool by_nelder_mead;
};
NormexpStart find_start(const WeightedValues& x, const NormexpParameters& moments);

// Climbs a log-likelihood from theta, whose evaluation `at` is, by Levenberg-Marquardt steps (see
// normexp_climb.cpp), for at most `step_limit` steps. `edge_ahead`, when given, tells whether the
// climb at a point of that log-likelihood is bound for an edge of the parameter space, which ends
// it. Returns converged, the edge, or not_converged when the step limit came first; theta and `at`
// are then the point reached, and `passes` grows by the evaluations made.
using LikelihoodFunction = std::function<LikelihoodPoint(const NormexpParameters&)>;
using EdgeTest =
    std::function<std::optional<NormexpStatus>(const NormexpParameters&, double log_likelihood)>;
NormexpStatus climb(const LikelihoodFunction& evaluate, const EdgeTest& edge_ahead, double count,
                    int step_limit, NormexpParameters& theta, LikelihoodPoint& at, int& passes);
