// Benjamini-Hochberg adjusted p-values (false-discovery rates) over the genes with a p-value.
#include <limits>
#include <vector>

#include "analysis/analysis.hpp"
#include "numeric/numeric.hpp"

void adjust_p_values(std::vector<int32_t> tested, const DoubleVector& p, const DoubleVector& q) {
  std::vector<double> tested_p;
  for (int32_t g : tested)
    tested_p.push_back(p[g]);
  const std::vector<double> adjusted = benjamini_hochberg(tested_p);
  for (std::size_t i = 0; i < tested.size(); ++i)
    q[tested[i]] = adjusted[i];
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
