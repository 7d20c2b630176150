// Benjamini-Hochberg adjusted p-values (false-discovery rates) over the genes with a p-value.
#include <algorithm>
#include <limits>
#include <vector>

#include "analysis/analysis.hpp"

void adjust_p_values(std::vector<int32_t> tested, const DoubleVector& p, const DoubleVector& q) {
  std::stable_sort(tested.begin(), tested.end(),
                   [&p](int32_t a, int32_t b) { return p[a] < p[b]; });

  // q of rank i is the smallest (m / j) * p_(j) over the ranks j >= i, at most 1. Tied p-values
  // stand next to each other, so the smallest over the ranks above gives them all the same q.
  const auto m = static_cast<double>(tested.size());
  double smallest = 1.0;
  for (std::size_t i = tested.size(); i > 0; --i) {
    const int32_t g = tested[i - 1];
    smallest = std::min(smallest, m / static_cast<double>(i) * p[g]);
    q[g] = smallest;
  }
}

void compute_q_values(Run& run) {
  const int32_t genes = run.genes.GeneNumber;
  run.genes.q_value = dvector(1, genes);
  std::vector<int32_t> tested;
  for (int32_t g = 1; g <= genes; ++g) {
    run.genes.q_value[g] = std::numeric_limits<double>::quiet_NaN();
    if (run.genes.p_value[g] >= 0.0) tested.push_back(g);
  }
  adjust_p_values(std::move(tested), run.genes.p_value, run.genes.q_value);
}
