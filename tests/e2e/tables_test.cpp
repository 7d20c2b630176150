// The full-precision tables through the real binary, held against data.txt and merge.txt of the
// same run: the same values within the reports' print precision, NA exactly where merge.txt has
// "-" and data.txt a ratio of 0.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "support/binary_run.hpp"

namespace {

const std::string kSlides = "g01.txt g02.txt g03.txt";

void generate_slides(const ScratchFolder& folder) {
  ASSERT_EQ(folder
                .run_tool(CORVANE_MAKE_SLIDES,
                          "--files 3 --spots 600 --replicates 3 --seed 11 --prefix g")
                .status,
            0);
}

std::vector<std::string> split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::stringstream stream(text);
  std::string part;
  while (std::getline(stream, part, separator))
    parts.push_back(part);
  return parts;
}

std::string printed(const char* format, const std::string& shortest) {
  char text[64];
  std::snprintf(text, sizeof text, format, std::strtod(shortest.c_str(), nullptr));
  return text;
}

// merge.txt's fields of a gene row: number, position, name, one mean per slide, six statistics,
// p-value, spots used, outliers. Its name keeps the tab it had in the file.
TEST(Tables, GeneTableHoldsMergeValuesAtFullPrecision) {
  ScratchFolder folder;
  generate_slides(folder);
  BinaryRun run =
      folder.run_with_arguments("-q -r 1 -c 2.5 --genes genes.tsv --spots spots.tsv " + kSlides);
  ASSERT_EQ(run.status, 0) << run.errors;
  const std::vector<std::string> merge_lines = split(folder.read("merge.txt"), '\n');
  const std::vector<std::string> gene_lines = split(folder.read("genes.tsv"), '\n');
  ASSERT_EQ(gene_lines.size(), merge_lines.size() - 20 + 1);
  EXPECT_EQ(gene_lines[0],
            "gene\tfirst_spot\tlast_spot\tarray_row\tarray_col\trow\tfirst_col\tlast_col\tname\t"
            "ratio_g01.txt\tratio_g02.txt\tratio_g03.txt\tmean_ratio\tsd_ratio\tcv_ratio\t"
            "median_ratio\tlog2_mean\tlog2_sd\tt\tdf\tp_value\tq_value\tspots_used\toutliers\t"
            "zero_ratios\tslides_used\tslide_log2_mean\tmod_t\tmod_df\tmod_p_value\tmod_q_value");
  int missing_statistics = 0, missing_p = 0, missing_slide_ratio = 0;
  for (std::size_t row = 1; row < gene_lines.size(); ++row) {
    SCOPED_TRACE("gene " + std::to_string(row));
    const std::vector<std::string> gene = split(gene_lines[row], '\t');
    const std::vector<std::string> merge = split(merge_lines[row + 19], '\t');
    ASSERT_EQ(gene.size(), 31u);
    ASSERT_EQ(merge.size(), 15u);
    EXPECT_EQ(gene[0], std::to_string(row));
    EXPECT_EQ("AR" + gene[3] + " AC" + gene[4] + " R" + gene[5] + " C" + gene[6] + "-C" + gene[7],
              merge[1]);
    EXPECT_EQ(gene[8], merge[2]);
    for (std::size_t slide = 0; slide < 3; ++slide) {
      if (gene[9 + slide] == "NA") {
        ++missing_slide_ratio;
        EXPECT_EQ(merge[3 + slide], "0.000000");
      } else {
        EXPECT_EQ(printed("%f", gene[9 + slide]), merge[3 + slide]);
      }
    }
    for (std::size_t statistic = 0; statistic < 6; ++statistic) {
      if (merge[6 + statistic] == "-") {
        ++missing_statistics;
        EXPECT_EQ(gene[12 + statistic], "NA");
      } else {
        EXPECT_EQ(printed("%4.3f", gene[12 + statistic]), merge[6 + statistic]);
      }
    }
    if (merge[12] == "-") {
      ++missing_p;
      for (std::size_t column = 18; column <= 21; ++column)
        EXPECT_EQ(gene[column], "NA");
    } else {
      EXPECT_EQ(printed("%f", gene[20]), merge[12]);
      const double q = std::strtod(gene[21].c_str(), nullptr);
      EXPECT_GE(q, std::strtod(gene[20].c_str(), nullptr));
      EXPECT_LE(q, 1.0);
    }
    EXPECT_EQ(gene[22], merge[13]);
    EXPECT_EQ(gene[23], merge[14]);
  }
  // One spot per gene and slide, and a quality constant of 2.5, leave slides without a ratio for a
  // gene and genes without statistics.
  EXPECT_GT(missing_statistics, 0);
  EXPECT_GT(missing_p, 0);
  EXPECT_GT(missing_slide_ratio, 0);
}

// data.txt's spot rows: number, position, name, channel 1, channel 2, ratio; each slide's block
// begins with "begin data" and a heading line.
TEST(Tables, SpotTableHoldsEverySpotOfDataTxt) {
  ScratchFolder folder;
  generate_slides(folder);
  BinaryRun run = folder.run_with_arguments("-q -r 3 -c 2.5 --spots - " + kSlides);
  ASSERT_EQ(run.status, 0) << run.errors;
  const std::vector<std::string> spot_lines = split(run.console, '\n');
  const std::vector<std::string> data_lines = split(folder.read("data.txt"), '\n');
  std::vector<std::string> data_rows;
  for (std::size_t i = 0; i < data_lines.size(); ++i) {
    if (data_lines[i] != "begin data") continue;
    for (i += 2; i < data_lines.size() && !data_lines[i].empty(); ++i)
      data_rows.push_back(data_lines[i]);
  }
  ASSERT_EQ(spot_lines.size(), data_rows.size() + 1);
  EXPECT_EQ(spot_lines[0],
            "file\tspot\tgene\tarray_row\tarray_col\trow\tcol\tname\tch1_net\tch2_net\tratio\t"
            "quality\tdecision");
  int missing_ratio = 0, failing = 0, slide = 0;
  for (std::size_t row = 1; row < spot_lines.size(); ++row) {
    const std::vector<std::string> spot = split(spot_lines[row], '\t');
    const std::vector<std::string> data = split(data_rows[row - 1], '\t');
    ASSERT_EQ(spot.size(), 13u);
    slide += spot[1] == "1";
    EXPECT_EQ(spot[0], "g0" + std::to_string(slide) + ".txt");
    EXPECT_EQ(spot[1], data[0]);
    EXPECT_EQ(spot[2], std::to_string((std::stoi(spot[1]) - 1) / 3 + 1));
    EXPECT_EQ(spot[7], data[2]);
    EXPECT_EQ(printed("%f", spot[8]), data[3]);
    EXPECT_EQ(" " + printed("%f", spot[9]), data[4]);
    if (spot[10] == "NA") {
      ++missing_ratio;
      EXPECT_EQ(data[5], " 0.000000");
    } else {
      EXPECT_EQ(" " + printed("%f", spot[10]), data[5]);
    }
    failing += spot[11] == "fail";
    EXPECT_TRUE(spot[11] == "pass" || spot[11] == "fail");
    // A spot without a ratio is that first; one with a ratio that fails the quality test is
    // that next.
    if (spot[10] == "NA") {
      EXPECT_EQ(spot[12], "no_ratio");
    } else if (spot[11] == "fail") {
      EXPECT_EQ(spot[12], "failed_quality");
    }
  }
  EXPECT_GT(missing_ratio, 0);
  EXPECT_GT(failing, 0);
}

TEST(Tables, NothingNewWithoutTheOptionsAndTablesThatCannotBeWritten) {
  ScratchFolder plain;
  generate_slides(plain);
  ASSERT_EQ(plain.run_with_arguments("-q -r 3 " + kSlides).status, 0);
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(plain.path()))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{".console", ".errors", "data.txt", "g01.txt",
                                             "g02.txt", "g03.txt", "merge.txt"}));

  // A table that cannot be written is a usage error before anything is read: a folder in its
  // place, a folder that does not exist, a name below a file (for which Windows tells that the
  // path does not exist).
  ScratchFolder folder;
  generate_slides(folder);
  std::filesystem::create_directory(folder.path() / "taken");
  const std::string unwritable[][2] = {
      {"--genes taken", "option --genes cannot write 'taken' (Is a directory)"},
      {"--spots nowhere/s.tsv",
       "option --spots cannot write 'nowhere/s.tsv' (No such file or "
       "directory)"},
      {"--report g01.txt/r.html",
       std::string("option --report cannot write 'g01.txt/r.html' (") +
           (kOnWindows ? "No such file or directory" : "Not a directory") + ")"}};
  for (const auto& [option, message] : unwritable) {
    BinaryRun run = folder.run_with_arguments("-q -r 3 " + option + " " + kSlides);
    EXPECT_EQ(run.status, 2) << option;
    EXPECT_EQ(run.errors, "corvane: " + message +
                              ": a file in an existing folder that can be written is expected\n"
                              "Try 'corvane --help'.\n");
    EXPECT_FALSE(folder.exists("data.txt"));
  }
  BinaryRun run = folder.run_with_arguments("-q -r 3 " + kSlides);
  ASSERT_EQ(run.status, 0);

  run = folder.run_with_arguments("-q -r 3 --genes - --report - " + kSlides);
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.errors,
            "corvane: only one of --genes, --spots and --report can write to standard output "
            "(-)\nTry 'corvane --help'.\n");

  // A spot table on a device that cannot be written is written in place and left, as the device
  // is; the data.txt and merge.txt written before it do not take their names: the earlier data.txt
  // stays, and merge.txt, removed, stays away.
  if (kOnWindows)
    GTEST_SKIP() << "Windows has no device like /dev/full, on which every write fails";
  std::filesystem::remove(folder.path() / "merge.txt");
  folder.write("data.txt", "earlier\n");
  std::filesystem::create_symlink("/dev/full", folder.path() / "spots.tsv");
  run = folder.run_with_arguments("-q -r 3 --spots spots.tsv " + kSlides);
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.errors, "can't write the data file <spots.tsv>: No space left on device\n");
  EXPECT_TRUE(std::filesystem::is_symlink(folder.path() / "spots.tsv"));
  EXPECT_EQ(folder.read("data.txt"), "earlier\n");
  EXPECT_FALSE(folder.exists("merge.txt"));
}

// The report of a real run: one MA panel per slide, one volcano mark per gene with a p-value, and
// nothing that a browser would fetch from outside the file.
TEST(Tables, ReportHoldsEverySlideAndEveryTestedGene) {
  ScratchFolder folder;
  generate_slides(folder);
  BinaryRun run =
      folder.run_with_arguments("-q -r 3 --genes genes.tsv --report report.html " + kSlides);
  ASSERT_EQ(run.status, 0) << run.errors;
  std::string page = folder.read("report.html");
  const std::vector<std::string> gene_lines = split(folder.read("genes.tsv"), '\n');
  // The volcano plot shows the moderated test: the genes with a mod_p_value.
  std::size_t tested = 0;
  for (std::size_t row = 1; row < gene_lines.size(); ++row)
    tested += split(gene_lines[row], '\t')[29] != "NA";
  auto count = [&page](const std::string& text) {
    std::size_t found = 0;
    for (std::size_t at = page.find(text); at != std::string::npos; at = page.find(text, at + 1))
      ++found;
    return found;
  };
  EXPECT_EQ(count("class=\"panel ma\""), 3u);
  EXPECT_EQ(count("class=\"gene sig\"") + count("class=\"gene ns\""), tested);
  EXPECT_GT(tested, 0u);
  // The SVG namespace is a name, not an address.
  for (std::size_t at = page.find(" xmlns=\"http://www.w3.org/2000/svg\""); at != std::string::npos;
       at = page.find(" xmlns=\"http://www.w3.org/2000/svg\""))
    page.erase(at, 35);
  // The slide images are held in the page itself, one a slide.
  const std::string image = " src=\"data:image/png;base64,";
  EXPECT_EQ(count(image), 3u);
  for (std::size_t at = page.find(image); at != std::string::npos; at = page.find(image, at))
    page.erase(at, page.find('"', at + image.size()) + 1 - at);
  for (const char* outside : {"http:", "https:", "<script", "src=", "<link", "@import", "url("})
    EXPECT_EQ(count(outside), 0u) << outside;
  EXPECT_EQ(count("href="), count("href=\"#"));
}

// A loess run with slide 2 dye-swapped: the page names the method and the slide, draws the
// curves before and after normalisation on every panel and shows the moderated test, whose
// numbers agree with the gene table of the same run.
TEST(Tables, ReportOfALoessRunWithASwappedSlideShowsTheModeratedTest) {
  ScratchFolder folder;
  generate_slides(folder);
  BinaryRun run = folder.run_with_arguments(
      "-q -r 3 --normalise loess --dye-swap 2 --genes genes.tsv --report report.html " + kSlides);
  ASSERT_EQ(run.status, 0) << run.errors;
  const std::string page = folder.read("report.html");
  auto count = [&page](const std::string& text) {
    std::size_t found = 0;
    for (std::size_t at = page.find(text); at != std::string::npos; at = page.find(text, at + 1))
      ++found;
    return found;
  };
  EXPECT_EQ(count("<tr><th>Normalisation</th><td>loess: M less a lowess fit of M on A over the "
                  "slide</td></tr>"),
            1u);
  EXPECT_EQ(count("<th>Dye-swapped slides (ratio the other way round)</th><td>2 (g02.txt)</td>"),
            1u);
  // The captions of its MA panel and of its slide image.
  EXPECT_EQ(count("2. g02.txt (dyes swapped)</figcaption>"), 2u);
  EXPECT_EQ(count("<td>g02.txt</td><td>yes</td>"), 1u);
  // Two curves on each of the three panels, and their two legend lines.
  EXPECT_EQ(count("<path class=\"before\" d=\"M"), 4u);
  EXPECT_EQ(count("<path class=\"after\" d=\"M"), 4u);
  EXPECT_EQ(count("the median of the curve the normalisation fitted and took away"), 1u);
  EXPECT_EQ(count("<h2>Volcano plot: moderated t-test across slides</h2>"), 1u);
  EXPECT_EQ(count("class=\"fallback\""), 0u);

  // The gene table's moderated values: the genes tested, those called at q below 0.05 by each
  // test, and the gene with the smallest moderated p-value (the first in gene order among equals).
  const std::vector<std::string> gene_lines = split(folder.read("genes.tsv"), '\n');
  std::size_t pooled = 0, pooled_called = 0, moderated = 0, moderated_called = 0;
  std::string first_gene;
  double smallest_p = 2.0;
  for (std::size_t row = 1; row < gene_lines.size(); ++row) {
    const std::vector<std::string> gene = split(gene_lines[row], '\t');
    if (gene[20] != "NA") {
      ++pooled;
      pooled_called += std::strtod(gene[21].c_str(), nullptr) < 0.05;
    }
    if (gene[29] == "NA") continue;
    ++moderated;
    moderated_called += std::strtod(gene[30].c_str(), nullptr) < 0.05;
    const double p = std::strtod(gene[29].c_str(), nullptr);
    if (p < smallest_p) smallest_p = p, first_gene = gene[0];
  }
  EXPECT_GT(moderated, 0u);
  EXPECT_EQ(count("class=\"gene sig\"") + count("class=\"gene ns\""), moderated);
  EXPECT_EQ(count("<tr><th>Genes tested</th><td>pooled t-test " + std::to_string(pooled) +
                  ", moderated t-test " + std::to_string(moderated) + "</td></tr>"),
            1u);
  EXPECT_EQ(count("<td>pooled t-test " + std::to_string(pooled_called) + ", moderated t-test " +
                  std::to_string(moderated_called) + "</td>"),
            1u);
  EXPECT_EQ(
      count("<tr class=\"gene-row\"><td class=\"n\">1</td><td class=\"n\">" + first_gene + "</td>"),
      1u);
}

}  // namespace
