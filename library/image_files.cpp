#include "library/image_files.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <optional>
#include <type_traits>
#include <vector>

#include "library/file_calls.h"
#include "library/file_error.h"
#include "library/file_reading.h"
#include "library/folder_lock.h"

namespace tesvo {
namespace {

// Little-endian, each count in `size` bytes.
template <class Count>
std::vector<std::uint8_t> PixelBytes(const Count* counts, std::size_t countCount) {
  constexpr std::size_t size = sizeof(Count);
  std::vector<std::uint8_t> pixels(size * countCount);
  for (std::size_t i = 0; i < countCount; ++i) {
    const auto value = static_cast<std::make_unsigned_t<Count>>(counts[i]);
    for (std::size_t b = 0; b < size; ++b) pixels[size * i + b] = static_cast<std::uint8_t>(value >> (8 * b));
  }
  return pixels;
}

template <class Count>
PixelFileState ReadCounts(const std::string& base, Count* counts, std::size_t countCount) {
  constexpr std::size_t size = sizeof(Count);
  const std::optional<std::vector<std::uint8_t>> bytes =
      ReadFileStartIfPresent(PixelFileName(base), size * countCount);
  if (!bytes) return PixelFileState::kMissing;
  if (bytes->size() != size * countCount) return PixelFileState::kShort;
  for (std::size_t i = 0; i < countCount; ++i) {
    std::make_unsigned_t<Count> value = 0;
    for (std::size_t b = 0; b < size; ++b)
      value |= static_cast<std::make_unsigned_t<Count>>((*bytes)[size * i + b]) << (8 * b);
    counts[i] = static_cast<Count>(value);
  }
  return PixelFileState::kRead;
}

}  // namespace

std::string ParameterFileName(const std::string& base) { return base + ".dat"; }
std::string PixelFileName(const std::string& base) { return base + ".pix"; }

bool ParameterFileExists(const std::string& base) {
  struct stat info;
  return ::stat(ParameterFileName(base).c_str(), &info) == 0;
}

std::vector<std::uint8_t> ParameterFileBytes(const ImageRecord& record, const DeepPlace& place) {
  ImageRecord stored = record;
  if (!place.Empty()) stored.kind = kDeepKind;
  const RecordBytes bytes = ToBytes(stored);
  std::vector<std::uint8_t> file(bytes.begin(), bytes.end());
  if (!place.Empty()) {
    const std::string line = PlaceText(place);
    file.insert(file.end(), line.begin(), line.end());
  }
  return file;
}

StagedFile StageParameterFile(const std::string& base, const ImageRecord& record, const DeepPlace& place) {
  return StagedFile(ParameterFileName(base), ".dat", ParameterFileBytes(record, place));
}

StagedFile StagePixelFile(const std::string& base, const std::int16_t* counts, std::size_t countCount) {
  return StagedFile(PixelFileName(base), ".pix", PixelBytes(counts, countCount));
}

StagedFile StagePixelFile(const std::string& base, const PixelCounts& counts) {
  return counts.wide != nullptr
             ? StagedFile(PixelFileName(base), ".pix", PixelBytes(counts.wide, counts.count))
             : StagePixelFile(base, counts.narrow, counts.count);
}

bool PlacePair(const std::string& base, const ImageRecord& record, StagedFile& pixels,
               PairPlacement placement, const DeepPlace& place) {
  if (placement == PairPlacement::kNewName && ParameterFileExists(base)) return false;
  // Staged only now, so that no more than two temporary files ever exist.
  StagedFile parameters = StageParameterFile(base, record, place);
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

bool WritePixelFileOf(const std::string& base, const ImageRecord& record, const PixelCounts& counts,
                      const DeepPlace& place) {
  StagedFile pixels = StagePixelFile(base, counts);
  {
    const FolderLock lock(ParameterFileName(base), FolderLock::Mode::kExclusive);
    // The pair may have been deleted, or deleted and saved anew, by another
    // process since it was read.
    try {
      if (ReadImageBytes(base) != ParameterFileBytes(record, place)) return false;
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

std::vector<std::uint8_t> ReadImageBytes(const std::string& base) {
  std::vector<std::uint8_t> bytes;
  try {
    bytes = ReadFileStart(ParameterFileName(base), kMaxParameterFileSize);
  } catch (const FileError&) {
    return {};
  }
  if (bytes.size() < kRecordSize) return {};
  // Whatever follows a record of the other kinds is not part of its image.
  if (bytes[offsetof(ImageRecord, kind)] != static_cast<std::uint8_t>(kDeepKind)) bytes.resize(kRecordSize);
  return bytes;
}

SavedRecord ReadSavedRecord(const std::string& base) { return ReadSavedRecordFile(ParameterFileName(base)); }

SavedRecord ReadSavedRecordFile(const std::string& file) {
  SavedRecord saved;
  const std::vector<std::uint8_t> bytes = ReadFileStart(file, kMaxParameterFileSize);
  if (bytes.size() < kRecordSize) throw FileError(FileStep::kRead, file, kWrongSize);
  RecordBytes record{};
  std::copy(bytes.begin(), bytes.begin() + kRecordSize, record.begin());
  saved.record = FromBytes(record);
  if (saved.record.kind != kDeepKind) return saved;
  const std::optional<DeepPlace> place =
      ParsePlaceText(std::string(bytes.begin() + kRecordSize, bytes.end()));
  saved.placeRead = place.has_value();
  if (place) {
    saved.place = *place;
    saved.record.kind = kMandelbrotKind;
  }
  return saved;
}

PixelFileState ReadPixelFile(const std::string& base, std::int16_t* counts, std::size_t countCount) {
  return ReadCounts(base, counts, countCount);
}

PixelFileState ReadWidePixelFile(const std::string& base, std::uint32_t* counts, std::size_t countCount) {
  return ReadCounts(base, counts, countCount);
}

}  // namespace tesvo
