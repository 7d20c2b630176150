#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "analysis/analysis.hpp"
#include "analysis/run_setup.hpp"

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

}  // namespace

TEST(Normalisation, ChannelTwoIsScaledToTheChannelOneTotalOfItsOwnFile) {
  ::Run run = spot_run(1, {{100.0, 300.0, -50.0}, {10.0, 30.0, 60.0}},
                       {{200.0, 600.0, 0.0}, {5.0, -8.0, 45.0}});
  normalise_channels(run);
  compute_spot_ratios(run);

  EXPECT_EQ(run.spots.channel_totals[1][1], 400.0);
  EXPECT_EQ(run.spots.channel_totals[1][2], 800.0);
  EXPECT_EQ(run.spots.norm_factor[1], 2.0);
  EXPECT_EQ(run.spots.ch2_net[1][1], 100.0);
  EXPECT_EQ(run.spots.ch2_net[1][2], 300.0);
  EXPECT_EQ(run.spots.ch2_net[1][3], 0.0);
  EXPECT_EQ(run.spots.spot_ratio[1][1], 1.0);
  EXPECT_EQ(run.spots.spot_ratio[1][2], 1.0);
  EXPECT_EQ(run.spots.spot_ratio[1][3], 0.0);

  // The second file: its negative channel 2 net is left out of the total and still scaled.
  EXPECT_EQ(run.spots.channel_totals[2][1], 100.0);
  EXPECT_EQ(run.spots.channel_totals[2][2], 50.0);
  EXPECT_EQ(run.spots.norm_factor[2], 0.5);
  EXPECT_EQ(run.spots.ch2_net[2][2], -16.0);
  EXPECT_EQ(run.spots.spot_ratio[2][1], 1.0);
  EXPECT_EQ(run.spots.spot_ratio[2][2], 0.0);
  EXPECT_EQ(run.spots.spot_ratio[2][3], 1.5);
  release_run_arrays(run);
}

TEST(Normalisation, FilesWithoutSignalInAChannelGetNoRatios) {
  ::Run run = spot_run(1, {{0.0, -5.0, 0.0}, {0.0, -1.0, 0.0}, {10.0, 20.0, 30.0}},
                       {{10.0, 20.0, 0.0}, {0.0, 0.0, -3.0}, {-5.0, 0.0, -1.0}});
  normalise_channels(run);
  compute_spot_ratios(run);

  // Channel 1 total 0: an infinite factor, channel 2 scaled to zeros.
  EXPECT_EQ(run.spots.norm_factor[1], kInf);
  EXPECT_EQ(run.spots.ch2_net[1][1], 0.0);
  // Both totals 0: the factor and every scaled net are not numbers.
  EXPECT_TRUE(std::isnan(run.spots.norm_factor[2]));
  EXPECT_TRUE(std::isnan(run.spots.ch2_net[2][3]));
  // Channel 2 total 0: factor 0, negative nets become minus infinity, zeros not numbers.
  EXPECT_EQ(run.spots.norm_factor[3], 0.0);
  EXPECT_EQ(run.spots.ch2_net[3][1], -kInf);
  EXPECT_TRUE(std::isnan(run.spots.ch2_net[3][2]));

  for (int32_t f = 1; f <= 3; ++f) {
    for (int32_t s = 1; s <= 3; ++s)
      EXPECT_EQ(run.spots.spot_ratio[f][s], 0.0) << f << ", " << s;
  }
  release_run_arrays(run);
}

TEST(Normalisation, NetsThatAreNotNumbersAreLeftOutAndGiveNoRatio) {
  ::Run run = spot_run(1, {{kNaN, 50.0, 50.0}}, {{40.0, kNaN, 60.0}});
  normalise_channels(run);
  compute_spot_ratios(run);
  EXPECT_EQ(run.spots.channel_totals[1][1], 100.0);
  EXPECT_EQ(run.spots.channel_totals[1][2], 100.0);
  EXPECT_EQ(run.spots.spot_ratio[1][1], 0.0);
  EXPECT_EQ(run.spots.spot_ratio[1][2], 0.0);
  EXPECT_EQ(run.spots.spot_ratio[1][3], 60.0 / 50.0);
  release_run_arrays(run);
}

TEST(Normalisation, SecondOrientationGivesReciprocals) {
  const std::vector<std::vector<double>> ch1 = {{100.0, 300.0, 7.0, 0.0}};
  const std::vector<std::vector<double>> ch2 = {{200.0, 100.0, 3.0, 5.0}};
  ::Run first = spot_run(1, ch1, ch2);
  ::Run second = spot_run(2, ch1, ch2);
  for (::Run* run : {&first, &second}) {
    normalise_channels(*run);
    compute_spot_ratios(*run);
  }
  // Factor 308 / 407 for both; spot 4 has a zero channel 1 net.
  EXPECT_EQ(second.spots.spot_ratio[1][1], first.spots.ch1_net[1][1] / first.spots.ch2_net[1][1]);
  for (int32_t s = 1; s <= 3; ++s) {
    EXPECT_NEAR(second.spots.spot_ratio[1][s], 1.0 / first.spots.spot_ratio[1][s], 1e-12);
  }
  EXPECT_EQ(first.spots.spot_ratio[1][4], 0.0);
  EXPECT_EQ(second.spots.spot_ratio[1][4], 0.0);
  release_run_arrays(first);
  release_run_arrays(second);
}
