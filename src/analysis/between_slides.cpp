// Normalisation between the slides (--between), after each slide was normalised on its own, as
// limma's normalizeBetweenArrays does it for the M and A values of two-colour arrays: scale
// (every slide's M, and A, divided so that all slides share one median absolute value), quantile
// (the red and green log intensities of all slides given one distribution) or Aquantile (the A
// values given one distribution, M kept).
//
// M is the log2 ratio of channel 2 over channel 1 and A the mean log2 of the two nets before
// normalisation (run.spots.spot_a). Afterwards the nets of a spot with a ratio are the ones that
// give its M and A, channel 1 = 2^(A - M / 2) and channel 2 = 2^(A + M / 2), and its ratio follows
// in its slide's orientation; a spot whose M or A the method leaves without a value loses its
// ratio.
#include <cmath>
#include <limits>
#include <vector>

#include "analysis/analysis.hpp"
#include "numeric/between_arrays.hpp"

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

}  // namespace

void normalise_between_slides(Run& run) {
  const BetweenMethod method = run.normalisation.between;
  if (method == BetweenMethod::kNone) return;
  const int32_t files = run.options.FileCount;
  const int32_t spots = run.slides.TotalSpots;
  const auto at = [spots](int32_t f, int32_t s) {
    return static_cast<std::size_t>(f - 1) * static_cast<std::size_t>(spots) +
           static_cast<std::size_t>(s - 1);
  };
  std::vector<double> m(static_cast<std::size_t>(files) * static_cast<std::size_t>(spots));
  std::vector<double> a(m.size());
  for (int32_t f = 1; f <= files; ++f) {
    const bool channel_two_over_one = ratio_choice_of(run, f) == 1;
    for (int32_t s = 1; s <= spots; ++s) {
      const double ratio = run.spots.spot_ratio[f][s];
      const bool has_ratio = ratio > 0.0;
      const double log_ratio = has_ratio ? std::log2(ratio) : kNaN;
      m[at(f, s)] = channel_two_over_one ? log_ratio : -log_ratio;
      a[at(f, s)] = has_ratio ? run.spots.spot_a[f][s] : kNaN;
    }
  }
  const auto arrays = static_cast<std::size_t>(files);
  const auto count = static_cast<std::size_t>(spots);
  switch (method) {
    case BetweenMethod::kScale:
      normalise_scale(m.data(), a.data(), arrays, count);
      break;
    case BetweenMethod::kQuantile:
      normalise_quantile(m.data(), a.data(), arrays, count);
      break;
    case BetweenMethod::kAquantile:
      normalise_aquantile(m.data(), a.data(), arrays, count);
      break;
    case BetweenMethod::kNone:
      break;
  }
  for (int32_t f = 1; f <= files; ++f) {
    const bool channel_two_over_one = ratio_choice_of(run, f) == 1;
    for (int32_t s = 1; s <= spots; ++s) {
      if (!(run.spots.spot_ratio[f][s] > 0.0)) continue;
      const double spot_m = m[at(f, s)], spot_a = a[at(f, s)];
      if (!std::isfinite(spot_m) || !std::isfinite(spot_a)) {
        run.spots.spot_ratio[f][s] = 0.0;
        continue;
      }
      run.spots.spot_a[f][s] = spot_a;
      run.spots.ch1_net[f][s] = std::exp2(spot_a - spot_m / 2.0);
      run.spots.ch2_net[f][s] = std::exp2(spot_a + spot_m / 2.0);
      run.spots.spot_ratio[f][s] = std::exp2(channel_two_over_one ? spot_m : -spot_m);
    }
  }
}
