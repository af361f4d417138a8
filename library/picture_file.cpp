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

// The largest picture that ownership is judged of: a full image is about
// half a megabyte.
constexpr std::size_t kLargestPicture = std::size_t{16} << 20;

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

std::optional<StagedFile> StagePictureFile(const std::string& base, const ImageRecord& record,
                                           const CountBuffer& counts) {
  const std::vector<Colour> colours = ComposeCounts(counts, record);
  if (colours.empty()) return std::nullopt;
  const std::string file = PictureFileName(base);
  const std::vector<std::uint8_t> png = EncodePicture(colours, record.Width(), record.Height(), record);
  if (png.empty()) throw FileError(FileStep::kWrite, file, ENOMEM);
  return StagedFile(file, ".png", png);
}

bool IsPictureOfParameterFile(const std::string& base) {
  // The record as reading takes it: whatever follows its 200 bytes is not
  // part of the image.
  const std::vector<std::uint8_t> record = FirstBytes(ParameterFileName(base), kRecordSize);
  if (record.size() != kRecordSize) return false;
  const std::vector<std::uint8_t> wanted = TextChunk(kRecordKeyword, Hexadecimal(record));
  // A picture Tesvo wrote is well under a megabyte; a program that keeps
  // text chunks may have moved the record's elsewhere among the chunks.
  const std::vector<std::uint8_t> png = FirstBytes(PictureFileName(base), kLargestPicture + 1);
  if (png.size() > kLargestPicture || png.size() < 8 || png_sig_cmp(png.data(), 0, 8) != 0) return false;
  for (std::size_t at = 8; png.size() - at >= 12;) {
    const std::uint32_t length =
        static_cast<std::uint32_t>(png[at]) << 24 | png[at + 1] << 16 | png[at + 2] << 8 | png[at + 3];
    if (length > png.size() - at - 12) return false;
    const std::size_t size = 12 + static_cast<std::size_t>(length);
    if (size == wanted.size() && std::equal(wanted.begin(), wanted.end(), png.begin() + at)) return true;
    if (std::equal(png.begin() + at + 4, png.begin() + at + 8, "IEND")) return false;
    at += size;
  }
  return false;
}

}  // namespace tesvo
