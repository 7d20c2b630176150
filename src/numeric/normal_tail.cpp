// The lower tail of the standard normal distribution on the log scale, and the mean of a normal
// variable truncated to the positive half-line.
//
// Phi(z) = erfc(-z / sqrt 2) / 2, which std::erfc gives to full relative accuracy of its
// argument; but the rounding of -z / sqrt 2 is magnified by the tail's steepness into a relative
// error of about 1e-16 z^2, and erfc underflows below z = -37. Above 0 the upper tail Q = 1 - Phi
// is taken the same way, so that log Phi = log(1 - Q) keeps its relative accuracy. Below z = -12
// the asymptotic series
//   Phi(z) = phi(z) / |z| * S(y),  S(y) = 1 - y + 3y^2 - 15y^3 + ... + (-1)^k (2k - 1)!! y^k,
// y = 1 / z^2 (Abramowitz and Stegun 26.2.12), takes over: its terms fall while (2k - 1) y < 1,
// and the twentieth is below 1e-17 there. So log Phi(z) = -z^2 / 2 - log|z| - log(2 pi) / 2 +
// log S and phi / Phi = |z| / S never underflow.
#include <cmath>
#include <numbers>

#include "numeric/normexp.hpp"

namespace {

// Below this z the series replaces erfc; above the upper one Phi(z) is 1 to rounding.
constexpr double kSeriesBelow = -12.0;
constexpr int kSeriesTerms = 20;
constexpr double kCdfIsOneAbove = 9.0;
// Above this z, log(1 - Q) is summed as a series.
constexpr double kSeriesAbove = 3.0;
// Below this z the normal density is computed from a split z (see normal_density).
constexpr double kSplitBelow = -5.0;

const double kLogSqrtTwoPi = 0.5 * std::log(2.0 * std::numbers::pi);
const double kInverseSqrtTwoPi = 1.0 / std::sqrt(2.0 * std::numbers::pi);

// T(y) = (1 - S(y)) / y = 1 - 3y + 15y^2 - ..., by Horner's rule over the twenty terms of S.
double series_t(double y) {
  double t = 1.0;
  for (int k = kSeriesTerms; k >= 2; --k)
    t = 1.0 - (2 * k - 1) * y * t;
  return t;
}

// phi(z) = exp(-z^2 / 2) / sqrt(2 pi). Far out, the exponential would magnify the rounding of z^2
// (a relative error of about 1e-16 z^2 / 2), so z is split into a part h with 16 bits after the
// point, whose square is exact, and the rest l: z^2 / 2 = h^2 / 2 + l (h + z) / 2.
double normal_density(double z) {
  if (z > kSplitBelow) return kInverseSqrtTwoPi * std::exp(-0.5 * z * z);
  const double high = std::ldexp(std::trunc(std::ldexp(z, 16)), -16);
  const double low = z - high;
  return kInverseSqrtTwoPi * std::exp(-0.5 * high * high) * std::exp(-0.5 * low * (high + z));
}

// Phi(z) where erfc serves, between the series and 1.
double normal_cdf(double z) {
  return 0.5 * std::erfc(-z * std::numbers::sqrt2 / 2.0);
}

}  // namespace

NormalTail normal_tail(double z) {
  if (z > kCdfIsOneAbove) return {0.0, 0.0};
  if (z < kSeriesBelow) {
    const double y = 1.0 / (z * z);
    const double s = 1.0 - y * series_t(y);
    return {-0.5 * z * z - std::log(-z) - kLogSqrtTwoPi + std::log(s), -z / s};
  }
  if (z <= 0.0) {
    const double cdf = normal_cdf(z);
    return {std::log(cdf), normal_density(z) / cdf};
  }
  // log Phi = log(1 - Q) from the upper tail Q: by log1p, or where Q < 1.4e-3 by the series
  // -Q (1 + Q / 2 + Q^2 / 3 + ... + Q^5 / 6), whose next term, Q^6 / 7, is below 1e-18 of it.
  const double upper = normal_cdf(-z);
  const double q = upper;
  const double log_cdf =
      z > kSeriesAbove
          ? -q * (1.0 + q * (1.0 / 2 + q * (1.0 / 3 + q * (1.0 / 4 + q * (1.0 / 5 + q / 6)))))
          : std::log1p(-q);
  return {log_cdf, normal_density(z) / (1.0 - upper)};
}

// mean + sd r(c). Far below 0 the two terms cancel: with the series, c + r(c) = c + |c| / S =
// |c| (1 - S) / S, and 1 - S = y T(y) with T = 1 - 3y + 15y^2 - ..., so the mean is
// sd T / (|c| S), which keeps every digit.
double positive_normal_mean(double mean, double sd) {
  const double c = mean / sd;
  if (c < kSeriesBelow) {
    const double y = 1.0 / (c * c);
    const double t = series_t(y);
    return sd * t / (-c * (1.0 - y * t));
  }
  // The hazard alone: the signal of every spot needs no logarithm.
  const double hazard = c > kCdfIsOneAbove ? 0.0 : normal_density(c) / normal_cdf(c);
  return mean + sd * hazard;
}
