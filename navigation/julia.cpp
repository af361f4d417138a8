#include "navigation/julia.h"

#include <locale.h>
#include <stdlib.h>

#include <cmath>

#include "commands/commands.h"
#include "engine/generation.h"
#include "engine/program_state.h"
#include "engine/scan.h"
#include "library/file_error.h"

namespace tesvo {
namespace {

// The preview of c in the current image's precision, colours and mode, drawn
// into the small picture; the big picture, its counts and `caption` stay.
// A c that is not finite (the inverse of a point at or very near 0, a point of
// an image no column or row wide) is drawn like any other: its orbits escape
// at once or never, and the title shows the value.
void ShowPreview(Window& window, Complex c) {
  if (state.currentImage.coloringMethod == kInversion) c = InvertPoint(c.re, c.im);
  ImageRecord preview = state.previewSlot;
  preview.juliaRe = c.re;
  preview.juliaIm = c.im;
  preview.iterationLimit = state.currentImage.iterationLimit;
  preview.controlColours = state.currentImage.controlColours;
  preview.gradation = state.currentImage.gradation;
  preview.coloringMethod = state.currentImage.coloringMethod;
  state.previewImage = preview;
  GenerateImage(preview, window);
  window.SetTitle(PreviewTitle(c.re, c.im));
}

}  // namespace

void JuliaFromPoint(Window& window, ClientPoint point) {
  // Before the first image the slots hold no preview template: the start-up
  // placeholder is answered like a record with no kind at all.
  if (!HasImage() || state.currentImage.kind != kMandelbrotKind) {
    window.ShowMessage(kNotMandelbrotMessage, kProgramName);
    return;
  }
  ShowPreview(window, MapToPlane(state.currentImage, point));
}

bool HasPreview() {
  const ImageRecord& preview = state.previewImage;
  return preview.kind == kPreviewKind && CanGenerate(preview) &&
         SelectFormula(state.juliaSlot.formulaLetter) != nullptr;
}

void EnlargePreview(Window& window) {
  if (!HasPreview()) return;
  ImageRecord enlarged = state.previewImage;
  TakeRectangle(enlarged, state.juliaSlot);
  enlarged.kind = kJuliaKind;
  ShowNewImage(enlarged, window);
  state.formulaIndex = enlarged.formulaIndex;
  state.currentMethod = enlarged.coloringMethod;
  window.SelectMode(enlarged.coloringMethod);
}

void JuliaFromCoordinates(Window& window) {
  const std::optional<Complex> typed = window.AskJuliaCoordinates();
  if (!typed) return;
  if (!state.slotsLoaded) StartMandelbrot(window);
  ShowPreview(window, *typed);
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
