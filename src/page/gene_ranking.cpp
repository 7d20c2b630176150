#include <algorithm>
#include <cmath>

#include "page/html_sections.hpp"

std::vector<const GeneFigures*> genes_by_p_value(const RunFigures& figures) {
  std::vector<const GeneFigures*> ranked;
  ranked.reserve(figures.tested_genes.size());
  for (const GeneFigures& gene : figures.tested_genes)
    ranked.push_back(&gene);
  auto before = [](const GeneFigures* a, const GeneFigures* b) {
    bool a_nan = std::isnan(a->p_value), b_nan = std::isnan(b->p_value);
    if (a_nan != b_nan) return b_nan;
    if (!a_nan && a->p_value != b->p_value) return a->p_value < b->p_value;
    return a->gene < b->gene;
  };
  std::sort(ranked.begin(), ranked.end(), before);
  return ranked;
}

std::string shown_gene_name(const GeneFigures& gene) {
  if (gene.name.empty()) return "gene " + std::to_string(gene.gene);
  return gene.name;
}
