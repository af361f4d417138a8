// A PNG file written row by row: 8-bit RGB, each row filtered and deflated as
// it comes, so that a picture of any size needs memory for one row only. The
// bytes go to a sink in pieces of at most a few tens of kilobytes.
#pragma once

#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace tesvo {

class PngWriter {
 public:
  using Sink = std::function<void(const std::uint8_t* bytes, std::size_t size)>;

  // Writes the signature, the header and the text chunk keyword = text, which
  // thus lies right after the header.
  PngWriter(int width, int height, const std::string& keyword, const std::string& text, Sink sink);
  PngWriter(const PngWriter&) = delete;
  PngWriter& operator=(const PngWriter&) = delete;
  ~PngWriter();

  // The next row from the top: width pixels, 3 bytes each (red, green, blue).
  void Row(const std::uint8_t* rgb);
  // After the last row: the rest of the compressed data, then, with a
  // keyword, a text chunk of that keyword holding the CRC-32 of all the rows'
  // RGB bytes in 8 hexadecimal digits, and the end chunk.
  void Finish(const std::string& checkKeyword = {});

 private:
  void Deflate(const std::uint8_t* data, std::size_t size, int flush);
  void Chunk(const char* type, const std::uint8_t* data, std::size_t size);

  int width_;
  Sink sink_;
  z_stream stream_{};
  std::vector<std::uint8_t> filtered_;    // the filter byte and the filtered row
  std::vector<std::uint8_t> compressed_;  // the next data chunk, used_ bytes of it so far
  std::size_t used_ = 0;
  uLong pixelsCrc_ = crc32(0L, Z_NULL, 0);
};

// A CRC-32 in 8 lower-case hexadecimal digits, the most significant first,
// as the pixels' check chunk holds it.
std::string CrcText(std::uint32_t crc);

// A tEXt chunk, whole: length, type, keyword, a zero byte, the text, CRC.
std::vector<std::uint8_t> TextChunk(const std::string& keyword, const std::string& text);

}  // namespace tesvo
