#include "library/reading.h"

#include <cmath>
#include <cstdint>
#include <vector>

#include "colour/palette.h"
#include "colour/recolour.h"
#include "engine/formulas.h"
#include "engine/generation.h"
#include "engine/program_state.h"
#include "engine/scan.h"
#include "library/file_error.h"
#include "library/folder_lock.h"
#include "library/image_files.h"

namespace tesvo {
namespace {

bool ValidCounts(const std::vector<std::int16_t>& counts) {
  for (const std::int16_t count : counts)
    if (count < 0 || count > kMaxIterationLimit) return false;
  return true;
}

void ReadEntry(Window& window, int index) {
  state.readIndex = index;
  ReportingFileErrors(window, [&] { ReadImage(window.ReadListText(index), window); });
  window.ReadListSelect(index);
}

}  // namespace

std::optional<std::string> RecordProblem(const ImageRecord& r) {
  // A preview is never saved: only the big picture's images are.
  if (r.kind != kMandelbrotKind && r.kind != kJuliaKind)
    return "el tipo de imagen no es ni Mandelbrot ni Julia";
  if (FormulaRow(r.formulaLetter) < 0) return "la fórmula no es ninguna de las del programa";
  if (r.coloringMethod < kConvergence || r.coloringMethod > kInversion)
    return "el modo de representación no existe";
  if (!std::isfinite(r.iterationLimit) || r.iterationLimit <= 0)
    return "la precisión no es un número positivo";
  if (r.iterationLimit > kMaxIterationLimit) return "la precisión pasa de 5000";
  if (!std::isfinite(r.escapeBound) || r.escapeBound <= 0)
    return "la cota de escape no es un número positivo";
  if (r.gradation < 1) return "el gradado es menor que 1";
  for (const RGB& c : r.controlColours)
    for (const std::int32_t component : {c.red, c.green, c.blue})
      if (component < 0 || component > 255) return "los colores no están entre 0 y 255";
  // Every image the program makes lies in the big picture; a zoom can make
  // one no column or no row wide, which stores nothing.
  const ImageRecord& big = BuiltInPresets()[0][kMandelbrotPreset];
  if (r.pixelLeft < big.pixelLeft || r.pixelTop < big.pixelTop || r.pixelRight > big.pixelRight ||
      r.pixelBottom > big.pixelBottom || r.Width() < 0 || r.Height() < 0 || !CanGenerate(r))
    return "el rectángulo de la imagen no cabe en la imagen grande";
  return std::nullopt;
}

void ReadImage(const std::string& name, Window& window) {
  ImageRecord record;
  std::optional<std::string> problem;
  std::vector<std::int16_t> counts;
  PixelFileState pixelFile = PixelFileState::kMissing;
  {
    // Both files of one image: another process rotating or saving the pair
    // waits until they are read. Read before anything changes, so that an
    // unreadable pixel file leaves the current image as it was.
    const FolderLock lock(ParameterFileName(name), FolderLock::Mode::kShared);
    record = ReadParameterFile(name);
    problem = RecordProblem(record);
    if (!problem) {
      counts.resize(static_cast<std::size_t>(record.Width()) * record.Height());
      pixelFile = ReadPixelFile(name, counts.data(), counts.size());
    }
  }
  // The small picture's image is never saved by the program, and the big
  // picture has no place for it.
  if (record.kind == kPreviewKind) {
    window.ShowMessage(
        "El fichero " + ParameterFileName(name) +
            " es una vista previa de un conjunto de Julia, que no se puede leer.\nNo se ha leído.",
        kProgramName);
    return;
  }
  if (problem) {
    window.ShowMessage("El fichero " + ParameterFileName(name) + " no es una imagen de Tesvo: " + *problem +
                           ".\nNo se ha leído.",
                       kProgramName);
    return;
  }
  const ImageRecord stored = record;
  const std::size_t count = counts.size();
  const bool fromPixelFile = pixelFile == PixelFileState::kRead && ValidCounts(counts);

  // The formula index in the file is not trusted; the letter decides.
  state.formulaIndex = FormulaRow(record.formulaLetter);
  record.formulaIndex = state.formulaIndex;
  state.currentMethod = record.coloringMethod;
  window.SelectMode(state.currentMethod);
  const PresetRow& row = state.presets[state.formulaIndex];
  state.mandelbrotSlot = row[kMandelbrotPreset];
  state.juliaSlot = row[kJuliaPreset];
  state.previewSlot = row[kPreviewPreset];
  BuildPaletteFor(record);
  ClearImageArea(state.currentImage, window);
  state.currentImage = record;

  if (fromPixelFile) {
    std::copy(counts.begin(), counts.end(), state.countBuffer.begin());
    CopyCounts(state.countBuffer, record, window);
  } else {
    const std::string why =
        pixelFile == PixelFileState::kMissing ? "No encuentro el fichero " + PixelFileName(name)
        : pixelFile == PixelFileState::kShort
            ? "El fichero " + PixelFileName(name) + " está incompleto"
            : "El fichero " + PixelFileName(name) + " tiene valores que no son de ninguna imagen";
    window.ShowMessage(why + ". \nLo tendré que reconstruir. Un momento, por favor.", kProgramName);
    GenerateImage(state.currentImage, window);
    // Only the pixel file is written: the user's parameter file stays as it
    // is, and the entry keeps its place in the list. A pair that another
    // process has changed since is left to it.
    if (WritePixelFileOf(name, stored, state.countBuffer.data(), count))
      window.ShowMessage("El fichero " + name + " ha sido grabado", kProgramName);
  }

  if (record.kind == kMandelbrotKind || record.kind == kJuliaKind) {
    state.caption = record.kind == kMandelbrotKind ? kMandelbrotCaption : kJuliaCaption;
    window.SetTitle(state.caption);
  }
}

void ReadSelectedImage(Window& window, int index) {
  if (index < 0 || index >= window.ReadListCount()) return;
  ReadEntry(window, index);
}

void ReadNextImage(Window& window) {
  const int n = window.ReadListCount();
  if (n == 0) return;
  const int next = state.readIndex + 1;
  ReadEntry(window, next >= n ? 0 : next);
}

void ReadPreviousImage(Window& window) {
  const int n = window.ReadListCount();
  const int previous = state.readIndex - 1 < 0 ? n - 1 : state.readIndex - 1;
  if (previous < 0 || previous >= n) return;
  ReadEntry(window, previous);
}

void ReadNamedImage(Window& window, const std::string& name) {
  for (int index = 0; index < window.ReadListCount(); ++index)
    if (window.ReadListText(index) == name) return ReadEntry(window, index);
  ReportingFileErrors(window, [&] { ReadImage(name, window); });
}

}  // namespace tesvo
