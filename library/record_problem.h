// Whether a parameter file holds an image the program itself could have
// written, before anything is read or drawn from it.
#pragma once

#include <optional>

#include "engine/image_record.h"

namespace tesvo {

// What a parameter file holds that the program never writes.
enum class RecordFault {
  kKind,
  kFormula,
  kMethod,
  kLimit,
  kLimitAbove5000,
  kBound,
  kGradation,
  kColours,
  kRectangle
};

// Why a parameter file cannot be shown, or nothing when it holds values that
// the program itself writes.
std::optional<RecordFault> RecordProblem(const ImageRecord& record);

}  // namespace tesvo
