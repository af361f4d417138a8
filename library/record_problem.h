// Whether a parameter file holds an image the program itself could have
// written, before anything is read or drawn from it.
#pragma once

#include <optional>
#include <string>

#include "engine/image_record.h"

namespace tesvo {

// Why a parameter file cannot be shown (in Spanish, for the user), or nothing
// when it holds values that the program itself writes.
std::optional<std::string> RecordProblem(const ImageRecord& record);

}  // namespace tesvo
