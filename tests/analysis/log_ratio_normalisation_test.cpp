#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "analysis/analysis.hpp"
#include "analysis/run_setup.hpp"

namespace {

// Normalises a run made by spot_run with the method, its spots in print-tip blocks of
// `block_spots` consecutive spots (array column 1, 2, ...).
void normalise(::Run& run, NormalisationMethod method, int32_t block_spots = 1000000) {
  run.normalisation.method = method;
  run.slides.spot_array_row = ivector(1, run.slides.TotalSpots);
  run.slides.spot_array_col = ivector(1, run.slides.TotalSpots);
  for (int32_t s = 1; s <= run.slides.TotalSpots; ++s) {
    run.slides.spot_array_row[s] = 1;
    run.slides.spot_array_col[s] = (s - 1) / block_spots + 1;
  }
  normalise_channels(run);
  compute_spot_ratios(run);
  normalise_log_ratios(run);
}

}  // namespace

// Nets (100, 200), (100, 400), (100, 100), (100, 800): M = 1, 2, 0, 3, median 1.5, so the
// normalised M are -0.5, 0.5, -1.5, 1.5 and channel 2 becomes 100 * 2^M. Every channel 2 was
// divided by 2^1.5, the factor shown. The fifth spot has no ratio: it is divided by the channel
// total factor, (200 + 400 + 100 + 800) / (4 * 100 + 50) = 1500 / 450.
TEST(LogRatioNormalisation, MedianMethod) {
  ::Run run = spot_run(1, {{100, 100, 100, 100, 50}}, {{200, 400, 100, 800, -25}});
  normalise(run, NormalisationMethod::kMedian);
  const double normalised[] = {-0.5, 0.5, -1.5, 1.5};
  for (int32_t s = 1; s <= 4; ++s) {
    EXPECT_DOUBLE_EQ(run.spots.spot_ratio[1][s], std::exp2(normalised[s - 1])) << s;
    EXPECT_DOUBLE_EQ(run.spots.ch2_net[1][s], 100 * std::exp2(normalised[s - 1])) << s;
  }
  EXPECT_DOUBLE_EQ(run.spots.norm_factor[1], std::exp2(1.5));
  EXPECT_EQ(run.spots.spot_ratio[1][5], 0.0);
  EXPECT_EQ(run.spots.ch2_net[1][5], -25 / (1500.0 / 450.0));
  EXPECT_EQ(run.spots.channel_totals[1][2], 1500.0);
  release_run_arrays(run);
}

// A dye-swapped slide forms its ratio as channel 1 over channel 2 in a run of channel 2 over
// channel 1: the same M as above, and channel 2 becomes the net that gives the normalised ratio
// with channel 1 over it, 1 / (2^M / ch1).
TEST(LogRatioNormalisation, SwappedSlideIsNormalisedInItsOwnOrientation) {
  ::Run run = spot_run(1, {{100, 100, 100, 100}, {200, 400, 100, 800}},
                       {{200, 400, 100, 800}, {100, 100, 100, 100}});
  run.normalisation.swapped_slides = {2};
  normalise(run, NormalisationMethod::kMedian);
  const double normalised[] = {-0.5, 0.5, -1.5, 1.5};
  const double ch1[] = {200, 400, 100, 800};
  for (int32_t s = 1; s <= 4; ++s) {
    EXPECT_DOUBLE_EQ(run.spots.spot_ratio[2][s], run.spots.spot_ratio[1][s]) << s;
    EXPECT_DOUBLE_EQ(run.spots.spot_ratio[2][s], std::exp2(normalised[s - 1])) << s;
    EXPECT_DOUBLE_EQ(run.spots.ch2_net[2][s], ch1[s - 1] / std::exp2(normalised[s - 1])) << s;
  }
  // Channel 2 of 100 was divided by 100 / (200 / 2^-0.5), the same for every spot.
  EXPECT_DOUBLE_EQ(run.spots.norm_factor[2], 100 / (200 / std::exp2(-0.5)));
  release_run_arrays(run);
}

// No scaling: the factor is 1 and the ratios are those of the nets as read. total without a
// report keeps nothing of what it removed; with one, log2 of its factor, negated on a swapped
// slide.
TEST(LogRatioNormalisation, NoneAndTotal) {
  ::Run none = spot_run(1, {{100, 50}}, {{300, 50}});
  normalise(none, NormalisationMethod::kNone);
  EXPECT_EQ(none.spots.norm_factor[1], 1.0);
  EXPECT_EQ(none.spots.ch2_net[1][1], 300.0);
  EXPECT_EQ(none.spots.spot_ratio[1][1], 3.0);
  release_run_arrays(none);

  ::Run total = spot_run(1, {{100, 100}, {100, 100}}, {{200, 600}, {200, 600}});
  total.normalisation.swapped_slides = {2};
  total.normalisation.keep_removed = true;
  normalise(total, NormalisationMethod::kTotal);
  EXPECT_EQ(total.spots.norm_factor[1], 4.0);
  EXPECT_EQ(total.spots.spot_ratio[1][2], 1.5);
  EXPECT_EQ(total.spots.spot_ratio[2][2], 1 / 1.5);
  EXPECT_EQ(total.normalisation.slide_removed_m[1], 2.0);
  EXPECT_EQ(total.normalisation.slide_removed_m[2], -2.0);
  release_run_arrays(total);
}

// A fit of fewer than four points is not made: their normalised M is 0. Print-tip groups of
// three spots each are all left at ratio 1, whatever their M, which is all taken away.
TEST(LogRatioNormalisation, TooFewPointsForAFit) {
  const std::vector<double> raw = {50, 300, 800, 100, 7, 100};
  ::Run run = spot_run(1, {{100, 100, 100, 100, 100, 100}}, {raw});
  run.normalisation.keep_removed = true;
  normalise(run, NormalisationMethod::kPrintTipLoess, 3);
  for (int32_t s = 1; s <= 6; ++s) {
    EXPECT_EQ(run.spots.spot_ratio[1][s], 1.0) << s;
    EXPECT_EQ(run.spots.ch2_net[1][s], 100.0) << s;
    EXPECT_DOUBLE_EQ(run.normalisation.removed_m[1][s], std::log2(raw[s - 1] / 100)) << s;
  }
  release_run_arrays(run);
}

// Each print-tip group is fitted apart: two blocks whose M is constant within each (1 and -2)
// come out at M = 0 in both, while one fit over the slide leaves the blocks apart.
TEST(LogRatioNormalisation, PrintTipGroupsAreFittedApart) {
  std::vector<double> ch1, ch2;
  for (int s = 0; s < 40; ++s) {
    ch1.push_back(100.0 + 37.0 * s);
    ch2.push_back(ch1.back() * (s < 20 ? 2.0 : 0.25));
  }
  ::Run by_tip = spot_run(1, {ch1}, {ch2});
  normalise(by_tip, NormalisationMethod::kPrintTipLoess, 20);
  ::Run whole = spot_run(1, {ch1}, {ch2});
  normalise(whole, NormalisationMethod::kLoess);
  double largest = 0.0;
  for (int32_t s = 1; s <= 40; ++s) {
    EXPECT_NEAR(std::log2(by_tip.spots.spot_ratio[1][s]), 0.0, 1e-9) << s;
    largest = std::max(largest, std::fabs(std::log2(whole.spots.spot_ratio[1][s])));
  }
  EXPECT_GT(largest, 0.5);
  release_run_arrays(by_tip);
  release_run_arrays(whole);
}

// The fits of different slides may be shared by any number of threads: the same values result.
TEST(LogRatioNormalisation, ThreadsDoNotChangeTheValues) {
  std::vector<std::vector<double>> ch1(7), ch2(7);
  for (int f = 0; f < 7; ++f) {
    for (int s = 0; s < 300; ++s) {
      const double level = 50.0 + std::fmod(977.0 * s + 131.0 * f, 5000.0);
      ch1[f].push_back(level);
      ch2[f].push_back(level * (1.0 + 0.5 * std::sin(0.37 * s + f)) * (level < 900 ? 0.6 : 1.1));
    }
  }
  std::vector<double> reference;
  for (int32_t threads : {1, 2, 5}) {
    ::Run run = spot_run(1, ch1, ch2);
    run.options.threads = threads;
    normalise(run, NormalisationMethod::kPrintTipLoess, 100);
    std::vector<double> values;
    for (int32_t f = 1; f <= 7; ++f) {
      values.push_back(run.spots.norm_factor[f]);
      for (int32_t s = 1; s <= 300; ++s) {
        values.push_back(run.spots.spot_ratio[f][s]);
        values.push_back(run.spots.ch2_net[f][s]);
      }
    }
    if (reference.empty()) reference = values;
    EXPECT_EQ(values, reference) << threads << " threads";
    release_run_arrays(run);
  }
}
