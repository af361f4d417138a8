// The pair of files of a saved image: base + ".dat", the 200-byte record, and
// base + ".pix", the W x H counts as signed 16-bit little-endian values,
// column by column. Names resolve against the current directory.
// A deep image's parameter file holds its record, of kind kDeepKind, and
// after it the line of its place; its pixel file holds unsigned 32-bit
// little-endian counts, column by column.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/deep_image.h"
#include "engine/image_record.h"
#include "library/file_writing.h"

namespace tesvo {

std::string ParameterFileName(const std::string& base);
std::string PixelFileName(const std::string& base);

bool ParameterFileExists(const std::string& base);

// The longest parameter file read: a record and a deep place's line.
inline constexpr std::size_t kMaxParameterFileSize = kRecordSize + 16384;

// The bytes of the parameter file of record at place: the record's 200, and
// for a place that is not empty the record as kDeepKind and the place's line.
std::vector<std::uint8_t> ParameterFileBytes(const ImageRecord& record, const DeepPlace& place = {});

// The counts of one image as its pixel file holds them: 16-bit counts of an
// image that doubles hold, or a deep image's 32-bit ones.
struct PixelCounts {
  const std::int16_t* narrow = nullptr;
  const std::uint32_t* wide = nullptr;
  std::size_t count = 0;
};

StagedFile StageParameterFile(const std::string& base, const ImageRecord& record,
                              const DeepPlace& place = {});
StagedFile StagePixelFile(const std::string& base, const std::int16_t* counts, std::size_t countCount);
StagedFile StagePixelFile(const std::string& base, const PixelCounts& counts);

enum class PairPlacement { kNewName, kReplace };

// The one way a pair is put in place: the caller holds the folder's lock and
// has staged the pixel file; the parameter file is staged here. The old pixel
// file goes first, then the parameter file takes the name, then the pixel
// file follows, so that an interruption leaves the old or the new parameter
// file, each with its own pixel file or none, which reading rebuilds. A new
// name is claimed in a step that never replaces a file, so that of two
// processes saving one name exactly one gets it: false, with nothing
// changed, when base + ".dat" exists. Throws FileError.
bool PlacePair(const std::string& base, const ImageRecord& record, StagedFile& pixels,
               PairPlacement placement, const DeepPlace& place = {});

// Writes the pixel file under a temporary name in the target folder and puts
// the pair in place as a new name with PlacePair under the folder's lock. A
// failure before that leaves the folder as it was. False when base + ".dat"
// exists. Throws FileError.
bool WritePair(const std::string& base, const ImageRecord& record, const std::int16_t* counts,
               std::size_t countCount);

// Replaces base + ".pix", through a temporary file, while base + ".dat" holds
// record (at place, for a deep image); false, with nothing written, when
// another process has changed or removed the pair since it was read. Throws
// FileError.
bool WritePixelFileOf(const std::string& base, const ImageRecord& record, const PixelCounts& counts,
                      const DeepPlace& place = {});

// The record of base + ".dat", its first 200 bytes. Throws FileError when it
// cannot be opened or holds fewer.
ImageRecord ReadParameterFile(const std::string& base);

// A parameter file as reading takes it: the record, and for a record of kind
// kDeepKind the place of the line after it, the record then taken as a
// Mandelbrot image's; `placeRead` false when that line is not a place.
struct SavedRecord {
  ImageRecord record;
  DeepPlace place;
  bool placeRead = true;
};
SavedRecord ReadSavedRecord(const std::string& base);
// The same of a parameter file under any name.
SavedRecord ReadSavedRecordFile(const std::string& file);

// The bytes of base + ".dat" that make its image: the record's 200, and a
// deep record's line. Empty when it cannot be read or is too short.
std::vector<std::uint8_t> ReadImageBytes(const std::string& base);

enum class PixelFileState { kRead, kMissing, kShort };

// Reads exactly countCount counts from base + ".pix" into counts. When the
// file is missing or shorter the buffer is left as it was. Throws FileError
// when it exists but cannot be read.
PixelFileState ReadPixelFile(const std::string& base, std::int16_t* counts, std::size_t countCount);
// The same of a deep image's 32-bit counts.
PixelFileState ReadWidePixelFile(const std::string& base, std::uint32_t* counts, std::size_t countCount);

}  // namespace tesvo
