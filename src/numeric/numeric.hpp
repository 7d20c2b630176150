// The numerical toolkit: offset-indexed arrays, descriptive statistics, the random-pivot sort with
// its random source, the incomplete beta function behind the t-test p-value, the lowess smoother
// with and without prior weights, the special functions and variance prior of the moderated
// t-test, the F distribution, the Benjamini-Hochberg false-discovery rates and the Nelder-Mead
// minimiser. The linear models of the genes are in linear_model.hpp.
#pragma once

#include <functional>
#include <limits>
#include <vector>

#include "numeric/arrays.hpp"

// Mean, population standard deviation (divisor n) and median of a[1..n]; n >= 1. a is not changed.
double mean_of(const DoubleVector& a, int32_t n);
double popsd_of(const DoubleVector& a, int32_t n);
double median_of(const DoubleVector& a, int32_t n);
// The median of one or more values, the mean of the two middle ones for an even count, without
// the random source; reorders the values.
double median_in_place(std::vector<double>& values);
// The weighted median as limma's weighted.median(values, weights, na.rm = TRUE) takes it: of the
// values that are numbers and have a positive weight, sorted ascending (equal values in their
// order as given), the first at which the running share of the weight passes 1/2, or the mean of
// the first that reaches exactly 1/2 and the next. Not a number without any such value. Weights
// are not negative.
double weighted_median(const std::vector<double>& values, const std::vector<double>& weights);

// Sorts a[0..n-1] ascending around randomly drawn pivots.
void random_quicksort(const DoubleVector& a, int32_t n);

// Uniform draw in [0, 1) from three combined congruential generators that start at 1, 1, 1.
double uniform_random();
// Puts the generators back to their starting values, as at the start of a run (for tests).
void restart_random_source();

// ln Gamma(x) for x > 0, and the regularised incomplete beta function I_x(a, b).
double log_gamma(double x);
double betai(double a, double b, double x);
double betacf(double a, double b, double x);

// Robust locally weighted linear regression (lowess) of y on x, for points sorted by x ascending
// (ties in any order): fitted[i] is the smoothed value at x[i]. Each local line is fitted to the
// share f of the points nearest in x; `iterations` robustness passes follow the first fit; points
// within delta of the last point fitted are interpolated instead of fitted.
void lowess(const std::vector<double>& x, const std::vector<double>& y, double f, int iterations,
            double delta, std::vector<double>& fitted);

// Lowess with prior weights (not negative), as limma's weightedLowess computes it, for points
// sorted by x ascending (tied x in the order R's order() gives them, that of the points as read):
// each local line is fitted to the nearest points that hold the share `span` of the total
// weight; `iterations` passes in all, the first without robustness weights; points within delta
// of the last anchor are interpolated. Windows whose weights are all zero give not a number, as
// in weightedLowess.
void weighted_lowess(const std::vector<double>& x, const std::vector<double>& y,
                     const std::vector<double>& weights, double span, int iterations, double delta,
                     std::vector<double>& fitted);
// weightedLowess's delta for sorted x from its `npts`: 0 for as many points as x holds or more,
// else the least over k = 0 .. npts - 1 of the sum of the n - 1 - k smallest gaps between
// neighbours divided by npts - k.
double weighted_lowess_delta(const std::vector<double>& x, int points);
// The fit limma's loessFit(y, x, weights, span, iterations) makes (normalizeWithinArrays takes
// its residuals away from M), for finite points sorted as for weighted_lowess: weights held
// within [1e-5, 1e5] (not a number counts as 0); each point its own fit when span < 1/n; equal
// weights fitted by lowess() with iterations - 1 robustness passes and delta 1% of the range;
// fewer than 4 + 1/span points fitted by a weighted least-squares line; the rest by
// weighted_lowess() with the delta of 200 points.
void loess_fit(const std::vector<double>& x, const std::vector<double>& y,
               const std::vector<double>& weights, double span, int iterations,
               std::vector<double>& fitted);

// The digamma and trigamma functions, the inverse of trigamma for x > 0, and the two-sided
// p-value 2 P(T > |t|) of Student's t with df > 0 degrees of freedom (+infinity: the normal). Not
// a number outside their domain.
double digamma(double x);
double trigamma(double x);
double trigamma_inverse(double x);
double two_sided_t_p_value(double t, double df);
// The t of Student's t distribution with df degrees of freedom that is exceeded with probability
// p, 0 < p < 1.
double t_upper_quantile(double p, double df);

// The upper tail P(F > f) of Fisher's F distribution with d1 (finite) and d2 degrees of freedom
// (d2 may be +infinity), 1 for f <= 0; not a number without degrees of freedom. Also the
// two-sided p-value of Student's t with d degrees of freedom, at t^2 with 1 and d: as accurate as
// two_sided_t_p_value and some fifty times faster, for the tests of many genes.
double f_upper_tail(double f, double d1, double d2);

// The Benjamini-Hochberg adjusted p-values (false-discovery rates) of a list of p-values (0 to
// 1), over those that are numbers; not a number where the p-value is not one.
std::vector<double> benjamini_hochberg(const std::vector<double>& p_values);

// The prior of the moderated t-test: its degrees of freedom d0 (+infinity when the variances
// spread no more than their own degrees of freedom make them, 0 from a single variance) and its
// variance s0^2.
struct VariancePrior {
  double df = std::numeric_limits<double>::quiet_NaN();
  double variance = std::numeric_limits<double>::quiet_NaN();
};

// Estimates the prior from sample variances (finite, not negative) with their degrees of
// freedom (1 or more), by the moments of log s^2 (Smyth 2004, section 6.2). Not a number without
// any variance.
VariancePrior estimate_variance_prior(const std::vector<double>& variances,
                                      const std::vector<double>& dfs);

// The point of lowest value found by nelder_mead, that value, the evaluations of f it took and
// whether the simplex closed in on it (false: the evaluation limit came first, the simplex stopped
// shrinking, or f is not finite at the start, which is then the point).
struct NelderMeadResult {
  std::vector<double> point;
  double value = std::numeric_limits<double>::quiet_NaN();
  int evaluations = 0;
  bool converged = false;
};

// Minimises f from `start` by the Nelder-Mead simplex method as R's optim(start, f, method =
// "Nelder-Mead") does with its default control: reflection 1, contraction 0.5, expansion 2,
// relative tolerance sqrt(2^-52), about 1.5e-8 (reltol), and at most about 500 evaluations
// (maxit), taking the same steps.
NelderMeadResult nelder_mead(const std::function<double(const std::vector<double>&)>& f,
                             const std::vector<double>& start, int max_evaluations = 500,
                             double relative_tolerance = 1.4901161193847656e-08);
