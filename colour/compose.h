// The colours of an image's stored counts, each shown through the Palette.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/buffers.h"
#include "engine/image_record.h"

namespace tesvo {

// The W x H colours of record's stored block, row by row, each palette[count]
// as the picture shows it; empty for a rectangle the CountBuffer cannot hold.
std::vector<Colour> ComposeCounts(const CountBuffer& counts, const ImageRecord& record,
                                  const Palette& palette);

// The colours of columns first .. first + count - 1 of a deep image's counts,
// `rows` each and kept column by column, as a block row by row: each count
// through PaletteIndex, so that counts past the Palette go round its cycles.
std::vector<Colour> ComposeWideCounts(const std::uint32_t* counts, int rows, int first, int count,
                                      const Palette& palette, int gradation);

}  // namespace tesvo
