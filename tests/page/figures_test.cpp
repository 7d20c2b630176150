#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "page/html_report.hpp"
#include "page/page.hpp"
#include "reports/report_test_support.hpp"

namespace {

// Places for up to 40 spots: block 1, row 1, spot s in column s.
void place_in_one_row(TestArrays& arrays, Run& run) {
  std::vector<int32_t> ones(40, 1), columns;
  for (int32_t s = 1; s <= 40; ++s)
    columns.push_back(s);
  run.slides.spot_array_row = arrays.ints(ones);
  run.slides.spot_array_col = arrays.ints(ones);
  run.slides.spot_row = arrays.ints(ones);
  run.slides.spot_col = arrays.ints(columns);
}

// Two slides of five spots, ratios channel 2 over channel 1 given by hand.
// Slide 1: nets (1, 4), (4, 4), (16, 4), (2, 8), (0, 5): ratios 4, 1, 0.25, 4 and none; products
// 4, 16, 64, 16, so A = 1, 2, 3, 2 and M = 2, 0, -2, 2. Spot 4 fails the quality test.
// Slide 2: four spots of nets (2, 2), ratio 1 (A = 1, M = 0), and one without a ratio.
Run small_run(TestArrays& arrays) {
  Run run;
  run.options.FileCount = 2;
  run.slides.TotalSpots = 5;
  run.options.ReplicateCount = 1;
  run.options.RatioChoice = 1;
  run.options.QualityConstant = 1.0;
  run.options.FileNames = arrays.texts({"one.txt", "two.txt"}, 50);
  run.spots.channel_totals = arrays.double_rows({{23, 25}, {10, 8}});
  run.spots.norm_factor = arrays.doubles({25.0 / 23, 0.8});
  run.spots.ch1_net = arrays.double_rows({{1, 4, 16, 2, 0}, {2, 2, 2, 2, 2}});
  run.spots.ch2_net = arrays.double_rows({{4, 4, 4, 8, 5}, {2, 2, 2, 2, 0}});
  run.spots.spot_ratio = arrays.double_rows({{4, 1, 0.25, 4, 0}, {1, 1, 1, 1, 0}});
  run.spots.spot_qc = arrays.double_rows({{100, 100, 100, -90, 100}, {100, 100, 100, 100, 100}});
  run.normalisation.method = NormalisationMethod::kNone;
  run.normalisation.slide_removed_m = arrays.doubles({0, 0});
  place_in_one_row(arrays, run);
  return run;
}

int32_t bin(int32_t m_bin, int32_t a_bin) {
  return m_bin * kMaBinsA + a_bin;
}

}  // namespace

TEST(Figures, AxesBinsAndBoxesOfTheSpots) {
  TestArrays arrays;
  ::Run run = small_run(arrays);
  collect_spot_figures(run, 1);
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
  run.spots.ch2_net = arrays.double_rows({{4, 4, 4, 8, 5}, {2, 2, 2, 2, 128}});
  run.spots.spot_ratio = arrays.double_rows({{4, 1, 0.25, 4, 0}, {1, 1, 1, 1, 64}});
  collect_spot_figures(run, 1);
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
    run.slides.TotalSpots = n;
    run.options.FileCount = 1;
    std::vector<double> ratios, ones;
    for (int32_t s = 0; s < n; ++s) {
      ratios.push_back(std::ldexp(1.0, (s * 7919) % 13 - 6));  // M = -6 .. 6, with ties
      ones.push_back(1.0);
    }
    run.spots.ch1_net = arrays.double_rows({ones});
    run.spots.ch2_net = arrays.double_rows({ratios});
    run.spots.spot_ratio = arrays.double_rows({ratios});
    run.spots.spot_qc =
        arrays.double_rows({std::vector<double>(static_cast<std::size_t>(n), 100.0)});
    run.normalisation.slide_removed_m = arrays.doubles({0});
    collect_spot_figures(run, 1);
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

namespace {

// Seven slides of 40 spots of varied nets, some failing the quality test or without a ratio, with
// what a fit took away; slide 3 dye-swapped.
Run varied_run(TestArrays& arrays) {
  Run run;
  run.options.FileCount = 7;
  run.slides.TotalSpots = 40;
  run.options.ReplicateCount = 4;
  run.options.RatioChoice = 1;
  run.options.FileNames = arrays.texts({"1", "2", "3", "4", "5", "6", "7"}, 50);
  std::vector<std::vector<double>> totals, ch1(7), ch2(7), ratio(7), qc(7), removed(7);
  std::vector<double> factors;
  for (int f = 0; f < 7; ++f) {
    for (int s = 0; s < 40; ++s) {
      const double level = 20.0 + std::fmod(577.0 * s + 91.0 * f, 3000.0);
      ch1[f].push_back(level);
      ch2[f].push_back((s + f) % 9 == 0 ? 0.0 : level * (0.5 + std::fmod(0.37 * s + f, 1.5)));
      ratio[f].push_back(ch2[f].back() > 0.0 ? ch2[f].back() / level : 0.0);
      qc[f].push_back((s * 7 + f) % 11 == 0 ? -1.0 : 100.0);
      removed[f].push_back(std::sin(0.3 * s + f));
    }
    totals.push_back({1000.0 + f, 1100.0 - f});
    factors.push_back(1.0 + 0.1 * f);
  }
  run.spots.channel_totals = arrays.double_rows(totals);
  run.spots.norm_factor = arrays.doubles(factors);
  run.spots.ch1_net = arrays.double_rows(ch1);
  run.spots.ch2_net = arrays.double_rows(ch2);
  run.spots.spot_ratio = arrays.double_rows(ratio);
  run.spots.spot_qc = arrays.double_rows(qc);
  run.normalisation.method = NormalisationMethod::kLoess;
  run.normalisation.swapped_slides = {3};
  run.normalisation.removed_m = arrays.double_rows(removed);
  place_in_one_row(arrays, run);
  return run;
}

}  // namespace

// The slides' figures and images are shared among threads; the page is the same for any number.
TEST(Figures, ThePageIsTheSameForAnyNumberOfThreads) {
  std::string reference;
  for (int32_t threads : {1, 2, 5, 9}) {
    TestArrays arrays;
    ::Run run = varied_run(arrays);
    collect_spot_figures(run, threads);
    run.figures.threads = threads;
    const std::string page = html_report_text(run.figures);
    if (threads == 1) {
      reference = page;
      EXPECT_NE(page.find("data:image/png;base64,"), std::string::npos);
    } else {
      EXPECT_TRUE(page == reference) << threads << " threads";
    }
  }
}

namespace {

// One loess slide of six spots in two groups of A, with the normalised nets, their M and what
// the fit took away (removed M) chosen by hand:
//   nets (4, 4), (4, 4), (2, 8):    A 2, M 0, 0, 2, removed 1: A as read 2.5, M as read 1, 1, 3
//   nets (16, 16), (8, 32), (32, 8): A 4, M 0, 2, -2, removed -1: A as read 3.5, M as read
//   -1, 1, -3.
// Axes: M from log2 0.25 = -2 to log2 4 = 2; A from the smallest product's 2 less the largest
// downward shift 0.5, to the largest product's 4 plus 0.5: 1.5 to 4.5, 40 bins of 3/40, so A
// 2.5 is bin 13 and A 3.5 bin 26.
Run loess_run(TestArrays& arrays) {
  Run run;
  run.options.FileCount = 1;
  run.slides.TotalSpots = 6;
  run.options.ReplicateCount = 1;
  run.options.RatioChoice = 1;
  run.options.FileNames = arrays.texts({"loess.txt"}, 50);
  run.spots.channel_totals = arrays.double_rows({{66, 72}});
  run.spots.norm_factor = arrays.doubles({1.0});
  run.spots.ch1_net = arrays.double_rows({{4, 4, 2, 16, 8, 32}});
  run.spots.ch2_net = arrays.double_rows({{4, 4, 8, 16, 32, 8}});
  run.spots.spot_ratio = arrays.double_rows({{1, 1, 4, 1, 4, 0.25}});
  run.spots.spot_qc = arrays.double_rows({{100, 100, 100, 100, 100, 100}});
  run.normalisation.method = NormalisationMethod::kLoess;
  run.normalisation.removed_m = arrays.double_rows({{1, 1, 1, -1, -1, -1}});
  place_in_one_row(arrays, run);
  return run;
}

// Medians come from fine bins of M, 4 / 240 wide: within one of the true median.
constexpr double kFineBin = 4.0 / 240.0;

// The A bins with a median.
std::vector<int32_t> bins_with_a_median(const std::vector<double>& medians) {
  std::vector<int32_t> bins;
  for (std::size_t a_bin = 0; a_bin < medians.size(); ++a_bin)
    if (!std::isnan(medians[a_bin])) bins.push_back(static_cast<int32_t>(a_bin));
  return bins;
}

}  // namespace

TEST(FiguresCurves, LoessBeforeIsTheFittedTrendAndAfterTheNormalisedM) {
  TestArrays arrays;
  ::Run run = loess_run(arrays);
  collect_spot_figures(run, 1);
  const RunFigures& figures = run.figures;
  EXPECT_EQ(figures.normalisation_method, "loess");
  EXPECT_TRUE(figures.before_curve_fitted);
  EXPECT_EQ(figures.a_lowest, 1.5);
  EXPECT_EQ(figures.a_highest, 4.5);
  const SlideFigures& slide = figures.slides[0];
  ASSERT_EQ(slide.median_m_after.size(), static_cast<std::size_t>(kMaBinsA));
  EXPECT_EQ(bins_with_a_median(slide.median_m_after), (std::vector<int32_t>{13, 26}));
  EXPECT_EQ(bins_with_a_median(slide.median_m_before), (std::vector<int32_t>{13, 26}));
  EXPECT_NEAR(slide.median_m_after[13], 0.0, kFineBin);   // median of 0, 0, 2
  EXPECT_NEAR(slide.median_m_after[26], 0.0, kFineBin);   // of 0, 2, -2
  EXPECT_NEAR(slide.median_m_before[13], 1.0, kFineBin);  // the fitted 1
  EXPECT_NEAR(slide.median_m_before[26], -1.0, kFineBin);
  // The density stands at the A as read: M 0 (bin 15) and M 2 (the top bin) at A bin 13.
  EXPECT_EQ(slide.ma_pass[static_cast<std::size_t>(bin(kMaBinsM / 2, 13))], 2);
  EXPECT_EQ(slide.ma_pass[static_cast<std::size_t>(bin(kMaBinsM - 1, 13))], 1);
  EXPECT_EQ(slide.ma_pass[static_cast<std::size_t>(bin(0, 26))], 1);
}

TEST(FiguresCurves, WithoutAFitBeforeIsTheMedianOfMAsRead) {
  TestArrays arrays;
  ::Run run = loess_run(arrays);
  run.normalisation.method = NormalisationMethod::kMedian;
  collect_spot_figures(run, 1);
  const SlideFigures& slide = run.figures.slides[0];
  EXPECT_FALSE(run.figures.before_curve_fitted);
  EXPECT_NEAR(slide.median_m_before[13], 1.0, kFineBin);   // M as read 1, 1, 3
  EXPECT_NEAR(slide.median_m_before[26], -1.0, kFineBin);  // -1, 1, -3
  EXPECT_NEAR(slide.median_m_after[26], 0.0, kFineBin);
}

// A method that scales the whole slide took the same M from every spot: 1 here, so the A as read
// lies 0.5 above the normalised A of 2 and 4, and every M as read 1 above M. The A axis runs from
// 2 to 4.5 in bins of 1 / 16: A 2.5 in bin 8, A 4.5 in the last.
TEST(FiguresCurves, AWholeSlideMethodTookTheSameFromEverySpot) {
  TestArrays arrays;
  ::Run run = loess_run(arrays);
  run.normalisation.method = NormalisationMethod::kTotal;
  run.normalisation.slide_removed_m = arrays.doubles({1.0});
  collect_spot_figures(run, 1);
  EXPECT_EQ(run.figures.a_lowest, 2.0);
  EXPECT_EQ(run.figures.a_highest, 4.5);
  const SlideFigures& slide = run.figures.slides[0];
  EXPECT_EQ(bins_with_a_median(slide.median_m_before), (std::vector<int32_t>{8, kMaBinsA - 1}));
  EXPECT_NEAR(slide.median_m_before[8], 1.0, kFineBin);             // M as read 1, 1, 3
  EXPECT_NEAR(slide.median_m_before[kMaBinsA - 1], 1.0, kFineBin);  // 1, 3, -1
  EXPECT_NEAR(slide.median_m_after[8], 0.0, kFineBin);
  EXPECT_NEAR(slide.median_m_after[kMaBinsA - 1], 0.0, kFineBin);
}

// An even count takes the mean of the two middle values; a value alone sits on its own.
TEST(FiguresCurves, EvenCountsTakeTheMiddleTwo) {
  TestArrays arrays;
  ::Run run = loess_run(arrays);
  run.spots.spot_ratio[1][3] = 0.0;  // spot 3 (M 2) has no ratio now: A bin 13 holds M 0, 0
  run.spots.spot_ratio[1][6] = 0.0;  // and spot 6 (M -2): A bin 26 holds M 0, 2
  run.spots.spot_ratio[1][4] = 0.0;  // and spot 4 (M 0): A bin 26 holds only M 2
  collect_spot_figures(run, 1);
  const SlideFigures& slide = run.figures.slides[0];
  EXPECT_NEAR(slide.median_m_after[13], 0.0, kFineBin);
  EXPECT_NEAR(slide.median_m_after[26], 2.0, kFineBin);
  run.figures.slides.clear();  // figures taken afresh
  run.spots.spot_ratio[1][4] = 1.0;
  collect_spot_figures(run, 1);
  EXPECT_NEAR(run.figures.slides[0].median_m_after[26], 1.0, kFineBin);
}

// On a dye-swapped slide M is log2 of channel 1 over channel 2, so a normalisation that took M
// down by 1 raised channel 2, and A as read lies half of 1 below the normalised A: the other way
// round from orientation 1.
TEST(FiguresCurves, ASwappedSlideShiftsAAsReadTheOtherWay) {
  TestArrays arrays;
  ::Run run = loess_run(arrays);
  run.options.FileCount = 2;
  run.options.FileNames = arrays.texts({"loess.txt", "swapped.txt"}, 50);
  run.spots.channel_totals = arrays.double_rows({{66, 72}, {66, 72}});
  run.spots.norm_factor = arrays.doubles({1.0, 1.0});
  run.normalisation.swapped_slides = {2};
  // Slide 2 holds the same nets; its ratios are channel 1 over channel 2.
  run.spots.ch1_net = arrays.double_rows({{4, 4, 2, 16, 8, 32}, {4, 4, 2, 16, 8, 32}});
  run.spots.ch2_net = arrays.double_rows({{4, 4, 8, 16, 32, 8}, {4, 4, 8, 16, 32, 8}});
  run.spots.spot_ratio = arrays.double_rows({{1, 1, 4, 1, 4, 0.25}, {1, 1, 0.25, 1, 0.25, 4}});
  run.spots.spot_qc =
      arrays.double_rows({{100, 100, 100, 100, 100, 100}, {100, 100, 100, 100, 100, 100}});
  run.normalisation.removed_m = arrays.double_rows({{1, 1, 1, -1, -1, -1}, {1, 1, 1, -1, -1, -1}});
  collect_spot_figures(run, 1);
  const RunFigures& figures = run.figures;
  // Slide 2's A as read: 2 - 0.5 and 4 + 0.5; the axis already reached both.
  EXPECT_EQ(figures.a_lowest, 1.5);
  EXPECT_EQ(figures.a_highest, 4.5);
  EXPECT_FALSE(figures.slides[0].dye_swapped);
  EXPECT_TRUE(figures.slides[1].dye_swapped);
  const SlideFigures& swapped = figures.slides[1];
  EXPECT_EQ(bins_with_a_median(swapped.median_m_before), (std::vector<int32_t>{0, kMaBinsA - 1}));
  EXPECT_NEAR(swapped.median_m_before[0], 1.0, kFineBin);
  EXPECT_NEAR(swapped.median_m_after[kMaBinsA - 1], 0.0, kFineBin);
  EXPECT_EQ(swapped.ma_pass[static_cast<std::size_t>(bin(kMaBinsM / 2, 0))], 2);
}

// What normalisation removed is not trusted to lie within the axes: a removed M that is infinite
// or not a number puts its spot in an end bin, and the axes stay those of the finite values; a
// finite one beyond the M axis is held at its end.
TEST(FiguresCurves, ValuesBeyondTheAxesOrNotANumberStayInTheEndBins) {
  TestArrays arrays;
  ::Run run = loess_run(arrays);
  run.normalisation.removed_m[1][1] = NAN;
  run.normalisation.removed_m[1][2] = INFINITY;
  run.normalisation.removed_m[1][4] = -INFINITY;
  collect_spot_figures(run, 1);
  EXPECT_EQ(run.figures.a_lowest, 1.5);
  EXPECT_EQ(run.figures.a_highest, 4.5);
  const SlideFigures& slide = run.figures.slides[0];
  // Spots 1 (not a number) and 4 (minus infinity) at A bin 0, spot 2 at the last; all M 0.
  EXPECT_EQ(slide.ma_pass[static_cast<std::size_t>(bin(kMaBinsM / 2, 0))], 2);
  EXPECT_EQ(slide.ma_pass[static_cast<std::size_t>(bin(kMaBinsM / 2, kMaBinsA - 1))], 1);
  int32_t counted = 0;
  for (int32_t count : slide.ma_pass)
    counted += count;
  EXPECT_EQ(counted, 6);
  EXPECT_NEAR(slide.median_m_before[0], -2.0, kFineBin);
  EXPECT_NEAR(slide.median_m_before[kMaBinsA - 1], 2.0, kFineBin);

  // Spot 3's fit of 10 lies above the M axis; its A as read, 2 + 5, widens the A axis to 9
  // (bins of 7.5 / 40), so the spot is alone in bin (7 - 1.5) * 40 / 7.5 = 29.33.
  ::Run wide = loess_run(arrays);
  wide.normalisation.removed_m[1][3] = 10.0;
  collect_spot_figures(wide, 1);
  EXPECT_EQ(wide.figures.a_highest, 9.0);
  EXPECT_NEAR(wide.figures.slides[0].median_m_before[29], 2.0, kFineBin);
}

namespace {

// Four genes of one spot on two slides: gene 1 has both tests, gene 2 only the pooled one (no
// slide value), gene 3 only the moderated one, gene 4 neither.
Run tested_run(TestArrays& arrays) {
  Run run = small_run(arrays);
  run.slides.TotalSpots = 4;
  run.genes.GeneNumber = 4;
  run.genes.members = consecutive_members(4, 1);
  run.slides.spot_name = arrays.texts({"a\t", "b\t", "c\t", "d\t"}, 10);
  run.slides.spot_array_row = arrays.ints({1, 1, 1, 1});
  run.slides.spot_array_col = arrays.ints({1, 1, 1, 1});
  run.slides.spot_row = arrays.ints({1, 1, 2, 2});
  run.slides.spot_col = arrays.ints({1, 2, 1, 2});
  run.genes.file_outliers = arrays.ints({3, 0});
  run.genes.ratio_mean = arrays.doubles({1.5, 2.0, UNSET_STAT, UNSET_STAT});
  run.genes.log_mean = arrays.doubles({0.5, 1.0, UNSET_STAT, UNSET_STAT});
  run.genes.p_value = arrays.doubles({0.01, 0.2, NO_PVALUE, NO_PVALUE});
  run.genes.q_value = arrays.doubles({0.02, 0.2, NAN, NAN});
  run.genes.spots_used = arrays.ints({2, 2, 1, 0});
  run.genes.outliers_found = arrays.ints({1, 0, 0, 0});
  ModeratedTest& test = run.moderated;
  test.made = true;
  test.prior_df = INFINITY;
  test.prior_variance = 0.04;
  test.slides_used = arrays.ints({2, 0, 1, 0});
  test.slide_log2_mean = arrays.doubles({0.6, NAN, 0.3, NAN});
  test.t = arrays.doubles({4.0, NAN, 1.5, NAN});
  test.df = arrays.doubles({9.0, NAN, 9.0, NAN});
  test.p_value = arrays.doubles({0.003, NAN, 0.17, NAN});
  test.q_value = arrays.doubles({0.006, NAN, 0.17, NAN});
  return run;
}

}  // namespace

TEST(FiguresGenes, EveryGeneWithEitherTestAndNotANumberForTheTestItLacks) {
  TestArrays arrays;
  ::Run run = tested_run(arrays);
  collect_spot_figures(run, 1);
  collect_gene_figures(run);
  const RunFigures& figures = run.figures;
  EXPECT_TRUE(figures.moderated.made);
  EXPECT_EQ(figures.moderated.prior_df, INFINITY);
  EXPECT_EQ(figures.moderated.prior_variance, 0.04);
  EXPECT_EQ(figures.slides[0].outliers_rejected, 3);
  ASSERT_EQ(figures.tested_genes.size(), 3u);
  const GeneFigures& both = figures.tested_genes[0];
  EXPECT_EQ(both.name, "a");
  EXPECT_EQ(both.position, "AR1 AC1 R1 C1");  // a gene of one spot names its column once
  EXPECT_TRUE(both.pooled_test);
  EXPECT_EQ(both.p_value, 0.01);
  EXPECT_EQ(both.slides_used, 2);
  EXPECT_EQ(both.slide_log2_mean, 0.6);
  EXPECT_EQ(both.moderated_t, 4.0);
  EXPECT_EQ(both.moderated_df, 9.0);
  EXPECT_EQ(both.outliers, 1);
  EXPECT_EQ(both.moderated_q, 0.006);
  const GeneFigures& pooled_only = figures.tested_genes[1];
  EXPECT_EQ(pooled_only.gene, 2);
  EXPECT_EQ(pooled_only.slides_used, 0);
  EXPECT_TRUE(std::isnan(pooled_only.moderated_p));
  const GeneFigures& moderated_only = figures.tested_genes[2];
  EXPECT_EQ(moderated_only.gene, 3);
  EXPECT_FALSE(moderated_only.pooled_test);
  EXPECT_TRUE(std::isnan(moderated_only.p_value));
  EXPECT_TRUE(std::isnan(moderated_only.log2_mean));  // not the UNSET_STAT of the run
  EXPECT_EQ(moderated_only.moderated_p, 0.17);
}

TEST(FiguresGenes, WithoutTheModeratedTestOnlyThePooledGenes) {
  TestArrays arrays;
  ::Run run = tested_run(arrays);
  run.moderated.made = false;
  run.moderated.not_made_because = "no gene has a value on two slides or more";
  collect_spot_figures(run, 1);
  collect_gene_figures(run);
  const RunFigures& figures = run.figures;
  EXPECT_FALSE(figures.moderated.made);
  EXPECT_EQ(figures.moderated.not_made_because, "no gene has a value on two slides or more");
  ASSERT_EQ(figures.tested_genes.size(), 2u);
  EXPECT_EQ(figures.tested_genes[1].gene, 2);
  EXPECT_TRUE(std::isnan(figures.tested_genes[0].moderated_p));
}
