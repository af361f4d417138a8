#include "library/picture_file.h"

#include <png.h>
#include <sys/stat.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <span>

#include "colour/recolour.h"
#include "library/file_error.h"
#include "library/image_files.h"

namespace tesvo {
namespace {

void AppendBigEndian(std::vector<std::uint8_t>& bytes, std::uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) bytes.push_back(static_cast<std::uint8_t>(value >> shift));
}

// A tEXt chunk: length, type, keyword, a zero byte, the text, and the CRC of
// type and data.
std::vector<std::uint8_t> TextChunk(const std::string& keyword, const std::string& text) {
  std::vector<std::uint8_t> chunk;
  AppendBigEndian(chunk, static_cast<std::uint32_t>(keyword.size() + 1 + text.size()));
  for (char c : std::string("tEXt") + keyword + '\0' + text) chunk.push_back(static_cast<std::uint8_t>(c));
  const uLong crc = crc32(0L, chunk.data() + 4, static_cast<uInt>(chunk.size() - 4));
  AppendBigEndian(chunk, static_cast<std::uint32_t>(crc));
  return chunk;
}

std::string Hexadecimal(std::span<const std::uint8_t> bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string text;
  for (std::uint8_t byte : bytes) {
    text += kDigits[byte >> 4];
    text += kDigits[byte & 0xF];
  }
  return text;
}

// At most the first size bytes of file; none when it is no plain file or
// cannot be read.
std::vector<std::uint8_t> FirstBytes(const std::string& file, std::size_t size) {
  try {
    return ReadFileStart(file, size);
  } catch (const FileError&) {
    return {};
  }
}

// The PNG signature and the header chunk, 33 bytes, precede the record chunk.
constexpr std::size_t kRecordChunkOffset = 33;

}  // namespace

std::string PictureFileName(const std::string& base) { return base + ".png"; }

bool PictureFileExists(const std::string& base) {
  struct stat info;
  return ::lstat(PictureFileName(base).c_str(), &info) == 0;
}

std::vector<std::uint8_t> EncodePicture(const std::vector<Colour>& colours, int width, int height,
                                        const ImageRecord& record) {
  std::vector<std::uint8_t> rgb(colours.size() * 3);
  for (std::size_t i = 0; i < colours.size(); ++i) {
    rgb[3 * i] = static_cast<std::uint8_t>(colours[i]);
    rgb[3 * i + 1] = static_cast<std::uint8_t>(colours[i] >> 8);
    rgb[3 * i + 2] = static_cast<std::uint8_t>(colours[i] >> 16);
  }
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  image.width = static_cast<png_uint_32>(width);
  image.height = static_cast<png_uint_32>(height);
  image.format = PNG_FORMAT_RGB;
  std::vector<std::uint8_t> png(PNG_IMAGE_PNG_SIZE_MAX(image));
  png_alloc_size_t size = png.size();
  if (!png_image_write_to_memory(&image, png.data(), &size, 0, rgb.data(), 0, nullptr)) {
    png_image_free(&image);
    return {};
  }
  png.resize(size);
  // The simplified writer has no text chunks: the record goes in right after
  // the header chunk.
  const std::vector<std::uint8_t> text = TextChunk(kRecordKeyword, Hexadecimal(ToBytes(record)));
  png.insert(png.begin() + kRecordChunkOffset, text.begin(), text.end());
  return png;
}

void WritePictureFile(const std::string& base, const ImageRecord& record, const CountBuffer& counts) {
  const std::vector<Colour> colours = ComposeCounts(counts, record);
  if (colours.empty()) return;
  const std::string file = PictureFileName(base);
  const std::vector<std::uint8_t> png = EncodePicture(colours, record.Width(), record.Height(), record);
  if (png.empty()) throw FileError(FileStep::kWrite, file, ENOMEM);
  WriteFileAtomically(file, png);
}

bool IsPictureOfParameterFile(const std::string& base) {
  const std::vector<std::uint8_t> record = FirstBytes(ParameterFileName(base), kRecordSize + 1);
  if (record.size() != kRecordSize) return false;
  const std::vector<std::uint8_t> chunk = TextChunk(kRecordKeyword, Hexadecimal(record));
  const std::vector<std::uint8_t> start =
      FirstBytes(PictureFileName(base), kRecordChunkOffset + chunk.size());
  return start.size() == kRecordChunkOffset + chunk.size() && png_sig_cmp(start.data(), 0, 8) == 0 &&
         std::equal(chunk.begin(), chunk.end(), start.begin() + kRecordChunkOffset);
}

}  // namespace tesvo
