// The channel totals of every slide, the scaling of channel 2, and the spot ratios.
//
// By default channel 2 is scaled to the total intensity of channel 1 on every slide. The methods
// that work on M, the log2 ratio, leave the channel 2 net of a spot with a ratio as it was read:
// normalise_log_ratios takes it from there.
#include <cstdio>
#include <string>

#include "analysis/analysis.hpp"

namespace {

bool normalises_log_ratios(NormalisationMethod method) {
  return method != NormalisationMethod::kTotal && method != NormalisationMethod::kNone;
}

}  // namespace

void normalise_channels(Run& run) {
  const int32_t files = run.options.FileCount;
  const int32_t spots = run.slides.TotalSpots;
  const NormalisationMethod method = run.normalisation.method;
  run.spots.channel_totals = dmatrix(1, files, 1, 2);
  run.spots.norm_factor = dvector(1, files);

  // Only nets at or above zero count; a net that is not a number fails the test.
  for (int32_t f = 1; f <= files; ++f) {
    run.spots.channel_totals[f][1] = 0.0;
    run.spots.channel_totals[f][2] = 0.0;
    for (int32_t s = 1; s <= spots; ++s) {
      if (run.spots.ch1_net[f][s] >= 0.0) run.spots.channel_totals[f][1] += run.spots.ch1_net[f][s];
      if (run.spots.ch2_net[f][s] >= 0.0) run.spots.channel_totals[f][2] += run.spots.ch2_net[f][s];
    }
  }
  // Unguarded: a file without channel 1 signal gets an infinite or not-a-number factor, and all
  // its ratios then come out as 0.0.
  for (int32_t f = 1; f <= files; ++f) {
    run.spots.norm_factor[f] = run.spots.channel_totals[f][2] / run.spots.channel_totals[f][1];
  }
  if (method == NormalisationMethod::kNone) {
    for (int32_t f = 1; f <= files; ++f)
      run.spots.norm_factor[f] = 1.0;
    return;
  }
  for (int32_t f = 1; f <= files; ++f) {
    for (int32_t s = 1; s <= spots; ++s) {
      const bool has_ratio = run.spots.ch1_net[f][s] > 0.0 && run.spots.ch2_net[f][s] > 0.0;
      if (normalises_log_ratios(method) && has_ratio) continue;
      run.spots.ch2_net[f][s] = run.spots.ch2_net[f][s] / run.spots.norm_factor[f];
    }
  }
}

void compute_spot_ratios(Run& run) {
  const int32_t files = run.options.FileCount;
  const int32_t spots = run.slides.TotalSpots;
  run.spots.spot_ratio = dmatrix(1, files, 1, spots);

  for (int32_t f = 1; f <= files; ++f) {
    const int32_t ratio_choice = ratio_choice_of(run, f);
    for (int32_t s = 1; s <= spots; ++s) {
      double ch1 = run.spots.ch1_net[f][s];
      double ch2 = run.spots.ch2_net[f][s];
      if (ch1 > 0.0 && ch2 > 0.0) {
        run.spots.spot_ratio[f][s] = (ratio_choice == 1) ? ch2 / ch1 : ch1 / ch2;
      } else {
        run.spots.spot_ratio[f][s] = 0.0;  // no usable ratio
      }
    }
  }
}

void warn_about_channel_totals(const Run& run) {
  const Console& console = run.options.console;
  const char* prefix = console.messages == stderr ? "corvane: warning: " : "Warning: ";
  for (int32_t f = 1; f <= run.options.FileCount; ++f) {
    const std::string slide =
        "slide " + std::to_string(f) + " (" + run.options.FileNames[f].block() + ")";
    const std::string problem = channel_total_problem(run.spots.channel_totals[f][1],
                                                      run.spots.channel_totals[f][2], slide);
    if (problem.empty()) continue;
    print_failure(console, "%s%s, so it has no normalisation factor and no ratios\n", prefix,
                  problem.c_str());
  }
}
