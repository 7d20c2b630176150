// The channel totals of every slide, the scaling of channel 2, and the spot ratios.
//
// By default channel 2 is scaled to the total intensity of channel 1 on every slide. The methods
// that work on M, the log2 ratio, leave the channel 2 net of a spot with a ratio as it was read:
// normalise_log_ratios takes it from there.
#include "analysis/analysis.hpp"

namespace {

bool normalises_log_ratios(NormalisationMethod method) {
  return method != NormalisationMethod::kTotal && method != NormalisationMethod::kNone;
}

}  // namespace

void normalise_channels(Run& run) {
  const int32_t files = run.FileCount;
  const int32_t spots = run.TotalSpots;
  const NormalisationMethod method = run.normalisation.method;
  run.channel_totals = dmatrix(1, files, 1, 2);
  run.norm_factor = dvector(1, files);

  // Only nets at or above zero count; a net that is not a number fails the test.
  for (int32_t f = 1; f <= files; ++f) {
    run.channel_totals[f][1] = 0.0;
    run.channel_totals[f][2] = 0.0;
    for (int32_t s = 1; s <= spots; ++s) {
      if (run.ch1_net[f][s] >= 0.0) run.channel_totals[f][1] += run.ch1_net[f][s];
      if (run.ch2_net[f][s] >= 0.0) run.channel_totals[f][2] += run.ch2_net[f][s];
    }
  }
  // Unguarded: a file without channel 1 signal gets an infinite or not-a-number factor, and all
  // its ratios then come out as 0.0.
  for (int32_t f = 1; f <= files; ++f) {
    run.norm_factor[f] = run.channel_totals[f][2] / run.channel_totals[f][1];
  }
  if (method == NormalisationMethod::kNone) {
    for (int32_t f = 1; f <= files; ++f)
      run.norm_factor[f] = 1.0;
    return;
  }
  for (int32_t f = 1; f <= files; ++f) {
    for (int32_t s = 1; s <= spots; ++s) {
      const bool has_ratio = run.ch1_net[f][s] > 0.0 && run.ch2_net[f][s] > 0.0;
      if (normalises_log_ratios(method) && has_ratio) continue;
      run.ch2_net[f][s] = run.ch2_net[f][s] / run.norm_factor[f];
    }
  }
}

void compute_spot_ratios(Run& run) {
  const int32_t files = run.FileCount;
  const int32_t spots = run.TotalSpots;
  run.spot_ratio = dmatrix(1, files, 1, spots);

  for (int32_t f = 1; f <= files; ++f) {
    const int32_t ratio_choice = ratio_choice_of(run, f);
    for (int32_t s = 1; s <= spots; ++s) {
      double ch1 = run.ch1_net[f][s];
      double ch2 = run.ch2_net[f][s];
      if (ch1 > 0.0 && ch2 > 0.0) {
        run.spot_ratio[f][s] = (ratio_choice == 1) ? ch2 / ch1 : ch1 / ch2;
      } else {
        run.spot_ratio[f][s] = 0.0;  // no usable ratio
      }
    }
  }
}
