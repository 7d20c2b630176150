#include <gtest/gtest.h>

#include <cmath>
#include <initializer_list>
#include <vector>

#include "numeric/numeric.hpp"

namespace {

// A 1-based vector holding the given values; the caller releases it.
DoubleVector vector_of(std::initializer_list<double> values) {
  DoubleVector v = dvector(1, static_cast<int64_t>(values.size()));
  int32_t i = 1;
  for (double value : values)
    v[i++] = value;
  return v;
}

}  // namespace

TEST(Statistics, MeanAndPopulationSpread) {
  DoubleVector v = vector_of({1.0, 2.0, 3.0, 4.0});
  EXPECT_EQ(mean_of(v, 4), 2.5);
  EXPECT_EQ(popsd_of(v, 4), std::sqrt(1.25));
  EXPECT_NEAR(popsd_of(v, 4), 1.1180339887, 1e-10);
  // Only a[1..n] is read.
  EXPECT_EQ(mean_of(v, 2), 1.5);
  EXPECT_EQ(popsd_of(v, 1), 0.0);
  release_dvector(v, 1, 4);
}

TEST(Statistics, MedianOfOddAndEvenCountsLeavesTheInputAlone) {
  restart_random_source();
  DoubleVector one = vector_of({5.0});
  EXPECT_EQ(median_of(one, 1), 5.0);
  release_dvector(one, 1, 1);

  DoubleVector three = vector_of({3.0, 1.0, 2.0});
  EXPECT_EQ(median_of(three, 3), 2.0);
  EXPECT_EQ(three[1], 3.0);
  EXPECT_EQ(three[2], 1.0);
  EXPECT_EQ(three[3], 2.0);
  release_dvector(three, 1, 3);

  DoubleVector four = vector_of({4.0, 1.0, 3.0, 2.0});
  EXPECT_EQ(median_of(four, 4), 2.5);
  EXPECT_EQ(four[1], 4.0);
  EXPECT_EQ(four[4], 2.0);
  release_dvector(four, 1, 4);
}

TEST(Statistics, MedianOfAList) {
  std::vector<double> odd = {5.0, 1.0, 3.0};
  EXPECT_EQ(median_in_place(odd), 3.0);
  std::vector<double> even = {4.0, 1.0, 3.0, 10.0};
  EXPECT_EQ(median_in_place(even), 3.5);
  std::vector<double> one = {-2.0};
  EXPECT_EQ(median_in_place(one), -2.0);
}

// limma's weighted.median(x, w, na.rm = TRUE): values without a number or a weight left out, the
// mean of two values where the running share of the weight is exactly 1/2, and R's sums in long
// double: summed in double, the total of 0.2, 0.1 and 0.3 would make the share exactly 1/2 at
// the second value (giving 2.5), and the running sum of 0.6, 0.2, 0.3 and 0.3 would pass 1/2 at
// the fourth (giving 4).
TEST(Statistics, WeightedMedianAsLimmaTakesIt) {
  EXPECT_EQ(weighted_median({4, 1, 3, 2}, {1, 1, 1, 1}), 2.5);
  EXPECT_EQ(weighted_median({1, 2, 3, 100}, {1, 1, 1, 0}), 2.0);
  EXPECT_EQ(weighted_median({3, NAN, 1, 2}, {1, 5, 1, 1}), 2.0);
  EXPECT_EQ(weighted_median({1, 2, 3, 4}, {1, 2, 2, 1}), 2.5);
  EXPECT_EQ(weighted_median({5, 7}, {0, 2}), 7.0);
  EXPECT_EQ(weighted_median({1, 2, 3}, {0.2, 0.1, 0.3}), 2.0);
  EXPECT_EQ(weighted_median({1, 2, 3, 4, 5}, {0.3, 0.2, 0.1, 0.3, 0.1}), 2.5);
  EXPECT_EQ(weighted_median({1, 2, 3, 4, 5, 6}, {0.6, 0.2, 0.3, 0.3, 0.7, 0.7}), 4.5);
  EXPECT_TRUE(std::isnan(weighted_median({1, 2}, {0, 0})));
  EXPECT_TRUE(std::isnan(weighted_median({NAN}, {1})));
  EXPECT_TRUE(std::isnan(weighted_median({}, {})));
}
