// The numerical toolkit: offset-indexed arrays, descriptive statistics, the random-pivot sort with
// its random source, and the incomplete beta function behind the t-test p-value.
#pragma once

#include "numeric/arrays.hpp"

// Mean, population standard deviation (divisor n) and median of a[1..n]; n >= 1. a is not changed.
double mean_of(const DoubleVector& a, int32_t n);
double popsd_of(const DoubleVector& a, int32_t n);
double median_of(const DoubleVector& a, int32_t n);

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
