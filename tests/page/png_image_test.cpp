#include "page/png_image.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "page/html_text.hpp"
#include "support/png_reader.hpp"

namespace {

std::vector<PaletteColour> grey_palette(int colours) {
  std::vector<PaletteColour> palette;
  for (int i = 0; i < colours; ++i) {
    const auto level = static_cast<uint8_t>(i * 255 / (colours - 1));
    palette.push_back({level, static_cast<uint8_t>(255 - level), static_cast<uint8_t>(i)});
  }
  return palette;
}

// Pixels that differ from their neighbours in both directions, every index of the palette used.
IndexedImage pattern(int32_t width, int32_t height, int colours) {
  IndexedImage image;
  image.width = width;
  image.height = height;
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x)
      image.pixels.push_back(static_cast<uint8_t>((x * 7 + y * 3) % colours));
  return image;
}

}  // namespace

// An odd width packs its last pixel into the high half of a byte; 16 colours take 4 bits.
TEST(PngImage, FourBitImageReadsBackPixelForPixel) {
  const IndexedImage image = pattern(5, 3, 16);
  const std::string file = indexed_png(image, grey_palette(16));
  EXPECT_EQ(file.substr(0, 8), std::string("\x89PNG\r\n\x1a\n"));
  const ReadPng png = read_png(file);
  ASSERT_EQ(png.error, "");
  EXPECT_EQ(png.width, 5);
  EXPECT_EQ(png.height, 3);
  EXPECT_EQ(png.bit_depth, 4);
  EXPECT_EQ(png.pixels, image.pixels);
  ASSERT_EQ(png.palette.size(), 16u);
  EXPECT_EQ(png.palette[0], 0x00ff00u);
  EXPECT_EQ(png.palette[15], 0xff000fu);
  // Signature, IHDR (25 bytes), PLTE (12 + 48), IDAT (12 + the stream), IEND (12).
  EXPECT_EQ(file.size(), 8u + 25u + 60u + 12u + png.compressed_bytes + 12u);
}

TEST(PngImage, MoreThanSixteenColoursTakeEightBits) {
  const IndexedImage image = pattern(3, 4, 20);
  const ReadPng png = read_png(indexed_png(image, grey_palette(20)));
  ASSERT_EQ(png.error, "");
  EXPECT_EQ(png.bit_depth, 8);
  EXPECT_EQ(png.palette.size(), 20u);
  EXPECT_EQ(png.pixels, image.pixels);
}

// Rows of 1 + 500 bytes, 200 of them: more than one deflate block holds, and a regular pattern
// that deflate makes far smaller.
TEST(PngImage, LargeImageIsCompressed) {
  const IndexedImage image = pattern(1000, 200, 16);
  const std::string file = indexed_png(image, grey_palette(16));
  const ReadPng png = read_png(file);
  ASSERT_EQ(png.error, "");
  EXPECT_EQ(png.pixels, image.pixels);
  EXPECT_LT(png.compressed_bytes, 201u * 500u / 10u);
}

// The reader finds a damaged byte, so the tests that read the report's images can trust it.
TEST(PngImage, TheTestReaderFindsDamage) {
  const std::string file = indexed_png(pattern(6, 2, 16), grey_palette(16));
  std::string damaged = file;
  damaged[damaged.size() - 20] ^= 1;  // a pixel byte inside IDAT
  EXPECT_EQ(read_png(damaged).error, "CRC of IDAT");
  damaged = file;
  damaged[1] = 'Q';
  EXPECT_EQ(read_png(damaged).error, "no PNG signature");
}

TEST(PngImage, Base64OfTheRfc4648Examples) {
  for (const auto& [bytes, text] :
       std::vector<std::pair<std::string, std::string>>{{"", ""},
                                                        {"f", "Zg=="},
                                                        {"fo", "Zm8="},
                                                        {"foo", "Zm9v"},
                                                        {"foobar", "Zm9vYmFy"},
                                                        {"\xff\xfe", "//4="},
                                                        {std::string("\0\x10\x83", 3), "ABCD"}}) {
    std::string out = "x";
    append_base64(out, bytes);
    EXPECT_EQ(out, "x" + text);
    EXPECT_EQ(decode_base64(text), bytes);
  }
}
