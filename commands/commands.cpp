#include "commands/commands.h"

#include <string>
#include <vector>

#include "colour/palette.h"
#include "engine/generation.h"
#include "engine/program_state.h"
#include "engine/scan.h"
#include "library/file_error.h"
#include "library/image_files.h"
#include "library/image_list.h"
#include "library/saving.h"

namespace tesvo {

void InitialiseExplorer(Window& window, unsigned randomSeed) {
  state.random.seed = randomSeed;
  state.currentMethod = state.presets[2][kMandelbrotPreset].coloringMethod;
  state.formulaIndex = 2;
  for (int row = 0; row < kFormulaCount; ++row)
    for (ImageRecord& record : state.presets[row]) record.formulaIndex = row;
  window.SetModeItems(std::vector<std::string>(kModeNames.begin(), kModeNames.end()));
  window.SelectMode(state.currentMethod);
  const ControlColours& colours = state.presets[state.formulaIndex][kMandelbrotPreset].controlColours;
  state.initialColours = {colours[0], colours[1], colours[2]};
  ReportingFileErrors(window, [&] {
    SweepTemporaryFiles();
    EnsureLastImages();
  });
  ListSavedImages(window);
}

void ShowNewImage(const ImageRecord& record, Window& window) {
  GenerateImage(record, window);
  state.currentImage = record;
  ReportingFileErrors(window, [&] { RotateLastImages(); });
}

void StartMandelbrot(Window& window) {
  const PresetRow& row = state.presets[state.formulaIndex];
  state.mandelbrotSlot = row[kMandelbrotPreset];
  state.juliaSlot = row[kJuliaPreset];
  state.previewSlot = row[kPreviewPreset];
  ImageRecord record = row[kMandelbrotPreset];
  record.coloringMethod = state.currentMethod;
  BuildPaletteFor(record);
  state.slotsLoaded = true;
  ShowNewImage(record, window);
}

void ChangeMode(Window& window, int selectedMethod) {
  state.currentMethod = selectedMethod;
  // A record that describes no image (nothing drawn or read yet) is not
  // written over the last image; the choice waits for the start button.
  if (!CanGenerate(state.currentImage) || state.currentMethod == state.currentImage.coloringMethod) return;
  ImageRecord record = state.currentImage;
  record.coloringMethod = state.currentMethod;
  ShowNewImage(record, window);
}

void IncreasePrecision(Window& window) {
  double& limit = state.currentImage.iterationLimit;
  limit = limit * 2;
  if (limit > kMaxIterationLimit) limit = kMaxIterationLimit;
  GenerateImage(state.currentImage, window);
}

void DecreasePrecision(Window& window) {
  // Halving stops at the smallest positive limit: 0 would be written as
  // "ultimo" and then refused on reading.
  const double half = state.currentImage.iterationLimit * 0.5;
  if (half > 0) state.currentImage.iterationLimit = half;
  GenerateImage(state.currentImage, window);
}

}  // namespace tesvo
