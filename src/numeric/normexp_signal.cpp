// The expected signal of a spot given its intensity x under a fitted normal-exponential model
// (limma's normexp.signal): the signal given x is the exponential's density times the normal's,
// a normal of mean x - mu - sigma^2 / alpha and standard deviation sigma truncated to the
// positive half-line, so E[signal | x] = m + sigma phi(m / sigma) / Phi(m / sigma) with
// m = x - mu - sigma^2 / alpha. With sigma = 0 (no background spread) it is x - mu, with
// alpha = 0 (no signal) 0.
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "numeric/normexp.hpp"

namespace {

// The signals of recent values, by a hash of their bits: the whole-number intensities of many
// scanners repeat a few thousand values over tens of thousands of spots.
class SignalCache {
 public:
  SignalCache() {
    for (Entry& entry : entries_)
      entry.x = std::numeric_limits<double>::quiet_NaN();
  }

  // The signal of x, computed by `signal_of` unless x was met lately.
  template <class Signal>
  double signal(double x, const Signal& signal_of) {
    const std::uint64_t hash = std::bit_cast<std::uint64_t>(x) * 0x9E3779B97F4A7C15u;
    Entry& entry = entries_[hash >> (64 - kBits)];
    if (entry.x != x) entry = {x, signal_of(x)};
    return entry.signal;
  }

 private:
  static constexpr int kBits = 12;
  struct Entry {
    double x, signal;
  };
  std::array<Entry, std::size_t{1} << kBits> entries_;
};

}  // namespace

void normexp_signal(const NormexpFit& fit, const double* x, std::size_t n, double offset,
                    double* corrected) {
  const double sigma = std::exp(fit.log_sigma);
  const double variance_over_alpha = sigma * sigma / std::exp(fit.log_alpha);
  const auto signal_of = [&](double value) {
    if (sigma == 0.0) return value - fit.mu;
    if (fit.log_alpha == -std::numeric_limits<double>::infinity()) return 0.0;
    return positive_normal_mean(value - fit.mu - variance_over_alpha, sigma);
  };
  SignalCache cache;
  for (std::size_t i = 0; i < n; ++i)
    corrected[i] = std::isfinite(x[i]) ? cache.signal(x[i], signal_of) + offset
                                       : std::numeric_limits<double>::quiet_NaN();
}

bool usable(const NormexpFit& fit) {
  return fit.status != NormexpStatus::too_few_values && fit.status != NormexpStatus::all_equal;
}

NormexpFit normexp_correct(const double* foreground, const double* background, std::size_t n,
                           double offset, double* corrected) {
  std::vector<double> x(foreground, foreground + n);
  if (background != nullptr)
    for (std::size_t i = 0; i < n; ++i)
      x[i] -= background[i];
  const NormexpFit fit = fit_normexp(x.data(), n);
  if (!usable(fit)) {
    for (std::size_t i = 0; i < n; ++i)
      corrected[i] = std::numeric_limits<double>::quiet_NaN();
    return fit;
  }
  normexp_signal(fit, x.data(), n, offset, corrected);
  return fit;
}
