#include <algorithm>
#include <cmath>

#include "page/html_sections.hpp"
#include "page/html_text.hpp"

bool moderated_test_shown(const RunFigures& figures) {
  return figures.moderated.made;
}

ShownTest shown_test_of(const RunFigures& figures, const GeneFigures& gene) {
  if (moderated_test_shown(figures)) {
    return {gene.slides_used > 0, gene.slide_log2_mean, gene.moderated_p, gene.moderated_q};
  }
  return {gene.pooled_test, gene.log2_mean, gene.p_value, gene.q_value};
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
