// The plots of genes that the one-sample volcano plot and the plots of a linear model's contrasts
// share: the marks of the genes, and a volcano plot of any set of points with its labels.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

// A gene's mark in pixels: a dot, larger and orange with a dark rim when the gene is called (q
// below 0.05); a triangle with its tip at (x, y) for a p-value of 0, on the top edge of a volcano
// plot.
struct GeneMark {
  double x, y;
  bool called, triangle;
};

// Writes the marks, the called genes last so that they lie on top of the others, in a <g>. Each
// mark is a circle or a triangle of its own (class "gene ns" or "gene sig"); in compact plots the
// genes not called are instead round dots of one path at whole pixels, each pixel once, so that
// a dozen plots of thousands of genes keep the page small.
void append_gene_marks(std::string& svg, const std::vector<GeneMark>& marks, bool compact);

// Where a plot is drawn in its SVG: the plot area from (left, top), width x height, with the
// margins right and below; compact plots draw their uncalled genes as dots (append_gene_marks).
struct PlotLayout {
  double left, top, width, height, right, bottom;
  bool compact;
};

// The one-sample volcano plot (640 x 420) and the small plots of the contrasts, two or three of
// which fit side by side on the page.
constexpr PlotLayout kLargeVolcano = {64.0, 24.0, 640.0, 420.0, 20.0, 42.0, false};
constexpr PlotLayout kContrastPlot = {60.0, 16.0, 350.0, 220.0, 14.0, 42.0, true};

// A point of a volcano plot: a gene's log fold change and the p-value and q-value of its test.
// Drawn when the log fold change is finite and p is 0 or more; p = 0 has no -log10 and is drawn
// as a triangle on the top edge.
struct VolcanoPoint {
  double log_fc, p_value, q_value;
};
bool drawable_point(const VolcanoPoint& point);

// A labelled point: its index among the points and its text.
struct PointLabel {
  std::size_t point;
  std::string text;
};

// The indices of the `count` drawable points of the smallest p-values, smallest first, ties in
// the order of the points.
std::vector<std::size_t> smallest_p_points(const std::vector<VolcanoPoint>& points,
                                           std::size_t count);

// How many points are drawn, how many of them have q below 0.05 and how many p = 0, and how many
// are not drawn.
struct VolcanoCounts {
  std::size_t drawn = 0, called = 0, zero_p = 0, not_drawn = 0;
};
VolcanoCounts volcano_counts(const std::vector<VolcanoPoint>& points);

// The texts of a plot: its accessible title and the titles of its axes.
struct PlotTitles {
  std::string title, x_axis, y_axis;
};

// The SVG of a volcano plot: log fold change on a symmetric x axis against -log10 p from 0, a
// dashed line at 0, the points' marks, and the labels, each right of its mark (left of it in the
// right quarter of the plot), moved a line at a time off the labels placed before it and then
// joined to its mark by a thin line.
void append_volcano_svg(std::string& page, const std::vector<VolcanoPoint>& points,
                        const std::vector<PointLabel>& labels, const PlotLayout& layout,
                        const PlotTitles& titles);

// A gene's name cut to at most `longest` bytes with an ellipsis, at a UTF-8 character boundary,
// so that a label of a small plot stays within it.
std::string cut_label(const std::string& name, std::size_t longest);
