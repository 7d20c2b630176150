// The page of a run that fits a linear model: the design and its contrasts among the facts, the
// table of calls, a volcano and an MA plot per contrast (six at most), and the gene table, the
// p-value histogram and the gene sections under the test that ranks the genes. Also the facts
// every run shows: the format, the background correction and the method between the slides.
#include <gtest/gtest.h>

#include <cmath>
#include <regex>
#include <string>
#include <vector>

#include "page/gene_plots.hpp"
#include "page/html_report.hpp"
#include "support/count_of.hpp"
#include "synthetic_figures.hpp"

namespace {

std::size_t count_matches(const std::string& text, const std::string& pattern) {
  std::regex expression(pattern);
  return static_cast<std::size_t>(
      std::distance(std::sregex_iterator(text.begin(), text.end(), expression), {}));
}

// The text from the first `from` on to the next `to` after it; empty when `from` is not there.
std::string part_of(const std::string& page, const std::string& from, const std::string& to) {
  const std::size_t start = page.find(from);
  if (start == std::string::npos) return "";
  return page.substr(start, page.find(to, start) - start);
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

// Each contrast's six genes: logFC, AveExpr, p and q. Gene 2 has p = 0, gene 5 an estimate
// without a p-value. Called (q below 0.05): gene 1 up, gene 2 down, gene 4 up.
constexpr double kLogFc[] = {1.5, -2.0, 0.1, 0.8, -0.2, 0.05};
constexpr double kAveExpr[] = {8.0, 10.0, 12.0, 9.0, 11.0, 7.0};
constexpr double kP[] = {1e-4, 0.0, 0.5, 0.01, NAN, 0.9};
constexpr double kQ[] = {4e-4, 0.0, 0.6, 0.03, NAN, 0.9};
// The F-test of several contrasts.
constexpr double kFp[] = {1e-6, 1e-3, 0.2, 0.05, NAN, 0.7};

// Contrast c (from 1): the six genes with logFC c times the first's; contrast 2 has no estimate
// for gene 3.
ContrastFigures contrast_of(int32_t c) {
  ContrastFigures contrast;
  contrast.name = "c" + std::to_string(c);
  contrast.definition = "B-A";
  contrast.up = 2;
  contrast.down = 1;
  contrast.not_called = c == 2 ? 1 : 2;
  for (int32_t g = 1; g <= 6; ++g) {
    if (c == 2 && g == 3) continue;
    const auto i = static_cast<std::size_t>(g - 1);
    contrast.gene.push_back(g);
    contrast.log_fc.push_back(c * kLogFc[i]);
    contrast.ave_expr.push_back(kAveExpr[i]);
    contrast.p_value.push_back(kP[i]);
    contrast.q_value.push_back(kQ[i]);
  }
  return contrast;
}

SlideFigures slide_named(const std::string& file) {
  SlideFigures slide;
  slide.file = file;
  slide.ch1_total = slide.ch2_total = 1000.0;
  slide.norm_factor = 1.0;
  slide.ma_pass.assign(kMaBinsA * kMaBinsM, 0);
  slide.ma_fail.assign(kMaBinsA * kMaBinsM, 0);
  slide.log2_ratio = {90, -2.0, -0.5, 0.0, 0.5, 3.0, -1.5, 1.5};
  return slide;
}

// Four arrays, two coefficients and `contrasts` contrasts of the six genes above; the first
// contrast ranks the genes when it is alone, the F-test when there are several. Gene 1 carries
// its replicate spots, so it has a section. The moderated test across slides was not made.
RunFigures design_figures(int32_t contrasts) {
  RunFigures figures;
  figures.files = 4;
  figures.spots_per_slide = 12;
  figures.genes = 6;
  figures.replicates = 2;
  figures.command_line = "corvane --targets targets.txt --report out.html";
  figures.moderated.not_made_because = "the run fits a linear model";
  for (const char* file : {"a.txt", "b.txt", "c.txt", "d.txt"})
    figures.slides.push_back(slide_named(file));
  DesignFigures& design = figures.design;
  design.made = true;
  design.arrays = {"a.txt", "b.txt", "c.txt", "d.txt"};
  design.coefficients = {"A", "B"};
  design.design = {1, 0, 1, 1, 1, -1, 0.5, 1};
  design.prior_df = 3.5;
  design.prior_variance = 0.0421;
  design.ranked_by_f = contrasts > 1;
  for (int32_t c = 1; c <= contrasts; ++c)
    design.contrasts.push_back(contrast_of(c));
  for (int32_t g = 1; g <= 6; ++g) {
    const auto i = static_cast<std::size_t>(g - 1);
    GeneFigures gene;
    gene.gene = g;
    gene.name = "g" + std::to_string(g);
    gene.position = "AR1 AC1 R1 C" + std::to_string(g);
    gene.slides_used = 4;
    gene.slide_log2_mean = kLogFc[i];
    gene.moderated_df = 5.5;
    gene.moderated_t = design.ranked_by_f ? NAN : kLogFc[i] / 0.25;
    gene.moderated_p = design.ranked_by_f ? kFp[i] : kP[i];
    gene.moderated_q = design.ranked_by_f ? 2.0 * kFp[i] : kQ[i];
    if (g == 1) {
      for (int32_t slide = 1; slide <= 4; ++slide) {
        gene.replicate_spots.push_back({slide, 1.5, SpotDecision::kKept});
        gene.replicate_spots.push_back({slide, 1.4, SpotDecision::kKept});
        gene.slide_means.push_back(1.45);
      }
    }
    figures.tested_genes.push_back(gene);
  }
  return figures;
}

TEST(DesignPage, FactsNameTheDesignItsContrastsThePriorAndTheRanking) {
  RunFigures figures = design_figures(1);
  figures.design.contrasts[0].definition = "B-A <i>";
  const std::string page = html_report_text(figures);
  const std::string facts = part_of(page, "<section id=\"run\">", "</section>");
  // Arrays as rows labelled by file, coefficients as columns, small enough to stand open.
  EXPECT_NE(facts.find("<tr><th>Design matrix</th><td>4 arrays \u00d7 2 coefficients<table "
                       "class=\"design\">\n<tr><th>Array</th><th>A</th><th>B</th></tr>\n"
                       "<tr><td>a.txt</td><td class=\"n\">1</td><td class=\"n\">0</td></tr>\n"),
            std::string::npos);
  EXPECT_NE(facts.find("<tr><td>c.txt</td><td class=\"n\">1</td><td class=\"n\">-1</td></tr>\n"
                       "<tr><td>d.txt</td><td class=\"n\">0.5</td><td class=\"n\">1</td></tr>\n"
                       "</table></td></tr>"),
            std::string::npos);
  EXPECT_EQ(facts.find("<details>"), std::string::npos);
  EXPECT_NE(facts.find("<tr><th>Contrasts</th><td><b>c1</b>: B-A &lt;i&gt;</td></tr>"),
            std::string::npos);
  EXPECT_NE(facts.find("<tr><th>Genes ranked by</th><td>the moderated t-test of c1</td></tr>"),
            std::string::npos);
  EXPECT_NE(facts.find("<tr><th>Moderated tests of the linear model</th><td>prior degrees of "
                       "freedom d0 = 3.5, prior variance s0\u00b2 = 0.0421</td></tr>"),
            std::string::npos);
  // Every gene has the test; genes 1, 2 and 4 are called.
  EXPECT_NE(facts.find("<tr><th>Genes tested</th><td>linear model 6</td></tr>"), std::string::npos);
  EXPECT_NE(facts.find("<td>moderated t-test of c1: 3 (each contrast&#39;s calls in the table of "
                       "the contrasts)</td>"),
            std::string::npos);
  // The moderated test across slides is not the page's business with a design.
  EXPECT_EQ(page.find("Moderated t-test across slides"), std::string::npos);
  EXPECT_EQ(page.find("class=\"fallback\""), std::string::npos);

  figures.design.ranked_by_f = true;
  figures.design.contrasts.push_back(contrast_of(2));
  EXPECT_NE(html_report_text(figures).find("<tr><th>Genes ranked by</th><td>the moderated F-test "
                                           "of the 2 contrasts together: whether any differs "
                                           "from 0</td></tr>"),
            std::string::npos);
}

TEST(DesignPage, ADesignOf99ArraysIsFoldedAway) {
  RunFigures figures = design_figures(1);
  DesignFigures& design = figures.design;
  design.arrays.clear();
  design.design.clear();
  for (int32_t a = 1; a <= 99; ++a) {
    design.arrays.push_back("array" + std::to_string(a) + ".gpr");
    design.design.insert(design.design.end(), {1.0, a % 2 == 0 ? 1.0 : 0.0});
  }
  const std::string page = html_report_text(figures);
  EXPECT_NE(page.find("<tr><th>Design matrix</th><td><details><summary>99 arrays \u00d7 2 "
                      "coefficients</summary><table class=\"design\">"),
            std::string::npos);
  EXPECT_EQ(count_of(part_of(page, "<table class=\"design\">", "</table>"), "<tr><td>array"), 99u);
  EXPECT_NE(page.find("</table></details></td></tr>"), std::string::npos);
  // Twelve arrays still stand open.
  design.arrays.resize(12);
  design.design.resize(24);
  EXPECT_EQ(html_report_text(figures).find("<details>"), std::string::npos);
}

// limma's summary of decideTests: rows Down, NotSig and Up, a column a contrast.
TEST(DesignPage, TheCallsOfEachContrastAsDecideTestsSumsThemUp) {
  RunFigures figures = design_figures(3);
  figures.design.contrasts[2].up = 17;
  figures.design.contrasts[2].down = 4;
  figures.design.contrasts[2].not_called = 2345;
  const std::string page = html_report_text(figures);
  EXPECT_NE(page.find("<table>\n<tr><th></th><th>c1</th><th>c2</th><th>c3</th></tr>\n"
                      "<tr><th>Down</th><td class=\"n\">1</td><td class=\"n\">1</td>"
                      "<td class=\"n\">4</td></tr>\n"
                      "<tr><th>NotSig</th><td class=\"n\">2</td><td class=\"n\">1</td>"
                      "<td class=\"n\">2345</td></tr>\n"
                      "<tr><th>Up</th><td class=\"n\">2</td><td class=\"n\">2</td>"
                      "<td class=\"n\">17</td></tr>\n</table>"),
            std::string::npos);
  EXPECT_NE(page.find("<figcaption>3. c3: 17 up, 4 down</figcaption>"), std::string::npos);
}

TEST(DesignPage, OneContrastRanksTheGenesByItsModeratedTTest) {
  const std::string page = html_report_text(design_figures(1));
  // No one-sample volcano plot: the contrast has its own, and an MA plot.
  EXPECT_EQ(page.find("id=\"volcano\""), std::string::npos);
  EXPECT_EQ(count_of(page, "<figure class=\"contrast\">"), 2u);
  EXPECT_NE(page.find("<title>Volcano plot of c1: logFC against -log10 p of every gene</title>"),
            std::string::npos);
  EXPECT_NE(page.find("<title>MA plot of c1: logFC against AveExpr of every gene</title>"),
            std::string::npos);
  EXPECT_EQ(page.find("The plots below show the first"), std::string::npos);

  EXPECT_NE(page.find("<h2>p-values of the moderated t-test of c1</h2>\n<p>The p-values of 5 "
                      "genes in bins"),
            std::string::npos);
  EXPECT_NE(page.find("<h2>The 6 genes with the smallest p-values of the moderated t-test of "
                      "c1</h2>"),
            std::string::npos);
  EXPECT_NE(page.find("<th>Position</th><th>Arrays used</th><th>logFC of c1</th><th>AveExpr</th>"
                      "<th>Moderated t</th><th>p</th><th>q</th></tr>"),
            std::string::npos);
  EXPECT_EQ(page.find("Pooled p"), std::string::npos);
  // p = 0 first, the p-value that is not a number last.
  EXPECT_EQ(listed_gene_order(page), (std::vector<int>{2, 1, 4, 3, 6, 5}));
  EXPECT_NE(page.find("<td>AR1 AC1 R1 C1</td><td class=\"n\">4</td><td class=\"n\">1.5</td>"
                      "<td class=\"n\">8</td><td class=\"n\">6</td><td class=\"n\">0.0001</td>"
                      "<td class=\"n\">0.0004</td></tr>"),
            std::string::npos);
  EXPECT_NE(page.find("<td class=\"n\">nan</td><td class=\"n\">nan</td></tr>\n</table>"),
            std::string::npos);
}

TEST(DesignPage, SeveralContrastsRankTheGenesByTheFTest) {
  const std::string page = html_report_text(design_figures(3));
  EXPECT_EQ(count_of(page, "<figure class=\"contrast\">"), 6u);
  EXPECT_NE(page.find("<h2>p-values of the moderated F-test of the 3 contrasts</h2>"),
            std::string::npos);
  EXPECT_NE(page.find("<th>Arrays used</th><th>logFC of c1</th><th>logFC of c2</th>"
                      "<th>logFC of c3</th><th>AveExpr</th><th>F-test p</th><th>F-test q</th>"
                      "</tr>"),
            std::string::npos);
  EXPECT_EQ(listed_gene_order(page), (std::vector<int>{1, 2, 4, 3, 6, 5}));
  // Gene 3 has no estimate in contrast 2: a dash.
  EXPECT_NE(page.find("<td>AR1 AC1 R1 C3</td><td class=\"n\">4</td><td class=\"n\">0.1</td>"
                      "<td class=\"n\">\u2013</td><td class=\"n\">0.3</td><td class=\"n\">12</td>"
                      "<td class=\"n\">0.2</td><td class=\"n\">0.4</td></tr>"),
            std::string::npos);
  EXPECT_NE(page.find("The moderated F-test asks whether any of the 3 contrasts differs from 0."),
            std::string::npos);
}

TEST(DesignPage, EightContrastsShowTheirCallsAllButThePlotsOfSix) {
  const std::string page = html_report_text(design_figures(8));
  EXPECT_EQ(count_of(page, "<figure class=\"contrast\">"), 12u);
  EXPECT_EQ(count_of(page, "<title>Volcano plot of c"), 6u);
  EXPECT_EQ(count_of(page, "<title>MA plot of c"), 6u);
  EXPECT_EQ(page.find("<title>Volcano plot of c7"), std::string::npos);
  EXPECT_NE(page.find("The plots below show the first 6 of the 8 contrasts; the table above "
                      "counts every one."),
            std::string::npos);
  EXPECT_NE(page.find("<th>c8</th></tr>\n<tr><th>Down</th>"), std::string::npos);
  const std::string header = part_of(page, "<th>Arrays used</th>", "</tr>");
  EXPECT_EQ(count_of(header, "<th>logFC of c"), 6u);
  EXPECT_NE(page.find("The table shows the estimates of the first 6 contrasts."),
            std::string::npos);
  // Every contrast in the gene sections, and the F-test.
  const std::string section = part_of(page, "<section class=\"gene\" id=\"gene-1\"", "</section>");
  EXPECT_EQ(count_matches(section, "<tr><th>c[1-8]</th>"), 8u);
  EXPECT_NE(section.find("<tr><th>F-test</th><td class=\"n\">\u2013</td><td class=\"n\">1e-06"
                         "</td><td class=\"n\">2e-06</td></tr>"),
            std::string::npos);
}

TEST(DesignPage, VolcanoAndMaPlotsMarkTheCalledGenesAndLeaveOutWhatCannotBeDrawn) {
  const std::string page = html_report_text(design_figures(1));
  const std::string volcano = part_of(page, "<title>Volcano plot of c1", "</svg>");
  const std::string ma = part_of(page, "<title>MA plot of c1", "</svg>");
  // Volcano: gene 2 (p = 0) a triangle on the top edge (y 16), genes 1 and 4 called, genes 3 and
  // 6 dots, gene 5 (no p-value) not drawn.
  EXPECT_EQ(count_matches(volcano, "class=\"gene sig top\" d=\"M[0-9.]+ 16l"), 1u);
  EXPECT_EQ(count_of(volcano, "<circle class=\"gene sig\""), 2u);
  EXPECT_EQ(count_matches(part_of(volcano, "<path class=\"dots\"", "/>"), "M\\d+ \\d+h0"), 2u);
  EXPECT_NE(page.find("<p class=\"note\">1 gene with p = 0: triangles on the top edge.</p>"),
            std::string::npos);
  EXPECT_NE(page.find("<p class=\"note\">1 gene not drawn: logFC not finite or p not a "
                      "number.</p>"),
            std::string::npos);
  // The ten smallest p-values: all five genes with one.
  EXPECT_EQ(count_of(volcano, "class=\"label\""), 5u);
  EXPECT_EQ(volcano.find(">g5</text>"), std::string::npos);
  // MA: every gene, gene 5 too; the three called ones as circles, a dashed line at 0.
  EXPECT_EQ(count_of(ma, "<circle class=\"gene sig\""), 3u);
  EXPECT_EQ(count_matches(part_of(ma, "<path class=\"dots\"", "/>"), "M\\d+ \\d+h0"), 3u);
  EXPECT_NE(ma.find("class=\"zero\""), std::string::npos);
  EXPECT_NE(ma.find(">AveExpr: mean log2 intensity A</text>"), std::string::npos);
  EXPECT_EQ(count_of(page, "not drawn: logFC or AveExpr not finite"), 0u);

  RunFigures figures = design_figures(1);
  figures.design.contrasts[0].ave_expr[5] = NAN;
  EXPECT_NE(html_report_text(figures).find("1 gene not drawn: logFC or AveExpr not finite."),
            std::string::npos);
}

TEST(DesignPage, TheGeneSectionsShowEachContrastAndTheArraysMeans) {
  const std::string page = html_report_text(design_figures(1));
  const std::string section = part_of(page, "<section class=\"gene\" id=\"gene-1\"", "</section>");
  ASSERT_FALSE(section.empty());
  EXPECT_NE(section.find("<tr><th>Contrast</th><th>logFC</th><th>p</th><th>q</th></tr>\n<tr><th>"
                         "c1</th><td class=\"n\">1.5</td><td class=\"n\">0.0001</td>"
                         "<td class=\"n\">0.0004</td></tr>\n</table>"),
            std::string::npos);
  EXPECT_NE(section.find("Arrays used 4, AveExpr 8, moderated t 6, degrees of freedom of the "
                         "moderated tests 5.5."),
            std::string::npos);
  // The arrays' means the model takes; no pooled mean, no pooled test.
  EXPECT_NE(section.find("class=\"slide-mean\""), std::string::npos);
  EXPECT_EQ(section.find("pooled"), std::string::npos);
  EXPECT_EQ(section.find("Pooled"), std::string::npos);
  EXPECT_NE(page.find("the array's mean log2 ratio that the linear model takes"),
            std::string::npos);
  EXPECT_EQ(page.find("the pooled log2 mean of the kept"), std::string::npos);
}

TEST(DesignPage, ContrastNamesAreEscapedWhereverTheyStand) {
  RunFigures figures = design_figures(2);
  figures.design.contrasts[0].name = "<b>&x";
  figures.design.ranked_by_f = false;
  const std::string page = html_report_text(figures);
  EXPECT_EQ(page.find("<b>&x"), std::string::npos);
  // The facts, the calls table, two figures, two SVG titles, the histogram's heading and its
  // SVG title, the gene table's heading and column, the facts' ranking and the gene section.
  EXPECT_GE(count_of(page, "&lt;b&gt;&amp;x"), 10u);
}

// The three facts of every run, with or without a design.
TEST(DesignPage, EveryRunNamesItsFormatBackgroundCorrectionAndMethodBetweenSlides) {
  RunFigures figures = synthetic_figures(2, 200, 2);
  std::string page = html_report_text(figures);
  EXPECT_NE(page.find("<tr><th>File format</th><td>the Vantar scanner&#39;s ASCII export</td>"
                      "</tr>"),
            std::string::npos);
  EXPECT_NE(page.find("<tr><th>Background correction</th><td>subtract: each channel&#39;s "
                      "foreground less its background</td></tr>"),
            std::string::npos);
  EXPECT_NE(page.find("<tr><th>Normalisation between slides</th><td>none: each slide as its own "
                      "normalisation left it</td></tr>"),
            std::string::npos);
  figures.format = "GenePix results";
  figures.background = "normexp";
  figures.background_offset = 16.5;
  figures.between = "Aquantile";
  page = html_report_text(figures);
  EXPECT_NE(page.find("<tr><th>File format</th><td>GenePix results</td></tr>"), std::string::npos);
  EXPECT_NE(page.find("<td>normexp: the signal a normal-plus-exponential model of each channel "
                      "expects, given its foreground less background; then 16.5 added to every "
                      "net intensity</td>"),
            std::string::npos);
  EXPECT_NE(page.find("<td>Aquantile: the A values of every slide made to share one "
                      "distribution, M kept</td>"),
            std::string::npos);
  figures.background = "none";
  figures.between = "quantile";
  page = html_report_text(figures);
  EXPECT_NE(page.find("<td>none: the foreground as read, no background taken off; then 16.5 "
                      "added to every net intensity</td>"),
            std::string::npos);
  EXPECT_NE(page.find("<td>quantile: the intensities of both channels of every slide made to "
                      "share one distribution</td>"),
            std::string::npos);
  // A page without a design has nothing of one.
  for (const char* design_only : {"id=\"contrasts\"", "Design matrix", "figure.contrast"})
    EXPECT_EQ(page.find(design_only), std::string::npos) << design_only;
}

TEST(GeneMarks, UncalledGenesOfACompactPlotAreOneDotAPixel) {
  const std::vector<GeneMark> marks = {{10.2, 20.4, false, false},
                                       {9.8, 19.6, false, false},
                                       {30.0, 5.0, false, false},
                                       {12.0, 8.0, true, false},
                                       {50.0, 4.0, false, true}};
  std::string compact;
  append_gene_marks(compact, marks, true);
  EXPECT_EQ(compact,
            "<g><path class=\"dots\" d=\"M30 5h0M10 20h0\"/>"
            "<path class=\"gene ns top\" d=\"M50 4l3.5 7h-7z\"/>"
            "<circle class=\"gene sig\" cx=\"12\" cy=\"8\" r=\"2.8\"/></g>\n");
  std::string each;
  append_gene_marks(each, marks, false);
  EXPECT_EQ(count_of(each, "<circle class=\"gene ns\""), 3u);
  EXPECT_EQ(each.find("dots"), std::string::npos);
}

TEST(GeneMarks, TheSmallestPValuesInTheirOrderAndLabelsCutAtACharacter) {
  const std::vector<VolcanoPoint> points = {{1.0, 0.5, 0.9}, {NAN, 0.001, 0.01}, {-1.0, 0.02, 0.1},
                                            {2.0, 0.0, 0.0}, {0.5, NAN, NAN},    {0.1, 0.02, 0.1}};
  EXPECT_EQ(smallest_p_points(points, 3), (std::vector<std::size_t>{3, 2, 5}));
  EXPECT_EQ(smallest_p_points(points, 10), (std::vector<std::size_t>{3, 2, 5, 0}));
  const VolcanoCounts counts = volcano_counts(points);
  EXPECT_EQ(counts.drawn, 4u);
  EXPECT_EQ(counts.called, 1u);
  EXPECT_EQ(counts.zero_p, 1u);
  EXPECT_EQ(counts.not_drawn, 2u);

  EXPECT_EQ(cut_label("short", 16), "short");
  EXPECT_EQ(cut_label("abcdefghijklmnopq", 16), "abcdefghijklmno\u2026");
  // U+00E9 is two bytes: the cut falls before it, not inside it.
  EXPECT_EQ(cut_label("abcdefghijklmn\u00e9xyz", 16), "abcdefghijklmn\u2026");
}

TEST(DesignPage, NinetyNineArraysOfEightContrastsStayUnderFiveMegabytes) {
  const RunFigures figures = synthetic_figures(99, 27648, 4, 8);
  const std::string page = html_report_text(figures);
  EXPECT_LT(page.size(), 5u * 1000u * 1000u);
  EXPECT_EQ(count_of(page, "<figure class=\"contrast\">"), 12u);
  EXPECT_EQ(count_of(page, "<section class=\"gene\""), 50u);
  EXPECT_NE(page.find("<details><summary>99 arrays \u00d7 9 coefficients</summary>"),
            std::string::npos);
}

}  // namespace
