// The HTML run report: its figures, taken from the run while the values they come from exist, and
// the page drawn from those figures alone.
#pragma once

#include <string>

#include "run/run.hpp"

// The figures of the spots, while the spot arrays and what normalisation removed of M
// (run.normalisation.removed_m, or slide_removed_m) exist, with the slides shared among the given
// number of threads; those of the genes, after the gene statistics, their q-values and the
// moderated test.
void collect_spot_figures(Run& run, int32_t threads);
void collect_gene_figures(Run& run);

// Writes the page, as html_report_text draws it from run.figures, to run.options.ReportPath ("-":
// standard output). A page that cannot be opened or written ends the run as a report file does.
void write_html_report(const Run& run, const std::string& page);
