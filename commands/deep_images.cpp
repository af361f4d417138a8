// The explorer's deep images: drawn by the deep engine beside the window's
// event loop, the picture growing column by column, stopped by the user
// without losing the image before; painted again from their 32-bit counts.
#include <algorithm>
#include <atomic>
#include <cmath>

#include "colour/compose.h"
#include "commands/drawing.h"
#include "commands/explorer.h"
#include "commands/file_reports.h"

namespace tesvo {

void Explorer::RepaintCurrent() {
  const ImageRecord& image = state_.currentImage;
  if (!IsDeep()) {
    PaintCounts(state_.countBuffer, image, state_.mandelbrotSlot, state_.palette, *window_);
    return;
  }
  const int columns = static_cast<int>(image.Width());
  const int rows = static_cast<int>(image.Height());
  if (state_.deepCounts.size() != static_cast<std::size_t>(columns) * static_cast<std::size_t>(rows)) return;
  ClearImageArea(state_.mandelbrotSlot, *window_);
  const std::vector<Colour> block =
      ComposeWideCounts(state_.deepCounts.data(), rows, 0, columns, state_.palette, image.gradation);
  window_->CopyBlock(image.pixelLeft, image.pixelTop, columns, rows, block.data());
}

bool Explorer::DrawDeepImage(const ImageRecord& record, const DeepPlace& place) {
  const DeepView view = ViewOfImage(record, place);
  const int rows = view.rows;
  std::vector<std::uint32_t> counts(static_cast<std::size_t>(view.columns) * static_cast<std::size_t>(rows));
  // Columns 0 .. ready - 1 are counted; the window's thread shows them.
  std::atomic<int> ready{0};
  int shown = 0;
  const auto show = [&] {
    const int upTo = ready.load(std::memory_order_acquire);
    if (upTo <= shown) return;
    const std::vector<Colour> block =
        ComposeWideCounts(counts.data(), rows, shown, upTo - shown, state_.palette, record.gradation);
    window_->CopyBlock(record.pixelLeft + shown, record.pixelTop, upTo - shown, rows, block.data());
    shown = upTo;
  };
  window_->SetTitle(DeepCaption(place));
  ClearImageArea(state_.currentImage, *window_);
  const std::string text =
      "Calculando la imagen (" + DepthText(place) + ", precisión " + std::to_string(view.limit) + ")...";
  const bool finished = window_->RunCancellable(
      text,
      [&](const ProgressReport& report) {
        DeepSettings settings;
        settings.progress = report;
        return CountDeepView(view, settings, [&](int first, int count, const std::uint32_t* columnCounts) {
          std::copy(columnCounts, columnCounts + static_cast<std::ptrdiff_t>(count) * rows,
                    counts.begin() + static_cast<std::ptrdiff_t>(first) * rows);
          ready.store(first + count, std::memory_order_release);
        });
      },
      show);
  if (!finished) {
    // The image before stays: its counts were never touched.
    RepaintCurrent();
    window_->SetTitle(IsDeep() ? DeepCaption(state_.deepPlace)
                      : state_.currentImage.kind == kJuliaKind
                          ? JuliaCaption(state_.currentImage.juliaRe, state_.currentImage.juliaIm)
                          : kMandelbrotCaption);
    return false;
  }
  state_.deepCounts = std::move(counts);
  return true;
}

void Explorer::ShowNewDeepImage(const ImageRecord& record, const DeepPlace& place) {
  if (!DrawDeepImage(record, place)) return;
  state_.currentImage = record;
  state_.deepPlace = place;
  ReportingFileErrors(*window_, [&] { RotateLastImages(); });
}

void Explorer::RedrawDeep(const ImageRecord& record) {
  if (DrawDeepImage(record, state_.deepPlace)) state_.currentImage = record;
}

}  // namespace tesvo
