#include "synthetic_figures.hpp"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <string>
#include <vector>

#include "../tools/slide_random.hpp"
#include "numeric/numeric.hpp"

namespace {

// A spot's A and M after normalisation; M is NaN for a spot without a ratio.
struct SimulatedSpot {
  float a, m;
  bool failed;
};

double log2_of(double value) {
  return std::log(value) / std::log(2.0);
}

// Linear interpolation between the order statistics of sorted values.
double quantile(const std::vector<double>& sorted, double fraction) {
  double position = fraction * static_cast<double>(sorted.size() - 1);
  auto below = static_cast<std::size_t>(position);
  std::size_t above = std::min(below + 1, sorted.size() - 1);
  double weight = position - static_cast<double>(below);
  return sorted[below] * (1.0 - weight) + sorted[above] * weight;
}

BoxFigures box_of(std::vector<double> values) {
  BoxFigures box;
  box.count = static_cast<int64_t>(values.size());
  if (values.empty()) return box;
  std::sort(values.begin(), values.end());
  box.lowest = values.front();
  box.highest = values.back();
  box.lower_quartile = quantile(values, 0.25);
  box.median = quantile(values, 0.5);
  box.upper_quartile = quantile(values, 0.75);
  double reach = 1.5 * (box.upper_quartile - box.lower_quartile);
  box.lower_whisker = *std::lower_bound(values.begin(), values.end(), box.lower_quartile - reach);
  box.upper_whisker =
      *(std::upper_bound(values.begin(), values.end(), box.upper_quartile + reach) - 1);
  return box;
}

// Two-sided one-sample t-test of the values against 0, as the program's gene statistics do it.
double t_test_p(const std::vector<double>& values) {
  double n = static_cast<double>(values.size());
  double sum = 0.0, squares = 0.0;
  for (double v : values)
    sum += v;
  double mean = sum / n;
  for (double v : values)
    squares += (v - mean) * (v - mean);
  double sd = std::sqrt(squares / n);
  double freedom = n - 1.0;
  double t = mean * std::sqrt(freedom) / sd;
  return betai(0.5 * freedom, 0.5, freedom / (freedom + t * t));
}

// Benjamini-Hochberg q-values of the genes' p-values.
void set_q_values(std::vector<GeneFigures>& genes) {
  std::vector<std::size_t> order(genes.size());
  for (std::size_t i = 0; i < order.size(); ++i)
    order[i] = i;
  std::sort(order.begin(), order.end(),
            [&](std::size_t a, std::size_t b) { return genes[a].p_value < genes[b].p_value; });
  double smallest = 1.0;
  for (std::size_t rank = order.size(); rank >= 1; --rank) {
    GeneFigures& gene = genes[order[rank - 1]];
    double q = gene.p_value * static_cast<double>(genes.size()) / static_cast<double>(rank);
    smallest = std::min(smallest, q);
    gene.q_value = smallest;
  }
}

std::string two_digits(int32_t number) {
  return (number < 10 ? "0" : "") + std::to_string(number);
}

}  // namespace

RunFigures synthetic_figures(int32_t slides, int32_t spots_per_slide, int32_t replicates) {
  Random random{20240611};
  RunFigures figures;
  figures.files = slides;
  figures.spots_per_slide = spots_per_slide;
  figures.replicates = replicates;
  figures.genes = spots_per_slide / replicates;
  figures.quality_constant = 1.5;
  figures.command_line = "corvane --report run-report.html";

  // Each gene's brightness and true log2 ratio.
  std::vector<double> gene_a(figures.genes), gene_m(figures.genes);
  for (int32_t g = 0; g < figures.genes; ++g) {
    gene_a[g] = 10.0 + 1.8 * random.normal();
    gene_m[g] = 0.0;
    if (random.chance(0.1)) {
      gene_m[g] = (random.chance(0.5) ? 1.0 : -1.0) * random.uniform(log2_of(1.2), log2_of(3.0));
    }
  }

  std::vector<std::vector<SimulatedSpot>> spots(slides);
  std::vector<std::vector<double>> gene_log2(figures.genes);
  for (int32_t s = 0; s < slides; ++s) {
    SlideFigures slide;
    slide.file = "slide" + two_digits(s + 1) + ".txt";
    double dye_bias = s == 2 ? log2_of(2.4) : 0.3 * random.normal();
    double fail_below = (s == slides - 1 && slides >= 4) ? 9.2 : 7.0;
    bool no_ratio = s == 6 && slides >= 10;
    double ch1_total = 0.0, ch2_total = 0.0;
    std::vector<SimulatedSpot>& slide_spots = spots[s];
    for (int32_t spot = 0; spot < spots_per_slide; ++spot) {
      int32_t g = std::min(spot / replicates, figures.genes - 1);
      double a = gene_a[g] + 0.3 * random.normal();
      // More noise for weak spots.
      double m = gene_m[g] + dye_bias + (0.2 + 0.5 * std::exp(-(a - 6.0) / 1.5)) * random.normal();
      double ch1 = std::exp2(a - m / 2.0), ch2 = std::exp2(a + m / 2.0);
      ch1_total += ch1;
      ch2_total += ch2;
      bool failed = a + 0.5 * random.normal() < fail_below;
      bool missing = no_ratio || random.chance(0.01);
      slide_spots.push_back({static_cast<float>(a), missing ? NAN : static_cast<float>(m), failed});
      if (failed) ++slide.spots_failing_quality;
      if (missing) ++slide.spots_without_ratio;
    }
    slide.ch1_total = ch1_total;
    slide.ch2_total = ch2_total;
    slide.norm_factor = ch2_total / ch1_total;
    // Normalisation scales channel 2 by the factor, which moves every M down by its log2.
    std::vector<double> log2_ratios;
    for (int32_t spot = 0; spot < spots_per_slide; ++spot) {
      SimulatedSpot& simulated = slide_spots[spot];
      if (std::isnan(simulated.m)) continue;
      simulated.m = static_cast<float>(simulated.m - log2_of(slide.norm_factor));
      simulated.a = static_cast<float>(simulated.a - log2_of(slide.norm_factor) / 2.0);
      log2_ratios.push_back(simulated.m);
      int32_t g = spot / replicates;
      if (!simulated.failed && g < figures.genes) gene_log2[g].push_back(simulated.m);
    }
    slide.log2_ratio = box_of(log2_ratios);
    figures.slides.push_back(slide);
  }

  // Shared MA axes over every spot with a ratio, then the bins of each slide.
  figures.a_lowest = figures.m_lowest = INFINITY;
  figures.a_highest = figures.m_highest = -INFINITY;
  for (const auto& slide_spots : spots) {
    for (const SimulatedSpot& spot : slide_spots) {
      if (std::isnan(spot.m)) continue;
      figures.a_lowest = std::min<double>(figures.a_lowest, spot.a);
      figures.a_highest = std::max<double>(figures.a_highest, spot.a);
      figures.m_lowest = std::min<double>(figures.m_lowest, spot.m);
      figures.m_highest = std::max<double>(figures.m_highest, spot.m);
    }
  }
  auto bin = [](double value, double low, double high, int32_t bins) {
    auto index = static_cast<int32_t>((value - low) / (high - low) * bins);
    return std::clamp(index, 0, bins - 1);
  };
  for (int32_t s = 0; s < slides; ++s) {
    SlideFigures& slide = figures.slides[s];
    slide.ma_pass.assign(kMaBinsA * kMaBinsM, 0);
    slide.ma_fail.assign(kMaBinsA * kMaBinsM, 0);
    for (const SimulatedSpot& spot : spots[s]) {
      if (std::isnan(spot.m)) continue;
      int32_t index = bin(spot.m, figures.m_lowest, figures.m_highest, kMaBinsM) * kMaBinsA +
                      bin(spot.a, figures.a_lowest, figures.a_highest, kMaBinsA);
      ++(spot.failed ? slide.ma_fail : slide.ma_pass)[index];
    }
  }

  for (int32_t g = 0; g < figures.genes; ++g) {
    std::vector<double>& values = gene_log2[g];
    if (values.size() < 2) continue;
    GeneFigures gene;
    gene.gene = g + 1;
    gene.name = g == 4 ? "IL-2 <alpha> & \"beta\" 's" : "gene_" + std::to_string(g + 1);
    gene.position = "AR1 AC1 R" + std::to_string(g / 8 + 1) + " C" +
                    std::to_string(g % 8 * replicates + 1) + "-" +
                    std::to_string(g % 8 * replicates + replicates);
    double sum = 0.0, ratio_sum = 0.0;
    for (double v : values) {
      sum += v;
      ratio_sum += std::exp2(v);
    }
    gene.log2_mean = sum / static_cast<double>(values.size());
    gene.mean_ratio = ratio_sum / static_cast<double>(values.size());
    gene.p_value = g == 8 ? 0.0 : t_test_p(values);
    gene.spots_used = static_cast<int32_t>(values.size());
    figures.tested_genes.push_back(gene);
  }
  set_q_values(figures.tested_genes);
  return figures;
}
