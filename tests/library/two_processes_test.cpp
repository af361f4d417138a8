// Two Tesvo processes in one folder, as two windows started from the menu:
// each makes full-size images, rotates them in and saves each one under a
// name the other process saves too.
//
// First they run to the end: every name is saved by exactly one of them,
// which alone is told so while the other is told that the name exists; the
// pair and the picture under it are all of the winner's image; no other
// message appears. Then both rotate small images in quick succession while
// a third process reads "ultimo" and "penultimo": every read shows one image
// whole. Then both are killed at random moments, again and again:
// after every round each pair in the folder, "ultimo" and "penultimo"
// included, is a whole parameter file with a pixel file and a picture of
// that same image or none, and no name was reported saved by both.
//
// Usage: tesvo_two_processes_test [names] [rotations] [kill rounds] [seed]
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "commands/explorer.h"
#include "commands/file_reports.h"
#include "engine/buffers.h"
#include "library/file_error.h"
#include "library/record_problem.h"
#include "library/temporary_files.h"
#include "tests/fake_window.h"
#include "tests/file_helpers.h"

namespace tesvo {
namespace {

namespace fs = std::filesystem;

// Image i of process p (1 or 2) is number p * kProcessStep + i: the record
// carries it as its Julia parameter, every count is derived from it.
constexpr std::int32_t kProcessStep = 1'000'000;

std::int16_t Count(std::int32_t id, std::size_t i) {
  return static_cast<std::int16_t>((id * 7 + static_cast<std::int64_t>(i)) % 5001);
}

// A full-size image, or a small one of side x side pixels.
ImageRecord MakeImage(CountBuffer& counts, std::int32_t id, int side = 0) {
  ImageRecord r = BuiltInPresets()[2][kMandelbrotPreset];
  r.juliaRe = id;
  if (side > 0) {
    r.pixelRight = r.pixelLeft + side;
    r.pixelBottom = r.pixelTop + side;
  }
  for (std::int64_t i = 0; i < r.Width() * r.Height(); ++i) counts[i] = Count(id, i);
  return r;
}

std::optional<ImageRecord> ParameterImage(const fs::path& dat) {
  const std::vector<std::uint8_t> bytes = testing::FileBytes(dat);
  if (bytes.size() != kRecordSize) return std::nullopt;
  RecordBytes record;
  std::copy(bytes.begin(), bytes.end(), record.begin());
  return FromBytes(record);
}

bool PixelFileOf(const fs::path& pix, const ImageRecord& image) {
  const auto id = static_cast<std::int32_t>(image.juliaRe);
  const auto counts = static_cast<std::size_t>(image.Width() * image.Height());
  const std::vector<std::uint8_t> bytes = testing::FileBytes(pix);
  if (bytes.size() != 2 * counts) return false;
  for (std::size_t i = 0; i < counts; ++i)
    if ((bytes[2 * i] | bytes[2 * i + 1] << 8) != Count(id, i)) return false;
  return true;
}

// Whether the picture carries the record chunk of exactly these 200 bytes.
bool PictureOf(const fs::path& png, const std::vector<std::uint8_t>& record) {
  std::string chunk = std::string("Tesvo.dat") + '\0';
  char digits[3];
  for (std::uint8_t byte : record) {
    std::snprintf(digits, sizeof digits, "%02x", byte);
    chunk += digits;
  }
  const std::vector<std::uint8_t> bytes = testing::FileBytes(png);
  return std::search(bytes.begin(), bytes.end(), chunk.begin(), chunk.end()) != bytes.end();
}

// What a process reports for each save, on its pipe.
enum Outcome : std::int32_t { kSaved = 1, kRefused = 2, kOtherMessage = 3 };
struct Report {
  std::int32_t name;
  std::int32_t outcome;
};

std::string SharedName(int round, std::int32_t i) {
  return "r" + std::to_string(round) + "_" + std::to_string(i);
}

// A process as the program runs one: it starts in the folder, then makes
// images, rotates each in and saves it under the shared name of its number,
// reporting every outcome. Ends after `names` images, or never when 0.
[[noreturn]] void Run(int process, int round, std::int32_t names, int reports) {
  testing::FakeWindow window;
  Explorer explorer{window};
  ExplorerState& state = explorer.State();
  const auto report = [&](std::int32_t name, Outcome outcome) {
    const Report r{name, outcome};
    if (::write(reports, &r, sizeof r) != sizeof r) ::_exit(2);
  };
  ReportingFileErrors(window, [] { SweepTemporaryFiles(); });
  explorer.EnsureLastImages();
  if (!window.messages.empty()) report(-1, kOtherMessage);
  for (std::int32_t i = 0; names == 0 || i < names; ++i) {
    window.messages.clear();
    state.currentImage = MakeImage(state.countBuffer, process * kProcessStep + i);
    ReportingFileErrors(window, [&] { explorer.RotateLastImages(); });
    const std::string name = SharedName(round, i);
    ReportingFileErrors(window, [&] { explorer.SaveImage(name); });
    const std::string saved = "El fichero " + name + " ha sido grabado";
    const std::string refused = "El fichero " + name + ".dat ya existe.";
    if (window.messages.size() == 1 && window.messages[0].text == saved)
      report(i, kSaved);
    else if (window.messages.size() == 1 && window.messages[0].text.starts_with(refused))
      report(i, kRefused);
    else
      for (const auto& message : window.messages) {
        std::fprintf(stderr, "process %d, %s: %s\n", process, name.c_str(), message.text.c_str());
        report(i, kOtherMessage);
      }
  }
  ::_exit(0);
}

// Rotates small images in quick succession, without saving.
[[noreturn]] void Rotate(int process, int rotations) {
  testing::FakeWindow window;
  Explorer explorer{window};
  ExplorerState& state = explorer.State();
  for (int i = 0; i < rotations; ++i) {
    state.currentImage = MakeImage(state.countBuffer, process * kProcessStep + i, 16);
    ReportingFileErrors(window, [&] { explorer.RotateLastImages(); });
  }
  for (const auto& message : window.messages)
    std::fprintf(stderr, "process %d: %s\n", process, message.text.c_str());
  ::_exit(window.messages.empty() ? 0 : 1);
}

// Reads "ultimo" and "penultimo" in turn, as the reading buttons do, until
// killed, and reports every read that shows anything but one image whole.
[[noreturn]] void Read(int reports) {
  testing::FakeWindow window;
  Explorer explorer{window};
  ExplorerState& state = explorer.State();
  for (int read = 0;; ++read) {
    const std::string name = read % 2 == 0 ? kLastName : kSecondLastName;
    window.messages.clear();
    ReportingFileErrors(window, [&] { explorer.ReadImage(name); });
    const ImageRecord& image = state.currentImage;
    const auto id = static_cast<std::int32_t>(image.juliaRe);
    bool whole = window.messages.empty();
    for (std::int64_t i = 0; whole && i < image.Width() * image.Height(); ++i)
      whole = state.countBuffer[i] == Count(id, i);
    if (!whole) {
      const Report r{id, kOtherMessage};
      if (::write(reports, &r, sizeof r) != sizeof r) ::_exit(2);
      std::fprintf(stderr, "read %s: image %d %s\n", name.c_str(), id,
                   window.messages.empty() ? "with the counts of another" : window.messages[0].text.c_str());
    }
  }
}

struct Child {
  pid_t pid;
  int reports;
};

Child Start(int process, int round, std::int32_t names) {
  int pipe[2];
  if (::pipe(pipe) != 0) std::exit(2);
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::close(pipe[0]);
    Run(process, round, names, pipe[1]);
  }
  ::close(pipe[1]);
  return {pid, pipe[0]};
}

std::vector<Report> Collect(const Child& child) {
  std::vector<Report> reports;
  for (Report r; ::read(child.reports, &r, sizeof r) == sizeof r;) reports.push_back(r);
  ::close(child.reports);
  return reports;
}

int TemporaryFiles() {
  int n = 0;
  for (const auto& entry : fs::directory_iterator("."))
    if (entry.path().filename().string().starts_with(".tesvo-")) ++n;
  return n;
}

class Checker {
 public:
  void Fail(const std::string& what) {
    std::fprintf(stderr, "%s: %s\n", stage_.c_str(), what.c_str());
    ++failures_;
  }
  void Stage(std::string stage) { stage_ = std::move(stage); }
  int failures() const { return failures_; }

  // Every pair of the folder: a whole parameter file of an image that may
  // stand under that name, its pixel file and picture of the same image or
  // missing. Returns the image of each name.
  std::map<std::string, std::int32_t> Pairs(bool pixelFilesRequired) {
    std::map<std::string, std::int32_t> images;
    for (const auto& entry : fs::directory_iterator(".")) {
      const fs::path file = entry.path().filename();
      if (file.extension() != ".dat") continue;
      const std::string base = file.stem().string();
      const std::optional<ImageRecord> image = ParameterImage(file);
      if (!image) {
        Fail(base + ".dat is not whole");
        continue;
      }
      const auto id = static_cast<std::int32_t>(image->juliaRe);
      images[base] = id;
      const std::size_t cut = base.find('_');
      if (cut != std::string::npos && id % kProcessStep != std::stoi(base.substr(cut + 1)))
        Fail(base + " holds image " + std::to_string(id));
      const fs::path pix = base + ".pix";
      if (fs::exists(pix) ? !PixelFileOf(pix, *image) : pixelFilesRequired)
        Fail(base + ".pix is not of image " + std::to_string(id));
      const fs::path png = base + ".png";
      if (fs::exists(png) && !PictureOf(png, testing::FileBytes(file)))
        Fail(base + ".png is not of image " + std::to_string(id));
    }
    for (const auto& entry : fs::directory_iterator(".")) {
      const fs::path file = entry.path().filename();
      if ((file.extension() == ".pix" || file.extension() == ".png") &&
          !images.contains(file.stem().string()) && !file.string().starts_with(".tesvo-"))
        Fail(file.string() + " without its parameter file");
    }
    if (!images.contains(kLastName) || !images.contains(kSecondLastName)) Fail("a reserved pair is missing");
    return images;
  }

  // Per name, the processes that reported saving it: never both.
  std::map<std::int32_t, std::set<int>> Saves(const std::vector<std::vector<Report>>& reports) {
    std::map<std::int32_t, std::set<int>> savers;
    for (int process = 1; process <= 2; ++process)
      for (const Report& r : reports[process - 1]) {
        if (r.outcome == kSaved) savers[r.name].insert(process);
        if (r.outcome == kOtherMessage) Fail("a message that is neither success nor refusal");
      }
    for (const auto& [name, processes] : savers)
      if (processes.size() > 1) Fail("both processes were told they saved " + std::to_string(name));
    return savers;
  }

 private:
  std::string stage_;
  int failures_ = 0;
};

int Main(int names, int rotations, int rounds, unsigned seed) {
  testing::TemporaryDirectory folder;
  Checker check;
  const auto startTime = std::chrono::steady_clock::now();

  check.Stage("to the end");
  {
    const Child children[] = {Start(1, 0, names), Start(2, 0, names)};
    std::vector<std::vector<Report>> reports;
    for (const Child& child : children) {
      reports.push_back(Collect(child));
      int status = 0;
      ::waitpid(child.pid, &status, 0);
      if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) check.Fail("a process did not end well");
    }
    const auto savers = check.Saves(reports);
    const auto images = check.Pairs(true);
    for (std::int32_t i = 0; i < names; ++i) {
      const std::string name = SharedName(0, i);
      const auto saver = savers.find(i);
      if (saver == savers.end()) {
        check.Fail(name + " was saved by neither");
        continue;
      }
      const auto image = images.find(name);
      const std::int32_t expected = *saver->second.begin() * kProcessStep + i;
      if (image == images.end() || image->second != expected)
        check.Fail(name + " is not the image of its saver");
      for (int process = 1; process <= 2; ++process) {
        const bool refused =
            std::any_of(reports[process - 1].begin(), reports[process - 1].end(),
                        [&](const Report& r) { return r.name == i && r.outcome == kRefused; });
        if (!saver->second.contains(process) && !refused)
          check.Fail(name + ": the other process was not told");
      }
    }
    if (TemporaryFiles() != 0) check.Fail("temporary files left behind");
  }
  const auto firstStage = std::chrono::steady_clock::now() - startTime;

  // Rotations of both processes in quick succession while a third reads
  // the reserved pairs.
  check.Stage("rotating while reading");
  {
    int pipe[2];
    if (::pipe(pipe) != 0) return 2;
    const pid_t reader = ::fork();
    if (reader == 0) {
      ::close(pipe[0]);
      Read(pipe[1]);
    }
    ::close(pipe[1]);
    pid_t rotators[2];
    for (int process = 1; process <= 2; ++process)
      if ((rotators[process - 1] = ::fork()) == 0) Rotate(process, rotations);
    for (pid_t rotator : rotators) {
      int status = 0;
      ::waitpid(rotator, &status, 0);
      if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) check.Fail("a rotation failed");
    }
    ::kill(reader, SIGKILL);
    ::waitpid(reader, nullptr, 0);
    std::vector<Report> reports = Collect({reader, pipe[0]});
    if (!reports.empty()) check.Fail(std::to_string(reports.size()) + " reads were not of one image");
  }

  // Each process lives up to about as long as two images and saves of the
  // run above, whatever the build's and the disk's speed, but no more than
  // a quarter of a second: a slow build is killed earlier in its work.
  std::mt19937 random(seed);
  const auto image = std::chrono::duration_cast<std::chrono::microseconds>(firstStage) / std::max(names, 1);
  std::uniform_int_distribution<std::int64_t> delay(0, std::min<std::int64_t>(2 * image.count(), 250'000));
  int kills = 0;
  for (int round = 1; round <= rounds; ++round) {
    check.Stage("kill round " + std::to_string(round));
    const Child children[] = {Start(1, round, 0), Start(2, round, 0)};
    std::vector<std::vector<Report>> reports;
    for (const Child& child : children) {
      std::this_thread::sleep_for(std::chrono::microseconds(delay(random)));
      ::kill(child.pid, SIGKILL);
      int status = 0;
      ::waitpid(child.pid, &status, 0);
      if (WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL)
        ++kills;
      else
        check.Fail("a process ended by itself");
    }
    for (const Child& child : children) reports.push_back(Collect(child));
    const auto savers = check.Saves(reports);
    const auto images = check.Pairs(false);
    for (const auto& [i, processes] : savers) {
      const auto found = images.find(SharedName(round, i));
      if (found == images.end() || found->second != *processes.begin() * kProcessStep + i)
        check.Fail(SharedName(round, i) + " is not the image of the process told it was saved");
    }
    // The round's names go, so that each check reads only its own.
    const std::string prefix = SharedName(round, 0).substr(0, SharedName(round, 0).size() - 1);
    for (const auto& entry : fs::directory_iterator("."))
      if (entry.path().filename().string().starts_with(prefix)) fs::remove(entry.path());
  }
  SweepTemporaryFiles();
  if (TemporaryFiles() != 0) check.Fail("temporary files left after the sweep");

  const std::size_t pairs = check.Pairs(false).size();
  std::printf("%d names saved by one of two processes, %d rounds with %d kills, %zu pairs left: %d faults\n",
              names, rounds, kills, pairs, check.failures());
  return check.failures() == 0 ? 0 : 1;
}

}  // namespace
}  // namespace tesvo

int main(int argc, char* argv[]) {
  const int names = argc > 1 ? std::atoi(argv[1]) : 40;
  const int rotations = argc > 2 ? std::atoi(argv[2]) : 1000;
  const int rounds = argc > 3 ? std::atoi(argv[3]) : 60;
  const unsigned seed = argc > 4 ? static_cast<unsigned>(std::atoi(argv[4])) : 20261208;
  return tesvo::Main(names, rotations, rounds, seed);
}
