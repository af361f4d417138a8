#include "navigation/julia.h"

#include <locale.h>
#include <stdlib.h>

#include <cmath>

#include "commands/drawing.h"
#include "commands/explorer.h"
#include "engine/scan.h"
#include "library/file_error.h"
#include "navigation/plane_mapping.h"

namespace tesvo {

// The preview of c in the current image's precision, colours and mode, drawn
// into the small picture; the big picture, its counts and the current image stay.
// A c that is not finite (the inverse of a point at or very near 0, a point of
// an image no column or row wide) is drawn like any other: its orbits escape
// at once or never, and the title shows the value.
void Explorer::ShowPreview(Complex c) {
  if (state_.currentImage.coloringMethod == kInversion) c = InvertPoint(c.re, c.im);
  ImageRecord preview = state_.previewSlot;
  preview.juliaRe = c.re;
  preview.juliaIm = c.im;
  preview.iterationLimit = state_.currentImage.iterationLimit;
  preview.controlColours = state_.currentImage.controlColours;
  preview.gradation = state_.currentImage.gradation;
  preview.coloringMethod = state_.currentImage.coloringMethod;
  state_.previewImage = preview;
  GenerateImage(preview);
  window_->SetTitle(PreviewTitle(c.re, c.im));
}

void Explorer::JuliaFromPoint(ClientPoint point) {
  // Before the first image the slots hold no preview template: the start-up
  // placeholder is answered like a record with no kind at all.
  if (!HasImage() || state_.currentImage.kind != kMandelbrotKind) {
    window_->ShowMessage(kNotMandelbrotMessage, kProgramName);
    return;
  }
  ShowPreview(MapToPlane(state_.currentImage, point));
}

void Explorer::EnlargePreview() {
  if (!HasPreview()) return;
  ImageRecord enlarged = state_.previewImage;
  TakeRectangle(enlarged, state_.juliaSlot);
  enlarged.kind = kJuliaKind;
  ShowNewImage(enlarged);
  state_.formulaIndex = enlarged.formulaIndex;
  state_.currentMethod = enlarged.coloringMethod;
  window_->SelectMode(enlarged.coloringMethod);
}

void Explorer::JuliaFromCoordinates() {
  const std::optional<Complex> typed = window_->AskJuliaCoordinates();
  if (!typed) return;
  if (!state_.slotsLoaded) StartMandelbrot();
  ShowPreview(*typed);
}

std::optional<double> ParseDialogNumber(const std::string& text) {
  const std::string field = text.substr(0, 31);
  std::size_t start = field.find_first_not_of(" \t");
  if (start == std::string::npos) return std::nullopt;
  static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
  const char* begin = field.c_str() + start;
  char* end = nullptr;
  const double value = strtod_l(begin, &end, cLocale);
  if (end == begin) return std::nullopt;
  // 0 from anything but a leading digit 0 is a failed conversion (",5", "-0").
  if (value == 0 && *begin != '0') return std::nullopt;
  for (const char* rest = end; *rest != '\0'; ++rest)
    if (*rest != ' ' && *rest != '\t') return std::nullopt;
  if (!std::isfinite(value)) return std::nullopt;
  return value;
}

}  // namespace tesvo
