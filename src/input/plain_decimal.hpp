// The common shape of a number in a result file, such as "857.92": an optional minus sign and
// digits with an optional point, no exponent. Its value is the integer of its digits divided by a
// power of ten; when both are exact doubles, that one division rounds correctly and so gives what
// the general conversion gives, much faster. Both the reader of single numbers and the reader of
// whole spot rows take this shortcut; it is inline so that a row's eleven numbers cost no calls.
#pragma once

#include <cstddef>
#include <cstdint>

// Left uninitialised, so that a row's eleven of them cost nothing before they are scanned.
struct PlainDecimal {
  uint64_t digits;  // at most 2^53
  int decimals;     // digits after the point
  bool negative;
};

// Exact powers of ten as doubles: 10^22 is the largest one a double holds exactly, and a plain
// decimal has at most 19 digits.
constexpr double kPowersOfTen[23] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                     1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                     1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

inline bool is_decimal_digit(char c) {
  return static_cast<unsigned char>(c - '0') < 10;
}

// Scans a plain decimal that starts at first (no white space is skipped) and returns its end, the
// first character that is neither one of its digits nor its point; the caller decides what may
// follow. Null when there is no digit, or too many for the exact division (more than 19, or an
// integer of the digits above 2^53): such text needs the general conversion.
inline const char* scan_plain_decimal(const char* first, const char* last, PlainDecimal& number) {
  constexpr std::ptrdiff_t kMostDigits = 19;  // so that the integer of the digits fits in 64 bits
  const char* p = first;
  const bool negative = p != last && *p == '-';
  if (negative) ++p;
  // The digits before the point, then those after it; unsigned arithmetic wraps harmlessly when
  // there are too many, which the count then refuses.
  uint64_t digits = 0;
  const char* const whole = p;
  while (p != last && is_decimal_digit(*p))
    digits = digits * 10 + static_cast<uint64_t>(*p++ - '0');
  std::ptrdiff_t count = p - whole;
  std::ptrdiff_t decimals = 0;
  if (p != last && *p == '.') {
    const char* const fraction = ++p;
    while (p != last && is_decimal_digit(*p))
      digits = digits * 10 + static_cast<uint64_t>(*p++ - '0');
    decimals = p - fraction;
    count += decimals;
  }
  if (count == 0 || count > kMostDigits || digits > (uint64_t{1} << 53)) return nullptr;
  number.digits = digits;
  number.decimals = static_cast<int>(decimals);
  number.negative = negative;
  return p;
}

inline double plain_decimal_value(const PlainDecimal& number) {
  const double value = static_cast<double>(number.digits) / kPowersOfTen[number.decimals];
  return number.negative ? -value : value;
}
