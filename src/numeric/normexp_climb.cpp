// The climb of the normexp fit to the maximum of a log-likelihood L(theta) in theta = (mu,
// log sigma, log alpha): the exact likelihood (normexp_fit.cpp) and its saddle-point approximation
// (normexp_start.cpp). Levenberg-Marquardt steps (Levenberg 1944, Quart. Appl. Math. 2:164;
// Marquardt 1963, J. SIAM 11:431) solve
//   (-H + lambda D) step = g,   D = n diag(1 / sigma^2, 1, 1),
// g and H the gradient and Hessian of L, n the number of values: a move of mu by one sigma weighs
// as much as one of log sigma or log alpha by 1. Lambda 0 is Newton's step, a large lambda a short
// step up the gradient. Lambda falls tenfold after a step that gains (to 0, Newton's method, once
// it is small) and rises tenfold until a step gains. No step moves mu by more than one sigma, or
// log sigma or log alpha by more than 1: far from the maximum, the quadratic model can send a step
// to where every value lies many sigmas above mu and the likelihood no longer depends on sigma.
//
// The climb ends with a Newton step smaller than the tolerance, taken without another pass (its
// gain is that of the quadratic model, half the slope); when a step gains (or, below the
// tolerance, loses) nothing more than rounding; when no step gains any more; or when the caller's
// test finds it bound for an edge of the parameter space.
#include <algorithm>
#include <cmath>

#include "numeric/normexp_parts.hpp"

namespace {

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
// The longest step, in sigmas for mu and in units of log sigma and log alpha.
constexpr double kLongestStep = 1.0;

// Solves a x = b for a symmetric positive definite 3 x 3 matrix a by Cholesky's factorisation
// a = l l', written out; false when a is not positive definite.
bool solve_positive_definite(const NormexpMatrix& a, const NormexpParameters& b,
                             NormexpParameters& x) {
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

// The Levenberg-Marquardt step of the comment at the top; false when its matrix is not positive
// definite.
bool damped_newton_step(const LikelihoodPoint& at, double count, double sigma, double lambda,
                        NormexpParameters& step) {
  NormexpMatrix matrix;
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j)
      matrix[i][j] = -at.hessian[i][j];
  matrix[0][0] += lambda * count / (sigma * sigma);
  matrix[1][1] += lambda * count;
  matrix[2][2] += lambda * count;
  return solve_positive_definite(matrix, at.gradient, step);
}

bool small_step(const NormexpParameters& step, const NormexpParameters& theta) {
  return std::fabs(step[0]) <= kStepTolerance * std::exp(theta[1]) &&
         std::fabs(step[1]) <= kStepTolerance && std::fabs(step[2]) <= kStepTolerance;
}

// The last step, below the tolerance, taken without another pass over the values: its gain is
// that of the quadratic model, half the slope along it.
void take_last_step(const NormexpParameters& step, NormexpParameters& theta, LikelihoodPoint& at) {
  const double slope =
      at.gradient[0] * step[0] + at.gradient[1] * step[1] + at.gradient[2] * step[2];
  for (int i = 0; i < 3; ++i)
    theta[i] += step[i];
  at.log_likelihood += 0.5 * slope;
}

}  // namespace

NormexpStatus climb(const LikelihoodFunction& evaluate, const EdgeTest& edge_ahead, double count,
                    int step_limit, NormexpParameters& theta, LikelihoodPoint& at, int& passes) {
  double lambda = 0.0;
  for (int step_count = 0; step_count < step_limit; ++step_count) {
    if (edge_ahead)
      if (const auto edge = edge_ahead(theta, at.log_likelihood)) return *edge;
    NormexpParameters step{};
    const double sigma = std::exp(theta[1]);
    while (!damped_newton_step(at, count, sigma, lambda, step)) {
      lambda = std::max(kSmallestLambda, 10.0 * lambda);
      if (lambda > kLargestLambda) return NormexpStatus::not_converged;  // not a number in H
    }
    if (lambda <= kNearlyNewton && small_step(step, theta)) {
      take_last_step(step, theta, at);
      return NormexpStatus::converged;
    }
    const double length =
        std::max({std::fabs(step[0]) / sigma, std::fabs(step[1]), std::fabs(step[2])});
    const double shortening = length > kLongestStep ? kLongestStep / length : 1.0;
    NormexpParameters trial;
    for (int i = 0; i < 3; ++i)
      trial[i] = theta[i] + shortening * step[i];
    const LikelihoodPoint next = evaluate(trial);
    ++passes;
    if (next.log_likelihood > at.log_likelihood) {
      const bool flat = lambda == 0.0 && next.log_likelihood - at.log_likelihood <=
                                             kFlatGain * std::fabs(next.log_likelihood);
      theta = trial;
      at = next;
      if (flat) return NormexpStatus::converged;
      lambda = lambda < 10.0 * kSmallestLambda ? 0.0 : lambda / 10.0;
    } else {
      // A step below the tolerance, nearly Newton's, that loses is lost in rounding: the climb is
      // at the top (lambda, a tenth of the lambda before, may lie a rounding above kNearlyNewton),
      // and the step still takes it nearer, as the last step does.
      if (lambda < 10.0 * kNearlyNewton && small_step(step, theta)) {
        take_last_step(step, theta, at);
        return NormexpStatus::converged;
      }
      lambda = std::max(1e-3, 10.0 * lambda);
      if (lambda > kLargestLambda) return NormexpStatus::converged;
    }
  }
  return NormexpStatus::not_converged;
}
