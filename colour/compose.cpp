#include "colour/compose.h"

#include <cstdint>

#include "colour/palette.h"

namespace tesvo {

std::vector<Colour> ComposeCounts(const CountBuffer& counts, const ImageRecord& record,
                                  const Palette& palette) {
  const std::int64_t w = record.Width();
  const std::int64_t h = record.Height();
  if (w <= 0 || h <= 0 || w * h > kCountBufferSize) return {};
  std::vector<Colour> block(static_cast<std::size_t>(w * h));
  for (std::int64_t x = 0; x < w; ++x) {
    for (std::int64_t y = 0; y < h; ++y) {
      block[y * w + x] = ColourOf(palette, counts[x * h + y]);
    }
  }
  return block;
}

}  // namespace tesvo
