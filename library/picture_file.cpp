#include "library/picture_file.h"

#include <png.h>
#include <sys/stat.h>
#include <zlib.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <optional>
#include <span>

#include "colour/recolour.h"
#include "library/file_error.h"
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

// At most the first size bytes of file; none when it is no plain file or
// cannot be read.
std::vector<std::uint8_t> FirstBytes(const std::string& file, std::size_t size) {
  try {
    return ReadFileStart(file, size);
  } catch (const FileError&) {
    return {};
  }
}

// The CRC-32 of the 8-bit RGB pixels, row by row, in hexadecimal.
std::string PixelsCheck(std::span<const std::uint8_t> rgb) {
  return CrcText(static_cast<std::uint32_t>(crc32_z(0L, rgb.data(), rgb.size())));
}

// Whether the pixels of png, decoded to 8-bit RGB, give that check.
bool PixelsGive(const std::vector<std::uint8_t>& png, const std::string& check) {
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&image, png.data(), png.size())) return false;
  image.format = PNG_FORMAT_RGB;
  std::vector<std::uint8_t> rgb(PNG_IMAGE_SIZE(image));
  const bool read = png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr) != 0;
  png_image_free(&image);
  return read && PixelsCheck(rgb) == check;
}

// A PNG of width x height, the record's chunk right after the header and the
// pixels' check before the end, into `sink`.
class PictureWriter {
 public:
  PictureWriter(const ImageRecord& record, std::int64_t width, std::int64_t height, PngWriter::Sink sink)
      : png_(static_cast<int>(width), static_cast<int>(height), kRecordKeyword, Hexadecimal(ToBytes(record)),
             std::move(sink)) {}

  void Row(const std::uint8_t* rgb) { png_.Row(rgb); }
  void Finish() { png_.Finish(kPixelsKeyword); }

 private:
  PngWriter png_;
};

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
  std::vector<std::uint8_t> png;
  PictureWriter picture(record, width, height, [&png](const std::uint8_t* bytes, std::size_t size) {
    png.insert(png.end(), bytes, bytes + size);
  });
  std::vector<std::uint8_t> rgb(3 * static_cast<std::size_t>(width));
  for (auto c = colours.begin(); c != colours.end();) {
    for (std::uint8_t* out = rgb.data(); out != rgb.data() + rgb.size(); out += 3, ++c) {
      out[0] = static_cast<std::uint8_t>(*c);
      out[1] = static_cast<std::uint8_t>(*c >> 8);
      out[2] = static_cast<std::uint8_t>(*c >> 16);
    }
    picture.Row(rgb.data());
  }
  picture.Finish();
  return png;
}

std::optional<StagedFile> StagePictureFile(const std::string& base, const ImageRecord& record,
                                           const CountBuffer& counts) {
  const std::vector<Colour> colours = ComposeCounts(counts, record);
  if (colours.empty()) return std::nullopt;
  const std::string file = PictureFileName(base);
  return StagedFile(file, ".png", EncodePicture(colours, record.Width(), record.Height(), record));
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

bool IsPictureOfParameterFile(const std::string& base) {
  // The record as reading takes it: whatever follows its 200 bytes is not
  // part of the image.
  const std::vector<std::uint8_t> record = FirstBytes(ParameterFileName(base), kRecordSize);
  if (record.size() != kRecordSize) return false;
  const std::vector<std::uint8_t> wanted = TextChunk(kRecordKeyword, Hexadecimal(record));
  // A picture Tesvo wrote is well under a megabyte; a program that keeps
  // text chunks may have moved them elsewhere among the chunks.
  const std::vector<std::uint8_t> png = FirstBytes(PictureFileName(base), kLargestPicture + 1);
  if (png.size() > kLargestPicture || png.size() < 8 || png_sig_cmp(png.data(), 0, 8) != 0) return false;
  const std::string checkStart = std::string(kPixelsKeyword) + '\0';
  bool ofRecord = false;
  std::optional<std::string> check;
  for (std::size_t at = 8; png.size() - at >= 12;) {
    const std::uint32_t length =
        static_cast<std::uint32_t>(png[at]) << 24 | png[at + 1] << 16 | png[at + 2] << 8 | png[at + 3];
    if (length > png.size() - at - 12) return false;
    const auto data = png.begin() + static_cast<std::ptrdiff_t>(at + 8);
    if (12 + std::size_t{length} == wanted.size() &&
        std::equal(wanted.begin(), wanted.end(), png.begin() + at))
      ofRecord = true;
    else if (std::equal(png.begin() + at + 4, png.begin() + at + 8, "tEXt") && length > checkStart.size() &&
             std::equal(checkStart.begin(), checkStart.end(), data))
      check.emplace(data + static_cast<std::ptrdiff_t>(checkStart.size()), data + length);
    if (std::equal(png.begin() + at + 4, png.begin() + at + 8, "IEND")) break;
    at += 12 + std::size_t{length};
  }
  // A picture edited by another program that kept the chunks has other
  // pixels: it is the user's now. Pictures saved before they carried the
  // check are told by the record alone.
  return ofRecord && (!check || PixelsGive(png, *check));
}

}  // namespace tesvo
