#include "cli/view_render.h"

#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <functional>
#include <optional>
#include <utility>

#include "cli/render_command.h"
#include "cli/render_output.h"
#include "colour/palette.h"
#include "colour/scaled_picture.h"
#include "commands/messages.h"
#include "engine/deep_view.h"
#include "engine/image_record.h"
#include "library/file_calls.h"
#include "library/file_error.h"
#include "library/file_writing.h"
#include "library/picture_file.h"
#include "library/png_writer.h"

namespace tesvo {
namespace {

// Keyword of the text chunk that carries the view in the picture.

struct ViewRequest {
  DeepView view;
  std::string output;
  std::string counts;  // empty: none
  int threads = 0;
  int antialias = 1;
  std::optional<ImageRecord> colours;  // a saved deep image's; else the preset's
};

constexpr CommandOption kViewOptions[] = {{"--formula", 1}, {"--centre", 2},  {"--width", 1},
                                          {"--limit", 1},   {"--size", 1},    {"--method", 1},
                                          {"--counts", 1},  {"--threads", 1}, {"--antialias", 1}};

// The colouring methods by number or by the names the window gives them.
std::optional<int> MethodOf(const std::string& text) {
  if (const std::optional<int> number = WholeNumber(text, 0, 3)) return number;
  constexpr const char* kNames[] = {"convergencia", "descomposición", "tiempo de escape", "inversión"};
  for (int method = 0; method < 4; ++method)
    if (text == kNames[method]) return method;
  return std::nullopt;
}

// The option values, or the message of the first thing wrong.
std::optional<ViewRequest> ParseView(const std::vector<std::string>& arguments, std::string& error) {
  const std::optional<CommandWords> words = ReadCommandWords(arguments, kViewOptions, error);
  if (!words) return std::nullopt;
  const std::vector<std::string>& files = words->files;
  const auto value = [&](const char* name) { return words->Values(name); };
  for (const char* required : {"--formula", "--centre", "--width", "--limit", "--size"})
    if (value(required) == nullptr) {
      error = std::string("Falta ") + required + ".";
      return std::nullopt;
    }
  if (files.size() != 1) {
    error = files.empty() ? "Falta el fichero del dibujo (.png)."
                          : "Sobra «" + files[1] + "»: una vista se dibuja en un solo fichero.";
    return std::nullopt;
  }
  if (files[0].empty()) {
    error = "El nombre del fichero del dibujo está vacío.";
    return std::nullopt;
  }

  ViewRequest request;
  request.output = files[0];
  const std::string& letter = value("--formula")->front();
  if (letter.size() != 1 || FormulaRow(letter[0]) < 0) {
    error = "La fórmula (--formula) tiene que ser una letra de la a a la h, no «" + letter + "».";
    return std::nullopt;
  }
  DeepView& view = request.view;
  view.formulaLetter = letter[0];
  view.bound = DeepPresetBound(view.formulaLetter);
  for (const std::string& part : *value("--centre"))
    if (!IsDecimalNumber(part)) {
      error = "El centro (--centre) son dos números decimales, como -0.75 0.1 o 1.5e-30; «" + part +
              "» no lo es.";
      return std::nullopt;
    }
  view.centreRe = (*value("--centre"))[0];
  view.centreIm = (*value("--centre"))[1];
  view.width = value("--width")->front();
  if (!IsDecimalNumber(view.width)) {
    error = "La anchura (--width) tiene que ser un número decimal mayor que 0, como 3 o 1e-100, no «" +
            view.width + "».";
    return std::nullopt;
  }
  const std::optional<std::int64_t> limit =
      WholeNumber<std::int64_t>(value("--limit")->front(), 1, kMaxViewLimit);
  if (!limit) {
    error = "El límite de iteraciones (--limit) tiene que ser un número entero de 1 a " +
            std::to_string(kMaxViewLimit) + ", no «" + value("--limit")->front() + "».";
    return std::nullopt;
  }
  view.limit = *limit;
  const std::string& size = value("--size")->front();
  const std::size_t x = size.find('x');
  const std::optional<int> columns = WholeNumber(size.substr(0, x), 1, 65536);
  const std::optional<int> rows =
      x == std::string::npos ? std::nullopt : WholeNumber(size.substr(x + 1), 1, 65536);
  if (!columns || !rows || std::int64_t{*columns} * *rows > kMaxViewPixels) {
    error = "El tamaño (--size) es ANCHOxALTO en píxeles, como 1280x720, de 1 a 65536 cada uno y a lo sumo " +
            std::to_string(kMaxViewPixels) + " píxeles en total, no «" + size + "».";
    return std::nullopt;
  }
  view.columns = *columns;
  view.rows = *rows;
  if (const auto* method = value("--method")) {
    const std::optional<int> number = MethodOf(method->front());
    if (!number) {
      error =
          "El modo (--method) es «convergencia», «descomposición», «tiempo de escape» o «inversión» (o su "
          "número, de 0 a 3), no «" +
          method->front() + "».";
      return std::nullopt;
    }
    view.method = *number;
  }
  if (!ReadWholeOption(*words, "--threads", "El número de hilos", kMaxRenderThreads, request.threads,
                       error) ||
      !ReadWholeOption(*words, "--antialias", "El suavizado", kMaxAntialias, request.antialias, error))
    return std::nullopt;
  // The samples of the finer grid are counted too, and held whole.
  if (std::int64_t{view.columns} * view.rows * request.antialias * request.antialias > kMaxViewPixels) {
    error = "Con el suavizado (--antialias " + std::to_string(request.antialias) + ") el dibujo tendría " +
            std::to_string(std::int64_t{view.columns} * view.rows * request.antialias * request.antialias) +
            " muestras; a lo sumo son " + std::to_string(kMaxViewPixels) + ".";
    return std::nullopt;
  }
  if (const auto* counts = value("--counts")) request.counts = counts->front();
  if (!request.counts.empty() && request.antialias > 1) {
    error = "Las cuentas (--counts) se graban solo sin suavizado (--antialias 1).";
    return std::nullopt;
  }
  if (request.counts == "-" && request.output == "-") {
    error = "El dibujo y las cuentas no pueden ir los dos a la salida estándar.";
    return std::nullopt;
  }
  return request;
}

// Writes bytes to where the destination leads: a temporary file that Commit
// puts in place, or straight into what is open.
class DestinationWriter {
 public:
  DestinationWriter(const Destination& destination, std::string name) : name_(std::move(name)) {
    if (!destination.file.empty())
      file_.emplace(destination.file, ".png");
    else
      fd_ = destination.fd;
  }
  void Write(const std::uint8_t* bytes, std::size_t size) {
    if (file_)
      file_->Write(bytes, size);
    else if (!file_calls::WriteAll(fd_, name_.c_str(), bytes, size))
      throw FileError(FileStep::kWrite, name_, errno);
  }
  void Commit() {
    if (file_) file_->Commit();
  }

 private:
  std::string name_;
  std::optional<StreamedFile> file_;
  int fd_ = -1;
};

int RenderView(const ViewRequest& request, std::ostream& err, bool progressBar, int standardOutput) {
  const DeepView& view = request.view;
  if (!DeepFormulaSupported(view.formulaLetter)) {
    Say(err, std::string("La fórmula ") + view.formulaLetter +
                 " no se dibuja todavía a cualquier profundidad; se dibujan la c (z^2), la e (z^4) y la f "
                 "(z^4+z^3).");
    return kRenderFailed;
  }
  if (const std::optional<DeepViewFault> problem = DeepViewProblem(view)) {
    Say(err, DeepViewFaultText(*problem, view.formulaLetter) + ".");
    // A method the command line names but a view cannot be drawn in fails, as
    // a formula does.
    return *problem == DeepViewFault::kInversion ? kRenderFailed : kRenderBadUsage;
  }
  Destination picture, counts;
  std::optional<std::string> usage;
  try {
    OpenDestination(request.output, standardOutput, picture, usage);
    if (!usage && !request.counts.empty()) OpenDestination(request.counts, standardOutput, counts, usage);
  } catch (const FileError& error) {
    if (error.systemError() != EINTR) throw;
  }
  if (usage) {
    Say(err, *usage);
    return kRenderBadUsage;
  }
  SweepBeside(picture);
  SweepBeside(counts);
  // Temporaries are made before the counting, so that a folder that cannot
  // take them is told at once.
  std::optional<DestinationWriter> pictureOut, countsOut;
  if (!InterruptCatcher::Interrupted()) {
    pictureOut.emplace(picture, request.output);
    if (!request.counts.empty()) countsOut.emplace(counts, request.counts);
  }

  ProgressBar bar(err);
  const auto stop = [&](const std::string& text) {
    if (progressBar) bar.Break();
    Say(err, text);
  };
  DeepSettings settings;
  settings.threads = request.threads;
  settings.progress = [&](double done) {
    if (progressBar) bar.Show(done * 0.95);
    return !InterruptCatcher::Interrupted();
  };
  bool counted = false;
  try {
    ByteSink countsSink;
    if (countsOut)
      countsSink = [&](const std::uint8_t* bytes, std::size_t size) { countsOut->Write(bytes, size); };
    counted = pictureOut &&
              WriteViewPicture(
                  view, settings,
                  [&](const std::uint8_t* bytes, std::size_t size) { pictureOut->Write(bytes, size); },
                  countsSink, request.antialias, request.colours ? &*request.colours : nullptr);
    if (counted) {
      pictureOut->Commit();
      if (countsOut) countsOut->Commit();
      for (Destination* d : {&picture, &counts})
        if (d->ownsFd && ::close(std::exchange(d->fd, -1)) != 0)
          throw FileError(FileStep::kWrite, request.output, errno);
      if (progressBar) bar.Show(1);
    }
  } catch (...) {
    if (progressBar) bar.Break();
    throw;
  }
  if (!counted) {
    stop("Interrumpido; no se ha grabado " + request.output + ".");
    return kRenderInterrupted;
  }
  return 0;
}

}  // namespace

bool PresetColours(const ImageRecord* colours, char formulaLetter) {
  if (colours == nullptr) return true;
  const ImageRecord& preset = BuiltInPresets()[FormulaRow(formulaLetter)][kMandelbrotPreset];
  return colours->controlColours == preset.controlColours && colours->gradation == preset.gradation;
}

std::string ControlColoursText(const ControlColours& colours) {
  std::string text;
  // Appended piece by piece: GCC 12's Release build takes "..." + a
  // temporary string for overlapping copies and warns.
  for (const RGB& c : colours) {
    if (!text.empty()) text += ' ';
    text.append(std::to_string(c.red)).append(",").append(std::to_string(c.green));
    text.append(",").append(std::to_string(c.blue));
  }
  return text;
}

std::optional<ControlColours> ParseControlColours(const std::string& text) {
  ControlColours colours{};
  std::size_t at = 0;
  // Fifteen components, each ended by a comma, a space or the text's end.
  for (std::size_t n = 0; n < 15; ++n) {
    const std::size_t end = n == 14 ? text.size() : text.find(n % 3 == 2 ? ' ' : ',', at);
    if (end == std::string::npos) return std::nullopt;
    const std::optional<std::int32_t> value = WholeNumber<std::int32_t>(text.substr(at, end - at), 0, 255);
    if (!value) return std::nullopt;
    RGB& c = colours[n / 3];
    (n % 3 == 0 ? c.red : n % 3 == 1 ? c.green : c.blue) = *value;
    at = end + 1;
  }
  return colours;
}

std::string ViewText(const DeepView& view, int antialias, const ImageRecord* colours) {
  std::string text = std::string("formula ") + view.formulaLetter + "\ncentre " + view.centreRe + " " +
                     view.centreIm + "\nwidth " + view.width + "\nlimit " + std::to_string(view.limit) +
                     "\nsize " + std::to_string(view.columns) + "x" + std::to_string(view.rows) + "\n";
  // By number, as --method takes it: a text chunk holds Latin-1, and the
  // names have accents. "tiempo de escape" is left out, as in every view's
  // text before the other methods.
  if (view.method != kEscapeTime) text += "method " + std::to_string(view.method) + "\n";
  // Other colours are named, so that a picture in the preset's is never
  // taken for one in a saved image's, nor the other way round.
  if (!PresetColours(colours, view.formulaLetter))
    text += "colours " + ControlColoursText(colours->controlColours) + "\ngradation " +
            std::to_string(colours->gradation) + "\n";
  if (antialias > 1) text += "antialias " + std::to_string(antialias) + "\n";
  return text;
}

bool WriteViewPicture(const DeepView& view, const DeepSettings& settings, const ByteSink& picture,
                      const ByteSink& counts, int antialias, const ImageRecord* colours) {
  // The samples: the view itself, or the same plane on a finer grid, whose
  // A x A samples of a pixel lie around that pixel's centre.
  DeepView samples = view;
  samples.columns *= antialias;
  samples.rows *= antialias;
  const std::size_t fineRows = static_cast<std::size_t>(samples.rows);
  std::vector<std::uint32_t> all(static_cast<std::size_t>(samples.columns) * fineRows);
  if (!CountDeepView(samples, settings, [&](int first, int count, const std::uint32_t* c) {
        std::copy(c, c + static_cast<std::size_t>(count) * fineRows, all.begin() + first * fineRows);
      }))
    return false;
  const ImageRecord& preset =
      colours != nullptr ? *colours : BuiltInPresets()[FormulaRow(view.formulaLetter)][kMandelbrotPreset];
  Palette palette{};
  BuildPaletteFor(preset, palette);
  const auto colour = [&](std::uint32_t count) {
    return ColourOf(palette, PaletteIndex(count, preset.gradation));
  };
  const std::size_t columns = static_cast<std::size_t>(view.columns);
  const std::size_t rows = static_cast<std::size_t>(view.rows);
  const std::size_t a = static_cast<std::size_t>(antialias);
  PngWriter png(view.columns, view.rows, kViewKeyword, ViewText(view, antialias, colours), picture);
  std::vector<std::uint8_t> rgb(3 * columns);
  std::vector<std::uint8_t> little(4 * columns);
  for (std::size_t j = 0; j < rows; ++j) {
    if (InterruptCatcher::Interrupted()) return false;
    for (std::size_t i = 0; i < columns; ++i) {
      if (a == 1) {
        const std::uint32_t count = all[i * rows + j];
        PutRgb(colour(count), &rgb[3 * i]);
        for (int b = 0; b < 4; ++b) little[4 * i + b] = static_cast<std::uint8_t>(count >> (8 * b));
        continue;
      }
      ColourSum sum;
      for (std::size_t x = i * a; x < i * a + a; ++x)
        for (std::size_t y = j * a; y < j * a + a; ++y) sum.Add(colour(all[x * fineRows + y]));
      sum.PutMean(static_cast<std::uint32_t>(a * a), &rgb[3 * i]);
    }
    png.Row(rgb.data());
    if (counts) counts(little.data(), little.size());
  }
  png.Finish(kPixelsKeyword);
  return !InterruptCatcher::Interrupted();
}

bool IsViewCommand(const std::vector<std::string>& arguments) {
  for (const std::string& argument : arguments) {
    if (argument == "--") break;
    if (argument == "--formula" || argument.starts_with("--formula=")) return true;
  }
  return false;
}

int RenderDeepImage(const ImageRecord& record, const DeepPlace& place, PictureSize size, int threads,
                    const std::string& output, std::ostream& err, bool progressBar, int standardOutput) {
  ViewRequest request;
  request.view = ViewOfImage(record, place);
  request.view.columns *= size.scale;
  request.view.rows *= size.scale;
  request.output = output;
  request.threads = threads;
  request.antialias = size.antialias;
  request.colours = record;
  return RenderView(request, err, progressBar, standardOutput);
}

int RenderViewCommand(const std::vector<std::string>& arguments, std::ostream& err, bool progressBar,
                      int standardOutput) {
  std::string usage;
  const std::optional<ViewRequest> request = ParseView(arguments, usage);
  if (!request) {
    Say(err, usage + "\n" + kViewUsage);
    return kRenderBadUsage;
  }
  return ReportingFailures(err, "tesvo render",
                           [&] { return RenderView(*request, err, progressBar, standardOutput); });
}

}  // namespace tesvo
