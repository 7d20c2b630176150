#include "page/html_text.hpp"

#include <charconv>
#include <cmath>
#include <cstdint>

void append_escaped(std::string& out, std::string_view text) {
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&#39;";
        break;
      default:
        out += c;
    }
  }
}

void append_base64(std::string& out, std::string_view bytes) {
  static const char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  auto byte = [&bytes](std::size_t at) {
    return static_cast<uint32_t>(static_cast<uint8_t>(bytes[at]));
  };
  // Written in place: an image's text is most of a large page.
  const std::size_t start = out.size();
  out.resize(start + (bytes.size() + 2) / 3 * 4);
  char* digit = out.data() + start;
  std::size_t at = 0;
  // Three bytes make four digits of six bits each.
  for (; at + 3 <= bytes.size(); at += 3) {
    const uint32_t group = byte(at) << 16 | byte(at + 1) << 8 | byte(at + 2);
    *digit++ = kDigits[group >> 18];
    *digit++ = kDigits[(group >> 12) & 63];
    *digit++ = kDigits[(group >> 6) & 63];
    *digit++ = kDigits[group & 63];
  }
  // One or two bytes left: two or three digits, and padding to four.
  const std::size_t left = bytes.size() - at;
  if (left == 0) return;
  const uint32_t group = byte(at) << 16 | (left == 2 ? byte(at + 1) << 8 : 0);
  *digit++ = kDigits[group >> 18];
  *digit++ = kDigits[(group >> 12) & 63];
  *digit++ = left == 2 ? kDigits[(group >> 6) & 63] : '=';
  *digit = '=';
}

std::string shortest_number(double value) {
  // The longest shortest text of a double is 24 characters ("-2.2250738585072014e-308").
  char text[32];
  auto result = std::to_chars(text, text + sizeof text, value);
  return std::string(text, result.ptr);
}

std::string rounded_number(double value, int significant_digits) {
  if (!std::isfinite(value)) return shortest_number(value);
  char text[64];
  auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::general,
                              significant_digits);
  return std::string(text, result.ptr);
}

std::string coordinate(double value) {
  if (!std::isfinite(value)) return "0";
  double tenths = std::round(value * 10.0);
  if (tenths == 0.0) return "0";
  char text[400];
  auto result = std::to_chars(text, text + sizeof text, tenths / 10.0, std::chars_format::fixed, 1);
  std::string written(text, result.ptr);
  if (written.size() >= 2 && written.compare(written.size() - 2, 2, ".0") == 0) {
    written.resize(written.size() - 2);
  }
  return written;
}
