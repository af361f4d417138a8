#include "library/image_files.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <optional>
#include <vector>

#include "library/file_calls.h"
#include "library/file_error.h"
#include "library/file_reading.h"
#include "library/folder_lock.h"

namespace tesvo {
namespace {

std::vector<std::uint8_t> PixelBytes(const std::int16_t* counts, std::size_t countCount) {
  std::vector<std::uint8_t> pixels(2 * countCount);
  for (std::size_t i = 0; i < countCount; ++i) {
    const auto value = static_cast<std::uint16_t>(counts[i]);
    pixels[2 * i] = static_cast<std::uint8_t>(value);
    pixels[2 * i + 1] = static_cast<std::uint8_t>(value >> 8);
  }
  return pixels;
}

}  // namespace

std::string ParameterFileName(const std::string& base) { return base + ".dat"; }
std::string PixelFileName(const std::string& base) { return base + ".pix"; }

bool ParameterFileExists(const std::string& base) {
  struct stat info;
  return ::stat(ParameterFileName(base).c_str(), &info) == 0;
}

StagedFile StageParameterFile(const std::string& base, const ImageRecord& record) {
  const RecordBytes bytes = ToBytes(record);
  return StagedFile(ParameterFileName(base), ".dat", {bytes.begin(), bytes.end()});
}

StagedFile StagePixelFile(const std::string& base, const std::int16_t* counts, std::size_t countCount) {
  return StagedFile(PixelFileName(base), ".pix", PixelBytes(counts, countCount));
}

bool PlacePair(const std::string& base, const ImageRecord& record, StagedFile& pixels,
               PairPlacement placement) {
  if (placement == PairPlacement::kNewName && ParameterFileExists(base)) return false;
  // Staged only now, so that no more than two temporary files ever exist.
  StagedFile parameters = StageParameterFile(base, record);
  // The old pixel file goes before the parameter file changes, so that the
  // pair never shows another image's counts, even for a moment. A new name
  // reports the failure as its pixel file not written.
  const std::string pixelFile = PixelFileName(base);
  if (file_calls::Remove(pixelFile.c_str()) != 0 && errno != ENOENT)
    throw FileError(placement == PairPlacement::kReplace ? FileStep::kRemove : FileStep::kWrite, pixelFile,
                    errno);
  if (placement == PairPlacement::kReplace)
    parameters.Commit();
  else if (!parameters.CommitIfFree())
    return false;
  pixels.Commit();
  return true;
}

bool WritePair(const std::string& base, const ImageRecord& record, const std::int16_t* counts,
               std::size_t countCount) {
  StagedFile pixels = StagePixelFile(base, counts, countCount);
  bool written;
  {
    const FolderLock lock(ParameterFileName(base), FolderLock::Mode::kExclusive);
    written = PlacePair(base, record, pixels, PairPlacement::kNewName);
  }
  if (written) SyncFolderOf(ParameterFileName(base));
  return written;
}

bool WritePixelFileOf(const std::string& base, const ImageRecord& record, const std::int16_t* counts,
                      std::size_t countCount) {
  StagedFile pixels = StagePixelFile(base, counts, countCount);
  {
    const FolderLock lock(ParameterFileName(base), FolderLock::Mode::kExclusive);
    // The pair may have been deleted, or deleted and saved anew, by another
    // process since it was read.
    try {
      if (!SameBytes(ReadParameterFile(base), record)) return false;
    } catch (const FileError&) {
      return false;
    }
    pixels.Commit();
  }
  SyncFolderOf(PixelFileName(base));
  return true;
}

ImageRecord ReadParameterFile(const std::string& base) {
  const std::string file = ParameterFileName(base);
  // Whatever follows the record is not read, as it never was.
  const std::vector<std::uint8_t> start = ReadFileStart(file, kRecordSize);
  if (start.size() != kRecordSize) throw FileError(FileStep::kRead, file, kWrongSize);
  RecordBytes bytes{};
  std::copy(start.begin(), start.end(), bytes.begin());
  return FromBytes(bytes);
}

PixelFileState ReadPixelFile(const std::string& base, std::int16_t* counts, std::size_t countCount) {
  const std::optional<std::vector<std::uint8_t>> bytes =
      ReadFileStartIfPresent(PixelFileName(base), 2 * countCount);
  if (!bytes) return PixelFileState::kMissing;
  if (bytes->size() != 2 * countCount) return PixelFileState::kShort;
  for (std::size_t i = 0; i < countCount; ++i)
    counts[i] =
        static_cast<std::int16_t>(static_cast<std::uint16_t>((*bytes)[2 * i] | (*bytes)[2 * i + 1] << 8));
  return PixelFileState::kRead;
}

}  // namespace tesvo
