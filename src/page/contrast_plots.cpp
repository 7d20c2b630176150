// The contrasts of a linear model: how many genes each calls down and up, as a table with a row
// for each outcome and a column for each contrast, then a small volcano plot (logFC against
// -log10 p, the ten smallest p-values labelled) and a small MA plot (logFC against AveExpr) of
// each of the first kPlottedContrasts, side by side. In both, the genes the contrast calls (q
// below 0.05) are the larger orange dots with a dark rim.

#include <algorithm>
#include <cmath>
#include <cstddef>

#include "page/gene_plots.hpp"
#include "page/html_sections.hpp"
#include "page/html_text.hpp"
#include "page/svg_plot.hpp"

namespace {

constexpr std::size_t kLabelledGenes = 10;
// Labels of the small plots stay within about a third of the plot's width.
constexpr std::size_t kLongestLabel = 16;

bool called(double q_value) {
  return q_value < kSignificantQ;
}

std::string genes_text(std::size_t count, const char* what) {
  return std::to_string(count) + (count == 1 ? " gene " : " genes ") + what;
}

void append_calls_table(std::string& page, const DesignFigures& design) {
  page +=
      "<p>The genes each contrast calls at q below 0.05 (its moderated t-test's p-values "
      "adjusted for the number of genes it tested, Benjamini-Hochberg), down or up as its "
      "estimate falls or rises, and those it does not call.</p>\n<table>\n<tr><th></th>";
  for (const ContrastFigures& contrast : design.contrasts) {
    page += "<th>";
    append_escaped(page, contrast.name);
    page += "</th>";
  }
  page += "</tr>\n";
  const char* outcomes[] = {"Down", "NotSig", "Up"};
  for (int outcome = 0; outcome < 3; ++outcome) {
    page += std::string("<tr><th>") + outcomes[outcome] + "</th>";
    for (const ContrastFigures& contrast : design.contrasts) {
      const int32_t count = outcome == 0   ? contrast.down
                            : outcome == 1 ? contrast.not_called
                                           : contrast.up;
      append_cell(page, std::to_string(count), true);
    }
    page += "</tr>\n";
  }
  page += "</table>\n";
}

void open_figure(std::string& page, std::size_t number, const ContrastFigures& contrast) {
  page += "<figure class=\"contrast\"><figcaption>" + std::to_string(number) + ". ";
  append_escaped(page, contrast.name);
  page += ": " + std::to_string(contrast.up) + " up, " + std::to_string(contrast.down) +
          " down</figcaption>\n";
}

void append_note(std::string& page, const std::string& note) {
  page += "<p class=\"note\">" + note + "</p>";
}

void append_contrast_volcano(std::string& page, const RunFigures& figures,
                             const ContrastFigures& contrast) {
  std::vector<VolcanoPoint> points(contrast.gene.size());
  for (std::size_t i = 0; i < points.size(); ++i)
    points[i] = {contrast.log_fc[i], contrast.p_value[i], contrast.q_value[i]};
  std::vector<PointLabel> labels;
  for (std::size_t point : smallest_p_points(points, kLabelledGenes)) {
    labels.push_back(
        {point, cut_label(shown_gene_name(figures, contrast.gene[point]), kLongestLabel)});
  }
  append_volcano_svg(page, points, labels, kContrastPlot,
                     {"Volcano plot of " + contrast.name + ": logFC against -log10 p of every gene",
                      "logFC", "-log10 p"});
  const VolcanoCounts counts = volcano_counts(points);
  if (counts.zero_p > 0) {
    append_note(page, genes_text(counts.zero_p, "with p = 0: triangles on the top edge."));
  }
  if (counts.not_drawn > 0) {
    append_note(page,
                genes_text(counts.not_drawn, "not drawn: logFC not finite or p not a number."));
  }
}

// logFC against AveExpr: the x axis spans the genes' AveExpr, the y axis is symmetric around 0,
// where a dashed line runs.
void append_contrast_ma(std::string& page, const ContrastFigures& contrast) {
  const PlotLayout& layout = kContrastPlot;
  double a_low = INFINITY, a_high = -INFINITY, widest = 0.0;
  std::size_t not_drawn = 0;
  auto drawn = [&contrast](std::size_t i) {
    return std::isfinite(contrast.ave_expr[i]) && std::isfinite(contrast.log_fc[i]);
  };
  for (std::size_t i = 0; i < contrast.gene.size(); ++i) {
    if (!drawn(i)) {
      ++not_drawn;
      continue;
    }
    a_low = std::min(a_low, contrast.ave_expr[i]);
    a_high = std::max(a_high, contrast.ave_expr[i]);
    widest = std::max(widest, std::fabs(contrast.log_fc[i]));
  }
  const Scale x_range = make_scale(a_low, a_high, 0.0, 1.0);
  double x_low = x_range.value_low, x_high = x_range.value_high;
  Ticks x_ticks = round_ticks(x_low, x_high, 6);
  widen_to_ticks(x_low, x_high, x_ticks);
  const Scale y_range = make_scale(-widest, widest, 0.0, 1.0);
  double y_low = y_range.value_low, y_high = y_range.value_high;
  Ticks y_ticks = round_ticks(y_low, y_high, 6);
  widen_to_ticks(y_low, y_high, y_ticks);
  const Plot plot =
      make_plot(layout.left, layout.top, layout.width, layout.height, x_low, x_high, y_low, y_high);

  std::vector<GeneMark> marks;
  marks.reserve(contrast.gene.size());
  for (std::size_t i = 0; i < contrast.gene.size(); ++i) {
    if (!drawn(i)) continue;
    marks.push_back({plot.x.pixel(contrast.ave_expr[i]), plot.y.pixel(contrast.log_fc[i]),
                     called(contrast.q_value[i]), false});
  }
  std::string svg;
  open_svg(svg, layout.left + layout.width + layout.right,
           layout.top + layout.height + layout.bottom,
           "MA plot of " + contrast.name + ": logFC against AveExpr of every gene");
  append_line(svg, plot.left, plot.y.pixel(0.0), plot.right(), plot.y.pixel(0.0), "zero");
  append_gene_marks(svg, marks, layout.compact);
  append_axes(svg, plot, x_ticks, y_ticks, "AveExpr: mean log2 intensity A", "logFC");
  close_svg(svg);
  page += svg;
  if (not_drawn > 0) {
    append_note(page, genes_text(not_drawn, "not drawn: logFC or AveExpr not finite."));
  }
}

}  // namespace

void append_contrasts(std::string& page, const RunFigures& figures) {
  const DesignFigures& design = figures.design;
  const std::size_t plotted = std::min(design.contrasts.size(), kPlottedContrasts);
  page += "<section id=\"contrasts\"><h2>The contrasts</h2>\n";
  if (design.contrasts.empty()) {
    page += "<p>The linear model tests no contrast.</p></section>\n";
    return;
  }
  append_calls_table(page, design);
  if (design.contrasts.size() > plotted) {
    page += "<p class=\"note\">The plots below show the first " + std::to_string(plotted) +
            " of the " + std::to_string(design.contrasts.size()) +
            " contrasts; the table above counts every one.</p>\n";
  }
  page +=
      "<h3>Volcano plots</h3>\n<p>Every gene with an estimate: the contrast's estimate (logFC) "
      "against -log10 of its moderated t-test p-value. Larger orange dots with a dark rim: the "
      "genes the contrast calls (q below 0.05); small blue dots: the others. The ten smallest "
      "p-values are labelled.</p>\n<div class=\"panels\">\n";
  for (std::size_t c = 0; c < plotted; ++c) {
    open_figure(page, c + 1, design.contrasts[c]);
    append_contrast_volcano(page, figures, design.contrasts[c]);
    page += "</figure>\n";
  }
  page +=
      "</div>\n<h3>MA plots</h3>\n<p>Every gene with an estimate: the contrast's estimate "
      "(logFC) against the gene's mean log2 intensity over the arrays (AveExpr), the genes the "
      "contrast calls marked as above, and a dashed line at 0. A trend away from the line along "
      "AveExpr is a bias the normalisation left.</p>\n<div class=\"panels\">\n";
  for (std::size_t c = 0; c < plotted; ++c) {
    open_figure(page, c + 1, design.contrasts[c]);
    append_contrast_ma(page, design.contrasts[c]);
    page += "</figure>\n";
  }
  page += "</div></section>\n";
}
