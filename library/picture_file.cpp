#include "library/picture_file.h"

#include <png.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstring>
#include <optional>
#include <span>

#include "colour/compose.h"
#include "colour/palette.h"
#include "library/file_calls.h"
#include "library/file_error.h"
#include "library/file_reading.h"
#include "library/file_writing.h"
#include "library/folder_lock.h"
#include "library/image_files.h"
#include "library/png_writer.h"

namespace tesvo {
namespace {

std::string Hexadecimal(std::span<const std::uint8_t> bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string text;
  for (std::uint8_t byte : bytes) {
    text += kDigits[byte >> 4];
    text += kDigits[byte & 0xF];
  }
  return text;
}

// libpng's read callback: the next bytes from the FileReader. A failure
// jumps back through png_error, with no C++ object left to destroy.
void ReadPictureBytes(png_structp png, png_bytep data, png_size_t size) {
  bool read = false;
  try {
    read = static_cast<FileReader*>(png_get_io_ptr(png))->Read(data, size) == size;
  } catch (const FileError&) {
  }
  if (!read) png_error(png, "read");
}

void IgnoreWarning(png_structp, png_const_charp) {}

// Whether the pixels of the PNG file, decoded row by row to 8-bit RGB, give
// that check; one row is held at a time, whatever the picture's size. An
// interlaced picture, which Tesvo never writes, answers false.
bool PixelsGive(const std::string& file, const std::string& check) {
  std::optional<FileReader> reader;
  try {
    reader.emplace(file);
  } catch (const FileError&) {
    return false;
  }
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, IgnoreWarning);
  if (png == nullptr) return false;
  png_infop info = png_create_info_struct(png);
  std::vector<std::uint8_t> row;
  uLong crc = crc32(0L, Z_NULL, 0);
  // Every object the jump of a libpng error could skip lives above this line.
  if (info == nullptr || setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    return false;
  }
  png_set_read_fn(png, &*reader, ReadPictureBytes);
  png_read_info(png, info);
  bool read = png_get_interlace_type(png, info) == PNG_INTERLACE_NONE;
  if (read) {
    png_set_expand(png);
    png_set_strip_16(png);
    png_set_gray_to_rgb(png);
    png_set_strip_alpha(png);
    png_read_update_info(png, info);
    const png_uint_32 width = png_get_image_width(png, info);
    read = png_get_rowbytes(png, info) == std::size_t{width} * 3;
    row.resize(std::size_t{width} * 3);
  }
  for (png_uint_32 y = 0; read && y < png_get_image_height(png, info); ++y) {
    png_read_row(png, row.data(), nullptr);
    crc = crc32_z(crc, row.data(), row.size());
  }
  png_destroy_read_struct(&png, &info, nullptr);
  return read && CrcText(static_cast<std::uint32_t>(crc)) == check;
}

// The chunks of a PNG file, walked without decoding: whether one is exactly
// the wanted chunk, bytes and CRC, and the text of the pixels' check chunk.
struct PictureChunks {
  bool ofRecord = false;
  std::optional<std::string> check;
};

std::optional<PictureChunks> ReadChunks(const std::string& file, const std::vector<std::uint8_t>& wanted) {
  try {
    FileReader reader(file);
    std::uint8_t signature[8];
    if (reader.Read(signature, 8) != 8 || png_sig_cmp(signature, 0, 8) != 0) return std::nullopt;
    const std::string checkStart = std::string(kPixelsKeyword) + '\0';
    // Text chunks longer than this are neither of the two.
    constexpr std::uint32_t kLongestText = 4096;
    PictureChunks chunks;
    std::vector<std::uint8_t> chunk;
    for (;;) {
      std::uint8_t header[8];
      if (reader.Read(header, 8) != 8) return std::nullopt;
      const std::uint32_t length =
          static_cast<std::uint32_t>(header[0]) << 24 | header[1] << 16 | header[2] << 8 | header[3];
      const bool text = std::equal(header + 4, header + 8, "tEXt");
      if (std::equal(header + 4, header + 8, "IEND")) return chunks;
      if (!text || length > kLongestText) {
        if (!reader.Skip(std::uint64_t{length} + 4)) return std::nullopt;
        continue;
      }
      chunk.assign(header, header + 8);
      chunk.resize(12 + std::size_t{length});
      if (reader.Read(chunk.data() + 8, length + 4) != length + 4) return std::nullopt;
      const auto data = chunk.begin() + 8;
      if (chunk == wanted)
        chunks.ofRecord = true;
      else if (length > checkStart.size() && std::equal(checkStart.begin(), checkStart.end(), data))
        chunks.check.emplace(data + static_cast<std::ptrdiff_t>(checkStart.size()), data + length);
    }
  } catch (const FileError&) {
    return std::nullopt;
  }
}

// A PNG of width x height, the record's chunk right after the header and the
// pixels' check before the end, into `sink`.
class PictureWriter {
 public:
  PictureWriter(const std::vector<std::uint8_t>& parameterBytes, std::int64_t width, std::int64_t height,
                PngWriter::Sink sink)
      : png_(static_cast<int>(width), static_cast<int>(height), kRecordKeyword, Hexadecimal(parameterBytes),
             std::move(sink)) {}
  PictureWriter(const ImageRecord& record, std::int64_t width, std::int64_t height, PngWriter::Sink sink)
      : PictureWriter(ParameterFileBytes(record), width, height, std::move(sink)) {}

  void Row(const std::uint8_t* rgb) { png_.Row(rgb); }
  void Finish() { png_.Finish(kPixelsKeyword); }

 private:
  PngWriter png_;
};

}  // namespace

std::string PictureFileName(const std::string& base) { return base + ".png"; }

bool PictureFileExists(const std::string& base) {
  struct stat info;
  return ::lstat(PictureFileName(base).c_str(), &info) == 0;
}

std::vector<std::uint8_t> EncodePicture(const std::vector<Colour>& colours, int width, int height,
                                        const ImageRecord& record, const DeepPlace& place) {
  std::vector<std::uint8_t> png;
  PictureWriter picture(
      ParameterFileBytes(record, place), width, height,
      [&png](const std::uint8_t* bytes, std::size_t size) { png.insert(png.end(), bytes, bytes + size); });
  std::vector<std::uint8_t> rgb(3 * static_cast<std::size_t>(width));
  for (auto c = colours.begin(); c != colours.end();) {
    for (std::uint8_t* out = rgb.data(); out != rgb.data() + rgb.size(); out += 3, ++c) PutRgb(*c, out);
    picture.Row(rgb.data());
  }
  picture.Finish();
  return png;
}

std::optional<StagedFile> StagePictureFile(const std::string& base, const ImageRecord& record,
                                           const CountBuffer& counts, const Palette& palette) {
  const std::vector<Colour> colours = ComposeCounts(counts, record, palette);
  if (colours.empty()) return std::nullopt;
  const std::string file = PictureFileName(base);
  return StagedFile(file, ".png", EncodePicture(colours, record.Width(), record.Height(), record));
}

StagedFile StageDeepPictureFile(const std::string& base, const ImageRecord& record, const DeepPlace& place,
                                const std::vector<Colour>& colours) {
  return StagedFile(PictureFileName(base), ".png",
                    EncodePicture(colours, static_cast<int>(record.Width()),
                                  static_cast<int>(record.Height()), record, place));
}

bool WriteScaledPicture(const std::string& file, const ImageRecord& record, const Palette& palette,
                        PictureSize size, const RenderSettings& settings, bool onlyIfFree) {
  if (!CanRenderPicture(record, size)) return false;
  StreamedFile out(file, ".png");
  PictureWriter picture(record, PictureWidth(record, size), PictureHeight(record, size),
                        [&out](const std::uint8_t* bytes, std::size_t length) { out.Write(bytes, length); });
  if (!RenderPicture(record, palette, size, settings, [&](const std::uint8_t* rgb) { picture.Row(rgb); }))
    return false;
  picture.Finish();
  if (!onlyIfFree) {
    out.Commit();
    return true;
  }
  // Another process's save or the user may have put a file there while the
  // picture was computed: it is never replaced.
  const FolderLock lock(file, FolderLock::Mode::kExclusive);
  return out.CommitIfFree();
}

bool WriteScaledPictureInto(int fd, const std::string& name, const ImageRecord& record,
                            const Palette& palette, PictureSize size, const RenderSettings& settings) {
  if (!CanRenderPicture(record, size)) return false;
  PictureWriter picture(record, PictureWidth(record, size), PictureHeight(record, size),
                        [&](const std::uint8_t* bytes, std::size_t length) {
                          if (!file_calls::WriteAll(fd, name.c_str(), bytes, length))
                            throw FileError(FileStep::kWrite, name, errno);
                        });
  if (!RenderPicture(record, palette, size, settings, [&](const std::uint8_t* rgb) { picture.Row(rgb); }))
    return false;
  picture.Finish();
  return true;
}

bool IsPictureOfParameterFile(const std::string& base) {
  // The record as reading takes it, and a deep image's place: whatever
  // follows is not part of the image.
  const std::vector<std::uint8_t> record = ReadImageBytes(base);
  if (record.empty()) return false;
  // A program that keeps text chunks may have moved them elsewhere among the
  // chunks; a picture edited by one has other pixels and is the user's now.
  // Pictures saved before they carried the check are told by the record alone.
  const std::string file = PictureFileName(base);
  const std::optional<PictureChunks> chunks =
      ReadChunks(file, TextChunk(kRecordKeyword, Hexadecimal(record)));
  return chunks && chunks->ofRecord && (!chunks->check || PixelsGive(file, *chunks->check));
}

}  // namespace tesvo
