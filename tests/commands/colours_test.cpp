#include "commands/explorer.h"

#include "colour/palette.h"
#include "navigation/julia.h"
#include "tests/command_fixture.h"

namespace tesvo {
namespace {

using testing::CommandTest;
using testing::FakeWindow;

const ControlColours kPresetColours = BuiltInPresets()[2][0].controlColours;

class ColourTest : public CommandTest {
 protected:
  void SetUp() override {
    CommandTest::SetUp();
    Start();
  }
  // Every pixel of the big-picture area as the user sees it now.
  void ExpectBigPictureShowsTheCounts() {
    const ImageRecord& image = state.currentImage;
    const int w = image.Width();
    const int h = image.Height();
    for (int x = 249; x <= 781; ++x) {
      for (int y = 10; y <= 542; ++y) {
        const int i = x - image.pixelLeft;
        const int j = y - image.pixelTop;
        const bool stored = i >= 0 && i < w && j >= 0 && j < h;
        const Colour expected = stored ? state.palette[state.countBuffer[i * h + j]] : kLightGrey;
        ASSERT_EQ(window.Pixel(x, y), expected) << x << "," << y;
      }
    }
  }
};

TEST_F(ColourTest, GradationSequencesFromTheDefault) {
  const int raising[] = {150, 225, 337, 505, 757, 1135, 1702, 2553, 3829, 5743, 5743, 5743};
  for (int expected : raising) {
    explorer.IncreaseGradation();
    EXPECT_EQ(state.currentImage.gradation, expected);
  }
  const int lowering[] = {3828, 2552, 1701, 1134, 756, 504, 336, 224, 149, 99,
                          66,   44,   29,   19,   12,  8,   5,   4,   4};
  for (int expected : lowering) {
    explorer.DecreaseGradation();
    EXPECT_EQ(state.currentImage.gradation, expected);
  }
}

TEST_F(ColourTest, RaiseThenLowerAndLowerThenRaise) {
  explorer.IncreaseGradation();
  explorer.DecreaseGradation();
  EXPECT_EQ(state.currentImage.gradation, 100);
  explorer.DecreaseGradation();
  explorer.IncreaseGradation();
  EXPECT_EQ(state.currentImage.gradation, 99);
}

TEST_F(ColourTest, RecolouringShowsTheStoredBlockAndGreysTheRest) {
  const int copies = window.blockCopies;
  const auto calls = window.pixelCalls.size();
  explorer.GreyColours();
  EXPECT_EQ(window.blockCopies, copies + 1);   // one step, not pixel by pixel
  EXPECT_EQ(window.pixelCalls.size(), calls);  // nothing computed
  EXPECT_EQ(state.palette[25], 0x7D7D7Du);
  ExpectBigPictureShowsTheCounts();
}

TEST_F(ColourTest, RecolouringAShortenedZoomLeavesTheRestOfTheAreaGrey) {
  explorer.ZoomToRectangle({300, 100}, {400, 400});
  explorer.RandomColours();
  ExpectBigPictureShowsTheCounts();
}

TEST_F(ColourTest, RandomColoursAreSymmetricAndInRangeAndFollowTheRuntimeGenerator) {
  CrtRandom expected;
  expected.seed = state.random.seed;
  for (int round = 0; round < 20; ++round) {
    explorer.RandomColours();
    const ControlColours& c = state.currentImage.controlColours;
    EXPECT_EQ(c[3], c[1]);
    EXPECT_EQ(c[4], c[0]);
    for (int k = 0; k < 3; ++k) {
      for (std::int32_t component : {c[k].red, c[k].green, c[k].blue}) {
        EXPECT_EQ(component, expected.Next() * 255 / 32767);
      }
    }
  }
  EXPECT_EQ(state.currentImage.gradation, 100);
}

TEST(CrtRandom, ReproducesTheClassicSequence) {
  CrtRandom random;  // seed 1, as before any srand
  EXPECT_EQ(random.Next(), 41);
  EXPECT_EQ(random.Next(), 18467);
  EXPECT_EQ(random.Next(), 6334);
}

TEST_F(ColourTest, GreysThenInitialColoursKeepTheGradation) {
  explorer.IncreaseGradation();
  explorer.GreyColours();
  EXPECT_EQ(state.currentImage.controlColours[1], (RGB{125, 125, 125}));
  explorer.InitialColours();
  EXPECT_EQ(state.currentImage.controlColours, kPresetColours);
  EXPECT_EQ(state.currentImage.gradation, 150);
}

TEST_F(ColourTest, PreviewKeepsItsColours) {
  explorer.JuliaFromPoint({427, 188});
  const Colour previewPixel = window.Pixel(12 + 73, 390 + 73);
  explorer.GreyColours();
  EXPECT_EQ(window.Pixel(12 + 73, 390 + 73), previewPixel);
  EXPECT_EQ(state.previewImage.controlColours, kPresetColours);
}

TEST(ColourCommands, DoNothingBeforeAnImage) {
  FakeWindow window;
  Explorer explorer{window};
  ExplorerState& state = explorer.State();
  explorer.GreyColours();
  explorer.IncreaseGradation();
  EXPECT_EQ(window.blockCopies, 0);
  EXPECT_EQ(state.currentImage.gradation, 0);
}

}  // namespace
}  // namespace tesvo
