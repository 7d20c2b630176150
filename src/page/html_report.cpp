// The page of the HTML run report: the run's facts and warnings, the table of slides, the
// figures, an image of each slide, the contrasts of a linear model when the run fits one, the
// table of the genes with the smallest p-values and a section for each of them. Numbers in tables
// are rounded to four significant digits (as "%.4g" writes them, "inf" and "nan" as they are);
// counts are exact and the quality constant is shown as it was given.

#include "page/html_report.hpp"

#include <algorithm>
#include <cmath>
#include <cstddef>

#include "page/html_sections.hpp"
#include "page/html_text.hpp"
#include "run/run.hpp"

namespace {

// One inline style sheet; the sequential blues and oranges of the MA density run light to dark,
// the categories use the blue and orange that readers with any colour vision tell apart. The
// command line is a block of code: as an inline element that wraps, each line's background would
// paint over the underscores of the line above it.
const char* const kStyle = R"(<style>
body{font-family:"DejaVu Sans",Verdana,sans-serif;font-size:14px;color:#222;margin:24px}
body{max-width:1400px}
h1{font-size:22px}h2{font-size:18px;margin-top:32px;border-bottom:1px solid #ccc}
table{border-collapse:collapse;margin:8px 0}td,th{border:1px solid #ccc;padding:3px 8px}
th{background:#f0f0f0;text-align:left}td.n{text-align:right;font-variant-numeric:tabular-nums}
tr.warn td{background:#fff1dd;font-weight:bold}
.warnings{border:2px solid #d55e00;background:#fff6ee;padding:8px 16px}
.fallback{border:2px solid #e69f00;background:#fffaf0;padding:8px 16px}
code{font-family:"DejaVu Sans Mono",monospace;background:#f4f4f4;padding:1px 4px}
code{word-break:break-all;display:block;line-height:1.4}
.panels{display:flex;flex-wrap:wrap;gap:4px 8px}
figure.panel{margin:0;width:254px}
figcaption{font-size:12px;white-space:nowrap;overflow:hidden;text-overflow:ellipsis}
.legend .swatch{margin-right:12px;white-space:nowrap}
.legend svg{vertical-align:middle;margin-right:4px}
svg text{font-family:"DejaVu Sans",Verdana,sans-serif}
.tick{font-size:10px;fill:#333}.title{font-size:11px;fill:#222}
.note{font-size:12px;fill:#555;color:#555}
.label{font-size:11px;fill:#000}
.label{paint-order:stroke;stroke:#fff;stroke-width:3px;stroke-linejoin:round}
.frame{fill:none;stroke:#666}.axis{fill:none;stroke:#666}
.zero{stroke:#888;stroke-dasharray:3 3}.flat{stroke:#000;stroke-dasharray:5 4}
.leader{stroke:#555;stroke-width:.6}
.halo,.before,.after{fill:none;stroke-linejoin:round;stroke-linecap:round}
.halo{stroke:#fff;stroke-width:4;stroke-opacity:.85}
.after{stroke:#000;stroke-width:1.6}.before{stroke:#b0457f;stroke-width:2;stroke-dasharray:6 3}
.p1{fill:#c6dbef}.p2{fill:#9ecae1}.p3{fill:#6baed6}.p4{fill:#4292c6}.p5{fill:#2171b5}
.p6{fill:#08519c}.p7{fill:#08306b}
.f1{fill:#fdae6b}.f2{fill:#fd8d3c}.f3{fill:#f16913}.f4{fill:#d94801}.f5{fill:#a63603}
.f6{fill:#7f2704}.f7{fill:#4d1a00}
.box{fill:#cfe3f3;stroke:#0072b2}.median{stroke:#000;stroke-width:2}
.whisker{fill:none;stroke:#0072b2}
.extreme{fill:#0072b2}.empty{stroke:#d55e00;stroke-width:1.5}
.bar{fill:#56b4e9;stroke:#0072b2;stroke-width:.5}
.ns{fill:#0072b2;fill-opacity:.45}.sig{fill:#e69f00;stroke:#000;stroke-width:.6}
figure.slide{margin:0}figure.slide img{display:block;image-rendering:pixelated}
section.gene h3{font-size:14px;margin:18px 0 4px}
.gene-view{display:flex;flex-wrap:wrap;gap:4px 16px;align-items:flex-start}
table.tests{font-size:12px}table.tests td,table.tests th{padding:2px 6px}
.guide{stroke:#e4e4e4;fill:none}.slide-mean{stroke:#000;stroke-width:2;fill:none}
.pooled-mean{stroke:#000;stroke-width:1;stroke-dasharray:4 3}
.kept,.failed,.dropped-mm,.dropped-pair,.rim{fill:none;stroke-linecap:round;stroke-width:6}
.kept{stroke:#0072b2}.failed{stroke:#a0a0a0}.rim{stroke:#000;stroke-width:7.5}
.dropped-mm{stroke:#e69f00}.dropped-pair{stroke:#cc79a7}
</style>
)";

// The style of what only a run with a linear model shows: the design matrix, the table of calls
// and the small plots of the contrasts, whose uncalled genes are dots of one path. The gene table
// of several contrasts is wide: its cells keep their numbers on one line.
const char* const kDesignStyle = R"(<style>
#run th{vertical-align:top}
table.design{font-size:12px;margin:4px 0}table.design td,table.design th{padding:1px 6px}
details summary{cursor:pointer}#genes td{white-space:nowrap}
figure.contrast{margin:0 0 8px;width:424px}figure.contrast .note{margin:2px 0 0}
.dots{fill:none;stroke:#8cbfdc;stroke-width:4;stroke-linecap:round}
</style>
)";

std::string method_text(const std::string& method) {
  if (method == "total") {
    return "total: channel 2 divided on every slide by its total over the channel 1 total";
  }
  if (method == "none") return "none: the nets as read";
  if (method == "median") return "median: M less the slide's median M";
  if (method == "loess") return "loess: M less a lowess fit of M on A over the slide";
  if (method == "printtip-loess") {
    return "printtip-loess: M less a lowess fit of M on A within each print-tip group";
  }
  return method;
}

// The background correction as the command line names it, and the offset added to every net when
// there is one.
std::string background_text(const RunFigures& figures) {
  const std::string& method = figures.background;
  std::string text = method;
  if (method == "subtract") text = "subtract: each channel's foreground less its background";
  if (method == "none") text = "none: the foreground as read, no background taken off";
  if (method == "normexp") {
    text =
        "normexp: the signal a normal-plus-exponential model of each channel expects, given its "
        "foreground less background";
  }
  if (figures.background_offset != 0.0) {
    text +=
        "; then " + shortest_number(figures.background_offset) + " added to every net intensity";
  }
  return text;
}

std::string between_text(const std::string& method) {
  if (method == "none") return "none: each slide as its own normalisation left it";
  if (method == "scale") return "scale: M of every slide scaled to one median absolute deviation";
  if (method == "quantile") {
    return "quantile: the intensities of both channels of every slide made to share one "
           "distribution";
  }
  if (method == "Aquantile") {
    return "Aquantile: the A values of every slide made to share one distribution, M kept";
  }
  return method;
}

std::string swapped_slides_text(const RunFigures& figures) {
  std::string text;
  for (std::size_t index = 0; index < figures.slides.size(); ++index) {
    if (!figures.slides[index].dye_swapped) continue;
    if (!text.empty()) text += ", ";
    text += std::to_string(index + 1) + " (" + figures.slides[index].file + ")";
  }
  return text.empty() ? "none" : text;
}

// The genes each test made and those it calls changed, at a q-value below 0.05; for a linear
// model those of the test that ranks its genes.
void append_test_counts(std::string& page, const RunFigures& figures) {
  std::size_t pooled = 0, pooled_called = 0, moderated = 0, moderated_called = 0;
  for (const GeneFigures& gene : figures.tested_genes) {
    pooled += gene.pooled_test;
    pooled_called += gene.pooled_test && gene.q_value < kSignificantQ;
    moderated += moderated_test_shown(figures) && gene.slides_used > 0;
    moderated_called += moderated_test_shown(figures) && gene.moderated_q < kSignificantQ;
  }
  if (design_shown(figures)) {
    append_fact(page, "Genes tested", "linear model " + std::to_string(moderated));
    append_fact(page, "Genes called changed (q &lt; 0.05)",
                shown_test_name(figures) + ": " + std::to_string(moderated_called) +
                    " (each contrast's calls in the table of the contrasts)");
    return;
  }
  std::string tested = "pooled t-test " + std::to_string(pooled);
  std::string called = "pooled t-test " + std::to_string(pooled_called);
  if (figures.moderated.made) {
    tested += ", moderated t-test " + std::to_string(moderated);
    called += ", moderated t-test " + std::to_string(moderated_called);
  }
  append_fact(page, "Genes tested", tested);
  append_fact(page, "Genes called changed (q &lt; 0.05)", called);
}

std::string prior_text(double prior_df, double prior_variance) {
  const std::string d0 = std::isinf(prior_df) ? "infinity (every gene takes the prior variance)"
                                              : shown_number(prior_df);
  return "prior degrees of freedom d0 = " + d0 +
         ", prior variance s0\u00b2 = " + shown_number(prior_variance);
}

void append_moderated_fact(std::string& page, const RunFigures& figures) {
  if (design_shown(figures)) {
    append_fact(page, "Moderated tests of the linear model",
                prior_text(figures.design.prior_df, figures.design.prior_variance));
    return;
  }
  const ModeratedFigures& moderated = figures.moderated;
  if (!moderated.made) {
    append_fact(page, "Moderated t-test across slides",
                "not made: " + not_made_reason(figures) +
                    ". The plots and the gene table below show the pooled t-test.");
    return;
  }
  append_fact(page, "Moderated t-test across slides",
              prior_text(moderated.prior_df, moderated.prior_variance));
}

void append_run_facts(std::string& page, const RunFigures& figures) {
  page += "<section id=\"run\"><h2>The run</h2>\n<table>\n";
  append_fact(page, "Slides (files)", std::to_string(figures.files));
  append_fact(page, "Spots per slide", std::to_string(figures.spots_per_slide));
  append_fact(page, "Genes", std::to_string(figures.genes));
  if (!figures.genes_by_id) {
    append_fact(page, "Replicate spots per gene", std::to_string(figures.replicates));
  } else {
    const std::string spots =
        figures.fewest_spots == figures.replicates
            ? std::to_string(figures.replicates)
            : std::to_string(figures.fewest_spots) + " to " + std::to_string(figures.replicates);
    append_fact(page, "Replicate spots per gene", spots + ", the spots that share an ID");
  }
  append_fact(page, "File format", figures.format);
  append_fact(page, "Ratio",
              figures.ratio_choice == 1 ? "channel 2 over channel 1" : "channel 1 over channel 2");
  append_fact(page, "Background correction", background_text(figures));
  append_fact(page, "Normalisation", method_text(figures.normalisation_method));
  append_fact(page, "Normalisation between slides", between_text(figures.between));
  append_fact(page, "Dye-swapped slides (ratio the other way round)", swapped_slides_text(figures));
  append_fact(page, "Quality constant C", shortest_number(figures.quality_constant));
  if (design_shown(figures)) append_design_facts(page, figures);
  append_moderated_fact(page, figures);
  append_test_counts(page, figures);
  page += "<tr><th>Command line</th><td><code>";
  append_escaped(page, figures.command_line);
  page += "</code></td></tr>\n</table>\n";

  std::string warnings;
  for (std::size_t index = 0; index < figures.slides.size(); ++index) {
    const SlideFigures& slide = figures.slides[index];
    const auto number = static_cast<int32_t>(index + 1);
    for (const std::string& warning : slide_warnings(figures, slide, number)) {
      warnings += "<li>Slide " + std::to_string(index + 1) + " (";
      append_escaped(warnings, slide.file);
      warnings += "): ";
      append_escaped(warnings, warning);
      warnings += "</li>\n";
    }
  }
  if (!warnings.empty()) {
    page += "<div class=\"warnings\"><h3>Warnings: slides that look wrong</h3>\n<ul>\n" + warnings +
            "</ul></div>\n";
  }
  page += "</section>\n";
}

// What the factor of the slide table means under the run's normalisation.
std::string factor_note(const std::string& method) {
  if (method == "none") return "Without normalisation the factor is 1.";
  if (method == "total") {
    return "The normalisation factor is the channel 2 total over the channel 1 total: every "
           "spot's channel 2 was divided by it.";
  }
  return "The normalisation factor is the median, over the slide's spots with a ratio, of the "
         "factor each spot's channel 2 was divided by to take its M to the normalised M; spots "
         "without a ratio were divided by the channel 2 total over the channel 1 total.";
}

void append_slide_table(std::string& page, const RunFigures& figures) {
  page +=
      "<section id=\"slides\"><h2>Slides</h2>\n<table>\n<tr><th>#</th><th>File</th>"
      "<th>Dyes swapped</th><th>Channel 1 total</th><th>Channel 2 total</th>"
      "<th>Normalisation factor</th><th>Failing the quality test</th><th>Without a ratio</th>"
      "<th>Outliers rejected</th></tr>\n";
  for (std::size_t index = 0; index < figures.slides.size(); ++index) {
    const SlideFigures& slide = figures.slides[index];
    bool warned = !slide_warnings(figures, slide, static_cast<int32_t>(index + 1)).empty();
    page += warned ? "<tr class=\"warn\">" : "<tr>";
    append_cell(page, std::to_string(index + 1) + (warned ? " (!)" : ""), true);
    append_cell(page, slide.file, false);
    append_cell(page, slide.dye_swapped ? "yes" : "", false);
    append_cell(page, shown_number(slide.ch1_total), true);
    append_cell(page, shown_number(slide.ch2_total), true);
    const bool has_factor = slide.norm_factor > 0.0 && std::isfinite(slide.norm_factor);
    append_cell(page, has_factor ? shown_number(slide.norm_factor) : "NA", true);
    append_cell(page, std::to_string(slide.spots_failing_quality), true);
    append_cell(page, std::to_string(slide.spots_without_ratio), true);
    append_cell(page, std::to_string(slide.outliers_rejected), true);
    page += "</tr>\n";
  }
  page += "</table>\n<p class=\"note\">(!) marks a slide with a warning. " +
          factor_note(figures.normalisation_method) + "</p></section>\n";
}

}  // namespace

std::vector<std::string> slide_warnings(const RunFigures& figures, const SlideFigures& slide,
                                        int32_t number) {
  std::vector<std::string> warnings;
  const std::string total_problem =
      channel_total_problem(slide.ch1_total, slide.ch2_total, "slide " + std::to_string(number));
  if (!total_problem.empty()) {
    // The factor and the ratios are missing for this one reason: it is the only warning.
    warnings.push_back(total_problem + ", so it has no normalisation factor and no ratios.");
    return warnings;
  }
  // Written so that a factor that is not a number is warned about too.
  if (!(slide.norm_factor >= 0.5 && slide.norm_factor <= 2.0)) {
    warnings.push_back("normalisation factor " + shown_number(slide.norm_factor) +
                       " lies outside 0.5 to 2: one channel is much brighter than the other.");
  }
  if (static_cast<int64_t>(slide.spots_failing_quality) * 5 > figures.spots_per_slide) {
    warnings.push_back(std::to_string(slide.spots_failing_quality) + " of " +
                       std::to_string(figures.spots_per_slide) +
                       " spots fail the quality test, more than a fifth.");
  }
  if (slide.log2_ratio.count == 0) warnings.push_back("no spot has a ratio.");
  return warnings;
}

std::string html_report_text(const RunFigures& figures) {
  std::string page =
      "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
      "<title>Corvane run report</title>\n";
  page += kStyle;
  append_gene_section_style(page, figures);
  if (design_shown(figures)) page += kDesignStyle;
  page += "</head>\n<body>\n<h1>Corvane run report</h1>\n";
  append_run_facts(page, figures);
  append_slide_table(page, figures);
  append_ma_panels(page, figures);
  append_box_plot(page, figures);
  append_slide_images(page, figures);
  append_volcano_plot(page, figures);
  if (design_shown(figures)) append_contrasts(page, figures);
  append_p_value_histogram(page, figures);
  append_top_genes(page, figures);
  append_gene_sections(page, figures);
  page += "</body>\n</html>\n";
  return page;
}
