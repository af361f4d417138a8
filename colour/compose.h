// The colours of an image's stored counts, each shown through the Palette.
#pragma once

#include <vector>

#include "engine/buffers.h"
#include "engine/image_record.h"

namespace tesvo {

// The W x H colours of record's stored block, row by row, each palette[count]
// as the picture shows it; empty for a rectangle the CountBuffer cannot hold.
std::vector<Colour> ComposeCounts(const CountBuffer& counts, const ImageRecord& record,
                                  const Palette& palette);

}  // namespace tesvo
