// Records and Palettes that the engine tests build again and again.
#pragma once

#include "engine/buffers.h"
#include "engine/image_record.h"

namespace tesvo::testing {

inline const ImageRecord& Preset(int row, int record) { return BuiltInPresets()[row][record]; }

// The record with its image rectangle cut to w x h, keeping the top left corner
// and the window of the plane.
inline ImageRecord Resized(ImageRecord r, int w, int h) {
  r.pixelRight = r.pixelLeft + w;
  r.pixelBottom = r.pixelTop + h;
  return r;
}

// A 1 x 1 image whose top left pixel lies exactly on (re, im) for values with
// few significant bits: the steps are 1, so accumulating them is exact.
inline ImageRecord PointRecord(char kind, char letter, std::int32_t method, double limit, double re,
                               double im) {
  ImageRecord r = Resized(Preset(letter - 'a', kMandelbrotPreset), 1, 1);
  r.kind = kind;
  r.coloringMethod = method;
  r.iterationLimit = limit;
  r.planeLeft = re;
  r.planeRight = re + 1;
  r.planeTop = im;
  r.planeBottom = im - 1;
  return r;
}

// palette[k] = k, so that every pixel drawn shows its count.
inline void UseCountPalette(Palette& palette) {
  for (int k = 0; k < kPaletteSize; ++k) palette[k] = static_cast<Colour>(k);
}

}  // namespace tesvo::testing
