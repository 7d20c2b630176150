// Histogram of the p-values of the shown test (the test that ranks the genes of a linear model,
// the moderated t-test across slides when it was made) in 20 bins of 0.05: flat when no gene
// changes, with a peak at 0 when some do. A dashed line marks the height of a flat histogram.

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>

#include "page/html_sections.hpp"
#include "page/html_text.hpp"
#include "page/svg_plot.hpp"

namespace {

constexpr int kBins = 20;
constexpr double kLeft = 64.0, kTop = 10.0, kWidth = 600.0, kHeight = 240.0;
constexpr double kRight = 20.0, kBottom = 42.0;

}  // namespace

void append_p_value_histogram(std::string& page, const RunFigures& figures) {
  std::array<int64_t, kBins> counts{};
  int64_t counted = 0;
  for (const GeneFigures& gene : figures.tested_genes) {
    const ShownTest test = shown_test_of(figures, gene);
    if (!test.tested || !(test.p_value >= 0.0 && test.p_value <= 1.0)) continue;
    // p = 1 belongs to the last bin.
    int bin = std::min(kBins - 1, static_cast<int>(test.p_value * kBins));
    ++counts[bin];
    ++counted;
  }
  int64_t highest = *std::max_element(counts.begin(), counts.end());
  double y_high = std::max<double>(1.0, static_cast<double>(highest));
  Ticks y_ticks = round_ticks(0.0, y_high, 5);
  if (y_ticks.step < 1.0) y_ticks = round_ticks(0.0, 5.0, 5);  // counts are whole numbers
  double y_low = 0.0;
  widen_to_ticks(y_low, y_high, y_ticks);
  Plot plot = make_plot(kLeft, kTop, kWidth, kHeight, 0.0, 1.0, 0.0, y_high);

  const std::string test_name = shown_test_name(figures);
  const bool design = design_shown(figures);
  page += "<section id=\"pvalues\"><h2>p-values of the ";
  append_escaped(page, test_name);
  page += "</h2>\n<p>";
  if (design) {
    page += "The p-values of " + std::to_string(counted) + " genes";
  } else {
    page += "The " + test_name + " p-values of " + std::to_string(counted) + " genes";
  }
  page +=
      " in bins of 0.05. The dashed line is the height every bin would have if no gene changed; a "
      "peak at 0 holds the changed genes.</p>\n";
  std::string svg;
  open_svg(svg, kLeft + kWidth + kRight, kTop + kHeight + kBottom,
           design ? "Histogram of the p-values of the " + test_name + " in 20 bins"
                  : "Histogram of the " + test_name + " p-values in 20 bins");
  double bar_width = kWidth / kBins;
  // Bin edges 0, 0.05, ..., 1 for the tooltips.
  Ticks edges = round_ticks(0.0, 1.0, kBins);
  for (int bin = 0; bin < kBins; ++bin) {
    if (counts[bin] == 0) continue;
    double top = plot.y.pixel(static_cast<double>(counts[bin]));
    svg += "<rect class=\"bar\"";
    append_attribute(svg, "x", plot.left + bin * bar_width);
    append_attribute(svg, "y", top);
    append_attribute(svg, "width", bar_width);
    append_attribute(svg, "height", plot.bottom() - top);
    svg += "><title>p ";
    svg += tick_label(edges.values[bin], edges) + " to " +
           tick_label(edges.values[bin + 1], edges) + ": " + std::to_string(counts[bin]) +
           " genes</title></rect>";
  }
  if (counted > 0) {
    double flat = plot.y.pixel(static_cast<double>(counted) / kBins);
    append_line(svg, plot.left, flat, plot.right(), flat, "flat");
  }
  append_axes(svg, plot, round_ticks(0.0, 1.0, 10), y_ticks,
              design ? "p-value" : test_name + " p-value", "genes");
  close_svg(svg);
  page += svg + "</section>\n";
}
