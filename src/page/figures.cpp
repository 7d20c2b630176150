// The figures of the HTML report, taken from the run while its values exist.
#include <algorithm>
#include <cmath>
#include <vector>

#include "page/box_figures.hpp"
#include "page/page.hpp"
#include "run/shared_work.hpp"

namespace {

// A spot whose product of nets or ratio overflowed (or the product underflowed to 0) has no place
// on the axes.
bool plottable(double product, double ratio) {
  return product > 0.0 && std::isfinite(product) && std::isfinite(ratio);
}

// Fine bins of M for the medians of the curves: each MA bin of M cut into this many, so that a
// spot's MA bin of M is its fine bin divided by it (the fine scale is the coarse one times a
// power of two, which rounds the same).
constexpr int32_t kFineBinsPerMBin = 8;
constexpr int32_t kFineBinsM = kMaBinsM * kFineBinsPerMBin;

// The bin of a value on an axis of `bins` bins from `lowest`, 1 / scale wide. A value beyond
// either end falls in the end bin, and one that is not a number in bin 0, so that no index ever
// leaves the axis (the A of the nets as read is only bounded, not exactly the axis's range).
int32_t clamped_bin(double value, double lowest, double scale, int32_t bins) {
  const double position = (value - lowest) * scale;
  if (!(position >= 0.0)) return 0;
  if (position >= bins) return bins - 1;
  return static_cast<int32_t>(position);
}

// Half the sign that takes a spot's removed M to its A as read: a slide's M is log2 of channel 2
// over channel 1 in orientation 1, so normalisation that lowered M lowered channel 2 and with it
// A by half as much; in orientation 2 the other way round.
double half_sign_of(const Run& run, int32_t f) {
  return ratio_choice_of(run, f) == 1 ? 0.5 : -0.5;
}

// The code of a log2 ratio on the slide images; a value beyond the codes is held at the end.
uint16_t log2_code(double m) {
  const double code = std::clamp(kLog2CodeZero + kLog2CodesPerUnit * m + 0.5, 1.0, 65535.0);
  return static_cast<uint16_t>(code);  // the truncation of a positive value rounds it down
}

// The extremes of one slide's spots that have a place on the MA axes; empty ranges (low above
// high) for a slide without such a spot.
struct SlideExtremes {
  double ratio_low = INFINITY, ratio_high = -INFINITY;
  double a_low = INFINITY, a_high = -INFINITY;
};

// log2 rises with its argument, so M's range comes from the smallest and largest ratio, and A's
// from the smallest and largest product of the nets, widened by the most that the slide's
// normalisation moved A either way. That is a superset of the A as read, at one logarithm a
// slide.
SlideExtremes extremes_of_slide(const Run& run, int32_t f) {
  SlideExtremes extremes;
  const double half_sign = half_sign_of(run, f);
  double product_low = INFINITY, product_high = -INFINITY;
  double shift_low = 0.0, shift_high = 0.0;
  const bool per_spot = !scales_whole_slides(run.normalisation.method);
  const double slide_removed = per_spot ? 0.0 : run.normalisation.slide_removed_m[f];
  for (int32_t s = 1; s <= run.slides.TotalSpots; ++s) {
    const double ratio = run.spots.spot_ratio[f][s];
    if (ratio == 0.0) continue;
    const double product = run.spots.ch1_net[f][s] * run.spots.ch2_net[f][s];
    if (!plottable(product, ratio)) continue;
    product_low = std::min(product_low, product);
    product_high = std::max(product_high, product);
    extremes.ratio_low = std::min(extremes.ratio_low, ratio);
    extremes.ratio_high = std::max(extremes.ratio_high, ratio);
    // A shift that is not finite is not counted: its spot is held at an end of the axis.
    const double shift = half_sign * (per_spot ? run.normalisation.removed_m[f][s] : slide_removed);
    if (!std::isfinite(shift)) continue;
    shift_low = std::min(shift_low, shift);
    shift_high = std::max(shift_high, shift);
  }
  if (product_low > product_high) return extremes;  // no spot of this slide has a place
  extremes.a_low = std::log2(product_low) / 2 + shift_low;
  extremes.a_high = std::log2(product_high) / 2 + shift_high;
  return extremes;
}

// The MA axes cover every spot with a ratio on every slide.
void set_ma_axes(Run& run, int32_t threads) {
  RunFigures& figures = run.figures;
  std::vector<SlideExtremes> slides(static_cast<std::size_t>(run.options.FileCount));
  share_among_threads<NoScratch>(
      run.options.FileCount, threads, [&run, &slides](int32_t f, NoScratch&) {
        slides[static_cast<std::size_t>(f - 1)] = extremes_of_slide(run, f);
      });
  double ratio_low = INFINITY, ratio_high = -INFINITY;
  double a_low = INFINITY, a_high = -INFINITY;
  for (const SlideExtremes& slide : slides) {
    ratio_low = std::min(ratio_low, slide.ratio_low);
    ratio_high = std::max(ratio_high, slide.ratio_high);
    a_low = std::min(a_low, slide.a_low);
    a_high = std::max(a_high, slide.a_high);
  }
  if (ratio_low > ratio_high) return;  // no spot has a ratio: the default axes stay
  figures.a_lowest = a_low;
  figures.a_highest = a_high;
  figures.m_lowest = std::log2(ratio_low);
  figures.m_highest = std::log2(ratio_high);
  // A range of one value is widened so that its bins have a width.
  if (!(figures.a_highest > figures.a_lowest)) figures.a_lowest -= 0.5, figures.a_highest += 0.5;
  if (!(figures.m_highest > figures.m_lowest)) figures.m_lowest -= 0.5, figures.m_highest += 0.5;
}

// What a thread reuses from slide to slide: a slide's log2 ratios for its box, and the counts of
// the values of the two curves in fine bins of M for every A bin, index
// a_bin * kFineBinsM + fine bin.
struct SlideScratch {
  std::vector<double> log2_ratios;
  std::vector<int32_t> after, before;
};

// The median of the values counted in fine bins (bin k from lowest + k * width), the c values of
// a bin taken as spread evenly across it; not a number without a value. Within a fine bin of
// the true median, at a fraction of a pixel of the panels.
double median_of_counts(const int32_t* counts, double lowest, double width) {
  int64_t total = 0;
  for (int32_t k = 0; k < kFineBinsM; ++k)
    total += counts[k];
  if (total == 0) return NAN;
  // The value of rank r, counted from 1.
  auto value_of_rank = [&](int64_t rank) {
    int64_t below = 0;
    int32_t k = 0;
    while (below + counts[k] < rank)
      below += counts[k++];
    const double place = (static_cast<double>(rank - below) - 0.5) / counts[k];
    return lowest + (k + place) * width;
  };
  if (total % 2 == 1) return value_of_rank((total + 1) / 2);
  return (value_of_rank(total / 2) + value_of_rank(total / 2 + 1)) / 2;
}

std::vector<double> medians_by_a_bin(const std::vector<int32_t>& counts, double lowest,
                                     double width) {
  std::vector<double> medians(kMaBinsA);
  for (int32_t a_bin = 0; a_bin < kMaBinsA; ++a_bin) {
    medians[static_cast<std::size_t>(a_bin)] =
        median_of_counts(&counts[static_cast<std::size_t>(a_bin * kFineBinsM)], lowest, width);
  }
  return medians;
}

// A slide's counts, box, curves and image codes. The spot's A as read and M before normalisation
// come from the normalised ones and what normalisation removed, without another logarithm.
void collect_slide(Run& run, int32_t f, SlideScratch& scratch) {
  const RunFigures& figures = run.figures;
  std::vector<double>& log2_ratios = scratch.log2_ratios;
  SlideFigures slide;
  slide.file = run.options.FileNames[f].block();
  slide.dye_swapped = ratio_choice_of(run, f) != run.options.RatioChoice;
  slide.ch1_total = run.spots.channel_totals[f][1];
  slide.ch2_total = run.spots.channel_totals[f][2];
  slide.norm_factor = run.spots.norm_factor[f];
  slide.ma_pass.assign(kMaBinsA * kMaBinsM, 0);
  slide.ma_fail.assign(kMaBinsA * kMaBinsM, 0);
  scratch.after.assign(kMaBinsA * kFineBinsM, 0);
  scratch.before.assign(kMaBinsA * kFineBinsM, 0);
  log2_ratios.clear();
  slide.image_codes.assign(static_cast<std::size_t>(run.slides.TotalSpots), kNoRatioCode);
  const double a_scale = kMaBinsA / (figures.a_highest - figures.a_lowest);
  const double fine_width = (figures.m_highest - figures.m_lowest) / kFineBinsM;
  const double fine_scale = kFineBinsM / (figures.m_highest - figures.m_lowest);
  const double half_sign = half_sign_of(run, f);
  const bool fitted = figures.before_curve_fitted;
  const bool per_spot = !scales_whole_slides(run.normalisation.method);
  const DoubleVector removed_m = per_spot ? run.normalisation.removed_m[f] : DoubleVector();
  const double slide_removed = per_spot ? 0.0 : run.normalisation.slide_removed_m[f];
  for (int32_t s = 1; s <= run.slides.TotalSpots; ++s) {
    const bool fails = run.spots.spot_qc[f][s] < 0.0;
    if (fails) ++slide.spots_failing_quality;
    const double ratio = run.spots.spot_ratio[f][s];
    if (ratio == 0.0) {
      ++slide.spots_without_ratio;
      continue;
    }
    uint16_t& code = slide.image_codes[static_cast<std::size_t>(s - 1)];
    const double product = run.spots.ch1_net[f][s] * run.spots.ch2_net[f][s];
    if (!plottable(product, ratio)) {
      // Nets whose product overflowed or underflowed may still give a ratio for the image.
      if (!fails && std::isfinite(ratio)) code = log2_code(std::log2(ratio));
      continue;
    }
    const double m = std::log2(ratio);
    if (!fails) code = log2_code(m);
    const double removed = per_spot ? removed_m[s] : slide_removed;
    const double a = std::log2(product) / 2 + half_sign * removed;
    const double before = fitted ? removed : m + removed;
    log2_ratios.push_back(m);
    const int32_t a_bin = clamped_bin(a, figures.a_lowest, a_scale, kMaBinsA);
    const int32_t m_fine = clamped_bin(m, figures.m_lowest, fine_scale, kFineBinsM);
    const int32_t bin = m_fine / kFineBinsPerMBin * kMaBinsA + a_bin;
    ++(fails ? slide.ma_fail : slide.ma_pass)[static_cast<std::size_t>(bin)];
    ++scratch.after[static_cast<std::size_t>(a_bin * kFineBinsM + m_fine)];
    const int32_t before_fine = clamped_bin(before, figures.m_lowest, fine_scale, kFineBinsM);
    ++scratch.before[static_cast<std::size_t>(a_bin * kFineBinsM + before_fine)];
  }
  slide.log2_ratio = box_figures_of(log2_ratios);
  slide.median_m_after = medians_by_a_bin(scratch.after, figures.m_lowest, fine_width);
  slide.median_m_before = medians_by_a_bin(scratch.before, figures.m_lowest, fine_width);
  run.figures.slides[static_cast<std::size_t>(f - 1)] = std::move(slide);
}

}  // namespace

void collect_spot_figures(Run& run, int32_t threads) {
  RunFigures& figures = run.figures;
  figures.files = run.options.FileCount;
  figures.spots_per_slide = run.slides.TotalSpots;
  figures.genes = run.genes.GeneNumber;
  figures.replicates = run.options.ReplicateCount;
  figures.genes_by_id = run.formats.genes_by_id;
  const std::vector<int32_t>& first = run.genes.members.first;
  figures.fewest_spots = figures.replicates;
  for (std::size_t g = 1; g < first.size(); ++g)
    figures.fewest_spots = std::min(figures.fewest_spots, first[g] - first[g - 1]);
  figures.ratio_choice = run.options.RatioChoice;
  figures.quality_constant = run.options.QualityConstant;
  figures.command_line = run.options.CommandLineText;
  figures.threads = run.options.threads;
  const NormalisationMethod method = run.normalisation.method;
  figures.normalisation_method = normalisation_method_name(method);
  figures.before_curve_fitted =
      method == NormalisationMethod::kLoess || method == NormalisationMethod::kPrintTipLoess;
  figures.format = format_title(run.slides.format);
  figures.background = background_method_name(run.background.method);
  figures.background_offset = run.background.offset;
  figures.between = between_method_name(run.normalisation.between);
  set_ma_axes(run, threads);
  // Each slide's figures are its own: the slides are shared among the threads.
  figures.slides.resize(static_cast<std::size_t>(run.options.FileCount));
  share_among_threads<SlideScratch>(
      run.options.FileCount, threads,
      [&run](int32_t f, SlideScratch& scratch) { collect_slide(run, f, scratch); });
  figures.spot_places.resize(static_cast<std::size_t>(run.slides.TotalSpots));
  for (int32_t s = 1; s <= run.slides.TotalSpots; ++s) {
    figures.spot_places[static_cast<std::size_t>(s - 1)] = {
        run.slides.spot_array_row[s], run.slides.spot_array_col[s], run.slides.spot_row[s],
        run.slides.spot_col[s]};
  }
}
