// The figures of the HTML report, taken from the run while its values exist.
#include <algorithm>
#include <cmath>
#include <vector>

#include "page/page.hpp"
#include "run/text_field.hpp"

namespace {

// Buckets of the order statistics below: the values' range cut into this many equal parts.
constexpr std::size_t kRankBuckets = 4096;

// Values by their rank in ascending order, for a few ranks, without sorting all of them: the
// values are counted in equal buckets of their range (a bucket rises with the value, as rounding
// keeps (v - lowest) * scale in order), and only the buckets that hold a wanted rank are gathered
// and sorted.
class RankedValues {
 public:
  RankedValues(const std::vector<double>& values, double lowest, double highest,
               const std::vector<std::size_t>& ranks)
      : lowest_(lowest), scale_(highest > lowest ? kRankBuckets / (highest - lowest) : 0.0) {
    std::vector<std::size_t> counts(kRankBuckets, 0);
    for (double v : values)
      ++counts[bucket_of(v)];
    // The bucket of each wanted rank, taken in ascending order of rank, and the rank of its first
    // value.
    std::vector<std::size_t> order(ranks.size());
    for (std::size_t i = 0; i < order.size(); ++i)
      order[i] = i;
    std::sort(order.begin(), order.end(),
              [&ranks](std::size_t a, std::size_t b) { return ranks[a] < ranks[b]; });
    std::vector<int> slot_of(kRankBuckets, -1);
    slots_.assign(ranks.size(), 0);
    std::size_t first_rank = 0;
    std::size_t wanted = 0;
    for (std::size_t bucket = 0; bucket < kRankBuckets && wanted < order.size(); ++bucket) {
      while (wanted < order.size() && ranks[order[wanted]] < first_rank + counts[bucket]) {
        if (slot_of[bucket] < 0) {
          slot_of[bucket] = static_cast<int>(gathered_.size());
          gathered_.emplace_back();
          gathered_.back().reserve(counts[bucket]);
          first_ranks_.push_back(first_rank);
        }
        slots_[order[wanted]] = static_cast<std::size_t>(slot_of[bucket]);
        ++wanted;
      }
      first_rank += counts[bucket];
    }
    for (double v : values) {
      const int slot = slot_of[bucket_of(v)];
      if (slot >= 0) gathered_[static_cast<std::size_t>(slot)].push_back(v);
    }
    for (std::vector<double>& bucket : gathered_)
      std::sort(bucket.begin(), bucket.end());
    ranks_ = ranks;
  }

  // The value of the i-th wanted rank.
  double value(std::size_t i) const {
    const std::size_t slot = slots_[i];
    return gathered_[slot][ranks_[i] - first_ranks_[slot]];
  }

 private:
  std::size_t bucket_of(double v) const {
    return std::min(static_cast<std::size_t>((v - lowest_) * scale_), kRankBuckets - 1);
  }

  double lowest_, scale_;
  std::vector<std::vector<double>> gathered_;
  std::vector<std::size_t> first_ranks_;  // rank of the first value of each gathered bucket
  std::vector<std::size_t> slots_;        // the gathered bucket of each wanted rank
  std::vector<std::size_t> ranks_;
};

// Quantile p by linear interpolation between the order statistics around (n - 1) * p, the common
// default of statistics software. The ranks wanted are those of three quartiles, each with the
// rank above it (or itself at the top).
void set_quartiles(BoxFigures& box, const std::vector<double>& values) {
  const std::size_t n = values.size();
  const double quartiles[3] = {0.25, 0.5, 0.75};
  std::vector<std::size_t> ranks;
  for (double p : quartiles) {
    const auto below = static_cast<std::size_t>(std::floor(static_cast<double>(n - 1) * p));
    ranks.push_back(below);
    ranks.push_back(std::min(below + 1, n - 1));
  }
  const RankedValues ranked(values, box.lowest, box.highest, ranks);
  double* results[3] = {&box.lower_quartile, &box.median, &box.upper_quartile};
  for (std::size_t q = 0; q < 3; ++q) {
    const double h = static_cast<double>(n - 1) * quartiles[q];
    const double at = ranked.value(2 * q);
    const double above = ranked.value(2 * q + 1);
    *results[q] = at + (h - std::floor(h)) * (above - at);
  }
}

BoxFigures box_of(const std::vector<double>& values) {
  BoxFigures box;
  box.count = static_cast<int64_t>(values.size());
  if (values.empty()) return box;
  // Plain loops over locals: the extremes of every slide's values are a good part of the time the
  // figures take.
  double lowest = values[0], highest = values[0];
  for (double v : values) {
    lowest = v < lowest ? v : lowest;
    highest = v > highest ? v : highest;
  }
  box.lowest = lowest;
  box.highest = highest;
  set_quartiles(box, values);
  const double reach = 1.5 * (box.upper_quartile - box.lower_quartile);
  const double lower_reach = box.lower_quartile - reach, upper_reach = box.upper_quartile + reach;
  double lower_whisker = box.lower_quartile, upper_whisker = box.upper_quartile;
  for (double v : values) {
    lower_whisker = v >= lower_reach && v < lower_whisker ? v : lower_whisker;
    upper_whisker = v <= upper_reach && v > upper_whisker ? v : upper_whisker;
  }
  box.lower_whisker = lower_whisker;
  box.upper_whisker = upper_whisker;
  return box;
}

// A spot whose product of nets or ratio overflowed (or the product underflowed to 0) has no place
// on the axes.
bool plottable(double product, double ratio) {
  return product > 0.0 && std::isfinite(product) && std::isfinite(ratio);
}

// The bin of a value on an axis from `lowest` with bins of 1 / scale; a value on the axis's top
// falls in the last bin. Values are never below `lowest`, so truncation is the floor.
int32_t bin_of(double value, double lowest, double scale, int32_t bins) {
  return std::min(static_cast<int32_t>((value - lowest) * scale), bins - 1);
}

// The MA axes cover every spot with a ratio on every slide. log2 rises with its argument, so the
// ranges come from the smallest and largest ratio and product of the nets, without a logarithm.
void set_ma_axes(Run& run) {
  RunFigures& figures = run.figures;
  double product_low = INFINITY, product_high = -INFINITY;
  double ratio_low = INFINITY, ratio_high = -INFINITY;
  for (int32_t f = 1; f <= run.FileCount; ++f) {
    for (int32_t s = 1; s <= run.TotalSpots; ++s) {
      const double ratio = run.spot_ratio[f][s];
      if (ratio == 0.0) continue;
      const double product = run.ch1_net[f][s] * run.ch2_net[f][s];
      if (!plottable(product, ratio)) continue;
      product_low = std::min(product_low, product);
      product_high = std::max(product_high, product);
      ratio_low = std::min(ratio_low, ratio);
      ratio_high = std::max(ratio_high, ratio);
    }
  }
  if (ratio_low > ratio_high) return;  // no spot has a ratio: the default axes stay
  figures.a_lowest = std::log2(product_low) / 2;
  figures.a_highest = std::log2(product_high) / 2;
  figures.m_lowest = std::log2(ratio_low);
  figures.m_highest = std::log2(ratio_high);
  // A range of one value is widened so that its bins have a width.
  if (!(figures.a_highest > figures.a_lowest)) figures.a_lowest -= 0.5, figures.a_highest += 0.5;
  if (!(figures.m_highest > figures.m_lowest)) figures.m_lowest -= 0.5, figures.m_highest += 0.5;
}

void collect_slide(Run& run, int32_t f, std::vector<double>& log2_ratios) {
  const RunFigures& figures = run.figures;
  SlideFigures slide;
  slide.file = run.FileNames[f].block();
  slide.ch1_total = run.channel_totals[f][1];
  slide.ch2_total = run.channel_totals[f][2];
  slide.norm_factor = run.norm_factor[f];
  slide.ma_pass.assign(kMaBinsA * kMaBinsM, 0);
  slide.ma_fail.assign(kMaBinsA * kMaBinsM, 0);
  log2_ratios.clear();
  const double a_scale = kMaBinsA / (figures.a_highest - figures.a_lowest);
  const double m_scale = kMaBinsM / (figures.m_highest - figures.m_lowest);
  for (int32_t s = 1; s <= run.TotalSpots; ++s) {
    const bool fails = run.spot_qc[f][s] < 0.0;
    if (fails) ++slide.spots_failing_quality;
    const double ratio = run.spot_ratio[f][s];
    if (ratio == 0.0) {
      ++slide.spots_without_ratio;
      continue;
    }
    const double product = run.ch1_net[f][s] * run.ch2_net[f][s];
    if (!plottable(product, ratio)) continue;
    const double m = std::log2(ratio);
    const double a = std::log2(product) / 2;
    log2_ratios.push_back(m);
    const int32_t bin = bin_of(m, figures.m_lowest, m_scale, kMaBinsM) * kMaBinsA +
                        bin_of(a, figures.a_lowest, a_scale, kMaBinsA);
    ++(fails ? slide.ma_fail : slide.ma_pass)[static_cast<std::size_t>(bin)];
  }
  slide.log2_ratio = box_of(log2_ratios);
  run.figures.slides.push_back(std::move(slide));
}

std::string gene_position(const Run& run, int32_t gene) {
  const int32_t first_spot = (gene - 1) * run.ReplicateCount + 1;
  const int32_t last_spot = gene * run.ReplicateCount;
  return "AR" + std::to_string(run.spot_array_row[last_spot]) + " AC" +
         std::to_string(run.spot_array_col[last_spot]) + " R" +
         std::to_string(run.spot_row[last_spot]) + " C" + std::to_string(run.spot_col[first_spot]) +
         "-C" + std::to_string(run.spot_col[last_spot]);
}

}  // namespace

void collect_spot_figures(Run& run) {
  RunFigures& figures = run.figures;
  figures.files = run.FileCount;
  figures.spots_per_slide = run.TotalSpots;
  figures.genes = run.GeneNumber;
  figures.replicates = run.ReplicateCount;
  figures.ratio_choice = run.RatioChoice;
  figures.quality_constant = run.QualityConstant;
  figures.command_line = run.CommandLineText;
  set_ma_axes(run);
  std::vector<double> log2_ratios;
  log2_ratios.reserve(static_cast<std::size_t>(run.TotalSpots));
  for (int32_t f = 1; f <= run.FileCount; ++f)
    collect_slide(run, f, log2_ratios);
}

void collect_gene_figures(Run& run) {
  for (int32_t f = 1; f <= run.FileCount; ++f)
    run.figures.slides[static_cast<std::size_t>(f - 1)].outliers_rejected = run.file_outliers[f];
  for (int32_t g = 1; g <= run.GeneNumber; ++g) {
    if (run.p_value[g] < 0.0) continue;
    const int32_t last_spot = g * run.ReplicateCount;
    GeneFigures gene;
    gene.gene = g;
    gene.name = field_without_tab(run.spot_name[last_spot].block());
    gene.position = gene_position(run, g);
    gene.mean_ratio = run.ratio_mean[g];
    gene.log2_mean = run.log_mean[g];
    gene.p_value = run.p_value[g];
    gene.q_value = run.q_value[g];
    gene.spots_used = run.spots_used[g];
    run.figures.tested_genes.push_back(std::move(gene));
  }
}
