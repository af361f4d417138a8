#include "library/saving.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/program_state.h"
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
ImageRecord SmallImage(std::int32_t method, std::int16_t firstCount) {
  ImageRecord r = BuiltInPresets()[2][kMandelbrotPreset];
  r.pixelRight = r.pixelLeft + 3;
  r.pixelBottom = r.pixelTop + 2;
  r.coloringMethod = method;
  for (int i = 0; i < 6; ++i) state.countBuffer[i] = static_cast<std::int16_t>(firstCount + i);
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
  void SetUp() override { state.Reset(); }

  testing::TemporaryDirectory dir;
  testing::FakeWindow window;
};

TEST_F(SavingTest, NewNameIsWrittenListedAndReported) {
  window.readList = {"alfa", "penultimo", "ultimo"};
  state.currentImage = SmallImage(kEscapeTime, 300);
  SaveImage("foto", window);
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
  state.currentImage = SmallImage(kEscapeTime, 300);
  SaveImage("foto", window);
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
  state.currentImage = SmallImage(kEscapeTime, 300);
  SaveImage("foto", window);
  EXPECT_EQ(FileBytes("foto.pix"), PixelBytes(300));
  EXPECT_EQ(window.readList, std::vector<std::string>{"foto"});
}

TEST_F(SavingTest, QuietSaveAddsNoEntryShowsNothingAndIsSpent) {
  state.currentImage = SmallImage(kEscapeTime, 300);
  state.quietSave = true;
  SaveImage("foto", window);
  EXPECT_TRUE(fs::exists("foto.dat"));
  EXPECT_TRUE(window.readList.empty());
  EXPECT_TRUE(window.messages.empty());
  EXPECT_FALSE(state.quietSave);
}

// A quiet save that fails must not make the user's next save quiet.
TEST_F(SavingTest, FailedQuietSaveLeavesTheNextSaveAudible) {
  WriteFileBytes("plano", {1});
  state.currentImage = SmallImage(kEscapeTime, 300);
  state.quietSave = true;
  EXPECT_THROW(SaveImage("plano/foto", window), FileError);
  EXPECT_FALSE(state.quietSave);

  SaveImage("foto", window);
  EXPECT_EQ(window.readList, std::vector<std::string>{"foto"});
  ASSERT_EQ(window.messages.size(), 1u);
  EXPECT_EQ(window.messages[0].text, "El fichero foto ha sido grabado");
}

// Reserved files deleted outside the program or never written: the new
// "ultimo" is written all the same, without a message.
TEST_F(SavingTest, RotationTakesMissingReservedFilesAsNoError) {
  const std::vector<std::vector<std::string>> present = {
      {},
      {"ultimo.dat"},
      {"ultimo.pix"},
      {"penultimo.dat", "ultimo.dat"},
      {"penultimo.pix", "ultimo.pix"},
      {"penultimo.dat", "penultimo.pix"},
  };
  for (const std::vector<std::string>& files : present) {
    SCOPED_TRACE(::testing::Message() << files.size() << " files, first " << (files.empty() ? "" : files[0]));
    for (const char* name : {"ultimo.dat", "ultimo.pix", "penultimo.dat", "penultimo.pix"}) fs::remove(name);
    for (const std::string& file : files) WriteFileBytes(file, {7});
    state.currentImage = SmallImage(kEscapeTime, 40);
    RotateLastImages(window);
    EXPECT_EQ(FileBytes("ultimo.dat"), RecordFileBytes(state.currentImage));
    EXPECT_EQ(FileBytes("ultimo.pix"), PixelBytes(40));
    for (const char* name : {"penultimo.dat", "penultimo.pix"}) {
      const std::string from = std::string(name).substr(3);  // "ultimo..."
      const bool moved = std::find(files.begin(), files.end(), from) != files.end();
      EXPECT_EQ(fs::exists(name), moved) << name;
    }
    EXPECT_TRUE(window.messages.empty());
    EXPECT_FALSE(state.quietSave);
  }
}

TEST_F(SavingTest, StartUpWritesBothPlaceholdersInAnEmptyFolder) {
  state.presets[2][kMandelbrotPreset].formulaIndex = 2;
  state.countBuffer[0] = 0x1234;
  EnsureLastImages(window);
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
  EXPECT_FALSE(state.quietSave);
}

TEST_F(SavingTest, StartUpWritesOnlyWhatIsMissing) {
  WriteFileBytes("ultimo.dat", {1});
  state.currentImage = SmallImage(kConvergence, 0);
  const ImageRecord before = state.currentImage;
  EnsureLastImages(window);
  EXPECT_EQ(FileBytes("ultimo.dat"), std::vector<std::uint8_t>{1});
  EXPECT_FALSE(fs::exists("ultimo.pix"));
  EXPECT_EQ(fs::file_size("penultimo.dat"), 200u);
  EXPECT_EQ(fs::file_size("penultimo.pix"), 2u);
  EXPECT_EQ(state.currentImage.pixelRight, state.currentImage.pixelLeft + 1);

  WriteFileBytes("penultimo.dat", {2});
  state.currentImage = before;
  EnsureLastImages(window);
  EXPECT_TRUE(SameBytes(state.currentImage, before));
  EXPECT_EQ(FileBytes("penultimo.dat"), std::vector<std::uint8_t>{2});
}

}  // namespace
}  // namespace tesvo
