// Maximum-likelihood fit of the normal-exponential convolution model (the "mle" fit of limma's
// normexp.fit, Silver et al. 2009, Biostatistics 10:352). With e = x - mu, q = sigma / alpha and
// z = e / sigma - q, the density of one observation is
//   f(x) = (1 / alpha) exp(-e / alpha + q^2 / 2) Phi(z),
// so log f = -log alpha - e / alpha + q^2 / 2 + log Phi(z). The parameters are theta = (mu,
// t = log sigma, u = log alpha). With L = log Phi(z), r = phi(z) / Phi(z) and r' = dr/dz =
// -r (z + r), the derivatives of z are dz/dmu = -1 / sigma, dz/dt = -z - 2q, dz/du = q, and
// d2z/dmu dt = 1 / sigma, d2z/dt2 = z, d2z/dt du = q, d2z/du2 = -q (the others 0), so that the
// gradient and Hessian of the log-likelihood come from the sums over the points of L, r, r z,
// r', r' z and r' z^2 (see evaluate). One pass over the points gives all of them.
//
// The maximum is found by Levenberg-Marquardt steps, Newton's method once near it (see
// normexp_climb.cpp). The likelihood can have more than one maximum (on whole-number intensities
// with a background spread of about 1, for one), and the climb reaches limma's only from where
// limma's starts: the minimum of a saddle-point approximation of minus twice the log-likelihood,
// which limma finds by the Nelder-Mead method from moment estimates, and which is found here by
// Newton's method, or Nelder-Mead's where that cannot (normexp_start.cpp). As limma does, the fit
// keeps that starting point when the exact likelihood does not rise from it. Each distinct value
// is evaluated once, weighted by its count, in the approximation and in the climb: the
// whole-number intensities of many scanners repeat a few thousand values over tens of thousands
// of spots.
//
// The likelihood can rise towards an edge of the parameter space, where it has no maximum:
// sigma -> 0 (the background a constant) or alpha -> 0 (no signal). limma's optimiser then walks
// towards the edge and stops somewhere on the way; here a climb that is bound for an edge stops,
// and the fit is that edge. A climb that reaches a maximum inside ends there, as limma's does,
// even when an edge has a higher likelihood.
#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>
#include <optional>
#include <vector>

#include "numeric/between_arrays.hpp"
#include "numeric/normexp.hpp"
#include "numeric/normexp_parts.hpp"

namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();

// The steps of one climb at most.
constexpr int kStepLimit = 200;
// A climb with every value this far below mu + sigma^2 / alpha in z is bound for alpha = 0.
constexpr double kNoSignalBelow = -12.0;

// The values to fit, with what the fit needs of them besides: their sum, the lowest, the smallest
// of those above the lowest, the highest, and the likelihood at the two edges of the parameter
// space, where it can be highest without a maximum:
// - sigma -> 0 with mu just below the lowest value: an exponential distribution shifted to the
//   lowest value, alpha = mean - lowest, log L = -n (log alpha + 1);
// - alpha -> 0: no signal, a normal distribution of the values' mean and variance v (divisor n),
//   log L = -n (log(2 pi v) + 1) / 2.
struct Sample {
  std::vector<double> values;
  std::vector<double> weights;  // how often each value occurs (empty until gather_ties)
  double count = 0.0;           // the number of values, the sum of the weights
  double sum = 0.0;
  double lowest = 0.0;
  double next_above_lowest = 0.0;
  double highest = 0.0;
  double variance = 0.0;
  double shifted_exponential_log_likelihood = 0.0;
  double normal_log_likelihood = 0.0;
};

// Needs two different values.
Sample sample_of(std::vector<double> values) {
  Sample sample;
  sample.lowest = *std::min_element(values.begin(), values.end());
  sample.highest = *std::max_element(values.begin(), values.end());
  sample.next_above_lowest = kInfinity;
  for (double value : values) {
    sample.sum += value;
    if (value > sample.lowest) sample.next_above_lowest = std::min(sample.next_above_lowest, value);
  }
  const double count = static_cast<double>(values.size());
  sample.count = count;
  const double mean = sample.sum / count;
  double squares = 0.0;
  for (double value : values)
    squares += (value - mean) * (value - mean);
  sample.variance = squares / count;
  sample.shifted_exponential_log_likelihood = -count * (std::log(mean - sample.lowest) + 1.0);
  sample.normal_log_likelihood =
      -0.5 * count * (std::log(2.0 * std::numbers::pi * sample.variance) + 1.0);
  sample.values = std::move(values);
  return sample;
}

// Replaces the sample's values by the distinct ones, in ascending order, weighted by their counts.
void gather_ties(Sample& sample) {
  ValueSorter sorter;
  const std::vector<IndexedValue>& sorted = sorter.sort(sample.values.data(), sample.values.size());
  std::vector<double> values, weights;
  for (const IndexedValue& item : sorted) {
    if (!values.empty() && item.value == values.back()) {
      weights.back() += 1.0;
    } else {
      values.push_back(item.value);
      weights.push_back(1.0);
    }
  }
  sample.values = std::move(values);
  sample.weights = std::move(weights);
}

LikelihoodPoint evaluate(const Sample& sample, const NormexpParameters& theta) {
  const double mu = theta[0];
  const double sigma = std::exp(theta[1]);
  const double alpha = std::exp(theta[2]);
  const double q = sigma / alpha;
  const double inverse_sigma = 1.0 / sigma;
  double sum_l = 0.0, sum_r = 0.0, sum_rz = 0.0, sum_dr = 0.0, sum_drz = 0.0, sum_drzz = 0.0;
  for (std::size_t i = 0; i < sample.values.size(); ++i) {
    const double z = (sample.values[i] - mu) * inverse_sigma - q;
    const NormalTail tail = normal_tail(z);
    const double weight = sample.weights[i];
    const double r = weight * tail.hazard;
    const double dr = -r * (z + tail.hazard);
    sum_l += weight * tail.log_cdf;
    sum_r += r;
    sum_rz += r * z;
    sum_dr += dr;
    sum_drz += dr * z;
    sum_drzz += dr * z * z;
  }
  const double n = sample.count;
  const double sum_e = sample.sum - n * mu;
  const double nqq = n * q * q;
  // Sums of r' dz/dt = -r' (z + 2q) and of r' (dz/dt)^2.
  const double sum_dr_zt = -(sum_drz + 2.0 * q * sum_dr);
  const double sum_dr_zt_zt = sum_drzz + 4.0 * q * sum_drz + 4.0 * q * q * sum_dr;
  LikelihoodPoint result;
  result.log_likelihood = -n * theta[2] - sum_e / alpha + 0.5 * nqq + sum_l;
  result.gradient = {n / alpha - sum_r * inverse_sigma, nqq - sum_rz - 2.0 * q * sum_r,
                     -n + sum_e / alpha - nqq + q * sum_r};
  NormexpMatrix& h = result.hessian;
  h[0][0] = sum_dr * inverse_sigma * inverse_sigma;
  h[0][1] = (-sum_dr_zt + sum_r) * inverse_sigma;
  h[0][2] = -(n + sum_dr) / alpha;
  h[1][1] = 2.0 * nqq + sum_dr_zt_zt + sum_rz;
  h[1][2] = -2.0 * nqq + q * sum_dr_zt + q * sum_r;
  h[2][2] = -sum_e / alpha + 2.0 * nqq + q * q * sum_dr - q * sum_r;
  h[1][0] = h[0][1];
  h[2][0] = h[0][2];
  h[2][1] = h[1][2];
  return result;
}

// The edge the climb is bound for at theta, if any: it lies below that edge's likelihood, in the
// region where the likelihood rises towards it.
// - sigma -> 0: every value above the lowest is so far above mu that Phi(z) is 1 for it and it no
//   longer bears on sigma; only the lowest values hold mu down, and with mu = lowest - k sigma
//   the derivative of the likelihood in sigma is n (sigma / alpha - k) / alpha < 0.
// - alpha -> 0: every value lies so far below mu + sigma^2 / alpha (z below -12) that log Phi(z)
//   is -z^2 / 2 - log|z| to within 1 / z^2, and the likelihood that of a normal distribution to
//   within terms in alpha / sigma, which fade as alpha falls.
std::optional<NormexpStatus> edge_ahead(const Sample& sample, const NormexpParameters& theta,
                                        double log_likelihood) {
  const double sigma = std::exp(theta[1]);
  const double q = sigma / std::exp(theta[2]);
  if (log_likelihood < sample.shifted_exponential_log_likelihood &&
      normal_tail((sample.next_above_lowest - theta[0]) / sigma - q).hazard == 0.0)
    return NormexpStatus::no_background_spread;
  if (log_likelihood < sample.normal_log_likelihood &&
      (sample.highest - theta[0]) / sigma - q < kNoSignalBelow)
    return NormexpStatus::no_signal;
  return std::nullopt;
}

bool at_an_edge(NormexpStatus status) {
  return status == NormexpStatus::no_background_spread || status == NormexpStatus::no_signal;
}

// The values of x[0..n-1] that are finite, as a sample of their distinct values with their counts,
// and their moment estimates. Nothing when there are fewer than 4 or all are equal.
std::optional<NormexpStatus> prepare(const double* x, std::size_t n, Sample& sample,
                                     NormexpParameters& moments) {
  std::vector<double> values;
  values.reserve(n);
  for (std::size_t i = 0; i < n; ++i)
    if (std::isfinite(x[i])) values.push_back(x[i]);
  if (values.size() < 4) return NormexpStatus::too_few_values;
  if (*std::min_element(values.begin(), values.end()) ==
      *std::max_element(values.begin(), values.end()))
    return NormexpStatus::all_equal;
  sample = sample_of(std::move(values));
  gather_ties(sample);
  moments = moment_estimates({sample.values, sample.weights}, sample.count, sample.sum);
  return std::nullopt;
}

}  // namespace

NormexpFit fit_normexp_saddle(const double* x, std::size_t n) {
  NormexpFit fit;
  Sample all;
  NormexpParameters moments;
  if (const auto status = prepare(x, n, all, moments)) {
    fit.status = *status;
    return fit;
  }
  const SaddlePointFit saddle = fit_saddle_point({all.values, all.weights}, moments);
  fit.status = saddle.converged ? NormexpStatus::converged : NormexpStatus::not_converged;
  fit.mu = saddle.theta[0];
  fit.log_sigma = saddle.theta[1];
  fit.log_alpha = saddle.theta[2];
  fit.log_likelihood = -0.5 * saddle.m2loglik;
  fit.start_evaluations = saddle.evaluations;
  return fit;
}

NormexpFit fit_normexp(const double* x, std::size_t n) {
  NormexpFit fit;
  Sample all;
  NormexpParameters moments;
  if (const auto status = prepare(x, n, all, moments)) {
    fit.status = *status;
    return fit;
  }

  // The climb starts from the minimum of the saddle-point approximation, reached from the moment
  // estimates, as limma's does; from the moment estimates themselves if the approximation is not
  // finite there.
  const NormexpStart found = find_start({all.values, all.weights}, moments);
  fit.start_evaluations = found.evaluations;
  const NormexpParameters start = std::isfinite(found.m2loglik) ? found.theta : moments;
  NormexpParameters theta = start;
  LikelihoodPoint at = evaluate(all, theta);
  fit.passes = 1;
  const double start_log_likelihood = at.log_likelihood;
  fit.status = climb([&all](const NormexpParameters& point) { return evaluate(all, point); },
                     [&all](const NormexpParameters& point, double log_likelihood) {
                       return edge_ahead(all, point, log_likelihood);
                     },
                     all.count, kStepLimit, theta, at, fit.passes);
  // limma keeps the saddle-point fit when the exact likelihood does not rise above it there; the
  // climb here never goes down, so that happens only when it cannot take a single step.
  if (!at_an_edge(fit.status) && !(at.log_likelihood > start_log_likelihood)) {
    theta = start;
    at.log_likelihood = start_log_likelihood;
  }

  // The fit is the point the climb reached, as limma's is where its optimiser ends, even when an
  // edge has a higher likelihood: there can be a maximum inside besides the edge. A climb bound
  // for an edge ends at that edge; one that found no finite likelihood, at the higher edge.
  if (!at_an_edge(fit.status) && std::isfinite(at.log_likelihood)) {
    fit.mu = theta[0];
    fit.log_sigma = theta[1];
    fit.log_alpha = theta[2];
    fit.log_likelihood = at.log_likelihood;
    return fit;
  }
  if (!at_an_edge(fit.status))
    fit.status = all.shifted_exponential_log_likelihood >= all.normal_log_likelihood
                     ? NormexpStatus::no_background_spread
                     : NormexpStatus::no_signal;
  const double count = all.count;
  if (fit.status == NormexpStatus::no_background_spread) {
    fit.mu = all.lowest;
    fit.log_sigma = -kInfinity;
    fit.log_alpha = std::log(all.sum / count - all.lowest);
    fit.log_likelihood = all.shifted_exponential_log_likelihood;
  } else {
    fit.mu = all.sum / count;
    fit.log_sigma = 0.5 * std::log(all.variance);
    fit.log_alpha = -kInfinity;
    fit.log_likelihood = all.normal_log_likelihood;
  }
  return fit;
}
