// The explorer's storing of the current image: under a name the user chose,
// and after every new image as "ultimo", the previous one becoming "penultimo";
// and the deletion of the image read last.
#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <optional>

#include "colour/compose.h"
#include "commands/explorer.h"
#include "commands/file_reports.h"
#include "commands/messages.h"
#include "commands/read_list.h"
#include "library/file_error.h"
#include "library/file_writing.h"
#include "library/folder_lock.h"
#include "library/image_files.h"
#include "library/picture_file.h"
#include "library/record_problem.h"

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

// The counts of the current image as its pixel file keeps them.
PixelCounts CountsOf(const ExplorerState& state) {
  if (!state.deepPlace.Empty()) return {.wide = state.deepCounts.data(), .count = state.deepCounts.size()};
  return {.narrow = state.countBuffer.data(), .count = StoredCountCount(state.currentImage)};
}

// What `tesvo render` is given for a larger picture of a deep image.
std::string DeepRenderCommand(const ImageRecord& image, const DeepPlace& place, PictureSize size,
                              const std::string& file) {
  std::string command = std::string("tesvo render --formula ") + image.formulaLetter + " --centre " +
                        place.centreRe + " " + place.centreIm + " --width " + place.width + " --limit " +
                        std::to_string(static_cast<std::int64_t>(image.iterationLimit)) + " --size " +
                        std::to_string(image.Width() * size.scale) + "x" +
                        std::to_string(image.Height() * size.scale);
  if (size.antialias > 1) command += " --antialias " + std::to_string(size.antialias);
  return command + " " + file;
}

}  // namespace

void Explorer::SaveImageAs() {
  // Only what reading takes back is written: before the first image the
  // record describes none.
  if (IsDeep() ? DeepRecordProblem(state_.currentImage, state_.deepPlace).has_value()
               : RecordProblem(state_.currentImage).has_value()) {
    window_->ShowMessage("Todavía no hay ninguna imagen que grabar.", kProgramName);
    return;
  }
  const ImageRecord& image = state_.currentImage;
  const std::optional<SaveChoice> choice =
      window_->AskSaveChoice(static_cast<int>(image.Width()), static_cast<int>(image.Height()));
  if (!choice) return;
  const std::string& name = choice->name;
  if (name == kAuthorTrigger) {
    window_->ShowMessage("E s t e  p r o g r a m a l o h i z o T e l m a r i n.\nLo digo por si acaso.",
                         kProgramName);
    return;
  }
  if (name.empty()) {
    window_->ShowMessage("Hay que teclear un nombre de fichero \n(sin extensión)", kProgramName);
    return;
  }
  SaveImage(name, {choice->scale, choice->antialias});
}

void Explorer::DeleteReadImage() {
  if (state_.readIndex == -1) {
    window_->ShowMessage("Primero tiene que leer para poder borrar.\nEs así la cosa", kProgramName);
    return;
  }
  if (state_.readIndex < 0 || state_.readIndex >= window_->ReadListCount()) return;
  const std::string name = window_->ReadListText(state_.readIndex);
  if (!window_->AskYesNo("¿Estas seguro de que quieres borrar la siguiente imagen?\n\n\t\t" + name,
                         kProgramName)) {
    window_->ShowMessage("Pues haces bien en no borrarla", kProgramName);
    return;
  }
  {
    const FolderLock lock(ParameterFileName(name), FolderLock::Mode::kExclusive);
    // A picture of that name goes only when a save wrote it of this image: a
    // user's own picture or another program's file stays. The picture goes
    // first and the parameter file last, since only that file makes a name
    // readable and listed: an interruption leaves a pair that can be read
    // and deleted again, never a picture alone that would keep the name.
    if (IsPictureOfParameterFile(name)) RemoveIfPresent(PictureFileName(name));
    RemoveIfPresent(PixelFileName(name));
    RemoveIfPresent(ParameterFileName(name));
  }
  window_->ReadListRemove(state_.readIndex);
  SyncFolderOf(ParameterFileName(name));
}

namespace {

void RefuseTakenName(const std::string& file, Window& window) {
  window.ShowMessage(
      "El fichero " + file +
          " ya existe.\nSi quieres volver a utiliar este nombre\ntendrás que borrarlo previamente",
      kProgramName);
}

}  // namespace

void Explorer::SaveImage(const std::string& name, PictureSize size) {
  // Only the parameter file makes a name taken. Looked at first without the
  // lock, so that a taken name costs no writing.
  if (ParameterFileExists(name)) {
    RefuseTakenName(ParameterFileName(name), *window_);
    return;
  }
  const ImageRecord& image = state_.currentImage;
  const DeepPlace& place = state_.deepPlace;
  StagedFile pixels = StagePixelFile(name, CountsOf(state_));
  // The pair is saved and listed whatever becomes of the picture; a failed
  // picture is reported instead of the success. A file already under the
  // picture's name is never replaced: in a pictures folder it is likely the
  // user's own. A larger picture is computed again once the pair is saved,
  // under the window's progress; a deep image's is left to tesvo render,
  // which the message names.
  const bool larger = !IsDeep() && !(size == PictureSize{}) && CanRenderPicture(image, size);
  const bool deepLarger = IsDeep() && !(size == PictureSize{});
  std::optional<FileError> pictureError;
  std::optional<StagedFile> picture = [&]() -> std::optional<StagedFile> {
    if (larger || PictureFileExists(name)) return std::nullopt;
    try {
      if (IsDeep())
        return StageDeepPictureFile(
            name, image, place,
            ComposeWideCounts(state_.deepCounts.data(), static_cast<int>(image.Height()), 0,
                              static_cast<int>(image.Width()), state_.palette, image.gradation));
      return StagePictureFile(name, image, state_.countBuffer, state_.palette);
    } catch (const FileError& error) {
      pictureError = error;
      return std::nullopt;
    }
  }();
  bool taken = false;
  bool pictureKept = false;
  {
    // Another process may have taken the name since the first look: the
    // second look, and the parameter file's step that never replaces a file,
    // decide which of the two saves it.
    const FolderLock lock(ParameterFileName(name), FolderLock::Mode::kExclusive);
    taken = !PlacePair(name, image, pixels, PairPlacement::kNewName, place);
    if (!taken && !pictureError && !larger) {
      bool written = false;
      try {
        written = picture && picture->CommitIfFree();
      } catch (const FileError& error) {
        pictureError = error;
      }
      if (!written && !pictureError) pictureKept = !IsPictureOfParameterFile(name);
    }
  }
  if (taken) {
    RefuseTakenName(ParameterFileName(name), *window_);
    return;
  }
  SyncFolderOf(ParameterFileName(name));
  // An entry sorted in at or before the one read last moves it down a place:
  // readIndex follows it, so Borrar and the reading buttons still start from
  // the image the user read.
  if (AddSortedEntry(*window_, name) <= state_.readIndex) ++state_.readIndex;
  const std::string file = PictureFileName(name);
  std::string saved = "El fichero " + name + " ha sido grabado";
  if (larger && !pictureError) {
    bool written = false;
    if (!PictureFileExists(name)) {
      // The work runs beside the window's event loop: it takes its own copies.
      const ImageRecord record = image;
      const Palette palette = state_.palette;
      const std::string text = "Grabando el dibujo " + file + ", de " +
                               std::to_string(PictureWidth(record, size)) + " x " +
                               std::to_string(PictureHeight(record, size)) + " píxeles...";
      try {
        written = window_->RunCancellable(text, [&](const ProgressReport& report) {
          return WriteScaledPicture(file, record, palette, size, {.scan = {}, .progress = report}, true);
        });
      } catch (const FileError& error) {
        pictureError = error;
      }
    }
    // Not written: cancelled, or a file came under the picture's name.
    if (!written && !pictureError && !PictureFileExists(name))
      saved += ", sin el dibujo " + file + ", que se ha cancelado.";
    pictureKept = !written && !pictureError && PictureFileExists(name) && !IsPictureOfParameterFile(name);
  }
  if (pictureError) {
    // The pair is saved and listed whatever became of the picture: the
    // message says so, and how to have the picture all the same. Another
    // window's lock says "nothing has changed", which is not so here.
    const bool busy = pictureError->systemError() == kFolderBusy;
    saved += ", pero no su dibujo " + file + ":\n" +
             (busy ? FileErrorHeadline(*pictureError) : FileErrorText(*pictureError)) +
             "\nPara tenerlo, graba la imagen otra vez con otro nombre, o escribe en una terminal:\n";
    if (IsDeep()) {
      saved += DeepRenderCommand(image, place, size, file);
    } else {
      saved += "tesvo render " + ParameterFileName(name) + " " + file;
      if (size.scale > 1) saved += " --scale " + std::to_string(size.scale);
      if (size.antialias > 1) saved += " --antialias " + std::to_string(size.antialias);
    }
  }
  if (deepLarger && !pictureError)
    saved += "\nEl dibujo " + file +
             " tiene el tamaño de la pantalla: a esta profundidad, uno mayor se hace en una terminal con\n" +
             DeepRenderCommand(image, place, size, name + "_grande.png");
  if (pictureKept)
    saved += "\nYa había un fichero " + file +
             ", que no es de esta imagen: se ha dejado como estaba y la imagen queda sin dibujo.";
  window_->ShowMessage(saved, kProgramName);
}

void Explorer::RotateLastImages() {
  // Ordered so that a kill or an error at any point leaves each reserved name
  // with a whole parameter file of its old or its new image, and its pixel
  // file either the one of that image or missing (a read rebuilds it). The
  // new pixel file, the large one, is complete before anything moves.
  const std::string last = kLastName;
  const std::string secondLast = kSecondLastName;
  const ImageRecord& image = state_.currentImage;
  StagedFile pixels = StagePixelFile(last, CountsOf(state_));
  {
    // Another process's rotation, save or deletion of these names runs
    // wholly before or after this one.
    const FolderLock lock(ParameterFileName(last), FolderLock::Mode::kExclusive);
    RemoveIfPresent(PixelFileName(secondLast));
    if (ReplaceWithCopyOf(ParameterFileName(last), ParameterFileName(secondLast)))
      ReplaceWithCopyOf(PixelFileName(last), PixelFileName(secondLast));
    PlacePair(last, image, pixels, PairPlacement::kReplace, state_.deepPlace);
  }
  SyncFolderOf(ParameterFileName(last));
}

void Explorer::EnsureLastImages() {
  for (const char* name : {kLastName, kSecondLastName}) {
    if (ParameterFileExists(name)) continue;
    ImageRecord placeholder = state_.presets[2][kMandelbrotPreset];
    placeholder.pixelRight = placeholder.pixelLeft + 1;
    placeholder.pixelBottom = placeholder.pixelTop + 1;
    state_.currentImage = placeholder;
    WritePair(name, placeholder, state_.countBuffer.data(), StoredCountCount(placeholder));
  }
}

}  // namespace tesvo
