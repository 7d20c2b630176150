// Volcano plots: a log fold change against -log10 p, one mark a gene. Genes with a q-value below
// 0.05 are larger orange dots with a dark rim over smaller blue ones. A p-value of 0 has no
// -log10: such a gene is a triangle on the top edge, and a note says so. The ten genes with the
// smallest p-values are labelled by name. The one-sample volcano plot shows the test of the run
// without a design (the moderated t-test across slides when it was made); the contrasts of a
// linear model have small ones of their own.

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <numeric>

#include "page/gene_plots.hpp"
#include "page/html_sections.hpp"
#include "page/html_text.hpp"
#include "page/svg_plot.hpp"

namespace {

constexpr std::size_t kLabelledGenes = 10;
// Labels are 11 pixels high and about 7 pixels a character.
constexpr double kLabelHeight = 12.0, kLabelCharWidth = 7.0;
// A label may stand above the plot, in its margin, down from here.
constexpr double kHighestLabelTop = 4.0;

bool called(const VolcanoPoint& point) {
  return point.q_value < kSignificantQ;
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

// The place of a point's mark: p = 0 at the top edge.
double mark_y(const Plot& plot, const VolcanoPoint& point) {
  return point.p_value == 0.0 ? plot.top : plot.y.pixel(minus_log10(point.p_value));
}

// Writes the labels in their order. A label that would overlap one already placed is moved down
// or up a line at a time and joined to its mark by a thin line.
void append_labels(std::string& svg, const Plot& plot, const std::vector<VolcanoPoint>& points,
                   const std::vector<PointLabel>& labels) {
  std::vector<Box> placed;
  for (const PointLabel& label : labels) {
    const VolcanoPoint& point = points[label.point];
    double x = plot.x.pixel(point.log_fc);
    double y = point.p_value == 0.0 ? plot.top + 4.0 : mark_y(plot, point);
    double width = kLabelCharWidth * static_cast<double>(label.text.size());
    bool to_left = x > plot.left + 0.75 * plot.width;
    double left = to_left ? x - 6.0 - width : x + 6.0;
    Box box{};
    for (int step = 0; step <= 40; ++step) {
      // 0, +1, -1, +2, -2, ... lines away from the mark.
      double shift = (step % 2 == 1 ? 1.0 : -1.0) * ((step + 1) / 2) * kLabelHeight;
      double top = y - kLabelHeight / 2.0 + shift;
      box = Box{left, top, left + width, top + kLabelHeight};
      if (top < kHighestLabelTop || box.bottom > plot.bottom()) continue;
      bool free = std::none_of(placed.begin(), placed.end(),
                               [&](const Box& other) { return box.overlaps(other); });
      if (free) break;
    }
    placed.push_back(box);
    double middle = (box.top + box.bottom) / 2.0;
    if (std::fabs(middle - y) > 1.0) {
      append_line(svg, x, y, to_left ? box.right : box.left, middle, "leader");
    }
    append_text_at(svg, to_left ? box.right : box.left, box.bottom - 2.5, label.text,
                   to_left ? "end" : "start", "label");
  }
  svg += "\n";
}

}  // namespace

bool drawable_point(const VolcanoPoint& point) {
  return std::isfinite(point.log_fc) && point.p_value >= 0.0;
}

std::vector<std::size_t> smallest_p_points(const std::vector<VolcanoPoint>& points,
                                           std::size_t count) {
  std::vector<std::size_t> order;
  for (std::size_t i = 0; i < points.size(); ++i)
    if (drawable_point(points[i])) order.push_back(i);
  std::stable_sort(order.begin(), order.end(), [&points](std::size_t a, std::size_t b) {
    return points[a].p_value < points[b].p_value;
  });
  order.resize(std::min(order.size(), count));
  return order;
}

VolcanoCounts volcano_counts(const std::vector<VolcanoPoint>& points) {
  VolcanoCounts counts;
  for (const VolcanoPoint& point : points) {
    if (!drawable_point(point)) {
      ++counts.not_drawn;
      continue;
    }
    ++counts.drawn;
    counts.called += called(point);
    counts.zero_p += point.p_value == 0.0;
  }
  return counts;
}

std::string cut_label(const std::string& name, std::size_t longest) {
  if (name.size() <= longest) return name;
  std::size_t end = longest - 1;
  // Back to the first byte of a character: continuation bytes are 10xxxxxx.
  while (end > 0 && (static_cast<unsigned char>(name[end]) & 0xC0) == 0x80)
    --end;
  return name.substr(0, end) + "\u2026";
}

void append_volcano_svg(std::string& page, const std::vector<VolcanoPoint>& points,
                        const std::vector<PointLabel>& labels, const PlotLayout& layout,
                        const PlotTitles& titles) {
  double widest_log_fc = 0.0, highest_y = 0.0, lowest_y = 0.0;
  for (const VolcanoPoint& point : points) {
    if (!drawable_point(point)) continue;
    widest_log_fc = std::max(widest_log_fc, std::fabs(point.log_fc));
    if (point.p_value == 0.0) continue;
    highest_y = std::max(highest_y, minus_log10(point.p_value));
    lowest_y = std::min(lowest_y, minus_log10(point.p_value));
  }
  // A symmetric x axis around 0; the y axis from 0 with room above the highest mark.
  Scale x_range = make_scale(-widest_log_fc, widest_log_fc, 0.0, 1.0);
  Ticks x_ticks = round_ticks(x_range.value_low, x_range.value_high, 8);
  double x_low = x_range.value_low, x_high = x_range.value_high;
  widen_to_ticks(x_low, x_high, x_ticks);
  double y_low = lowest_y, y_high = std::max(1.0, highest_y * 1.05);
  Ticks y_ticks = round_ticks(y_low, y_high, 6);
  widen_to_ticks(y_low, y_high, y_ticks);
  Plot plot =
      make_plot(layout.left, layout.top, layout.width, layout.height, x_low, x_high, y_low, y_high);

  std::vector<GeneMark> marks;
  marks.reserve(points.size());
  for (const VolcanoPoint& point : points) {
    if (!drawable_point(point)) continue;
    marks.push_back(
        {plot.x.pixel(point.log_fc), mark_y(plot, point), called(point), point.p_value == 0.0});
  }
  std::string svg;
  open_svg(svg, layout.left + layout.width + layout.right,
           layout.top + layout.height + layout.bottom, titles.title);
  append_line(svg, plot.x.pixel(0.0), plot.top, plot.x.pixel(0.0), plot.bottom(), "zero");
  append_gene_marks(svg, marks, layout.compact);
  append_labels(svg, plot, points, labels);
  append_axes(svg, plot, x_ticks, y_ticks, titles.x_axis, titles.y_axis);
  close_svg(svg);
  page += svg;
}

void append_volcano_plot(std::string& page, const RunFigures& figures) {
  if (design_shown(figures)) return;  // the contrasts have volcano plots of their own
  const bool moderated = moderated_test_shown(figures);
  std::vector<VolcanoPoint> points;
  std::vector<const GeneFigures*> genes;
  std::size_t other_test_only = 0;
  for (const GeneFigures& gene : figures.tested_genes) {
    const ShownTest test = shown_test_of(figures, gene);
    if (!test.tested) {
      ++other_test_only;
      continue;
    }
    points.push_back({test.log2_mean, test.p_value, test.q_value});
    genes.push_back(&gene);
  }
  std::vector<PointLabel> labels;
  for (std::size_t point : smallest_p_points(points, kLabelledGenes))
    labels.push_back({point, shown_gene_name(*genes[point])});
  const VolcanoCounts counts = volcano_counts(points);

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
  page += "Larger orange dots with a dark rim: q below 0.05 (" + std::to_string(counts.called) +
          " genes); small blue dots: the others (" + std::to_string(counts.drawn - counts.called) +
          "). The ten smallest p-values are labelled.</p>\n";
  const char* test_name = moderated ? "moderated" : "pooled";
  append_volcano_svg(page, points, labels, kLargeVolcano,
                     {std::string("Volcano plot: log2 mean against -log10 p of the ") + test_name +
                          " t-test of every gene it tested",
                      moderated ? "mean of the slide means of log2 ratio" : "log2 mean ratio",
                      moderated ? "-log10 moderated p" : "-log10 pooled p"});
  if (counts.zero_p > 0) {
    page += "<p class=\"note\">" + std::to_string(counts.zero_p) +
            (counts.zero_p == 1 ? " gene has" : " genes have") +
            " p = 0 (values without any spread, or a p-value below the smallest double), whose "
            "-log10 p is infinite: drawn as triangles on the top edge.</p>\n";
  }
  if (counts.not_drawn > 0) {
    page += "<p class=\"note\">" + std::to_string(counts.not_drawn) +
            (counts.not_drawn == 1 ? " gene is" : " genes are") +
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
