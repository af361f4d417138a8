// The explorer's reading of saved images: the three commands of the "Leer ->"
// list, the image a file manager hands over, and ReadImage, which shows an
// image from its pixel file or computes it again and stores the missing one.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <optional>
#include <vector>

#include "colour/palette.h"
#include "commands/drawing.h"
#include "commands/explorer.h"
#include "commands/file_reports.h"
#include "commands/messages.h"
#include "engine/formulas.h"
#include "engine/scan.h"
#include "library/file_error.h"
#include "library/folder_lock.h"
#include "library/image_files.h"
#include "library/record_problem.h"

namespace tesvo {
namespace {

bool ValidCounts(const std::vector<std::int16_t>& counts) {
  for (const std::int16_t count : counts)
    if (count < 0 || count > kMaxIterationLimit) return false;
  return true;
}

}  // namespace

void Explorer::ReadEntry(int index) {
  state_.readIndex = index;
  ReportingFileErrors(*window_, [&] { ReadImage(window_->ReadListText(index)); });
  window_->ReadListSelect(index);
}

void Explorer::ReadImage(const std::string& name) {
  SavedRecord saved;
  std::optional<RecordFault> problem;
  std::vector<std::int16_t> counts;
  std::vector<std::uint32_t> wide;
  PixelFileState pixelFile = PixelFileState::kMissing;
  {
    // Both files of one image: another process rotating or saving the pair
    // waits until they are read. Read before anything changes, so that an
    // unreadable pixel file leaves the current image as it was.
    const FolderLock lock(ParameterFileName(name), FolderLock::Mode::kShared);
    saved = ReadSavedRecord(name);
    problem = SavedRecordProblem(saved);
    if (!problem) {
      const auto size = static_cast<std::size_t>(saved.record.Width()) * saved.record.Height();
      if (saved.place.Empty()) {
        counts.resize(size);
        pixelFile = ReadPixelFile(name, counts.data(), counts.size());
      } else {
        wide.resize(size);
        pixelFile = ReadWidePixelFile(name, wide.data(), wide.size());
      }
    }
  }
  ImageRecord record = saved.record;
  const DeepPlace& place = saved.place;
  const bool deep = !place.Empty();
  // The small picture's image is never saved by the program, and the big
  // picture has no place for it.
  if (record.kind == kPreviewKind) {
    window_->ShowMessage(
        "El fichero " + ParameterFileName(name) +
            " es una vista previa de un conjunto de Julia, que no se puede leer.\nNo se ha leído.",
        kProgramName);
    return;
  }
  if (problem) {
    window_->ShowMessage("El fichero " + ParameterFileName(name) + " no es una imagen de Tesvo: " +
                             RecordFaultText(*problem) + ".\nNo se ha leído.",
                         kProgramName);
    return;
  }
  const ImageRecord stored = record;
  const bool fromPixelFile =
      pixelFile == PixelFileState::kRead &&
      (deep ? std::all_of(wide.begin(), wide.end(),
                          [&](std::uint32_t count) { return count <= record.iterationLimit; })
            : ValidCounts(counts));

  // A deep image counted again may be stopped: everything goes back then.
  std::optional<ExplorerState> before;
  if (deep && !fromPixelFile) before = state_;
  // The formula index in the file is not trusted; the letter decides.
  state_.formulaIndex = FormulaRow(record.formulaLetter);
  record.formulaIndex = state_.formulaIndex;
  state_.currentMethod = record.coloringMethod;
  window_->SelectMode(state_.currentMethod);
  LoadSlots(state_.formulaIndex);
  BuildPaletteFor(record, state_.palette);
  ClearImageArea(state_.currentImage, *window_);

  if (fromPixelFile) {
    state_.currentImage = record;
    state_.deepPlace = place;
    state_.deepCounts = std::move(wide);
    if (deep) {
      RepaintCurrent();
    } else {
      std::copy(counts.begin(), counts.end(), state_.countBuffer.begin());
      CopyCounts(state_.countBuffer, record, state_.palette, *window_);
    }
  } else {
    const std::string why =
        pixelFile == PixelFileState::kMissing ? "No encuentro el fichero " + PixelFileName(name)
        : pixelFile == PixelFileState::kShort
            ? "El fichero " + PixelFileName(name) + " está incompleto"
            : "El fichero " + PixelFileName(name) + " tiene valores que no son de ninguna imagen";
    window_->ShowMessage(why + ". \nLo tendré que reconstruir. Un momento, por favor.", kProgramName);
    if (deep) {
      if (!DrawDeepImage(record, place)) {
        state_ = std::move(*before);
        window_->SelectMode(state_.currentMethod);
        RepaintCurrent();
        return;
      }
      state_.currentImage = record;
      state_.deepPlace = place;
    } else {
      GenerateImage(record);
      state_.currentImage = record;
      state_.deepPlace = {};
      state_.deepCounts.clear();
    }
    // Only the pixel file is written: the user's parameter file stays as it
    // is, and the entry keeps its place in the list. A pair that another
    // process has changed since is left to it.
    const PixelCounts rebuilt =
        deep ? PixelCounts{.wide = state_.deepCounts.data(), .count = state_.deepCounts.size()}
             : PixelCounts{.narrow = state_.countBuffer.data(), .count = counts.size()};
    if (WritePixelFileOf(name, stored, rebuilt, place))
      window_->ShowMessage("El fichero " + name + " ha sido grabado", kProgramName);
  }

  // A read Julia image is titled without its parameter, as it always was.
  window_->SetTitle(deep                             ? DeepCaption(place)
                    : record.kind == kMandelbrotKind ? kMandelbrotCaption
                                                     : kJuliaCaption);
}

void Explorer::ReadSelectedImage(int index) {
  if (index < 0 || index >= window_->ReadListCount()) return;
  ReadEntry(index);
}

void Explorer::ReadNextImage() {
  const int n = window_->ReadListCount();
  if (n == 0) return;
  const int next = state_.readIndex + 1;
  ReadEntry(next >= n ? 0 : next);
}

void Explorer::ReadPreviousImage() {
  const int n = window_->ReadListCount();
  const int previous = state_.readIndex - 1 < 0 ? n - 1 : state_.readIndex - 1;
  if (previous < 0 || previous >= n) return;
  ReadEntry(previous);
}

void Explorer::ReadNamedImage(const std::string& name) {
  for (int index = 0; index < window_->ReadListCount(); ++index)
    if (window_->ReadListText(index) == name) return ReadEntry(index);
  ReportingFileErrors(*window_, [&] { ReadImage(name); });
}

}  // namespace tesvo
