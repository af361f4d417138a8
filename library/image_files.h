// The pair of files of a saved image: base + ".dat", the 200-byte record, and
// base + ".pix", the W x H counts as signed 16-bit little-endian values,
// column by column. Names resolve against the current directory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/image_record.h"
#include "library/file_writing.h"

namespace tesvo {

std::string ParameterFileName(const std::string& base);
std::string PixelFileName(const std::string& base);

bool ParameterFileExists(const std::string& base);

StagedFile StageParameterFile(const std::string& base, const ImageRecord& record);
StagedFile StagePixelFile(const std::string& base, const std::int16_t* counts, std::size_t countCount);

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
               PairPlacement placement);

// Writes the pixel file under a temporary name in the target folder and puts
// the pair in place as a new name with PlacePair under the folder's lock. A
// failure before that leaves the folder as it was. False when base + ".dat"
// exists. Throws FileError.
bool WritePair(const std::string& base, const ImageRecord& record, const std::int16_t* counts,
               std::size_t countCount);

// Replaces base + ".pix", through a temporary file, while base + ".dat" holds
// record; false, with nothing written, when another process has changed or
// removed the pair since it was read. Throws FileError.
bool WritePixelFileOf(const std::string& base, const ImageRecord& record, const std::int16_t* counts,
                      std::size_t countCount);

// The record of base + ".dat", its first 200 bytes. Throws FileError when it
// cannot be opened or holds fewer.
ImageRecord ReadParameterFile(const std::string& base);

enum class PixelFileState { kRead, kMissing, kShort };

// Reads exactly countCount counts from base + ".pix" into counts. When the
// file is missing or shorter the buffer is left as it was. Throws FileError
// when it exists but cannot be read.
PixelFileState ReadPixelFile(const std::string& base, std::int16_t* counts, std::size_t countCount);

}  // namespace tesvo
