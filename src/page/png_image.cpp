// PNG file layout: the 8-byte signature, then chunks of a 4-byte big-endian length, a 4-byte
// type, the data and the CRC-32 of type and data. IHDR gives the size and pixel format, PLTE the
// palette, IDAT the zlib stream of the rows (each row a filter byte, 0 for none, then its packed
// pixels) and IEND closes the file. zlib makes the stream and the chunks' CRC-32.
#include "page/png_image.hpp"

#include <zlib.h>

#include "numeric/arrays.hpp"

namespace {

void append_u32(std::string& out, uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8)
    out += static_cast<char>((value >> shift) & 0xff);
}

void append_chunk(std::string& png, const char* type, const std::string& data) {
  append_u32(png, static_cast<uint32_t>(data.size()));
  const std::size_t type_at = png.size();
  png += type;
  png += data;
  const auto* checked = reinterpret_cast<const uint8_t*>(png.data() + type_at);
  append_u32(png,
             static_cast<uint32_t>(crc32(0, checked, static_cast<uInt>(png.size() - type_at))));
}

// The rows as PNG filters them, with filter 0 (none) and the pixels packed high bits first.
std::string packed_rows(const IndexedImage& image, int bits) {
  const std::size_t row_bytes = (static_cast<std::size_t>(image.width) * bits + 7) / 8;
  std::string rows;
  rows.reserve((row_bytes + 1) * static_cast<std::size_t>(image.height));
  for (int32_t y = 0; y < image.height; ++y) {
    rows += '\0';
    const uint8_t* row = image.pixels.data() + static_cast<std::size_t>(y) * image.width;
    if (bits == 8) {
      rows.append(reinterpret_cast<const char*>(row), static_cast<std::size_t>(image.width));
      continue;
    }
    for (int32_t x = 0; x < image.width; x += 2) {
      const int high = row[x] << 4;
      const int low = x + 1 < image.width ? row[x + 1] : 0;
      rows += static_cast<char>(high | low);
    }
  }
  return rows;
}

// The rows as a zlib stream (RFC 1950) of deflate blocks, at zlib's default level. A failure here
// can only be a lack of memory, which ends the run as any other does.
std::string zlib_stream(const std::string& data) {
  uLongf length = compressBound(static_cast<uLong>(data.size()));
  std::string stream(length, '\0');
  const int status = compress2(reinterpret_cast<Bytef*>(stream.data()), &length,
                               reinterpret_cast<const Bytef*>(data.data()),
                               static_cast<uLong>(data.size()), Z_DEFAULT_COMPRESSION);
  if (status != Z_OK) fatal_error("allocation failure in compress2()");
  stream.resize(length);
  return stream;
}

}  // namespace

std::string indexed_png(const IndexedImage& image, std::span<const PaletteColour> palette) {
  const int bits = palette.size() <= 16 ? 4 : 8;
  std::string png = "\x89PNG\r\n\x1a\n";
  std::string header;
  append_u32(header, static_cast<uint32_t>(image.width));
  append_u32(header, static_cast<uint32_t>(image.height));
  header += static_cast<char>(bits);
  header += '\3';                  // colour type 3: palette indices
  header += std::string(3, '\0');  // deflate, adaptive filtering, no interlace
  append_chunk(png, "IHDR", header);
  std::string colours;
  for (const PaletteColour& colour : palette) {
    colours += static_cast<char>(colour.red);
    colours += static_cast<char>(colour.green);
    colours += static_cast<char>(colour.blue);
  }
  append_chunk(png, "PLTE", colours);
  append_chunk(png, "IDAT", zlib_stream(packed_rows(image, bits)));
  append_chunk(png, "IEND", "");
  return png;
}
