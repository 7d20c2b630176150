// A reader of the PNG images the report embeds, for the tests: it takes the file apart and checks
// every part the writer is meant to get right instead of trusting it. It reads only what the
// writer makes (an indexed-colour image of 4 or 8 bits, filter 0, a zlib stream) and says what it
// found wrong otherwise. The chunks' CRC-32 is worked out bit by bit, apart from the writer's;
// zlib inflates the stream and checks its Adler-32.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct ReadPng {
  std::string error;  // empty when the file was read
  int32_t width = 0, height = 0;
  int bit_depth = 0;
  std::vector<uint32_t> palette;     // 0xRRGGBB
  std::vector<uint8_t> pixels;       // row by row, one palette index a pixel
  std::size_t compressed_bytes = 0;  // the zlib stream's size
};

inline uint32_t png_test_crc(std::string_view bytes) {
  uint32_t crc = 0xffffffffu;
  for (char byte : bytes) {
    crc ^= static_cast<uint8_t>(byte);
    for (int bit = 0; bit < 8; ++bit)
      crc = (crc >> 1) ^ ((crc & 1) != 0 ? 0xedb88320u : 0u);
  }
  return crc ^ 0xffffffffu;
}

inline uint32_t png_test_u32(std::string_view bytes, std::size_t at) {
  uint32_t value = 0;
  for (std::size_t i = 0; i < 4; ++i)
    value = value << 8 | static_cast<uint8_t>(bytes[at + i]);
  return value;
}

// The data of the zlib stream, whose size the rows of the image give.
inline bool png_test_inflate(std::string_view stream, std::size_t size, std::string& data,
                             ReadPng& png) {
  data.assign(size, '\0');
  uLongf length = static_cast<uLongf>(size);
  uLong consumed = static_cast<uLong>(stream.size());
  const int status = uncompress2(reinterpret_cast<Bytef*>(data.data()), &length,
                                 reinterpret_cast<const Bytef*>(stream.data()), &consumed);
  png.compressed_bytes = stream.size();
  if (status != Z_OK) {
    png.error = "a damaged zlib stream";
    return false;
  }
  if (consumed != stream.size()) {
    png.error = "bytes after the zlib stream";
    return false;
  }
  data.resize(length);
  return true;
}

inline ReadPng read_png(std::string_view file) {
  ReadPng png;
  auto fail = [&png](const std::string& why) {
    png.error = why;
    return png;
  };
  if (file.substr(0, 8) != std::string_view("\x89PNG\r\n\x1a\n", 8))
    return fail("no PNG signature");
  std::string idat;
  std::vector<std::string> order;
  std::size_t at = 8;
  while (at < file.size()) {
    if (at + 12 > file.size()) return fail("a chunk runs past the file");
    const uint32_t length = png_test_u32(file, at);
    if (at + 12 + length > file.size()) return fail("a chunk runs past the file");
    const std::string_view typed = file.substr(at + 4, 4 + length);
    const std::string type(typed.substr(0, 4));
    const std::string_view data = typed.substr(4);
    if (png_test_u32(file, at + 8 + length) != png_test_crc(typed)) {
      return fail("CRC of " + type);
    }
    order.push_back(type);
    if (type == "IHDR") {
      png.width = static_cast<int32_t>(png_test_u32(data, 0));
      png.height = static_cast<int32_t>(png_test_u32(data, 4));
      png.bit_depth = static_cast<uint8_t>(data[8]);
      if (length != 13 || data[9] != 3 || data[10] != 0 || data[11] != 0 || data[12] != 0) {
        return fail("not an indexed image as written");
      }
    } else if (type == "PLTE") {
      for (std::size_t i = 0; i + 3 <= data.size(); i += 3) {
        png.palette.push_back(static_cast<uint32_t>(static_cast<uint8_t>(data[i])) << 16 |
                              static_cast<uint32_t>(static_cast<uint8_t>(data[i + 1])) << 8 |
                              static_cast<uint8_t>(data[i + 2]));
      }
    } else if (type == "IDAT") {
      idat.append(data);
    }
    at += 12 + length;
  }
  if (order.empty() || order.front() != "IHDR" || order.back() != "IEND") {
    return fail("chunks out of order");
  }
  const int bits = png.bit_depth;
  if (bits != 4 && bits != 8) return fail("a bit depth other than 4 or 8");
  const std::size_t row_bytes = (static_cast<std::size_t>(png.width) * bits + 7) / 8;
  std::string rows;
  if (!png_test_inflate(idat, (row_bytes + 1) * static_cast<std::size_t>(png.height), rows, png))
    return png;
  if (rows.size() != (row_bytes + 1) * static_cast<std::size_t>(png.height)) {
    return fail("rows of the wrong size");
  }
  for (int32_t y = 0; y < png.height; ++y) {
    const std::size_t start = static_cast<std::size_t>(y) * (row_bytes + 1);
    if (rows[start] != 0) return fail("a filter other than none");
    for (int32_t x = 0; x < png.width; ++x) {
      const auto byte =
          static_cast<uint8_t>(rows[start + 1 + static_cast<std::size_t>(x) * bits / 8]);
      const uint8_t index = bits == 8 ? byte : (x % 2 == 0 ? byte >> 4 : byte & 15);
      if (index >= png.palette.size()) return fail("an index beyond the palette");
      png.pixels.push_back(index);
    }
  }
  return png;
}

// The bytes of base64 text (with padding, no line breaks).
inline std::string decode_base64(std::string_view text) {
  auto value = [](char c) -> int {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    return c == '+' ? 62 : c == '/' ? 63 : -1;
  };
  std::string bytes;
  uint32_t group = 0;
  int bits = 0;
  for (char c : text) {
    if (c == '=') break;
    group = group << 6 | static_cast<uint32_t>(value(c));
    bits += 6;
    if (bits >= 8) {
      bits -= 8;
      bytes += static_cast<char>((group >> bits) & 0xff);
    }
  }
  return bytes;
}

// The PNG files of every data: URI of an image in the page, in page order.
inline std::vector<std::string> embedded_pngs(const std::string& page) {
  const std::string start = "src=\"data:image/png;base64,";
  std::vector<std::string> files;
  for (std::size_t at = page.find(start); at != std::string::npos; at = page.find(start, at)) {
    at += start.size();
    const std::size_t end = page.find('"', at);
    files.push_back(decode_base64(std::string_view(page).substr(at, end - at)));
  }
  return files;
}
