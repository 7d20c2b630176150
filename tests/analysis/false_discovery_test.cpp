#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "analysis/analysis.hpp"
#include "numeric/numeric.hpp"

namespace {

std::vector<double> q_values_of(const std::vector<double>& p_values) {
  Run run;
  run.genes.GeneNumber = static_cast<int32_t>(p_values.size());
  run.genes.p_value = dvector(1, run.genes.GeneNumber);
  for (int32_t g = 1; g <= run.genes.GeneNumber; ++g)
    run.genes.p_value[g] = p_values[static_cast<std::size_t>(g - 1)];
  compute_q_values(run);
  std::vector<double> q;
  for (int32_t g = 1; g <= run.genes.GeneNumber; ++g)
    q.push_back(run.genes.q_value[g]);
  release_dvector(run.genes.q_value, 1, run.genes.GeneNumber);
  release_dvector(run.genes.p_value, 1, run.genes.GeneNumber);
  return q;
}

}  // namespace

// Six genes with a p-value (m = 6), one without (-1). Sorted: 0 (gene 6), 0.01 (1), 0.03 (3),
// 0.04 (2), 0.04 (4), 0.5 (7); (m / rank) * p = 0, 0.03, 0.06, 0.06, 0.048, 0.5; the smallest of
// those at or above each rank gives 0, 0.03, 0.048, 0.048, 0.048, 0.5. The tied 0.04 share theirs.
TEST(FalseDiscovery, BenjaminiHochbergWithTiesAPOfZeroAndAGeneWithoutTest) {
  const std::vector<double> q = q_values_of({0.01, 0.04, 0.03, 0.04, -1.0, 0.0, 0.5});
  EXPECT_DOUBLE_EQ(q[0], 0.03);
  EXPECT_DOUBLE_EQ(q[1], 0.048);
  EXPECT_DOUBLE_EQ(q[2], 0.048);
  EXPECT_EQ(q[1], q[3]);
  EXPECT_TRUE(std::isnan(q[4]));
  EXPECT_EQ(q[5], 0.0);
  EXPECT_DOUBLE_EQ(q[6], 0.5);
}

// Large p-values: (2 / 1) * 0.9 = 1.8 is above the 0.95 of rank 2, which rank 1 takes; nothing
// passes 1. No gene with a test leaves every q not a number.
TEST(FalseDiscovery, QValuesStayAtMostOneAndNeedATest) {
  const std::vector<double> q = q_values_of({0.9, 0.95});
  EXPECT_EQ(q[0], 0.95);
  EXPECT_EQ(q[1], 0.95);
  const std::vector<double> none = q_values_of({-1.0, -1.0});
  EXPECT_TRUE(std::isnan(none[0]) && std::isnan(none[1]));
}
