// From a point of the main window's client area to the complex plane shown
// in a record's rectangle; the mapping extends linearly beyond the picture.
#pragma once

#include "commands/window.h"
#include "engine/formulas.h"
#include "engine/image_record.h"

namespace tesvo {

Complex MapToPlane(const ImageRecord& record, ClientPoint point);

}  // namespace tesvo
