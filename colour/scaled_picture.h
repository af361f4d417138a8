// The picture of an image at any size: the same scan over a grid K times as
// fine in each direction, every pixel Palette[count], optionally averaged
// over A x A samples. Computed a band of rows at a time and handed out row by
// row, so that the largest picture needs a few megabytes.
#pragma once

#include <cstdint>
#include <functional>

#include "engine/buffers.h"
#include "engine/image_record.h"
#include "engine/scan.h"

namespace tesvo {

inline constexpr int kMaxPictureScale = 32;
inline constexpr int kMaxAntialias = 4;

struct PictureSize {
  int scale = 1;      // K: W·K x H·K pixels
  int antialias = 1;  // A: each pixel the mean of A x A samples
  friend bool operator==(const PictureSize&, const PictureSize&) = default;
};

// The picture's width and height: the record's W and H times the scale.
std::int64_t PictureWidth(const ImageRecord& record, PictureSize size);
std::int64_t PictureHeight(const ImageRecord& record, PictureSize size);

// Whether the record has a picture at that size: CanGenerate accepts it, it
// has at least one column and one row, and the scale and anti-aliasing are
// within 1 to kMaxPictureScale and 1 to kMaxAntialias.
bool CanRenderPicture(const ImageRecord& record, PictureSize size);

struct RenderSettings {
  ScanSettings scan;
  // After each band, the share of rows done (0 to 1); false stops the render.
  std::function<bool(double done)> progress;
};

// Hands out the picture's rows from the top, width x 3 bytes each (red,
// green, blue). Pixel (X, Y) is, for A = 1, Palette[count] of column X and
// row Y of the scan of the record with its rectangle W·K wide and H·K high;
// for A > 1 each component is the rounded mean over columns X·A .. X·A+A-1
// and rows Y·A .. Y·A+A-1 of the scan at scale K·A. Returns false, with
// perhaps some rows handed out, when progress stopped it or CanRenderPicture
// refuses the record. What row throws is thrown on after the band's
// counting.
bool RenderPicture(const ImageRecord& record, const Palette& palette, PictureSize size,
                   const RenderSettings& settings, const std::function<void(const std::uint8_t* rgb)>& row);

}  // namespace tesvo
