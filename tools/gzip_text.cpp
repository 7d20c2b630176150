#include "gzip_text.hpp"

#include <zlib.h>

#include <stdexcept>

std::string gzip_text(const std::string& text) {
  z_stream stream{};
  // 15 + 16 window bits: a 32 KiB window wrapped in a gzip header and trailer.
  if (deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) !=
      Z_OK) {
    throw std::runtime_error("zlib could not start compressing");
  }
  gz_header header{};
  header.time = 0;
  header.os = 255;  // unknown
  deflateSetHeader(&stream, &header);

  std::string compressed(deflateBound(&stream, static_cast<uLong>(text.size())), '\0');
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
  stream.avail_in = static_cast<uInt>(text.size());
  stream.next_out = reinterpret_cast<Bytef*>(compressed.data());
  stream.avail_out = static_cast<uInt>(compressed.size());
  const int result = deflate(&stream, Z_FINISH);
  compressed.resize(stream.total_out);
  deflateEnd(&stream);
  if (result != Z_STREAM_END) throw std::runtime_error("zlib could not compress the file");
  return compressed;
}
