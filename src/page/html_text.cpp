#include "page/html_text.hpp"

#include <charconv>
#include <cmath>
#include <cstdint>

namespace {

constexpr const char* kReplacementCharacter = "\xEF\xBF\xBD";

// The length of the valid UTF-8 sequence that starts at text[at], or 0 when none does: no overlong
// form, no surrogate (U+D800..U+DFFF), nothing above U+10FFFF.
std::size_t utf8_sequence_length(std::string_view text, std::size_t at) {
  const auto byte = [&text](std::size_t i) { return static_cast<uint8_t>(text[i]); };
  const uint8_t lead = byte(at);
  std::size_t length = 0;
  uint8_t second_lowest = 0x80, second_highest = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) second_lowest = 0xA0;   // overlong below U+0800
    if (lead == 0xED) second_highest = 0x9F;  // surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) second_lowest = 0x90;   // overlong below U+10000
    if (lead == 0xF4) second_highest = 0x8F;  // above U+10FFFF
  } else {
    return 0;
  }
  if (at + length > text.size()) return 0;
  if (byte(at + 1) < second_lowest || byte(at + 1) > second_highest) return 0;
  for (std::size_t i = 2; i < length; ++i) {
    if (byte(at + i) < 0x80 || byte(at + i) > 0xBF) return 0;
  }
  return length;
}

}  // namespace

void append_escaped(std::string& out, std::string_view text) {
  for (std::size_t at = 0; at < text.size(); ++at) {
    const char c = text[at];
    if (static_cast<uint8_t>(c) >= 0x80) {
      const std::size_t length = utf8_sequence_length(text, at);
      if (length == 0) {
        out += kReplacementCharacter;
      } else {
        out.append(text.substr(at, length));
        at += length - 1;
      }
      continue;
    }
    if (static_cast<uint8_t>(c) < 0x20 && c != '\t' && c != '\n' && c != '\r') {
      out += kReplacementCharacter;
      continue;
    }
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

std::string shown_number(double value) {
  return rounded_number(value, 4);
}

void append_cell(std::string& page, const std::string& text, bool numeric) {
  page += numeric ? "<td class=\"n\">" : "<td>";
  append_escaped(page, text);
  page += "</td>";
}

void append_fact(std::string& page, const char* label, const std::string& value) {
  page += std::string("<tr><th>") + label + "</th>";
  append_cell(page, value, false);
  page += "</tr>\n";
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
