#include "run/fixed_point.hpp"

#include <array>
#include <bit>
#include <cassert>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

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
// Out of line, as it is rare: the common path of write_fixed then saves fewer registers.
[[gnu::noinline]] bool round_scaled(double magnitude, int decimals, uint64_t& scaled) {
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

constexpr double kDoublePowersOfTen[kMaxDecimals + 1] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6};

// The same rounding without the exact work, when the double product tells it. Below 2^52 the
// product magnitude * 10^decimals is within half a unit in its last place of the exact one, and
// its fraction is exact and a multiple of that unit. A fraction above one half is then at least a
// unit above it, so the exact value is above one half too, and likewise below; only a fraction of
// exactly one half leaves the side of the exact value open. False then, and from 2^52 on.
bool round_scaled_quickly(double magnitude, int decimals, uint64_t& scaled) {
  const double product = magnitude * kDoublePowersOfTen[decimals];
  if (!(product < 0x1p52)) return false;
  // Through int64_t, which the processor converts to in one step; the product is below 2^52.
  const auto whole = static_cast<uint64_t>(static_cast<int64_t>(product));
  const double fraction = product - static_cast<double>(whole);
  if (fraction == 0.5) return false;
  scaled = whole + (fraction > 0.5 ? 1 : 0);
  return true;
}

// "00" to "99": the two digits of every number below 100.
constexpr std::array<char, 200> kDigitPairs = [] {
  std::array<char, 200> pairs{};
  for (int i = 0; i < 100; ++i) {
    pairs[2 * i] = static_cast<char>('0' + i / 10);
    pairs[2 * i + 1] = static_cast<char>('0' + i % 10);
  }
  return pairs;
}();

void write_pair(char* at, uint32_t below_hundred) {
  std::memcpy(at, &kDigitPairs[2 * below_hundred], 2);
}

// The count digits of fraction (below 10^count), leading zeros included. The six of "%lf" come in
// three pairs that do not wait for one another; other counts one digit at a time.
void write_decimals(char* at, uint32_t fraction, int count) {
  if (count == 6) {
    write_pair(at, fraction / 10000);
    write_pair(at + 2, fraction / 100 % 100);
    write_pair(at + 4, fraction % 100);
    return;
  }
  for (int i = count - 1; i >= 0; --i) {
    at[i] = static_cast<char>('0' + fraction % 10);
    fraction /= 10;
  }
}

// The digits of number, below 10^19, two at a time from the right. The digit count is found with
// branches rather than arithmetic: a report's columns repeat their lengths, so the branches are
// mostly foreseen and the place of the next number need not wait for the digits of this one.
char* write_whole(char* at, uint64_t number) {
  int count = 1;
  for (uint64_t limit = 10; number >= limit; limit *= 10)
    ++count;
  char* const end = at + count;
  char* digit = end;
  while (number >= 100) {
    digit -= 2;
    write_pair(digit, static_cast<uint32_t>(number % 100));
    number /= 100;
  }
  if (number >= 10) {
    write_pair(digit - 2, static_cast<uint32_t>(number));
  } else {
    digit[-1] = static_cast<char>('0' + number);
  }
  return end;
}

// Magnitudes from 2^43 on, in text by to_chars (out of line, as it is rare).
[[gnu::noinline]] std::size_t write_large_fixed(char* text, double value, int decimals) {
  std::to_chars_result result =
      std::to_chars(text, text + kLongestFixed, value, std::chars_format::fixed, decimals);
  return static_cast<std::size_t>(result.ptr - text);
}

}  // namespace

std::size_t write_fixed(char* text, double value, int decimals) {
  assert(std::isfinite(value) && decimals >= 0 && decimals <= kMaxDecimals);
  uint64_t scaled = 0;
  const double magnitude = std::fabs(value);
  if (!round_scaled_quickly(magnitude, decimals, scaled) &&
      !round_scaled(magnitude, decimals, scaled)) {
    return write_large_fixed(text, value, decimals);
  }

  // The whole part, then the decimals with their leading zeros. "%lf" divides by a constant, which
  // is a multiplication; other decimals by the table's power of ten.
  const uint64_t unit = decimals == 6 ? 1000000 : kPowersOfTen[decimals];
  const uint64_t whole = decimals == 6 ? scaled / 1000000 : scaled / unit;
  char* end = text;
  if (std::signbit(value)) *end++ = '-';
  end = write_whole(end, whole);
  if (decimals > 0) {
    *end++ = '.';
    write_decimals(end, static_cast<uint32_t>(scaled - whole * unit), decimals);
    end += decimals;
  }
  return static_cast<std::size_t>(end - text);
}
