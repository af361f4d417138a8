#include "engine/deep_image.h"

#include <algorithm>
#include <cmath>
#include <sstream>

#include "engine/mpfr_number.h"

namespace tesvo {
namespace {

// Digits beyond those that tell the new width from its neighbours: the
// rounding of a printed place stays far below a pixel of the deepest zoom
// that can follow it in one drag.
constexpr long kSpareDigits = 21;

// A decimal number of `x` that keeps it to well below `unit`.
std::string DigitsFor(mpfr_srcptr x, long unitExponent) {
  const long top = mpfr_regular_p(x) ? mpfr_get_exp(x) : unitExponent;
  const long spread = std::max<long>(0, top - unitExponent);
  return DecimalText(x, kSpareDigits + static_cast<long>(std::ceil(static_cast<double>(spread) * 0.30103)));
}

}  // namespace

bool DeepMethodSupported(std::int32_t method) {
  return method == kEscapeTime || method == kDecomposition || method == kConvergence;
}

DeepView ViewOfImage(const ImageRecord& record, const DeepPlace& place) {
  DeepView view;
  view.formulaLetter = record.formulaLetter;
  view.centreRe = place.centreRe;
  view.centreIm = place.centreIm;
  view.width = place.width;
  view.limit = std::isfinite(record.iterationLimit) ? static_cast<std::int64_t>(record.iterationLimit) : 0;
  view.bound = record.escapeBound;
  view.method = record.coloringMethod;
  view.convergenceFactor = 100;  // as the scan takes it for Mandelbrot images
  view.columns = static_cast<int>(std::clamp<std::int64_t>(record.Width(), 0, INT32_MAX));
  view.rows = static_cast<int>(std::clamp<std::int64_t>(record.Height(), 0, INT32_MAX));
  return view;
}

bool DoublesResolve(const ImageRecord& record) {
  const double largest = std::max({std::fabs(record.planeLeft), std::fabs(record.planeRight),
                                   std::fabs(record.planeTop), std::fabs(record.planeBottom), 1.0 / 16});
  const double unit = std::ldexp(largest, -52);
  const double across = std::fabs(record.planeRight - record.planeLeft) / static_cast<double>(record.Width());
  const double down = std::fabs(record.planeTop - record.planeBottom) / static_cast<double>(record.Height());
  return across > kWallUlps * unit && down > kWallUlps * unit;
}

void SetNearestCorners(ImageRecord& record, const DeepPlace& place) {
  const DeepView view = ViewOfImage(record, place);
  const mpfr_prec_t precision =
      64 +
      4 * static_cast<mpfr_prec_t>(std::max({place.centreRe.size(), place.centreIm.size(), std::size_t{20}}));
  MpfrNumber re(precision, place.centreRe), im(precision, place.centreIm), half(precision, place.width),
      corner(precision);
  mpfr_div_2ui(*half, *half, 1, MPFR_RNDN);  // half the width
  mpfr_sub(*corner, *re, *half, MPFR_RNDN);
  record.planeLeft = mpfr_get_d(*corner, MPFR_RNDN);
  mpfr_add(*corner, *re, *half, MPFR_RNDN);
  record.planeRight = mpfr_get_d(*corner, MPFR_RNDN);
  // Half the height: rows / columns of half the width.
  mpfr_mul_ui(*half, *half, static_cast<unsigned long>(std::max(view.rows, 1)), MPFR_RNDN);
  mpfr_div_ui(*half, *half, static_cast<unsigned long>(std::max(view.columns, 1)), MPFR_RNDN);
  mpfr_add(*corner, *im, *half, MPFR_RNDN);
  record.planeTop = mpfr_get_d(*corner, MPFR_RNDN);
  mpfr_sub(*corner, *im, *half, MPFR_RNDN);
  record.planeBottom = mpfr_get_d(*corner, MPFR_RNDN);
}

DeepPlace PlaceOfRectangle(const ImageRecord& record, const DeepPlace& place, double x0, double y0, double x1,
                           double y1) {
  const double columns = static_cast<double>(record.Width());
  const double rows = static_cast<double>(record.Height());
  // Enough bits for the longest centre given, and for the new width's digits
  // below the largest coordinate: doubles' sums and products of a few terms
  // are exact well within them.
  const std::size_t longest = std::max(place.centreRe.size(), place.centreIm.size());
  MpfrNumber probe(64, place.Empty() ? "1" : place.width);
  const long depth = std::max<long>(0, -probe.Exponent()) + 64;
  const mpfr_prec_t precision = static_cast<mpfr_prec_t>(depth + 4 * static_cast<long>(longest) + 2200);
  MpfrNumber left(precision), top(precision), stepX(precision), stepY(precision), t(precision);
  if (place.Empty()) {
    // The window of doubles, as MapToPlane maps it: left + x (right - left) / W.
    mpfr_set_d(*left, record.planeLeft, MPFR_RNDN);
    mpfr_set_d(*top, record.planeTop, MPFR_RNDN);
    mpfr_set_d(*stepX, record.planeRight, MPFR_RNDN);
    mpfr_sub(*stepX, *stepX, *left, MPFR_RNDN);
    mpfr_div_d(*stepX, *stepX, columns, MPFR_RNDN);
    mpfr_set_d(*stepY, record.planeTop, MPFR_RNDN);
    mpfr_sub_d(*stepY, *stepY, record.planeBottom, MPFR_RNDN);
    mpfr_div_d(*stepY, *stepY, rows, MPFR_RNDN);
  } else {
    // Square pixels width / W wide about the centre.
    mpfr_set_str(*stepX, place.width.c_str(), 10, MPFR_RNDN);
    mpfr_div_d(*stepX, *stepX, columns, MPFR_RNDN);
    mpfr_set(*stepY, *stepX, MPFR_RNDN);
    mpfr_set_str(*left, place.centreRe.c_str(), 10, MPFR_RNDN);
    mpfr_mul_d(*t, *stepX, 0.5 * columns, MPFR_RNDN);
    mpfr_sub(*left, *left, *t, MPFR_RNDN);
    mpfr_set_str(*top, place.centreIm.c_str(), 10, MPFR_RNDN);
    mpfr_mul_d(*t, *stepY, 0.5 * rows, MPFR_RNDN);
    mpfr_add(*top, *top, *t, MPFR_RNDN);
  }
  MpfrNumber width(precision), re(precision), im(precision);
  mpfr_mul_d(*width, *stepX, x1 - x0, MPFR_RNDN);
  mpfr_mul_d(*re, *stepX, 0.5 * (x0 + x1), MPFR_RNDN);
  mpfr_add(*re, *left, *re, MPFR_RNDN);
  mpfr_mul_d(*im, *stepY, 0.5 * (y0 + y1), MPFR_RNDN);
  mpfr_sub(*im, *top, *im, MPFR_RNDN);
  // The centre to well below the new pixels.
  const long unit = width.Exponent() - 32;
  return {DigitsFor(*re, unit), DigitsFor(*im, unit), DecimalText(*width, kSpareDigits)};
}

std::string PlaceText(const DeepPlace& place) {
  return place.centreRe + " " + place.centreIm + " " + place.width + "\n";
}

std::optional<DeepPlace> ParsePlaceText(const std::string& text) {
  if (text.empty() || text.back() != '\n') return std::nullopt;
  std::istringstream in(text.substr(0, text.size() - 1));
  DeepPlace place;
  std::string rest;
  if (!(in >> place.centreRe >> place.centreIm >> place.width) || (in >> rest)) return std::nullopt;
  if (PlaceText(place) != text) return std::nullopt;  // one blank between, none around
  for (const std::string* number : {&place.centreRe, &place.centreIm, &place.width})
    if (!IsDecimalNumber(*number)) return std::nullopt;
  return place;
}

std::string DepthText(const DeepPlace& place) {
  const MpfrNumber width(64, place.width);
  return "ancho " + DecimalText(*width, 2);
}

}  // namespace tesvo
