#include "commands/explorer.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/buffers.h"
#include "fake_window.h"
#include "file_helpers.h"
#include "library/file_error.h"
#include "library/image_files.h"

namespace tesvo {
namespace {

namespace fs = std::filesystem;
using testing::FileBytes;
using testing::WriteFileBytes;

// A small image: a 3 x 2 rectangle whose six stored counts all differ.
ImageRecord SmallImage(CountBuffer& counts, std::int32_t method, std::int16_t firstCount) {
  ImageRecord r = BuiltInPresets()[2][kMandelbrotPreset];
  r.pixelRight = r.pixelLeft + 3;
  r.pixelBottom = r.pixelTop + 2;
  r.coloringMethod = method;
  for (int i = 0; i < 6; ++i) counts[i] = static_cast<std::int16_t>(firstCount + i);
  return r;
}

std::vector<std::uint8_t> PixelBytes(std::int16_t firstCount) {
  std::vector<std::uint8_t> bytes;
  for (int i = 0; i < 6; ++i) {
    const auto count = static_cast<std::uint16_t>(firstCount + i);
    bytes.push_back(static_cast<std::uint8_t>(count));
    bytes.push_back(static_cast<std::uint8_t>(count >> 8));
  }
  return bytes;
}

std::vector<std::uint8_t> RecordFileBytes(const ImageRecord& r) {
  const RecordBytes bytes = ToBytes(r);
  return {bytes.begin(), bytes.end()};
}

class SavingTest : public ::testing::Test {
 protected:
  void SetUp() override {}

  testing::TemporaryDirectory dir;
  testing::FakeWindow window;
  Explorer explorer{window};
  ExplorerState& state = explorer.State();
};

TEST_F(SavingTest, NewNameIsWrittenListedAndReported) {
  window.readList = {"alfa", "penultimo", "ultimo"};
  state.currentImage = SmallImage(state.countBuffer, kEscapeTime, 300);
  explorer.SaveImage("foto");
  EXPECT_EQ(FileBytes("foto.dat"), RecordFileBytes(state.currentImage));
  EXPECT_EQ(FileBytes("foto.pix"), PixelBytes(300));
  EXPECT_EQ(window.readList, std::vector<std::string>({"alfa", "foto", "penultimo", "ultimo"}));
  ASSERT_EQ(window.messages.size(), 1u);
  EXPECT_EQ(window.messages[0].text, "El fichero foto ha sido grabado");
  EXPECT_EQ(window.messages[0].caption, "Tesvo");
}

TEST_F(SavingTest, TakenNameIsRefusedAndNothingIsWritten) {
  WriteFileBytes("foto.dat", {1});
  WriteFileBytes("foto.pix", {2});
  state.currentImage = SmallImage(state.countBuffer, kEscapeTime, 300);
  explorer.SaveImage("foto");
  ASSERT_EQ(window.messages.size(), 1u);
  EXPECT_EQ(window.messages[0].text,
            "El fichero foto.dat ya existe.\nSi quieres volver a utiliar este nombre\n"
            "tendrás que borrarlo previamente");
  EXPECT_EQ(FileBytes("foto.dat"), std::vector<std::uint8_t>{1});
  EXPECT_EQ(FileBytes("foto.pix"), std::vector<std::uint8_t>{2});
  EXPECT_TRUE(window.readList.empty());
}

// Only the parameter file makes a name taken.
TEST_F(SavingTest, LonePixelFileIsOverwritten) {
  WriteFileBytes("foto.pix", {2});
  state.currentImage = SmallImage(state.countBuffer, kEscapeTime, 300);
  explorer.SaveImage("foto");
  EXPECT_EQ(FileBytes("foto.pix"), PixelBytes(300));
  EXPECT_EQ(window.readList, std::vector<std::string>{"foto"});
}

// An error once "penultimo" has taken the old "ultimo" (the new parameter
// file cannot be written): each name keeps a whole record of a known image,
// and a pixel file only when it is that image's.
TEST_F(SavingTest, RotationFailingHalfwayLeavesWholeMatchingPairs) {
  std::vector<ImageRecord> images;
  for (std::int16_t first : {40, 50}) {
    images.push_back(state.currentImage =
                         SmallImage(state.countBuffer, first == 40 ? kEscapeTime : kConvergence, first));
    explorer.RotateLastImages();
  }
  std::string failed;
  try {
    const testing::FileSizeLimit full(100);  // room for six counts, not for a record
    state.currentImage = SmallImage(state.countBuffer, kEscapeTime, 60);
    explorer.RotateLastImages();
  } catch (const FileError& error) {
    failed = error.file();
  }
  EXPECT_EQ(failed, "ultimo.dat");
  for (const std::string name : {"ultimo", "penultimo"}) {
    SCOPED_TRACE(name);
    const std::vector<std::uint8_t> record = FileBytes(name + ".dat");
    const std::size_t image = record == RecordFileBytes(images[0]) ? 0 : 1;
    EXPECT_EQ(record, RecordFileBytes(images[image]));
    if (fs::exists(name + ".pix")) {
      EXPECT_EQ(FileBytes(name + ".pix"), PixelBytes(image == 0 ? 40 : 50));
    }
  }
  EXPECT_EQ(FileBytes("penultimo.dat"), RecordFileBytes(images[1]));  // it did take "ultimo"
  EXPECT_EQ(dir.Entries().size(), 4u);                                // no temporary left
}

// Reserved files deleted outside the program or never written: the new
// "ultimo" is written all the same, without a message. "penultimo" takes the
// old "ultimo" where there was one, its pixel file only beside its own
// parameter file, and otherwise keeps its own parameter file.
TEST_F(SavingTest, RotationTakesMissingReservedFilesAsNoError) {
  struct Case {
    std::vector<std::string> present;
    std::vector<std::uint8_t> secondLastDat;  // empty: no file
    bool secondLastPix;                       // the old ultimo.pix
  };
  const std::vector<std::uint8_t> none;
  const Case cases[] = {
      {{}, none, false},
      {{"ultimo.dat"}, {1}, false},
      {{"ultimo.pix"}, none, false},
      {{"ultimo.dat", "ultimo.pix"}, {1}, true},
      {{"penultimo.dat", "ultimo.dat"}, {1}, false},
      {{"penultimo.pix", "ultimo.pix"}, none, false},
      {{"penultimo.dat", "penultimo.pix"}, {3}, false},
  };
  for (const Case& t : cases) {
    SCOPED_TRACE(::testing::Message()
                 << t.present.size() << " files, first " << (t.present.empty() ? "" : t.present[0]));
    for (const char* name : {"ultimo.dat", "ultimo.pix", "penultimo.dat", "penultimo.pix"}) fs::remove(name);
    const std::vector<std::string> files = {"ultimo.dat", "ultimo.pix", "penultimo.dat", "penultimo.pix"};
    for (const std::string& file : t.present)
      WriteFileBytes(
          file,
          {static_cast<std::uint8_t>(1 + (std::find(files.begin(), files.end(), file) - files.begin()))});
    state.currentImage = SmallImage(state.countBuffer, kEscapeTime, 40);
    explorer.RotateLastImages();
    EXPECT_EQ(FileBytes("ultimo.dat"), RecordFileBytes(state.currentImage));
    EXPECT_EQ(FileBytes("ultimo.pix"), PixelBytes(40));
    EXPECT_EQ(fs::exists("penultimo.dat") ? FileBytes("penultimo.dat") : none, t.secondLastDat);
    EXPECT_EQ(fs::exists("penultimo.pix") ? FileBytes("penultimo.pix") : none,
              t.secondLastPix ? std::vector<std::uint8_t>{2} : none);
    EXPECT_TRUE(window.messages.empty());
  }
}

TEST_F(SavingTest, StartUpWritesBothPlaceholdersInAnEmptyFolder) {
  state.presets[2][kMandelbrotPreset].formulaIndex = 2;
  state.countBuffer[0] = 0x1234;
  explorer.EnsureLastImages();
  EXPECT_EQ(dir.Entries(),
            std::vector<std::string>({"penultimo.dat", "penultimo.pix", "ultimo.dat", "ultimo.pix"}));

  ImageRecord placeholder = state.presets[2][kMandelbrotPreset];
  placeholder.pixelRight = placeholder.pixelLeft + 1;
  placeholder.pixelBottom = placeholder.pixelTop + 1;
  for (const char* name : {"ultimo", "penultimo"}) {
    EXPECT_EQ(FileBytes(std::string(name) + ".dat"), RecordFileBytes(placeholder)) << name;
    EXPECT_EQ(FileBytes(std::string(name) + ".pix"), std::vector<std::uint8_t>({0x34, 0x12})) << name;
  }
  EXPECT_TRUE(SameBytes(state.currentImage, placeholder));
  EXPECT_TRUE(window.messages.empty());
  EXPECT_TRUE(window.readList.empty());
}

TEST_F(SavingTest, StartUpWritesOnlyWhatIsMissing) {
  WriteFileBytes("ultimo.dat", {1});
  state.currentImage = SmallImage(state.countBuffer, kConvergence, 0);
  const ImageRecord before = state.currentImage;
  explorer.EnsureLastImages();
  EXPECT_EQ(FileBytes("ultimo.dat"), std::vector<std::uint8_t>{1});
  EXPECT_FALSE(fs::exists("ultimo.pix"));
  EXPECT_EQ(fs::file_size("penultimo.dat"), 200u);
  EXPECT_EQ(fs::file_size("penultimo.pix"), 2u);
  EXPECT_EQ(state.currentImage.pixelRight, state.currentImage.pixelLeft + 1);

  WriteFileBytes("penultimo.dat", {2});
  state.currentImage = before;
  explorer.EnsureLastImages();
  EXPECT_TRUE(SameBytes(state.currentImage, before));
  EXPECT_EQ(FileBytes("penultimo.dat"), std::vector<std::uint8_t>{2});
}

}  // namespace
}  // namespace tesvo

namespace tesvo {
namespace {

// A full-size image numbered by its first count.
ImageRecord FullImage(CountBuffer& counts, std::int16_t firstCount) {
  ImageRecord r = BuiltInPresets()[2][kMandelbrotPreset];
  r.juliaRe = firstCount;
  for (int i = 0; i < 531 * 531; ++i) counts[i] = static_cast<std::int16_t>((firstCount + i) % 5001);
  return r;
}

std::vector<std::vector<std::uint8_t>> ReservedFiles() {
  std::vector<std::vector<std::uint8_t>> files;
  for (const char* name : {"ultimo.dat", "ultimo.pix", "penultimo.dat", "penultimo.pix"})
    files.push_back(FileBytes(name));
  return files;
}

// In a folder that cannot be written the rotation fails with a message that
// says so, and the start-up says why it cannot write its placeholders.
TEST_F(SavingTest, ReadOnlyFolderIsReportedAndLosesNothing) {
  for (std::int16_t first : {1, 2}) {
    state.currentImage = FullImage(state.countBuffer, first);
    explorer.RotateLastImages();
  }
  const auto before = ReservedFiles();
  fs::create_directory("vacia");
  ASSERT_EQ(::chmod(".", 0555), 0);
  ASSERT_EQ(::chmod("vacia", 0555), 0);
  // Root writes anywhere: the child gives that up first.
  const pid_t child = ::fork();
  if (child == 0) {
    if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(3);
    int failures = 0;
    state.currentImage = FullImage(state.countBuffer, 3);
    try {
      explorer.RotateLastImages();
      ++failures;
    } catch (const FileError& error) {
      if (error.systemError() != EACCES) ++failures;
    }
    if (ReservedFiles() != before) ++failures;
    if (::chdir("vacia") != 0) ::_exit(4);
    testing::FakeWindow fresh;
    Explorer child{fresh};
    child.Initialise(1);
    if (fresh.messages.size() != 1 ||
        fresh.messages[0].text !=
            "No se ha podido grabar el fichero ultimo.pix.\nNo hay permiso para hacerlo.") {
      for (const auto& message : fresh.messages) std::fprintf(stderr, "%s\n", message.text.c_str());
      ++failures;
    }
    ::_exit(failures);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ::chmod(".", 0755);
  ::chmod("vacia", 0755);
  EXPECT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(ReservedFiles(), before);
}

// A working folder removed under the program: the message says it is gone.
TEST_F(SavingTest, RemovedWorkingFolderIsReportedAsMissing) {
  fs::create_directory("borrada");
  ASSERT_EQ(::chdir("borrada"), 0);
  ASSERT_EQ(::rmdir("../borrada"), 0);
  explorer.Initialise(1);
  ASSERT_EQ(window.messages.size(), 1u);
  EXPECT_EQ(window.messages[0].text, "No se ha podido grabar el fichero ultimo.pix.\nLa carpeta no existe.");
  ASSERT_EQ(::chdir(dir.path().c_str()), 0);
}

}  // namespace
}  // namespace tesvo
