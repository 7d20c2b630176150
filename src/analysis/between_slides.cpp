// Normalisation between the slides (--between), after each slide was normalised on its own, as
// limma's normalizeBetweenArrays does it for the M and A values of two-colour arrays: scale
// (every slide's M, and A, divided so that all slides share one median absolute value), quantile
// (the red and green log intensities of all slides given one distribution) or Aquantile (the A
// values given one distribution, M kept).
//
// M is the log2 ratio of channel 2 over channel 1 and A the mean log2 of the two nets before
// normalisation (run.spots.spot_a). Both are normalised in place: M in the ratio matrix, which
// holds it while the method works, and A in spot_a. Afterwards the nets of a spot with a ratio are
// the ones that give its M and A, channel 1 = 2^(A - M / 2) and channel 2 = 2^(A + M / 2), and its
// ratio follows in its slide's orientation; a spot whose M or A the method leaves without a value
// loses its ratio.
#include <cmath>
#include <limits>
#include <vector>

#include "analysis/analysis.hpp"
#include "numeric/between_arrays.hpp"

void normalise_between_slides(Run& run) {
  const BetweenMethod method = run.normalisation.between;
  if (method == BetweenMethod::kNone) return;
  const int32_t files = run.options.FileCount;
  const int32_t spots = run.slides.TotalSpots;
  std::vector<double*> m, a;
  for (int32_t f = 1; f <= files; ++f) {
    const DoubleVector& ratio = run.spots.spot_ratio[f];
    const double sign = ratio_choice_of(run, f) == 1 ? 1.0 : -1.0;
    for (int32_t s = 1; s <= spots; ++s) {
      ratio[s] =
          ratio[s] > 0.0 ? sign * std::log2(ratio[s]) : std::numeric_limits<double>::quiet_NaN();
    }
    m.push_back(&ratio[1]);
    a.push_back(&run.spots.spot_a[f][1]);
  }
  const auto count = static_cast<std::size_t>(spots);
  switch (method) {
    case BetweenMethod::kScale:
      normalise_scale(m, a, count);
      break;
    case BetweenMethod::kQuantile:
      normalise_quantile(m, a, count);
      break;
    case BetweenMethod::kAquantile:
      normalise_aquantile(a, count);
      break;
    case BetweenMethod::kNone:
      break;
  }
  for (int32_t f = 1; f <= files; ++f) {
    const DoubleVector& ratio = run.spots.spot_ratio[f];
    const bool channel_two_over_one = ratio_choice_of(run, f) == 1;
    for (int32_t s = 1; s <= spots; ++s) {
      const double spot_m = ratio[s], spot_a = run.spots.spot_a[f][s];
      if (!std::isfinite(spot_m) || !std::isfinite(spot_a)) {
        ratio[s] = 0.0;
        continue;
      }
      run.spots.ch1_net[f][s] = std::exp2(spot_a - spot_m / 2.0);
      run.spots.ch2_net[f][s] = std::exp2(spot_a + spot_m / 2.0);
      ratio[s] = std::exp2(channel_two_over_one ? spot_m : -spot_m);
    }
  }
}
