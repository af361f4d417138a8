#include "engine/generation.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdint>
#include <vector>

#include "engine/program_state.h"
#include "engine/scan.h"

namespace tesvo {
namespace {

std::string FixedSix(double value) {
  char text[400];  // enough for the largest double in fixed notation
  const auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 6);
  return std::string(text, result.ptr);
}

// Columns are counted a strip at a time, and each strip is handed to the
// window, column by column from the left, while the next strip is counted on
// the other cores. A strip is sized to take about kStripSeconds, so that a
// long image shows its progress often and a short one is not cut into many
// small jobs; the first strip is small, to show something at once.
constexpr double kStripSeconds = 0.015;
constexpr int kFirstStripPixels = 4096;
constexpr int kLargestStripPixels = 1 << 16;

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

  // Two strips' counts: the one being delivered and the one being counted.
  const int largest = std::min(columns, std::max(1, kLargestStripPixels / rows));
  std::vector<std::int16_t> buffer(2 * static_cast<std::size_t>(largest) * rows);
  std::int16_t* counting = buffer.data();
  std::int16_t* delivering = counting + static_cast<std::size_t>(largest) * rows;
  const int smallest = std::min(largest, std::max(1, kFirstStripPixels / rows));
  int strip = smallest;
  int delivered = 0;  // the first column not yet given to the window
  for (int next = 0; delivered < columns;) {
    const int count = std::min(strip, columns - next);
    const int pending = next - delivered;
    const auto deliver = [&] { Deliver(record, delivered, pending, rows, delivering, window); };
    const auto start = std::chrono::steady_clock::now();
    CountColumnsWhile(plan, next, count, counting, {}, deliver);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    delivered = next;
    next += count;
    std::swap(counting, delivering);
    // Never below the first strip's size, so that a machine busy with other
    // work cannot drive the strips down to single columns.
    if (count > 0) {
      const double fit = count * kStripSeconds / std::max(seconds, 1e-6);
      // A narrow last strip makes twice its width less than the floor.
      const double low = std::max<double>(smallest, count / 2.0);
      const double high = std::max(low, std::min(2.0 * count, 1.0 * largest));
      strip = static_cast<int>(std::clamp(fit, low, high));
    }
  }
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

}  // namespace tesvo
