// Whether a parameter file holds an image the program itself could have
// written, before anything is read or drawn from it.
#pragma once

#include <optional>

#include "engine/deep_image.h"
#include "engine/image_record.h"
#include "library/image_files.h"

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
  kRectangle,
  kDeepPlace,    // a deep image's place is not a view
  kDeepFormula,  // a deep image of a formula the deep engine does not count
  kDeepLimit     // a deep image's limit is not a whole number up to kMaxDeepLimit
};

// Why a parameter file cannot be shown, or nothing when it holds values that
// the program itself writes.
std::optional<RecordFault> RecordProblem(const ImageRecord& record);

// The same of a deep image, its record taken as a Mandelbrot image's: its
// limit may pass 5000, and its place must make a view the deep engine counts.
std::optional<RecordFault> DeepRecordProblem(const ImageRecord& record, const DeepPlace& place);

// Why a parameter file as reading takes it cannot be shown: its place line
// unreadable, or the checks of its kind of image.
std::optional<RecordFault> SavedRecordProblem(const SavedRecord& saved);

}  // namespace tesvo
