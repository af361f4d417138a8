#include "library/saving.h"

#include <algorithm>
#include <utility>

#include "engine/program_state.h"
#include "library/file_error.h"
#include "library/image_files.h"
#include "library/image_list.h"

namespace tesvo {

void SaveImage(const std::string& name, Window& window) {
  // Spent before anything can fail, so that a failed quiet save never makes
  // the user's next save quiet.
  const bool quiet = std::exchange(state.quietSave, false);
  if (ParameterFileExists(name)) {
    window.ShowMessage(
        "El fichero " + ParameterFileName(name) +
            " ya existe.\nSi quieres volver a utiliar este nombre\ntendrás que borrarlo previamente",
        kProgramName);
    return;
  }
  const ImageRecord& image = state.currentImage;
  const long long w = image.Width();
  const long long h = image.Height();
  const long long stored = w > 0 && h > 0 ? std::min<long long>(w * h, kCountBufferSize) : 0;
  WritePair(name, image, state.countBuffer.data(), static_cast<std::size_t>(stored));
  if (quiet) return;
  AddSortedEntry(window, name);
  window.ShowMessage("El fichero " + name + " ha sido grabado", kProgramName);
}

void RotateLastImages(Window& window) {
  const std::string last = kLastName;
  const std::string secondLast = kSecondLastName;
  RemoveIfPresent(ParameterFileName(secondLast));
  RemoveIfPresent(PixelFileName(secondLast));
  RenameIfPresent(ParameterFileName(last), ParameterFileName(secondLast));
  RenameIfPresent(PixelFileName(last), PixelFileName(secondLast));
  state.quietSave = true;
  SaveImage(last, window);
}

void EnsureLastImages(Window& window) {
  for (const char* name : {kLastName, kSecondLastName}) {
    if (ParameterFileExists(name)) continue;
    ImageRecord placeholder = state.presets[2][kMandelbrotPreset];
    placeholder.pixelRight = placeholder.pixelLeft + 1;
    placeholder.pixelBottom = placeholder.pixelTop + 1;
    state.currentImage = placeholder;
    state.quietSave = true;
    SaveImage(name, window);
  }
}

}  // namespace tesvo
