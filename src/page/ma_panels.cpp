// MA plots as density: every slide's spots with a ratio counted in bins on axes shared by all
// slides, one panel a slide. Each density level of a panel is one path of bin squares, with runs
// of neighbouring bins on a row of the same level merged, so that 99 slides of 27,648 spots stay
// small. Spots that failed the quality test are drawn as half-size squares in orange over the
// blue squares of the spots that passed, so both show where they share a bin. Two curves over
// the density show the trend of M along A: the median of the normalised M in each bin of A (after
// normalisation), and the trend normalisation removed or would have removed (before it).

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>

#include "page/html_sections.hpp"
#include "page/html_text.hpp"
#include "page/svg_plot.hpp"

namespace {

constexpr double kBinPixels = 5.0;
constexpr double kPlotWidth = kMaBinsA * kBinPixels;
constexpr double kPlotHeight = kMaBinsM * kBinPixels;
constexpr double kLeft = 44.0, kTop = 6.0, kRight = 10.0, kBottom = 38.0;

// A bin of A with fewer spots than this has no point on the curves: its median says little.
constexpr int32_t kFewestSpotsForAPoint = 20;

// Lowest count of each density level; the last level holds every count from its bound up.
constexpr std::array<int32_t, 7> kLevelBounds = {1, 3, 10, 30, 100, 300, 1000};

// Density level of a count: 0 for an empty bin, 1..7 otherwise.
int level_of(int32_t count) {
  int level = 0;
  for (int32_t bound : kLevelBounds)
    if (count >= bound) ++level;
  return level;
}

int32_t bin_count(const std::vector<int32_t>& bins, int32_t a_bin, int32_t m_bin) {
  std::size_t index = static_cast<std::size_t>(m_bin * kMaBinsA + a_bin);
  return index < bins.size() ? bins[index] : 0;
}

// The highest level any bin of any slide reaches, so that the legend shows only levels in use.
int highest_level(const RunFigures& figures) {
  int highest = 0;
  for (const SlideFigures& slide : figures.slides) {
    for (int32_t count : slide.ma_pass)
      highest = std::max(highest, level_of(count));
    for (int32_t count : slide.ma_fail)
      highest = std::max(highest, level_of(count));
  }
  return highest;
}

// One path per level: runs of bins of that level, bin 0 of M at the bottom. A failed-spot square
// is inset by a quarter of a bin on every side.
void append_density(std::string& svg, const Plot& plot, const std::vector<int32_t>& bins,
                    const char* class_prefix, double inset) {
  std::array<std::string, kLevelBounds.size() + 1> paths;
  for (int32_t m_bin = 0; m_bin < kMaBinsM; ++m_bin) {
    double y = plot.bottom() - (m_bin + 1) * kBinPixels + inset;
    int32_t a_bin = 0;
    while (a_bin < kMaBinsA) {
      int level = level_of(bin_count(bins, a_bin, m_bin));
      int32_t run_end = a_bin + 1;
      while (run_end < kMaBinsA && level_of(bin_count(bins, run_end, m_bin)) == level)
        ++run_end;
      if (level > 0) {
        double x = plot.left + a_bin * kBinPixels + inset;
        double width = (run_end - a_bin) * kBinPixels - 2.0 * inset;
        double height = kBinPixels - 2.0 * inset;
        std::string& path = paths[level];
        append_command(path, 'M', x, y);
        append_command(path, 'h', width);
        append_command(path, 'v', height);
        append_command(path, 'h', -width);
        path += 'z';
      }
      a_bin = run_end;
    }
  }
  for (std::size_t level = 1; level < paths.size(); ++level) {
    if (paths[level].empty()) continue;
    svg += std::string("<path class=\"") + class_prefix + std::to_string(level) + "\" d=\"" +
           paths[level] + "\"/>\n";
  }
}

// The spots of each bin of A, passing and failing.
std::vector<int32_t> spots_by_a_bin(const SlideFigures& slide) {
  std::vector<int32_t> spots(kMaBinsA, 0);
  for (int32_t a_bin = 0; a_bin < kMaBinsA; ++a_bin) {
    for (int32_t m_bin = 0; m_bin < kMaBinsM; ++m_bin) {
      spots[static_cast<std::size_t>(a_bin)] +=
          bin_count(slide.ma_pass, a_bin, m_bin) + bin_count(slide.ma_fail, a_bin, m_bin);
    }
  }
  return spots;
}

// A curve through the bin medians at the middle of their A bins, broken at a bin without one or
// with too few spots; a median on its own is a dot (a round cap on a line of no length). The
// curve is drawn twice: a wide white halo first, so that it shows over dark bins.
void append_curve(std::string& svg, const Plot& plot, const std::vector<double>& medians,
                  const std::vector<int32_t>& spots, const char* css_class) {
  std::string path;
  std::size_t run_length = 0;
  for (std::size_t a_bin = 0; a_bin <= medians.size(); ++a_bin) {
    const bool has_point = a_bin < medians.size() && std::isfinite(medians[a_bin]) &&
                           a_bin < spots.size() && spots[a_bin] >= kFewestSpotsForAPoint;
    if (!has_point) {
      if (run_length == 1) path += "h0";
      run_length = 0;
      continue;
    }
    const double x = plot.left + (static_cast<double>(a_bin) + 0.5) * kBinPixels;
    const double y = std::clamp(plot.y.pixel(medians[a_bin]), plot.top, plot.bottom());
    append_command(path, run_length == 0 ? 'M' : 'L', x, y);
    ++run_length;
  }
  if (path.empty()) return;
  svg += "<path class=\"halo\" d=\"" + path + "\"/><path class=\"" + css_class + "\" d=\"" + path +
         "\"/>\n";
}

void append_panel(std::string& page, const RunFigures& figures, std::size_t slide_index,
                  const Ticks& a_ticks, const Ticks& m_ticks) {
  const SlideFigures& slide = figures.slides[slide_index];
  std::string number = std::to_string(slide_index + 1);
  page += "<figure class=\"panel ma\"><figcaption title=\"";
  append_escaped(page, slide.file);
  page += "\">" + number + ". ";
  append_escaped(page, slide.file);
  if (slide.dye_swapped) page += " (dyes swapped)";
  page += "</figcaption>";

  Plot plot = make_plot(kLeft, kTop, kPlotWidth, kPlotHeight, figures.a_lowest, figures.a_highest,
                        figures.m_lowest, figures.m_highest);
  open_svg(page, kLeft + kPlotWidth + kRight, kTop + kPlotHeight + kBottom,
           "MA plot of slide " + number + ", " + slide.file);
  append_density(page, plot, slide.ma_pass, "p", 0.0);
  append_density(page, plot, slide.ma_fail, "f", kBinPixels / 4.0);
  if (figures.m_lowest < 0.0 && figures.m_highest > 0.0) {
    append_line(page, plot.left, plot.y.pixel(0.0), plot.right(), plot.y.pixel(0.0), "zero");
  }
  const std::vector<int32_t> spots = spots_by_a_bin(slide);
  append_curve(page, plot, slide.median_m_before, spots, "before");
  append_curve(page, plot, slide.median_m_after, spots, "after");
  if (slide.log2_ratio.count == 0) {
    append_text_at(page, plot.left + plot.width / 2.0, plot.top + plot.height / 2.0,
                   "no spot with a ratio", "middle", "note");
  }
  append_axes(page, plot, a_ticks, m_ticks, "A = mean log2 intensity", "M = log2 ratio");
  close_svg(page);
  page += "</figure>\n";
}

// A short stretch of a curve's line for the legend.
std::string curve_swatch(const char* css_class) {
  return std::string("<svg width=\"28\" height=\"12\"><path class=\"halo\" d=\"M2 6h24\"/>") +
         "<path class=\"" + css_class + "\" d=\"M2 6h24\"/></svg>";
}

// Swatches of the density levels in use, with the counts each stands for, and of the curves.
void append_legend(std::string& page, const RunFigures& figures, int levels) {
  page += "<p class=\"legend\">Spots a bin: ";
  for (int level = 1; level <= levels; ++level) {
    std::string range = std::to_string(kLevelBounds[level - 1]);
    if (level == static_cast<int>(kLevelBounds.size())) {
      range += " or more";
    } else if (kLevelBounds[level] - 1 > kLevelBounds[level - 1]) {
      range += "&ndash;" + std::to_string(kLevelBounds[level] - 1);
    }
    std::string css_level = std::to_string(level);
    page += "<span class=\"swatch\"><svg width=\"24\" height=\"12\"><rect class=\"p" + css_level +
            "\" width=\"12\" height=\"12\"/><rect class=\"f" + css_level +
            "\" x=\"15\" y=\"3\" width=\"6\" height=\"6\"/></svg>" + range + "</span> ";
  }
  page +=
      "<br>Large blue squares: spots that passed the quality test; small orange squares: spots "
      "that failed it. Darker is denser.<br>";
  page += "<span class=\"swatch\">" + curve_swatch("before") + "before normalisation: " +
          (figures.before_curve_fitted
               ? "the median of the curve the normalisation fitted and took away"
               : "the median of M as read, before normalisation") +
          ", in each bin of A</span> <span class=\"swatch\">" + curve_swatch("after") +
          "after normalisation: the median of the normalised M in each bin of A</span><br>The "
          "curves leave out bins of A with fewer than " +
          std::to_string(kFewestSpotsForAPoint) + " spots.</p>\n";
}

}  // namespace

void append_ma_panels(std::string& page, const RunFigures& figures) {
  page +=
      "<section id=\"ma\"><h2>MA plots</h2>\n<p>Every spot with a ratio of every slide: "
      "M = log2 of the normalised ratio against A = (log2 ch1_net + log2 ch2_net) / 2 of the "
      "nets as read (the same before and after normalisation), counted in ";
  page += std::to_string(kMaBinsA) + " &times; " + std::to_string(kMaBinsM) +
          " bins on axes shared by all slides. A slide without dye or intensity effects lies "
          "flat around M = 0; the two curves show the trend of M along A before and after "
          "normalisation (a median beyond the M axis is drawn on its edge).</p>\n";
  append_legend(page, figures, highest_level(figures));
  Plot shared = make_plot(kLeft, kTop, kPlotWidth, kPlotHeight, figures.a_lowest, figures.a_highest,
                          figures.m_lowest, figures.m_highest);
  Ticks a_ticks = round_ticks(shared.x.value_low, shared.x.value_high, 5);
  Ticks m_ticks = round_ticks(shared.y.value_low, shared.y.value_high, 5);
  page += "<div class=\"panels\">\n";
  for (std::size_t slide = 0; slide < figures.slides.size(); ++slide)
    append_panel(page, figures, slide, a_ticks, m_ticks);
  page += "</div></section>\n";
}
