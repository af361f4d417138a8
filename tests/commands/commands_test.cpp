#include "commands/explorer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "commands/drawing.h"
#include "engine/buffers.h"
#include "engine/test_records.h"
#include "fake_window.h"
#include "file_helpers.h"

namespace tesvo {
namespace {

namespace fs = std::filesystem;
using testing::FakeWindow;
using testing::FileBytes;
using testing::Resized;

std::vector<std::uint8_t> RecordFileBytes(const ImageRecord& r) {
  const RecordBytes bytes = ToBytes(r);
  return {bytes.begin(), bytes.end()};
}

// The pixel file of the CountBuffer's first n entries.
std::vector<std::uint8_t> CountBytes(const CountBuffer& counts, std::size_t n) {
  std::vector<std::uint8_t> bytes;
  for (std::size_t i = 0; i < n; ++i) {
    const auto count = static_cast<std::uint16_t>(counts[i]);
    bytes.push_back(static_cast<std::uint8_t>(count));
    bytes.push_back(static_cast<std::uint8_t>(count >> 8));
  }
  return bytes;
}

// The main window as it opens in an empty folder.
class CommandsTest : public ::testing::Test {
 protected:
  void SetUp() override { explorer.Initialise(1234); }

  // Draws from here on in a fresh window, so that a test sees what one
  // command did.
  FakeWindow& FreshWindow() {
    window = FakeWindow{};
    return window;
  }

  // The preset slots of z^2, as the start button or a read leaves them, for
  // tests that put an image in place by hand.
  void LoadSlots() {
    state.mandelbrotSlot = state.presets[2][kMandelbrotPreset];
    state.juliaSlot = state.presets[2][kJuliaPreset];
    state.previewSlot = state.presets[2][kPreviewPreset];
  }

  testing::TemporaryDirectory dir;
  FakeWindow window;
  Explorer explorer{window};
  ExplorerState& state = explorer.State();
};

TEST_F(CommandsTest, InitialisationSetsFormulaModeAndPlaceholders) {
  EXPECT_EQ(state.formulaIndex, 2);
  EXPECT_EQ(state.currentMethod, kEscapeTime);
  EXPECT_EQ(window.modeItems,
            std::vector<std::string>({"convergencia", "descomposición", "tiempo de escape", "inversión"}));
  EXPECT_EQ(window.selectedMode, kEscapeTime);
  for (int row = 0; row < kFormulaCount; ++row)
    for (const ImageRecord& record : state.presets[row]) EXPECT_EQ(record.formulaIndex, row);
  EXPECT_EQ(state.initialColours, (std::array<RGB, 3>{{{0, 0, 255}, {255, 255, 0}, {255, 0, 0}}}));
  EXPECT_EQ(dir.Entries(),
            std::vector<std::string>({"penultimo.dat", "penultimo.pix", "ultimo.dat", "ultimo.pix"}));
  EXPECT_EQ(state.currentImage.pixelRight - state.currentImage.pixelLeft, 1);
  EXPECT_FALSE(state.slotsLoaded);
  EXPECT_TRUE(window.messages.empty());
}

// The first start: the z^2 preset in the mode of the combo, drawn so that
// every pixel shows Palette[count] of its CountBuffer entry.
TEST_F(CommandsTest, FirstStartDrawsTheZSquaredPresetThroughThePalette) {
  const std::vector<std::uint8_t> placeholder = FileBytes("ultimo.dat");
  FreshWindow();
  explorer.StartMandelbrot();

  EXPECT_EQ(window.title, "Conjunto de Mandelbrot");
  const ImageRecord& image = state.currentImage;
  EXPECT_EQ(image.formulaLetter, 'c');
  EXPECT_EQ(image.kind, kMandelbrotKind);
  EXPECT_EQ(image.iterationLimit, 100);
  EXPECT_EQ(image.escapeBound, 1000);
  EXPECT_EQ(std::vector<double>({image.planeLeft, image.planeTop, image.planeRight, image.planeBottom}),
            std::vector<double>({-2.2, 2.2, 2.2, -2.2}));
  EXPECT_EQ(image.coloringMethod, kEscapeTime);
  EXPECT_TRUE(state.slotsLoaded);
  EXPECT_TRUE(SameBytes(state.mandelbrotSlot, state.presets[2][0]));
  EXPECT_TRUE(SameBytes(state.juliaSlot, state.presets[2][1]));
  EXPECT_TRUE(SameBytes(state.previewSlot, state.presets[2][2]));
  EXPECT_EQ(state.palette[1], 0xF40A0Au);

  // The wipe of the placeholder's 2 x 2 area came first.
  ASSERT_EQ(window.fills.size(), 1u);
  EXPECT_EQ(window.fills[0].pixelsBefore, 0u);
  EXPECT_EQ(std::vector<int>(
                {window.fills[0].left, window.fills[0].top, window.fills[0].right, window.fills[0].bottom}),
            std::vector<int>({249, 10, 251, 12}));
  EXPECT_EQ(window.Pixel(249, 10), kLightGrey);

  for (int i = 0; i < 531; ++i)
    for (int j = 0; j < 531; ++j)
      ASSERT_EQ(window.Pixel(250 + i, 11 + j), state.palette[state.countBuffer[i * 531 + j]])
          << "column " << i << " row " << j;
  for (int j = 0; j <= 531; ++j)
    ASSERT_EQ(window.Pixel(781, 11 + j), state.palette[state.countBuffer[531 * 531 + j]]) << "row " << j;
  EXPECT_EQ(window.Pixel(782, 11), FakeWindow::kEmpty);
  EXPECT_EQ(window.Pixel(250, 543), FakeWindow::kEmpty);

  EXPECT_EQ(FileBytes("penultimo.dat"), placeholder);
  EXPECT_EQ(FileBytes("ultimo.dat"), RecordFileBytes(image));
  EXPECT_EQ(FileBytes("ultimo.pix"), CountBytes(state.countBuffer, 531 * 531));
  EXPECT_TRUE(window.messages.empty());
}

// Whatever was zoomed, recoloured or read before, the start brings back the
// preset of the current formula, in the mode of the combo.
TEST_F(CommandsTest, StartTakesThePresetOfTheCurrentFormulaInTheCurrentMode) {
  for (ImageRecord& record : state.presets[6]) record = Resized(record, 20, 20);
  state.formulaIndex = 6;
  state.currentMethod = kDecomposition;
  state.currentImage.planeLeft = 0.125;
  state.currentImage.gradation = 7;
  state.palette.fill(0x123456);
  explorer.StartMandelbrot();

  const ImageRecord& image = state.currentImage;
  EXPECT_EQ(image.formulaLetter, 'g');
  EXPECT_EQ(image.formulaIndex, 6);
  EXPECT_EQ(image.coloringMethod, kDecomposition);
  EXPECT_EQ(std::vector<double>({image.planeLeft, image.planeTop, image.planeRight, image.planeBottom}),
            std::vector<double>({-4.5, 4.5, 4.5, -4.5}));
  EXPECT_EQ(image.gradation, 100);
  EXPECT_EQ(state.palette[1], 0xF40A0Au);
  EXPECT_EQ(state.palette[0], 0u);
  EXPECT_TRUE(SameBytes(state.juliaSlot, state.presets[6][1]));
  EXPECT_EQ(state.formulaIndex, 6);
  EXPECT_EQ(state.currentMethod, kDecomposition);
}

TEST_F(CommandsTest, AfterTwoImagesPenultimoHoldsTheFirstAndUltimoTheSecond) {
  state.presets[2][kMandelbrotPreset] = Resized(state.presets[2][kMandelbrotPreset], 60, 60);
  explorer.StartMandelbrot();
  const ImageRecord first = state.currentImage;
  const std::vector<std::uint8_t> firstCounts = CountBytes(state.countBuffer, 60 * 60);
  explorer.ChangeMode(kConvergence);

  EXPECT_EQ(state.currentMethod, kConvergence);
  EXPECT_EQ(state.currentImage.coloringMethod, kConvergence);
  EXPECT_EQ(FileBytes("penultimo.dat"), RecordFileBytes(first));
  EXPECT_EQ(FileBytes("penultimo.pix"), firstCounts);
  EXPECT_EQ(FileBytes("ultimo.dat"), RecordFileBytes(state.currentImage));
  EXPECT_EQ(FileBytes("ultimo.pix"), CountBytes(state.countBuffer, 60 * 60));
  EXPECT_NE(FileBytes("ultimo.pix"), firstCounts);
}

TEST_F(CommandsTest, ChangingToTheModeShownDoesNothing) {
  state.currentImage = Resized(state.presets[2][0], 8, 8);
  const std::vector<std::uint8_t> last = FileBytes("ultimo.dat");
  FreshWindow();
  explorer.ChangeMode(kEscapeTime);
  EXPECT_TRUE(window.pixelCalls.empty());
  EXPECT_TRUE(window.fills.empty());
  EXPECT_TRUE(window.titles.empty());
  EXPECT_EQ(FileBytes("ultimo.dat"), last);
}

// On a Julia image the mode change computes the Julia image again, caption
// included, and leaves the preview in the small picture alone.
TEST_F(CommandsTest, ModeChangeOnAJuliaImageKeepsThePreview) {
  ImageRecord julia = Resized(state.presets[2][kJuliaPreset], 16, 16);
  julia.juliaRe = -0.75;
  julia.juliaIm = 0.1;
  state.currentImage = julia;
  LoadSlots();
  state.previewImage = state.presets[2][kPreviewPreset];
  const ImageRecord preview = state.previewImage;
  const std::vector<std::uint8_t> last = FileBytes("ultimo.dat");
  FreshWindow();
  explorer.ChangeMode(kInversion);

  EXPECT_EQ(window.title, JuliaCaption(-0.75, 0.1));
  EXPECT_EQ(window.pixelCalls.size(), 17u * 17u);
  for (const testing::PixelCall& call : window.pixelCalls) EXPECT_GE(call.x, 250);
  EXPECT_TRUE(SameBytes(state.previewImage, preview));
  EXPECT_EQ(FileBytes("penultimo.dat"), last);
  julia.coloringMethod = kInversion;
  EXPECT_EQ(FileBytes("ultimo.dat"), RecordFileBytes(julia));
}

// Before any image the record may be zero-filled: it describes no image, so
// it is neither drawn nor written over the last image.
TEST_F(CommandsTest, ModeChangeOnAZeroFilledImageWaitsForTheFirstImage) {
  state.currentImage = ImageRecord{};
  const std::vector<std::uint8_t> last = FileBytes("ultimo.dat");
  FreshWindow();
  explorer.ChangeMode(kInversion);
  EXPECT_TRUE(window.pixelCalls.empty());
  EXPECT_EQ(state.currentMethod, kInversion);
  EXPECT_EQ(FileBytes("ultimo.dat"), last);
  // The mode chosen meanwhile is the one the start button then uses.
  explorer.StartMandelbrot();
  EXPECT_EQ(state.currentImage.coloringMethod, kInversion);
}

struct PrecisionCase {
  double start;
  bool increase;
  std::vector<double> limits;  // after each press
};

const PrecisionCase kPrecisionCases[] = {
    {100, true, {200, 400, 800, 1600, 3200, 5000, 5000}},
    {256, true, {512, 1024, 2048, 4096, 5000}},
    {3000, true, {5000}},
    {100, false, {50, 25, 12.5, 6.25, 3.125}},
};

// The precision buttons draw again each time but never rotate.
TEST_F(CommandsTest, PrecisionSequences) {
  const std::vector<std::uint8_t> last = FileBytes("ultimo.dat");
  for (const PrecisionCase& t : kPrecisionCases) {
    state.currentImage = Resized(state.presets[2][0], 2, 2);
    state.currentImage.iterationLimit = t.start;
    LoadSlots();
    for (double expected : t.limits) {
      SCOPED_TRACE(::testing::Message() << "from " << t.start << " to " << expected);
      FreshWindow();
      if (t.increase)
        explorer.IncreasePrecision();
      else
        explorer.DecreasePrecision();
      EXPECT_EQ(state.currentImage.iterationLimit, expected);
      EXPECT_EQ(window.pixelCalls.size(), 9u);
    }
  }
  EXPECT_EQ(FileBytes("ultimo.dat"), last);
}

TEST_F(CommandsTest, HalvingThenDoublingIsExact) {
  for (double limit : {100.0, 12.5, 6.25, 5000.0, 3.0 / 7}) {
    state.currentImage = Resized(state.presets[2][0], 1, 1);
    state.currentImage.iterationLimit = limit;
    LoadSlots();
    explorer.DecreasePrecision();
    explorer.IncreasePrecision();
    EXPECT_EQ(state.currentImage.iterationLimit, limit);
  }
}

// Right after start-up the image is the placeholder, a 2 x 2 image at the
// top left corner of the big picture; a zero-filled record draws nothing.
TEST_F(CommandsTest, PrecisionBeforeTheFirstImage) {
  FreshWindow();
  explorer.IncreasePrecision();
  ASSERT_EQ(window.pixelCalls.size(), 4u);
  EXPECT_EQ(window.pixelCalls[0].x, 250);
  EXPECT_EQ(window.pixelCalls[0].y, 11);
  EXPECT_EQ(window.pixelCalls[3].x, 251);
  EXPECT_EQ(window.pixelCalls[3].y, 12);

  state.currentImage = ImageRecord{};
  FreshWindow();
  explorer.DecreasePrecision();
  EXPECT_TRUE(window.pixelCalls.empty());
  EXPECT_TRUE(window.titles.empty());
}

// A file step that fails ends the command with one Spanish message box
// naming the file; the picture drawn before it stays.
TEST_F(CommandsTest, RotationThatCannotRemoveShowsOneMessage) {
  state.presets[2][kMandelbrotPreset] = Resized(state.presets[2][kMandelbrotPreset], 60, 60);
  fs::remove("penultimo.pix");
  fs::create_directories("penultimo.pix/dentro");
  FreshWindow();
  explorer.StartMandelbrot();
  ASSERT_EQ(window.messages.size(), 1u);
  EXPECT_EQ(window.messages[0].caption, "Tesvo");
  EXPECT_EQ(window.messages[0].text.rfind("No se ha podido borrar el fichero penultimo.pix.", 0), 0u);
  EXPECT_FALSE(window.messages[0].question);
  EXPECT_EQ(state.currentImage.formulaLetter, 'c');
  EXPECT_EQ(window.pixelCalls.size(), 61u * 61u);
  EXPECT_TRUE(fs::exists("ultimo.dat"));  // the steps after the failing one did not run
}

// The disk fills up while the new "ultimo" is written: nothing has moved
// yet, so both images stay as they were and no half-written file is left;
// the next image rotates without a message.
TEST_F(CommandsTest, RotationThatRunsOutOfSpaceKeepsBothImages) {
  state.presets[2][kMandelbrotPreset] = Resized(state.presets[2][kMandelbrotPreset], 60, 60);  // 7,200 bytes
  const auto before = dir.Entries();
  std::vector<std::vector<std::uint8_t>> files;
  for (const std::string& file : before) files.push_back(FileBytes(file));
  {
    const testing::FileSizeLimit full(4096);
    FreshWindow();
    explorer.StartMandelbrot();
  }
  ASSERT_EQ(window.messages.size(), 1u);
  EXPECT_EQ(window.messages[0].caption, "Tesvo");
  EXPECT_EQ(window.messages[0].text.rfind("No se ha podido grabar el fichero ultimo.pix.", 0), 0u);
  ASSERT_EQ(dir.Entries(), before);
  for (std::size_t i = 0; i < before.size(); ++i) EXPECT_EQ(FileBytes(before[i]), files[i]) << before[i];

  FreshWindow();
  explorer.StartMandelbrot();
  EXPECT_TRUE(window.messages.empty());
  EXPECT_EQ(FileBytes("ultimo.dat"), RecordFileBytes(state.currentImage));
}

}  // namespace
}  // namespace tesvo
