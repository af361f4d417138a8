// Reading saved images back: the three reading commands of the "Leer ->" list
// and ReadImage, which shows an image from its pixel file or computes it again
// and stores the missing pixel file.
#pragma once

#include <optional>
#include <string>

#include "engine/image_record.h"
#include "engine/window.h"

namespace tesvo {

// Why a parameter file cannot be shown (in Spanish, for the user), or nothing
// when it holds values that the program itself writes.
std::optional<std::string> RecordProblem(const ImageRecord& record);

// Makes the image `name` the current one: formula, mode, slots and Palette
// follow it. A parameter file that RecordProblem refuses changes nothing and
// is reported. A missing pixel file, or one that is short or holds counts
// outside 0 to 5000, is rebuilt; the parameter file is never touched. Throws
// FileError.
void ReadImage(const std::string& name, Window& window);

// The list's commands. Each sets readIndex and reads that entry; with an
// empty list, or an index that designates no entry, they do nothing.
void ReadSelectedImage(Window& window, int index);
void ReadNextImage(Window& window);
void ReadPreviousImage(Window& window);

// The image a file manager hands the program (tesvo NAME.dat): the list's
// entry of that name where there is one, so that the next and previous
// buttons go on from it; otherwise the files of that name. A file that cannot
// be read or is refused is reported as by the list's commands.
void ReadNamedImage(Window& window, const std::string& name);

}  // namespace tesvo
