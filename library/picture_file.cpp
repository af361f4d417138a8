#include "library/picture_file.h"

#include <png.h>
#include <sys/stat.h>

#include <algorithm>
#include <span>

#include "colour/recolour.h"
#include "library/file_error.h"
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

std::string RecordText(const ImageRecord& record) { return Hexadecimal(ToBytes(record)); }

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

// A PNG of width x height streamed into a temporary file beside `file`.
class PictureStream {
 public:
  PictureStream(const std::string& file, const ImageRecord& record, std::int64_t width, std::int64_t height)
      : out_(file, ".png"),
        png_(static_cast<int>(width), static_cast<int>(height), kRecordKeyword, RecordText(record),
             [this](const std::uint8_t* bytes, std::size_t size) { out_.Write(bytes, size); }) {}

  void Row(const std::uint8_t* rgb) { png_.Row(rgb); }
  void Commit() {
    png_.Finish();
    out_.Commit();
  }

 private:
  StreamedFile out_;
  PngWriter png_;
};

}  // namespace

std::string PictureFileName(const std::string& base) { return base + ".png"; }

bool PictureFileExists(const std::string& base) {
  struct stat info;
  return ::lstat(PictureFileName(base).c_str(), &info) == 0;
}

void WritePictureFile(const std::string& base, const ImageRecord& record, const CountBuffer& counts) {
  const std::vector<Colour> colours = ComposeCounts(counts, record);
  if (colours.empty()) return;
  const std::int64_t w = record.Width();
  PictureStream picture(PictureFileName(base), record, w, record.Height());
  std::vector<std::uint8_t> rgb(3 * static_cast<std::size_t>(w));
  for (auto c = colours.begin(); c != colours.end();) {
    for (std::uint8_t* out = rgb.data(); out != rgb.data() + rgb.size(); out += 3, ++c) {
      out[0] = static_cast<std::uint8_t>(*c);
      out[1] = static_cast<std::uint8_t>(*c >> 8);
      out[2] = static_cast<std::uint8_t>(*c >> 16);
    }
    picture.Row(rgb.data());
  }
  picture.Commit();
}

bool WriteScaledPicture(const std::string& file, const ImageRecord& record, const Palette& palette,
                        PictureSize size, const RenderSettings& settings) {
  if (!CanRenderPicture(record, size)) return false;
  PictureStream picture(file, record, PictureWidth(record, size), PictureHeight(record, size));
  if (!RenderPicture(record, palette, size, settings, [&](const std::uint8_t* rgb) { picture.Row(rgb); }))
    return false;
  picture.Commit();
  return true;
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
