#include <gtest/gtest.h>

#include <vector>

#include "analysis/analysis.hpp"
#include "run/run.hpp"

namespace {

// A run of one slide whose spots have the given foregrounds and backgrounds, both channels.
::Run slide_of(const std::vector<std::vector<double>>& spots, double quality_constant) {
  ::Run run;
  run.options.FileCount = 1;
  run.options.QualityConstant = quality_constant;
  run.slides.TotalSpots = static_cast<int32_t>(spots.size());
  run.slides.ch1_fg = dmatrix(1, 1, 1, run.slides.TotalSpots);
  run.slides.ch1_bg = dmatrix(1, 1, 1, run.slides.TotalSpots);
  run.slides.ch2_fg = dmatrix(1, 1, 1, run.slides.TotalSpots);
  run.slides.ch2_bg = dmatrix(1, 1, 1, run.slides.TotalSpots);
  for (int32_t s = 1; s <= run.slides.TotalSpots; ++s) {
    const std::vector<double>& spot = spots[static_cast<std::size_t>(s - 1)];
    run.slides.ch1_fg[1][s] = spot[0];
    run.slides.ch1_bg[1][s] = spot[1];
    run.slides.ch2_fg[1][s] = spot[2];
    run.slides.ch2_bg[1][s] = spot[3];
  }
  return run;
}

TEST(Background, QualityTestDividesNetIntensityByBackground) {
  ::Run run = slide_of(
      {
          {150, 100, 150, 100},  // net 50 over 100 in both channels: below C = 1.0
          {200, 100, 0, 100},    // a quotient equal to C passes
          {150, 100, 300, 100},  // channel 2 alone is enough
          {50, 0, 0, 0},         // a positive net over a zero background is +infinity: passes
          {0, 0, 0, 0},          // zero over zero is not a number, which is below C
          {-5, 0, 0, 0},         // a negative net over a zero background is -infinity
      },
      1.0);
  correct_background(run);
  const double expected_qc[] = {QC_FAIL, QC_PASS, QC_PASS, QC_PASS, QC_FAIL, QC_FAIL};
  for (int32_t s = 1; s <= 6; ++s)
    EXPECT_EQ(run.spots.spot_qc[1][s], expected_qc[s - 1]) << "spot " << s;
  EXPECT_EQ(run.spots.ch1_net[1][1], 50.0);
  EXPECT_EQ(run.spots.ch2_net[1][3], 200.0);
  EXPECT_EQ(run.spots.ch1_net[1][6], -5.0);
  // The foregrounds became the nets: no third copy of the spots is held.
  EXPECT_EQ(run.slides.ch1_fg.row_table().block(), nullptr);
  EXPECT_EQ(run.slides.ch2_fg.row_table().block(), nullptr);
  release_run_arrays(run);
}

TEST(Background, WithConstantZeroOnlyTwoNegativeNetsFail) {
  ::Run run = slide_of({{90, 100, 80, 100}, {90, 100, 100, 100}, {120, 100, 50, 100}}, 0.0);
  correct_background(run);
  EXPECT_EQ(run.spots.spot_qc[1][1], QC_FAIL);
  EXPECT_EQ(run.spots.spot_qc[1][2], QC_PASS);
  EXPECT_EQ(run.spots.spot_qc[1][3], QC_PASS);
  release_run_arrays(run);
}

}  // namespace
