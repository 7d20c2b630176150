// Draws for simulated channels from a hash of k, computed alike in R (the same C library gives the
// same sin, log and cos, to the bit):
//   u <- function(k, j) { v <- sin(k * 1.0 + j * 0.5) * 43758.5453; v - floor(v) }
//   normal <- function(k, a, b) sqrt(-2 * log(1 - u(k, a))) * cos(2 * pi * u(k, b))
//   k <- 1:2000; e <- -log(1 - u(k, 3))
#pragma once

#include <cmath>
#include <numbers>

inline double uniform(int k, int j) {
  const double v = std::sin(k * 1.0 + j * 0.5) * 43758.5453;
  return v - std::floor(v);
}

inline double normal(int k, int a, int b) {
  return std::sqrt(-2.0 * std::log(1.0 - uniform(k, a))) *
         std::cos(2.0 * std::numbers::pi * uniform(k, b));
}

inline double exponential(int k) {
  return -std::log(1.0 - uniform(k, 3));
}
