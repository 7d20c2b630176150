#include "input/gzip_bytes.hpp"

#include <zlib.h>

#include <algorithm>
#include <climits>
#include <string>

namespace {

constexpr std::size_t kLargestStep = UINT_MAX;  // zlib counts its buffers in 32 bits

// Deflate makes at most 1032 bytes of text from one byte of its data.
constexpr std::size_t kLargestRatio = 1032;

// What a gzip stream states of its size: the last four bytes of its last member hold the length of
// that member's text modulo 2^32. A first guess for the buffer, so that a file of one member is
// decompressed into a buffer of its exact size; a damaged file may state anything, so the guess
// is held to what its bytes could make.
std::size_t stated_size(const FileBytes& bytes) {
  if (bytes.size() < 18) return 0;
  const auto* end = reinterpret_cast<const unsigned char*>(bytes.data() + bytes.size());
  const std::size_t stated = std::size_t{end[-4]} | std::size_t{end[-3]} << 8 |
                             std::size_t{end[-2]} << 16 | std::size_t{end[-1]} << 24;
  return std::min(stated, bytes.size() * kLargestRatio);
}

// Rejects the file at the line of the text decompressed so far.
[[noreturn]] void reject_stream(ResultFile& file, const FileBytes& text, std::size_t produced,
                                const std::string& detail) {
  file.line = 1 + std::count(text.data(), text.data() + produced, '\n');
  reject_damaged_file(file, detail);
}

}  // namespace

bool is_gzip(const FileBytes& bytes) {
  return bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0x1f &&
         static_cast<unsigned char>(bytes[1]) == 0x8b;
}

void decompress_gzip(ResultFile& file) {
  const FileBytes& packed = file.bytes;
  FileBytes text(std::max<std::size_t>(stated_size(packed) + 64, 4096));
  z_stream stream{};
  // 16 + MAX_WBITS: a gzip header and trailer around the deflate data.
  if (inflateInit2(&stream, 16 + MAX_WBITS) != Z_OK)
    reject_stream(file, text, 0, "zlib cannot start");
  std::size_t consumed = 0, produced = 0;
  for (;;) {
    if (produced == text.size()) text.resize(text.size() * 2);
    const std::size_t in_step = std::min(packed.size() - consumed, kLargestStep);
    const std::size_t out_step = std::min(text.size() - produced, kLargestStep);
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(packed.data() + consumed));
    stream.avail_in = static_cast<uInt>(in_step);
    stream.next_out = reinterpret_cast<Bytef*>(text.data() + produced);
    stream.avail_out = static_cast<uInt>(out_step);
    const int status = inflate(&stream, Z_NO_FLUSH);
    consumed += in_step - stream.avail_in;
    produced += out_step - stream.avail_out;
    if (status == Z_STREAM_END) {
      // Another member may follow; zeros that pad the file to a block are passed over.
      if (consumed == packed.size() ||
          std::all_of(packed.begin() + static_cast<std::ptrdiff_t>(consumed), packed.end(),
                      [](char c) { return c == 0; })) {
        break;
      }
      if (packed.size() - consumed < 2 || static_cast<unsigned char>(packed[consumed]) != 0x1f ||
          static_cast<unsigned char>(packed[consumed + 1]) != 0x8b) {
        inflateEnd(&stream);
        reject_stream(file, text, produced,
                      "expected another gzip member or the end of the file after the compressed "
                      "data, found other bytes");
      }
      inflateReset(&stream);
      continue;
    }
    if (status == Z_OK) continue;
    if (status == Z_BUF_ERROR && stream.avail_out == 0) continue;  // the buffer grows
    const std::string why =
        stream.msg != nullptr ? stream.msg : "zlib status " + std::to_string(status);
    inflateEnd(&stream);
    if (status == Z_BUF_ERROR) {
      reject_stream(file, text, produced,
                    "expected more gzip-compressed data, found the end of the file (the file is "
                    "cut short)");
    }
    reject_stream(file, text, produced, "the gzip-compressed data is damaged (" + why + ")");
  }
  inflateEnd(&stream);
  text.resize(produced);
  file.bytes = std::move(text);
  file.pos = 0;
  file.line = 1;
}
