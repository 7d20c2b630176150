// The test the page ranks the genes by, and the genes in its order.
#include <algorithm>
#include <cmath>

#include "page/html_sections.hpp"
#include "page/html_text.hpp"

bool design_shown(const RunFigures& figures) {
  return figures.design.made;
}

bool moderated_test_shown(const RunFigures& figures) {
  return figures.moderated.made || design_shown(figures);
}

ShownTest shown_test_of(const RunFigures& figures, const GeneFigures& gene) {
  if (moderated_test_shown(figures)) {
    return {gene.slides_used > 0, gene.slide_log2_mean, gene.moderated_p, gene.moderated_q};
  }
  return {gene.pooled_test, gene.log2_mean, gene.p_value, gene.q_value};
}

std::string shown_test_name(const RunFigures& figures) {
  if (!design_shown(figures))
    return moderated_test_shown(figures) ? "moderated t-test" : "pooled t-test";
  const std::vector<ContrastFigures>& contrasts = figures.design.contrasts;
  if (figures.design.ranked_by_f) {
    return "moderated F-test of the " + std::to_string(contrasts.size()) + " contrasts";
  }
  if (contrasts.empty()) return "moderated t-test";
  return "moderated t-test of " + contrasts.front().name;
}

std::string not_made_reason(const RunFigures& figures) {
  const std::string& reason = figures.moderated.not_made_because;
  return reason.empty() ? "the run gives no reason" : reason;
}

void append_fallback_note(std::string& page, const RunFigures& figures) {
  if (moderated_test_shown(figures)) return;
  page += "<p class=\"fallback\">The moderated t-test across slides was not made: ";
  append_escaped(page, not_made_reason(figures));
  page +=
      ". The volcano plot, the p-value histogram and the gene table show the pooled t-test of "
      "every gene's kept ratios instead.</p>\n";
}

std::vector<const GeneFigures*> genes_by_p_value(const RunFigures& figures) {
  std::vector<const GeneFigures*> ranked;
  ranked.reserve(figures.tested_genes.size());
  for (const GeneFigures& gene : figures.tested_genes)
    if (shown_test_of(figures, gene).tested) ranked.push_back(&gene);
  auto before = [&figures](const GeneFigures* a, const GeneFigures* b) {
    const double a_p = shown_test_of(figures, *a).p_value;
    const double b_p = shown_test_of(figures, *b).p_value;
    bool a_nan = std::isnan(a_p), b_nan = std::isnan(b_p);
    if (a_nan != b_nan) return b_nan;
    if (!a_nan && a_p != b_p) return a_p < b_p;
    return a->gene < b->gene;
  };
  std::sort(ranked.begin(), ranked.end(), before);
  return ranked;
}

std::vector<const GeneFigures*> listed_genes(const RunFigures& figures) {
  std::vector<const GeneFigures*> ranked = genes_by_p_value(figures);
  ranked.resize(std::min(ranked.size(), kListedGenes));
  return ranked;
}

std::string shown_gene_name(const GeneFigures& gene) {
  if (gene.name.empty()) return "gene " + std::to_string(gene.gene);
  return gene.name;
}

std::string shown_gene_name(const RunFigures& figures, int32_t gene) {
  // The tested genes are in gene order.
  const std::vector<GeneFigures>& genes = figures.tested_genes;
  auto found =
      std::lower_bound(genes.begin(), genes.end(), gene,
                       [](const GeneFigures& a, int32_t number) { return a.gene < number; });
  if (found != genes.end() && found->gene == gene) return shown_gene_name(*found);
  return "gene " + std::to_string(gene);
}

std::size_t place_in_contrast(const ContrastFigures& contrast, int32_t gene) {
  // A contrast's genes are in gene order.
  auto found = std::lower_bound(contrast.gene.begin(), contrast.gene.end(), gene);
  if (found == contrast.gene.end() || *found != gene) return kNoPlace;
  return static_cast<std::size_t>(found - contrast.gene.begin());
}

std::string shown_in_contrast(const ContrastFigures& contrast, const std::vector<double>& values,
                              int32_t gene) {
  const std::size_t place = place_in_contrast(contrast, gene);
  return place == kNoPlace ? "\u2013" : shown_number(values[place]);
}
