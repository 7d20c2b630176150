// The regularised incomplete beta function I_x(a, b), through its continued fraction.
#include <cmath>

#include "numeric/numeric.hpp"

namespace {

constexpr int MAXIT = 100;
constexpr double CF_TOLERANCE = 1.2e-7;
// Values closer to zero than this are replaced by it before anything is divided by them.
constexpr double CF_TINY = 1e-30;

double floored(double v) {
  return std::fabs(v) < CF_TINY ? CF_TINY : v;
}

}  // namespace

double betai(double a, double b, double x) {
  // Written so that a not-a-number x is refused too.
  if (!(x >= 0.0 && x <= 1.0)) fatal_error("Bad x in routine betai");

  double front = 0.0;
  if (x != 0.0 && x != 1.0) {
    double g = log_gamma(a + b) - log_gamma(a) - log_gamma(b);
    front = std::exp(g + a * std::log(x) + b * std::log(1.0 - x));
  }
  // The fraction converges fast only below this point; above it, use I_x(a, b) = 1 - I_1-x(b, a).
  if (x < (a + 1.0) / (a + b + 2.0)) return front * betacf(a, b, x) / a;
  return 1.0 - front * betacf(b, a, 1.0 - x) / b;
}

// The continued fraction of I_x(a, b), evaluated by the modified Lentz method.
double betacf(double a, double b, double x) {
  double c = 1.0;
  double d = 1.0 / floored(1.0 - (a + b) * x / (a + 1.0));
  double h = d;
  for (int m = 1; m <= MAXIT; ++m) {
    int m2 = 2 * m;
    double alpha = m * (b - m) * x / ((a - 1.0 + m2) * (a + m2));
    d = 1.0 / floored(1.0 + alpha * d);
    c = floored(1.0 + alpha / c);
    h = h * d * c;

    alpha = -(a + m) * (a + b + m) * x / ((a + m2) * (a + 1.0 + m2));
    d = 1.0 / floored(1.0 + alpha * d);
    c = floored(1.0 + alpha / c);
    double delta = d * c;
    h *= delta;
    if (std::fabs(delta - 1.0) < CF_TOLERANCE) return h;
  }
  fatal_error("a or b too big, or MAXIT too small in betacf");
}
