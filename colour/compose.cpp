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

std::vector<Colour> ComposeWideCounts(const std::uint32_t* counts, int rows, int first, int count,
                                      const Palette& palette, int gradation) {
  std::vector<Colour> block(static_cast<std::size_t>(rows) * static_cast<std::size_t>(count));
  for (int x = 0; x < count; ++x) {
    const std::uint32_t* column =
        counts + static_cast<std::size_t>(first + x) * static_cast<std::size_t>(rows);
    for (int y = 0; y < rows; ++y)
      block[static_cast<std::size_t>(y) * count + x] = ColourOf(palette, PaletteIndex(column[y], gradation));
  }
  return block;
}

}  // namespace tesvo
