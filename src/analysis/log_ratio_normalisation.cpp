// Normalisation of M, the log2 ratio, within each slide: M less the slide's median M, or less a
// lowess fit of M on A, the mean log2 of the two nets, over the slide or within each print-tip
// group (the spots of one array row and array column).
//
// A fit uses every spot of its slide or group that has a ratio, those failing the quality test
// included. When the files flag spots (or mark controls), those spots have weight 0 and the rest
// weight 1, and the fits are limma's with prior weights: the weighted median, and the lowess with
// prior weights (loess_fit); a spot whose fit is not a number then loses its ratio. The normalised
// ratio is 2 to the normalised M, and channel 2 becomes the net that gives it with channel 1
// unchanged. The fits of different slides are independent and are shared among threads; each
// slide's values are its own, so the results never depend on the threads.
#include <algorithm>
#include <cmath>
#include <map>
#include <utility>
#include <vector>

#include "analysis/analysis.hpp"
#include "numeric/numeric.hpp"
#include "run/shared_work.hpp"

namespace {

// The share of a group's points in each local fit, and the robustness passes after the first.
constexpr double kLowessSpan = 0.3;
constexpr int kLowessIterations = 3;
// Points within this share of the range of A of the last fitted point are interpolated.
constexpr double kLowessDeltaShare = 0.01;
// A group with fewer points than this is not fitted (the span would hold less than one point):
// its normalised M is 0.
constexpr std::size_t kFewestFitted = 4;

// The spots of one fit, in spot order.
using SpotGroup = std::vector<int32_t>;

std::vector<SpotGroup> fit_groups(const Run& run) {
  std::vector<SpotGroup> groups;
  if (run.normalisation.method != NormalisationMethod::kPrintTipLoess) {
    groups.emplace_back();
    for (int32_t s = 1; s <= run.slides.TotalSpots; ++s)
      groups.back().push_back(s);
    return groups;
  }
  std::map<std::pair<int32_t, int32_t>, std::size_t> group_of_block;
  for (int32_t s = 1; s <= run.slides.TotalSpots; ++s) {
    const std::pair<int32_t, int32_t> block{run.slides.spot_array_row[s],
                                            run.slides.spot_array_col[s]};
    auto [place, added] = group_of_block.try_emplace(block, groups.size());
    if (added) groups.emplace_back();
    groups[place->second].push_back(s);
  }
  return groups;
}

// What one thread works with, reused from slide to slide.
struct SlideWork {
  std::vector<int32_t> spots;  // the points of the fit
  std::vector<double> m, a, fit;
  std::vector<double> weights, sorted_weights;  // with prior weights: 0 for a flagged spot, else 1
  std::vector<std::pair<double, std::size_t>> order;  // A and the point's place, sorted by both
  std::vector<double> sorted_a, sorted_m, sorted_fit;
  std::vector<double> factors;
};

// The lowess fit of M on A at every point of the work, in the points' order; with prior weights,
// the fit limma's loessFit makes with them (the same robustness passes: its iterations count the
// first fit).
void fit_lowess(SlideWork& work, bool weighted) {
  const std::size_t n = work.spots.size();
  work.fit = work.m;
  if (n < kFewestFitted) return;
  // Sorted by A; equal A keep the order of their spots.
  work.order.resize(n);
  for (std::size_t i = 0; i < n; ++i)
    work.order[i] = {work.a[i], i};
  std::sort(work.order.begin(), work.order.end());
  work.sorted_a.resize(n);
  work.sorted_m.resize(n);
  for (std::size_t i = 0; i < n; ++i) {
    work.sorted_a[i] = work.order[i].first;
    work.sorted_m[i] = work.m[work.order[i].second];
  }
  if (weighted) {
    work.sorted_weights.resize(n);
    for (std::size_t i = 0; i < n; ++i)
      work.sorted_weights[i] = work.weights[work.order[i].second];
    loess_fit(work.sorted_a, work.sorted_m, work.sorted_weights, kLowessSpan, kLowessIterations + 1,
              work.sorted_fit);
  } else {
    const double delta = kLowessDeltaShare * (work.sorted_a[n - 1] - work.sorted_a[0]);
    lowess(work.sorted_a, work.sorted_m, kLowessSpan, kLowessIterations, delta, work.sorted_fit);
  }
  for (std::size_t i = 0; i < n; ++i)
    work.fit[work.order[i].second] = work.sorted_fit[i];
}

// Takes the points of a group: its spots with a ratio whose M and A are numbers.
void gather_points(const Run& run, int32_t f, const SpotGroup& group, SlideWork& work) {
  work.spots.clear();
  work.m.clear();
  work.a.clear();
  work.weights.clear();
  for (int32_t s : group) {
    const double ratio = run.spots.spot_ratio[f][s];
    if (ratio == 0.0) continue;
    const double m = std::log2(ratio);
    const double a =
        (std::log2(run.spots.ch1_net[f][s]) + std::log2(run.spots.ch2_net[f][s])) / 2.0;
    if (!std::isfinite(m) || !std::isfinite(a)) continue;
    work.spots.push_back(s);
    work.m.push_back(m);
    work.a.push_back(a);
    work.weights.push_back(spot_is_flagged(run, f, s) ? 0.0 : 1.0);
  }
}

// Replaces each point's ratio by 2 to its normalised M and channel 2 by the net that gives it.
void apply_fit(Run& run, int32_t f, SlideWork& work) {
  const bool channel_two_over_one = ratio_choice_of(run, f) == 1;
  Normalisation& normalisation = run.normalisation;
  for (std::size_t i = 0; i < work.spots.size(); ++i) {
    const int32_t s = work.spots[i];
    // A weighted fit can leave a point without a value (every neighbour of weight 0).
    if (!std::isfinite(work.fit[i])) {
      run.spots.spot_ratio[f][s] = 0.0;
      continue;
    }
    const double ratio = std::exp2(work.m[i] - work.fit[i]);
    const double ch1 = run.spots.ch1_net[f][s];
    const double ch2 = channel_two_over_one ? ratio * ch1 : ch1 / ratio;
    work.factors.push_back(run.spots.ch2_net[f][s] / ch2);
    run.spots.spot_ratio[f][s] = ratio;
    run.spots.ch2_net[f][s] = ch2;
    if (normalisation.keep_removed) normalisation.removed_m[f][s] = work.fit[i];
  }
}

void normalise_slide(Run& run, int32_t f, const std::vector<SpotGroup>& groups, SlideWork& work) {
  work.factors.clear();
  const bool weighted = run_has_spot_weights(run);
  for (const SpotGroup& group : groups) {
    gather_points(run, f, group, work);
    if (run.normalisation.method == NormalisationMethod::kMedian) {
      std::vector<double> values = work.m;
      const double median = values.empty() ? 0.0
                            : weighted     ? weighted_median(values, work.weights)
                                           : median_in_place(values);
      work.fit.assign(work.m.size(), median);
    } else {
      fit_lowess(work, weighted);
    }
    apply_fit(run, f, work);
  }
  // The factor data.txt shows: the median of the factors that the spots' channel 2 nets were
  // divided by. Without such a spot it stays the channel-total factor, which the rest were
  // divided by.
  if (!work.factors.empty()) run.spots.norm_factor[f] = median_in_place(work.factors);
}

// What the whole-slide methods take away from M: the log2 of the factor channel 2 was divided
// by, with the sign of the slide's orientation.
void record_whole_slide_shift(Run& run) {
  run.normalisation.slide_removed_m = dvector(1, run.options.FileCount);
  for (int32_t f = 1; f <= run.options.FileCount; ++f) {
    const double shift = run.normalisation.method == NormalisationMethod::kNone
                             ? 0.0
                             : std::log2(run.spots.norm_factor[f]);
    run.normalisation.slide_removed_m[f] = ratio_choice_of(run, f) == 1 ? shift : -shift;
  }
}

}  // namespace

void normalise_log_ratios(Run& run) {
  Normalisation& normalisation = run.normalisation;
  if (scales_whole_slides(normalisation.method)) {
    if (normalisation.keep_removed) record_whole_slide_shift(run);
    return;
  }
  // The fits set what they remove from the spots they fit; nothing is removed from the others.
  if (normalisation.keep_removed) {
    normalisation.removed_m = dmatrix(1, run.options.FileCount, 1, run.slides.TotalSpots);
    for (int32_t f = 1; f <= run.options.FileCount; ++f) {
      for (int32_t s = 1; s <= run.slides.TotalSpots; ++s)
        normalisation.removed_m[f][s] = 0.0;
    }
  }

  const std::vector<SpotGroup> groups = fit_groups(run);
  share_among_threads<SlideWork>(
      run.options.FileCount, run.options.threads,
      [&run, &groups](int32_t f, SlideWork& work) { normalise_slide(run, f, groups, work); });
}
