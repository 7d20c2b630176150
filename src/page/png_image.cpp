// PNG file layout: the 8-byte signature, then chunks of a 4-byte big-endian length, a 4-byte
// type, the data and the CRC-32 of type and data. IHDR gives the size and pixel format, PLTE the
// palette, IDAT the zlib stream of the rows (each row a filter byte, 0 for none, then its packed
// pixels) and IEND closes the file.
#include "page/png_image.hpp"

#include <algorithm>
#include <array>

namespace {

// The CRC-32 of every byte value, worked out once.
std::array<uint32_t, 256> crc_table() {
  std::array<uint32_t, 256> table{};
  for (uint32_t n = 0; n < 256; ++n) {
    uint32_t c = n;
    for (int bit = 0; bit < 8; ++bit)
      c = (c & 1) != 0 ? 0xedb88320u ^ (c >> 1) : c >> 1;
    table[n] = c;
  }
  return table;
}

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
  append_u32(png, crc32_of(checked, png.size() - type_at));
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

// A zlib stream of stored deflate blocks: the header 78 01 (deflate with a 32K window, no
// dictionary, the header a multiple of 31), blocks of at most 65,535 bytes each led by its final
// flag and type 00 and its length and the length's complement (little-endian), then Adler-32.
std::string stored_zlib(const std::string& data) {
  constexpr std::size_t kLargestBlock = 65535;
  std::string stream = "\x78\x01";
  std::size_t at = 0;
  do {
    const std::size_t length = std::min(kLargestBlock, data.size() - at);
    const bool final_block = at + length == data.size();
    stream += static_cast<char>(final_block ? 1 : 0);
    stream += static_cast<char>(length & 0xff);
    stream += static_cast<char>(length >> 8);
    stream += static_cast<char>(~length & 0xff);
    stream += static_cast<char>((~length >> 8) & 0xff);
    stream.append(data, at, length);
    at += length;
  } while (at < data.size());
  append_u32(stream, adler32_of(reinterpret_cast<const uint8_t*>(data.data()), data.size()));
  return stream;
}

}  // namespace

uint32_t crc32_of(const uint8_t* bytes, std::size_t count, uint32_t crc) {
  static const std::array<uint32_t, 256> table = crc_table();
  uint32_t c = crc ^ 0xffffffffu;
  for (std::size_t i = 0; i < count; ++i)
    c = table[(c ^ bytes[i]) & 0xff] ^ (c >> 8);
  return c ^ 0xffffffffu;
}

uint32_t adler32_of(const uint8_t* bytes, std::size_t count, uint32_t adler) {
  constexpr uint32_t kModulus = 65521;
  // The sums are reduced every 5,552 bytes, the most after which b cannot overflow 32 bits.
  constexpr std::size_t kLongestRun = 5552;
  uint32_t a = adler & 0xffff, b = adler >> 16;
  while (count > 0) {
    const std::size_t run = std::min(count, kLongestRun);
    for (std::size_t i = 0; i < run; ++i) {
      a += bytes[i];
      b += a;
    }
    a %= kModulus;
    b %= kModulus;
    bytes += run;
    count -= run;
  }
  return (b << 16) | a;
}

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
  append_chunk(png, "IDAT", stored_zlib(packed_rows(image, bits)));
  append_chunk(png, "IEND", "");
  return png;
}
