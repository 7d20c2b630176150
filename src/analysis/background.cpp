// Background correction: each spot's net intensity in each channel from its foreground and
// background, and the quality test of every spot.
//
// The net is the foreground less the background. The foreground matrices become the net matrices:
// each value is replaced in place, so correction holds no third copy of the spots.
#include "analysis/analysis.hpp"

namespace {

// A spot fails only when neither channel's net intensity reaches C times its background. The
// quotients are tested with >=, so one that is not a number (zero over zero) counts as below C,
// and a positive net over a zero background (+infinity) passes.
bool passes_quality_test(double ch1_net, double ch1_bg, double ch2_net, double ch2_bg, double c) {
  const double q1 = ch1_net / ch1_bg;
  if (q1 >= c) return true;
  const double q2 = ch2_net / ch2_bg;
  return q2 >= c;
}

}  // namespace

void correct_background(Run& run) {
  const int32_t files = run.options.FileCount;
  const int32_t spots = run.slides.TotalSpots;
  Slides& slides = run.slides;
  run.spots.spot_qc = dmatrix(1, files, 1, spots);
  for (int32_t f = 1; f <= files; ++f) {
    const DoubleVector& ch1 = slides.ch1_fg[f];
    const DoubleVector& ch2 = slides.ch2_fg[f];
    const DoubleVector& ch1_bg = slides.ch1_bg[f];
    const DoubleVector& ch2_bg = slides.ch2_bg[f];
    const DoubleVector& qc = run.spots.spot_qc[f];
    for (int32_t s = 1; s <= spots; ++s) {
      ch1[s] = ch1[s] - ch1_bg[s];
      ch2[s] = ch2[s] - ch2_bg[s];
      const bool passes =
          passes_quality_test(ch1[s], ch1_bg[s], ch2[s], ch2_bg[s], run.options.QualityConstant);
      qc[s] = passes ? QC_PASS : QC_FAIL;
    }
  }
  run.spots.ch1_net = slides.ch1_fg;
  run.spots.ch2_net = slides.ch2_fg;
  slides.ch1_fg = DoubleMatrix();
  slides.ch2_fg = DoubleMatrix();
}
