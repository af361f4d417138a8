#include "library/render_command.h"

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

#include "colour/palette.h"
#include "engine/scaled_picture.h"
#include "library/file_error.h"
#include "library/image_files.h"
#include "library/picture_file.h"
#include "library/reading.h"

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

std::optional<int> ParseInteger(const std::string& text, int low, int high) {
  int value = 0;
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, value);
  if (error != std::errc() || stop != end || value < low || value > high) return std::nullopt;
  return value;
}

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

std::optional<Request> Parse(const std::vector<std::string>& arguments, UsageError& error) {
  Request request;
  std::vector<std::string> files;
  bool optionsEnd = false;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (!optionsEnd && argument == "-h") {
      request.help = true;
      return request;
    }
    if (optionsEnd || !argument.starts_with("--")) {
      files.push_back(argument);
      continue;
    }
    if (argument == "--") {
      optionsEnd = true;
      continue;
    }
    if (argument == "--help") {
      request.help = true;
      return request;
    }
    // --scale 8 or --scale=8.
    const std::size_t equals = argument.find('=');
    const std::string name = argument.substr(0, equals);
    const Option* option = nullptr;
    for (const Option& o : kOptions)
      if (name == o.name) option = &o;
    if (option == nullptr) {
      error.message = "No hay ninguna opción «" + name + "».";
      return std::nullopt;
    }
    std::string value;
    if (equals != std::string::npos) {
      value = argument.substr(equals + 1);
    } else if (i + 1 < arguments.size()) {
      value = arguments[++i];
    } else {
      error.message = "Falta el valor de " + name + ".";
      return std::nullopt;
    }
    const std::optional<int> number = ParseInteger(value, 1, option->high);
    if (!number) {
      error.message = std::string(option->meaning) + " (" + name +
                      ") tiene que ser un número entero de 1 a " + std::to_string(option->high) + ", no «" +
                      value + "».";
      return std::nullopt;
    }
    OptionValue(request, *option) = *number;
  }
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

// Ctrl+C, a closed terminal or a request to end stop the render at the end of
// a band, so that its temporary file goes with it; the earlier handlers come
// back when the command ends.
volatile std::sig_atomic_t interrupted = 0;

class InterruptCatcher {
 public:
  InterruptCatcher() {
    interrupted = 0;
    struct sigaction action = {};
    action.sa_handler = [](int) { interrupted = 1; };
    sigemptyset(&action.sa_mask);
    for (std::size_t i = 0; i < std::size(kSignals); ++i) ::sigaction(kSignals[i], &action, &previous_[i]);
  }
  InterruptCatcher(const InterruptCatcher&) = delete;
  InterruptCatcher& operator=(const InterruptCatcher&) = delete;
  ~InterruptCatcher() {
    for (std::size_t i = 0; i < std::size(kSignals); ++i) ::sigaction(kSignals[i], &previous_[i], nullptr);
  }

 private:
  static constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
  struct sigaction previous_[std::size(kSignals)]{};
};

std::string Duration(double seconds) {
  const long total = static_cast<long>(seconds + 0.5);
  char text[32];
  if (total >= 3600)
    std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", total / 3600, total / 60 % 60, total % 60);
  else
    std::snprintf(text, sizeof text, "%ld:%02ld", total / 60, total % 60);
  return text;
}

// "\r 37% [##########..........] quedan 1:23", redrawn at most a few times a
// second.
class ProgressBar {
 public:
  explicit ProgressBar(std::ostream& out) : out_(out), start_(Clock::now()) {}

  void Show(double done) {
    const Clock::time_point now = Clock::now();
    const int percent = static_cast<int>(done * 100);
    if (percent == shown_ && now - drawn_ < std::chrono::milliseconds(250)) return;
    shown_ = percent;
    drawn_ = now;
    constexpr int kWidth = 30;
    const int filled = std::clamp(static_cast<int>(done * kWidth), 0, kWidth);
    const double elapsed = std::chrono::duration<double>(now - start_).count();
    out_ << '\r' << std::setw(3) << percent << "% [" << std::string(filled, '#')
         << std::string(kWidth - filled, '.') << ']';
    if (done >= 1)
      out_ << ' ' << Duration(elapsed) << " en total   \n";
    else if (done > 0 && elapsed > 1)
      out_ << " quedan " << Duration(elapsed * (1 - done) / done) << "   ";
    out_ << std::flush;
  }
  // Ends the bar's line before a message.
  void Break() {
    if (shown_ >= 0 && shown_ < 100) out_ << '\n';
  }

 private:
  using Clock = std::chrono::steady_clock;
  std::ostream& out_;
  Clock::time_point start_;
  Clock::time_point drawn_{};
  int shown_ = -1;
};

// Lines of a file error's message joined into one.
std::string OneLine(std::string text) {
  for (char& c : text)
    if (c == '\n') c = ' ';
  return text;
}

// Every message as command-line tools write theirs: "tesvo render: " and a
// small letter.
void Say(std::ostream& err, std::string text) {
  if (!text.empty() && text[0] >= 'A' && text[0] <= 'Z') text[0] = static_cast<char>(text[0] - 'A' + 'a');
  err << "tesvo render: " << text << "\n";
}

// Where the picture goes: a file put in place by a rename, or, where there is
// no file to replace (standard output, a pipe, a device), straight into what
// is open there.
struct Destination {
  std::string file;  // the file to put in place; empty when writing straight
  int fd = -1;
  bool ownsFd = false;

  Destination() = default;
  Destination(const Destination&) = delete;
  Destination& operator=(const Destination&) = delete;
  ~Destination() {
    if (ownsFd) ::close(fd);
  }
};

// Follows symbolic links at the output as the shell's ">" does, so that the
// picture takes the place of the link's target and the link stays a link.
std::string FollowLinks(const std::string& output) {
  std::filesystem::path path = output;
  for (int hops = 0; hops < 40; ++hops) {
    struct stat info;
    if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return path.string();
    std::error_code error;
    const std::filesystem::path target = std::filesystem::read_symlink(path, error);
    if (error) throw FileError(FileStep::kWrite, output, error.value());
    path = target.is_absolute() ? target : path.parent_path() / target;
  }
  throw FileError(FileStep::kWrite, output, ELOOP);
}

// Opens the request's output. A regular file, or none yet, is written under
// a temporary name and renamed; what is not a file is never replaced.
// Throws FileError; a usage problem comes back in `usage`.
void OpenDestination(const std::string& output, int standardOutput, Destination& destination,
                     std::optional<std::string>& usage) {
  if (output == "-") {
    if (::isatty(standardOutput) == 1) {
      usage =
          "La salida estándar es una terminal: el dibujo, un PNG, tiene que ir a un fichero o a otro "
          "programa (por ejemplo «tesvo render ENTRADA.dat - > dibujo.png»).";
      return;
    }
    destination.fd = standardOutput;
    return;
  }
  const std::string target = FollowLinks(output);
  struct stat info;
  if (::stat(target.c_str(), &info) != 0) {
    // Missing: made new (a missing folder is told when the temporary file is).
    if (errno != ENOENT) throw FileError(FileStep::kWrite, output, errno);
    destination.file = target;
    return;
  }
  if (S_ISREG(info.st_mode)) {
    destination.file = target;
    return;
  }
  if (S_ISDIR(info.st_mode)) throw FileError(FileStep::kWrite, output, EISDIR);
  // A PNG written over the start of a disk would destroy what is on it.
  if (S_ISBLK(info.st_mode)) throw FileError(FileStep::kWrite, output, kWholeDisk);
  // A character device or a pipe, as the shell's ">" writes into them. A
  // pipe waits here for its reader; Ctrl+C ends the wait. A socket cannot be
  // opened (ENXIO).
  const int fd = ::open(target.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) throw FileError(FileStep::kWrite, output, errno);
  destination.fd = fd;
  destination.ownsFd = true;
}

int Render(const Request& request, std::ostream& err, bool progressBar, int standardOutput) {
  const std::vector<std::uint8_t> bytes = ReadFileStart(request.input, kRecordSize);
  if (bytes.size() != kRecordSize) throw FileError(FileStep::kRead, request.input, kWrongSize);
  RecordBytes recordBytes{};
  std::copy(bytes.begin(), bytes.end(), recordBytes.begin());
  const ImageRecord record = FromBytes(recordBytes);
  // The small picture's preview is never saved, and has no picture here.
  if (record.kind == kPreviewKind) {
    Say(err,
        "El fichero " + request.input + " es una vista previa de un conjunto de Julia, que no se dibuja.");
    return kRenderFailed;
  }
  if (const std::optional<std::string> problem = RecordProblem(record)) {
    Say(err, "El fichero " + request.input + " no es una imagen de Tesvo: " + *problem + ".");
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
  if (interrupted == 0 && !destination.file.empty()) {
    // Temporaries of renders or saves of this machine that were killed.
    std::filesystem::path folder = std::filesystem::path(destination.file).parent_path();
    SweepTemporaryFiles(folder.empty() ? "." : folder.string());
  }

  // The colours a fresh start gives the record, whatever another build left.
  Palette palette{};
  const ControlColours& c = record.controlColours;
  BuildPalette(palette, c[0], c[1], c[2], c[3], c[4], record.gradation, kMaxIterationLimit);

  ProgressBar bar(err);
  RenderSettings settings;
  settings.scan.threads = request.threads;
  settings.progress = [&](double done) {
    if (progressBar) bar.Show(done);
    return interrupted == 0;
  };
  bool finished = false;
  try {
    if (interrupted == 0)
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
  UsageError usage;
  const std::optional<Request> request = Parse(arguments, usage);
  if (!request) {
    Say(err, usage.message + "\n" + kRenderUsage);
    return kRenderBadUsage;
  }
  if (request->help) {
    out << kRenderUsage << "\n\n" << kRenderHelp;
    out.flush();
    return out ? 0 : kRenderFailed;
  }
  try {
    return Render(*request, err, progressBar, standardOutput);
  } catch (const FileError& error) {
    Say(err, OneLine(error.what()));
    return kRenderFailed;
  } catch (const std::bad_alloc&) {
    Say(err, "No queda memoria.");
    return kRenderFailed;
  }
}

}  // namespace tesvo
