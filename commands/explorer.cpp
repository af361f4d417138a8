#include "commands/explorer.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "colour/palette.h"
#include "commands/drawing.h"
#include "commands/file_reports.h"
#include "commands/messages.h"
#include "commands/read_list.h"
#include "engine/formulas.h"
#include "engine/scan.h"
#include "library/temporary_files.h"

namespace tesvo {

void Explorer::Initialise(unsigned randomSeed) {
  state_.random.seed = randomSeed;
  state_.currentMethod = state_.presets[2][kMandelbrotPreset].coloringMethod;
  state_.formulaIndex = 2;
  for (int row = 0; row < kFormulaCount; ++row)
    for (ImageRecord& record : state_.presets[row]) record.formulaIndex = row;
  window_->SetModeItems(std::vector<std::string>(kModeNames.begin(), kModeNames.end()));
  window_->SelectMode(state_.currentMethod);
  const ControlColours& colours = state_.presets[state_.formulaIndex][kMandelbrotPreset].controlColours;
  state_.initialColours = {colours[0], colours[1], colours[2]};
  ReportingFileErrors(*window_, [&] {
    SweepTemporaryFiles();
    EnsureLastImages();
  });
  ListSavedImages(*window_);
}

bool Explorer::HasImage() const {
  const ImageRecord& image = state_.currentImage;
  if (IsDeep())
    return image.kind == kMandelbrotKind && SelectFormula(state_.mandelbrotSlot.formulaLetter) != nullptr;
  return (image.kind == kMandelbrotKind || image.kind == kJuliaKind) && CanGenerate(image) &&
         SelectFormula(state_.mandelbrotSlot.formulaLetter) != nullptr;
}

bool Explorer::HasPreview() const {
  const ImageRecord& preview = state_.previewImage;
  return preview.kind == kPreviewKind && CanGenerate(preview) &&
         SelectFormula(state_.juliaSlot.formulaLetter) != nullptr;
}

void Explorer::GenerateImage(const ImageRecord& record) {
  if (!CanGenerate(record)) return;
  if (record.kind == kMandelbrotKind) window_->SetTitle(kMandelbrotCaption);
  if (record.kind == kJuliaKind) window_->SetTitle(JuliaCaption(record.juliaRe, record.juliaIm));
  DrawImage(record, state_.currentImage, state_.palette, state_.countBuffer, *window_);
}

void Explorer::ShowNewImage(const ImageRecord& record) {
  GenerateImage(record);
  state_.currentImage = record;
  state_.deepPlace = {};
  state_.deepCounts.clear();
  ReportingFileErrors(*window_, [&] { RotateLastImages(); });
}

void Explorer::LoadSlots(int formulaIndex) {
  const PresetRow& row = state_.presets[formulaIndex];
  state_.mandelbrotSlot = row[kMandelbrotPreset];
  state_.juliaSlot = row[kJuliaPreset];
  state_.previewSlot = row[kPreviewPreset];
}

void Explorer::StartMandelbrot() {
  LoadSlots(state_.formulaIndex);
  ImageRecord record = state_.presets[state_.formulaIndex][kMandelbrotPreset];
  record.coloringMethod = state_.currentMethod;
  BuildPaletteFor(record, state_.palette);
  state_.slotsLoaded = true;
  ShowNewImage(record);
}

void Explorer::ChangeMode(int selectedMethod) {
  state_.currentMethod = selectedMethod;
  // A record that describes no image (nothing drawn or read yet) is not
  // written over the last image; the choice waits for the start button.
  if (!CanGenerate(state_.currentImage) || state_.currentMethod == state_.currentImage.coloringMethod) return;
  ImageRecord record = state_.currentImage;
  record.coloringMethod = state_.currentMethod;
  if (!IsDeep()) return ShowNewImage(record);
  if (!DeepMethodSupported(state_.currentMethod)) {
    window_->ShowMessage(std::string("El modo «") +
                             kModeNames[static_cast<std::size_t>(state_.currentMethod)] +
                             "» no se puede calcular en una imagen tan ampliada.",
                         kProgramName);
    state_.currentMethod = state_.currentImage.coloringMethod;
    window_->SelectMode(state_.currentMethod);
    return;
  }
  ShowNewDeepImage(record, state_.deepPlace);
}

void Explorer::IncreasePrecision() {
  if (IsDeep()) {
    ImageRecord record = state_.currentImage;
    record.iterationLimit = std::min(record.iterationLimit * 2, static_cast<double>(kMaxDeepLimit));
    return RedrawDeep(record);
  }
  double& limit = state_.currentImage.iterationLimit;
  limit = limit * 2;
  if (limit > kMaxIterationLimit) limit = kMaxIterationLimit;
  GenerateImage(state_.currentImage);
}

void Explorer::DecreasePrecision() {
  // Halving stops at the smallest positive limit: 0 would be written as
  // "ultimo" and then refused on reading. A deep image's limit stays whole.
  if (IsDeep()) {
    ImageRecord record = state_.currentImage;
    record.iterationLimit = std::max(std::floor(record.iterationLimit / 2), 1.0);
    return RedrawDeep(record);
  }
  const double half = state_.currentImage.iterationLimit * 0.5;
  if (half > 0) state_.currentImage.iterationLimit = half;
  GenerateImage(state_.currentImage);
}

}  // namespace tesvo
