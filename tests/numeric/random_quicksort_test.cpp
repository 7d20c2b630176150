#include <gtest/gtest.h>

#include <vector>

#include "numeric/numeric.hpp"

namespace {

// The draw that comes after `count` draws from a fresh stream. It restarts the stream, so the
// caller takes its own next draw first.
double draw_after(int count) {
  restart_random_source();
  for (int i = 0; i < count; ++i)
    uniform_random();
  return uniform_random();
}

DoubleVector zero_based(const std::vector<double>& values) {
  auto n = static_cast<int32_t>(values.size());
  DoubleVector v = dvector(0, n - 1);
  for (int32_t i = 0; i < n; ++i)
    v[i] = values[static_cast<size_t>(i)];
  return v;
}

}  // namespace

TEST(UniformRandom, FirstDrawsOfARun) {
  restart_random_source();
  EXPECT_NEAR(uniform_random(), 0.0169305317, 1e-10);
  EXPECT_NEAR(uniform_random(), 0.8951894984, 1e-10);
  EXPECT_NEAR(uniform_random(), 0.1004120157, 1e-10);
  // Exactly the first generator values 171, 172, 170.
  restart_random_source();
  double sum = 171 / 30269.0 + 172 / 30309.0 + 170 / 30323.0;
  EXPECT_EQ(uniform_random(), sum);
}

TEST(RandomQuicksort, FirstSortOfARunUsesOneDraw) {
  restart_random_source();
  DoubleVector v = zero_based({3.0, 1.0, 2.0});
  random_quicksort(v, 3);
  EXPECT_EQ(v[0], 1.0);
  EXPECT_EQ(v[1], 2.0);
  EXPECT_EQ(v[2], 3.0);
  // Pivot 3 leaves the pair 1, 2, which needs no draw.
  double next = uniform_random();
  EXPECT_EQ(next, draw_after(1));
  release_dvector(v, 0, 2);
}

TEST(RandomQuicksort, EqualValuesUseNMinusTwoDraws) {
  for (int32_t n = 3; n <= 7; ++n) {
    restart_random_source();
    DoubleVector v = zero_based(std::vector<double>(static_cast<size_t>(n), 4.25));
    random_quicksort(v, n);
    for (int32_t i = 0; i < n; ++i)
      EXPECT_EQ(v[i], 4.25);
    double next = uniform_random();
    EXPECT_EQ(next, draw_after(n - 2)) << "n = " << n;
    release_dvector(v, 0, n - 1);
  }
}

TEST(RandomQuicksort, ShortListsDrawNothing) {
  restart_random_source();
  DoubleVector pair = zero_based({2.0, 1.0});
  random_quicksort(pair, 2);
  EXPECT_EQ(pair[0], 1.0);
  EXPECT_EQ(pair[1], 2.0);
  random_quicksort(pair, 1);
  random_quicksort(pair, 0);
  double next = uniform_random();
  EXPECT_EQ(next, draw_after(0));
  release_dvector(pair, 0, 1);
}

TEST(RandomQuicksort, SortsTheElementsFromAnOffsetOnly) {
  restart_random_source();
  DoubleVector v = dvector(1, 8);
  const double values[8] = {9.0, 5.0, -1.0, 7.5, 5.0, 0.0, 12.0, 3.0};
  for (int32_t i = 1; i <= 8; ++i)
    v[i] = values[i - 1];
  random_quicksort(v.from(2), 6);
  const double expected[8] = {9.0, -1.0, 0.0, 5.0, 5.0, 7.5, 12.0, 3.0};
  for (int32_t i = 1; i <= 8; ++i)
    EXPECT_EQ(v[i], expected[i - 1]) << "i = " << i;
  release_dvector(v, 1, 8);
}
