// The picture at K times the size, as plainly as it can be said: the
// reference scan of the record with its rectangle K·A times as wide and
// high, each sample Palette[count], each pixel the rounded mean of its A x A
// samples per colour component.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/buffers.h"
#include "engine/image_record.h"
#include "engine/reference_scan.h"

namespace tesvo::testing {

// Rows from the top, 3 bytes a pixel (red, green, blue).
inline std::vector<std::uint8_t> ReferencePicture(const ImageRecord& record, const Palette& palette,
                                                  int scale, int antialias) {
  const int w = record.pixelRight - record.pixelLeft;
  const int h = record.pixelBottom - record.pixelTop;
  ImageRecord fine = record;
  fine.pixelRight = record.pixelLeft + w * scale * antialias;
  fine.pixelBottom = record.pixelTop + h * scale * antialias;
  const ReferenceImage samples = ReferenceScan(fine);
  const int area = antialias * antialias;
  std::vector<std::uint8_t> rgb;
  for (int y = 0; y < h * scale; ++y) {
    for (int x = 0; x < w * scale; ++x) {
      for (int shift : {0, 8, 16}) {
        int sum = 0;
        for (int i = 0; i < antialias; ++i)
          for (int j = 0; j < antialias; ++j)
            sum += palette[samples.At(x * antialias + i, y * antialias + j)] >> shift & 0xFF;
        rgb.push_back(static_cast<std::uint8_t>((sum + area / 2) / area));
      }
    }
  }
  return rgb;
}

// A Palette with a colour of its own for every count, all three components
// changing from one count to the next, so that a count taken from the wrong
// sample or a mean taken over the wrong samples shows.
inline Palette DistinctPalette() {
  Palette palette{};
  for (int k = 0; k < kPaletteSize; ++k)
    palette[k] = static_cast<Colour>((k * 0x00030507 + 0x00102030) & 0x00FFFFFF);
  return palette;
}

}  // namespace tesvo::testing
