// Repainting the big picture from the CountBuffer in new colours, without
// computing anything.
#pragma once

#include <vector>

#include "engine/image_record.h"
#include "engine/program_state.h"
#include "engine/window.h"

namespace tesvo {

// Rebuilds the Palette from currentImage's colours and gradation, then paints
// the counts of record's rectangle.
void Recolour(ImageRecord record, Window& window);

// The W x H stored block of record's rectangle, composed off screen and copied
// in one step. For the big picture the whole big-picture area is wiped first,
// so that the last column and row, and whatever a shortened image leaves
// free, become light grey.
void PaintCounts(const CountBuffer& counts, ImageRecord record, Window& window);

// The W x H colours of record's stored block, row by row, each Palette[count]
// as the picture shows it; empty for a rectangle the CountBuffer cannot hold.
std::vector<Colour> ComposeCounts(const CountBuffer& counts, const ImageRecord& record);

// The block alone, composed through the Palette and copied, nothing wiped.
void CopyCounts(const CountBuffer& counts, const ImageRecord& record, Window& window);

}  // namespace tesvo
