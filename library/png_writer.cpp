#include "library/png_writer.h"

#include <new>
#include <stdexcept>
#include <utility>

namespace tesvo {
namespace {

constexpr std::uint8_t kSignature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

// Each row is filtered by its left neighbour ("Sub"): the large areas of one
// colour become runs of zeros, which run-length deflate at its fastest level
// compresses almost as well as its best, many times faster.
constexpr std::uint8_t kSubFilter = 1;
constexpr int kLevel = 1;
constexpr int kStrategy = Z_RLE;
// Compressed bytes gathered before they become one data chunk.
constexpr std::size_t kChunkData = 1 << 16;

void AppendBigEndian(std::vector<std::uint8_t>& bytes, std::uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) bytes.push_back(static_cast<std::uint8_t>(value >> shift));
}

std::vector<std::uint8_t> MakeChunk(const char* type, const std::uint8_t* data, std::size_t size) {
  std::vector<std::uint8_t> chunk;
  chunk.reserve(size + 12);
  AppendBigEndian(chunk, static_cast<std::uint32_t>(size));
  chunk.insert(chunk.end(), type, type + 4);
  chunk.insert(chunk.end(), data, data + size);
  const uLong crc = crc32(0L, chunk.data() + 4, static_cast<uInt>(size + 4));
  AppendBigEndian(chunk, static_cast<std::uint32_t>(crc));
  return chunk;
}

}  // namespace

std::string CrcText(std::uint32_t crc) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string text;
  for (int shift = 28; shift >= 0; shift -= 4) text += kDigits[(crc >> shift) & 0xF];
  return text;
}

std::vector<std::uint8_t> TextChunk(const std::string& keyword, const std::string& text) {
  std::vector<std::uint8_t> data(keyword.begin(), keyword.end());
  data.push_back(0);
  data.insert(data.end(), text.begin(), text.end());
  return MakeChunk("tEXt", data.data(), data.size());
}

PngWriter::PngWriter(int width, int height, const std::string& keyword, const std::string& text, Sink sink)
    : width_(width),
      sink_(std::move(sink)),
      filtered_(1 + 3 * static_cast<std::size_t>(width)),
      compressed_(kChunkData) {
  if (deflateInit2(&stream_, kLevel, Z_DEFLATED, 15, 8, kStrategy) != Z_OK) throw std::bad_alloc();
  // A sink that fails (a full disk) ends the constructor: the stream is
  // released here, as no destructor will run.
  try {
    sink_(kSignature, sizeof kSignature);
    std::vector<std::uint8_t> header;
    AppendBigEndian(header, static_cast<std::uint32_t>(width));
    AppendBigEndian(header, static_cast<std::uint32_t>(height));
    header.insert(header.end(), {8, 2, 0, 0, 0});  // 8 bits, RGB, deflate, filters, no interlace
    Chunk("IHDR", header.data(), header.size());
    const std::vector<std::uint8_t> textChunk = TextChunk(keyword, text);
    sink_(textChunk.data(), textChunk.size());
  } catch (...) {
    deflateEnd(&stream_);
    throw;
  }
}

PngWriter::~PngWriter() { deflateEnd(&stream_); }

void PngWriter::Row(const std::uint8_t* rgb) {
  std::uint8_t* out = filtered_.data();
  out[0] = kSubFilter;
  const std::size_t bytes = 3 * static_cast<std::size_t>(width_);
  for (std::size_t i = 0; i < bytes && i < 3; ++i) out[1 + i] = rgb[i];
  for (std::size_t i = 3; i < bytes; ++i) out[1 + i] = static_cast<std::uint8_t>(rgb[i] - rgb[i - 3]);
  Deflate(out, filtered_.size(), Z_NO_FLUSH);
  pixelsCrc_ = crc32_z(pixelsCrc_, rgb, bytes);
}

void PngWriter::Finish(const std::string& checkKeyword) {
  Deflate(nullptr, 0, Z_FINISH);
  if (used_ > 0) Chunk("IDAT", compressed_.data(), used_);
  used_ = 0;
  if (!checkKeyword.empty()) {
    const std::vector<std::uint8_t> checkChunk =
        TextChunk(checkKeyword, CrcText(static_cast<std::uint32_t>(pixelsCrc_)));
    sink_(checkChunk.data(), checkChunk.size());
  }
  Chunk("IEND", nullptr, 0);
}

void PngWriter::Deflate(const std::uint8_t* data, std::size_t size, int flush) {
  stream_.next_in = const_cast<Bytef*>(data);
  stream_.avail_in = static_cast<uInt>(size);
  for (;;) {
    stream_.next_out = compressed_.data() + used_;
    stream_.avail_out = static_cast<uInt>(compressed_.size() - used_);
    const int result = deflate(&stream_, flush);
    used_ = compressed_.size() - stream_.avail_out;
    if (used_ == compressed_.size()) {
      Chunk("IDAT", compressed_.data(), used_);
      used_ = 0;
    }
    if (flush == Z_FINISH ? result == Z_STREAM_END : stream_.avail_in == 0 && stream_.avail_out != 0) break;
    if (result == Z_STREAM_ERROR) throw std::logic_error("deflate");
  }
}

void PngWriter::Chunk(const char* type, const std::uint8_t* data, std::size_t size) {
  const std::vector<std::uint8_t> chunk = MakeChunk(type, data, size);
  sink_(chunk.data(), chunk.size());
}

}  // namespace tesvo
