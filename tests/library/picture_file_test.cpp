// The picture written beside a saved pair, decoded with libpng: its pixels
// against Palette[count], its record chunk, and what a failed or refused
// picture leaves behind.
#include "library/picture_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>
#include <zlib.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "colour/compose.h"
#include "commands/drawing.h"
#include "commands/explorer.h"
#include "engine/buffers.h"
#include "engine/reference_picture.h"
#include "library/file_error.h"
#include "library/folder_lock.h"
#include "tests/fake_window.h"
#include "tests/file_helpers.h"
#include "tests/library/decoded_png.h"

namespace tesvo {
namespace {

namespace fs = std::filesystem;
using testing::Decode;
using testing::DecodedPng;
using testing::FileBytes;
using testing::WriteFileBytes;

std::string Hex(const std::vector<std::uint8_t>& bytes) {
  std::string text;
  char digits[3];
  for (std::uint8_t byte : bytes) {
    std::snprintf(digits, sizeof digits, "%02x", byte);
    text += digits;
  }
  return text;
}

class PictureFile : public ::testing::Test {
 protected:
  // A 7 x 5 image, wider than high so that a swapped axis shows; every count
  // differs and has a Palette colour of its own in all three channels.
  void SetUp() override {
    ImageRecord& image = state.currentImage;
    image = BuiltInPresets()[2][kMandelbrotPreset];
    image.pixelRight = image.pixelLeft + kWidth;
    image.pixelBottom = image.pixelTop + kHeight;
    for (int i = 0; i < kPaletteSize; ++i)
      state.palette[i] = static_cast<Colour>(i * 0x00030507 & 0x00FFFFFF);
    for (int i = 0; i < kWidth * kHeight; ++i) state.countBuffer[i] = static_cast<std::int16_t>(100 + 37 * i);
  }

  static constexpr int kWidth = 7;
  static constexpr int kHeight = 5;
  testing::TemporaryDirectory dir;
  testing::FakeWindow window;
  Explorer explorer{window};
  ExplorerState& state = explorer.State();
};

TEST_F(PictureFile, SavedPictureIsPaletteOfEachCountAndCarriesTheRecord) {
  explorer.SaveImage("foto");
  const DecodedPng png = Decode("foto.png");
  ASSERT_TRUE(png.ok);
  ASSERT_EQ(png.width, kWidth);
  ASSERT_EQ(png.height, kHeight);
  // Counts are stored column by column, the picture row by row.
  for (int x = 0; x < kWidth; ++x)
    for (int y = 0; y < kHeight; ++y)
      EXPECT_EQ(png.pixels[y * kWidth + x], state.palette[state.countBuffer[x * kHeight + y]])
          << x << "," << y;
  EXPECT_EQ(png.record, Hex(FileBytes("foto.dat")));
  EXPECT_EQ(window.readList, std::vector<std::string>{"foto"});
  EXPECT_EQ(window.messages.back().text, "El fichero foto ha sido grabado");
}

TEST_F(PictureFile, ReservedImagesGetNoPicture) {
  explorer.RotateLastImages();
  explorer.EnsureLastImages();
  EXPECT_EQ(dir.Entries(),
            std::vector<std::string>({"penultimo.dat", "penultimo.pix", "ultimo.dat", "ultimo.pix"}));
}

// The pair is written and listed before the picture; a picture that cannot
// be written takes nothing with it, and the message says that the pair is
// saved and how to have the picture: a full disk as shown, another window
// holding the folder through a larger picture's last step.
TEST_F(PictureFile, FailedPictureLeavesThePairSavedAndListed) {
  const auto wait = std::exchange(folderLockWait, std::chrono::milliseconds(50));
  const struct {
    const char* what;
    PictureSize size;
    bool fullDisk;
    std::string reason;
    std::string options;
  } rows[] = {
      {"full disk",
       {},
       true,
       "No se ha podido grabar el fichero foto.png.\nEl fichero es más grande de lo que el disco admite.",
       ""},
      {"lock held",
       {2, 1},
       false,
       "Otra ventana de Tesvo está grabando o borrando en esta carpeta y no termina.",
       " --scale 2"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    for (const std::string& file : dir.Entries()) fs::remove(file);
    window.readList.clear();
    window.messages.clear();
    const int held = ::open(kLockFileName, O_RDWR | O_CREAT, 0644);
    window.beforeWork = [&] { ::flock(held, LOCK_EX); };
    {
      std::optional<testing::FileSizeLimit> disk;
      if (row.fullDisk) disk.emplace(400);  // the pair fits, the picture does not
      EXPECT_NO_THROW(explorer.SaveImage("foto", row.size));
    }
    ::close(held);
    EXPECT_EQ(dir.Entries(), std::vector<std::string>({"foto.dat", "foto.pix"}));
    EXPECT_EQ(fs::file_size("foto.pix"), 2u * kWidth * kHeight);
    EXPECT_EQ(window.readList, std::vector<std::string>{"foto"});
    ASSERT_EQ(window.messages.size(), 1u);
    EXPECT_EQ(window.messages[0].text,
              "El fichero foto ha sido grabado, pero no su dibujo foto.png:\n" + row.reason +
                  "\nPara tenerlo, graba la imagen otra vez con otro nombre, o escribe "
                  "en una terminal:\ntesvo render foto.dat foto.png" +
                  row.options);
  }
  window.beforeWork = nullptr;
  folderLockWait = wait;
}

// A file already under the picture's name is never replaced: the pair is
// saved without a picture, and the user is told unless the file is this very
// image's picture.
TEST_F(PictureFile, FileUnderThePicturesNameStaysAsItIs) {
  explorer.SaveImage("tesvo");
  const struct {
    std::vector<std::uint8_t> bytes;
    std::string message;
  } cases[] = {
      {{1, 2, 3},
       "El fichero foto ha sido grabado\nYa había un fichero foto.png, que no es de esta imagen: se ha "
       "dejado como estaba y la imagen queda sin dibujo."},
      {FileBytes("tesvo.png"), "El fichero foto ha sido grabado"},
  };
  // As shown, and at a larger size, which is not computed at all.
  for (const PictureSize size : {PictureSize{}, PictureSize{2, 2}}) {
    for (const auto& c : cases) {
      WriteFileBytes("foto.png", c.bytes);
      fs::remove("foto.dat");
      window.readList.clear();
      window.messages.clear();
      window.progressTexts.clear();
      explorer.SaveImage("foto", size);
      ASSERT_EQ(window.messages.size(), 1u);
      EXPECT_EQ(window.messages[0].text, c.message);
      EXPECT_EQ(window.readList, std::vector<std::string>{"foto"});
      EXPECT_EQ(FileBytes("foto.dat"), FileBytes("tesvo.dat"));
      EXPECT_EQ(FileBytes("foto.png"), c.bytes);
      EXPECT_TRUE(window.progressTexts.empty());
    }
  }
}

// A larger picture is computed again from the record under the window's
// progress, through the Palette shown; cancelling it leaves the pair saved
// and listed, and neither a picture nor a temporary file.
TEST_F(PictureFile, LargerPictureIsComputedAgainAndCancellingLeavesThePair) {
  explorer.SaveImage("grande", {3, 2});
  const DecodedPng png = Decode("grande.png");
  ASSERT_TRUE(png.ok);
  EXPECT_EQ(png.width, 3 * kWidth);
  EXPECT_EQ(png.height, 3 * kHeight);
  EXPECT_TRUE(testing::RgbBytes(png) == testing::ReferencePicture(state.currentImage, state.palette, 3, 2));
  EXPECT_EQ(png.record, Hex(FileBytes("grande.dat")));
  EXPECT_EQ(window.progressTexts,
            std::vector<std::string>{"Grabando el dibujo grande.png, de 21 x 15 píxeles..."});
  ASSERT_FALSE(window.reports.empty());
  EXPECT_EQ(window.reports.back(), 1.0);
  EXPECT_EQ(window.messages.back().text, "El fichero grande ha sido grabado");

  window.cancelAt = 0;
  explorer.SaveImage("cancelada", {2, 1});
  EXPECT_EQ(window.messages.back().text,
            "El fichero cancelada ha sido grabado, sin el dibujo cancelada.png, que se ha cancelado.");
  EXPECT_EQ(window.readList, std::vector<std::string>({"cancelada", "grande"}));
  EXPECT_EQ(dir.Entries(), std::vector<std::string>(
                               {"cancelada.dat", "cancelada.pix", "grande.dat", "grande.pix", "grande.png"}));
}

}  // namespace
}  // namespace tesvo

namespace tesvo {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Tesvo's picture is told by its record chunk, found wherever it stands and
// compared whole with the record the parameter file holds, and by pixels
// that are still those it was written with.
TEST_F(PictureFile, OwnPictureIsToldByItsWholeRecordChunk) {
  explorer.SaveImage("foto");
  const Bytes png = FileBytes("foto.png");
  const Bytes dat = FileBytes("foto.dat");
  constexpr std::size_t kAt = 33;
  constexpr std::size_t kChunk = 12 + 10 + 400;
  const Bytes chunk(png.begin() + kAt, png.begin() + kAt + kChunk);
  Bytes without = png;
  without.erase(without.begin() + kAt, without.begin() + kAt + kChunk);

  struct Case {
    const char* what;
    Bytes png;
    Bytes dat;
    bool own;
  };
  Bytes moved = without;
  moved.insert(moved.end() - 12, chunk.begin(), chunk.end());  // before IEND
  Bytes digit = png;
  digit[kAt + 8 + 10 + 5] ^= 1;  // one hexadecimal digit of the record
  Bytes longer = dat;
  longer.push_back(0);
  Bytes otherRecord = dat;
  otherRecord[0] ^= 1;
  Bytes shortened(png.begin(), png.begin() + kAt + kChunk - 1);
  // The pixels' check is the last chunk before the end chunk's 12 bytes.
  constexpr std::size_t kCheck = 12 + 10 + 8;
  Bytes unchecked = png;
  unchecked.erase(unchecked.end() - 12 - kCheck, unchecked.end() - 12);
  // Another program changed a pixel and kept both chunks as they were.
  std::vector<Colour> colours = ComposeCounts(state.countBuffer, state.currentImage, state.palette);
  colours[3] ^= 0x000100;
  Bytes edited = EncodePicture(colours, kWidth, kHeight, state.currentImage);
  std::copy(png.end() - 12 - kCheck, png.end() - 12, edited.end() - 12 - kCheck);
  // A private chunk of 17 MiB before the end: size alone decides nothing.
  Bytes padded = png;
  Bytes big(8 + (std::size_t{17} << 20) + 4, 0);
  const std::uint32_t length = static_cast<std::uint32_t>(big.size() - 12);
  big[0] = static_cast<std::uint8_t>(length >> 24), big[1] = static_cast<std::uint8_t>(length >> 16);
  big[2] = static_cast<std::uint8_t>(length >> 8), big[3] = static_cast<std::uint8_t>(length);
  std::copy_n("prVt", 4, big.begin() + 4);
  const uLong crc = crc32_z(0, big.data() + 4, big.size() - 8);
  for (int i = 0; i < 4; ++i) big[big.size() - 4 + i] = static_cast<std::uint8_t>(crc >> (24 - 8 * i));
  padded.insert(padded.end() - 12, big.begin(), big.end());
  const Case cases[] = {
      {"as written", png, dat, true},
      {"chunk after the image data", moved, dat, true},
      {"parameter file with bytes after the record", png, longer, true},
      {"saved before pictures carried the pixels' check", unchecked, dat, true},
      {"pixels edited, chunks kept", edited, dat, false},
      {"no record chunk", without, dat, false},
      {"one digit changed", digit, dat, false},
      {"record of another image", png, otherRecord, false},
      {"cut inside the chunk", shortened, dat, false},
      {"parameter file too short", png, Bytes(dat.begin(), dat.end() - 1), false},
      {"larger than 16 MiB with a chunk of another program", padded, dat, true},
  };
  for (const Case& t : cases) {
    SCOPED_TRACE(t.what);
    WriteFileBytes("foto.png", t.png);
    WriteFileBytes("foto.dat", t.dat);
    EXPECT_EQ(IsPictureOfParameterFile("foto"), t.own);
  }
}

}  // namespace
}  // namespace tesvo
