// The sections of the HTML run report, each appended to the page by its own writer.
#pragma once

#include <string>
#include <vector>

#include "run/run_figures.hpp"

// Plain sentences on what looks wrong with a slide: a normalisation factor outside 0.5..2 (or
// not a number), more than a fifth of its spots failing the quality test, no spot with a ratio.
// Empty for a slide that looks right.
std::vector<std::string> slide_warnings(const RunFigures& figures, const SlideFigures& slide);

// The genes with a p-value ordered by p-value, smallest first, ties in gene order; a p-value
// that is not a number comes last.
std::vector<const GeneFigures*> genes_by_p_value(const RunFigures& figures);

// The name of a gene as shown on the page: its name, or "gene N" when the name is empty.
std::string shown_gene_name(const GeneFigures& gene);

// Small multiples of the MA density of every slide on shared axes, with their legend.
void append_ma_panels(std::string& page, const RunFigures& figures);

// The log2 spot ratios of every slide as box plots side by side.
void append_box_plot(std::string& page, const RunFigures& figures);

// log2 mean against -log10 p of every gene with a p-value.
void append_volcano_plot(std::string& page, const RunFigures& figures);

// Histogram of the p-values in 20 bins of 0.05.
void append_p_value_histogram(std::string& page, const RunFigures& figures);
