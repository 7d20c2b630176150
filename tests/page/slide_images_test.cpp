// The slide images of the page, read back from their data: URIs with the tests' own PNG reader.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "page/html_report.hpp"
#include "page/html_sections.hpp"
#include "support/png_reader.hpp"

namespace {

// The code of a log2 ratio, as the figures hold it.
uint16_t code_of(double m) {
  return static_cast<uint16_t>(32768 + 1024 * m + 0.5);
}

BoxFigures box_reaching(double lower, double upper) {
  BoxFigures box;
  box.count = 10;
  box.lower_whisker = lower;
  box.upper_whisker = upper;
  return box;
}

// 2 x 2 blocks of 2 rows and 3 columns. Spot s (from 0) of block b (from 0) at row s / 3 + 1 and
// column s % 3 + 1; block b at array row b / 2 + 1 and column b % 2 + 1. The last place of block
// 4 holds no spot, and one more spot has no place (row 0). Slide 1's shades count up 0..12 and
// round again, with spot 7 grey; slide 2 has every spot at step 6, the middle of the scale. The
// boxes' whiskers reach -1.2 and 1.4, so the scale runs from -1.5 to 1.5 in steps of 3 / 13, and
// each spot's log2 ratio lies in the middle of its step.
RunFigures placed_figures() {
  RunFigures figures;
  figures.files = 2;
  for (int32_t block = 0; block < 4; ++block) {
    for (int32_t spot = 0; spot < 6; ++spot) {
      if (block == 3 && spot == 5) continue;
      figures.spot_places.push_back({block / 2 + 1, block % 2 + 1, spot / 3 + 1, spot % 3 + 1});
    }
  }
  figures.spot_places.push_back({1, 1, 0, 1});
  const std::size_t spots = figures.spot_places.size();
  SlideFigures one, two;
  one.file = "one.txt";
  two.file = "two.txt";
  two.dye_swapped = true;
  one.log2_ratio = box_reaching(-1.2, 0.4);
  two.log2_ratio = box_reaching(-0.3, 1.4);
  auto middle_of_step = [](std::size_t step) {
    return -1.5 + (static_cast<double>(step) + 0.5) * 3.0 / 13.0;
  };
  for (std::size_t s = 0; s < spots; ++s) {
    one.image_codes.push_back(code_of(middle_of_step(s % kImageShades)));
    two.image_codes.push_back(code_of(0.0));
  }
  one.image_codes[7] = kNoRatioCode;
  figures.slides = {one, two};
  return figures;
}

uint8_t pixel(const ReadPng& png, int32_t x, int32_t y) {
  return png.pixels[static_cast<std::size_t>(y * png.width + x)];
}

}  // namespace

TEST(SlideImages, EachSpotInItsPlaceWithTheGridBetweenTheBlocks) {
  const RunFigures figures = placed_figures();
  const std::string page = html_report_text(figures);
  const std::vector<std::string> files = embedded_pngs(page);
  ASSERT_EQ(files.size(), 2u);
  const ReadPng one = read_png(files[0]);
  ASSERT_EQ(one.error, "");
  // A grid line around and between the blocks: 2 * (3 + 1) + 1 by 2 * (2 + 1) + 1.
  EXPECT_EQ(one.width, 9);
  EXPECT_EQ(one.height, 7);
  EXPECT_EQ(one.bit_depth, 4);
  ASSERT_EQ(one.palette.size(), 16u);
  EXPECT_EQ(one.palette[kNoRatioShade], 0x5c5c5cu);
  for (int32_t x = 0; x < 9; ++x) {
    for (int32_t y : {0, 3, 6})
      EXPECT_EQ(pixel(one, x, y), kGridColour) << x << ", " << y;
  }
  for (int32_t y = 0; y < 7; ++y) {
    for (int32_t x : {0, 4, 8})
      EXPECT_EQ(pixel(one, x, y), kGridColour) << x << ", " << y;
  }
  for (std::size_t s = 0; s + 1 < figures.spot_places.size(); ++s) {
    const SpotPlace& place = figures.spot_places[s];
    const int32_t x = (place.array_col - 1) * 4 + place.col;
    const int32_t y = (place.array_row - 1) * 3 + place.row;
    EXPECT_EQ(pixel(one, x, y), s == 7 ? kNoRatioShade : s % kImageShades) << "spot " << s + 1;
  }
  EXPECT_EQ(pixel(one, 1 * 4 + 3, 1 * 3 + 2), kEmptyColour);  // the place without a spot
  EXPECT_EQ(pixel(one, 4 + 2, 1), kNoRatioShade);             // spot 8: block 2, row 1, column 2
  const ReadPng two = read_png(files[1]);
  ASSERT_EQ(two.error, "");
  EXPECT_EQ(pixel(two, 1, 1), 6);
  EXPECT_EQ(pixel(two, 6, 5), 6);

  // Shown eight times as large without smoothing, captioned, and the key states the limit.
  EXPECT_NE(page.find("img{display:block;image-rendering:pixelated}"), std::string::npos);
  EXPECT_NE(page.find("<img width=\"72\" height=\"56\" alt=\"Slide 1: spots by log2 ratio\""),
            std::string::npos);
  EXPECT_NE(page.find("<figcaption>2. two.txt (dyes swapped)</figcaption>"), std::string::npos);
  EXPECT_NE(page.find("clipped at \u00b11.5"), std::string::npos);
  EXPECT_NE(page.find(">\u2264 -1.5</text>"), std::string::npos);
  EXPECT_NE(page.find(">\u2265 1.5</text>"), std::string::npos);
  EXPECT_NE(page.find("1 spots have no place"), std::string::npos);
  EXPECT_NE(page.find("2 x 2 print-tip blocks of 2 x 3 spots"), std::string::npos);
}

TEST(SlideImages, PlacesOutOfAllProportionOrNoneGiveANoteInstead) {
  RunFigures figures = placed_figures();
  figures.spot_places[0].col = 5000;
  std::string page = html_report_text(figures);
  EXPECT_TRUE(embedded_pngs(page).empty());
  EXPECT_NE(page.find("No slide image: the spots' places span 10003 x 7 pixels"),
            std::string::npos);
  figures.spot_places.clear();
  page = html_report_text(figures);
  EXPECT_TRUE(embedded_pngs(page).empty());
  EXPECT_NE(page.find("No slide image: no spot has a place."), std::string::npos);
}

// The limit is the farthest whisker end of any slide rounded up to a half, at least a half and
// at most 16; a slide without a ratio, or a whisker that is not a number, has no say. A log2
// ratio beyond it takes the end shade.
TEST(SlideImages, TheScaleIsClippedAtTheFarthestWhiskerRoundedUpToAHalf) {
  std::vector<SlideFigures> slides(3);
  slides[0].log2_ratio = box_reaching(-0.7, 0.4);
  slides[1].log2_ratio = box_reaching(-0.2, 1.2);
  slides[2].log2_ratio = box_reaching(-40.0, 40.0);
  slides[2].log2_ratio.count = 0;
  EXPECT_EQ(image_limit_of(slides), 1.5);
  slides[1].log2_ratio = box_reaching(NAN, 1.0);
  EXPECT_EQ(image_limit_of(slides), 1.0);
  slides[0].log2_ratio = box_reaching(-0.1, 0.1);
  slides[1].log2_ratio.count = 0;
  EXPECT_EQ(image_limit_of(slides), 0.5);
  slides[2].log2_ratio.count = 5;
  EXPECT_EQ(image_limit_of(slides), 16.0);

  RunFigures figures = placed_figures();
  figures.slides[1].image_codes[0] = 1;             // log2 ratio -32
  figures.slides[1].image_codes[1] = 65535;         // +32
  figures.slides[1].image_codes[2] = code_of(0.1);  // just inside the middle step, 0.1154 wide
  figures.slides[1].image_codes[3] = code_of(0.12);
  const ReadPng two = read_png(embedded_pngs(html_report_text(figures))[1]);
  EXPECT_EQ(pixel(two, 1, 1), 0);
  EXPECT_EQ(pixel(two, 2, 1), kImageShades - 1);
  EXPECT_EQ(pixel(two, 3, 1), 6);
  EXPECT_EQ(pixel(two, 1, 2), 7);
}
