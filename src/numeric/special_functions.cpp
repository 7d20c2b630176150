// The special functions of the moderated t-test, from Boost.Math. Outside their domain they give
// not-a-number instead of throwing, like the arithmetic around them.
#include <boost/math/distributions/students_t.hpp>
#include <boost/math/special_functions/digamma.hpp>
#include <boost/math/special_functions/polygamma.hpp>
#include <boost/math/special_functions/trigamma.hpp>
#include <cmath>
#include <limits>

#include "numeric/numeric.hpp"

namespace {

using namespace boost::math::policies;
using QuietPolicy = policy<domain_error<ignore_error>, pole_error<ignore_error>,
                           overflow_error<ignore_error>, evaluation_error<ignore_error>>;

// Newton's iteration for the inverse of the trigamma function stops when a step changes y by
// less than this share of it, or after this many steps.
constexpr double kInverseTolerance = 1e-8;
constexpr int kInverseSteps = 50;

}  // namespace

double digamma(double x) {
  return boost::math::digamma(x, QuietPolicy());
}

double trigamma(double x) {
  return boost::math::trigamma(x, QuietPolicy());
}

// Smyth (2004), appendix: Newton's iteration on 1 / trigamma, which is nearly linear, from
// y = 0.5 + 1 / x; far out on either side, the asymptotes trigamma(y) ~ 1 / y for large y and
// 1 / y^2 for small y give the inverse directly.
double trigamma_inverse(double x) {
  if (!(x > 0.0)) return std::numeric_limits<double>::quiet_NaN();
  if (x > 1e7) return 1.0 / std::sqrt(x);
  if (x < 1e-6) return 1.0 / x;
  double y = 0.5 + 1.0 / x;
  for (int step = 1; step <= kInverseSteps; ++step) {
    const double tri = trigamma(y);
    const double change = tri * (1.0 - tri / x) / boost::math::polygamma(2, y, QuietPolicy());
    y += change;
    if (-change / y < kInverseTolerance) break;
  }
  return y;
}

double two_sided_t_p_value(double t, double df) {
  if (std::isnan(t) || !(df > 0.0)) return std::numeric_limits<double>::quiet_NaN();
  const boost::math::students_t_distribution<double, QuietPolicy> distribution(df);
  return 2.0 * boost::math::cdf(boost::math::complement(distribution, std::fabs(t)));
}

double t_upper_quantile(double p, double df) {
  const boost::math::students_t_distribution<double, QuietPolicy> distribution(df);
  return boost::math::quantile(boost::math::complement(distribution, p));
}
