// A section for each gene of the gene table: its replicate spots slide by slide, one row a slide,
// as dots on the normalised log2 ratio axis coloured by what the gene statistics made of them,
// the slide means of the moderated test as short black bars and the pooled log2 mean as a dashed
// line, beside the numbers of both tests. With a linear model the bars are the arrays' means the
// model takes, there is no pooled mean, and the numbers are each contrast's logFC, p and q (and
// the F-test's when it ranks the genes). Each decision's dots are one path of zero-length
// strokes with round caps, so that 50 sections of 99 slides stay small.

#include <algorithm>
#include <array>
#include <cmath>

#include "page/html_sections.hpp"
#include "page/html_text.hpp"
#include "page/svg_plot.hpp"

namespace {

constexpr double kNameWidth = 150.0, kPlotWidth = 360.0, kRight = 12.0;
constexpr double kTop = 4.0, kBottom = 36.0;
constexpr std::size_t kLongestName = 24;

// The decisions that have a dot, in the order of the legend, with the class of their dots; the
// page names each as the spot table does (spot_decision_name).
struct DotStyle {
  SpotDecision decision;
  const char* css_class;
  const char* meaning;
  bool rim;  // drawn over a slightly larger black dot, so that the dropped spots stand out
};
constexpr std::array<DotStyle, 4> kDotStyles = {{
    {SpotDecision::kKept, "kept", "among the ratios the pooled t-test takes", false},
    {SpotDecision::kFailedQuality, "failed", "failed the quality test", false},
    {SpotDecision::kDroppedMeanMedian, "dropped-mm",
     "dropped while the mean of the ratios over their median was out of bounds", true},
    {SpotDecision::kDroppedPair, "dropped-pair",
     "one of a pair of ratios too far apart (the eight-fold test)", true},
}};

double row_height(std::size_t slides) {
  return slides <= 20 ? 14.0 : 10.0;
}

double strip_height(std::size_t slides) {
  return kTop + row_height(slides) * static_cast<double>(slides) + kBottom;
}

// A long file name keeps its end, where the names of one run differ.
std::string short_name(const std::string& file) {
  if (file.size() <= kLongestName) return file;
  return "\u2026" + file.substr(file.size() - (kLongestName - 1));
}

// The values the axis must reach: every dot, every slide mean, the pooled mean and 0.
void value_range(const GeneFigures& gene, double& low, double& high) {
  low = high = 0.0;
  auto reach = [&](double value) {
    if (!std::isfinite(value)) return;
    low = std::min(low, value);
    high = std::max(high, value);
  };
  for (const ReplicateSpot& spot : gene.replicate_spots)
    reach(spot.log2_ratio);
  for (double mean : gene.slide_means)
    reach(mean);
  if (gene.pooled_test) reach(gene.log2_mean);
}

// The dots of one decision: each a zero-length stroke, the replicates of a slide spread a little
// over its row so that equal values stay apart.
std::string dots_of(const GeneFigures& gene, SpotDecision decision, const Plot& plot, double row,
                    int32_t replicates) {
  const double spread = std::max(0.0, row - 9.0);
  std::string path;
  for (std::size_t i = 0; i < gene.replicate_spots.size(); ++i) {
    const ReplicateSpot& spot = gene.replicate_spots[i];
    if (spot.decision != decision || !std::isfinite(spot.log2_ratio)) continue;
    // The spots are held slide by slide, replicate 1 to R.
    const auto j = static_cast<int32_t>(i % static_cast<std::size_t>(std::max(replicates, 1)));
    const double place = replicates > 1 ? static_cast<double>(j) / (replicates - 1) - 0.5 : 0.0;
    const double y = plot.top + (spot.slide - 0.5) * row + place * spread;
    append_command(path, 'M', plot.x.pixel(spot.log2_ratio), y);
    path += "h0";
  }
  return path;
}

void append_strip(std::string& page, const RunFigures& figures, const GeneFigures& gene) {
  const std::size_t slides = figures.slides.size();
  const double row = row_height(slides);
  const double height = row * static_cast<double>(slides);
  double low = 0.0, high = 0.0;
  value_range(gene, low, high);
  const Scale range = make_scale(low, high, 0.0, 1.0);
  Ticks ticks = round_ticks(range.value_low, range.value_high, 6);
  double axis_low = range.value_low, axis_high = range.value_high;
  widen_to_ticks(axis_low, axis_high, ticks);
  const Plot plot = make_plot(kNameWidth, kTop, kPlotWidth, height, axis_low, axis_high, 0, 1);
  std::string svg;
  open_svg(
      svg, kNameWidth + kPlotWidth + kRight, strip_height(slides),
      "Replicate spots of " + shown_gene_name(gene) + " slide by slide on the log2 ratio axis");
  // A faint guide along each slide's row, and the slides' names.
  std::string guides;
  svg += "<g class=\"tick\" text-anchor=\"end\">";
  for (std::size_t s = 0; s < slides; ++s) {
    const double y = plot.top + (static_cast<double>(s) + 0.5) * row;
    append_command(guides, 'M', plot.left, y);
    append_command(guides, 'h', plot.width);
    const SlideFigures& slide = figures.slides[s];
    svg += "<text";
    append_attribute(svg, "x", plot.left - 6.0);
    append_attribute(svg, "y", y + 3.5);
    svg += ">";
    append_escaped(svg, short_name(slide.file) + (slide.dye_swapped ? " (swapped)" : ""));
    svg += "</text>";
  }
  svg += "</g>\n<path class=\"guide\" d=\"" + guides + "\"/>";
  append_line(svg, plot.x.pixel(0.0), plot.top, plot.x.pixel(0.0), plot.bottom(), "zero");
  if (!design_shown(figures) && gene.pooled_test && std::isfinite(gene.log2_mean)) {
    const double x = plot.x.pixel(gene.log2_mean);
    append_line(svg, x, plot.top, x, plot.bottom(), "pooled-mean");
  }
  for (const DotStyle& style : kDotStyles) {
    const std::string path = dots_of(gene, style.decision, plot, row, figures.replicates);
    if (path.empty()) continue;
    if (style.rim) svg += "<path class=\"rim\" d=\"" + path + "\"/>";
    svg += std::string("<path class=\"") + style.css_class + "\" d=\"" + path + "\"/>";
  }
  std::string bars;
  for (std::size_t s = 0; s < gene.slide_means.size(); ++s) {
    if (!std::isfinite(gene.slide_means[s])) continue;
    append_command(bars, 'M', plot.x.pixel(gene.slide_means[s]),
                   plot.top + static_cast<double>(s) * row + 1.0);
    append_command(bars, 'v', row - 2.0);
  }
  if (!bars.empty()) svg += "<path class=\"slide-mean\" d=\"" + bars + "\"/>";
  append_axes(svg, plot, ticks, Ticks{}, "normalised log2 ratio", "");
  close_svg(svg);
  page += svg;
}

// A value of a test the gene did not have is a dash.
std::string value_or_dash(bool made, const std::string& value) {
  return made ? value : "\u2013";
}

void append_test_rows(std::string& page, const char* test, const std::array<const char*, 6>& labels,
                      const std::array<std::string, 6>& values) {
  page += std::string("<tr><th rowspan=\"2\">") + test + "</th>";
  for (const char* label : labels)
    page += std::string("<th>") + label + "</th>";
  page += "</tr>\n<tr>";
  for (const std::string& value : values)
    page += "<td class=\"n\">" + value + "</td>";
  page += "</tr>\n";
}

// A linear model's numbers: every contrast's estimate, p and q, the F-test when it ranks the
// genes, and what the contrasts share.
void append_design_numbers(std::string& page, const RunFigures& figures, const GeneFigures& gene) {
  const DesignFigures& design = figures.design;
  page += "<table class=\"tests\">\n<tr><th>Contrast</th><th>logFC</th><th>p</th><th>q</th></tr>\n";
  for (const ContrastFigures& contrast : design.contrasts) {
    page += "<tr><th>";
    append_escaped(page, contrast.name);
    page += "</th>";
    for (const std::vector<double>* values :
         {&contrast.log_fc, &contrast.p_value, &contrast.q_value})
      append_cell(page, shown_in_contrast(contrast, *values, gene.gene), true);
    page += "</tr>\n";
  }
  if (design.ranked_by_f) {
    page += "<tr><th>F-test</th><td class=\"n\">\u2013</td>";
    append_cell(page, shown_number(gene.moderated_p), true);
    append_cell(page, shown_number(gene.moderated_q), true);
    page += "</tr>\n";
  }
  page += "</table>\n<p class=\"note\">Arrays used " + std::to_string(gene.slides_used);
  if (!design.contrasts.empty()) {
    const ContrastFigures& first = design.contrasts.front();
    page += ", AveExpr " + shown_in_contrast(first, first.ave_expr, gene.gene);
  }
  if (!design.ranked_by_f) page += ", moderated t " + shown_number(gene.moderated_t);
  page +=
      ", degrees of freedom of the moderated tests " + shown_number(gene.moderated_df) + ".</p>\n";
}

void append_numbers(std::string& page, const RunFigures& figures, const GeneFigures& gene) {
  if (design_shown(figures)) {
    append_design_numbers(page, figures, gene);
    return;
  }
  const bool pooled = gene.pooled_test;
  const bool moderated = figures.moderated.made && gene.slides_used > 0;
  page += "<table class=\"tests\">\n";
  append_test_rows(
      page, "Pooled t-test", {"mean ratio", "log2 mean", "spots used", "outliers", "p", "q"},
      {value_or_dash(pooled, shown_number(gene.mean_ratio)),
       value_or_dash(pooled, shown_number(gene.log2_mean)), std::to_string(gene.spots_used),
       std::to_string(gene.outliers), value_or_dash(pooled, shown_number(gene.p_value)),
       value_or_dash(pooled, shown_number(gene.q_value))});
  append_test_rows(page, "Moderated t-test",
                   {"slides used", "mean of slide log2 means", "t", "df", "p", "q"},
                   {std::to_string(gene.slides_used),
                    value_or_dash(moderated, shown_number(gene.slide_log2_mean)),
                    value_or_dash(moderated, shown_number(gene.moderated_t)),
                    value_or_dash(moderated, shown_number(gene.moderated_df)),
                    value_or_dash(moderated, shown_number(gene.moderated_p)),
                    value_or_dash(moderated, shown_number(gene.moderated_q))});
  page += "</table>\n";
}

// How many spots each decision holds, and how many could not be drawn.
void append_counts(std::string& page, const GeneFigures& gene) {
  std::string counts;
  for (const DotStyle& style : kDotStyles) {
    const auto count =
        std::count_if(gene.replicate_spots.begin(), gene.replicate_spots.end(),
                      [&](const ReplicateSpot& spot) { return spot.decision == style.decision; });
    if (!counts.empty()) counts += ", ";
    counts += std::string(spot_decision_name(style.decision)) + " " + std::to_string(count);
  }
  std::size_t without_ratio = 0, off_axis = 0;
  for (const ReplicateSpot& spot : gene.replicate_spots) {
    if (spot.decision == SpotDecision::kNoRatio) {
      ++without_ratio;
    } else if (!std::isfinite(spot.log2_ratio)) {
      ++off_axis;
    }
  }
  page += "<p class=\"note\">Spots: " + counts + "; no_ratio " + std::to_string(without_ratio) +
          " (not drawn)";
  if (off_axis > 0) page += "; " + std::to_string(off_axis) + " with a ratio beyond the axis";
  page += ".</p>\n";
}

void append_legend(std::string& page, const RunFigures& figures) {
  page += "<p class=\"legend\">";
  for (const DotStyle& style : kDotStyles) {
    page += "<span class=\"swatch\"><svg width=\"12\" height=\"12\">";
    if (style.rim) page += "<path class=\"rim\" d=\"M6 6h0\"/>";
    page += "<path class=\"";
    page += style.css_class;
    page += "\" d=\"M6 6h0\"/></svg><b>";
    page += spot_decision_name(style.decision);
    page += "</b>: ";
    page += style.meaning;
    page += "</span> ";
  }
  if (design_shown(figures)) {
    page +=
        "<span class=\"swatch\"><svg width=\"12\" height=\"12\"><path class=\"slide-mean\" "
        "d=\"M6 1v10\"/></svg>the array's mean log2 ratio that the linear model takes (its spots "
        "that passed the quality test)</span> Spots without a ratio (no_ratio) have no place on "
        "the axis; each gene's counts of every decision stand under its numbers.</p>\n";
    return;
  }
  page +=
      "<span class=\"swatch\"><svg width=\"12\" height=\"12\"><path class=\"slide-mean\" "
      "d=\"M6 1v10\"/></svg>the slide's mean log2 ratio in the moderated t-test (its spots that "
      "passed the quality test)</span> <span class=\"swatch\"><svg width=\"12\" height=\"12\">"
      "<path class=\"pooled-mean\" d=\"M6 0v12\"/></svg>the pooled log2 mean of the kept "
      "ratios</span> Spots without a ratio (no_ratio) have no place on the axis; each gene's "
      "counts of every decision stand under its numbers.</p>\n";
}

}  // namespace

void append_gene_section_style(std::string& page, const RunFigures& figures) {
  // The heading and its margins above the strip, or the table of numbers when it is the taller.
  constexpr double kHeading = 40.0, kNumbers = 130.0, kNumberRow = 20.0;
  double numbers = kNumbers;
  if (design_shown(figures)) {
    // A row a contrast, the heading row and the F-test, and the note below.
    const std::size_t rows = figures.design.contrasts.size() + 2;
    numbers = std::max(kNumbers, kNumberRow * static_cast<double>(rows) + 60.0);
  }
  const double height = kHeading + std::max(strip_height(figures.slides.size()), numbers);
  page += "<style>section.gene{content-visibility:auto;contain-intrinsic-size:auto ";
  page += coordinate(height);
  page += "px}</style>\n";
}

std::string gene_anchor(const GeneFigures& gene) {
  return "gene-" + std::to_string(gene.gene);
}

bool has_gene_section(const GeneFigures& gene) {
  return !gene.replicate_spots.empty();
}

void append_gene_sections(std::string& page, const RunFigures& figures) {
  const std::vector<const GeneFigures*> ranked = listed_genes(figures);
  if (std::none_of(ranked.begin(), ranked.end(),
                   [](const GeneFigures* gene) { return has_gene_section(*gene); })) {
    return;
  }
  page += "<section id=\"gene-spots\"><h2>The listed genes spot by spot</h2>\n";
  append_legend(page, figures);
  for (std::size_t rank = 0; rank < ranked.size(); ++rank) {
    const GeneFigures& gene = *ranked[rank];
    if (!has_gene_section(gene)) continue;
    page += "<section class=\"gene\" id=\"" + gene_anchor(gene) + "\"><h3>" +
            std::to_string(rank + 1) + ". ";
    append_escaped(page, shown_gene_name(gene));
    page += " <span class=\"note\">gene " + std::to_string(gene.gene) + ", ";
    append_escaped(page, gene.position);
    page +=
        " \u00b7 <a href=\"#genes\">back to the table</a></span></h3>\n<div class=\"gene-view\">";
    append_strip(page, figures, gene);
    page += "<div>";
    append_numbers(page, figures, gene);
    append_counts(page, gene);
    page += "</div></div></section>\n";
  }
  page += "</section>\n";
}
