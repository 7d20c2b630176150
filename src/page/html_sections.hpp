// The sections of the HTML run report, each appended to the page by its own writer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "run/run_figures.hpp"

// The gene table lists this many genes of the smallest p-values, each with a section of its own.
constexpr std::size_t kListedGenes = 50;

// A gene is called changed when its q-value lies below this.
constexpr double kSignificantQ = 0.05;

// Plain sentences on what looks wrong with slide number `number` (from 1): a channel without a
// positive net intensity or with a total that is not finite (then alone, as it explains the rest),
// a normalisation factor outside 0.5..2 (or not a number), more than a fifth of its spots failing
// the quality test, no spot with a ratio. Empty for a slide that looks right.
std::vector<std::string> slide_warnings(const RunFigures& figures, const SlideFigures& slide,
                                        int32_t number);

// The test that the p-value histogram, the gene table and the gene sections follow (and the
// volcano plot of a run without a design). With a linear model (design_shown) it is the test that
// ranks its genes: the moderated t-test of its first contrast, or with several contrasts their
// moderated F-test. Without one it is the moderated t-test across slides when it was made, the
// pooled t-test of the kept ratios otherwise. The genes' moderated_* fields hold the first two.
bool design_shown(const RunFigures& figures);
bool moderated_test_shown(const RunFigures& figures);

// A gene under the shown test: whether the test was made for it (a moderated test for a gene with
// slides_used of 1 or more), and its log2 mean (the mean of its slide means for the moderated
// test, the first contrast's estimate for a linear model), p-value and q-value.
struct ShownTest {
  bool tested;
  double log2_mean, p_value, q_value;
};
ShownTest shown_test_of(const RunFigures& figures, const GeneFigures& gene);

// The shown test for sentences and headings: "pooled t-test", "moderated t-test", "moderated
// t-test of NAME" (a linear model's single contrast) or "moderated F-test of the K contrasts".
std::string shown_test_name(const RunFigures& figures);

// Why the moderated test was not made, as a clause without its full stop.
std::string not_made_reason(const RunFigures& figures);

// When the moderated test was not made: a note that says why and that the pooled test is shown.
void append_fallback_note(std::string& page, const RunFigures& figures);

// The genes the shown test was made for, ordered by its p-value, smallest first, ties in gene
// order; a p-value that is not a number comes last.
std::vector<const GeneFigures*> genes_by_p_value(const RunFigures& figures);
// The first kListedGenes of them: the genes of the page's table, each with a section of its own.
std::vector<const GeneFigures*> listed_genes(const RunFigures& figures);

// The name of a gene as shown on the page: its name, or "gene N" when the name is empty.
std::string shown_gene_name(const GeneFigures& gene);
// The same for gene number `gene` (from 1): "gene N" for a gene not among the tested genes.
std::string shown_gene_name(const RunFigures& figures, int32_t gene);

// The plots of a linear model show this many contrasts at most, the first ones.
constexpr std::size_t kPlottedContrasts = 6;

// Where a contrast holds gene number `gene` among its genes with an estimate; npos when it does
// not hold it.
constexpr std::size_t kNoPlace = static_cast<std::size_t>(-1);
std::size_t place_in_contrast(const ContrastFigures& contrast, int32_t gene);
// A value of one of the contrast's per-gene vectors (logFC, AveExpr, p, q) for gene number
// `gene`, as the tables show numbers; a dash when the contrast holds no estimate for the gene.
std::string shown_in_contrast(const ContrastFigures& contrast, const std::vector<double>& values,
                              int32_t gene);

// The rows of "The run" for a linear model: its design matrix (arrays by coefficients, folded
// away in a details element beyond 12 arrays), its contrasts with their definitions and the test
// that ranks the genes.
void append_design_facts(std::string& page, const RunFigures& figures);

// The contrasts of a linear model: the genes each calls down and up at q below 0.05 and those it
// does not call, then a volcano plot and an MA plot of each of the first kPlottedContrasts.
void append_contrasts(std::string& page, const RunFigures& figures);

// The table of the listed genes under the shown test, each name linked to its section.
void append_top_genes(std::string& page, const RunFigures& figures);

// Small multiples of the MA density of every slide on shared axes, with their legend.
void append_ma_panels(std::string& page, const RunFigures& figures);

// The log2 spot ratios of every slide as box plots side by side.
void append_box_plot(std::string& page, const RunFigures& figures);

// log2 mean against -log10 p of every gene with a p-value; nothing for a linear model, whose
// contrasts have volcano plots of their own.
void append_volcano_plot(std::string& page, const RunFigures& figures);

// Histogram of the p-values in 20 bins of 0.05.
void append_p_value_histogram(std::string& page, const RunFigures& figures);

// The slide images' palette: kImageShades steps of a diverging log2 ratio scale, from the lowest
// up, then the grey of the spots without a ratio or failing the quality test, the grid between
// the blocks and the places without a spot.
constexpr int32_t kImageShades = 13;
constexpr uint8_t kNoRatioShade = kImageShades, kGridColour = kImageShades + 1;
constexpr uint8_t kEmptyColour = kImageShades + 2;

// The limit of the images' scale, shared by every slide: the farthest whisker end of any slide's
// box plot from 0, rounded up to a multiple of a half; at least a half and at most 16. Most spots
// lie within it, so the shades tell apart the spread the box plots show; the few beyond take the
// end shades. Step k of 0..12 holds the log2 ratios from -limit + k * width to -limit + (k + 1) *
// width, width = 2 * limit / 13.
double image_limit_of(const std::vector<SlideFigures>& slides);

// One small image a slide of its spots in their places, coloured by log2 ratio, with the key.
void append_slide_images(std::string& page, const RunFigures& figures);

// The anchor of a listed gene's section, "gene-N", and whether the gene has one: the genes the
// gene table lists, with their replicate spots taken.
std::string gene_anchor(const GeneFigures& gene);
bool has_gene_section(const GeneFigures& gene);

// A section for each listed gene: its replicate spots slide by slide on the log2 ratio axis,
// coloured by what the gene statistics made of them, the slide means of the moderated test and
// the numbers of both tests.
void append_gene_sections(std::string& page, const RunFigures& figures);

// The style of the gene sections, for the page's head: the browser lays out and draws a section
// only when it comes into view, taking it meanwhile to be as high as one of this run's sections,
// so that a page of 50 sections of 99 slides opens as fast as one without them.
void append_gene_section_style(std::string& page, const RunFigures& figures);
