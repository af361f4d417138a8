// Kills a process that rotates and saves full-size images in a loop at
// random moments, and after every kill checks what a user would find:
// "ultimo" and "penultimo" each with a whole parameter file of its old or its
// new image and a pixel file of that same image or none, every user pair
// whole, and no more than two temporary files, which the next start sweeps.
//
// Usage: tesvo_rotation_kill_test [kills] [seed]
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "commands/explorer.h"
#include "engine/buffers.h"
#include "library/image_files.h"
#include "library/temporary_files.h"
#include "tests/fake_window.h"
#include "tests/file_helpers.h"

namespace tesvo {
namespace {

namespace fs = std::filesystem;

// Image number `id`: the record carries it as its Julia parameter, every
// count is derived from it.
ImageRecord MakeImage(CountBuffer& counts, std::int32_t id) {
  ImageRecord r = BuiltInPresets()[2][kMandelbrotPreset];
  r.juliaRe = id;
  const std::int64_t n = r.Width() * r.Height();
  for (std::int64_t i = 0; i < n; ++i) counts[i] = static_cast<std::int16_t>((id * 7 + i) % 5001);
  return r;
}

// The image of a whole parameter file, or nothing.
std::optional<std::int32_t> ParameterImage(const std::string& base) {
  const std::vector<std::uint8_t> bytes = testing::FileBytes(base + ".dat");
  if (bytes.size() != kRecordSize) return std::nullopt;
  RecordBytes record;
  std::copy(bytes.begin(), bytes.end(), record.begin());
  return static_cast<std::int32_t>(FromBytes(record).juliaRe);
}

// Whether base + ".pix" is missing or holds exactly the counts of image id.
bool PixelFileFits(const std::string& base, std::int32_t id, bool mayBeMissing) {
  if (!fs::exists(base + ".pix")) return mayBeMissing;
  const std::vector<std::uint8_t> bytes = testing::FileBytes(base + ".pix");
  const std::size_t n = 531 * 531;
  if (bytes.size() != 2 * n) return false;
  for (std::size_t i = 0; i < n; ++i)
    if ((bytes[2 * i] | bytes[2 * i + 1] << 8) != (id * 7 + static_cast<std::int64_t>(i)) % 5001)
      return false;
  return true;
}

int TemporaryFiles() {
  int n = 0;
  for (const auto& entry : fs::directory_iterator("."))
    if (entry.path().filename().string().starts_with(".tesvo-")) ++n;
  return n;
}

// The child: starts as the program does, then makes images for ever,
// announcing each on the pipe before it is rotated in (a user save is
// announced as the negative number).
[[noreturn]] void MakeImagesForEver(std::int32_t first, int announce) try {
  testing::FakeWindow window;
  Explorer explorer{window};
  ExplorerState& state = explorer.State();
  SweepTemporaryFiles();
  explorer.EnsureLastImages();
  for (std::int32_t id = first;; ++id) {
    state.currentImage = MakeImage(state.countBuffer, id);
    if (::write(announce, &id, sizeof id) != sizeof id) ::_exit(2);
    explorer.RotateLastImages();
    if (id % 4 == 0) {
      const std::int32_t save = -id;
      if (::write(announce, &save, sizeof save) != sizeof save) ::_exit(2);
      WritePair("foto" + std::to_string(id), state.currentImage, state.countBuffer.data(), 531 * 531);
    }
  }
} catch (const std::exception& error) {
  std::fprintf(stderr, "%s\n", error.what());
  ::_exit(3);
}

struct Tally {
  int kills = 0;
  int broken = 0;
  int unchanged = 0;  // the rotation under way had not moved anything
  int halfway = 0;    // both names held the same image
  int rotated = 0;
  int pixelFilesMissing = 0;
  int mostTemporaries = 0;
};

int Run(int kills, unsigned seed) {
  testing::TemporaryDirectory folder;
  // "penultimo" is image 1, "ultimo" image 2. How long that takes sets the
  // range of the kills: from the child's first announcement to about three
  // images later, whatever the build's speed.
  testing::FakeWindow window;
  Explorer explorer{window};
  ExplorerState& state = explorer.State();
  const auto start = std::chrono::steady_clock::now();
  for (std::int32_t id : {1, 2}) {
    state.currentImage = MakeImage(state.countBuffer, id);
    explorer.RotateLastImages();
  }
  const auto image =
      std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start) / 2;
  std::mt19937 random(seed);
  std::uniform_int_distribution<std::int64_t> delay(0, 3 * image.count());
  std::int32_t secondLast = 1;
  std::int32_t last = 2;
  std::int32_t next = 3;
  Tally tally;

  const auto fail = [&](const std::string& what) {
    std::fprintf(stderr, "kill %d: %s\n", tally.kills, what.c_str());
    ++tally.broken;
  };

  for (; tally.kills < kills; ++tally.kills) {
    int pipe[2];
    if (::pipe(pipe) != 0) return 2;
    const pid_t child = ::fork();
    if (child == 0) {
      ::close(pipe[0]);
      MakeImagesForEver(next, pipe[1]);
    }
    ::close(pipe[1]);
    std::vector<std::int32_t> announced(1);
    if (::read(pipe[0], announced.data(), sizeof(std::int32_t)) != sizeof(std::int32_t)) announced.clear();
    std::this_thread::sleep_for(std::chrono::microseconds(delay(random)));
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    if (!WIFSIGNALED(status) || WTERMSIG(status) != SIGKILL) fail("the child ended by itself");

    for (std::int32_t id; ::read(pipe[0], &id, sizeof id) == sizeof id;) announced.push_back(id);
    std::vector<std::int32_t> rotations;
    std::vector<std::int32_t> saves;
    for (std::int32_t id : announced) (id > 0 ? rotations : saves).push_back(id > 0 ? id : -id);
    ::close(pipe[0]);

    tally.mostTemporaries = std::max(tally.mostTemporaries, TemporaryFiles());

    // Rotations before the last one announced are complete.
    for (std::size_t i = 0; i + 1 < rotations.size(); ++i) {
      secondLast = last;
      last = rotations[i];
    }
    const std::optional<std::int32_t> u = ParameterImage(kLastName);
    const std::optional<std::int32_t> p = ParameterImage(kSecondLastName);
    if (!u || !p) {
      fail("a reserved parameter file is missing or not whole");
      continue;
    }
    const std::int32_t inProgress = rotations.empty() ? -1 : rotations.back();
    if (*p == secondLast && *u == last) {
      ++tally.unchanged;
    } else if (*p == last && *u == last && inProgress > 0) {
      ++tally.halfway;
    } else if (*p == last && *u == inProgress) {
      ++tally.rotated;
    } else {
      fail("penultimo " + std::to_string(*p) + ", ultimo " + std::to_string(*u) + "; expected " +
           std::to_string(secondLast) + ", " + std::to_string(last) + " or the rotation of " +
           std::to_string(inProgress));
    }
    for (const auto& [base, id] :
         {std::pair{std::string(kLastName), *u}, std::pair{std::string(kSecondLastName), *p}}) {
      if (!fs::exists(base + ".pix")) ++tally.pixelFilesMissing;
      if (!PixelFileFits(base, id, true))
        fail(base + ".pix is not the pixel file of image " + std::to_string(id));
    }
    secondLast = *p;
    last = *u;
    next = std::max(next, inProgress + 1);

    // A user pair is whole or not there. The parameter file claims the name
    // before the pixel file follows, so a kill between the two leaves it
    // without one, which reading rebuilds.
    for (std::int32_t id : saves) {
      const std::string base = "foto" + std::to_string(id);
      if (fs::exists(base + ".dat")) {
        if (ParameterImage(base) != id || !PixelFileFits(base, id, true)) fail(base + " is not whole");
      } else if (!PixelFileFits(base, id, true)) {
        fail(base + ".pix alone is not whole");
      }
    }
  }

  const int leftBeforeSweep = TemporaryFiles();
  SweepTemporaryFiles();
  const int leftAfterSweep = TemporaryFiles();
  std::printf(
      "%d kills: %d broken; rotation not begun %d, halfway %d, done %d; reserved pixel files missing %d; "
      "at most %d temporary files after a kill, %d after the last, %d after the sweep\n",
      tally.kills, tally.broken, tally.unchanged, tally.halfway, tally.rotated, tally.pixelFilesMissing,
      tally.mostTemporaries, leftBeforeSweep, leftAfterSweep);
  const bool passed = tally.broken == 0 && tally.mostTemporaries <= 2 && leftAfterSweep == 0 &&
                      tally.halfway + tally.rotated > 0;
  return passed ? 0 : 1;
}

}  // namespace
}  // namespace tesvo

int main(int argc, char* argv[]) {
  const int kills = argc > 1 ? std::atoi(argv[1]) : 200;
  const unsigned seed = argc > 2 ? static_cast<unsigned>(std::atoi(argv[2])) : 20261208;
  return tesvo::Run(kills, seed);
}
