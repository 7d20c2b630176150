// Background correction by the normal-exponential convolution model (normexp), for one channel of
// one array: the background-subtracted intensity x of a spot is taken as a normal background
// N(mu, sigma^2) plus an exponentially distributed signal of mean alpha. The three parameters are
// fitted by maximum likelihood, and every x is replaced by the expected signal given x, plus an
// offset. Not a number marks a missing value throughout; infinities are taken as missing too.
#pragma once

#include <cstddef>
#include <limits>

// log Phi(z) and the hazard phi(z) / Phi(z) of the standard normal distribution, to a relative
// error of about 1e-16 (1 + z^2) for every z, without underflow far out in the lower tail. Above
// z = 9, where Phi(z) rounds to 1 and the exact values lie below 1.2e-18, both are 0.
struct NormalTail {
  double log_cdf;
  double hazard;
};
NormalTail normal_tail(double z);

// E[Y | Y > 0] for Y ~ N(mean, sd^2), sd > 0: mean + sd phi(c) / Phi(c) with c = mean / sd.
// Positive and accurate to rounding for every mean (about sd^2 / |mean| far below 0).
double positive_normal_mean(double mean, double sd);

enum class NormexpStatus {
  converged,  // the likelihood reached its maximum
  // The likelihood is highest as sigma goes to 0: the background is the constant mu, the lowest
  // value, log_sigma is -infinity and the signal is x - mu, an exponential of mean alpha.
  no_background_spread,
  // The likelihood is highest as alpha goes to 0: the values are a normal distribution of mean mu
  // and standard deviation sigma, with no signal; log_alpha is -infinity and every signal 0.
  no_signal,
  too_few_values,  // fewer than 4 values that are not missing
  all_equal,       // no spread to fit: every value is the same
  not_converged,   // the iteration limit came first (the parameters are the best found)
};

// The fitted parameters mu, log sigma and log alpha, with the log-likelihood reached, the number
// of passes over all of the values (each gives the log-likelihood with its gradient and Hessian)
// and the number of evaluations of the saddle-point approximation that found the start (with its
// gradient and Hessian, over groups of the values or all of them, and alone by the Nelder-Mead
// method where that was needed).
struct NormexpFit {
  NormexpStatus status = NormexpStatus::too_few_values;
  double mu = std::numeric_limits<double>::quiet_NaN();
  double log_sigma = std::numeric_limits<double>::quiet_NaN();
  double log_alpha = std::numeric_limits<double>::quiet_NaN();
  double log_likelihood = std::numeric_limits<double>::quiet_NaN();
  int passes = 0;
  int start_evaluations = 0;
};

// The maximum-likelihood fit to x[0..n-1] (limma's normexp.fit(x, method = "mle")), climbing
// from the minimum of the saddle-point approximation, found by Newton's method where it lies
// inside; missing values are left out.
NormexpFit fit_normexp(const double* x, std::size_t n);
// That minimum alone as limma finds it (normexp.fit(x, method = "saddle"), by the Nelder-Mead
// method, the start of limma's fit; the fit above starts near it, or at it where Newton's method
// cannot find it): status converged or not_converged (the evaluation limit came first),
// log_likelihood minus half of limma's m2loglik, the approximate log-likelihood, and passes 0.
NormexpFit fit_normexp_saddle(const double* x, std::size_t n);
// Whether the fit has parameters: not when the status is too_few_values or all_equal.
bool usable(const NormexpFit& fit);

// corrected[i] = E[signal | x[i]] + offset under the fitted parameters (of a usable fit), missing
// where x[i] is. The signal is positive, except at the edges: 0 for the lowest values without
// background spread, and for every value without signal. corrected may be x itself.
void normexp_signal(const NormexpFit& fit, const double* x, std::size_t n, double offset,
                    double* corrected);

// One channel of one array: x = foreground - background (background may be null: no
// subtraction), fitted and replaced by its expected signal plus the offset. Returns the fit;
// when it is not usable, corrected holds not-a-number everywhere.
NormexpFit normexp_correct(const double* foreground, const double* background, std::size_t n,
                           double offset, double* corrected);
