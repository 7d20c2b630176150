// The table of the genes the page lists, under the shown test: for a run without a design the
// moderated t-test across slides with the pooled p beside it (or the pooled t-test alone); for a
// linear model its contrasts' estimates, AveExpr and the test that ranks the genes.

#include <algorithm>
#include <cstddef>

#include "page/html_sections.hpp"
#include "page/html_text.hpp"

namespace {

// A p-value of a test the gene did not have is a dash.
std::string shown_or_dash(bool made, double value) {
  return made ? shown_number(value) : "\u2013";
}

void append_header(std::string& page, const std::string& text) {
  page += "<th>";
  append_escaped(page, text);
  page += "</th>";
}

// The contrasts whose estimates the table shows: the first one alone when it ranks the genes,
// the plotted ones with the F-test.
std::size_t contrasts_shown(const DesignFigures& design) {
  if (design.contrasts.empty()) return 0;
  return design.ranked_by_f ? std::min(design.contrasts.size(), kPlottedContrasts) : 1;
}

void append_design_header(std::string& page, const DesignFigures& design) {
  page += "<th>Arrays used</th>";
  for (std::size_t c = 0; c < contrasts_shown(design); ++c)
    append_header(page, "logFC of " + design.contrasts[c].name);
  page += "<th>AveExpr</th>";
  page += design.ranked_by_f ? "<th>F-test p</th><th>F-test q</th></tr>\n"
                             : "<th>Moderated t</th><th>p</th><th>q</th></tr>\n";
}

void append_design_cells(std::string& page, const DesignFigures& design, const GeneFigures& gene) {
  append_cell(page, std::to_string(gene.slides_used), true);
  for (std::size_t c = 0; c < contrasts_shown(design); ++c) {
    const ContrastFigures& contrast = design.contrasts[c];
    append_cell(page, shown_in_contrast(contrast, contrast.log_fc, gene.gene), true);
  }
  if (design.contrasts.empty()) {
    append_cell(page, "\u2013", true);
  } else {
    const ContrastFigures& first = design.contrasts.front();
    append_cell(page, shown_in_contrast(first, first.ave_expr, gene.gene), true);
  }
  if (!design.ranked_by_f) append_cell(page, shown_number(gene.moderated_t), true);
  append_cell(page, shown_number(gene.moderated_p), true);
  append_cell(page, shown_number(gene.moderated_q), true);
}

void append_design_note(std::string& page, const RunFigures& figures) {
  const DesignFigures& design = figures.design;
  page +=
      "The linear model fits each gene's mean log2 ratios on the arrays (its spots that passed "
      "the quality test) to the design. Arrays used: the arrays with a value for the gene. logFC: "
      "a contrast's estimate; AveExpr: the gene's mean log2 intensity A over the arrays. ";
  if (design.ranked_by_f) {
    page += "The moderated F-test asks whether any of the " +
            std::to_string(design.contrasts.size()) + " contrasts differs from 0. ";
    if (design.contrasts.size() > kPlottedContrasts) {
      page += "The table shows the estimates of the first " + std::to_string(kPlottedContrasts) +
              " contrasts. ";
    }
  } else {
    page +=
        "Moderated t, p: the contrast's estimate tested against 0 with a variance shrunk towards "
        "one estimated from every gene. ";
  }
}

}  // namespace

void append_top_genes(std::string& page, const RunFigures& figures) {
  const bool design = design_shown(figures);
  const bool moderated = moderated_test_shown(figures);
  const std::vector<const GeneFigures*> ranked = listed_genes(figures);
  const std::size_t listed = ranked.size();
  page += "<section id=\"genes\"><h2>The " + std::to_string(listed) + " genes with the smallest ";
  if (design) {
    page += "p-values of the ";
    append_escaped(page, shown_test_name(figures));
  } else {
    page += std::string(moderated ? "moderated" : "pooled") + " t-test p-values";
  }
  page += "</h2>\n<table>\n<tr><th>Rank</th><th>Gene</th><th>Name</th><th>Position</th>";
  if (design) {
    append_design_header(page, figures.design);
  } else if (moderated) {
    page +=
        "<th>Slides used</th><th>Mean of slide log2 means</th><th>Moderated t</th>"
        "<th>Moderated p</th><th>Moderated q</th><th>Pooled p</th></tr>\n";
  } else {
    page += "<th>Mean ratio</th><th>log2 mean</th><th>p</th><th>q</th><th>Spots used</th></tr>\n";
  }
  for (std::size_t rank = 0; rank < listed; ++rank) {
    const GeneFigures& gene = *ranked[rank];
    page += "<tr class=\"gene-row\">";
    append_cell(page, std::to_string(rank + 1), true);
    append_cell(page, std::to_string(gene.gene), true);
    if (has_gene_section(gene)) {
      page += "<td><a href=\"#" + gene_anchor(gene) + "\">";
      append_escaped(page, shown_gene_name(gene));
      page += "</a></td>";
    } else {
      append_cell(page, gene.name, false);
    }
    append_cell(page, gene.position, false);
    if (design) {
      append_design_cells(page, figures.design, gene);
    } else if (moderated) {
      append_cell(page, std::to_string(gene.slides_used), true);
      append_cell(page, shown_number(gene.slide_log2_mean), true);
      append_cell(page, shown_number(gene.moderated_t), true);
      append_cell(page, shown_number(gene.moderated_p), true);
      append_cell(page, shown_number(gene.moderated_q), true);
      append_cell(page, shown_or_dash(gene.pooled_test, gene.p_value), true);
    } else {
      append_cell(page, shown_number(gene.mean_ratio), true);
      append_cell(page, shown_number(gene.log2_mean), true);
      append_cell(page, shown_number(gene.p_value), true);
      append_cell(page, shown_number(gene.q_value), true);
      append_cell(page, std::to_string(gene.spots_used), true);
    }
    page += "</tr>\n";
  }
  page += "</table>\n<p class=\"note\">";
  if (design) {
    append_design_note(page, figures);
  } else if (moderated) {
    page +=
        "The moderated t-test takes a gene's mean normalised log2 ratio on each slide and tests "
        "their mean against 0, with a variance shrunk towards one estimated from every gene. "
        "Pooled p: the t-test of every kept ratio of the gene together (a dash: none). ";
  }
  page +=
      "q: the p-value adjusted for the number of genes tested (Benjamini-Hochberg false "
      "discovery rate).";
  if (listed > 0 && has_gene_section(*ranked[0])) {
    page += " A gene's name leads to its replicate spots, slide by slide, below.";
  }
  page += "</p></section>\n";
}
