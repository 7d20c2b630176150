// The volcano plot of the shown test (the moderated t-test across slides when it was made): the
// log2 mean of every gene it tested against -log10 p, one mark a gene. Genes with a q-value below
// 0.05 are larger orange dots with a dark rim over smaller blue ones. A p-value of 0 has no
// -log10: such a gene is a triangle on the top edge, and a note says so. The ten genes with the
// smallest p-values are labelled by name.

#include <algorithm>
#include <cmath>
#include <cstddef>

#include "page/html_sections.hpp"
#include "page/html_text.hpp"
#include "page/svg_plot.hpp"

namespace {

constexpr double kLeft = 64.0, kTop = 24.0, kWidth = 640.0, kHeight = 420.0;
constexpr double kRight = 20.0, kBottom = 42.0;
constexpr std::size_t kLabelledGenes = 10;
// Labels are 11 pixels high and about 7 pixels a character.
constexpr double kLabelHeight = 12.0, kLabelCharWidth = 7.0;

bool drawable(const ShownTest& gene) {
  return gene.tested && std::isfinite(gene.log2_mean) && gene.p_value >= 0.0;
}

bool significant(const ShownTest& gene) {
  return gene.q_value < kSignificantQ;
}

// -log10 p for a positive p-value.
double minus_log10(double p_value) {
  return -std::log10(p_value);
}

struct Box {
  double left, top, right, bottom;
  bool overlaps(const Box& other) const {
    return left < other.right && other.left < right && top < other.bottom && other.top < bottom;
  }
};

// Writes the labels of the genes with the smallest p-values. Each label goes right of its mark
// (left of it in the right quarter of the plot); a label that would overlap one already placed
// is moved down or up a line at a time and joined to its mark by a thin line.
void append_labels(std::string& svg, const Plot& plot, const RunFigures& figures) {
  std::vector<Box> placed;
  std::size_t labelled = 0;
  for (const GeneFigures* gene : genes_by_p_value(figures)) {
    if (labelled == kLabelledGenes) break;
    const ShownTest test = shown_test_of(figures, *gene);
    if (!drawable(test)) continue;
    ++labelled;
    double x = plot.x.pixel(test.log2_mean);
    double y = test.p_value == 0.0 ? plot.top + 4.0 : plot.y.pixel(minus_log10(test.p_value));
    std::string name = shown_gene_name(*gene);
    double width = kLabelCharWidth * static_cast<double>(name.size());
    bool to_left = x > plot.left + 0.75 * plot.width;
    double left = to_left ? x - 6.0 - width : x + 6.0;
    Box box{};
    for (int step = 0; step <= 40; ++step) {
      // 0, +1, -1, +2, -2, ... lines away from the mark.
      double shift = (step % 2 == 1 ? 1.0 : -1.0) * ((step + 1) / 2) * kLabelHeight;
      double top = y - kLabelHeight / 2.0 + shift;
      box = Box{left, top, left + width, top + kLabelHeight};
      if (top < kTop - 20.0 || box.bottom > plot.bottom()) continue;
      bool free = std::none_of(placed.begin(), placed.end(),
                               [&](const Box& other) { return box.overlaps(other); });
      if (free) break;
    }
    placed.push_back(box);
    double middle = (box.top + box.bottom) / 2.0;
    if (std::fabs(middle - y) > 1.0) {
      append_line(svg, x, y, to_left ? box.right : box.left, middle, "leader");
    }
    append_text_at(svg, to_left ? box.right : box.left, box.bottom - 2.5, name,
                   to_left ? "end" : "start", "label");
  }
  svg += "\n";
}

void append_mark(std::string& svg, const Plot& plot, const ShownTest& gene) {
  const char* kind = significant(gene) ? "gene sig" : "gene ns";
  double x = plot.x.pixel(gene.log2_mean);
  if (gene.p_value == 0.0) {
    // A triangle pointing up, its tip on the top edge.
    std::string triangle;
    append_command(triangle, 'M', x, plot.top);
    triangle += "l3.5 7h-7z";
    svg += std::string("<path class=\"") + kind + " top\" d=\"" + triangle + "\"/>";
  } else {
    svg += std::string("<circle class=\"") + kind + "\"";
    append_attribute(svg, "cx", x);
    append_attribute(svg, "cy", plot.y.pixel(minus_log10(gene.p_value)));
    append_attribute(svg, "r", significant(gene) ? 2.8 : 2.0);
    svg += "/>";
  }
}

}  // namespace

void append_volcano_plot(std::string& page, const RunFigures& figures) {
  const bool moderated = moderated_test_shown(figures);
  double widest_log2 = 0.0, highest_y = 0.0, lowest_y = 0.0;
  std::size_t zero_p = 0, not_drawn = 0, significant_genes = 0, drawn = 0, other_test_only = 0;
  for (const GeneFigures& figures_of_gene : figures.tested_genes) {
    const ShownTest gene = shown_test_of(figures, figures_of_gene);
    if (!gene.tested) {
      ++other_test_only;
      continue;
    }
    if (!drawable(gene)) {
      ++not_drawn;
      continue;
    }
    ++drawn;
    if (significant(gene)) ++significant_genes;
    widest_log2 = std::max(widest_log2, std::fabs(gene.log2_mean));
    if (gene.p_value == 0.0) {
      ++zero_p;
    } else {
      highest_y = std::max(highest_y, minus_log10(gene.p_value));
      lowest_y = std::min(lowest_y, minus_log10(gene.p_value));
    }
  }
  // A symmetric x axis around 0; the y axis from 0 with room above the highest mark.
  Scale x_range = make_scale(-widest_log2, widest_log2, 0.0, 1.0);
  Ticks x_ticks = round_ticks(x_range.value_low, x_range.value_high, 8);
  double x_low = x_range.value_low, x_high = x_range.value_high;
  widen_to_ticks(x_low, x_high, x_ticks);
  double y_low = lowest_y, y_high = std::max(1.0, highest_y * 1.05);
  Ticks y_ticks = round_ticks(y_low, y_high, 6);
  widen_to_ticks(y_low, y_high, y_ticks);
  Plot plot = make_plot(kLeft, kTop, kWidth, kHeight, x_low, x_high, y_low, y_high);

  if (moderated) {
    page +=
        "<section id=\"volcano\"><h2>Volcano plot: moderated t-test across slides</h2>\n"
        "<p>Every gene with a value on a slide: the mean of its slide means of the normalised "
        "log2 ratio against -log10 of its moderated t-test p-value. ";
  } else {
    page += "<section id=\"volcano\"><h2>Volcano plot: pooled t-test</h2>\n";
    append_fallback_note(page, figures);
    page +=
        "<p>Every gene with a p-value: log2 mean of its kept ratios against -log10 of its pooled "
        "t-test p-value. ";
  }
  page += "Larger orange dots with a dark rim: q below 0.05 (" + std::to_string(significant_genes) +
          " genes); small blue dots: the others (" + std::to_string(drawn - significant_genes) +
          "). The ten smallest p-values are labelled.</p>\n";
  const char* test_name = moderated ? "moderated" : "pooled";
  std::string svg;
  open_svg(svg, kLeft + kWidth + kRight, kTop + kHeight + kBottom,
           std::string("Volcano plot: log2 mean against -log10 p of the ") + test_name +
               " t-test of every gene it tested");
  append_line(svg, plot.x.pixel(0.0), plot.top, plot.x.pixel(0.0), plot.bottom(), "zero");
  svg += "<g>";
  // The significant genes last, so that they lie on top.
  for (bool draw_significant : {false, true}) {
    for (const GeneFigures& figures_of_gene : figures.tested_genes) {
      const ShownTest gene = shown_test_of(figures, figures_of_gene);
      if (drawable(gene) && significant(gene) == draw_significant) append_mark(svg, plot, gene);
    }
  }
  svg += "</g>\n";
  append_labels(svg, plot, figures);
  append_axes(svg, plot, x_ticks, y_ticks,
              moderated ? "mean of the slide means of log2 ratio" : "log2 mean ratio",
              moderated ? "-log10 moderated p" : "-log10 pooled p");
  close_svg(svg);
  page += svg;
  if (zero_p > 0) {
    page += "<p class=\"note\">" + std::to_string(zero_p) +
            (zero_p == 1 ? " gene has" : " genes have") +
            " p = 0 (values without any spread, or a p-value below the smallest double), whose "
            "-log10 p is infinite: drawn as triangles on the top edge.</p>\n";
  }
  if (not_drawn > 0) {
    page += "<p class=\"note\">" + std::to_string(not_drawn) +
            (not_drawn == 1 ? " gene is" : " genes are") +
            " not drawn: log2 mean not finite or p-value not a number.</p>\n";
  }
  if (other_test_only > 0) {
    page += "<p class=\"note\">" + std::to_string(other_test_only) +
            (other_test_only == 1 ? " gene has" : " genes have") +
            (moderated ? " a pooled p-value but no moderated one"
                       : " a moderated p-value but no pooled one") +
            " and " + (other_test_only == 1 ? "is" : "are") + " not drawn.</p>\n";
  }
  page += "</section>\n";
}
