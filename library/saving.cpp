#include "library/saving.h"

#include <algorithm>
#include <cstdint>
#include <utility>

#include "engine/program_state.h"
#include "library/file_error.h"
#include "library/image_files.h"
#include "library/image_list.h"
#include "library/picture_file.h"
#include "library/reading.h"

namespace tesvo {
namespace {

// The author's signature: typed as the save name, it shows his note instead.
constexpr const char* kAuthorTrigger = "d i d i d e z u z u";

// How many counts of the CountBuffer belong to the image: W x H.
std::size_t StoredCountCount(const ImageRecord& image) {
  const std::int64_t w = image.Width();
  const std::int64_t h = image.Height();
  return w > 0 && h > 0 ? static_cast<std::size_t>(std::min<std::int64_t>(w * h, kCountBufferSize)) : 0;
}

}  // namespace

void SaveImageAs(Window& window) {
  // Only what reading takes back is written: before the first image the
  // record describes none.
  if (RecordProblem(state.currentImage)) {
    window.ShowMessage("Todavía no hay ninguna imagen que grabar.", kProgramName);
    return;
  }
  const ImageRecord& image = state.currentImage;
  const std::optional<SaveChoice> choice =
      window.AskSaveChoice(static_cast<int>(image.Width()), static_cast<int>(image.Height()));
  if (!choice) return;
  const std::string& name = choice->name;
  if (name == kAuthorTrigger) {
    window.ShowMessage("E s t e  p r o g r a m a l o h i z o T e l m a r i n.\nLo digo por si acaso.",
                       kProgramName);
    return;
  }
  if (name.empty()) {
    window.ShowMessage("Hay que teclear un nombre de fichero \n(sin extensión)", kProgramName);
    return;
  }
  SaveImage(name, window, {choice->scale, choice->antialias});
}

void DeleteReadImage(Window& window) {
  if (state.readIndex == -1) {
    window.ShowMessage("Primero tiene que leer para poder borrar.\nEs así la cosa", kProgramName);
    return;
  }
  if (state.readIndex < 0 || state.readIndex >= window.ReadListCount()) return;
  const std::string name = window.ReadListText(state.readIndex);
  if (!window.AskYesNo("¿Estas seguro de que quieres borrar la siguiente imagen?\n\n\t\t" + name,
                       kProgramName)) {
    window.ShowMessage("Pues haces bien en no borrarla", kProgramName);
    return;
  }
  // A picture of that name goes only when a save wrote it of this image: a
  // user's own picture or another program's file stays.
  const bool ownPicture = IsPictureOfParameterFile(name);
  // The entry goes once the parameter file is gone, since only that file
  // makes a name readable; a failed removal leaves both in place.
  RemoveIfPresent(ParameterFileName(name));
  window.ReadListRemove(state.readIndex);
  RemoveIfPresent(PixelFileName(name));
  if (ownPicture) RemoveIfPresent(PictureFileName(name));
}

void SaveImage(const std::string& name, Window& window, PictureSize size) {
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
  WritePair(name, image, state.countBuffer.data(), StoredCountCount(image));
  if (quiet) return;
  // An entry sorted in at or before the one read last moves it down a place:
  // readIndex follows it, so Borrar and the reading buttons still start from
  // the image the user read.
  if (AddSortedEntry(window, name) <= state.readIndex) ++state.readIndex;
  // The pair is saved and listed whatever becomes of the picture; a failed
  // picture is reported instead of the success. A file already under the
  // picture's name is never replaced: in a pictures folder it is likely the
  // user's own.
  std::string saved = "El fichero " + name + " ha sido grabado";
  if (PictureFileExists(name)) {
    if (!IsPictureOfParameterFile(name))
      saved += "\nYa había un fichero " + PictureFileName(name) +
               ", que no es de esta imagen: se ha dejado como estaba y la imagen queda sin PNG.";
    window.ShowMessage(saved, kProgramName);
    return;
  }
  if (size == PictureSize{} || !CanRenderPicture(image, size)) {
    WritePictureFile(name, image, state.countBuffer);
    window.ShowMessage(saved, kProgramName);
    return;
  }
  // The work runs beside the window's event loop: it takes its own copies.
  const ImageRecord record = image;
  const Palette palette = state.palette;
  const std::string file = PictureFileName(name);
  const std::string text = "Grabando el dibujo " + file + ", de " +
                           std::to_string(PictureWidth(record, size)) + " x " +
                           std::to_string(PictureHeight(record, size)) + " píxeles...";
  const bool written = window.RunCancellable(text, [&](const ProgressReport& report) {
    return WriteScaledPicture(file, record, palette, size, {.scan = {}, .progress = report});
  });
  window.ShowMessage(written ? saved : saved + ", sin el dibujo " + file + ", que se ha cancelado.",
                     kProgramName);
}

void RotateLastImages(Window&) {
  // Ordered so that a kill or an error at any point leaves each reserved name
  // with a whole parameter file of its old or its new image, and its pixel
  // file either the one of that image or missing (a read rebuilds it). The
  // new pixel file, the large one, is complete before anything moves; the
  // small parameter file is staged only once "penultimo" has taken the old
  // "ultimo", so that no more than two temporary files ever exist.
  const std::string last = kLastName;
  const std::string secondLast = kSecondLastName;
  const ImageRecord& image = state.currentImage;
  StagedFile pixels = StagePixelFile(last, state.countBuffer.data(), StoredCountCount(image));
  RemoveIfPresent(PixelFileName(secondLast));
  if (ReplaceWithCopyOf(ParameterFileName(last), ParameterFileName(secondLast)))
    ReplaceWithCopyOf(PixelFileName(last), PixelFileName(secondLast));
  StagedFile parameters = StageParameterFile(last, image);
  RemoveIfPresent(PixelFileName(last));
  parameters.Commit();
  pixels.Commit();
  SyncFolderOf(ParameterFileName(last));
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
