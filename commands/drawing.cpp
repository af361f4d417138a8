#include "commands/drawing.h"

#include <algorithm>
#include <charconv>
#include <cstdint>

#include "colour/compose.h"
#include "colour/palette.h"
#include "engine/generation.h"
#include "engine/scan.h"

namespace tesvo {
namespace {

std::string FixedSix(double value) {
  char text[400];  // enough for the largest double in fixed notation
  const auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 6);
  return std::string(text, result.ptr);
}

}  // namespace

std::string FormatComplex(double re, double im) { return FixedSix(re) + " + " + FixedSix(im) + "\u00B7i"; }

std::string JuliaCaption(double re, double im) {
  return std::string(kJuliaCaption) + std::string(37, ' ') + "c = " + FormatComplex(re, im);
}

std::string PreviewTitle(double re, double im) {
  return std::string(kMandelbrotCaption) + std::string(27, ' ') + "c = " + FormatComplex(re, im);
}

std::string DeepCaption(const DeepPlace& place) {
  return std::string(kMandelbrotCaption) + std::string(27, ' ') + DepthText(place);
}

void ClearImageArea(const ImageRecord& record, Window& window) {
  const auto left = std::max<std::int64_t>(std::int64_t{record.pixelLeft} - 1, INT32_MIN);
  const auto top = std::max<std::int64_t>(std::int64_t{record.pixelTop} - 1, INT32_MIN);
  window.FillLightGrey(static_cast<int>(left), static_cast<int>(top), record.pixelRight, record.pixelBottom);
}

void DrawImage(const ImageRecord& record, const ImageRecord& replaced, const Palette& palette,
               CountBuffer& stored, Window& window) {
  if (!CanGenerate(record)) return;
  const bool bigPicture = record.kind != kPreviewKind;
  if (bigPicture) ClearImageArea(replaced, window);
  // Stored and drawn in one pass, as CountImage would store them: column i
  // at i * H, the scan's row H of a column overwritten by the next column.
  const std::int64_t h = record.Height();
  CountImage(record, nullptr, [&](int first, int count, int rows, const std::int16_t* counts) {
    const std::int16_t* k = counts;
    for (int i = first; i < first + count; ++i) {
      std::int16_t* column = bigPicture ? stored.data() + static_cast<std::ptrdiff_t>(i) * h : nullptr;
      for (int j = 0; j < rows; ++j, ++k) {
        if (column != nullptr) column[j] = *k;
        // Counts of the engine lie within 0 to the limit, 5000 at most.
        window.SetPixel(record.pixelLeft + i, record.pixelTop + j, palette[*k]);
      }
    }
  });
}

void CopyCounts(const CountBuffer& counts, const ImageRecord& record, const Palette& palette,
                Window& window) {
  const std::vector<Colour> block = ComposeCounts(counts, record, palette);
  if (block.empty()) return;
  window.CopyBlock(record.pixelLeft, record.pixelTop, record.Width(), record.Height(), block.data());
}

void PaintCounts(const CountBuffer& counts, const ImageRecord& record, const ImageRecord& bigPicture,
                 const Palette& palette, Window& window) {
  if (record.kind != kPreviewKind) ClearImageArea(bigPicture, window);
  CopyCounts(counts, record, palette, window);
}

}  // namespace tesvo
