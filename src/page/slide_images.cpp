// One small image a slide, the spots in their places on the array: the print-tip blocks by array
// row and array column with a line of the grid colour between them, the spots by row and column
// within their block. Each spot is a pixel in the shade of its normalised log2 ratio on a scale
// shared by every slide; spots without a ratio or failing the quality test are grey. The images
// are PNGs in data: URIs, scaled up by the page without smoothing, and one key serves them all.

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>

#include "page/html_sections.hpp"
#include "page/html_text.hpp"
#include "page/png_image.hpp"
#include "page/svg_plot.hpp"
#include "run/shared_work.hpp"

namespace {

// The palette, in the order of html_sections.hpp: the kImageShades steps of the scale from the
// lowest log2 ratio (dark blue) through near white to the highest (dark orange), lighter towards 0
// on both sides; then the dark grey of the spots without a ratio, which stands out from the pale
// shades most spots take, and the page's white for the grid and for the places without a spot, so
// that the blocks stand apart.
constexpr std::array<PaletteColour, 16> kPalette = {{
    {0x05, 0x30, 0x61},
    {0x1c, 0x5c, 0x9e},
    {0x3a, 0x87, 0xc0},
    {0x6e, 0xaa, 0xd4},
    {0xa5, 0xcd, 0xe5},
    {0xd5, 0xe7, 0xf2},
    {0xf7, 0xf7, 0xf7},
    {0xfb, 0xe0, 0xc2},
    {0xfc, 0xc2, 0x87},
    {0xf2, 0x9c, 0x4b},
    {0xd9, 0x74, 0x1d},
    {0xaa, 0x50, 0x08},
    {0x6e, 0x31, 0x03},
    {0x5c, 0x5c, 0x5c},
    {0xff, 0xff, 0xff},
    {0xff, 0xff, 0xff},
}};

constexpr double kLimitStep = 0.5;
constexpr double kLargestLimit = 16.0;

// The shade of every code of a log2 ratio, worked out once for the page.
std::vector<uint8_t> shades_of_codes(double limit) {
  std::vector<uint8_t> shades(65536);
  shades[kNoRatioCode] = kNoRatioShade;
  for (uint32_t code = 1; code < shades.size(); ++code) {
    const double m = (code - kLog2CodeZero) / kLog2CodesPerUnit;
    const double step = std::floor((m + limit) * kImageShades / (2.0 * limit));
    shades[code] = static_cast<uint8_t>(std::clamp(step, 0.0, kImageShades - 1.0));
  }
  return shades;
}

// An image wider or taller than this, or with more pixels, is not drawn: the places would be
// out of all proportion to a real array.
constexpr int64_t kLargestSide = 2048;
constexpr int64_t kLargestArea = 1 << 20;
// The page shows an image this wide or high at most, an integer number of pixels a spot.
constexpr int64_t kShownSide = 400;
constexpr int64_t kLargestZoom = 8;

// The blocks, the spots a block and the image size, from the largest place of each kind seen.
struct Layout {
  int64_t array_rows = 0, array_cols = 0, rows = 0, cols = 0;
  int64_t width = 0, height = 0;
  int64_t unplaced = 0;  // spots with a place below 1, left out
};

bool placed(const SpotPlace& place) {
  return place.array_row >= 1 && place.array_col >= 1 && place.row >= 1 && place.col >= 1;
}

Layout layout_of(const std::vector<SpotPlace>& places) {
  Layout layout;
  for (const SpotPlace& place : places) {
    if (!placed(place)) {
      ++layout.unplaced;
      continue;
    }
    layout.array_rows = std::max<int64_t>(layout.array_rows, place.array_row);
    layout.array_cols = std::max<int64_t>(layout.array_cols, place.array_col);
    layout.rows = std::max<int64_t>(layout.rows, place.row);
    layout.cols = std::max<int64_t>(layout.cols, place.col);
  }
  // A grid line around and between the blocks.
  layout.width = layout.array_cols * (layout.cols + 1) + 1;
  layout.height = layout.array_rows * (layout.rows + 1) + 1;
  return layout;
}

bool drawable(const Layout& layout) {
  return layout.width <= kLargestSide && layout.height <= kLargestSide &&
         layout.width * layout.height <= kLargestArea;
}

// The grid and the empty places the same on every slide; each slide's spots are set into a copy.
IndexedImage grid_image(const Layout& layout) {
  IndexedImage image;
  image.width = static_cast<int32_t>(layout.width);
  image.height = static_cast<int32_t>(layout.height);
  image.pixels.assign(static_cast<std::size_t>(layout.width * layout.height), kGridColour);
  for (int64_t y = 0; y < layout.height; ++y) {
    for (int64_t x = 0; x < layout.width; ++x) {
      if (y % (layout.rows + 1) != 0 && x % (layout.cols + 1) != 0) {
        image.pixels[static_cast<std::size_t>(y * layout.width + x)] = kEmptyColour;
      }
    }
  }
  return image;
}

// The pixel of every placed spot (index spot - 1), or -1 for one without a place.
std::vector<int64_t> pixels_of_spots(const std::vector<SpotPlace>& places, const Layout& layout) {
  std::vector<int64_t> pixels;
  pixels.reserve(places.size());
  for (const SpotPlace& place : places) {
    if (!placed(place)) {
      pixels.push_back(-1);
      continue;
    }
    const int64_t x = (place.array_col - 1) * (layout.cols + 1) + place.col;
    const int64_t y = (place.array_row - 1) * (layout.rows + 1) + place.row;
    pixels.push_back(y * layout.width + x);
  }
  return pixels;
}

std::string slide_caption(const SlideFigures& slide, std::size_t index) {
  std::string caption = std::to_string(index + 1) + ". ";
  append_escaped(caption, slide.file);
  if (slide.dye_swapped) caption += " (dyes swapped)";
  return caption;
}

// A swatch of the key in a palette colour.
void append_swatch(std::string& svg, double x, double y, double width, uint8_t colour) {
  const PaletteColour& c = kPalette[colour];
  char fill[8];
  std::snprintf(fill, sizeof fill, "#%02x%02x%02x", c.red, c.green, c.blue);
  svg += "<rect";
  append_attribute(svg, "x", x);
  append_attribute(svg, "y", y);
  append_attribute(svg, "width", width);
  append_attribute(svg, "height", 14.0);
  svg += std::string(" fill=\"") + fill + "\"/>";
}

// The steps of the scale side by side on a log2 ratio axis from -limit to +limit, then the grey
// and the grid.
void append_key(std::string& page, double limit) {
  constexpr double kLeft = 20.0, kStep = 24.0, kTop = 6.0;
  const double right = kLeft + kStep * kImageShades;
  std::string svg;
  open_svg(svg, right + 330.0, 52.0, "Key of the slide images");
  for (uint8_t step = 0; step < kImageShades; ++step)
    append_swatch(svg, kLeft + kStep * step, kTop, kStep, step);
  svg += "<rect";
  append_attribute(svg, "x", kLeft);
  append_attribute(svg, "y", kTop);
  append_attribute(svg, "width", right - kLeft);
  append_attribute(svg, "height", 14.0);
  svg += " class=\"frame\"/>";
  // The ends say that the scale is clipped there; ticks too close to them are left out.
  const Scale scale = make_scale(-limit, limit, kLeft, right);
  const Ticks ticks = round_ticks(-limit, limit, 4);
  std::string marks;
  auto append_tick = [&](double value, const std::string& label) {
    append_command(marks, 'M', scale.pixel(value), kTop + 14.0);
    append_command(marks, 'v', 4.0);
    append_text_at(svg, scale.pixel(value), kTop + 29.0, label, "middle", "tick");
  };
  append_tick(-limit, "\u2264 -" + shortest_number(limit));
  for (double value : ticks.values)
    if (std::fabs(value) < 0.85 * limit) append_tick(value, tick_label(value, ticks));
  append_tick(limit, "\u2265 " + shortest_number(limit));
  svg += "<path d=\"" + marks + "\" class=\"axis\"/>";
  append_text_at(svg, (kLeft + right) / 2.0, kTop + 44.0, "normalised log2 ratio", "middle",
                 "title");
  append_swatch(svg, right + 24.0, kTop, 14.0, kNoRatioShade);
  append_text_at(svg, right + 42.0, kTop + 11.0, "no ratio, or failed the quality test", "start",
                 "tick");
  append_swatch(svg, right + 24.0, kTop + 22.0, 14.0, kGridColour);
  // The grid is the page's white: a frame shows the swatch.
  svg += "<rect x=\"" + coordinate(right + 24.0) + "\" y=\"" + coordinate(kTop + 22.0) +
         "\" width=\"14\" height=\"14\" class=\"frame\"/>";
  append_text_at(svg, right + 42.0, kTop + 33.0, "grid between the print-tip blocks", "start",
                 "tick");
  close_svg(svg);
  page += "<div class=\"legend\">" + svg + "</div>\n";
}

}  // namespace

double image_limit_of(const std::vector<SlideFigures>& slides) {
  double farthest = 0.0;
  for (const SlideFigures& slide : slides) {
    const BoxFigures& box = slide.log2_ratio;
    if (box.count == 0) continue;
    for (double end : {box.lower_whisker, box.upper_whisker})
      if (std::isfinite(end)) farthest = std::max(farthest, std::fabs(end));
  }
  const double rounded = std::ceil(farthest / kLimitStep) * kLimitStep;
  return std::clamp(rounded, kLimitStep, kLargestLimit);
}

void append_slide_images(std::string& page, const RunFigures& figures) {
  page += "<section id=\"images\"><h2>The slides as printed</h2>\n";
  const Layout layout = layout_of(figures.spot_places);
  if (layout.array_rows == 0) {
    page += "<p class=\"note\">No slide image: no spot has a place.</p></section>\n";
    return;
  }
  if (!drawable(layout)) {
    page += "<p class=\"note\">No slide image: the spots' places span " +
            std::to_string(layout.width) + " x " + std::to_string(layout.height) +
            " pixels, more than an image is drawn for.</p></section>\n";
    return;
  }
  const double limit = image_limit_of(figures.slides);
  const std::vector<uint8_t> shades = shades_of_codes(limit);
  const std::string ratio =
      figures.ratio_choice == 1 ? "channel 2 over channel 1" : "channel 1 over channel 2";
  page += "<p>Every spot in its place: " + std::to_string(layout.array_rows) + " x " +
          std::to_string(layout.array_cols) + " print-tip blocks of " +
          std::to_string(layout.rows) + " x " + std::to_string(layout.cols) +
          " spots, coloured by its normalised log2 ratio (" + ratio +
          ", dye-swapped slides the same way round) on one scale for every slide, clipped at " +
          "\u00b1" + shortest_number(limit) +
          " (the farthest whisker of the box plots, rounded up to a half). Spots without a ratio "
          "or failing the quality test are grey: a scratch or a smear shows as a grey line or "
          "patch, a print-tip or slide effect as a block or region of one tint.</p>\n";
  if (layout.unplaced > 0) {
    page += "<p class=\"note\">" + std::to_string(layout.unplaced) +
            " spots have no place (a position below 1) and are not drawn.</p>\n";
  }
  const IndexedImage grid = grid_image(layout);
  const std::vector<int64_t> pixels = pixels_of_spots(figures.spot_places, layout);
  const int64_t zoom =
      std::clamp<int64_t>(kShownSide / std::max(layout.width, layout.height), 1, kLargestZoom);
  // The images of the slides are independent: they are made on the run's threads.
  std::vector<std::string> images(figures.slides.size());
  share_among_threads<IndexedImage>(
      static_cast<int32_t>(figures.slides.size()), figures.threads,
      [&](int32_t f, IndexedImage& image) {
        const SlideFigures& slide = figures.slides[static_cast<std::size_t>(f - 1)];
        image = grid;
        for (std::size_t s = 0; s < pixels.size() && s < slide.image_codes.size(); ++s) {
          if (pixels[s] >= 0) {
            image.pixels[static_cast<std::size_t>(pixels[s])] = shades[slide.image_codes[s]];
          }
        }
        append_base64(images[static_cast<std::size_t>(f - 1)], indexed_png(image, kPalette));
      });
  page += "<div class=\"panels\">\n";
  for (std::size_t index = 0; index < figures.slides.size(); ++index) {
    const SlideFigures& slide = figures.slides[index];
    page += "<figure class=\"slide\" style=\"width:" + std::to_string(layout.width * zoom) +
            "px\"><img";
    append_attribute(page, "width", static_cast<double>(layout.width * zoom));
    append_attribute(page, "height", static_cast<double>(layout.height * zoom));
    page += " alt=\"Slide " + std::to_string(index + 1) + ": spots by log2 ratio\"";
    page += " src=\"data:image/png;base64,";
    page += images[index];
    page += "\"><figcaption>" + slide_caption(slide, index) + "</figcaption></figure>\n";
  }
  page += "</div>\n";
  append_key(page, limit);
  page += "</section>\n";
}
