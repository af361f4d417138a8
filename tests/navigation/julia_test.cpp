#include "navigation/julia.h"

#include <cmath>
#include <ranges>

#include "commands/drawing.h"
#include "commands/explorer.h"
#include "library/image_files.h"
#include "tests/command_fixture.h"

namespace tesvo {
namespace {

using testing::CommandTest;

const std::string kPreviewPrefix = "Conjunto de Mandelbrot" + std::string(27, ' ') + "c = ";

using JuliaTest = CommandTest;

TEST_F(JuliaTest, RightClickPreviewsThePointAndLeavesTheBigPictureAlone) {
  Start();
  const CountBuffer counts = state.countBuffer;
  explorer.JuliaFromPoint({427, 188});
  const ImageRecord& preview = state.previewImage;
  EXPECT_EQ(preview.juliaRe, -0.7333333333333334);
  EXPECT_EQ(preview.juliaIm, 0.7333333333333334);
  EXPECT_EQ(preview.kind, 'p');
  EXPECT_EQ(preview.planeLeft, -1.8);
  EXPECT_EQ(preview.pixelLeft, 12);
  EXPECT_EQ(preview.pixelBottom, 536);
  EXPECT_EQ(window.title, kPreviewPrefix + "-0.733333 + 0.733333\u00B7i");
  EXPECT_TRUE(state.countBuffer == counts);
  // The preview is drawn in the small picture only.
  for (const auto& call : window.pixelCalls | std::views::drop(532 * 532)) {
    ASSERT_GE(call.x, 12);
    ASSERT_LE(call.x, 158);
  }
}

TEST_F(JuliaTest, InversionModeInvertsTheClickedPoint) {
  state.currentMethod = kInversion;
  Start();
  explorer.JuliaFromPoint({427, 188});
  EXPECT_EQ(state.previewImage.juliaRe, -0.34090909090909083);
  EXPECT_EQ(state.previewImage.juliaIm, 0.34090909090909083);
}

TEST_F(JuliaTest, PreviewTakesPrecisionColoursAndModeOfTheBigPicture) {
  Start();
  state.currentImage.iterationLimit = 200;
  state.currentImage.gradation = 150;
  state.currentImage.controlColours[2] = {1, 2, 3};
  state.currentImage.coloringMethod = kDecomposition;
  explorer.JuliaFromPoint({300, 500});  // outside the picture on the left: extended mapping
  const ImageRecord& preview = state.previewImage;
  EXPECT_LT(preview.juliaRe, -2.2 + 4.4 * 51 / 531);
  EXPECT_EQ(preview.iterationLimit, 200);
  EXPECT_EQ(preview.gradation, 150);
  EXPECT_EQ(preview.controlColours[2], (RGB{1, 2, 3}));
  EXPECT_EQ(preview.coloringMethod, kDecomposition);
  EXPECT_EQ(preview.escapeBound, 1000);
}

TEST_F(JuliaTest, RightClickOnAJuliaImageOnlyExplains) {
  Start();
  explorer.JuliaFromPoint({427, 188});
  explorer.EnlargePreview();
  const ImageRecord preview = state.previewImage;
  const std::string title = window.title;
  window.messages.clear();
  explorer.JuliaFromPoint({500, 300});
  ASSERT_EQ(window.messages.size(), 1u);
  EXPECT_EQ(window.messages[0].text, kNotMandelbrotMessage);
  EXPECT_EQ(window.messages[0].caption, "Tesvo");
  EXPECT_TRUE(SameBytes(state.previewImage, preview));
  EXPECT_EQ(window.title, title);
}

TEST_F(JuliaTest, EnlargeDrawsThePreviewAtFullSizeAndFollowsItsFormulaAndMode) {
  state.currentMethod = kConvergence;
  Start();
  explorer.JuliaFromPoint({427, 188});
  window.SelectMode(-1);
  explorer.EnlargePreview();
  const ImageRecord& image = state.currentImage;
  EXPECT_EQ(image.kind, 'j');
  EXPECT_EQ(image.pixelLeft, 250);
  EXPECT_EQ(image.pixelBottom, 542);
  EXPECT_EQ(image.planeLeft, -1.8);
  EXPECT_EQ(image.juliaRe, -0.7333333333333334);
  EXPECT_EQ(window.title, JuliaCaption(-0.7333333333333334, 0.7333333333333334));
  EXPECT_EQ(window.selectedMode, kConvergence);
  EXPECT_EQ(state.formulaIndex, 2);
  EXPECT_TRUE(SameBytes(ReadParameterFile("ultimo"), image));
}

// Before the first image the big picture holds the start-up placeholder or,
// when both reserved pairs were on disk at start, a record of no kind at all.
// Neither is a Mandelbrot set to pick c from, and there is nothing to enlarge.
TEST_F(JuliaTest, BeforeAnImageARightClickExplainsAndThereIsNothingToEnlarge) {
  for (const bool pairsOnDisk : {false, true}) {
    SCOPED_TRACE(pairsOnDisk ? "record of no kind" : "placeholder");
    if (pairsOnDisk) {
      state = ExplorerState{};  // the program started again
      explorer.Initialise(1);
      ASSERT_EQ(state.currentImage.kind, 0);
    }
    window.messages.clear();
    EXPECT_FALSE(explorer.HasPreview());
    explorer.EnlargePreview();
    explorer.JuliaFromPoint({400, 300});
    EXPECT_TRUE(window.pixelCalls.empty());
    ASSERT_EQ(window.messages.size(), 1u);
    EXPECT_EQ(window.messages[0].text, kNotMandelbrotMessage);
    EXPECT_EQ(window.title, "");
    EXPECT_EQ(state.previewImage.kind, 0);
  }
}

TEST_F(JuliaTest, TypedCoordinatesStartTheMandelbrotSetFirstWhenNothingIsLoaded) {
  window.coordinateAnswers.push_back(Complex{-0.75, 0.1});
  explorer.JuliaFromCoordinates();
  EXPECT_TRUE(state.slotsLoaded);
  EXPECT_EQ(window.titles.front(), "Conjunto de Mandelbrot");
  EXPECT_EQ(state.previewImage.juliaRe, -0.75);
  EXPECT_EQ(window.title, kPreviewPrefix + "-0.750000 + 0.100000\u00B7i");
}

TEST_F(JuliaTest, TypedCoordinatesKeepTheJuliaCaptionAndTheirOwnSign) {
  Start();
  explorer.JuliaFromPoint({427, 188});
  explorer.EnlargePreview();
  const std::string julia = window.title;
  window.coordinateAnswers.push_back(Complex{0.3, -0.5});
  explorer.JuliaFromCoordinates();
  EXPECT_EQ(window.title, kPreviewPrefix + "0.300000 + -0.500000\u00B7i");
  EXPECT_EQ(JuliaCaption(state.currentImage.juliaRe, state.currentImage.juliaIm), julia);
  EXPECT_EQ(state.currentImage.kind, 'j');
}

TEST_F(JuliaTest, CancelledCoordinatesDoNothing) {
  Start();
  const auto calls = window.pixelCalls.size();
  window.coordinateAnswers.push_back(std::nullopt);
  explorer.JuliaFromCoordinates();
  EXPECT_EQ(window.coordinateQuestions, 1);
  EXPECT_EQ(window.pixelCalls.size(), calls);
}

// The inverse of 0, and of a c so near 0 that its squared modulus comes out
// 0, is not finite. Such a c is previewed like any other: every orbit of
// (inf, nan) stays not a number and never escapes, so the preview is black.
TEST_F(JuliaTest, TypedCoordinatesInInversionIncludingInversesThatAreNotFinite) {
  state.currentMethod = kInversion;
  Start();
  window.coordinateAnswers.push_back(Complex{1, 0});
  explorer.JuliaFromCoordinates();
  EXPECT_EQ(state.previewImage.juliaRe, 0.5);
  EXPECT_EQ(window.title, kPreviewPrefix + "0.500000 + 0.000000\u00B7i");

  for (const Complex typed : {Complex{1e-200, 0}, Complex{0, 0}}) {
    SCOPED_TRACE(typed.re);
    const auto before = window.pixelCalls.size();
    window.coordinateAnswers.push_back(typed);
    explorer.JuliaFromCoordinates();
    const ImageRecord& preview = state.previewImage;
    EXPECT_EQ(typed.re != 0, std::isinf(preview.juliaRe));
    EXPECT_TRUE(std::isnan(preview.juliaIm));
    EXPECT_EQ(window.title, kPreviewPrefix + FormatComplex(preview.juliaRe, preview.juliaIm));
    EXPECT_NE(window.title.find("nan"), std::string::npos);
    ASSERT_EQ(window.pixelCalls.size(), before + 147 * 147);
    for (const auto& call : window.pixelCalls | std::views::drop(before)) ASSERT_EQ(call.colour, 0u);
    EXPECT_TRUE(window.messages.empty());
  }
}

TEST(ParseDialogNumber, AcceptsWhatTheCLocaleReadsAndNothingElse) {
  struct Case {
    const char* text;
    std::optional<double> value;
  };
  const Case cases[] = {
      {"0", 0.0},
      {"0.0", 0.0},
      {" 0.5 ", 0.5},
      {"\t-0.75", -0.75},
      {"1e-3", 1e-3},
      {"+2", 2.0},
      {"", std::nullopt},
      {"   ", std::nullopt},
      {"-0", std::nullopt},
      {",5", std::nullopt},
      {"0,5", std::nullopt},
      {"1 2", std::nullopt},
      {"abc", std::nullopt},
      {"nan", std::nullopt},
      {"inf", std::nullopt},
      {"1e999", std::nullopt},
      {"-1e999", std::nullopt},
      // Only the first 31 characters are read.
      {"0.1234567890123456789012345678999x", 0.12345678901234567890123456789},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(ParseDialogNumber(c.text), c.value);
  }
}

}  // namespace
}  // namespace tesvo
