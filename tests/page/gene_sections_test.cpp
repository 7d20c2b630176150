// The listed genes' sections of the page: links from the gene table, dots by decision and the
// slide means on one axis.
#include <gtest/gtest.h>

#include <cmath>
#include <regex>
#include <string>
#include <vector>

#include "page/html_report.hpp"
#include "support/count_of.hpp"

namespace {

// The section of a gene, from its opening tag to its end.
std::string section_of(const std::string& page, int32_t gene) {
  const std::size_t start = page.find("<section class=\"gene\" id=\"gene-" + std::to_string(gene));
  if (start == std::string::npos) return "";
  return page.substr(start, page.find("</section>", start) - start);
}

// The x of each dot ("M x y h0") of a path of the given class.
std::vector<double> dots_of_class(const std::string& section, const std::string& css_class) {
  std::vector<double> xs;
  const std::size_t start = section.find("<path class=\"" + css_class + "\" d=\"");
  if (start == std::string::npos) return xs;
  const std::string path = section.substr(start, section.find("\"/>", start) - start);
  std::regex dot("M(-?[0-9.]+) (-?[0-9.]+)h0");
  for (auto it = std::sregex_iterator(path.begin(), path.end(), dot); it != std::sregex_iterator();
       ++it)
    xs.push_back(std::stod((*it)[1]));
  return xs;
}

ReplicateSpot spot(int32_t slide, double log2_ratio, SpotDecision decision) {
  return {slide, log2_ratio, decision};
}

// Two slides (the second dye-swapped), two replicates a gene, 60 genes with both tests and
// p-values rising with the gene number but for gene 60, which is listed first. Genes 60 and 1 to
// 49 are listed; genes 2 to 50 and 60 carry their spots: all kept at log2 0.5 with slide means of
// 0.5. Gene 60: slide 1 kept at 1 and failing at -1, slide 2 dropped by the mean-to-median rule at
// 3 and without a ratio; only slide 1 has a mean. Gene 1 carries none, so it has no section.
RunFigures listed_figures() {
  RunFigures figures;
  figures.files = 2;
  figures.replicates = 2;
  figures.genes = 60;
  figures.moderated.made = true;
  SlideFigures one, two;
  one.file = "one.txt";
  two.file = "two.txt";
  two.dye_swapped = true;
  figures.slides = {one, two};
  for (int32_t g = 1; g <= 60; ++g) {
    GeneFigures gene;
    gene.gene = g;
    gene.name = "g" + std::to_string(g);
    gene.position = "AR1 AC1 R1 C1-C2";
    gene.pooled_test = true;
    gene.mean_ratio = 1.4;
    gene.log2_mean = 0.5;
    gene.p_value = gene.moderated_p = g == 60 ? 1e-9 : 1e-6 * g;
    gene.q_value = gene.moderated_q = 2 * gene.p_value;
    gene.spots_used = 4;
    gene.outliers = g == 60 ? 1 : 0;
    gene.slides_used = 2;
    gene.slide_log2_mean = 0.5;
    gene.moderated_t = 7.0;
    gene.moderated_df = 12.5;
    if (g >= 2 && g <= 50) {
      for (int32_t slide : {1, 2})
        for (int32_t j = 0; j < 2; ++j)
          gene.replicate_spots.push_back(spot(slide, 0.5, SpotDecision::kKept));
      gene.slide_means = {0.5, 0.5};
    }
    figures.tested_genes.push_back(gene);
  }
  GeneFigures& sixty = figures.tested_genes.back();
  sixty.replicate_spots = {
      spot(1, 1.0, SpotDecision::kKept), spot(1, -1.0, SpotDecision::kFailedQuality),
      spot(2, 3.0, SpotDecision::kDroppedMeanMedian), spot(2, NAN, SpotDecision::kNoRatio)};
  sixty.slide_means = {1.0, NAN};
  sixty.slides_used = 1;
  return figures;
}

}  // namespace

TEST(GeneSections, EveryListedGeneWithItsSpotsLinksToItsSection) {
  const std::string page = html_report_text(listed_figures());
  // Genes 2 to 49 and 60: linked from their name in the table, and a section each.
  EXPECT_EQ(count_of(page, "<section class=\"gene\""), 49u);
  for (int32_t g = 2; g <= 60; ++g) {
    const std::string name = "g" + std::to_string(g);
    const bool listed = g <= 49 || g == 60;
    const std::string link =
        "<td><a href=\"#gene-" + std::to_string(g) + "\">" + name + "</a></td>";
    EXPECT_EQ(count_of(page, link), listed ? 1u : 0u) << name;
    EXPECT_EQ(section_of(page, g).empty(), !listed) << name;
  }
  // Gene 1 is listed but carries no spots: neither link nor section; gene 50 is 51st.
  EXPECT_EQ(count_of(page, "<td>g1</td>"), 1u);
  EXPECT_EQ(count_of(page, "href=\"#gene-1\""), 0u);
  // Sections in the order of the table, each with a way back.
  EXPECT_LT(page.find("id=\"gene-60\""), page.find("id=\"gene-2\""));
  EXPECT_EQ(count_of(page, "<a href=\"#genes\">back to the table</a>"), 49u);
  EXPECT_EQ(count_of(page, "href="), count_of(page, "href=\"#"));
  // Drawn only when in view, taken meanwhile as high as the numbers beside a strip of two slides.
  EXPECT_EQ(
      count_of(page, "section.gene{content-visibility:auto;contain-intrinsic-size:auto 170px}"),
      1u);
}

TEST(GeneSections, DotsByDecisionAndTheSlideMeansOnTheSameAxis) {
  const std::string section = section_of(html_report_text(listed_figures()), 60);
  ASSERT_FALSE(section.empty());
  const std::vector<double> kept = dots_of_class(section, "kept");
  const std::vector<double> failed = dots_of_class(section, "failed");
  const std::vector<double> dropped = dots_of_class(section, "dropped-mm");
  ASSERT_EQ(kept.size(), 1u);
  ASSERT_EQ(failed.size(), 1u);
  ASSERT_EQ(dropped.size(), 1u);
  EXPECT_TRUE(dots_of_class(section, "dropped-pair").empty());
  EXPECT_LT(failed[0], kept[0]);
  EXPECT_LT(kept[0], dropped[0]);
  // The dropped dot lies on a black rim of the same place.
  EXPECT_EQ(dots_of_class(section, "rim"), dropped);
  // One bar: slide 1's mean, at the kept dot's place (both log2 1).
  std::smatch bar;
  ASSERT_TRUE(std::regex_search(
      section, bar, std::regex("<path class=\"slide-mean\" d=\"M(-?[0-9.]+) [0-9.]+v")));
  EXPECT_EQ(std::stod(bar[1]), kept[0]);
  EXPECT_FALSE(std::regex_search(section, std::regex("class=\"slide-mean\" d=\"[^\"]*M[^\"]*M")));
  EXPECT_NE(section.find("class=\"pooled-mean\""), std::string::npos);
  EXPECT_NE(section.find(">two.txt (swapped)</text>"), std::string::npos);
  EXPECT_NE(section.find("Spots: kept 1, failed_quality 1, dropped_mean_median 1, dropped_pair 0; "
                         "no_ratio 1 (not drawn)."),
            std::string::npos);
}

TEST(GeneSections, TheNumbersOfBothTestsAndDashesForATestNotMade) {
  RunFigures figures = listed_figures();
  GeneFigures& sixty = figures.tested_genes.back();
  std::string section = section_of(html_report_text(figures), 60);
  EXPECT_NE(
      section.find("<td class=\"n\">1.4</td><td class=\"n\">0.5</td><td class=\"n\">4</td>"
                   "<td class=\"n\">1</td><td class=\"n\">1e-09</td><td class=\"n\">2e-09</td>"),
      std::string::npos);
  EXPECT_NE(section.find("<td class=\"n\">1</td><td class=\"n\">0.5</td><td class=\"n\">7</td>"
                         "<td class=\"n\">12.5</td><td class=\"n\">1e-09</td>"),
            std::string::npos);
  // Without the pooled test, its values are dashes but for the counts.
  sixty.pooled_test = false;
  sixty.spots_used = 0;
  section = section_of(html_report_text(figures), 60);
  EXPECT_NE(section.find("<td class=\"n\">\u2013</td><td class=\"n\">\u2013</td>"
                         "<td class=\"n\">0</td><td class=\"n\">1</td><td class=\"n\">\u2013</td>"),
            std::string::npos);
  EXPECT_EQ(section.find("class=\"pooled-mean\""), std::string::npos);
}
