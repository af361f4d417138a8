// The picture of a saved image, base + ".png": the image's W x H block as the
// big picture shows it, each pixel Palette[count], or the same picture K
// times as large, carrying the image's 200-byte record in a text chunk so
// that the picture keeps its parameters.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "colour/scaled_picture.h"
#include "engine/buffers.h"
#include "engine/deep_image.h"
#include "engine/image_record.h"
#include "library/file_writing.h"

namespace tesvo {

// Keyword of the text chunk; its text is the parameter file's 200 bytes as
// 400 lower-case hexadecimal digits, followed by a deep image's place line.
inline constexpr const char* kRecordKeyword = "Tesvo.dat";
// Keyword of the text chunk that checks the pixels: the CRC-32 of the 8-bit
// RGB pixels, row by row, as 8 lower-case hexadecimal digits.
inline constexpr const char* kPixelsKeyword = "Tesvo.rgb";

std::string PictureFileName(const std::string& base);

// Anything under that name: a file, a link, a folder.
bool PictureFileExists(const std::string& base);

// The bytes of a PNG file, 8-bit RGB: pixel (x, y) is colours[y * width + x].
std::vector<std::uint8_t> EncodePicture(const std::vector<Colour>& colours, int width, int height,
                                        const ImageRecord& record, const DeepPlace& place = {});

// The picture base + ".png" of the counts of record's rectangle through
// palette, written under a temporary name for the caller to put in place;
// nothing for a rectangle the CountBuffer cannot hold. Throws FileError.
std::optional<StagedFile> StagePictureFile(const std::string& base, const ImageRecord& record,
                                           const CountBuffer& counts, const Palette& palette);

// The picture base + ".png" of a deep image from its W x H colours, row by
// row, under a temporary name for the caller to put in place.
StagedFile StageDeepPictureFile(const std::string& base, const ImageRecord& record, const DeepPlace& place,
                                const std::vector<Colour>& colours);

// Writes `file` (the whole name) with the picture of record at that size,
// computed again through palette, through a temporary file. False, with
// nothing written, when the settings' progress stopped it or CanRenderPicture
// refuses the record, and with `onlyIfFree` when a file has come under that
// name meanwhile, which is then left as it is. Throws FileError, before any
// computing when the file's folder cannot take it.
bool WriteScaledPicture(const std::string& file, const ImageRecord& record, const Palette& palette,
                        PictureSize size, const RenderSettings& settings = {}, bool onlyIfFree = false);

// The same picture written straight into an open descriptor (standard
// output, a pipe, a device), for which there is no temporary name: a stop
// leaves what was written. `name` names it in messages. Throws FileError.
bool WriteScaledPictureInto(int fd, const std::string& name, const ImageRecord& record,
                            const Palette& palette, PictureSize size, const RenderSettings& settings = {});

// Whether base + ".png" is the picture a save wrote of base + ".dat": among
// its chunks, wherever it stands, is the record chunk of exactly that file's
// record, its 200 bytes, CRC included, and its pixels are those it was
// written with. Pictures of any size are judged, a row at a time. Any
// failure answers false.
bool IsPictureOfParameterFile(const std::string& base);

}  // namespace tesvo
