// The saddle-point approximation of the normal-exponential log-likelihood, which limma minimises
// (as minus twice it) to find where its maximum-likelihood fit starts, here with its gradient and
// Hessian too, for Newton's method.
//
// The density of x = mu + sigma Z + alpha E (Z standard normal, E standard exponential) has the
// cumulant generating function K(s) = mu s + sigma^2 s^2 / 2 - log(1 - alpha s), s < 1 / alpha.
// Its saddle-point approximation (Daniels 1954, Ann. Math. Statist. 25:631) at the s where
// K'(s) = x is
//   log f(x) = K(s) - s x - log(2 pi K2) / 2 + K4 / (8 K2^2) - 5 K3^2 / (24 K2^3),
// Kj the j-th derivative of K at s: the first-order term and the second-order correction added
// to it (not the logarithm of 1 plus it, the other common form; limma's values are this one's).
// In u = (x - mu) / alpha and v = sigma^2 / alpha^2, with w = 1 - alpha s > 0, K'(s) = x reads
// v w^2 + (u - v) w - 1 = 0, whose positive root is w. Then K2 = alpha^2 q / w^2, K3 =
// 2 alpha^3 / w^3 and K4 = 6 alpha^4 / w^4 with q = 1 + v w^2, and with t = 1 - w and r = 1 / q,
//   log f(x) = l(u, v) - log(alpha) - log(2 pi) / 2,
//   l(u, v) = -t u + v t^2 / 2 - log(q) / 2 + r^2 (3/4 - 5 r / 6).
//
// The derivatives. Write l = F + G with F = -t u + v t^2 / 2 - log w, whose derivative in w is
// zero at the root (it is the equation of the root), and G = log w + h(q), h(q) = -log(q) / 2 +
// r^2 (3/4 - 5 r / 6). Differentiating the equation of the root, w_u = -w^2 r and w_v = w^2 t r,
// and then w_uu = 2 w^3 r^3, w_uv = r^2 (w^4 - 2 w w_v), w_vv = 2 r w w_v (1 - 2 w - v w_v). F's
// first derivatives are its partial ones, F_u = -t and F_v = t^2 / 2, so F_uu = w_u, F_uv = w_v
// and F_vv = -t w_v. With h1 = h'(q) = -r / 2 - 3 r^3 / 2 + 5 r^4 / 2, h2 = h''(q) = r^2 / 2 +
// 9 r^4 / 2 - 10 r^5 and q_w = 2 v w, q_v = w^2, G's partial derivatives in w and v combine with
// those of w into
//   A = G_w w^2 r = r (w + 2 v w^3 h1),   B = G_ww w^2 = -1 + 2 v w^2 h1 + 4 v^2 w^4 h2,
//   C = -G_wv w_u = 2 w^3 r (h1 + v w^2 h2),
//   l_u  = -t - A,
//   l_v  = t^2 / 2 + w^2 h1 + t A,
//   l_uu = w^2 r (B r - 1) + 2 A w r^2,
//   l_uv = w^2 t r (1 - B r) - C + A r (w^2 - 2 w t r),
//   l_vv = w^2 t^2 r (B r - 1) + 2 C t + w^4 h2 + 2 A w t r (1 - 2 w - v w^2 t r),
// free of divisions by w, which is small in the upper tail. In the parameters theta = (mu,
// log sigma, log alpha), u_mu = -1 / alpha, u_logalpha = -u, v_logsigma = 2 v, v_logalpha = -2 v,
// with the second derivatives u_mu,logalpha = 1 / alpha, u_logalpha,logalpha = u and v's 4 v, -4 v,
// 4 v; the chain rule then gives the gradient and Hessian from nine sums over the values (see
// saddle_point_likelihood).
#include <cmath>
#include <numbers>

#include "numeric/normexp_parts.hpp"

namespace {

// w and t = 1 - w, the roots of v w^2 - b w - 1 = 0 (b = v - u) and v t^2 - c t + u - 1 = 0
// (c = u + v), each taken without cancellation: directly where the two terms have the same sign,
// else through the product of the roots (1 - w underflows in the upper tail, where w is small, and
// is far off where sigma is much larger than alpha, where t is small and v large).
struct SaddlePointRoots {
  double w, t;
};

SaddlePointRoots saddle_point_roots(double u, double v, double half_over_v, double four_v) {
  const double b = v - u;
  const double root = std::sqrt(b * b + four_v);
  const double w = b >= 0.0 ? (b + root) * half_over_v : 2.0 / (root - b);
  const double c = u + v;
  const double t = c >= 0.0 ? 2.0 * (u - 1.0) / (c + root) : (c - root) * half_over_v;
  return {w, t};
}

// A product of factors of at least 1 grows until it passes this, then its logarithm is taken:
// the sum of the logarithms of the factors for a logarithm every few hundred values (the
// logarithm would take half the time of the sum), to within 1e-16 of each factor.
constexpr double kLargestProduct = 1e150;

// The sum of weight * log(q) over the values, for factors q of at least 1.
class LogSum {
 public:
  void add(double weight, double q) {
    if (weight != 1.0 || q > kLargestProduct) {
      sum_ += weight * std::log(q);
    } else {
      product_ *= q;
      if (product_ > kLargestProduct) {
        sum_ += std::log(product_);
        product_ = 1.0;
      }
    }
  }
  double sum() const { return sum_ + std::log(product_); }

 private:
  double sum_ = 0.0, product_ = 1.0;
};

}  // namespace

double saddle_point_m2loglik(const WeightedValues& x, const NormexpParameters& theta) {
  const double mu = theta[0];
  const double inverse_alpha = std::exp(-theta[2]);
  const double v = std::exp(2.0 * (theta[1] - theta[2]));
  const double half_over_v = 0.5 / v;
  const double four_v = 4.0 * v;
  double sum = 0.0, count = 0.0;
  LogSum log_q;
  for (std::size_t i = 0; i < x.values.size(); ++i) {
    const double weight = x.weights[i];
    const double u = (x.values[i] - mu) * inverse_alpha;
    const auto [w, t] = saddle_point_roots(u, v, half_over_v, four_v);
    const double q = 1.0 + v * w * w;
    const double r = 1.0 / q;
    sum += weight * (-t * u + 0.5 * v * t * t + r * r * (0.75 - r * (5.0 / 6.0)));
    count += weight;
    log_q.add(weight, q);
  }
  return -2.0 * sum + log_q.sum() + count * (2.0 * theta[2] + std::log(2.0 * std::numbers::pi));
}

LikelihoodPoint saddle_point_likelihood(const WeightedValues& x, const NormexpParameters& theta) {
  const double mu = theta[0];
  const double alpha = std::exp(theta[2]);
  const double inverse_alpha = std::exp(-theta[2]);
  const double v = std::exp(2.0 * (theta[1] - theta[2]));
  const double half_over_v = 0.5 / v;
  const double four_v = 4.0 * v;
  // The sums of l and of its derivatives l_u, ..., some times u or u^2, each weighted.
  double sum_l = 0.0, count = 0.0;
  double sum_u = 0.0, sum_v = 0.0, sum_uu = 0.0, sum_uv = 0.0, sum_vv = 0.0;
  double sum_u_times_u = 0.0, sum_uu_times_u = 0.0, sum_uv_times_u = 0.0, sum_uu_times_uu = 0.0;
  LogSum log_q;
  for (std::size_t i = 0; i < x.values.size(); ++i) {
    const double weight = x.weights[i];
    const double u = (x.values[i] - mu) * inverse_alpha;
    const auto [w, t] = saddle_point_roots(u, v, half_over_v, four_v);
    const double ww = w * w;
    const double q = 1.0 + v * ww;
    const double r = 1.0 / q;
    const double rr = r * r;
    const double h1 = -0.5 * r - 1.5 * rr * r + 2.5 * rr * rr;
    const double h2 = 0.5 * rr + 4.5 * rr * rr - 10.0 * rr * rr * r;
    const double a = r * (w + 2.0 * v * ww * w * h1);
    const double b = -1.0 + 2.0 * v * ww * h1 + 4.0 * v * v * ww * ww * h2;
    const double c = 2.0 * ww * w * r * (h1 + v * ww * h2);
    const double wwr = ww * r;
    const double l_u = -t - a;
    const double l_v = 0.5 * t * t + ww * h1 + t * a;
    const double l_uu = wwr * (b * r - 1.0) + 2.0 * a * w * rr;
    const double l_uv = wwr * t * (1.0 - b * r) - c + a * r * (ww - 2.0 * w * t * r);
    const double l_vv = wwr * t * t * (b * r - 1.0) + 2.0 * c * t + ww * ww * h2 +
                        2.0 * a * w * t * r * (1.0 - 2.0 * w - v * wwr * t);
    sum_l += weight * (-t * u + 0.5 * v * t * t + rr * (0.75 - r * (5.0 / 6.0)));
    count += weight;
    log_q.add(weight, q);
    sum_u += weight * l_u;
    sum_v += weight * l_v;
    sum_uu += weight * l_uu;
    sum_uv += weight * l_uv;
    sum_vv += weight * l_vv;
    sum_u_times_u += weight * u * l_u;
    sum_uu_times_u += weight * u * l_uu;
    sum_uv_times_u += weight * u * l_uv;
    sum_uu_times_uu += weight * u * u * l_uu;
  }
  LikelihoodPoint point;
  point.log_likelihood =
      sum_l - 0.5 * log_q.sum() - count * (theta[2] + 0.5 * std::log(2.0 * std::numbers::pi));
  point.gradient = {-sum_u * inverse_alpha, 2.0 * v * sum_v,
                    -sum_u_times_u - 2.0 * v * sum_v - count};
  NormexpMatrix& h = point.hessian;
  h[0][0] = sum_uu * inverse_alpha * inverse_alpha;
  h[0][1] = -2.0 * v * sum_uv * inverse_alpha;
  h[0][2] = (sum_uu_times_u + 2.0 * v * sum_uv + sum_u) / alpha;
  h[1][1] = 4.0 * v * v * sum_vv + 4.0 * v * sum_v;
  h[1][2] = -2.0 * v * sum_uv_times_u - 4.0 * v * v * sum_vv - 4.0 * v * sum_v;
  h[2][2] = sum_uu_times_uu + 4.0 * v * sum_uv_times_u + 4.0 * v * v * sum_vv + sum_u_times_u +
            4.0 * v * sum_v;
  h[1][0] = h[0][1];
  h[2][0] = h[0][2];
  h[2][1] = h[1][2];
  return point;
}
