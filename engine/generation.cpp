#include "engine/generation.h"

#include <algorithm>
#include <charconv>
#include <cstdint>

#include "engine/formulas.h"
#include "engine/program_state.h"
#include "engine/scan.h"

namespace tesvo {
namespace {

std::string FixedSix(double value) {
  char text[400];  // enough for the largest double in fixed notation
  const auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 6);
  return std::string(text, result.ptr);
}

void Deliver(const ImageRecord& record, int first, int count, int rows, const std::int16_t* counts,
             Window& window) {
  const bool stores = record.kind != kPreviewKind;
  const std::int64_t h = record.Height();
  const std::int16_t* k = counts;
  for (int i = first; i < first + count; ++i) {
    // Row H of a column lands on row 0 of the next one, which overwrites it:
    // only the last column keeps its row H.
    std::int16_t* stored = state.countBuffer.data() + static_cast<std::ptrdiff_t>(i) * h;
    for (int j = 0; j < rows; ++j, ++k) {
      if (stores) stored[j] = *k;
      window.SetPixel(record.pixelLeft + i, record.pixelTop + j, state.palette[*k]);
    }
  }
}

void Scan(const ImageRecord& record, bool mandelbrot, Window& window) {
  if (record.kind != kPreviewKind) ClearImageArea(state.currentImage, window);
  // No columns or no rows: nothing is drawn, however long the other side is.
  // Stopping here keeps that side's coordinates from being laid out at all.
  if (record.pixelRight < record.pixelLeft || record.pixelBottom < record.pixelTop) return;
  const ScanPlan plan = MakeScanPlan(record, mandelbrot);
  const int columns = plan.Columns();
  const int rows = plan.Rows();
  if (columns == 0 || rows == 0) return;

  // Columns come back in order, on this thread, while later ones are still
  // being counted: the picture grows from the left.
  CountColumnsInOrder(plan, 0, columns, {}, [&](int first, int count, const std::int16_t* counts) {
    Deliver(record, first, count, rows, counts, window);
  });
}

}  // namespace

std::string FormatComplex(double re, double im) { return FixedSix(re) + " + " + FixedSix(im) + "\u00B7i"; }

std::string JuliaCaption(double re, double im) {
  return std::string(kJuliaCaption) + std::string(37, ' ') + "c = " + FormatComplex(re, im);
}

std::string PreviewTitle(double re, double im) {
  return std::string(kMandelbrotCaption) + std::string(27, ' ') + "c = " + FormatComplex(re, im);
}

void GenerateImage(ImageRecord record, Window& window) {
  if (!CanGenerate(record)) return;
  switch (record.kind) {
    case kMandelbrotKind:
      state.caption = kMandelbrotCaption;
      window.SetTitle(state.caption);
      ScanMandelbrot(record, window);
      break;
    case kJuliaKind:
      state.caption = JuliaCaption(record.juliaRe, record.juliaIm);
      window.SetTitle(state.caption);
      ScanJulia(record, window);
      break;
    case kPreviewKind:
      ScanJulia(record, window);
      break;
  }
}

void ScanMandelbrot(ImageRecord record, Window& window) {
  if (CanGenerate(record)) Scan(record, true, window);
}

void ScanJulia(ImageRecord record, Window& window) {
  if (CanGenerate(record)) Scan(record, false, window);
}

void ClearImageArea(ImageRecord record, Window& window) {
  const auto left = std::max<std::int64_t>(std::int64_t{record.pixelLeft} - 1, INT32_MIN);
  const auto top = std::max<std::int64_t>(std::int64_t{record.pixelTop} - 1, INT32_MIN);
  window.FillLightGrey(static_cast<int>(left), static_cast<int>(top), record.pixelRight, record.pixelBottom);
}

bool HasImage() {
  const ImageRecord& image = state.currentImage;
  return (image.kind == kMandelbrotKind || image.kind == kJuliaKind) && CanGenerate(image) &&
         SelectFormula(state.mandelbrotSlot.formulaLetter) != nullptr;
}

}  // namespace tesvo
