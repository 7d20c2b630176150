// Box plots of the log2 spot ratios of every slide side by side: a slide whose box sits away
// from the others, or is much wider, shows a slide effect. The box spans the quartiles with the
// median across it; whiskers reach the most extreme values within 1.5 interquartile ranges, and
// a dot marks the lowest and highest value when it lies beyond a whisker. The scale covers the
// whiskers of every slide: a single extreme spot would otherwise squeeze every box flat, so an
// extreme value off the scale is a triangle on the edge, pointing the way it lies.

#include <algorithm>
#include <cmath>
#include <cstddef>

#include "page/html_sections.hpp"
#include "page/html_text.hpp"
#include "page/svg_plot.hpp"

namespace {

constexpr double kLeft = 60.0, kTop = 10.0, kBottom = 42.0, kRight = 10.0;
constexpr double kPlotHeight = 300.0;

// Width of the plot: 60 pixels a slide for a few slides, narrower for many, at least 9.
double plot_width(std::size_t slides) {
  double per_slide = std::clamp(900.0 / static_cast<double>(slides), 9.0, 60.0);
  return std::max(240.0, per_slide * static_cast<double>(slides));
}

// The lowest and highest whisker end of the slides that have a ratio; -1..1 when none has.
void whisker_range(const RunFigures& figures, double& low, double& high) {
  low = high = NAN;
  for (const SlideFigures& slide : figures.slides) {
    const BoxFigures& box = slide.log2_ratio;
    if (box.count == 0 || !std::isfinite(box.lower_whisker) || !std::isfinite(box.upper_whisker)) {
      continue;
    }
    low = std::isnan(low) ? box.lower_whisker : std::min(low, box.lower_whisker);
    high = std::isnan(high) ? box.upper_whisker : std::max(high, box.upper_whisker);
  }
  if (std::isnan(low)) {
    low = -1.0;
    high = 1.0;
  }
}

void append_box(std::string& svg, const Plot& plot, const BoxFigures& box, double centre,
                double half_width) {
  auto y = [&](double value) { return plot.y.pixel(value); };
  // Whiskers with their end caps.
  std::string whiskers;
  append_command(whiskers, 'M', centre, y(box.lower_whisker));
  append_command(whiskers, 'V', y(box.lower_quartile));
  append_command(whiskers, 'M', centre, y(box.upper_quartile));
  append_command(whiskers, 'V', y(box.upper_whisker));
  append_command(whiskers, 'M', centre - half_width / 2.0, y(box.lower_whisker));
  append_command(whiskers, 'h', half_width);
  append_command(whiskers, 'M', centre - half_width / 2.0, y(box.upper_whisker));
  append_command(whiskers, 'h', half_width);
  svg += "<path class=\"whisker\" d=\"" + whiskers + "\"/>";

  svg += "<rect class=\"box\"";
  append_attribute(svg, "x", centre - half_width);
  append_attribute(svg, "y", y(box.upper_quartile));
  append_attribute(svg, "width", 2.0 * half_width);
  append_attribute(svg, "height", y(box.lower_quartile) - y(box.upper_quartile));
  svg += "/>";

  std::string median;
  append_command(median, 'M', centre - half_width, y(box.median));
  append_command(median, 'h', 2.0 * half_width);
  svg += "<path class=\"median\" d=\"" + median + "\"/>";

  double radius = std::min(2.5, half_width);
  for (double extreme : {box.lowest, box.highest}) {
    if (extreme >= box.lower_whisker && extreme <= box.upper_whisker) continue;
    if (extreme >= plot.y.value_low && extreme <= plot.y.value_high) {
      svg += "<circle class=\"extreme\"";
      append_attribute(svg, "cx", centre);
      append_attribute(svg, "cy", y(extreme));
      append_attribute(svg, "r", radius);
      svg += "/>";
    } else {
      // The tip on the edge, the base inside the plot.
      double edge = extreme > plot.y.value_high ? plot.top : plot.bottom();
      double depth = extreme > plot.y.value_high ? 2.0 * radius : -2.0 * radius;
      std::string triangle;
      append_command(triangle, 'M', centre, edge);
      append_command(triangle, 'l', radius, depth);
      append_command(triangle, 'h', -2.0 * radius);
      triangle += 'z';
      svg += "<path class=\"extreme\" d=\"" + triangle + "\"/>";
    }
  }
}

// Tooltip text of a slide's box: its name and its five numbers.
std::string box_title(std::size_t number, const SlideFigures& slide) {
  const BoxFigures& box = slide.log2_ratio;
  std::string title = std::to_string(number) + ". " + slide.file;
  if (box.count == 0) return title + ": no spot with a ratio";
  return title + ": " + std::to_string(box.count) + " ratios, median " +
         rounded_number(box.median, 4) + ", quartiles " + rounded_number(box.lower_quartile, 4) +
         " to " + rounded_number(box.upper_quartile, 4) + ", range " +
         rounded_number(box.lowest, 4) + " to " + rounded_number(box.highest, 4);
}

}  // namespace

void append_box_plot(std::string& page, const RunFigures& figures) {
  std::size_t slides = figures.slides.size();
  page +=
      "<section id=\"boxes\"><h2>log2 spot ratios by slide</h2>\n<p>Box: quartiles and "
      "median; whiskers: the most extreme values within 1.5 interquartile ranges; dots: the "
      "lowest and highest value beyond a whisker; triangles on the edge: such a value off the "
      "scale (hover a slide for its numbers).</p>\n";
  double low, high;
  whisker_range(figures, low, high);
  low = std::min(low, 0.0);
  high = std::max(high, 0.0);
  // Room for the dots of extremes just beyond the whiskers.
  double margin = 0.25 * (high - low);
  low -= margin;
  high += margin;
  Scale range = make_scale(low, high, 0.0, 1.0);
  low = range.value_low;
  high = range.value_high;
  Ticks y_ticks = round_ticks(low, high, 6);
  widen_to_ticks(low, high, y_ticks);
  double width = plot_width(std::max<std::size_t>(slides, 1));
  Plot plot =
      make_plot(kLeft, kTop, width, kPlotHeight, 0.5, static_cast<double>(slides) + 0.5, low, high);
  // Slide numbers along x: every slide for up to 20, else a round step.
  Ticks x_ticks;
  if (slides <= 20) {
    for (std::size_t number = 1; number <= slides; ++number)
      x_ticks.values.push_back(static_cast<double>(number));
  } else {
    x_ticks = round_ticks(1.0, static_cast<double>(slides), 20);
  }

  std::string svg;
  open_svg(svg, kLeft + width + kRight, kTop + kPlotHeight + kBottom,
           "Box plots of the log2 spot ratios of every slide");
  append_line(svg, plot.left, plot.y.pixel(0.0), plot.right(), plot.y.pixel(0.0), "zero");
  double slot = width / static_cast<double>(std::max<std::size_t>(slides, 1));
  std::vector<std::size_t> empty_slides;
  for (std::size_t index = 0; index < slides; ++index) {
    const SlideFigures& slide = figures.slides[index];
    double centre = plot.x.pixel(static_cast<double>(index + 1));
    svg += "<g><title>";
    append_escaped(svg, box_title(index + 1, slide));
    svg += "</title>";
    if (slide.log2_ratio.count == 0) {
      empty_slides.push_back(index + 1);
      // An empty slide shows a cross on its place at the zero line.
      double arm = std::min(3.0, slot * 0.3);
      double zero = plot.y.pixel(0.0);
      std::string cross;
      append_command(cross, 'M', centre - arm, zero - arm);
      append_command(cross, 'l', 2.0 * arm, 2.0 * arm);
      append_command(cross, 'm', 0.0, -2.0 * arm);
      append_command(cross, 'l', -2.0 * arm, 2.0 * arm);
      svg += "<path class=\"empty\" d=\"" + cross + "\"/>";
    } else {
      append_box(svg, plot, slide.log2_ratio, centre, std::max(1.5, slot * 0.3));
    }
    svg += "</g>\n";
  }
  append_axes(svg, plot, x_ticks, y_ticks, "slide", "log2 ratio");
  close_svg(svg);
  page += svg;
  if (!empty_slides.empty()) {
    page += "<p class=\"note\">No spot with a ratio, so no box (a cross marks the place): slide";
    page += empty_slides.size() > 1 ? "s " : " ";
    for (std::size_t i = 0; i < empty_slides.size(); ++i) {
      std::size_t number = empty_slides[i];
      if (i > 0) page += ", ";
      page += std::to_string(number) + " (";
      append_escaped(page, figures.slides[number - 1].file);
      page += ")";
    }
    page += ".</p>\n";
  }
  page += "</section>\n";
}
