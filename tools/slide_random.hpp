// The random source of make_slides: a splitmix64 generator with uniform, normal and log-normal
// draws. It is our own so that one seed gives the same numbers with every standard library.
#pragma once

#include <cmath>
#include <cstdint>
#include <numbers>

// Splitmix64: small, fast, and the same on every platform.
struct Random {
  std::uint64_t state;

  std::uint64_t next() {
    state += 0x9e3779b97f4a7c15ULL;
    std::uint64_t z = state;
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    return z ^ (z >> 31);
  }

  // Uniform in [0, 1), from the top 53 bits.
  double uniform() { return static_cast<double>(next() >> 11) * 0x1.0p-53; }

  double uniform(double low, double high) { return low + (high - low) * uniform(); }

  int integer(int low, int high) {
    const std::uint64_t span = static_cast<std::uint64_t>(high - low + 1);
    return low + static_cast<int>(next() % span);
  }

  bool chance(double probability) { return uniform() < probability; }

  // Standard normal by Box-Muller; the second value of each pair is dropped to keep one path.
  double normal() {
    const double u1 = 1.0 - uniform();  // in (0, 1], so the logarithm is finite
    const double u2 = uniform();
    return std::sqrt(-2.0 * std::log(u1)) * std::cos(2.0 * std::numbers::pi * u2);
  }

  // Log-normal with the given median and spread of the natural logarithm.
  double lognormal(double median, double sigma) {
    const double z = normal();
    return median * std::exp(sigma * z);
  }
};
