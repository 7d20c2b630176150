// Benjamini-Hochberg adjusted p-values (Benjamini and Hochberg 1995): with the m p-values that are
// numbers sorted ascending, the q of rank i is the smallest (m / j) p_(j) over the ranks j >= i,
// at most 1. Tied p-values stand next to each other, so the smallest over the ranks above gives
// them all the same q.
#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>

#include "numeric/numeric.hpp"

namespace {

// A p-value's bits, which order p-values (numbers not below 0) as the values do, and its place.
struct Ranked {
  uint64_t key;
  std::size_t place;
};

// Sorts by key, tied keys in the order given, one byte at a time from the lowest (a radix sort:
// the tests of many genes sort tens of thousands of p-values, several times faster than by
// comparisons). A byte that all keys share takes no pass.
void radix_sort(std::vector<Ranked>& items) {
  std::vector<Ranked> buffer(items.size());
  for (int shift = 0; shift < 64; shift += 8) {
    std::array<std::size_t, 257> start{};
    for (const Ranked& item : items)
      ++start[((item.key >> shift) & 0xFF) + 1];
    if (std::find(start.begin(), start.end(), items.size()) != start.end()) continue;
    for (std::size_t b = 1; b < start.size(); ++b)
      start[b] += start[b - 1];
    for (const Ranked& item : items)
      buffer[start[(item.key >> shift) & 0xFF]++] = item;
    items.swap(buffer);
  }
}

}  // namespace

std::vector<double> benjamini_hochberg(const std::vector<double>& p_values) {
  std::vector<double> q(p_values.size(), std::numeric_limits<double>::quiet_NaN());
  std::vector<Ranked> ranked;
  for (std::size_t g = 0; g < p_values.size(); ++g)
    if (!std::isnan(p_values[g])) ranked.push_back({std::bit_cast<uint64_t>(p_values[g] + 0.0), g});
  radix_sort(ranked);
  const auto m = static_cast<double>(ranked.size());
  double smallest = 1.0;
  for (std::size_t i = ranked.size(); i > 0; --i) {
    smallest = std::min(smallest, m / static_cast<double>(i) * p_values[ranked[i - 1].place]);
    q[ranked[i - 1].place] = smallest;
  }
  return q;
}
