// The Palette: one colour cycle of `gradation` entries through the five
// control colours, repeated while whole cycles fit, entry 0 always black.
#pragma once

#include <cstdint>

#include "engine/buffers.h"

namespace tesvo {

// Straight-line blend from a to b over entries first..last, both included.
void BlendSegment(Palette& palette, RGB a, RGB b, int first, int last);

// A gradation below 4 (only a foreign file carries one) is built as 4, so that
// no segment is empty.
void BuildPalette(Palette& palette, RGB c0, RGB c1, RGB c2, RGB c3, RGB c4, int gradation, int entries);

// The Palette entry of a count of any size, for a Palette of
// kMaxIterationLimit entries: counts past its last whole cycle go round the
// cycles again, so that deep images with limits beyond 5000 keep their colours.
int PaletteIndex(std::uint32_t count, int gradation);

// The colour of a count: palette[count], and black for a count outside the
// Palette, which only a foreign file or a fault could hold.
inline Colour ColourOf(const Palette& palette, int count) {
  return count >= 0 && count < kPaletteSize ? palette[count] : Colour{0};
}

// A colour as a picture's three bytes: red, green, blue.
inline void PutRgb(Colour colour, std::uint8_t* out) {
  out[0] = static_cast<std::uint8_t>(colour);
  out[1] = static_cast<std::uint8_t>(colour >> 8);
  out[2] = static_cast<std::uint8_t>(colour >> 16);
}

// The rounded mean of several colours, component by component: what an
// anti-aliased pixel shows of its samples.
struct ColourSum {
  std::uint32_t red = 0, green = 0, blue = 0;
  void Add(Colour colour) {
    red += colour & 0xFF;
    green += (colour >> 8) & 0xFF;
    blue += (colour >> 16) & 0xFF;
  }
  void PutMean(std::uint32_t samples, std::uint8_t* out) const {
    out[0] = static_cast<std::uint8_t>((red + samples / 2) / samples);
    out[1] = static_cast<std::uint8_t>((green + samples / 2) / samples);
    out[2] = static_cast<std::uint8_t>((blue + samples / 2) / samples);
  }
};

// The Palette of a record's colours and gradation, 5000 entries.
void BuildPaletteFor(const ImageRecord& record, Palette& palette);

}  // namespace tesvo
