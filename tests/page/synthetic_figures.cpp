#include "synthetic_figures.hpp"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <string>
#include <vector>

#include "../tools/slide_random.hpp"
#include "numeric/numeric.hpp"
#include "page/html_sections.hpp"

namespace {

// A spot's A as read, its M after normalisation and the trend normalisation took away (the
// lowess fit, here the true trend); M is NaN for a spot without a ratio.
struct SimulatedSpot {
  float a, m, fit;
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

// Benjamini-Hochberg q-values of the genes' p-values of one test.
void set_q_values(std::vector<GeneFigures>& genes, double GeneFigures::*p_value,
                  double GeneFigures::*q_value) {
  std::vector<std::size_t> order(genes.size());
  for (std::size_t i = 0; i < order.size(); ++i)
    order[i] = i;
  std::sort(order.begin(), order.end(),
            [&](std::size_t a, std::size_t b) { return genes[a].*p_value < genes[b].*p_value; });
  double smallest = 1.0;
  for (std::size_t rank = order.size(); rank >= 1; --rank) {
    GeneFigures& gene = genes[order[rank - 1]];
    double q = gene.*p_value * static_cast<double>(genes.size()) / static_cast<double>(rank);
    smallest = std::min(smallest, q);
    gene.*q_value = smallest;
  }
}

// The median of some values, not a number for none.
double median_of(std::vector<double>& values) {
  if (values.empty()) return NAN;
  std::sort(values.begin(), values.end());
  return quantile(values, 0.5);
}

// The moderated t-test of every gene from the means of its passing spots' normalised M on each
// slide, with the prior the program would estimate.
void set_moderated_test(RunFigures& figures, const std::vector<std::vector<double>>& slide_means) {
  std::vector<double> variances, dfs;
  std::vector<double> mean_of(slide_means.size(), NAN), variance_of(slide_means.size(), NAN);
  double pooled_df = 0.0;
  for (std::size_t g = 0; g < slide_means.size(); ++g) {
    const std::vector<double>& means = slide_means[g];
    if (means.empty()) continue;
    double sum = 0.0, squares = 0.0;
    for (double m : means)
      sum += m;
    mean_of[g] = sum / static_cast<double>(means.size());
    if (means.size() < 2) continue;
    for (double m : means)
      squares += (m - mean_of[g]) * (m - mean_of[g]);
    variance_of[g] = squares / static_cast<double>(means.size() - 1);
    variances.push_back(variance_of[g]);
    dfs.push_back(static_cast<double>(means.size() - 1));
    pooled_df += static_cast<double>(means.size() - 1);
  }
  const VariancePrior prior = estimate_variance_prior(variances, dfs);
  figures.moderated = {true, "", prior.df, prior.variance};
  for (GeneFigures& gene : figures.tested_genes) {
    const std::size_t g = static_cast<std::size_t>(gene.gene - 1);
    const double n = static_cast<double>(slide_means[g].size());
    const double d = n - 1.0;
    const double own = n >= 2 ? variance_of[g] : 0.0;
    const double posterior = std::isinf(prior.df)
                                 ? prior.variance
                                 : (prior.df * prior.variance + d * own) / (prior.df + d);
    gene.slides_used = static_cast<int32_t>(slide_means[g].size());
    gene.slide_log2_mean = mean_of[g];
    gene.moderated_t = mean_of[g] / std::sqrt(posterior / n);
    gene.moderated_df = std::min(d + prior.df, pooled_df);
    gene.moderated_p =
        gene.gene == 9 ? 0.0 : two_sided_t_p_value(gene.moderated_t, gene.moderated_df);
  }
  set_q_values(figures.tested_genes, &GeneFigures::moderated_p, &GeneFigures::moderated_q);
}

// Blocks of 24 x 32 spots, as many as the spots fill, in a grid as near square as can be; spot
// s (from 0) lies in block s / 768, row by row.
constexpr int32_t kBlockRows = 24, kBlockColumns = 32;

std::vector<SpotPlace> spot_places(int32_t spots) {
  const int32_t block_spots = kBlockRows * kBlockColumns;
  const int32_t blocks = (spots + block_spots - 1) / block_spots;
  const auto columns = static_cast<int32_t>(std::ceil(std::sqrt(static_cast<double>(blocks))));
  std::vector<SpotPlace> places;
  for (int32_t s = 0; s < spots; ++s) {
    const int32_t block = s / block_spots, within = s % block_spots;
    places.push_back({block / columns + 1, block % columns + 1, within / kBlockColumns + 1,
                      within % kBlockColumns + 1});
  }
  return places;
}

// A scratch across slide 1: the spots on a line through the grid of every spot, crossing blocks.
bool on_scratch(const SpotPlace& place) {
  const int32_t x = (place.array_col - 1) * kBlockColumns + place.col;
  const int32_t y = (place.array_row - 1) * kBlockRows + place.row;
  return y == x * 3 / 5 + 12;
}

// The codes of a slide's spots' log2 ratios for the images.
std::vector<uint16_t> image_codes(const std::vector<SimulatedSpot>& spots) {
  std::vector<uint16_t> codes;
  for (const SimulatedSpot& spot : spots) {
    if (std::isnan(spot.m) || spot.failed) {
      codes.push_back(kNoRatioCode);
      continue;
    }
    const double code = kLog2CodeZero + kLog2CodesPerUnit * spot.m + 0.5;
    codes.push_back(static_cast<uint16_t>(std::clamp(code, 1.0, 65535.0)));
  }
  return codes;
}

// The replicate spots and slide means of the genes the page lists. A kept spot more than 1 from
// the mean of the gene's passing spots is called dropped by the mean-to-median rule.
void set_replicate_spots(RunFigures& figures,
                         const std::vector<std::vector<SimulatedSpot>>& spots) {
  std::vector<const GeneFigures*> ranked = genes_by_p_value(figures);
  ranked.resize(std::min(ranked.size(), kListedGenes));
  for (const GeneFigures* listed : ranked) {
    GeneFigures& gene =
        figures.tested_genes[static_cast<std::size_t>(listed - figures.tested_genes.data())];
    const int32_t first = (gene.gene - 1) * figures.replicates;
    gene.outliers = 0;
    for (std::size_t s = 0; s < spots.size(); ++s) {
      double sum = 0.0;
      int32_t count = 0;
      for (int32_t j = 0; j < figures.replicates; ++j) {
        const SimulatedSpot& spot = spots[s][static_cast<std::size_t>(first + j)];
        SpotDecision decision = SpotDecision::kKept;
        if (std::isnan(spot.m)) {
          decision = SpotDecision::kNoRatio;
        } else if (spot.failed) {
          decision = SpotDecision::kFailedQuality;
        } else if (std::fabs(spot.m - gene.log2_mean) > 1.0) {
          decision = SpotDecision::kDroppedMeanMedian;
          ++gene.outliers;
        }
        if (decision == SpotDecision::kKept || decision == SpotDecision::kDroppedMeanMedian) {
          sum += spot.m;
          ++count;
        }
        gene.replicate_spots.push_back({static_cast<int32_t>(s + 1), spot.m, decision});
      }
      gene.slide_means.push_back(count > 0 ? sum / count : NAN);
    }
  }
}

// A reference design of `contrasts` + 1 groups, day0 to dayK, the arrays taking them in turn, each
// contrast a later day against day0. Every gene tested has an estimate in every contrast: one in
// twenty changes, by a log2 fold change of 0.5 to 2 either way, at its own noise, and gene 9 has p
// = 0 in the first contrast, gene 12 p-values that are not numbers. The genes' moderated fields
// take the test that ranks them: the first contrast alone, the F-test of several.
void set_design(RunFigures& figures, const std::vector<double>& gene_a, int32_t contrasts) {
  Random random{20250317};
  DesignFigures& design = figures.design;
  design.made = true;
  const auto groups = static_cast<std::size_t>(contrasts + 1);
  for (std::size_t group = 0; group < groups; ++group)
    design.coefficients.push_back("day" + std::to_string(group));
  for (std::size_t a = 0; a < figures.slides.size(); ++a) {
    design.arrays.push_back(figures.slides[a].file);
    for (std::size_t group = 0; group < groups; ++group)
      design.design.push_back(a % groups == group ? 1.0 : 0.0);
  }
  design.prior_df = 4.0;
  design.prior_variance = 0.05;
  design.ranked_by_f = contrasts > 1;
  const double arrays = static_cast<double>(figures.slides.size());
  const double df = std::max(0.0, arrays - static_cast<double>(groups)) + design.prior_df;
  const double per_group = std::max(1.0, arrays / static_cast<double>(groups));

  std::vector<double> f_statistic(figures.tested_genes.size(), 0.0);
  for (int32_t c = 1; c <= contrasts; ++c) {
    ContrastFigures contrast;
    contrast.name = "day" + std::to_string(c) + "vs0";
    contrast.definition = "day" + std::to_string(c) + "-day0";
    std::vector<double> t_values;
    for (const GeneFigures& gene : figures.tested_genes) {
      const std::size_t g = static_cast<std::size_t>(gene.gene - 1);
      double effect = 0.0;
      if (random.chance(0.05)) {
        effect = (random.chance(0.5) ? 1.0 : -1.0) * random.uniform(0.5, 2.0);
      }
      const double sd = 0.15 + 0.35 * std::exp(-(gene_a[g] - 7.0) / 2.0);
      const double se = sd * std::sqrt(2.0 / per_group);
      const double log_fc = effect + se * random.normal();
      const double t = log_fc / se;
      double p = two_sided_t_p_value(t, df);
      if (gene.gene == 9 && c == 1) p = 0.0;
      if (gene.gene == 12) p = NAN;
      contrast.gene.push_back(gene.gene);
      contrast.log_fc.push_back(log_fc);
      contrast.ave_expr.push_back(gene_a[g]);
      contrast.p_value.push_back(p);
      t_values.push_back(t);
    }
    contrast.q_value = benjamini_hochberg(contrast.p_value);
    for (std::size_t i = 0; i < contrast.gene.size(); ++i) {
      const double q = contrast.q_value[i];
      if (std::isnan(q)) continue;
      const bool called = q < kSignificantQ;
      contrast.up += called && contrast.log_fc[i] > 0.0;
      contrast.down += called && contrast.log_fc[i] < 0.0;
      contrast.not_called += !called;
      f_statistic[i] += t_values[i] * t_values[i] / contrasts;
    }
    if (c == 1) {
      for (std::size_t i = 0; i < contrast.gene.size(); ++i) {
        GeneFigures& gene = figures.tested_genes[i];
        gene.slide_log2_mean = contrast.log_fc[i];
        gene.moderated_t = t_values[i];
        gene.moderated_df = df;
        gene.moderated_p = contrast.p_value[i];
        gene.moderated_q = contrast.q_value[i];
      }
    }
    design.contrasts.push_back(std::move(contrast));
  }
  if (!design.ranked_by_f) return;
  std::vector<double> f_p(f_statistic.size());
  for (std::size_t i = 0; i < f_p.size(); ++i) {
    const bool no_p = figures.tested_genes[i].gene == 12;
    f_p[i] = no_p ? NAN : f_upper_tail(f_statistic[i], contrasts, df);
  }
  const std::vector<double> f_q = benjamini_hochberg(f_p);
  for (std::size_t i = 0; i < f_p.size(); ++i) {
    GeneFigures& gene = figures.tested_genes[i];
    gene.moderated_t = NAN;
    gene.moderated_p = f_p[i];
    gene.moderated_q = f_q[i];
  }
}

std::string two_digits(int32_t number) {
  return (number < 10 ? "0" : "") + std::to_string(number);
}

}  // namespace

RunFigures synthetic_figures(int32_t slides, int32_t spots_per_slide, int32_t replicates,
                             int32_t contrasts) {
  Random random{20240611};
  RunFigures figures;
  figures.files = slides;
  figures.spots_per_slide = spots_per_slide;
  figures.replicates = replicates;
  figures.genes = spots_per_slide / replicates;
  figures.quality_constant = 1.5;
  figures.command_line = "corvane --normalise loess --dye-swap 2 --report run-report.html";
  figures.normalisation_method = "loess";
  figures.before_curve_fitted = true;
  figures.spot_places = spot_places(spots_per_slide);

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
  std::vector<std::vector<double>> gene_log2(figures.genes), gene_slide_means(figures.genes);
  for (int32_t s = 0; s < slides; ++s) {
    SlideFigures slide;
    slide.file = "slide" + two_digits(s + 1) + ".txt";
    slide.dye_swapped = s == 1;
    // Channel 2 over channel 1 as read: a dye bias, and a bend that lifts M of the weak spots.
    double dye_bias = s == 2 ? log2_of(2.4) : 0.3 * random.normal();
    double bend = 0.4 + 0.2 * random.normal();
    double fail_below = (s == slides - 1 && slides >= 4) ? 9.2 : 7.0;
    bool no_ratio = s == 6 && slides >= 10;
    double ch1_total = 0.0, ch2_total = 0.0;
    std::vector<double> factors;
    std::vector<SimulatedSpot>& slide_spots = spots[s];
    for (int32_t spot = 0; spot < spots_per_slide; ++spot) {
      int32_t g = std::min(spot / replicates, figures.genes - 1);
      double a = gene_a[g] + 0.3 * random.normal();
      double trend = dye_bias + bend * std::tanh((9.5 - a) / 1.5);
      // More noise for weak spots.
      double m = gene_m[g] + trend + (0.2 + 0.5 * std::exp(-(a - 6.0) / 1.5)) * random.normal();
      // M measures the gene the same way on a swapped slide; its channels hold it the other way.
      double channel_m = slide.dye_swapped ? -m : m;
      double ch1 = std::exp2(a - channel_m / 2.0), ch2 = std::exp2(a + channel_m / 2.0);
      ch1_total += ch1;
      ch2_total += ch2;
      bool failed = a + 0.5 * random.normal() < fail_below;
      failed =
          failed || (s == 0 && on_scratch(figures.spot_places[static_cast<std::size_t>(spot)]));
      bool missing = no_ratio || random.chance(0.01);
      if (!missing) factors.push_back(std::exp2(slide.dye_swapped ? -trend : trend));
      slide_spots.push_back({static_cast<float>(a), missing ? NAN : static_cast<float>(m - trend),
                             static_cast<float>(trend), failed});
      if (failed) ++slide.spots_failing_quality;
      if (missing) ++slide.spots_without_ratio;
    }
    slide.ch1_total = ch1_total;
    slide.ch2_total = ch2_total;
    slide.norm_factor = factors.empty() ? ch2_total / ch1_total : median_of(factors);
    std::vector<double> log2_ratios;
    std::vector<double> sums(figures.genes, 0.0);
    std::vector<int32_t> counts(figures.genes, 0);
    for (int32_t spot = 0; spot < spots_per_slide; ++spot) {
      SimulatedSpot& simulated = slide_spots[spot];
      if (std::isnan(simulated.m)) continue;
      log2_ratios.push_back(simulated.m);
      int32_t g = spot / replicates;
      if (simulated.failed || g >= figures.genes) continue;
      gene_log2[g].push_back(simulated.m);
      sums[g] += simulated.m;
      ++counts[g];
    }
    for (int32_t g = 0; g < figures.genes; ++g)
      if (counts[g] > 0) gene_slide_means[g].push_back(sums[g] / counts[g]);
    slide.log2_ratio = box_of(log2_ratios);
    figures.slides.push_back(slide);
  }

  // Shared MA axes over every spot with a ratio, then the bins and curves of each slide.
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
    std::vector<std::vector<double>> after(kMaBinsA), before(kMaBinsA);
    for (const SimulatedSpot& spot : spots[s]) {
      if (std::isnan(spot.m)) continue;
      int32_t a_bin = bin(spot.a, figures.a_lowest, figures.a_highest, kMaBinsA);
      int32_t index = bin(spot.m, figures.m_lowest, figures.m_highest, kMaBinsM) * kMaBinsA + a_bin;
      ++(spot.failed ? slide.ma_fail : slide.ma_pass)[index];
      after[a_bin].push_back(spot.m);
      before[a_bin].push_back(spot.fit);
    }
    for (int32_t a_bin = 0; a_bin < kMaBinsA; ++a_bin) {
      slide.median_m_after.push_back(median_of(after[a_bin]));
      slide.median_m_before.push_back(median_of(before[a_bin]));
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
    gene.pooled_test = true;
    gene.log2_mean = sum / static_cast<double>(values.size());
    gene.mean_ratio = ratio_sum / static_cast<double>(values.size());
    gene.p_value = g == 8 ? 0.0 : t_test_p(values);
    gene.spots_used = static_cast<int32_t>(values.size());
    figures.tested_genes.push_back(gene);
  }
  set_q_values(figures.tested_genes, &GeneFigures::p_value, &GeneFigures::q_value);
  set_moderated_test(figures, gene_slide_means);
  for (int32_t s = 0; s < slides; ++s)
    figures.slides[s].image_codes = image_codes(spots[s]);
  if (contrasts > 0) {
    figures.format = "GenePix results";
    figures.background = "normexp";
    figures.background_offset = 50.0;
    figures.between = "scale";
    figures.command_line =
        "corvane --format genepix --background normexp --offset 50 --normalise loess --between "
        "scale --targets targets.txt --report run-report.html";
    set_design(figures, gene_a, contrasts);
  }
  set_replicate_spots(figures, spots);
  return figures;
}
