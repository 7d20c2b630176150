#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "page/page.hpp"
#include "reports/report_test_support.hpp"

namespace {

// Two slides of five spots, ratios channel 2 over channel 1 given by hand.
// Slide 1: nets (1, 4), (4, 4), (16, 4), (2, 8), (0, 5): ratios 4, 1, 0.25, 4 and none; products
// 4, 16, 64, 16, so A = 1, 2, 3, 2 and M = 2, 0, -2, 2. Spot 4 fails the quality test.
// Slide 2: four spots of nets (2, 2), ratio 1 (A = 1, M = 0), and one without a ratio.
Run small_run(TestArrays& arrays) {
  Run run;
  run.FileCount = 2;
  run.TotalSpots = 5;
  run.ReplicateCount = 1;
  run.RatioChoice = 1;
  run.QualityConstant = 1.0;
  run.FileNames = arrays.texts({"one.txt", "two.txt"}, 50);
  run.channel_totals = arrays.double_rows({{23, 25}, {10, 8}});
  run.norm_factor = arrays.doubles({25.0 / 23, 0.8});
  run.ch1_net = arrays.double_rows({{1, 4, 16, 2, 0}, {2, 2, 2, 2, 2}});
  run.ch2_net = arrays.double_rows({{4, 4, 4, 8, 5}, {2, 2, 2, 2, 0}});
  run.spot_ratio = arrays.double_rows({{4, 1, 0.25, 4, 0}, {1, 1, 1, 1, 0}});
  run.spot_qc = arrays.double_rows({{100, 100, 100, -90, 100}, {100, 100, 100, 100, 100}});
  return run;
}

int32_t bin(int32_t m_bin, int32_t a_bin) {
  return m_bin * kMaBinsA + a_bin;
}

}  // namespace

TEST(Figures, AxesBinsAndBoxesOfTheSpots) {
  TestArrays arrays;
  ::Run run = small_run(arrays);
  collect_spot_figures(run);
  const RunFigures& figures = run.figures;
  // Shared axes from the smallest and largest product (4, 64) and ratio (0.25, 4).
  EXPECT_EQ(figures.a_lowest, 1.0);
  EXPECT_EQ(figures.a_highest, 3.0);
  EXPECT_EQ(figures.m_lowest, -2.0);
  EXPECT_EQ(figures.m_highest, 2.0);
  ASSERT_EQ(figures.slides.size(), 2u);

  const SlideFigures& one = figures.slides[0];
  EXPECT_EQ(one.file, "one.txt");
  EXPECT_EQ(one.spots_failing_quality, 1);
  EXPECT_EQ(one.spots_without_ratio, 1);
  // A value at the top of an axis falls in the last bin.
  std::vector<int32_t> pass(kMaBinsA * kMaBinsM, 0), fail(kMaBinsA * kMaBinsM, 0);
  ++pass[bin(kMaBinsM - 1, 0)];             // A 1, M 2
  ++pass[bin(kMaBinsM / 2, kMaBinsA / 2)];  // A 2, M 0
  ++pass[bin(0, kMaBinsA - 1)];             // A 3, M -2
  ++fail[bin(kMaBinsM - 1, kMaBinsA / 2)];  // A 2, M 2
  EXPECT_EQ(one.ma_pass, pass);
  EXPECT_EQ(one.ma_fail, fail);
  // M sorted: -2, 0, 2, 2. Quartiles at (n - 1) p = 0.75, 1.5, 2.25: -0.5, 1, 2; whiskers within
  // 1.5 * 2.5 of the quartiles reach the extremes.
  EXPECT_EQ(one.log2_ratio.count, 4);
  EXPECT_EQ(one.log2_ratio.lower_quartile, -0.5);
  EXPECT_EQ(one.log2_ratio.median, 1.0);
  EXPECT_EQ(one.log2_ratio.upper_quartile, 2.0);
  EXPECT_EQ(one.log2_ratio.lower_whisker, -2.0);
  EXPECT_EQ(one.log2_ratio.upper_whisker, 2.0);
  EXPECT_EQ(one.log2_ratio.lowest, -2.0);
  EXPECT_EQ(one.log2_ratio.highest, 2.0);

  const SlideFigures& two = figures.slides[1];
  EXPECT_EQ(two.spots_failing_quality, 0);
  EXPECT_EQ(two.spots_without_ratio, 1);
  EXPECT_EQ(two.ma_pass[static_cast<std::size_t>(bin(kMaBinsM / 2, 0))], 4);
  EXPECT_EQ(two.log2_ratio.count, 4);
  EXPECT_EQ(two.log2_ratio.median, 0.0);
  EXPECT_EQ(two.ch1_total, 10.0);
  EXPECT_EQ(two.norm_factor, 0.8);
}

TEST(Figures, WhiskersStopAtTheLastValueWithinReach) {
  TestArrays arrays;
  ::Run run = small_run(arrays);
  // Slide 2's fifth spot gets nets (2, 128), ratio 64: M 0, 0, 0, 0, 6; the quartiles, at
  // (n - 1) p = 1 and 3, are 0, so 6 is beyond the whisker. A = 4 widens the shared axis.
  run.ch2_net = arrays.double_rows({{4, 4, 4, 8, 5}, {2, 2, 2, 2, 128}});
  run.spot_ratio = arrays.double_rows({{4, 1, 0.25, 4, 0}, {1, 1, 1, 1, 64}});
  collect_spot_figures(run);
  const BoxFigures& box = run.figures.slides[1].log2_ratio;
  EXPECT_EQ(box.upper_quartile, 0.0);
  EXPECT_EQ(box.upper_whisker, 0.0);
  EXPECT_EQ(box.highest, 6.0);
  EXPECT_EQ(run.figures.m_highest, 6.0);
  EXPECT_EQ(run.figures.a_highest, 4.0);
}

// The quartiles taken side by side of the median agree with those of a fully sorted copy, for
// every small count (where the quartiles' ranks meet the median's) and for ties.
TEST(Figures, QuartilesAgreeWithASortedCopy) {
  for (int32_t n = 1; n <= 40; ++n) {
    TestArrays arrays;
    ::Run run = small_run(arrays);
    run.TotalSpots = n;
    run.FileCount = 1;
    std::vector<double> ratios, ones;
    for (int32_t s = 0; s < n; ++s) {
      ratios.push_back(std::ldexp(1.0, (s * 7919) % 13 - 6));  // M = -6 .. 6, with ties
      ones.push_back(1.0);
    }
    run.ch1_net = arrays.double_rows({ones});
    run.ch2_net = arrays.double_rows({ratios});
    run.spot_ratio = arrays.double_rows({ratios});
    run.spot_qc = arrays.double_rows({std::vector<double>(static_cast<std::size_t>(n), 100.0)});
    collect_spot_figures(run);
    std::vector<double> m;
    for (double r : ratios)
      m.push_back(std::log2(r));
    std::sort(m.begin(), m.end());
    auto quantile = [&m](double p) {
      const double h = static_cast<double>(m.size() - 1) * p;
      const auto k = static_cast<std::size_t>(h);
      const double above = k + 1 < m.size() ? m[k + 1] : m[k];
      return m[k] + (h - static_cast<double>(k)) * (above - m[k]);
    };
    const BoxFigures& box = run.figures.slides[0].log2_ratio;
    EXPECT_EQ(box.lower_quartile, quantile(0.25)) << n;
    EXPECT_EQ(box.median, quantile(0.5)) << n;
    EXPECT_EQ(box.upper_quartile, quantile(0.75)) << n;
    EXPECT_EQ(box.lowest, m.front()) << n;
    EXPECT_EQ(box.highest, m.back()) << n;
  }
}
