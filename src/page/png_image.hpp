// A writer of indexed-colour PNG images, for the slide images of the HTML report, compressed
// with zlib's deflate.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

struct PaletteColour {
  uint8_t red, green, blue;
};

// width x height palette indices, row by row from the top, each below the palette's size.
struct IndexedImage {
  int32_t width = 0, height = 0;
  std::vector<uint8_t> pixels;
};

// The PNG file of the image: 4 bits a pixel for a palette of at most 16 colours, 8 bits for
// up to 256. The image is at least one pixel wide and high.
std::string indexed_png(const IndexedImage& image, std::span<const PaletteColour> palette);
