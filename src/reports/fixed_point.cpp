#include "reports/fixed_point.hpp"

#include <bit>
#include <cassert>
#include <charconv>
#include <cmath>
#include <cstdint>

namespace {

// A 128-bit product holds a 53-bit significand times 5^6 exactly.
__extension__ using uint128 = unsigned __int128;

constexpr uint64_t kPowersOfTen[kMaxDecimals + 1] = {1, 10, 100, 1000, 10000, 100000, 1000000};
constexpr uint64_t kPowersOfFive[kMaxDecimals + 1] = {1, 5, 25, 125, 625, 3125, 15625};

// Magnitudes below this have a scaled value (magnitude * 10^6) that fits in 64 bits.
constexpr double kLargestExact = 0x1p43;

// Sets scaled to magnitude * 10^decimals rounded to an integer, nearest with ties to even, worked
// out exactly: magnitude = significand * 2^exponent, so magnitude * 10^decimals is
// significand * 5^decimals / 2^(-exponent - decimals). False for magnitudes of 2^43 and more.
bool round_scaled(double magnitude, int decimals, uint64_t& scaled) {
  if (!(magnitude < kLargestExact)) return false;
  const auto bits = std::bit_cast<uint64_t>(magnitude);
  const auto biased_exponent = static_cast<int>(bits >> 52);
  uint64_t significand = bits & ((uint64_t{1} << 52) - 1);
  int exponent = -1074;  // of the subnormal numbers and zero
  if (biased_exponent != 0) {
    significand |= uint64_t{1} << 52;
    exponent = biased_exponent - 1075;
  }
  // Below 2^43 the exponent is at most -10, so the shift is at least 4.
  const int shift = -exponent - decimals;
  // The product stays below 2^67, so from this shift on it is less than half of 2^shift.
  if (shift >= 68) {
    scaled = 0;
    return true;
  }
  const uint128 product = uint128{significand} * kPowersOfFive[decimals];
  scaled = static_cast<uint64_t>(product >> shift);
  const uint128 remainder = product - (uint128{scaled} << shift);
  const uint128 half = uint128{1} << (shift - 1);
  if (remainder > half || (remainder == half && scaled % 2 == 1)) ++scaled;
  return true;
}

}  // namespace

std::size_t write_fixed(char* text, double value, int decimals) {
  assert(std::isfinite(value) && decimals >= 0 && decimals <= kMaxDecimals);
  uint64_t scaled = 0;
  if (!round_scaled(std::fabs(value), decimals, scaled)) {
    std::to_chars_result result =
        std::to_chars(text, text + kLongestFixed, value, std::chars_format::fixed, decimals);
    return static_cast<std::size_t>(result.ptr - text);
  }

  // The whole part, then the decimals with their leading zeros, from the last one back.
  const uint64_t unit = kPowersOfTen[decimals];
  char* end = text;
  if (std::signbit(value)) *end++ = '-';
  end = std::to_chars(end, text + kLongestFixed, scaled / unit).ptr;
  if (decimals > 0) {
    *end++ = '.';
    auto fraction = static_cast<uint32_t>(scaled % unit);
    for (int i = decimals - 1; i >= 0; --i) {
      end[i] = static_cast<char>('0' + fraction % 10);
      fraction /= 10;
    }
    end += decimals;
  }
  return static_cast<std::size_t>(end - text);
}
