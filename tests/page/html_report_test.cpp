#include <gtest/gtest.h>

#include <cmath>
#include <regex>
#include <string>
#include <vector>

#include "page/html_report.hpp"
#include "page/html_sections.hpp"
#include "page/html_text.hpp"
#include "page/svg_plot.hpp"
#include "synthetic_figures.hpp"

namespace {

std::size_t count_of(const std::string& text, const std::string& piece) {
  std::size_t count = 0;
  for (std::size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1))
    ++count;
  return count;
}

std::size_t count_matches(const std::string& text, const std::string& pattern) {
  std::regex expression(pattern);
  return static_cast<std::size_t>(
      std::distance(std::sregex_iterator(text.begin(), text.end(), expression), {}));
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
  gene.mean_ratio = 1.5;
  gene.log2_mean = number % 2 == 0 ? 0.5 : -0.5;
  gene.p_value = p_value;
  gene.q_value = p_value * 2.0;
  gene.spots_used = 8;
  return gene;
}

// Two slides of 100 spots and twelve tested genes: gene 3 has p = 0, gene 12 a p-value that is
// not a number; genes 5 and 6 share a p-value.
RunFigures twelve_gene_figures() {
  RunFigures figures;
  figures.files = 2;
  figures.spots_per_slide = 100;
  figures.genes = 25;
  figures.replicates = 4;
  figures.command_line = "corvane --report out.html";
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

TEST(HtmlReportPage, NeedsNothingOutsideTheFile) {
  RunFigures figures = twelve_gene_figures();
  figures.slides[1].log2_ratio.count = 0;
  std::string page = html_report_text(figures);
  EXPECT_EQ(page.rfind("<!DOCTYPE html>", 0), 0u);
  for (const char* outside : {"<script", "@import", "<link", "<img", "<iframe", "src=", "url("}) {
    EXPECT_EQ(page.find(outside), std::string::npos) << outside;
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
  std::regex gene_cell("<tr class=\"gene-row\"><td class=\"n\">\\d+</td><td class=\"n\">(\\d+)<");
  std::vector<int> order;
  for (auto it = std::sregex_iterator(page.begin(), page.end(), gene_cell);
       it != std::sregex_iterator(); ++it)
    order.push_back(std::stoi((*it)[1]));
  EXPECT_EQ(order, (std::vector<int>{3, 9, 5, 6, 2, 8, 10, 7, 1, 11, 4, 12}));
  // Rounded to four significant digits; non-finite values as they are.
  EXPECT_NE(page.find("<td class=\"n\">1e-08</td><td class=\"n\">2e-08</td>"), std::string::npos);
  EXPECT_NE(page.find("<td class=\"n\">nan</td><td class=\"n\">nan</td>"), std::string::npos);

  RunFigures many = synthetic_figures(4, 1536, 4);
  EXPECT_EQ(count_of(html_report_text(many), "<tr class=\"gene-row\">"), 50u);
}

TEST(HtmlReportWarnings, NamesEachConditionOfASlideThatLooksWrong) {
  RunFigures figures = twelve_gene_figures();
  SlideFigures slide = plain_slide("s.txt");
  EXPECT_TRUE(slide_warnings(figures, slide).empty());
  for (double factor : {0.5, 2.0}) {
    slide.norm_factor = factor;
    EXPECT_TRUE(slide_warnings(figures, slide).empty()) << factor;
  }
  for (double factor : {0.4999, 2.001, std::nan(""), HUGE_VAL}) {
    slide.norm_factor = factor;
    ASSERT_EQ(slide_warnings(figures, slide).size(), 1u) << factor;
    EXPECT_EQ(slide_warnings(figures, slide)[0].find("normalisation factor"), 0u);
  }
  slide.norm_factor = 1.0;
  slide.spots_failing_quality = 20;  // a fifth of 100 spots
  EXPECT_TRUE(slide_warnings(figures, slide).empty());
  slide.spots_failing_quality = 21;
  EXPECT_EQ(slide_warnings(figures, slide),
            std::vector<std::string>{"21 of 100 spots fail the quality test, more than a fifth."});
  slide.spots_failing_quality = 0;
  slide.log2_ratio.count = 0;
  EXPECT_EQ(slide_warnings(figures, slide), std::vector<std::string>{"no spot has a ratio."});

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

TEST(HtmlReportSize, StaysUnderThreeMegabytesFor99SlidesOf27648Spots) {
  RunFigures figures = synthetic_figures(99, 27648, 4);
  ASSERT_EQ(figures.genes, 6912);
  std::string page = html_report_text(figures);
  EXPECT_LT(page.size(), 3u * 1024u * 1024u);
  EXPECT_EQ(count_of(page, "<figure class=\"panel ma\">"), 99u);
  // Slide 7 of the made-up run has no spot with a ratio: an empty box and its note.
  EXPECT_NE(page.find("No spot with a ratio, so no box (a cross marks the place): slide 7 "),
            std::string::npos);
}

}  // namespace
