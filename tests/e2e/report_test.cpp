// The slide images and the gene sections of the run report, through the real binary.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "support/binary_run.hpp"
#include "support/count_of.hpp"
#include "support/png_reader.hpp"
#include "support/result_file_text.hpp"

namespace {

// 2 x 2 print-tip blocks of 4 rows and 6 columns, the spots block by block and row by row
// within a block. Seen as one grid of 12 columns and 8 rows, spot (x, y) from 0 lies in block
// row y / 4 + 1 and column x / 6 + 1, at row y % 4 + 1 and column x % 6 + 1.
constexpr int kGridColumns = 12, kGridRows = 8;

// The made-up scratch: the diagonal x = y, through blocks (1, 1), (2, 1) and (2, 2).
bool on_scratch(int x, int y) {
  return x == y;
}

// Every spot has nets of 1000 in channel 1 and 1000 * 2^m in channel 2 over backgrounds of 100,
// m running from -0.4 to 0.4 with the spot; with a scratch, the spots on it have nets of 50 and
// 60, below their backgrounds in both channels, so they fail the quality test at C = 1 and keep
// a ratio. Two replicates a gene, named by gene.
std::string slide(bool scratched) {
  std::vector<SpotRowText> spots;
  for (int block = 0; block < 4; ++block) {
    for (int row = 1; row <= 4; ++row) {
      for (int col = 1; col <= 6; ++col) {
        const int x = block % 2 * 6 + col - 1, y = block / 2 * 4 + row - 1;
        const int number = static_cast<int>(spots.size());
        char ch2[32];
        std::snprintf(ch2, sizeof ch2, "%.3f", 100 + 1000 * std::exp2((number * 7 % 9 - 4) * 0.1));
        SpotRowText spot{
            block / 2 + 1, block % 2 + 1, row, col,  "G" + std::to_string(number / 2 + 1),
            "1100",        "100",         ch2, "100"};
        if (scratched && on_scratch(x, y)) {
          spot.ch1_intensity = "150";
          spot.ch2_intensity = "160";
        }
        spots.push_back(spot);
      }
    }
  }
  return result_file_text(spots, "1\tC:\\scan\\a1.tif\tCy3\t", "2\tC:\\scan\\a2.tif\tCy5\t");
}

// The report of a run on the scratched slide and the clean one, from the command line; empty when
// the run fails.
std::string page_of_a_scratched_and_a_clean_slide() {
  ScratchFolder folder;
  folder.write("scratched.txt", slide(true));
  folder.write("clean.txt", slide(false));
  const BinaryRun run =
      folder.run_with_arguments("-q -r 2 -c 1 --report report.html scratched.txt clean.txt");
  EXPECT_EQ(run.status, 0) << run.errors;
  return run.status == 0 ? folder.read("report.html") : "";
}

}  // namespace

// A scratch shows on its slide's image as a line of grey spots across the blocks, each between
// spots that are not grey; the slide without it has no grey spot at all.
TEST(ReportImages, AScratchShowsAsALineOfGreySpotsAcrossTheBlocks) {
  const std::string page = page_of_a_scratched_and_a_clean_slide();
  ASSERT_FALSE(page.empty());
  const std::vector<std::string> files = embedded_pngs(page);
  ASSERT_EQ(files.size(), 2u);
  const ReadPng scratched = read_png(files[0]), clean = read_png(files[1]);
  ASSERT_EQ(scratched.error, "");
  ASSERT_EQ(clean.error, "");
  // Blocks of 4 x 6 with a grid line around and between them.
  ASSERT_EQ(scratched.width, 2 * 7 + 1);
  ASSERT_EQ(scratched.height, 2 * 5 + 1);
  auto colour_of = [](const ReadPng& png, int x, int y) {
    const int pixel_x = x + x / 6 + 1, pixel_y = y + y / 4 + 1;
    return png.palette[png.pixels[static_cast<std::size_t>(pixel_y * png.width + pixel_x)]];
  };
  constexpr uint32_t kGrey = 0x5c5c5c;
  std::set<std::pair<int, int>> blocks;
  for (int y = 0; y < kGridRows; ++y) {
    for (int x = 0; x < kGridColumns; ++x) {
      EXPECT_NE(colour_of(clean, x, y), kGrey) << x << ", " << y;
      if (!on_scratch(x, y)) continue;
      blocks.insert({x / 6, y / 4});
      EXPECT_EQ(colour_of(scratched, x, y), kGrey) << x << ", " << y;
      for (auto [dx, dy] : {std::pair{-1, 0}, {1, 0}, {0, -1}, {0, 1}}) {
        const int nx = x + dx, ny = y + dy;
        if (nx < 0 || ny < 0 || nx >= kGridColumns || ny >= kGridRows || on_scratch(nx, ny)) {
          continue;
        }
        EXPECT_NE(colour_of(scratched, nx, ny), kGrey) << nx << ", " << ny;
      }
    }
  }
  EXPECT_EQ(blocks.size(), 3u);
  // The slide table counts the scratch: 8 spots failing on slide 1.
  EXPECT_NE(page.find("<td>scratched.txt</td><td></td>"), std::string::npos);
  EXPECT_EQ(count_of(page, "<td class=\"n\">8</td><td class=\"n\">0</td>"), 1u);
}

// Every gene of the gene table links to its section, and gene 1, whose first spot lies on the
// scratch, shows it as a failed dot there.
TEST(ReportImages, EveryListedGeneLinksToItsSpots) {
  const std::string page = page_of_a_scratched_and_a_clean_slide();
  ASSERT_FALSE(page.empty());
  // 48 genes, all tested by the moderated test, all listed.
  EXPECT_EQ(count_of(page, "<tr class=\"gene-row\">"), 48u);
  for (int gene = 1; gene <= 48; ++gene) {
    const std::string anchor = "gene-" + std::to_string(gene);
    EXPECT_EQ(count_of(page, "<a href=\"#" + anchor + "\">G" + std::to_string(gene) + "</a>"), 1u)
        << anchor;
    EXPECT_EQ(count_of(page, "<section class=\"gene\" id=\"" + anchor + "\">"), 1u) << anchor;
  }
  const std::size_t start = page.find("<section class=\"gene\" id=\"gene-1\">");
  const std::string section = page.substr(start, page.find("</section>", start) - start);
  EXPECT_EQ(count_of(section, "<path class=\"failed\" d=\"M"), 1u);
  EXPECT_NE(section.find("failed_quality 1,"), std::string::npos);
  EXPECT_NE(section.find("no_ratio 0 (not drawn)"), std::string::npos);
  // Both slides have a mean for gene 1: spot 2 on slide 1, both spots on slide 2.
  const std::size_t bars = section.find("<path class=\"slide-mean\" d=\"");
  ASSERT_NE(bars, std::string::npos);
  EXPECT_EQ(count_of(section.substr(bars, section.find("\"/>", bars) - bars), "v"), 2u);
}
