// Benjamini-Hochberg adjusted p-values (Benjamini and Hochberg 1995): with the m p-values that are
// numbers sorted ascending, the q of rank i is the smallest (m / j) p_(j) over the ranks j >= i,
// at most 1. Tied p-values stand next to each other, so the smallest over the ranks above gives
// them all the same q.
#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

#include "numeric/numeric.hpp"

std::vector<double> benjamini_hochberg(const std::vector<double>& p_values) {
  std::vector<double> q(p_values.size(), std::numeric_limits<double>::quiet_NaN());
  // The p-values with their places, ascending; tied ones in the order of their places.
  std::vector<std::pair<double, std::size_t>> ranked;
  for (std::size_t g = 0; g < p_values.size(); ++g)
    if (!std::isnan(p_values[g])) ranked.emplace_back(p_values[g], g);
  std::sort(ranked.begin(), ranked.end());
  const auto m = static_cast<double>(ranked.size());
  double smallest = 1.0;
  for (std::size_t i = ranked.size(); i > 0; --i) {
    smallest = std::min(smallest, m / static_cast<double>(i) * ranked[i - 1].first);
    q[ranked[i - 1].second] = smallest;
  }
  return q;
}
