// Uniform random numbers from three combined multiplicative congruential generators.
//
// The state lives for the whole process and starts at 1, 1, 1, so every run draws the same
// sequence. The second generator uses 30309 (not a prime) as its modulus and divisor; from 1 it
// never reaches 0, and the sequence of a run depends on exactly this value.
#include <cmath>
#include <cstdint>

#include "numeric/numeric.hpp"

namespace {

int32_t x1 = 1;
int32_t x2 = 1;
int32_t x3 = 1;

}  // namespace

double uniform_random() {
  // Every product stays below 5.3 million, well inside 32 bits.
  x1 = (171 * x1) % 30269;
  x2 = (172 * x2) % 30309;
  x3 = (170 * x3) % 30323;
  double sum = x1 / 30269.0 + x2 / 30309.0 + x3 / 30323.0;
  return sum - std::trunc(sum);
}

void restart_random_source() {
  x1 = 1;
  x2 = 1;
  x3 = 1;
}
