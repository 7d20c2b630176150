// The lower tail of the standard normal distribution on the log scale, and the mean of a normal
// variable truncated to the positive half-line.
//
// Phi(z) = erfc(-z / sqrt 2) / 2, which std::erfc gives to full relative accuracy as long as the
// result is a normal number (down to z = -37). Below that, the asymptotic series
//   Phi(z) = phi(z) / |z| * S(y),  S(y) = 1 - y + 3y^2 - 15y^3 + 105y^4 - 945y^5 + 10395y^6,
// y = 1 / z^2 (Abramowitz and Stegun 26.2.12) is summed to beyond double precision: the next
// term, 135135 y^7, is below 2e-17 there. So log Phi(z) = -z^2 / 2 - log|z| - log(2 pi) / 2 +
// log S and phi / Phi = |z| / S never underflow.
#include <cmath>
#include <numbers>

#include "numeric/normexp.hpp"

namespace {

// Below this z the series replaces erfc; above the upper one Phi(z) is 1 to rounding.
constexpr double kSeriesBelow = -37.0;
constexpr double kCdfIsOneAbove = 9.0;

const double kLogSqrtTwoPi = 0.5 * std::log(2.0 * std::numbers::pi);
const double kInverseSqrtTwoPi = 1.0 / std::sqrt(2.0 * std::numbers::pi);

// S(y) of the asymptotic series, and T(y) = (1 - S(y)) / y, by Horner's rule.
double series_s(double y) {
  return 1.0 -
         y * (1.0 -
              3.0 * y * (1.0 - 5.0 * y * (1.0 - 7.0 * y * (1.0 - 9.0 * y * (1.0 - 11.0 * y)))));
}
double series_t(double y) {
  return 1.0 - 3.0 * y * (1.0 - 5.0 * y * (1.0 - 7.0 * y * (1.0 - 9.0 * y * (1.0 - 11.0 * y))));
}

}  // namespace

NormalTail normal_tail(double z) {
  if (z > kCdfIsOneAbove) return {0.0, 0.0};
  if (z < kSeriesBelow) {
    const double s = series_s(1.0 / (z * z));
    return {-0.5 * z * z - std::log(-z) - kLogSqrtTwoPi + std::log(s), -z / s};
  }
  const double cdf = 0.5 * std::erfc(-z * std::numbers::sqrt2 / 2.0);
  const double density = kInverseSqrtTwoPi * std::exp(-0.5 * z * z);
  return {std::log(cdf), density / cdf};
}

// mean + sd r(c). Far below 0 the two terms cancel: with the series, c + r(c) = c + |c| / S =
// |c| (1 - S) / S, and 1 - S = y T(y) with T = 1 - 3y + 15y^2 - ..., so the mean is
// sd T / (|c| S), which keeps every digit.
double positive_normal_mean(double mean, double sd) {
  const double c = mean / sd;
  if (c < kSeriesBelow) {
    const double y = 1.0 / (c * c);
    return sd * series_t(y) / (-c * series_s(y));
  }
  return mean + sd * normal_tail(c).hazard;
}
