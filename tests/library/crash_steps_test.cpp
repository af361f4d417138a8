// A save, a rotation, a deletion and a render over a picture stopped after
// each of their file changes in turn, in a child process that ends there at
// once, as a crash would. On the way out every file written and not yet
// flushed loses its contents, as on a power cut. After each stop the folder
// must hold whole pairs of known images in one of the states the command
// passes through, a pixel file and a picture only beside their own parameter
// file, and, once the start-up sweep has run, nothing else.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "cli/render_command.h"
#include "commands/explorer.h"
#include "engine/buffers.h"
#include "fake_window.h"
#include "file_helpers.h"
#include "library/file_calls.h"
#include "library/image_files.h"
#include "library/picture_file.h"
#include "library/temporary_files.h"

namespace tesvo {
namespace {

namespace fs = std::filesystem;
using testing::FileBytes;

constexpr int kStopped = 41;
constexpr int kFinished = 42;

// Images numbered from kDeepImages on are deep, with 32-bit counts.
constexpr int kDeepImages = 100;
const DeepPlace kPlace{"0", "1", "1e-40"};

// Image number id: the record carries it as its Julia parameter; its six
// counts start at 10 * id. The explorer holds it afterwards.
ImageRecord MakeImage(ExplorerState& state, int id) {
  ImageRecord r = BuiltInPresets()[2][kMandelbrotPreset];
  r.pixelRight = r.pixelLeft + 3;
  r.pixelBottom = r.pixelTop + 2;
  r.juliaRe = id;
  state.deepPlace = id >= kDeepImages ? kPlace : DeepPlace{};
  state.deepCounts.clear();
  for (int i = 0; i < 6; ++i) {
    state.countBuffer[i] = static_cast<std::int16_t>(10 * id + i);
    if (id >= kDeepImages) state.deepCounts.push_back(static_cast<std::uint32_t>(100000 * id + i));
  }
  return r;
}

std::vector<std::uint8_t> PixelBytes(int id) {
  std::vector<std::uint8_t> bytes;
  const bool deep = id >= kDeepImages;
  for (int i = 0; i < 6; ++i) {
    const auto count =
        deep ? static_cast<std::uint32_t>(100000 * id + i) : static_cast<std::uint32_t>(10 * id + i);
    for (int b = 0; b < (deep ? 4 : 2); ++b) bytes.push_back(static_cast<std::uint8_t>(count >> (8 * b)));
  }
  return bytes;
}

// The child's count of changes still to make, and the files whose contents
// a power cut would lose.
int changesLeft = 0;
std::set<std::string> unflushed;

void StopAfterChanges(FileChange change, const char* path, const char* target) {
  switch (change) {
    case FileChange::kCreate:
    case FileChange::kWrite:
      unflushed.insert(path);
      break;
    case FileChange::kFlush:
    case FileChange::kRemove:
      unflushed.erase(path);
      break;
    case FileChange::kRename: {
      const bool lost = unflushed.erase(path) > 0;
      unflushed.erase(target);
      if (lost) unflushed.insert(target);
      break;
    }
    case FileChange::kLink:
      if (unflushed.contains(path)) unflushed.insert(target);
      break;
    case FileChange::kFlushFolder:
      break;
  }
  if (--changesLeft > 0) return;
  for (const std::string& file : unflushed)
    if (::truncate(file.c_str(), 0) != 0) ::_exit(2);
  ::_exit(kStopped);
}

// Runs command in a child stopped after `changes` file changes; the child's
// exit status.
int RunStoppedAfter(int changes, const std::function<void()>& command) {
  const pid_t child = ::fork();
  if (child == 0) {
    changesLeft = changes;
    afterFileChange = StopAfterChanges;
    try {
      command();
    } catch (...) {
      ::_exit(1);
    }
    ::_exit(kFinished);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The saved images: each name with a parameter file, and its image.
using FolderState = std::map<std::string, int>;

// What is wrong in the folder, or nothing: a parameter file that is not the
// whole record of an image, a pixel file or a picture that is not its own
// image's, or one without its parameter file.
std::optional<std::string> Damage(FolderState& found) {
  found.clear();
  for (const auto& entry : fs::directory_iterator(".")) {
    const fs::path file = entry.path().filename();
    if (file.extension() != ".dat") continue;
    const std::vector<std::uint8_t> bytes = FileBytes(file);
    if (bytes.size() < kRecordSize) return file.string() + " is not whole";
    const int id = static_cast<int>(ReadParameterFile(file.stem().string()).juliaRe);
    ExplorerState state;
    if (bytes != ParameterFileBytes(MakeImage(state, id), state.deepPlace))
      return file.string() + " is not whole";
    found[file.stem().string()] = id;
  }
  for (const auto& entry : fs::directory_iterator(".")) {
    const fs::path file = entry.path().filename();
    const std::string base = file.stem().string();
    if (file.extension() == ".pix" && (!found.contains(base) || FileBytes(file) != PixelBytes(found[base])))
      return file.string() + " is not the pixel file of " + base + ".dat";
    if (file.extension() == ".png" && !IsPictureOfParameterFile(base))
      return file.string() + " is not the picture of " + base + ".dat";
  }
  return std::nullopt;
}

struct Case {
  const char* name;
  std::function<void(Explorer&, testing::FakeWindow&)> setUp;
  std::function<void(Explorer&, testing::FakeWindow&)> command;
  // Every state the folder may be left in, from before the command to after.
  std::vector<FolderState> states;
  // A picture that must be there, whole, after every stop.
  const char* keptPicture = nullptr;
};

void Rotate(Explorer& explorer, int id) {
  explorer.State().currentImage = MakeImage(explorer.State(), id);
  explorer.RotateLastImages();
}

TEST(CrashStepsTest, EveryStopLeavesWholePairsOfAStateOnTheWay) {
  const Case cases[] = {
      {"rotation",
       [](Explorer& explorer, auto&) {
         Rotate(explorer, 1);
         Rotate(explorer, 2);
       },
       [](Explorer& explorer, auto&) { Rotate(explorer, 3); },
       {{{"penultimo", 1}, {"ultimo", 2}},
        {{"penultimo", 2}, {"ultimo", 2}},
        {{"penultimo", 2}, {"ultimo", 3}}}},
      {"save",
       [](Explorer& explorer, auto&) {
         Rotate(explorer, 1);
         Rotate(explorer, 2);
       },
       [](Explorer& explorer, auto&) {
         explorer.State().currentImage = MakeImage(explorer.State(), 3);
         explorer.SaveImage("foto");
       },
       {{{"penultimo", 1}, {"ultimo", 2}}, {{"penultimo", 1}, {"ultimo", 2}, {"foto", 3}}}},
      {"rotation and save of deep images",
       [](Explorer& explorer, auto&) {
         Rotate(explorer, 1);
         Rotate(explorer, 102);
       },
       [](Explorer& explorer, auto&) {
         Rotate(explorer, 103);
         explorer.SaveImage("hondo");
       },
       {{{"penultimo", 1}, {"ultimo", 102}},
        {{"penultimo", 102}, {"ultimo", 102}},
        {{"penultimo", 102}, {"ultimo", 103}},
        {{"penultimo", 102}, {"ultimo", 103}, {"hondo", 103}}}},
      {"save with a larger picture",
       [](Explorer& explorer, auto&) { Rotate(explorer, 1); },
       [](Explorer& explorer, auto&) {
         explorer.State().currentImage = MakeImage(explorer.State(), 3);
         explorer.SaveImage("foto", {.scale = 2, .antialias = 2});
       },
       {{{"ultimo", 1}}, {{"ultimo", 1}, {"foto", 3}}}},
      {"deletion",
       [](Explorer& explorer, auto&) {
         Rotate(explorer, 1);
         explorer.State().currentImage = MakeImage(explorer.State(), 3);
         explorer.SaveImage("foto");
         if (!fs::exists("foto.png")) throw std::runtime_error("the save wrote no picture");
       },
       [](Explorer& explorer, auto& window) {
         window.readList = {"foto", "ultimo"};
         window.answers = {true};
         explorer.State().readIndex = 0;
         explorer.DeleteReadImage();
       },
       {{{"ultimo", 1}, {"foto", 3}}, {{"ultimo", 1}}}},
      {"render over the picture",
       [](Explorer& explorer, auto&) {
         explorer.State().currentImage = MakeImage(explorer.State(), 3);
         explorer.SaveImage("foto");
       },
       [](Explorer&, auto&) {
         std::ostringstream err;
         if (RenderCommand({"foto.dat", "foto.png", "--scale", "2"}, err, err, false) != 0)
           throw std::runtime_error(err.str());
       },
       {FolderState{{"foto", 3}}},
       "foto"},
  };
  for (const Case& t : cases) {
    SCOPED_TRACE(t.name);
    std::set<std::size_t> seen;
    int status = kStopped;
    int changes = 0;
    while (status == kStopped && changes < 100) {
      ++changes;
      SCOPED_TRACE(::testing::Message() << "stopped after change " << changes);
      testing::TemporaryDirectory folder;
      testing::FakeWindow window;
      Explorer explorer{window};
      t.setUp(explorer, window);
      status = RunStoppedAfter(changes, [&] { t.command(explorer, window); });
      ASSERT_TRUE(status == kStopped || status == kFinished) << status;
      FolderState found;
      const std::optional<std::string> damage = Damage(found);
      ASSERT_FALSE(damage) << *damage;
      if (t.keptPicture) {
        ASSERT_TRUE(IsPictureOfParameterFile(t.keptPicture)) << t.keptPicture << ".png is lost";
      }
      const auto at = std::find(t.states.begin(), t.states.end(), found);
      ASSERT_NE(at, t.states.end()) << "a state the command never passes through";
      seen.insert(static_cast<std::size_t>(at - t.states.begin()));
      if (status == kFinished) {
        EXPECT_EQ(found, t.states.back());
      }
      // The start-up sweep takes the child's temporary files; nothing else
      // but the pairs and their pictures is left.
      SweepTemporaryFiles();
      for (const std::string& entry : folder.Entries())
        EXPECT_TRUE(found.contains(fs::path(entry).stem().string())) << entry << " is left over";
    }
    EXPECT_EQ(status, kFinished);
    // From the first state to the last, each one met on the way.
    EXPECT_EQ(seen.size(), t.states.size());
    EXPECT_EQ(*--seen.end(), t.states.size() - 1);
  }
}

}  // namespace
}  // namespace tesvo
