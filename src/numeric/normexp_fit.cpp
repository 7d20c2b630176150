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
// The maximum is found by Levenberg-Marquardt steps, Newton's method once near it (see climb),
// each step no longer than one sigma in mu or one in log sigma and log alpha. It starts from
// limma's starting values: mu the 5% quantile (the 10%, or 5% of the range above the minimum,
// when that equals the minimum), sigma^2 the mean square of x - mu below mu, alpha the mean of x
// less mu (1e-6 if that is not positive); on many values, from the fit to a subset first. When
// most values are tied, each distinct one is evaluated once, weighted by its count.
//
// The likelihood can be highest at an edge of the parameter space, where it has no maximum:
// sigma -> 0 (the background a constant) or alpha -> 0 (no signal). limma's optimiser then walks
// towards the edge and stops somewhere on the way; here a climb that is bound for an edge stops,
// and the fit is whichever of the point reached and the two edges has the highest likelihood.
#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <numbers>
#include <optional>
#include <vector>

#include "numeric/between_arrays.hpp"
#include "numeric/normexp.hpp"

namespace {

using Vector3 = std::array<double, 3>;
using Matrix3 = std::array<Vector3, 3>;

constexpr double kInfinity = std::numeric_limits<double>::infinity();

// A Newton step that moves mu by less than this share of sigma, and log sigma and log alpha by
// less than this, is the last: with quadratic convergence the error left after it is of the order
// of its square.
constexpr double kStepTolerance = 1e-5;
// A Newton step that gains less than this share of the log-likelihood also ends the climb: the
// likelihood is flat along it.
constexpr double kFlatGain = 1e-15;
// Where the Hessian is not negative definite, lambda starts this small and grows tenfold until
// the matrix is positive definite: the least damping that makes it so, give or take a factor of
// ten, keeps the steps long in the flat regions towards the edges.
constexpr double kSmallestLambda = 1e-9;
// A step damped by at most this lambda is Newton's to within lambda of itself.
constexpr double kNearlyNewton = 1e-6;
// Lambda so large that a step of the gradient's length would not be seen: the climb is over.
constexpr double kLargestLambda = 1e20;
// The steps of one climb at most.
constexpr int kStepLimit = 200;
// A climb with every value this far below mu + sigma^2 / alpha in z is bound for alpha = 0.
constexpr double kNoSignalBelow = -12.0;
// No step moves mu by more than this many sigmas, or log sigma or log alpha by more than this:
// far from the maximum, the quadratic model can send a step to where every value lies many
// sigmas above mu and the likelihood no longer depends on sigma.
constexpr double kLongestStep = 1.0;
// The subset fitted first on many values, and the looser tolerance that fit stops at.
constexpr std::size_t kSubsetSize = 2048;
constexpr double kSubsetTolerance = 1e-3;

struct Evaluation {
  double log_likelihood;
  Vector3 gradient;
  Matrix3 hessian;
};

// Solves a x = b for a symmetric positive definite 3 x 3 matrix a by Cholesky's factorisation
// a = l l', written out; false when a is not positive definite.
bool solve_positive_definite(const Matrix3& a, const Vector3& b, Vector3& x) {
  if (!(a[0][0] > 0.0)) return false;
  const double l00 = std::sqrt(a[0][0]);
  const double l10 = a[1][0] / l00;
  const double l20 = a[2][0] / l00;
  const double d11 = a[1][1] - l10 * l10;
  if (!(d11 > 0.0)) return false;
  const double l11 = std::sqrt(d11);
  const double l21 = (a[2][1] - l20 * l10) / l11;
  const double d22 = a[2][2] - l20 * l20 - l21 * l21;
  if (!(d22 > 0.0)) return false;
  const double l22 = std::sqrt(d22);
  const double y0 = b[0] / l00;
  const double y1 = (b[1] - l10 * y0) / l11;
  const double y2 = (b[2] - l20 * y0 - l21 * y1) / l22;
  x[2] = y2 / l22;
  x[1] = (y1 - l21 * x[2]) / l11;
  x[0] = (y0 - l10 * x[1] - l20 * x[2]) / l00;
  return true;
}

// The Levenberg-Marquardt step: solves (-H + lambda D) step = g, D = n diag(1 / sigma^2, 1, 1)
// (a move of mu by one sigma weighs as much as one of log sigma or log alpha by 1). Lambda 0 is
// Newton's step; a large lambda a short step up the gradient. False when the matrix is not
// positive definite.
bool damped_newton_step(const Evaluation& at, double count, double sigma, double lambda,
                        Vector3& step) {
  Matrix3 matrix;
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j)
      matrix[i][j] = -at.hessian[i][j];
  matrix[0][0] += lambda * count / (sigma * sigma);
  matrix[1][1] += lambda * count;
  matrix[2][2] += lambda * count;
  return solve_positive_definite(matrix, at.gradient, step);
}

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

Vector3 starting_values(std::vector<double> x, double sum_x) {  // a copy: partly sorted here
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
  double alpha = sum_x / static_cast<double>(x.size()) - mu;
  if (alpha <= 0.0) alpha = 1e-6;
  return {mu, 0.5 * std::log(sum_squares / static_cast<double>(below)), std::log(alpha)};
}

bool small_step(const Vector3& step, const Vector3& theta, double tolerance) {
  return std::fabs(step[0]) <= tolerance * std::exp(theta[1]) && std::fabs(step[1]) <= tolerance &&
         std::fabs(step[2]) <= tolerance;
}

// The values to fit, with what the fit needs of them besides: their sum, the lowest, the smallest
// of those above the lowest, the highest, and the likelihood at the two edges of the parameter
// space, where it can be highest without a maximum:
// - sigma -> 0 with mu just below the lowest value: an exponential distribution shifted to the
//   lowest value, alpha = mean - lowest, log L = -n (log alpha + 1);
// - alpha -> 0: no signal, a normal distribution of the values' mean and variance v (divisor n),
//   log L = -n (log(2 pi v) + 1) / 2.
struct Sample {
  std::vector<double> values;
  std::vector<double> weights;  // how often each value occurs; empty: once each
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

// Whether at most half of the values differ from one another, as with the whole-number
// intensities of many scanners: then each distinct value is evaluated once, with its count as
// weight.
bool many_ties(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const auto distinct = std::unique(values.begin(), values.end()) - values.begin();
  return 2 * static_cast<std::size_t>(distinct) <= values.size();
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

Evaluation evaluate(const Sample& sample, const Vector3& theta) {
  const double mu = theta[0];
  const double sigma = std::exp(theta[1]);
  const double alpha = std::exp(theta[2]);
  const double q = sigma / alpha;
  const double inverse_sigma = 1.0 / sigma;
  double sum_l = 0.0, sum_r = 0.0, sum_rz = 0.0, sum_dr = 0.0, sum_drz = 0.0, sum_drzz = 0.0;
  const bool weighted = !sample.weights.empty();
  for (std::size_t i = 0; i < sample.values.size(); ++i) {
    const double z = (sample.values[i] - mu) * inverse_sigma - q;
    const NormalTail tail = normal_tail(z);
    const double weight = weighted ? sample.weights[i] : 1.0;
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
  Evaluation result;
  result.log_likelihood = -n * theta[2] - sum_e / alpha + 0.5 * nqq + sum_l;
  result.gradient = {n / alpha - sum_r * inverse_sigma, nqq - sum_rz - 2.0 * q * sum_r,
                     -n + sum_e / alpha - nqq + q * sum_r};
  Matrix3& h = result.hessian;
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
std::optional<NormexpStatus> edge_ahead(const Sample& sample, const Vector3& theta,
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

// Climbs from theta to the maximum of the log-likelihood of the sample, by Levenberg-Marquardt
// steps: lambda falls tenfold after a step that gains (to 0, Newton's method, once it is small)
// and rises tenfold until a step gains. Ends with a Newton step smaller than the tolerance, which
// is taken without another pass (its gain is that of the quadratic model, half the slope), when
// no step gains any more, or when bound for an edge (no_background_spread, no_signal). `at` is
// the evaluation at the end.
NormexpStatus climb(const Sample& sample, double tolerance, Vector3& theta, Evaluation& at,
                    int& passes) {
  const double count = sample.count;
  at = evaluate(sample, theta);
  ++passes;
  double lambda = 0.0;
  for (int step_count = 0; step_count < kStepLimit; ++step_count) {
    if (const auto edge = edge_ahead(sample, theta, at.log_likelihood)) return *edge;
    Vector3 step{};
    const double sigma = std::exp(theta[1]);
    while (!damped_newton_step(at, count, sigma, lambda, step)) {
      lambda = std::max(kSmallestLambda, 10.0 * lambda);
      if (lambda > kLargestLambda) return NormexpStatus::not_converged;  // not a number in H
    }
    if (lambda <= kNearlyNewton && small_step(step, theta, tolerance)) {
      const double slope =
          at.gradient[0] * step[0] + at.gradient[1] * step[1] + at.gradient[2] * step[2];
      for (int i = 0; i < 3; ++i)
        theta[i] += step[i];
      at.log_likelihood += 0.5 * slope;
      return NormexpStatus::converged;
    }
    const double length =
        std::max({std::fabs(step[0]) / sigma, std::fabs(step[1]), std::fabs(step[2])});
    const double shortening = length > kLongestStep ? kLongestStep / length : 1.0;
    Vector3 trial;
    for (int i = 0; i < 3; ++i)
      trial[i] = theta[i] + shortening * step[i];
    const Evaluation next = evaluate(sample, trial);
    ++passes;
    if (next.log_likelihood > at.log_likelihood) {
      const bool flat = lambda == 0.0 && next.log_likelihood - at.log_likelihood <=
                                             kFlatGain * std::fabs(next.log_likelihood);
      theta = trial;
      at = next;
      if (flat) return NormexpStatus::converged;
      lambda = lambda < 10.0 * kSmallestLambda ? 0.0 : lambda / 10.0;
    } else {
      lambda = std::max(1e-3, 10.0 * lambda);
      if (lambda > kLargestLambda) return NormexpStatus::converged;
    }
  }
  return NormexpStatus::not_converged;
}

bool at_an_edge(NormexpStatus status) {
  return status == NormexpStatus::no_background_spread || status == NormexpStatus::no_signal;
}

}  // namespace

NormexpFit fit_normexp(const double* x, std::size_t n) {
  NormexpFit fit;
  std::vector<double> values;
  values.reserve(n);
  for (std::size_t i = 0; i < n; ++i)
    if (std::isfinite(x[i])) values.push_back(x[i]);
  if (values.size() < 4) return fit;
  if (*std::min_element(values.begin(), values.end()) ==
      *std::max_element(values.begin(), values.end())) {
    fit.status = NormexpStatus::all_equal;
    return fit;
  }
  Sample all = sample_of(std::move(values));

  // On many values, a fit to an evenly spread subset first brings the start within its sampling
  // error of the maximum, from where a few Newton steps over all of them suffice; the starting
  // values are then taken from the subset. A subset whose fit heads for an edge says nothing of
  // where the maximum of all of them lies, and a climb over all of them that heads for one from
  // the subset's fit starts again from the starting values.
  Sample subset;
  bool subset_usable = false;
  if (all.values.size() >= 2 * kSubsetSize) {
    const std::size_t stride = all.values.size() / kSubsetSize;
    std::vector<double> every_stride;
    for (std::size_t i = 0; i < all.values.size(); i += stride)
      every_stride.push_back(all.values[i]);
    subset_usable = *std::min_element(every_stride.begin(), every_stride.end()) !=
                    *std::max_element(every_stride.begin(), every_stride.end());
    if (subset_usable) subset = sample_of(std::move(every_stride));
  }
  const Vector3 start = subset_usable ? starting_values(subset.values, subset.sum)
                                      : starting_values(all.values, all.sum);
  if (many_ties(subset_usable ? subset.values : all.values)) gather_ties(all);
  Vector3 theta = start;
  Evaluation at;
  bool from_start = true;
  if (subset_usable) {
    int subset_passes = 0;
    if (climb(subset, kSubsetTolerance, theta, at, subset_passes) == NormexpStatus::converged)
      from_start = false;
    else
      theta = start;
  }
  fit.status = climb(all, kStepTolerance, theta, at, fit.passes);
  if (at_an_edge(fit.status) && !from_start) {
    theta = start;
    fit.status = climb(all, kStepTolerance, theta, at, fit.passes);
  }

  // The fit is the highest of the point the climb reached (unless it was bound for an edge) and
  // the two edges.
  double best = -kInfinity;
  if (!at_an_edge(fit.status) && std::isfinite(at.log_likelihood)) {
    fit.mu = theta[0];
    fit.log_sigma = theta[1];
    fit.log_alpha = theta[2];
    best = fit.log_likelihood = at.log_likelihood;
  }
  const double count = all.count;
  if (all.shifted_exponential_log_likelihood > best) {
    fit.status = NormexpStatus::no_background_spread;
    fit.mu = all.lowest;
    fit.log_sigma = -kInfinity;
    fit.log_alpha = std::log(all.sum / count - all.lowest);
    best = fit.log_likelihood = all.shifted_exponential_log_likelihood;
  }
  if (all.normal_log_likelihood > best) {
    fit.status = NormexpStatus::no_signal;
    fit.mu = all.sum / count;
    fit.log_sigma = 0.5 * std::log(all.variance);
    fit.log_alpha = -kInfinity;
    fit.log_likelihood = all.normal_log_likelihood;
  }
  return fit;
}
