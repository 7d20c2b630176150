// The text that "%.<decimals>lf" gives for a finite double, written without printf.
#pragma once

#include <cstddef>

// Longest text of a finite double with at most kMaxDecimals decimals: a sign, 309 integer digits,
// the point and the decimals.
constexpr int kMaxDecimals = 6;
constexpr std::size_t kLongestFixed = 1 + 309 + 1 + kMaxDecimals;

// Writes the finite value in fixed point with 0 to kMaxDecimals decimals into text, which has room
// for kLongestFixed characters, and returns the number of characters written (no terminator).
// The exact binary value is rounded to the nearest, ties to even, as printf rounds it, and a
// negative value keeps its minus sign even when it rounds to zero.
std::size_t write_fixed(char* text, double value, int decimals);
