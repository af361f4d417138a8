#include "colour/recolour.h"

#include <cstdint>

#include "colour/palette.h"
#include "engine/generation.h"

namespace tesvo {

void Recolour(ImageRecord record, Window& window) {
  BuildPaletteFor(state.currentImage);
  PaintCounts(state.countBuffer, record, window);
}

void PaintCounts(const CountBuffer& counts, ImageRecord record, Window& window) {
  if (record.kind != kPreviewKind) ClearImageArea(state.mandelbrotSlot, window);
  CopyCounts(counts, record, window);
}

std::vector<Colour> ComposeCounts(const CountBuffer& counts, const ImageRecord& record) {
  const std::int64_t w = record.Width();
  const std::int64_t h = record.Height();
  if (w <= 0 || h <= 0 || w * h > kCountBufferSize) return {};
  std::vector<Colour> block(static_cast<std::size_t>(w * h));
  for (std::int64_t x = 0; x < w; ++x) {
    for (std::int64_t y = 0; y < h; ++y) {
      const int count = counts[x * h + y];
      // Counts come from generation or from a checked pixel file; anything else
      // is drawn black rather than read outside the Palette.
      block[y * w + x] = count >= 0 && count < kPaletteSize ? state.palette[count] : 0;
    }
  }
  return block;
}

void CopyCounts(const CountBuffer& counts, const ImageRecord& record, Window& window) {
  const std::vector<Colour> block = ComposeCounts(counts, record);
  if (block.empty()) return;
  window.CopyBlock(record.pixelLeft, record.pixelTop, record.Width(), record.Height(), block.data());
}

}  // namespace tesvo
