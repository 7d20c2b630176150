#include <gtest/gtest.h>

#include <cmath>
#include <regex>
#include <string>
#include <vector>

#include "page/html_report.hpp"
#include "page/html_sections.hpp"
#include "page/html_text.hpp"
#include "page/svg_plot.hpp"
#include "support/count_of.hpp"
#include "synthetic_figures.hpp"

namespace {

std::size_t count_matches(const std::string& text, const std::string& pattern) {
  std::regex expression(pattern);
  return static_cast<std::size_t>(
      std::distance(std::sregex_iterator(text.begin(), text.end(), expression), {}));
}

// The gene numbers of the gene table's rows, in their order.
std::vector<int> listed_gene_order(const std::string& page) {
  std::regex gene_cell("<tr class=\"gene-row\"><td class=\"n\">\\d+</td><td class=\"n\">(\\d+)<");
  std::vector<int> order;
  for (auto it = std::sregex_iterator(page.begin(), page.end(), gene_cell);
       it != std::sregex_iterator(); ++it)
    order.push_back(std::stoi((*it)[1]));
  return order;
}

SlideFigures plain_slide(const std::string& file) {
  SlideFigures slide;
  slide.file = file;
  slide.ch1_total = 1000.0;
  slide.ch2_total = 1100.0;
  slide.norm_factor = 1.1;
  slide.ma_pass.assign(kMaBinsA * kMaBinsM, 0);
  slide.ma_fail.assign(kMaBinsA * kMaBinsM, 0);
  slide.log2_ratio = {90, -2.0, -0.5, 0.0, 0.5, 3.0, -1.5, 1.5};
  return slide;
}

GeneFigures gene_with(int32_t number, double p_value) {
  GeneFigures gene;
  gene.gene = number;
  // Appended, not concatenated onto a literal, which GCC 12 warns about wrongly.
  gene.name = "g";
  gene.name += std::to_string(number);
  gene.position = "AR1 AC1 R1 C";
  gene.position += std::to_string(number);
  gene.pooled_test = true;
  gene.mean_ratio = 1.5;
  gene.log2_mean = number % 2 == 0 ? 0.5 : -0.5;
  gene.p_value = p_value;
  gene.q_value = p_value * 2.0;
  gene.spots_used = 8;
  return gene;
}

// Two slides of 100 spots and twelve genes with the pooled test: gene 3 has p = 0, gene 12 a
// p-value that is not a number; genes 5 and 6 share a p-value. The moderated test was not made.
RunFigures twelve_gene_figures() {
  RunFigures figures;
  figures.files = 2;
  figures.spots_per_slide = 100;
  figures.genes = 25;
  figures.replicates = 4;
  figures.command_line = "corvane --report out.html";
  figures.moderated.not_made_because = "no gene has a value on two slides or more";
  figures.a_lowest = 4.0;
  figures.a_highest = 16.0;
  figures.m_lowest = -3.0;
  figures.m_highest = 3.0;
  figures.slides = {plain_slide("a.txt"), plain_slide("b.txt")};
  const double p_values[] = {0.5, 0.02, 0.0, 0.9, 0.001, 0.001, 0.3, 0.04, 1e-8, 0.07, 0.6, NAN};
  for (int32_t number = 1; number <= 12; ++number)
    figures.tested_genes.push_back(gene_with(number, p_values[number - 1]));
  return figures;
}

// The slide images are the only images, each held in the page as a data: URI.
TEST(HtmlReportPage, NeedsNothingOutsideTheFile) {
  RunFigures figures = twelve_gene_figures();
  figures.slides[1].log2_ratio.count = 0;
  figures.spot_places = {{1, 1, 1, 1}, {1, 1, 1, 2}};
  for (SlideFigures& slide : figures.slides)
    slide.image_codes = {32768, kNoRatioCode};
  std::string page = html_report_text(figures);
  EXPECT_EQ(page.rfind("<!DOCTYPE html>", 0), 0u);
  const std::string image = "<img width=\"";
  EXPECT_EQ(count_of(page, image), 2u);
  EXPECT_EQ(count_of(page, " src=\"data:image/png;base64,"), 2u);
  std::string without_images = page;
  for (std::size_t at = without_images.find(image); at != std::string::npos;
       at = without_images.find(image, at)) {
    without_images.erase(at, without_images.find('>', at) + 1 - at);
  }
  for (const char* outside : {"<script", "@import", "<link", "<img", "<iframe", "src=", "url("}) {
    EXPECT_EQ(without_images.find(outside), std::string::npos) << outside;
  }
  // An href may only point into the page itself.
  EXPECT_EQ(count_of(page, "href="), count_of(page, "href=\"#"));
  EXPECT_EQ(page, html_report_text(figures));
}

TEST(HtmlReportPage, EscapesEveryTextTakenFromTheRun) {
  RunFigures figures = twelve_gene_figures();
  figures.slides[0].file = "a<b>&'c\".txt";
  figures.tested_genes[2].name = "<i>x</i> & 'y'";
  figures.command_line = "corvane --report \"<r>.html\"";
  std::string page = html_report_text(figures);
  EXPECT_EQ(page.find("<b>"), std::string::npos);
  EXPECT_EQ(page.find("<i>"), std::string::npos);
  EXPECT_EQ(page.find("<r>"), std::string::npos);
  EXPECT_NE(page.find("a&lt;b&gt;&amp;&#39;c&quot;.txt"), std::string::npos);
  // The gene with p = 0 is labelled in the volcano plot and listed first in the table.
  EXPECT_EQ(count_of(page, "&lt;i&gt;x&lt;/i&gt; &amp; &#39;y&#39;"), 2u);
  EXPECT_NE(page.find("corvane --report &quot;&lt;r&gt;.html&quot;"), std::string::npos);
}

TEST(HtmlReportPage, OneMaPanelASlideWithDensityLevelsAsMergedRuns) {
  RunFigures figures = twelve_gene_figures();
  // Three neighbouring bins of one passing spot each at the bottom left: one run of level 1.
  for (int32_t a_bin = 0; a_bin < 3; ++a_bin)
    figures.slides[0].ma_pass[a_bin] = 1;
  // Five failed spots in bin 3 of the top row: a half-size square of level 2.
  figures.slides[0].ma_fail[29 * kMaBinsA + 3] = 5;
  figures.slides[1].log2_ratio.count = 0;
  std::string page = html_report_text(figures);
  EXPECT_EQ(count_of(page, "<figure class=\"panel ma\">"), 2u);
  // Plot area from x 44, y 6, 5 pixels a bin, 150 pixels high.
  EXPECT_NE(page.find("<path class=\"p1\" d=\"M44 151h15v5h-15z\"/>"), std::string::npos);
  EXPECT_NE(page.find("<path class=\"f2\" d=\"M60.3 7.3h2.5v2.5h-2.5z\"/>"), std::string::npos);
  EXPECT_EQ(count_of(page, "class=\"p1\" d="), 1u);
  EXPECT_NE(page.find("no spot with a ratio"), std::string::npos);

  RunFigures many = synthetic_figures(99, 2000, 4);
  EXPECT_EQ(count_of(html_report_text(many), "<figure class=\"panel ma\">"), 99u);
}

TEST(HtmlReportPage, VolcanoHasOneMarkAGeneAndTheZeroPValueOnTheTopEdge) {
  std::string page = html_report_text(twelve_gene_figures());
  // Every gene but the one whose p-value is not a number; the top edge of the plot is y = 24.
  EXPECT_EQ(count_of(page, "class=\"gene "), 11u);
  EXPECT_EQ(count_matches(page, "class=\"gene (sig|ns) top\" d=\"M[-0-9.]+ 24l"), 1u);
  EXPECT_NE(page.find("1 gene has p = 0"), std::string::npos);
  EXPECT_NE(page.find("1 gene is not drawn"), std::string::npos);
  // q = 2p: genes 2, 3, 5, 6 and 9 have q below 0.05.
  EXPECT_EQ(count_of(page, "class=\"gene sig"), 5u);

  // The ten smallest p-values are labelled; genes 4 (0.9) and 12 (not a number) are not.
  EXPECT_EQ(count_of(page, "class=\"label\""), 10u);
  for (int32_t number : {1, 2, 3, 5, 6, 7, 8, 9, 10, 11}) {
    EXPECT_NE(page.find("class=\"label\">g" + std::to_string(number) + "</text>"),
              std::string::npos);
  }
  EXPECT_EQ(page.find(">g4</text>"), std::string::npos);

  RunFigures synthetic = synthetic_figures(4, 1536, 4);
  EXPECT_EQ(count_of(html_report_text(synthetic), "class=\"gene "), synthetic.tested_genes.size());
}

TEST(HtmlReportPage, ListsTheGenesBySmallestPValueTiesInGeneOrder) {
  std::string page = html_report_text(twelve_gene_figures());
  EXPECT_EQ(count_of(page, "<tr class=\"gene-row\">"), 12u);
  EXPECT_EQ(listed_gene_order(page), (std::vector<int>{3, 9, 5, 6, 2, 8, 10, 7, 1, 11, 4, 12}));
  // Rounded to four significant digits; non-finite values as they are.
  EXPECT_NE(page.find("<td class=\"n\">1e-08</td><td class=\"n\">2e-08</td>"), std::string::npos);
  EXPECT_NE(page.find("<td class=\"n\">nan</td><td class=\"n\">nan</td>"), std::string::npos);

  RunFigures many = synthetic_figures(4, 1536, 4);
  EXPECT_EQ(count_of(html_report_text(many), "<tr class=\"gene-row\">"), 50u);
}

// The twelve genes with the moderated test as well: its p-values in another order, gene 4
// without it, and gene 13 with only it, the smallest moderated p-value. q = 2p for both tests.
RunFigures moderated_figures() {
  RunFigures figures = twelve_gene_figures();
  figures.moderated = {true, "", 4.5, 0.0123};
  const double p_values[] = {1e-4, 0.3, 0.5, NAN, 0.02, 0.02, 0.8, 0.001, 0.6, 0.04, 0.01, 0.07};
  for (GeneFigures& gene : figures.tested_genes) {
    gene.slides_used = gene.gene == 4 ? 0 : 2;
    gene.slide_log2_mean = gene.gene == 4 ? NAN : -2.0 * gene.log2_mean;
    gene.moderated_t = gene.gene == 4 ? NAN : 3.0;
    gene.moderated_p = p_values[gene.gene - 1];
    gene.moderated_q = 2.0 * gene.moderated_p;
  }
  GeneFigures only_moderated = gene_with(13, NAN);
  only_moderated.pooled_test = false;
  only_moderated.slides_used = 1;
  only_moderated.slide_log2_mean = 1.5;
  only_moderated.moderated_t = 3.0;
  only_moderated.moderated_p = 1e-6;
  only_moderated.moderated_q = 2e-6;
  figures.tested_genes.push_back(only_moderated);
  return figures;
}

TEST(HtmlReportModerated, VolcanoHistogramAndGeneTableShowTheModeratedTest) {
  std::string page = html_report_text(moderated_figures());
  EXPECT_NE(page.find("<h2>Volcano plot: moderated t-test across slides</h2>"), std::string::npos);
  EXPECT_NE(page.find(">-log10 moderated p</text>"), std::string::npos);
  EXPECT_NE(page.find(">mean of the slide means of log2 ratio</text>"), std::string::npos);
  // Genes 1-3, 5-13; q = 2p below 0.05 for genes 13, 1, 8, 11, 5 and 6.
  EXPECT_EQ(count_of(page, "class=\"gene "), 12u);
  EXPECT_EQ(count_of(page, "class=\"gene sig"), 6u);
  EXPECT_NE(page.find("1 gene has a pooled p-value but no moderated one and is not drawn."),
            std::string::npos);
  EXPECT_NE(page.find("<h2>p-values of the moderated t-test</h2>\n<p>The moderated t-test "
                      "p-values of 12 genes"),
            std::string::npos);
  EXPECT_EQ(page.find("class=\"fallback\""), std::string::npos);

  EXPECT_NE(page.find("<h2>The 12 genes with the smallest moderated t-test p-values</h2>"),
            std::string::npos);
  EXPECT_EQ(listed_gene_order(page), (std::vector<int>{13, 1, 8, 11, 5, 6, 10, 12, 2, 3, 9, 7}));
  // Slides used, slide log2 mean, t, p and q of the moderated test, then the pooled p: none for
  // gene 13, not a number for gene 12.
  EXPECT_NE(page.find("<td>AR1 AC1 R1 C13</td><td class=\"n\">1</td><td class=\"n\">1.5</td>"
                      "<td class=\"n\">3</td><td class=\"n\">1e-06</td><td class=\"n\">2e-06</td>"
                      "<td class=\"n\">\u2013</td></tr>"),
            std::string::npos);
  EXPECT_NE(page.find("<td class=\"n\">0.07</td><td class=\"n\">0.14</td><td class=\"n\">nan</td>"),
            std::string::npos);
  EXPECT_NE(
      page.find("<td class=\"n\">0.0001</td><td class=\"n\">0.0002</td><td class=\"n\">0.5</td>"),
      std::string::npos);

  // The labels go to the ten smallest moderated p-values: not to genes 9 and 7.
  EXPECT_EQ(count_of(page, "class=\"label\""), 10u);
  EXPECT_NE(page.find("class=\"label\">g13</text>"), std::string::npos);
  EXPECT_EQ(page.find(">g9</text>"), std::string::npos);
}

TEST(HtmlReportModerated, RunTableNamesTheNormalisationTheSwapsAndBothTests) {
  RunFigures figures = moderated_figures();
  figures.normalisation_method = "printtip-loess";
  figures.slides[1].dye_swapped = true;
  std::string page = html_report_text(figures);
  EXPECT_NE(page.find("<tr><th>Normalisation</th><td>printtip-loess: M less a lowess fit of M on "
                      "A within each print-tip group</td></tr>"),
            std::string::npos);
  EXPECT_NE(page.find("<th>Dye-swapped slides (ratio the other way round)</th><td>2 (b.txt)</td>"),
            std::string::npos);
  EXPECT_NE(page.find("2. b.txt (dyes swapped)</figcaption>"), std::string::npos);
  EXPECT_NE(page.find("<td>prior degrees of freedom d0 = 4.5, prior variance s0\u00b2 = "
                      "0.0123</td>"),
            std::string::npos);
  // Pooled: genes 1-12, called 2, 3, 5, 6 and 9; moderated: genes 1-3 and 5-13, called six.
  EXPECT_NE(page.find("<tr><th>Genes tested</th><td>pooled t-test 12, moderated t-test 12</td>"),
            std::string::npos);
  EXPECT_NE(page.find("<tr><th>Genes called changed (q &lt; 0.05)</th><td>pooled t-test 5, "
                      "moderated t-test 6</td>"),
            std::string::npos);
  EXPECT_NE(page.find("of the factor each spot's channel 2 was divided by"), std::string::npos);

  figures.moderated.prior_df = INFINITY;
  figures.normalisation_method = "total";
  figures.slides[1].dye_swapped = false;
  page = html_report_text(figures);
  EXPECT_NE(page.find("d0 = infinity (every gene takes the prior variance)"), std::string::npos);
  EXPECT_NE(page.find("<th>Dye-swapped slides (ratio the other way round)</th><td>none</td>"),
            std::string::npos);
  EXPECT_NE(page.find("The normalisation factor is the channel 2 total over the channel 1 total"),
            std::string::npos);
  EXPECT_EQ(page.find("(dyes swapped)"), std::string::npos);
}

TEST(HtmlReportModerated, WithoutItThePageSaysWhyAndShowsThePooledTest) {
  std::string page = html_report_text(twelve_gene_figures());
  EXPECT_NE(page.find("<td>not made: no gene has a value on two slides or more. The plots and the "
                      "gene table below show the pooled t-test.</td>"),
            std::string::npos);
  EXPECT_NE(page.find("<p class=\"fallback\">The moderated t-test across slides was not made: no "
                      "gene has a value on two slides or more. The volcano plot, the p-value "
                      "histogram and the gene table show the pooled t-test"),
            std::string::npos);
  EXPECT_NE(page.find("<h2>Volcano plot: pooled t-test</h2>"), std::string::npos);
  EXPECT_NE(page.find(">-log10 pooled p</text>"), std::string::npos);
  EXPECT_NE(page.find("<h2>p-values of the pooled t-test</h2>"), std::string::npos);
  EXPECT_NE(page.find("smallest pooled t-test p-values</h2>"), std::string::npos);
  EXPECT_NE(page.find("<tr><th>Genes tested</th><td>pooled t-test 12</td>"), std::string::npos);
}

TEST(HtmlReportMaCurves, BeforeAndAfterThroughTheBinMediansBrokenAtEmptyBins) {
  RunFigures figures = twelve_gene_figures();
  SlideFigures& slide = figures.slides[0];
  slide.median_m_after.assign(kMaBinsA, NAN);
  slide.median_m_before.assign(kMaBinsA, NAN);
  // Plot from x 44 and y 6, 5 pixels a bin, M -3..3 over 150 pixels: y = 156 - 25 (M + 3).
  // A point needs a bin of 20 spots, passing or failing: bin 2's 19 leave it out.
  for (int32_t a_bin : {0, 3, 39})
    slide.ma_pass[static_cast<std::size_t>(15 * kMaBinsA + a_bin)] = 20;
  slide.ma_pass[1] = 12;
  slide.ma_fail[1] = 8;
  slide.ma_pass[2] = 19;
  slide.median_m_after[0] = slide.median_m_after[1] = 0.0;
  slide.median_m_after[2] = 0.5;
  slide.median_m_after[3] = 1.0;     // alone: a dot
  slide.median_m_before[39] = 10.0;  // beyond the top: on the edge
  std::string page = html_report_text(figures);
  EXPECT_NE(page.find("<path class=\"halo\" d=\"M46.5 81L51.5 81M61.5 56h0\"/><path "
                      "class=\"after\" d=\"M46.5 81L51.5 81M61.5 56h0\"/>"),
            std::string::npos);
  EXPECT_NE(page.find("<path class=\"before\" d=\"M241.5 6h0\"/>"), std::string::npos);
  // Slide 2 has no medians: no curve, only the legend's line.
  EXPECT_EQ(count_of(page, "<path class=\"after\" d=\"M"), 2u);
  EXPECT_NE(page.find("<path class=\"after\" d=\"M2 6h24\"/>"), std::string::npos);
  EXPECT_NE(page.find("before normalisation: the median of M as read"), std::string::npos);
  figures.before_curve_fitted = true;
  EXPECT_NE(html_report_text(figures).find("before normalisation: the median of the curve the "
                                           "normalisation fitted and took away"),
            std::string::npos);
}

TEST(HtmlReportWarnings, NamesEachConditionOfASlideThatLooksWrong) {
  RunFigures figures = twelve_gene_figures();
  SlideFigures slide = plain_slide("s.txt");
  EXPECT_TRUE(slide_warnings(figures, slide, 1).empty());
  for (double factor : {0.5, 2.0}) {
    slide.norm_factor = factor;
    EXPECT_TRUE(slide_warnings(figures, slide, 1).empty()) << factor;
  }
  for (double factor : {0.4999, 2.001, std::nan(""), HUGE_VAL}) {
    slide.norm_factor = factor;
    ASSERT_EQ(slide_warnings(figures, slide, 1).size(), 1u) << factor;
    EXPECT_EQ(slide_warnings(figures, slide, 1)[0].find("normalisation factor"), 0u);
  }
  slide.norm_factor = 1.0;
  slide.spots_failing_quality = 20;  // a fifth of 100 spots
  EXPECT_TRUE(slide_warnings(figures, slide, 1).empty());
  slide.spots_failing_quality = 21;
  EXPECT_EQ(slide_warnings(figures, slide, 1),
            std::vector<std::string>{"21 of 100 spots fail the quality test, more than a fifth."});
  slide.spots_failing_quality = 0;
  slide.log2_ratio.count = 0;
  EXPECT_EQ(slide_warnings(figures, slide, 1), std::vector<std::string>{"no spot has a ratio."});
  // A channel without a positive net explains the missing factor and ratios: it alone is told.
  slide.ch2_total = 0.0;
  slide.norm_factor = 0.0;
  EXPECT_EQ(
      slide_warnings(figures, slide, 3),
      std::vector<std::string>{"no spot of slide 3 has a positive net intensity in channel 2, "
                               "so it has no normalisation factor and no ratios."});
  slide.ch1_total = HUGE_VAL;
  slide.ch2_total = 5.0;
  EXPECT_EQ(slide_warnings(figures, slide, 3),
            std::vector<std::string>{"the channel 1 total of slide 3 is not a finite number, so it "
                                     "has no normalisation factor and no ratios."});
  slide = plain_slide("s.txt");

  std::string page = html_report_text(figures);
  EXPECT_EQ(page.find("class=\"warnings\""), std::string::npos);
  figures.slides[1].norm_factor = 2.5;
  page = html_report_text(figures);
  EXPECT_NE(page.find("<li>Slide 2 (b.txt): normalisation factor 2.5 lies outside 0.5 to 2"),
            std::string::npos);
  EXPECT_EQ(count_of(page, "<tr class=\"warn\">"), 1u);
}

TEST(HtmlReportTicks, UseRoundStepsWorkedOutByHand) {
  Ticks unit = round_ticks(0.0, 1.0, 5);
  EXPECT_EQ(unit.values, (std::vector<double>{0.0, 0.2, 0.4, 0.6, 0.8, 1.0}));
  std::vector<std::string> labels;
  for (double value : unit.values)
    labels.push_back(tick_label(value, unit));
  EXPECT_EQ(labels, (std::vector<std::string>{"0.0", "0.2", "0.4", "0.6", "0.8", "1.0"}));

  // 15.9 / 5 = 3.18 needs a step of 5; only the multiples inside the range.
  EXPECT_EQ(round_ticks(-3.7, 12.2, 5).values, (std::vector<double>{0.0, 5.0, 10.0}));
  EXPECT_EQ(round_ticks(0.0, 6912.0, 5).values, (std::vector<double>{0.0, 2000.0, 4000.0, 6000.0}));
  // 0.0032 / 4 = 0.0008 needs 0.001; every value is the double its decimal text reads as.
  Ticks small = round_ticks(0.001, 0.0042, 4);
  EXPECT_EQ(small.values, (std::vector<double>{0.001, 0.002, 0.003, 0.004}));
  EXPECT_EQ(tick_label(small.values[2], small), "0.003");
  EXPECT_EQ(round_ticks(-0.25, 0.25, 5).values, (std::vector<double>{-0.2, -0.1, 0.0, 0.1, 0.2}));

  double low = -1.85, high = 1.85;
  Ticks halves = round_ticks(low, high, 8);
  widen_to_ticks(low, high, halves);
  EXPECT_EQ(low, -2.0);
  EXPECT_EQ(high, 2.0);
  EXPECT_EQ(halves.values.size(), 9u);
  EXPECT_EQ(tick_label(halves.values[1], halves), "-1.5");
}

TEST(HtmlReportText, WritesNumbersAndCoordinatesShortly) {
  EXPECT_EQ(shortest_number(0.1), "0.1");
  EXPECT_EQ(shortest_number(1.5), "1.5");
  EXPECT_EQ(shortest_number(INFINITY), "inf");
  EXPECT_EQ(shortest_number(-INFINITY), "-inf");
  EXPECT_EQ(rounded_number(123456789.0, 4), "1.235e+08");
  EXPECT_EQ(rounded_number(0.98256, 4), "0.9826");
  EXPECT_EQ(rounded_number(2.0, 4), "2");
  EXPECT_EQ(coordinate(12.0), "12");
  EXPECT_EQ(coordinate(12.25), "12.3");
  EXPECT_EQ(coordinate(-0.04), "0");
  EXPECT_EQ(coordinate(-3.0), "-3");
  std::string escaped;
  append_escaped(escaped, "a&b<c>d\"e'f");
  EXPECT_EQ(escaped, "a&amp;b&lt;c&gt;d&quot;e&#39;f");
}

// The page declares UTF-8: valid sequences are copied, every other byte (a Latin-1 letter, a cut
// sequence, an overlong form, a surrogate, a stray continuation byte) and a control character
// becomes U+FFFD, one per byte.
TEST(HtmlText, TextIsCopiedAsValidUtf8) {
  const std::string fffd = "\xEF\xBF\xBD";
  const std::pair<std::string, std::string> cases[] = {
      {"G\xC3\xA9ne \xE2\x82\xAC \xF0\x9F\x98\x80", "G\xC3\xA9ne \xE2\x82\xAC \xF0\x9F\x98\x80"},
      {"G\xE9ne", "G" + fffd + "ne"},                   // Latin-1
      {"ab\xE2\x82", "ab" + fffd + fffd},               // cut short at the end
      {"\xC0\xAF", fffd + fffd},                        // overlong "/"
      {"\xED\xA0\x80", fffd + fffd + fffd},             // a surrogate
      {"\xF4\x90\x80\x80", fffd + fffd + fffd + fffd},  // above U+10FFFF
      {"\x80x", fffd + "x"},                            // a stray continuation byte
      {std::string("a\0b\x01\tc", 6), "a" + fffd + "b" + fffd + "\tc"},
  };
  for (const auto& [text, expected] : cases) {
    std::string escaped;
    append_escaped(escaped, text);
    EXPECT_EQ(escaped, expected);
  }
}

TEST(HtmlReportSize, StaysUnderFiveMegabytesFor99SlidesOf27648Spots) {
  RunFigures figures = synthetic_figures(99, 27648, 4);
  ASSERT_EQ(figures.genes, 6912);
  std::string page = html_report_text(figures);
  EXPECT_LT(page.size(), 5u * 1000u * 1000u);
  EXPECT_EQ(count_of(page, "<figure class=\"panel ma\">"), 99u);
  EXPECT_EQ(count_of(page, "<figure class=\"slide\""), 99u);
  EXPECT_EQ(count_of(page, "<section class=\"gene\""), 50u);
  // Slide 7 of the made-up run has no spot with a ratio: an empty box and its note.
  EXPECT_NE(page.find("No spot with a ratio, so no box (a cross marks the place): slide 7 "),
            std::string::npos);
}

}  // namespace
