#include "cli/render_command.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <iomanip>
#include <optional>
#include <utility>

#include "cli/render_output.h"
#include "cli/view_render.h"
#include "colour/palette.h"
#include "colour/scaled_picture.h"
#include "commands/messages.h"
#include "library/file_error.h"
#include "library/image_files.h"
#include "library/picture_file.h"
#include "library/record_problem.h"

namespace tesvo {
namespace {

struct Request {
  bool help = false;
  std::string input;
  std::string output;
  PictureSize size;
  int threads = 0;  // 0: every core
};

// A usage error: the message, without the usage line.
struct UsageError {
  std::string message;
};

struct Option {
  const char* name;
  const char* meaning;  // as the message names it
  int high;
};

constexpr Option kOptions[] = {
    {"--scale", "La escala", kMaxPictureScale},
    {"--antialias", "El suavizado", kMaxAntialias},
    {"--threads", "El número de hilos", kMaxRenderThreads},
};

int& OptionValue(Request& request, const Option& option) {
  if (&option == &kOptions[0]) return request.size.scale;
  if (&option == &kOptions[1]) return request.size.antialias;
  return request.threads;
}

constexpr CommandOption kArities[] = {{"--scale", 1}, {"--antialias", 1}, {"--threads", 1}};

std::optional<Request> Parse(const std::vector<std::string>& arguments, UsageError& error) {
  Request request;
  const std::optional<CommandWords> words = ReadCommandWords(arguments, kArities, error.message);
  if (!words) return std::nullopt;
  if (words->help) {
    request.help = true;
    return request;
  }
  for (const Option& option : kOptions)
    if (!ReadWholeOption(*words, option.name, option.meaning, option.high, OptionValue(request, option),
                         error.message))
      return std::nullopt;
  const std::vector<std::string>& files = words->files;
  if (files.size() < 2) {
    error.message = files.empty() ? "Faltan el fichero de la imagen (.dat) y el del dibujo (.png)."
                                  : "Falta el fichero del dibujo (.png).";
    return std::nullopt;
  }
  if (files.size() > 2) {
    error.message = "Sobra «" + files[2] + "»: solo se dan dos ficheros.";
    return std::nullopt;
  }
  if (files[1].empty()) {
    error.message = "El nombre del fichero del dibujo está vacío.";
    return std::nullopt;
  }
  request.input = files[0];
  request.output = files[1];
  return request;
}

int Render(const Request& request, std::ostream& err, bool progressBar, int standardOutput) {
  const SavedRecord saved = ReadSavedRecordFile(request.input);
  const ImageRecord& record = saved.record;
  if (!saved.placeRead || !saved.place.Empty()) {
    // A deep image: its place follows the record, and the deep engine draws it.
    if (const std::optional<RecordFault> problem = SavedRecordProblem(saved)) {
      Say(err,
          "El fichero " + request.input + " no es una imagen de Tesvo: " + RecordFaultText(*problem) + ".");
      return kRenderFailed;
    }
    std::error_code ignored;
    if (request.output != "-" && std::filesystem::equivalent(request.input, request.output, ignored)) {
      Say(err, "El dibujo no puede ir en el propio fichero " + request.input + ".");
      return kRenderBadUsage;
    }
    return RenderDeepImage(record, saved.place, request.size, request.threads, request.output, err,
                           progressBar, standardOutput);
  }
  // The small picture's preview is never saved, and has no picture here.
  if (record.kind == kPreviewKind) {
    Say(err,
        "El fichero " + request.input + " es una vista previa de un conjunto de Julia, que no se dibuja.");
    return kRenderFailed;
  }
  if (const std::optional<RecordFault> problem = RecordProblem(record)) {
    Say(err,
        "El fichero " + request.input + " no es una imagen de Tesvo: " + RecordFaultText(*problem) + ".");
    return kRenderFailed;
  }
  if (!CanRenderPicture(record, request.size)) {
    Say(err, "La imagen de " + request.input + " no tiene ningún punto: mide " +
                 std::to_string(record.Width()) + " x " + std::to_string(record.Height()) + ".");
    return kRenderFailed;
  }
  std::error_code ignored;
  if (request.output != "-" && std::filesystem::equivalent(request.input, request.output, ignored)) {
    Say(err, "El dibujo no puede ir en el propio fichero " + request.input + ".");
    return kRenderBadUsage;
  }
  Destination destination;
  std::optional<std::string> usage;
  try {
    OpenDestination(request.output, standardOutput, destination, usage);
  } catch (const FileError& error) {
    if (error.systemError() != EINTR) throw;
  }
  if (usage) {
    Say(err, *usage);
    return kRenderBadUsage;
  }
  SweepBeside(destination);

  // The colours a fresh start gives the record, whatever another build left.
  Palette palette{};
  BuildPaletteFor(record, palette);

  ProgressBar bar(err);
  RenderSettings settings;
  settings.scan.threads = request.threads;
  settings.progress = [&](double done) {
    if (progressBar) bar.Show(done);
    return !InterruptCatcher::Interrupted();
  };
  bool finished = false;
  try {
    if (!InterruptCatcher::Interrupted())
      finished = destination.file.empty()
                     ? WriteScaledPictureInto(destination.fd, request.output, record, palette, request.size,
                                              settings)
                     : WriteScaledPicture(destination.file, record, palette, request.size, settings);
    if (finished && destination.ownsFd && ::close(std::exchange(destination.fd, -1)) != 0)
      throw FileError(FileStep::kWrite, request.output, errno);
  } catch (...) {
    if (progressBar) bar.Break();
    throw;
  }
  if (!finished) {
    if (progressBar) bar.Break();
    Say(err, destination.file.empty()
                 ? "Interrumpido; lo escrito en " + request.output + " no es un dibujo entero."
                 : "Interrumpido; no se ha grabado " + request.output + ".");
    return kRenderInterrupted;
  }
  return 0;
}

}  // namespace

int RenderCommand(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err,
                  bool progressBar, int standardOutput) {
  // First of all, so that a Ctrl+C at any moment leaves no file behind and
  // says so.
  InterruptCatcher catcher;
  if (IsViewCommand(arguments)) return RenderViewCommand(arguments, err, progressBar, standardOutput);
  UsageError usage;
  const std::optional<Request> request = Parse(arguments, usage);
  if (!request) {
    Say(err, usage.message + "\n" + kRenderUsage);
    return kRenderBadUsage;
  }
  if (request->help) {
    out << kRenderUsage << "\n" << kViewUsage << "\n\n" << kRenderHelp;
    out.flush();
    return out ? 0 : kRenderFailed;
  }
  return ReportingFailures(err, "tesvo render",
                           [&] { return Render(*request, err, progressBar, standardOutput); });
}

}  // namespace tesvo
