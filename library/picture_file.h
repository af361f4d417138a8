// The picture of a saved image, base + ".png": the image's W x H block as the
// big picture shows it, each pixel Palette[count], or the same picture K
// times as large, carrying the image's 200-byte record in a text chunk so
// that the picture keeps its parameters.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/image_record.h"
#include "engine/program_state.h"
#include "engine/scaled_picture.h"

namespace tesvo {

// Keyword of the text chunk; its text is the parameter file's 200 bytes as
// 400 lower-case hexadecimal digits.
inline constexpr const char* kRecordKeyword = "Tesvo.dat";

std::string PictureFileName(const std::string& base);

// Anything under that name: a file, a link, a folder.
bool PictureFileExists(const std::string& base);

// Writes base + ".png" from the counts of record's rectangle through the
// Palette, atomically. A rectangle the CountBuffer cannot hold has no picture
// and writes nothing. Throws FileError.
void WritePictureFile(const std::string& base, const ImageRecord& record, const CountBuffer& counts);

// Writes `file` (the whole name) with the picture of record at that size,
// computed again through palette, atomically. False, with nothing written,
// when the settings' progress stopped it or CanRenderPicture refuses the
// record. Throws FileError, before any computing when the file's folder
// cannot take it.
bool WriteScaledPicture(const std::string& file, const ImageRecord& record, const Palette& palette,
                        PictureSize size, const RenderSettings& settings = {});

// Whether base + ".png" is the picture a save wrote of base + ".dat": its
// record chunk, right after the header, holds that file's bytes. Only the
// first few hundred bytes of each file are read; any failure answers false.
bool IsPictureOfParameterFile(const std::string& base);

}  // namespace tesvo
