#include "colour/palette.h"

#include <algorithm>
#include <cstdint>

namespace tesvo {
namespace {

// (b*k + a*(L-k)) / L with truncation, reduced to its low byte. Done in 64 bits
// since the components of a foreign file need not lie in 0..255.
std::uint32_t Blend(std::int32_t a, std::int32_t b, int k, int steps) {
  const std::int64_t value = (std::int64_t{b} * k + std::int64_t{a} * (steps - k)) / steps;
  return static_cast<std::uint32_t>(value) & 0xFF;
}

}  // namespace

void BlendSegment(Palette& palette, RGB a, RGB b, int first, int last) {
  if (last < first) return;
  const int steps = last - first;
  if (steps == 0) return;
  for (int k = 0; k <= steps; ++k) {
    palette[first + k] = Blend(a.red, b.red, k, steps) | Blend(a.green, b.green, k, steps) << 8 |
                         Blend(a.blue, b.blue, k, steps) << 16;
  }
}

void BuildPalette(Palette& palette, RGB c0, RGB c1, RGB c2, RGB c3, RGB c4, int gradation, int entries) {
  const int w = std::max(gradation, 4);
  entries = std::clamp(entries, 0, kPaletteSize - 1);
  const int cycles = entries / w;
  const int quarter = w / 4;
  const int half = w / 2;
  const int threeQuarters = static_cast<int>((3 * std::int64_t{w}) / 4);
  for (int p = 0; p < cycles; ++p) {
    const int s = p * w;
    BlendSegment(palette, c0, c1, s, s + quarter);
    BlendSegment(palette, c1, c2, s + quarter, s + half);
    BlendSegment(palette, c2, c3, s + half, s + threeQuarters);
    BlendSegment(palette, c3, c4, s + threeQuarters, s + w);
  }
  palette[0] = 0;
}

int PaletteIndex(std::uint32_t count, int gradation) {
  const int w = std::clamp(gradation, 4, kMaxIterationLimit);
  const std::uint32_t built = static_cast<std::uint32_t>(kMaxIterationLimit / w * w);
  return static_cast<int>(count <= built ? count : (count - 1) % built + 1);
}

void BuildPaletteFor(const ImageRecord& record, Palette& palette) {
  const ControlColours& c = record.controlColours;
  BuildPalette(palette, c[0], c[1], c[2], c[3], c[4], record.gradation, kMaxIterationLimit);
}

}  // namespace tesvo
