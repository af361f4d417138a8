#include "cli/render_output.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <iomanip>

#include "library/file_error.h"
#include "library/temporary_files.h"

namespace tesvo {

namespace {

volatile std::sig_atomic_t interrupted = 0;

std::string Duration(double seconds) {
  const long total = static_cast<long>(seconds + 0.5);
  char text[32];
  if (total >= 3600)
    std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", total / 3600, total / 60 % 60, total % 60);
  else
    std::snprintf(text, sizeof text, "%ld:%02ld", total / 60, total % 60);
  return text;
}

}  // namespace

InterruptCatcher::InterruptCatcher() {
  interrupted = 0;
  struct sigaction action = {};
  action.sa_handler = [](int) { interrupted = 1; };
  sigemptyset(&action.sa_mask);
  for (std::size_t i = 0; i < std::size(kSignals); ++i) ::sigaction(kSignals[i], &action, &previous_[i]);
}

InterruptCatcher::~InterruptCatcher() {
  for (std::size_t i = 0; i < std::size(kSignals); ++i) ::sigaction(kSignals[i], &previous_[i], nullptr);
}

bool InterruptCatcher::Interrupted() { return interrupted != 0; }

ProgressBar::ProgressBar(std::ostream& out) : out_(out), start_(Clock::now()) {}

void ProgressBar::Show(double done) {
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

void ProgressBar::Break() {
  if (shown_ >= 0 && shown_ < 100) out_ << '\n';
}

// Lines of a file error's message joined into one.
std::string OneLine(std::string text) {
  for (char& c : text)
    if (c == '\n') c = ' ';
  return text;
}

// Every message as command-line tools write theirs: "tesvo render: " and a
// small letter.
void Say(std::ostream& err, std::string text, const char* command) {
  if (!text.empty() && text[0] >= 'A' && text[0] <= 'Z') text[0] = static_cast<char>(text[0] - 'A' + 'a');
  err << command << ": " << text << "\n";
}

Destination::~Destination() {
  if (ownsFd) ::close(fd);
}

namespace {

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

}  // namespace

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

const std::vector<std::string>* CommandWords::Values(const char* name) const {
  const std::vector<std::string>* found = nullptr;
  for (const auto& [option, values] : options)
    if (option == name) found = &values;
  return found;
}

bool ReadWholeOption(const CommandWords& words, const char* flag, const char* meaning, int high, int& value,
                     std::string& error) {
  const std::vector<std::string>* values = words.Values(flag);
  if (values == nullptr) return true;
  const std::optional<int> number = WholeNumber(values->front(), 1, high);
  if (!number) {
    error = std::string(meaning) + " (" + flag + ") tiene que ser un número entero de 1 a " +
            std::to_string(high) + ", no «" + values->front() + "».";
    return false;
  }
  value = *number;
  return true;
}

std::optional<CommandWords> ReadCommandWords(const std::vector<std::string>& arguments,
                                             std::span<const CommandOption> known, std::string& error) {
  CommandWords words;
  bool optionsEnd = false;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (!optionsEnd && (argument == "--help" || argument == "-h")) {
      words.help = true;
      return words;
    }
    if (optionsEnd || !argument.starts_with("--")) {
      words.files.push_back(argument);
      continue;
    }
    if (argument == "--") {
      optionsEnd = true;
      continue;
    }
    const std::size_t equals = argument.find('=');
    const std::string name = argument.substr(0, equals);
    const auto option =
        std::find_if(known.begin(), known.end(), [&](const CommandOption& o) { return name == o.name; });
    if (option == known.end()) {
      error = "No hay ninguna opción «" + name + "».";
      return std::nullopt;
    }
    std::vector<std::string> values;
    if (equals != std::string::npos && option->values == 1) values.push_back(argument.substr(equals + 1));
    while (static_cast<int>(values.size()) < option->values && i + 1 < arguments.size())
      values.push_back(arguments[++i]);
    if (static_cast<int>(values.size()) < option->values) {
      error = (option->values == 1 ? "Falta el valor de " : "Faltan los valores de ") + name + ".";
      return std::nullopt;
    }
    words.options.emplace_back(name, std::move(values));
  }
  return words;
}

void SweepBeside(const Destination& destination) {
  if (destination.file.empty()) return;
  const std::filesystem::path folder = std::filesystem::path(destination.file).parent_path();
  SweepTemporaryFiles(folder.empty() ? "." : folder.string());
}

}  // namespace tesvo
