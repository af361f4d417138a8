#include "cli/movie_command.h"

#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <utility>

#include "cli/movie_frames.h"
#include "cli/movie_images.h"
#include "cli/movie_plan.h"
#include "cli/movie_video.h"
#include "cli/render_command.h"
#include "cli/render_output.h"
#include "cli/view_render.h"
#include "colour/scaled_picture.h"
#include "commands/messages.h"
#include "engine/formulas.h"
#include "library/file_error.h"
#include "library/image_files.h"

namespace tesvo {
namespace {

constexpr const char* kCommand = "tesvo movie";
constexpr int kMaxFrames = 1000000;
constexpr int kMaxFps = 240;

struct MovieRequest {
  bool help = false;
  std::string output;  // empty: frames only
  std::string folder;
  std::string encode;  // the folder to join, for --encode
  Movie movie;
  int firstFrame = 1, lastFrame = 0;
  int threads = 0;
};

constexpr CommandOption kOptions[] = {
    {"--formula", 1}, {"--from", 3},      {"--to", 3},         {"--limit", 1},
    {"--limits", 2},  {"--method", 1},    {"--seconds", 1},    {"--fps", 1},
    {"--size", 1},    {"--antialias", 1}, {"--frames", 1},     {"--folder", 1},
    {"--encode", 1},  {"--threads", 1},   {"--from-image", 1}, {"--to-image", 1}};

using Given = CommandWords;

const std::vector<std::string>* Value(const Given& given, const char* name) { return given.Values(name); }

// The views, limits, rate and size; a message, and whether it is a usage
// error (2) or a refusal (1), on the first thing wrong. Every usage error is
// found before an image is read.
std::optional<std::string> ParseMovie(const Given& given, MovieRequest& request, int& status) {
  status = kRenderBadUsage;
  const std::vector<std::string>* fromImage = Value(given, "--from-image");
  const std::vector<std::string>* toImage = Value(given, "--to-image");
  const bool images = fromImage != nullptr || toImage != nullptr;
  const std::vector<std::string>* limit = Value(given, "--limit");
  const std::vector<std::string>* limits = Value(given, "--limits");
  if (images) {
    // The images give the formula and the first one the method.
    if (Value(given, "--from") != nullptr || Value(given, "--to") != nullptr)
      return std::string(
          "Una película va de --from a --to o de --from-image a --to-image, no de las dos maneras.");
    for (const char* option : {"--formula", "--method"})
      if (Value(given, option) != nullptr)
        return std::string(option) +
               " no va con --from-image: la fórmula sale de las imágenes, y el modo y los colores de la "
               "primera.";
    if (fromImage == nullptr) return std::string("Falta --from-image.");
    if (toImage == nullptr) return std::string("Falta --to-image.");
    if (limit != nullptr && limits != nullptr)
      return std::string("Se da --limit N o --limits N0 N1, no los dos.");
  } else {
    for (const char* required : {"--formula", "--from", "--to"})
      if (Value(given, required) == nullptr) return std::string("Falta ") + required + ".";
    if ((limit == nullptr) == (limits == nullptr))
      return std::string("Hace falta o --limit N o --limits N0 N1.");
  }
  Movie& movie = request.movie;
  FrameView ends[2];
  if (!images) {
    const std::string& letter = Value(given, "--formula")->front();
    if (letter.size() != 1 || FormulaRow(letter[0]) < 0)
      return "La fórmula (--formula) tiene que ser una letra de la a a la h, no «" + letter + "».";
    movie.formulaLetter = letter[0];
    const char* names[2] = {"--from", "--to"};
    for (int e = 0; e < 2; ++e) {
      const std::vector<std::string>& v = *Value(given, names[e]);
      for (const std::string& part : v)
        if (!IsDecimalNumber(part))
          return std::string("La vista de ") + names[e] +
                 " son tres números decimales, el centro y la anchura (como -0.75 0.1 3); «" + part +
                 "» no lo es.";
      ends[e] = {v[0], v[1], v[2], 0};
    }
  }
  // The limits given, which those of the images give way to.
  std::optional<std::int64_t> givenLimits[2];
  if (limit != nullptr || limits != nullptr) {
    const std::vector<std::string>& limitText = limit != nullptr ? *limit : *limits;
    for (std::size_t e = 0; e < 2; ++e) {
      const std::string& text = limitText[std::min(e, limitText.size() - 1)];
      givenLimits[e] = WholeNumber<std::int64_t>(text, 1, kMaxViewLimit);
      if (!givenLimits[e])
        return "El límite de iteraciones tiene que ser un número entero de 1 a " +
               std::to_string(kMaxViewLimit) + ", no «" + text + "».";
    }
  }
  int fps = 30;
  if (const auto* v = Value(given, "--fps")) {
    const std::optional<int> n = WholeNumber(v->front(), 1, kMaxFps);
    if (!n)
      return "Los fotogramas por segundo (--fps) son un número entero de 1 a 240, no «" + v->front() + "».";
    fps = *n;
  }
  double seconds = 10;
  if (const auto* v = Value(given, "--seconds")) {
    char* end = nullptr;
    seconds = std::strtod(v->front().c_str(), &end);
    if (v->front().empty() || *end != '\0' || !(seconds > 0) || !(seconds * fps <= kMaxFrames))
      return "La duración (--seconds) es un número de segundos mayor que 0, como 10 o 2.5, no «" +
             v->front() + "».";
  }
  const long long frames = std::llround(seconds * fps);
  if (frames < 2)
    return std::string("Una película tiene al menos dos fotogramas: alarga --seconds o sube --fps.");
  movie.fps = fps;
  movie.columns = 1280;
  movie.rows = 720;
  if (const auto* v = Value(given, "--size")) {
    const std::string& size = v->front();
    const std::size_t x = size.find('x');
    const std::optional<int> columns = WholeNumber(size.substr(0, x), 1, 65536);
    const std::optional<int> rows =
        x == std::string::npos ? std::nullopt : WholeNumber(size.substr(x + 1), 1, 65536);
    if (!columns || !rows || std::int64_t{*columns} * *rows > kMaxViewPixels)
      return "El tamaño (--size) es ANCHOxALTO en píxeles, como 1280x720, de 1 a 65536 cada uno, no «" +
             size + "».";
    movie.columns = *columns;
    movie.rows = *rows;
  }
  if (!request.output.empty() && (movie.columns % 2 != 0 || movie.rows % 2 != 0))
    return "El vídeo (H.264, yuv420p) pide un ancho y un alto pares, no " + std::to_string(movie.columns) +
           "x" + std::to_string(movie.rows) + ".";
  if (const auto* v = Value(given, "--frames")) {
    const std::optional<std::pair<int, int>> range = ParseFrameRange(v->front(), static_cast<int>(frames));
    if (!range)
      return "Los fotogramas (--frames) son A-B, de 1 a " + std::to_string(frames) +
             " en esta película, no «" + v->front() + "».";
    std::tie(request.firstFrame, request.lastFrame) = *range;
  } else {
    request.lastFrame = static_cast<int>(frames);
  }
  std::string wrong;
  if (!ReadWholeOption(given, "--antialias", "El suavizado", kMaxAntialias, movie.antialias, wrong))
    return wrong;
  if (std::int64_t{movie.columns} * movie.rows * movie.antialias * movie.antialias > kMaxViewPixels)
    return "Con el suavizado (--antialias " + std::to_string(movie.antialias) +
           ") cada fotograma tendría más de " + std::to_string(kMaxViewPixels) + " muestras.";
  // What the images hold, or a formula or method a movie does not draw, is
  // refused: a failure, not a usage error, as tesvo render refuses them.
  status = kRenderFailed;
  if (images) {
    std::string problem;
    try {
      const std::optional<MovieImage> first = ReadMovieImage(fromImage->front(), problem);
      if (!first) return problem;
      const std::optional<MovieImage> last = ReadMovieImage(toImage->front(), problem);
      if (!last) return problem;
      if (std::optional<std::string> other = TakeImageEnds(*first, *last, movie, ends)) return other;
    } catch (const FileError& error) {
      return OneLine(FileErrorText(error));
    }
  } else {
    if (!DeepFormulaSupported(movie.formulaLetter))
      return std::string("La fórmula ") + movie.formulaLetter +
             " no se dibuja todavía a cualquier profundidad; se dibujan la c (z^2), la e (z^4) y la f "
             "(z^4+z^3).";
    if (const auto* v = Value(given, "--method");
        v != nullptr && v->front() != "tiempo de escape" && v->front() != "2")
      return std::string("Una película se dibuja todavía solo en el modo «tiempo de escape».");
  }
  for (int e = 0; e < 2; ++e)
    if (givenLimits[e]) ends[e].limit = *givenLimits[e];
  for (const FrameView& end : ends) {
    const DeepView view = MovieDeepView(movie, end);
    if (const std::optional<DeepViewFault> problem = DeepViewProblem(view)) {
      // Numbers given on the command line are a usage error; an image's a refusal.
      status = images ? kRenderFailed : kRenderBadUsage;
      return DeepViewFaultText(*problem, view.formulaLetter) + ".";
    }
  }
  movie.frames = InterpolateViews(ends[0], ends[1], static_cast<int>(frames));
  return std::nullopt;
}

// The request, or the message and the exit status of the first thing wrong.
std::optional<MovieRequest> Parse(const std::vector<std::string>& arguments, std::string& error,
                                  int& status) {
  status = kRenderBadUsage;
  MovieRequest request;
  const std::optional<Given> read = ReadCommandWords(arguments, kOptions, error);
  if (!read) return std::nullopt;
  const Given& given = *read;
  const std::vector<std::string>& files = given.files;
  if (given.help) {
    request.help = true;
    return request;
  }
  if (files.size() > 1) {
    error = "Sobra «" + files[1] + "»: una película va a un solo fichero.";
    return std::nullopt;
  }
  if (!files.empty()) request.output = files[0];
  if (const auto* v = Value(given, "--folder")) request.folder = v->front();
  if (!ReadWholeOption(given, "--threads", "El número de hilos", kMaxRenderThreads, request.threads, error))
    return std::nullopt;
  if (const auto* v = Value(given, "--encode")) {
    request.encode = v->front();
    if (request.output.empty() || given.options.size() != 1) {
      error =
          "--encode CARPETA se da solo, con el fichero del vídeo: tesvo movie SALIDA.mp4 --encode CARPETA.";
      return std::nullopt;
    }
    return request;
  }
  if (request.output.empty() && request.folder.empty()) {
    error = "Falta el fichero del vídeo (.mp4), o --folder CARPETA para los fotogramas solos.";
    return std::nullopt;
  }
  if (Value(given, "--frames") != nullptr && (request.folder.empty() || !request.output.empty())) {
    error = "--frames A-B dibuja parte de los fotogramas en --folder CARPETA, sin vídeo.";
    return std::nullopt;
  }
  if (request.folder.empty())
    request.folder = std::filesystem::path(request.output).replace_extension(".frames");
  if (request.output.empty() ? false : request.output == request.folder) {
    error = "El vídeo y la carpeta de los fotogramas no pueden llamarse igual.";
    return std::nullopt;
  }
  if (std::optional<std::string> problem = ParseMovie(given, request, status)) {
    error = *problem;
    return std::nullopt;
  }
  return request;
}

// "\r fotograma 12 de 300 · quedan 3:40", redrawn at most four times a
// second.
class FrameProgress {
 public:
  FrameProgress(std::ostream& err, bool shown, int total) : err_(err), shown_(shown), total_(total) {}
  void Show(double done) {
    if (!shown_) return;
    const Clock::time_point now = Clock::now();
    if (now - drawn_ < std::chrono::milliseconds(250) && done < total_) return;
    drawn_ = now;
    const double elapsed = std::chrono::duration<double>(now - start_).count();
    char line[96];
    std::snprintf(line, sizeof line, "\r %d de %d fotogramas", static_cast<int>(done), total_);
    err_ << line;
    if (done > 0 && done < total_ && elapsed > 1) {
      const long left = std::lround(elapsed * (total_ - done) / done);
      std::snprintf(line, sizeof line, ", quedan %ld:%02ld:%02ld   ", left / 3600, left / 60 % 60, left % 60);
      err_ << line;
    }
    err_ << std::flush;
    open_ = true;
  }
  void Break() {
    if (open_) err_ << "\n";
    open_ = false;
  }

 private:
  using Clock = std::chrono::steady_clock;
  std::ostream& err_;
  bool shown_;
  int total_;
  Clock::time_point start_ = Clock::now();
  Clock::time_point drawn_{};
  bool open_ = false;
};

int Run(const MovieRequest& request, std::ostream& err, bool progress) {
  const auto say = [&](const std::string& text) { Say(err, text, kCommand); };
  std::optional<Movie> read;
  if (!request.encode.empty()) {
    std::string problem;
    read = ReadFolderMovie(request.encode, problem);
    if (!read) {
      say(problem);
      return kRenderFailed;
    }
    const int count = static_cast<int>(read->frames.size());
    if (const std::string missing = MissingFrames(*read, request.encode, 1, count); !missing.empty()) {
      say("Faltan fotogramas en " + request.encode + " (de " + std::to_string(count) + "): " + missing + ".");
      return kRenderFailed;
    }
    if (read->columns % 2 != 0 || read->rows % 2 != 0) {
      say("El vídeo (H.264, yuv420p) pide un ancho y un alto pares.");
      return kRenderFailed;
    }
  }
  const Movie& movie = read ? *read : request.movie;
  const std::string& folder = read ? request.encode : request.folder;
  const int first = read ? 1 : request.firstFrame;
  const int last = read ? static_cast<int>(movie.frames.size()) : request.lastFrame;
  // A video that could not be put in place is told before any frame is drawn.
  if (!request.output.empty()) {
    const std::filesystem::path parent = std::filesystem::path(request.output).parent_path();
    if (::access(parent.empty() ? "." : parent.c_str(), W_OK) != 0)
      throw FileError(FileStep::kWrite, request.output, errno);
    if (std::filesystem::is_directory(request.output))
      throw FileError(FileStep::kWrite, request.output, EISDIR);
  }
  if (!read)
    if (const std::optional<std::string> other = PrepareFolder(movie, folder)) {
      say(*other);
      return kRenderFailed;
    }
  std::optional<VideoEncoder> video;
  if (!request.output.empty()) {
    video.emplace(request.output, movie.fps);
    if (video->Problem()) {
      say(*video->Problem());
      return kRenderFailed;
    }
  }
  FrameProgress bar(err, progress, last - first + 1);
  FrameSettings settings;
  settings.threads = request.threads;
  settings.progress = [&](double done) {
    bar.Show(done);
    return !InterruptCatcher::Interrupted();
  };
  if (video) settings.sink = [&](const std::vector<std::uint8_t>& png) { return video->Frame(png); };
  bool finished = false;
  try {
    finished = DrawFrames(movie, folder, first, last, settings) && (!video || video->Finish());
  } catch (...) {
    bar.Break();
    throw;
  }
  bar.Break();
  if (video && video->Problem()) {
    say(*video->Problem());
    return kRenderFailed;
  }
  if (!finished) {
    say("Interrumpido; los fotogramas enteros quedan en " + folder +
        (video ? "; no se ha grabado " + request.output : std::string()) + ".");
    return kRenderInterrupted;
  }
  return 0;
}

}  // namespace

int MovieCommand(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err,
                 bool progress) {
  InterruptCatcher catcher;
  std::string usage;
  int status = 0;
  const std::optional<MovieRequest> request = Parse(arguments, usage, status);
  if (!request) {
    Say(err, status == kRenderBadUsage ? usage + "\n" + kMovieUsage : usage, kCommand);
    return status;
  }
  if (request->help) {
    out << kMovieUsage << "\n\n" << kMovieHelp;
    out.flush();
    return out ? 0 : kRenderFailed;
  }
  return ReportingFailures(err, kCommand, [&] { return Run(*request, err, progress); });
}

}  // namespace tesvo
