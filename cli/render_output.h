// What the command-line commands share: reading their options, where the
// picture goes, the progress bar, Ctrl+C, and messages in the style of
// command-line tools.
#pragma once

#include <charconv>
#include <chrono>
#include <csignal>
#include <iterator>
#include <optional>
#include <ostream>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "cli/render_command.h"
#include "commands/messages.h"
#include "library/file_error.h"

namespace tesvo {

// Ctrl+C, a closed terminal or a request to end (SIGINT, SIGHUP, SIGTERM)
// only mark the render as interrupted while an object lives, so that it stops
// at the end of a band and its temporary file goes with it; the earlier
// handlers come back when it goes. Blocking calls such as the open of a pipe
// return EINTR.
class InterruptCatcher {
 public:
  InterruptCatcher();
  InterruptCatcher(const InterruptCatcher&) = delete;
  InterruptCatcher& operator=(const InterruptCatcher&) = delete;
  ~InterruptCatcher();
  static bool Interrupted();

 private:
  static constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
  struct sigaction previous_[std::size(kSignals)] = {};
};

// "\r 37% [##########..........] quedan 1:23", redrawn at most a few times a
// second.
class ProgressBar {
 public:
  explicit ProgressBar(std::ostream& out);
  void Show(double done);
  // Ends the bar's line before a message.
  void Break();

 private:
  using Clock = std::chrono::steady_clock;
  std::ostream& out_;
  Clock::time_point start_;
  Clock::time_point drawn_{};
  int shown_ = -1;
};

// An option of a command and how many values follow it.
struct CommandOption {
  const char* name;
  int values;
};

// A command line read: the known options given, in order, with their values,
// and the other arguments.
struct CommandWords {
  std::vector<std::pair<std::string, std::vector<std::string>>> options;
  std::vector<std::string> files;
  bool help = false;  // --help or -h, after which nothing more was read

  // The values given last for the option, or null.
  const std::vector<std::string>* Values(const char* name) const;
};

// Reads "--name value..." or, for one value, "--name=value"; "--" ends the
// options. Nothing, with the Spanish message in `error`, for an unknown
// option or one whose values are missing.
std::optional<CommandWords> ReadCommandWords(const std::vector<std::string>& arguments,
                                             std::span<const CommandOption> known, std::string& error);

// A whole number from low to high written alone, or nothing.
template <typename Number>
std::optional<Number> WholeNumber(const std::string& text, Number low, Number high) {
  Number value{};
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, value);
  if (error != std::errc() || stop != end || value < low || value > high) return std::nullopt;
  return value;
}

// The whole number from 1 to high given with the option `flag`, into value;
// value stays as it is when the option is not given. False, with the message
// naming the option by its meaning ("El suavizado"), for any other text.
bool ReadWholeOption(const CommandWords& words, const char* flag, const char* meaning, int high, int& value,
                     std::string& error);

// Lines of a file error's message joined into one.
std::string OneLine(std::string text);

// A message as command-line tools write theirs: the command ("tesvo render:
// ") and a small letter.
void Say(std::ostream& err, std::string text, const char* command = "tesvo render");

// Runs a command's work and returns its exit status; a file error or a lack
// of memory ends it with its message and kRenderFailed.
template <typename Work>
int ReportingFailures(std::ostream& err, const char* command, Work&& work) {
  try {
    return work();
  } catch (const FileError& error) {
    Say(err, OneLine(FileErrorText(error)), command);
  } catch (const std::bad_alloc&) {
    Say(err, "No queda memoria.", command);
  }
  return kRenderFailed;
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
  ~Destination();
};

// Opens the output named on the command line. A regular file, or none yet,
// is written under a temporary name and renamed, through symbolic links as
// the shell's ">" goes; what is not a file is never replaced: a pipe or a
// character device is written into, "-" is standardOutput. Throws FileError;
// a usage problem (standard output a terminal) comes back in `usage`.
void OpenDestination(const std::string& output, int standardOutput, Destination& destination,
                     std::optional<std::string>& usage);

// Removes the temporary files that renders or saves of this machine left in
// the destination's folder when they were killed.
void SweepBeside(const Destination& destination);

}  // namespace tesvo
