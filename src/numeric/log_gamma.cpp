// Natural logarithm of the gamma function, by a six-term Lanczos series.
#include <cmath>

#include "numeric/numeric.hpp"

namespace {

constexpr double kSeries[6] = {76.18009173,  -86.50532033,   24.01409822,
                               -1.231739516, 0.120858003e-2, -0.536382e-5};
// Close to, but deliberately not exactly, sqrt(2 pi): the series was fitted with this value.
constexpr double kScale = 2.50662827465;

}  // namespace

// Valid for x > 0; nothing is tested.
double log_gamma(double x) {
  double y = x - 1.0;
  double t = y + 5.5;
  t -= (y + 0.5) * std::log(t);
  double series = 1.0;
  for (double coefficient : kSeries) {
    y += 1.0;
    series += coefficient / y;
  }
  return std::log(kScale * series) - t;
}
