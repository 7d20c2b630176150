// The gene figures of the HTML report, taken after the gene statistics, their q-values and the
// moderated test; for the genes the report lists, also every replicate spot with what the gene
// statistics made of it.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <vector>

#include "page/html_sections.hpp"
#include "page/page.hpp"
#include "run/text_field.hpp"

namespace {

// The spot a gene is named by: the last of its spots for the scanner's files, as merge.txt names
// it, the first for the other formats.
int32_t naming_spot(const Run& run, int32_t gene) {
  const GeneMembers& members = run.genes.members;
  const auto end = static_cast<std::size_t>(members.first[static_cast<std::size_t>(gene)]);
  const auto start = static_cast<std::size_t>(members.first[static_cast<std::size_t>(gene - 1)]);
  return members.spots[run.slides.format == SlideFormat::kScanner ? end - 1 : start];
}

// Where the gene lies, as merge.txt shows it for the scanner's files; the other formats name a
// gene by its ID, its spots lying anywhere on the array.
std::string gene_position(const Run& run, int32_t gene) {
  if (run.slides.format != SlideFormat::kScanner)
    return run.slides.spot_id[static_cast<std::size_t>(naming_spot(run, gene) - 1)];
  const int32_t first_spot = (gene - 1) * run.options.ReplicateCount + 1;
  const int32_t last_spot = gene * run.options.ReplicateCount;
  std::string position = "AR" + std::to_string(run.slides.spot_array_row[last_spot]) + " AC" +
                         std::to_string(run.slides.spot_array_col[last_spot]) + " R" +
                         std::to_string(run.slides.spot_row[last_spot]) + " C" +
                         std::to_string(run.slides.spot_col[first_spot]);
  // A gene whose spots lie in one column (a gene of one spot) names it once: C9, not C9-C9.
  if (run.slides.spot_col[last_spot] != run.slides.spot_col[first_spot])
    position += "-C" + std::to_string(run.slides.spot_col[last_spot]);
  return position;
}

// Every replicate spot of the gene, and each slide's mean as the moderated test takes it: the
// mean log2 of the gene's usable ratios on the slide.
void collect_replicate_spots(const Run& run, GeneFigures& gene) {
  const int32_t g = gene.gene;
  const GeneMembers& members = run.genes.members;
  const auto first = static_cast<std::size_t>(members.first[static_cast<std::size_t>(g - 1)]);
  const auto last = static_cast<std::size_t>(members.first[static_cast<std::size_t>(g)]);
  for (int32_t f = 1; f <= run.options.FileCount; ++f) {
    gene.slide_means.push_back(run.genes.slide_log2_mean[f][g]);
    for (std::size_t i = first; i < last; ++i) {
      const int32_t s = members.spots[i];
      const SpotDecision decision = spot_decision(run, f, s);
      const double ratio = run.spots.spot_ratio[f][s];
      const bool has_ratio = ratio > 0.0 && decision != SpotDecision::kNoRatio;
      const double log2_ratio = has_ratio ? std::log2(ratio) : NAN;
      gene.replicate_spots.push_back({f, log2_ratio, decision});
    }
  }
}

// The test that ranks the genes of a linear model: its single column (a contrast, or the one
// coefficient), or the moderated F-test of them all.
void set_design_test(const Run& run, int32_t g, GeneFigures& gene) {
  const Experiment& experiment = run.experiment;
  const ModeratedTests& tests = experiment.tests;
  const std::size_t columns = experiment.fit.names.size();
  const auto i = static_cast<std::size_t>(g - 1);
  gene.slide_log2_mean = experiment.fit.coefficients[i * columns];
  gene.moderated_df = tests.df_total[i];
  if (columns == 1) {
    gene.moderated_t = tests.t[i];
    gene.moderated_p = tests.p_value[i];
    gene.moderated_q = tests.q_value[i];
  } else {
    gene.moderated_t = NAN;
    gene.moderated_p = tests.f_p_value[i];
    gene.moderated_q = tests.f_q_value[i];
  }
}

// The figures of a linear model: its design, its columns' estimates and tests, and the genes each
// calls up and down at q below 0.05, as limma's decideTests counts them.
void collect_design_figures(const Run& run, DesignFigures& design) {
  const Experiment& experiment = run.experiment;
  design.made = true;
  for (int32_t f = 1; f <= run.options.FileCount; ++f)
    design.arrays.emplace_back(run.options.FileNames[f].block());
  design.coefficients = experiment.design.names;
  design.design = experiment.design.values;
  design.prior_df = experiment.tests.prior.df;
  design.prior_variance = experiment.tests.prior.variance;
  const std::size_t columns = experiment.fit.names.size();
  design.ranked_by_f = columns > 1;
  for (std::size_t c = 0; c < columns; ++c) {
    ContrastFigures contrast;
    contrast.name = experiment.fit.names[c];
    if (experiment.contrasts.empty()) {
      contrast.definition = "coefficient " + contrast.name;
    } else {
      const std::string& text = experiment.contrast_texts[c];
      contrast.definition = text.substr(text.find('=') + 1);
    }
    for (std::size_t g = 0; g < static_cast<std::size_t>(run.genes.GeneNumber); ++g) {
      const double log_fc = experiment.fit.coefficients[g * columns + c];
      const double q = experiment.tests.q_value[g * columns + c];
      if (std::isnan(log_fc)) continue;
      contrast.gene.push_back(static_cast<int32_t>(g) + 1);
      contrast.log_fc.push_back(log_fc);
      contrast.ave_expr.push_back(experiment.ave_expr[g]);
      contrast.p_value.push_back(experiment.tests.p_value[g * columns + c]);
      contrast.q_value.push_back(q);
      if (q < kSignificantQ && log_fc > 0) {
        ++contrast.up;
      } else if (q < kSignificantQ && log_fc < 0) {
        ++contrast.down;
      } else {
        ++contrast.not_called;
      }
    }
    design.contrasts.push_back(std::move(contrast));
  }
}

}  // namespace

void collect_gene_figures(Run& run) {
  RunFigures& figures = run.figures;
  for (int32_t f = 1; f <= run.options.FileCount; ++f)
    figures.slides[static_cast<std::size_t>(f - 1)].outliers_rejected = run.genes.file_outliers[f];
  const ModeratedTest& test = run.moderated;
  const bool design = run.experiment.fits_model;
  if (design) collect_design_figures(run, figures.design);
  figures.moderated.made = test.made;
  figures.moderated.not_made_because = test.not_made_because;
  figures.moderated.prior_df = test.prior_df;
  figures.moderated.prior_variance = test.prior_variance;
  figures.tested_genes.reserve(static_cast<std::size_t>(run.genes.GeneNumber));
  for (int32_t g = 1; g <= run.genes.GeneNumber; ++g) {
    const bool pooled_test = !(run.genes.p_value[g] < 0.0);
    // A linear model tests the genes with a value on some slide.
    int32_t slides_with_value = 0;
    for (int32_t f = 1; design && f <= run.options.FileCount; ++f)
      slides_with_value += !std::isnan(run.genes.slide_log2_mean[f][g]);
    const bool moderated_test =
        design ? slides_with_value > 0 : test.made && test.slides_used[g] > 0;
    if (!pooled_test && !moderated_test) continue;
    GeneFigures gene;
    gene.gene = g;
    gene.name = field_without_tab(run.slides.spot_name[naming_spot(run, g)].block());
    gene.position = gene_position(run, g);
    gene.pooled_test = pooled_test;
    gene.mean_ratio = pooled_test ? run.genes.ratio_mean[g] : NAN;
    gene.log2_mean = pooled_test ? run.genes.log_mean[g] : NAN;
    gene.p_value = pooled_test ? run.genes.p_value[g] : NAN;
    gene.q_value = pooled_test ? run.genes.q_value[g] : NAN;
    gene.spots_used = run.genes.spots_used[g];
    gene.outliers = run.genes.outliers_found[g];
    if (design) {
      gene.slides_used = slides_with_value;
      set_design_test(run, g, gene);
      figures.tested_genes.push_back(std::move(gene));
      continue;
    }
    gene.slides_used = test.slides_used[g];
    gene.slide_log2_mean = moderated_test ? test.slide_log2_mean[g] : NAN;
    gene.moderated_t = moderated_test ? test.t[g] : NAN;
    gene.moderated_df = moderated_test ? test.df[g] : NAN;
    gene.moderated_p = moderated_test ? test.p_value[g] : NAN;
    gene.moderated_q = moderated_test ? test.q_value[g] : NAN;
    figures.tested_genes.push_back(std::move(gene));
  }
  // The listed genes' spots, while the verdicts, the spot ratios and the gene ratios exist.
  if (!run.decisions.wanted) return;
  for (const GeneFigures* listed : listed_genes(figures)) {
    const auto index = static_cast<std::size_t>(listed - figures.tested_genes.data());
    collect_replicate_spots(run, figures.tested_genes[index]);
  }
}
