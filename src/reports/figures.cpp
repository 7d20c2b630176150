// The figures of the HTML report, taken from the run while its values exist.
#include <algorithm>
#include <cmath>
#include <vector>

#include "reports/reports.hpp"
#include "reports/table_writer.hpp"

namespace {

// Quantile p of the values by linear interpolation between the order statistics around
// (n - 1) * p, the common default of statistics software. Reorders the values.
double quantile(std::vector<double>& values, double p) {
  const double h = static_cast<double>(values.size() - 1) * p;
  const auto k = static_cast<std::ptrdiff_t>(std::floor(h));
  std::nth_element(values.begin(), values.begin() + k, values.end());
  const double below = values[static_cast<std::size_t>(k)];
  if (k + 1 == static_cast<std::ptrdiff_t>(values.size())) return below;
  const double above = *std::min_element(values.begin() + k + 1, values.end());
  return below + (h - static_cast<double>(k)) * (above - below);
}

BoxFigures box_of(std::vector<double>& values) {
  BoxFigures box;
  box.count = static_cast<int64_t>(values.size());
  if (values.empty()) return box;
  box.lower_quartile = quantile(values, 0.25);
  box.median = quantile(values, 0.5);
  box.upper_quartile = quantile(values, 0.75);
  const double reach = 1.5 * (box.upper_quartile - box.lower_quartile);
  box.lowest = box.highest = values[0];
  box.lower_whisker = box.lower_quartile;
  box.upper_whisker = box.upper_quartile;
  for (double v : values) {
    box.lowest = std::min(box.lowest, v);
    box.highest = std::max(box.highest, v);
    if (v >= box.lower_quartile - reach) box.lower_whisker = std::min(box.lower_whisker, v);
    if (v <= box.upper_quartile + reach) box.upper_whisker = std::max(box.upper_whisker, v);
  }
  return box;
}

// A spot whose product of nets or ratio overflowed (or the product underflowed to 0) has no place
// on the axes.
bool plottable(double product, double ratio) {
  return product > 0.0 && std::isfinite(product) && std::isfinite(ratio);
}

int32_t bin_of(double value, double lowest, double highest, int32_t bins) {
  const auto bin = static_cast<int32_t>(std::floor((value - lowest) / (highest - lowest) * bins));
  return std::clamp(bin, 0, bins - 1);
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
    const int32_t bin = bin_of(m, figures.m_lowest, figures.m_highest, kMaBinsM) * kMaBinsA +
                        bin_of(a, figures.a_lowest, figures.a_highest, kMaBinsA);
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
