// Deep images: images of the big picture whose window doubles no longer
// resolve. Such an image keeps its record, with its corners rounded to the
// nearest doubles, and beside it its exact place: the centre and width of its
// view, as decimal numbers of any length. Its counts are the deep engine's.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "engine/deep_view.h"
#include "engine/image_record.h"

namespace tesvo {

// The kind byte of a deep image's record in its parameter file. A program
// that knows only Mandelbrot and Julia records refuses the file rather than
// draw its nearest doubles, which would show stripes as if they were right.
inline constexpr char kDeepKind = 'd';

// The highest iteration limit of a deep image: its reference orbit takes some
// tens of bytes a step.
inline constexpr std::int64_t kMaxDeepLimit = std::int64_t{1} << 24;

// The colouring methods the deep engine counts.
bool DeepMethodSupported(std::int32_t method);

struct DeepPlace {
  std::string centreRe, centreIm, width;
  bool Empty() const { return width.empty(); }
  friend bool operator==(const DeepPlace&, const DeepPlace&) = default;
};

// The view of a deep image: its record's formula, limit, bound and rectangle
// at its place; pixels are square, place.width / W wide.
DeepView ViewOfImage(const ImageRecord& record, const DeepPlace& place);

// Whether doubles resolve the pixels of record's window: each pixel step, across and
// down, spans more than kWallUlps units in the last place of the window's largest
// coordinate (taken as at least 1/16, where the scan's start value counts).
inline constexpr double kWallUlps = 2048;
bool DoublesResolve(const ImageRecord& record);

// Sets record's window to the nearest doubles of place's corners.
void SetNearestCorners(ImageRecord& record, const DeepPlace& place);

// The place of the part of an image under the client rectangle from (x0, y0)
// to (x1, y1), in its pixels from its top left corner (fractions allowed), the
// image being W x H pixels and lying at `place`, or, where place is empty, in
// record's window of doubles. The new place is as wide as the rectangle.
DeepPlace PlaceOfRectangle(const ImageRecord& record, const DeepPlace& place, double x0, double y0, double x1,
                           double y1);

// The place as a parameter file keeps it after the record: one line,
// "centre_re centre_im width\n".
std::string PlaceText(const DeepPlace& place);
// The place of such a line, or nothing where it is not three decimal numbers
// and a line end.
std::optional<DeepPlace> ParsePlaceText(const std::string& text);

// How deep a place is, for the caption: "ancho 1.2e-35".
std::string DepthText(const DeepPlace& place);

}  // namespace tesvo
