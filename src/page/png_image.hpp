// A writer of indexed-colour PNG images, for the slide images of the HTML report. The image data
// is held in zlib's format as stored (uncompressed) deflate blocks, so that no compression
// library is needed: the page's images are small, and base64 makes every format larger anyway.
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

// The checksums of the format: the CRC-32 of every PNG chunk (polynomial 0xedb88320, as zlib and
// PNG define it) and zlib's Adler-32 of the uncompressed data. Each can be carried on over
// further bytes by passing the value so far; start from the defaults.
uint32_t crc32_of(const uint8_t* bytes, std::size_t count, uint32_t crc = 0);
uint32_t adler32_of(const uint8_t* bytes, std::size_t count, uint32_t adler = 1);
