// Where the maximum-likelihood normexp fit starts. limma's normexp.fit starts its "mle" fit from
// moment estimates, then from the minimum of minus twice the log-likelihood under the saddle-point
// approximation (normexp_saddle_point.cpp), found by the Nelder-Mead method (R's optim with its
// default control, as limma's method "saddle" does). The likelihood can have more than one
// maximum, and the exact climb that follows reaches limma's only from a start in its basin.
//
// Nelder-Mead takes 100 to 350 evaluations of the approximation over all the values. Here the
// approximation, as a log-likelihood, is climbed from the moment estimates by Newton's method with
// its exact gradient and Hessian instead (in about 7 steps): first over the values gathered into
// groups, which costs little, then over all of them from where that ended, which takes a pass or
// two. Only the values from the moment estimate of mu on are grouped, into 2,000 groups of
// neighbours: below it, where the values are few and spread out, they are what tells sigma, and
// gathered into a group they would weigh as ties, which pull towards sigma = 0. Where the
// approximation has a maximum inside, Nelder-Mead stops near it (within a few hundredths in log
// sigma on every channel checked), in the same basin of the exact likelihood. Where it has none,
// and rises on towards sigma = 0 or alpha = 0, Nelder-Mead stops somewhere on the way, which only
// it can tell, and the exact climb from there can still end at a maximum inside (on whole-number
// intensities with a spread of about 1, for one): so when Newton's method is bound for an edge, or
// has not converged within its step limit, the start is the one Nelder-Mead finds, as in limma.
#include <cmath>
#include <optional>

#include "numeric/normexp_parts.hpp"
#include "numeric/numeric.hpp"

namespace {

// The groups of the values from the moment estimate of mu on, over which Newton's method climbs
// first.
constexpr std::size_t kGroups = 2000;
// The steps of Newton's method over the groups, and then over all the values, at most: where the
// approximation has a maximum inside, the first converges within 16 on every channel checked, and
// the second within 2. A climb bound for an edge goes on until the limit, and then Nelder-Mead
// finds the start.
constexpr int kGroupedSteps = 20;
constexpr int kSteps = 10;
// A climb of the approximation with every value more than this many sigmas above mu is bound for
// sigma = 0: the normal part holds none of the values. At a maximum inside, the lowest value lies
// at most half a sigma above mu on every channel checked; a climb bound for sigma = 0 passes this
// after 3 to 15 steps (7 to 9 mostly).
constexpr double kNoneInTheNormalPart = 2.0;

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

GroupedValues group_values(const WeightedValues& x, double lowest_grouped, std::size_t groups) {
  GroupedValues grouped;
  std::size_t first = 0;  // the first value to group
  while (first < x.values.size() && x.values[first] < lowest_grouped)
    ++first;
  if (x.values.size() - first <= groups) first = x.values.size();
  grouped.values.assign(x.values.begin(), x.values.begin() + first);
  grouped.weights.assign(x.weights.begin(), x.weights.begin() + first);
  double count = 0.0;
  for (std::size_t i = first; i < x.values.size(); ++i)
    count += x.weights[i];
  // A group ends with the value at which the running weight reaches the next multiple of
  // count / groups.
  const double share = count / static_cast<double>(groups);
  double running = 0.0, next_end = share;
  double weight = 0.0, weighted_sum = 0.0;
  for (std::size_t i = first; i < x.values.size(); ++i) {
    weight += x.weights[i];
    weighted_sum += x.weights[i] * x.values[i];
    running += x.weights[i];
    if (running >= next_end || i + 1 == x.values.size()) {
      grouped.values.push_back(weighted_sum / weight);
      grouped.weights.push_back(weight);
      weight = weighted_sum = 0.0;
      while (next_end <= running)
        next_end += share;
    }
  }
  return grouped;
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

NormexpStart find_start(const WeightedValues& x, const NormexpParameters& moments) {
  const GroupedValues grouped = group_values(x, moments[0], kGroups);
  const WeightedValues groups{grouped.values, grouped.weights};
  double count = 0.0;
  for (double weight : x.weights)
    count += weight;
  const auto approximation = [](const WeightedValues& values) {
    return [&values](const NormexpParameters& theta) {
      return saddle_point_likelihood(values, theta);
    };
  };
  const double lowest = x.values.front();
  const auto bound_for_no_spread = [lowest](const NormexpParameters& theta, double) {
    return lowest - theta[0] > kNoneInTheNormalPart * std::exp(theta[1])
               ? std::optional(NormexpStatus::no_background_spread)
               : std::nullopt;
  };
  NormexpStart start{moments, 0.0, 1, false};
  LikelihoodPoint at = saddle_point_likelihood(groups, moments);
  if (!std::isfinite(at.log_likelihood)) {
    start.m2loglik = at.log_likelihood;  // as Nelder-Mead, which stops where it starts
    return start;
  }
  NormexpStatus status = climb(approximation(groups), bound_for_no_spread, count, kGroupedSteps,
                               start.theta, at, start.evaluations);
  if (status == NormexpStatus::converged && grouped.values.size() < x.values.size()) {
    at = saddle_point_likelihood(x, start.theta);
    ++start.evaluations;
    status = climb(approximation(x), bound_for_no_spread, count, kSteps, start.theta, at,
                   start.evaluations);
  }
  if (status == NormexpStatus::converged) {
    start.m2loglik = -2.0 * at.log_likelihood;
    return start;
  }
  const SaddlePointFit nelder_mead = fit_saddle_point(x, moments);
  start.theta = nelder_mead.theta;
  start.m2loglik = nelder_mead.m2loglik;
  start.evaluations += nelder_mead.evaluations;
  start.by_nelder_mead = true;
  return start;
}
