#include "page/slide_shades.hpp"

#include <algorithm>
#include <array>
#include <cfloat>
#include <cmath>

namespace {

constexpr double kLimitStep = 0.5;
constexpr double kLargestLimit = 16.0;

// The ratios at which the shades change: step k of 0..12 holds the log2 ratios from
// -limit + k * width to -limit + (k + 1) * width, width = 2 * limit / 13.
using ShadeBounds = std::array<double, kImageShades - 1>;

ShadeBounds shade_bounds(double limit) {
  ShadeBounds bounds{};
  const double width = 2.0 * limit / kImageShades;
  for (std::size_t k = 0; k < bounds.size(); ++k)
    bounds[k] = std::exp2(-limit + static_cast<double>(k + 1) * width);
  return bounds;
}

// The shade is the number of bounds at or below the ratio, counted without a branch so that the
// loop runs at the speed of reading the ratios.
void shade_slide(const Run& run, int32_t f, const ShadeBounds& bounds,
                 std::vector<uint8_t>& shades) {
  shades.resize(static_cast<std::size_t>(run.TotalSpots));
  const DoubleVector ratios = run.spot_ratio[f];
  const DoubleVector flags = run.spot_qc[f];
  for (int32_t s = 1; s <= run.TotalSpots; ++s) {
    const double ratio = ratios[s];
    int32_t shade = 0;
    for (double bound : bounds)
      shade += ratio >= bound ? 1 : 0;
    // A ratio that overflowed (or is not a number) has no log2 ratio to show either.
    const bool shown = ratio != 0.0 && !(flags[s] < 0.0) && ratio <= DBL_MAX;
    shades[static_cast<std::size_t>(s - 1)] = static_cast<uint8_t>(shown ? shade : kNoRatioShade);
  }
}

}  // namespace

double image_limit_of(const std::vector<SlideFigures>& slides) {
  double farthest = 0.0;
  for (const SlideFigures& slide : slides) {
    const BoxFigures& box = slide.log2_ratio;
    if (box.count == 0) continue;
    for (double end : {box.lower_whisker, box.upper_whisker})
      if (std::isfinite(end)) farthest = std::max(farthest, std::fabs(end));
  }
  const double rounded = std::ceil(farthest / kLimitStep) * kLimitStep;
  return std::clamp(rounded, kLimitStep, kLargestLimit);
}

void collect_slide_shades(Run& run) {
  RunFigures& figures = run.figures;
  figures.spot_places.resize(static_cast<std::size_t>(run.TotalSpots));
  for (int32_t s = 1; s <= run.TotalSpots; ++s) {
    figures.spot_places[static_cast<std::size_t>(s - 1)] = {
        run.spot_array_row[s], run.spot_array_col[s], run.spot_row[s], run.spot_col[s]};
  }
  figures.image_limit = image_limit_of(figures.slides);
  const ShadeBounds bounds = shade_bounds(figures.image_limit);
  for (int32_t f = 1; f <= run.FileCount; ++f)
    shade_slide(run, f, bounds, figures.slides[static_cast<std::size_t>(f - 1)].image_shades);
}
