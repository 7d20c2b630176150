#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "numeric/between_arrays.hpp"

namespace {

// The columns of arrays of `spots` values laid one after another in `values`.
std::vector<double*> columns_of(std::vector<double>& values, std::size_t spots) {
  std::vector<double*> columns;
  for (std::size_t at = 0; at + spots <= values.size(); at += spots)
    columns.push_back(values.data() + at);
  return columns;
}

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// Not-a-number where the other is, else within `tolerance`.
void expect_values(const std::vector<double>& got, const std::vector<double>& expected,
                   double tolerance) {
  ASSERT_EQ(got.size(), expected.size());
  for (std::size_t i = 0; i < got.size(); ++i) {
    if (std::isnan(expected[i]))
      EXPECT_TRUE(std::isnan(got[i])) << "value " << i;
    else
      EXPECT_NEAR(got[i], expected[i], tolerance) << "value " << i;
  }
}

// Three arrays of four spots, column by column, with ties and a spot without A (array 2) and one
// without M (array 3):
//   M <- matrix(c(1, -1, 0.5, NA, 2, 2, -0.5, 1, 1, NA, 0, 3), 4)
//   A <- matrix(c(8, 10, 10, 12, 7, NA, 9, 11, 9, 9, 9, 13), 4)
//   normalizeBetweenArrays(new("MAList", list(M = M, A = A)), method = ...)
struct Small {
  std::vector<double> m = {1, -1, 0.5, kNaN, 2, 2, -0.5, 1, 1, kNaN, 0, 3};
  std::vector<double> a = {8, 10, 10, 12, 7, kNaN, 9, 11, 9, 9, 9, 13};
};

// A larger case, 4 arrays of 500 spots, built alike in R (s the spot, j the array, from 0), with
// many ties (values in tenths) and missing values:
//   M <- floor(sin(s * 0.7 + j) * 20) / 10, NA where (s * 7 + j) %% 37 == 0
//   A <- floor((8 + 3 * cos(s * 1.3 + 2 * j) + 0.5 * sin(s * s * 0.01)) * 10) / 10,
//        NA where (s * 11 + j) %% 41 == 0
struct Larger {
  static constexpr std::size_t kArrays = 4, kSpots = 500;
  std::vector<double> m, a;
  Larger() {
    for (std::size_t j = 0; j < kArrays; ++j)
      for (std::size_t s = 0; s < kSpots; ++s) {
        const double sd = static_cast<double>(s), jd = static_cast<double>(j);
        m.push_back((s * 7 + j) % 37 == 0 ? kNaN : std::floor(std::sin(sd * 0.7 + jd) * 20) / 10);
        a.push_back((s * 11 + j) % 41 == 0 ? kNaN
                                           : std::floor((8 + 3 * std::cos(sd * 1.3 + 2 * jd) +
                                                         0.5 * std::sin(sd * sd * 0.01)) *
                                                        10) /
                                                 10);
      }
  }
};

// R's values of the larger case at these positions (array * 500 + spot), and the sums of M and
// A over the values that are not missing with the counts of the missing ones.
const std::size_t kPicked[] = {0, 1, 37, 123, 250, 499, 500, 777, 1000, 1234, 1500, 1999};

void expect_larger(const Larger& got, const std::vector<double>& m, const std::vector<double>& a,
                   double m_sum, double a_sum, int m_missing, int a_missing) {
  std::vector<double> picked_m, picked_a;
  for (std::size_t position : kPicked) {
    picked_m.push_back(got.m[position]);
    picked_a.push_back(got.a[position]);
  }
  expect_values(picked_m, m, 1e-12);
  expect_values(picked_a, a, 1e-12);
  double sum_m = 0.0, sum_a = 0.0;
  int missing_m = 0, missing_a = 0;
  for (std::size_t i = 0; i < got.m.size(); ++i) {
    if (std::isnan(got.m[i]))
      ++missing_m;
    else
      sum_m += got.m[i];
    if (std::isnan(got.a[i]))
      ++missing_a;
    else
      sum_a += got.a[i];
  }
  EXPECT_NEAR(sum_m, m_sum, 1e-10);
  EXPECT_NEAR(sum_a, a_sum, 1e-10);
  EXPECT_EQ(missing_m, m_missing);
  EXPECT_EQ(missing_a, a_missing);
}

}  // namespace

// The sorter against std::sort: missing values left out, ties, -0 and +0, values heaped in a few
// buckets, infinities (a range that is not finite), and each index naming its value.
TEST(ValueSorter, SortsLikeAComparisonSort) {
  const double inf = std::numeric_limits<double>::infinity();
  const std::vector<std::vector<double>> cases = {
      {3.0, kNaN, 1.0, 2.0, 1.0, -0.0, 0.0, -5.5, kNaN, 1e300, -1e-300},
      {inf, 1.0, -inf, 2.0, kNaN},
      {5.0, 5.0, 5.0},
      {kNaN, 4.0, kNaN},
      {},
  };
  std::vector<double> heaped;
  for (int i = 0; i < 3000; ++i)
    heaped.push_back(i % 7 == 0 ? 1e6 + i : std::sin(i) * 1e-3);
  std::vector<std::vector<double>> all = cases;
  all.push_back(heaped);
  ValueSorter sorter;
  for (const std::vector<double>& values : all) {
    const std::vector<IndexedValue>& sorted = sorter.sort(values.data(), values.size());
    std::vector<double> expected;
    for (double value : values)
      if (!std::isnan(value)) expected.push_back(value);
    std::sort(expected.begin(), expected.end());
    ASSERT_EQ(sorted.size(), expected.size());
    for (std::size_t k = 0; k < sorted.size(); ++k) {
      EXPECT_EQ(sorted[k].value, expected[k]);
      EXPECT_EQ(std::bit_cast<std::uint64_t>(values[sorted[k].index]),
                std::bit_cast<std::uint64_t>(sorted[k].value));
    }
  }
}

// Worked by hand. A's columns sorted, the second's three values read at the quarters 0, 1/3, 2/3,
// 1 of their knots 0, 1/2, 1 (7, 8 1/3, 9 2/3, 11), give the target 8, 9 1/9, 9 5/9, 12. The
// first array's tie at 10 takes rank 2.5, position 1/2 on the target: 9 1/3; the third's three
// 9s rank 2 of 4, the knot 1/3: 9 1/9; the second's 9 is rank 2 of 3, position 1/2: 9 1/3. M
// stays.
TEST(BetweenArrays, AquantileWorkedByHand) {
  Small small;
  ASSERT_TRUE(normalise_aquantile(columns_of(small.a, 4), 4));
  expect_values(small.m, Small().m, 0.0);
  const double third = 9.0 + 1.0 / 3.0, ninth = 9.0 + 1.0 / 9.0;
  expect_values(small.a, {8, third, third, 12, 8, kNaN, third, 12, ninth, ninth, ninth, 12}, 1e-14);
}

// The median absolute M of the arrays is 1, 1.5 and 1 (the missing value left out), their
// geometric mean 1.5^(1/3): the first and last arrays are multiplied by 1.5^(1/3), the second
// divided by 1.5^(2/3). A is scaled the same way from its medians 10, 9 and 9, as limma scales
// both. R's values.
TEST(BetweenArrays, ScaleAgreesWithLimma) {
  Small small;
  normalise_scale(columns_of(small.m, 4), columns_of(small.a, 4), 4);
  EXPECT_NEAR(small.m[0], std::cbrt(1.5), 1e-15);
  expect_values(small.m,
                {1.1447142425533319, -1.1447142425533319, 0.57235712127666594, kNaN,
                 1.5262856567377761, 1.5262856567377761, -0.38157141418444401, 0.76314282836888803,
                 1.1447142425533319, kNaN, 0, 3.4341427276599954},
                1e-15);
  expect_values(small.a,
                {7.4573580142892597, 9.3216975178615744, 9.3216975178615744, 11.18603702143389,
                 7.2502091805590023, kNaN, 9.3216975178615744, 11.393185855164147,
                 9.3216975178615744, 9.3216975178615744, 9.3216975178615744, 13.464674192466719},
                1e-14);

  Larger larger;
  normalise_scale(columns_of(larger.m, Larger::kSpots), columns_of(larger.a, Larger::kSpots),
                  Larger::kSpots);
  expect_larger(larger,
                {kNaN, 1.2, kNaN, -2, -1.7, -1.2, 1.6000000000000001, 0.20000000000000001, 1.8, 1.2,
                 0.20000000000000001, 0.80000000000000004},
                {kNaN, 8.7449135207297992, 6.6580591578283697, kNaN, 7.5524253133575527,
                 8.4467914688867367, 6.7423383876742946, 6.2391788065045715, 5.9999406660238739,
                 11.199889243244563, 10.799893198842973, 9.3999070434374019},
                -98.200000000000003, 15530.339488636084, 54, 49);
}

// G and R of the three arrays quantile-normalised as six columns; a spot without M or without A
// has neither after. R's values.
TEST(BetweenArrays, QuantileAgreesWithLimma) {
  Small small;
  ASSERT_TRUE(normalise_quantile(columns_of(small.m, 4), columns_of(small.a, 4), 4));
  expect_values(small.m,
                {0, -2.0347222222222214, 2.0347222222222214, kNaN, 0, kNaN, 0, 0,
                 1.5069444444444455, kNaN, -1.5069444444444455, 0},
                1e-14);
  expect_values(small.a,
                {7.916666666666667, 10.440972222222223, 10.440972222222223, kNaN, 7.916666666666667,
                 kNaN, 9.4236111111111125, 11.458333333333334, 8.6701388888888893, kNaN,
                 8.6701388888888893, 11.458333333333334},
                1e-14);

  Larger larger;
  ASSERT_TRUE(normalise_quantile(columns_of(larger.m, Larger::kSpots),
                                 columns_of(larger.a, Larger::kSpots), Larger::kSpots));
  expect_larger(larger,
                {kNaN, 1.1553002940341575, kNaN, kNaN, -1.7071703396221611, -1.0894824135586196,
                 1.5432562493407858, 0.22835209893471209, 1.9041490486257926, 1.0487153747240789,
                 0.055225297641696258, 0.99566305606994732},
                {kNaN, 8.8589168294305303, kNaN, kNaN, 7.6521243994331156, 8.543567784353062,
                 6.718667598354604, 6.247413682628415, 6.027074524312896, 11.182134657793389,
                 10.816035697449752, 9.4341646372914614},
                -0.11736238107438268, 15123.248698455422, 101, 101);
}

TEST(BetweenArrays, AquantileAgreesWithLimma) {
  Larger larger;
  ASSERT_TRUE(normalise_aquantile(columns_of(larger.a, Larger::kSpots), Larger::kSpots));
  expect_larger(larger,
                {kNaN, 1.2, kNaN, -2, -1.7, -1.2, 1.6000000000000001, 0.20000000000000001, 1.8, 1.2,
                 0.20000000000000001, 0.80000000000000004},
                {kNaN, 8.7992032418746966, 6.6839506172839505, kNaN, 7.5982539152378834,
                 8.5014660493827154, 6.7000000000000002, 6.1618596021612015, 5.9749999999999996,
                 11.29491879035278, 10.756841197796003, 9.4097527704279198},
                -98.200000000000003, 15528.659901142015, 54, 49);
}

// R's arithmetic on a degenerate median: log 0 = -Inf makes the mean of the logarithms -Inf, the
// array's own factor exp(-Inf + Inf) not a number and the others' infinite, as
// normalizeMedianAbsValues(matrix(c(0, 0, 0, 1, 2, 3), 3)) gives; a missing median makes all
// missing.
TEST(BetweenArrays, ScaleWithDegenerateMediansAsInR) {
  std::vector<double> m = {0, 0, 0, 1, 2, 3};
  std::vector<double> a = {kNaN, kNaN, kNaN, 1, 2, 3};
  normalise_scale(columns_of(m, 3), columns_of(a, 3), 3);
  expect_values(m, {kNaN, kNaN, kNaN, 0, 0, 0}, 0.0);
  expect_values(a, {kNaN, kNaN, kNaN, kNaN, kNaN, kNaN}, 0.0);
}

// limma cannot interpolate a column of fewer than 2 values, nor a single row: refused, nothing
// changed. A single array is left as it is, as limma returns a single column unchanged.
TEST(BetweenArrays, RefusalsAndSingleArrays) {
  std::vector<double> m = {0.5, kNaN, 1.0, 2.0, 1.0, 3.0};
  std::vector<double> a = {8.0, 9.0, kNaN, 7.0, 8.0, 9.0};
  const std::vector<double> m_before = m, a_before = a;
  EXPECT_FALSE(
      normalise_quantile(columns_of(m, 3), columns_of(a, 3), 3));  // array 1 has one spot with both
  EXPECT_TRUE(normalise_aquantile(columns_of(a, 3), 3));
  a = a_before;
  a[0] = kNaN;
  EXPECT_FALSE(normalise_aquantile(columns_of(a, 3), 3));
  a[0] = a_before[0];
  EXPECT_FALSE(normalise_aquantile(columns_of(a, 1), 1));
  expect_values(m, m_before, 0.0);
  expect_values(a, a_before, 0.0);

  EXPECT_TRUE(normalise_aquantile(columns_of(a, 6), 6));
  normalise_scale(columns_of(m, 6), columns_of(a, 6), 6);
  expect_values(m, m_before, 0.0);
  expect_values(a, a_before, 0.0);
}
