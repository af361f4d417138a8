// The pair of files of a saved image: base + ".dat", the 200-byte record, and
// base + ".pix", the W x H counts as signed 16-bit little-endian values,
// column by column. Names resolve against the current directory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/image_record.h"

namespace tesvo {

std::string ParameterFileName(const std::string& base);
std::string PixelFileName(const std::string& base);

bool ParameterFileExists(const std::string& base);

// Writes both files under temporary names in the target folder and renames
// them into place, the pixel file first: a failure at any step leaves the
// files that were there before untouched. Throws FileError.
void WritePair(const std::string& base, const ImageRecord& record, const std::int16_t* counts,
               std::size_t countCount);

// Replaces base + ".pix" alone, through a temporary file as WritePair does.
// Throws FileError.
void WritePixelFile(const std::string& base, const std::int16_t* counts, std::size_t countCount);

// Replaces file with bytes through a temporary file in its folder, flushed to
// disk before the rename. Throws FileError.
void WriteFileAtomically(const std::string& file, const std::vector<std::uint8_t>& bytes);

// The record of base + ".dat", its first 200 bytes. Throws FileError when it
// cannot be opened or holds fewer.
ImageRecord ReadParameterFile(const std::string& base);

// Reads exactly countCount counts from base + ".pix" into counts. False when
// the file is missing or shorter; the buffer is left as it was then. Throws
// FileError when it exists but cannot be read.
bool ReadPixelFile(const std::string& base, std::int16_t* counts, std::size_t countCount);

// A file that is already gone is no error; any other failure throws FileError.
void RemoveIfPresent(const std::string& file);
void RenameIfPresent(const std::string& from, const std::string& to);

}  // namespace tesvo
