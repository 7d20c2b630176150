// The linear model of a run with a design, as limma's lmFit, contrasts.fit and eBayes: per gene,
// the least-squares fit of the design to the gene's value on each slide (the mean normalised M of
// its usable spots there, M the log2 ratio of channel 2 over channel 1), on the slides where it
// has one; the contrasts of the coefficients; the moderated t, F and log-odds over all genes; and
// each gene's AveExpr, the mean over the slides of its mean A.
#include <cmath>
#include <limits>
#include <span>
#include <string>
#include <vector>

#include "analysis/analysis.hpp"
#include "run/shared_work.hpp"

namespace {

// The genes' values on the slides, gene after gene: the slide means in M's orientation, channel
// 2 over channel 1, whatever orientation the slide's ratios were formed in.
std::vector<double> gene_values(const Run& run) {
  const int32_t files = run.options.FileCount;
  const int32_t genes = run.genes.GeneNumber;
  std::vector<double> values(static_cast<std::size_t>(genes) * static_cast<std::size_t>(files));
  for (int32_t f = 1; f <= files; ++f) {
    const double sign = ratio_choice_of(run, f) == 1 ? 1.0 : -1.0;
    for (int32_t g = 1; g <= genes; ++g) {
      values[static_cast<std::size_t>(g - 1) * static_cast<std::size_t>(files) +
             static_cast<std::size_t>(f - 1)] = sign * run.genes.slide_log2_mean[f][g];
    }
  }
  return values;
}

std::vector<double> ave_expr(const Run& run) {
  std::vector<double> means(static_cast<std::size_t>(run.genes.GeneNumber));
  for (int32_t g = 1; g <= run.genes.GeneNumber; ++g) {
    double sum = 0.0;
    int32_t count = 0;
    for (int32_t f = 1; f <= run.options.FileCount; ++f) {
      const double a = run.genes.slide_a_mean[f][g];
      if (std::isnan(a)) continue;
      sum += a;
      ++count;
    }
    means[static_cast<std::size_t>(g - 1)] =
        count > 0 ? sum / count : std::numeric_limits<double>::quiet_NaN();
  }
  return means;
}

}  // namespace

bool fit_linear_models(Run& run, std::string& error) {
  Experiment& experiment = run.experiment;
  LinearDesign design;
  if (!prepare_design(experiment.design, design, error)) return false;
  const int32_t genes = run.genes.GeneNumber;
  const auto files = static_cast<std::size_t>(run.options.FileCount);
  const std::vector<double> values = gene_values(run);
  LinearFit fit = empty_fit(design, genes);
  share_among_threads<GeneFitScratch>(
      genes, run.options.threads,
      [&design, &values, &fit, files](int32_t g, GeneFitScratch& scratch) {
        const std::span<const double> gene(values.data() + static_cast<std::size_t>(g - 1) * files,
                                           files);
        fit_gene(design, gene, scratch, fit, g - 1);
      });
  experiment.fit =
      experiment.contrasts.empty() ? std::move(fit) : fit_contrasts(fit, experiment.contrasts);
  experiment.ave_expr = ave_expr(run);
  return moderate_tests(experiment.fit, experiment.tests, error);
}
