// The buffers an image lives in: the counts of the big picture, column by
// column, and the Palette its counts are shown through.
#pragma once

#include <array>
#include <cstdint>

#include "engine/image_record.h"

namespace tesvo {

inline constexpr int kCountBufferSide = 550;
inline constexpr int kCountBufferSize = kCountBufferSide * kCountBufferSide;  // 302,500
inline constexpr int kPaletteSize = kMaxIterationLimit + 1;                   // counts 0 to 5000

using CountBuffer = std::array<std::int16_t, kCountBufferSize>;
using Palette = std::array<Colour, kPaletteSize>;

}  // namespace tesvo
