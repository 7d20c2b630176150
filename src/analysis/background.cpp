// Background correction: each spot's net intensity in each channel from its foreground and
// background, and the quality test of every spot.
//
// The net is the foreground less the background (subtract), the foreground itself (none), or the
// signal that the normal-plus-exponential model of the channel expects given the foreground less
// the background (normexp); the offset is then added. The foreground matrices become the net
// matrices: each value is replaced in place, so correction holds no third copy of the spots.
#include <cmath>
#include <limits>

#include "analysis/analysis.hpp"
#include "numeric/normexp.hpp"
#include "run/shared_work.hpp"

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

// The quality test of every spot of slide f on the nets foreground less background; every spot
// passes when the test does not apply.
void test_quality(Run& run, int32_t f) {
  const Slides& slides = run.slides;
  const DoubleVector& qc = run.spots.spot_qc[f];
  const bool applies = slides.format == SlideFormat::kScanner || run.formats.quality_asked;
  for (int32_t s = 1; s <= slides.TotalSpots; ++s) {
    const double ch1_net = slides.ch1_fg[f][s] - slides.ch1_bg[f][s];
    const double ch2_net = slides.ch2_fg[f][s] - slides.ch2_bg[f][s];
    const bool passes =
        !applies || passes_quality_test(ch1_net, slides.ch1_bg[f][s], ch2_net, slides.ch2_bg[f][s],
                                        run.options.QualityConstant);
    qc[s] = passes ? QC_PASS : QC_FAIL;
  }
}

void correct_channel(Run& run, int32_t f, int32_t channel) {
  const Slides& slides = run.slides;
  const BackgroundCorrection& correction = run.background;
  const DoubleVector& foreground = channel == 1 ? slides.ch1_fg[f] : slides.ch2_fg[f];
  const DoubleVector& background = channel == 1 ? slides.ch1_bg[f] : slides.ch2_bg[f];
  const int32_t spots = slides.TotalSpots;
  switch (correction.method) {
    case BackgroundMethod::kNormexp:
      run.background.fitted[static_cast<std::size_t>((f - 1) * 2 + channel - 1)] =
          normexp_correct(&foreground[1], &background[1], static_cast<std::size_t>(spots),
                          correction.offset, &foreground[1]);
      return;
    case BackgroundMethod::kSubtract:
      for (int32_t s = 1; s <= spots; ++s)
        foreground[s] = foreground[s] - background[s];
      break;
    case BackgroundMethod::kNone:
      break;
  }
  // Only an offset that is asked for is added: 0 added to -0 would turn it into +0.
  if (correction.offset != 0.0) {
    for (int32_t s = 1; s <= spots; ++s)
      foreground[s] += correction.offset;
  }
}

}  // namespace

void correct_background(Run& run) {
  const int32_t files = run.options.FileCount;
  const int32_t spots = run.slides.TotalSpots;
  Slides& slides = run.slides;
  run.spots.spot_qc = dmatrix(1, files, 1, spots);
  if (run.background.method == BackgroundMethod::kNormexp)
    run.background.fitted.assign(static_cast<std::size_t>(files) * 2, NormexpFit{});
  // Each slide's channels are corrected apart from every other's.
  share_among_threads<NoScratch>(files, run.options.threads, [&run](int32_t f, NoScratch&) {
    test_quality(run, f);
    correct_channel(run, f, 1);
    correct_channel(run, f, 2);
  });
  run.spots.ch1_net = slides.ch1_fg;
  run.spots.ch2_net = slides.ch2_fg;
  slides.ch1_fg = DoubleMatrix();
  slides.ch2_fg = DoubleMatrix();
  if (!keeps_spot_a(run)) return;
  run.spots.spot_a = dmatrix(1, files, 1, spots);
  for (int32_t f = 1; f <= files; ++f) {
    for (int32_t s = 1; s <= spots; ++s) {
      // A spot without two positive nets has no A, as limma leaves it.
      const double a =
          (std::log2(run.spots.ch1_net[f][s]) + std::log2(run.spots.ch2_net[f][s])) / 2.0;
      run.spots.spot_a[f][s] = std::isfinite(a) ? a : std::numeric_limits<double>::quiet_NaN();
    }
  }
}
