#include "commands/explorer.h"

#include "library/image_files.h"
#include "tests/command_fixture.h"

namespace tesvo {
namespace {

using testing::CommandTest;

struct Rectangle {
  int left, top, right, bottom;
};

void ExpectRectangle(const ImageRecord& r, Rectangle expected) {
  EXPECT_EQ(r.pixelLeft, expected.left);
  EXPECT_EQ(r.pixelTop, expected.top);
  EXPECT_EQ(r.pixelRight, expected.right);
  EXPECT_EQ(r.pixelBottom, expected.bottom);
}

using ZoomTest = CommandTest;

TEST_F(ZoomTest, WideDragKeepsFullWidthAndMapsTheCornersExactly) {
  Start();
  explorer.ZoomToRectangle({427, 188}, {604, 276});
  const ImageRecord& image = state.currentImage;
  EXPECT_EQ(image.planeLeft, -0.7333333333333334);
  EXPECT_EQ(image.planeTop, 0.7333333333333334);
  EXPECT_EQ(image.planeRight, 0.7333333333333334);
  EXPECT_EQ(image.planeBottom, 0.004143126177024836);
  ExpectRectangle(image, {250, 11, 781, 275});
  EXPECT_EQ(window.title, "Conjunto de Mandelbrot");
  // The zoomed image is "ultimo" now, the start image "penultimo".
  EXPECT_TRUE(SameBytes(ReadParameterFile("ultimo"), image));
  EXPECT_EQ(ReadParameterFile("penultimo").planeLeft, -2.2);
}

TEST_F(ZoomTest, AspectOfTheDragDecidesWhichSideIsShortened) {
  struct Case {
    ClientPoint press, release;
    Rectangle expected;
  };
  const Case cases[] = {
      {{300, 100}, {400, 400}, {250, 11, 427, 542}},  // taller than wide: full height
      {{300, 100}, {400, 200}, {250, 11, 781, 542}},  // square: the whole area
      {{300, 100}, {301, 300}, {250, 11, 252, 542}},  // 531 * 1 / 200 = 2 columns
      {{300, 100}, {500, 101}, {250, 11, 781, 13}},   // 2 rows
  };
  for (const Case& c : cases) {
    Start();
    explorer.ZoomToRectangle(c.press, c.release);
    ExpectRectangle(state.currentImage, c.expected);
  }
}

TEST_F(ZoomTest, BackwardDragZoomsTheSameRectangleAsTheForwardOne) {
  Start();
  explorer.ZoomToRectangle({427, 188}, {604, 276});
  const ImageRecord forward = state.currentImage;
  for (auto [press, release] : {std::pair<ClientPoint, ClientPoint>{{604, 276}, {427, 188}},
                                {{604, 188}, {427, 276}},
                                {{427, 276}, {604, 188}}}) {
    Start();
    explorer.ZoomToRectangle(press, release);
    EXPECT_TRUE(SameBytes(state.currentImage, forward));
  }
}

TEST_F(ZoomTest, DragWithoutWidthOrHeightChangesNothing) {
  Start();
  const ImageRecord before = state.currentImage;
  const auto calls = window.pixelCalls.size();
  for (auto [press, release] : {std::pair<ClientPoint, ClientPoint>{{400, 300}, {400, 300}},
                                {{400, 300}, {500, 300}},
                                {{400, 300}, {400, 100}}})
    explorer.ZoomToRectangle(press, release);
  EXPECT_TRUE(SameBytes(state.currentImage, before));
  EXPECT_EQ(window.pixelCalls.size(), calls);
}

TEST_F(ZoomTest, PressBeforeAnyImageDoesNothing) {
  // After opening, currentImage is the start-up placeholder and no slot is filled.
  const ImageRecord placeholder = state.currentImage;
  explorer.ZoomToRectangle({300, 100}, {400, 200});
  EXPECT_TRUE(SameBytes(state.currentImage, placeholder));
  EXPECT_TRUE(window.pixelCalls.empty());
}

TEST_F(ZoomTest, SecondZoomMapsThroughTheShortenedImageAndKeepsEverythingElse) {
  Start();
  state.currentImage.iterationLimit = 400;
  state.currentImage.coloringMethod = kConvergence;
  explorer.ZoomToRectangle({427, 188}, {604, 276});  // rectangle (250, 11, 781, 275)
  const ImageRecord first = state.currentImage;
  explorer.ZoomToRectangle({250, 11}, {781, 275});  // the whole shortened image again
  const ImageRecord& second = state.currentImage;
  EXPECT_EQ(second.planeLeft, first.planeLeft);
  EXPECT_EQ(second.planeTop, first.planeTop);
  EXPECT_EQ(second.planeRight, first.planeRight);
  EXPECT_EQ(second.planeBottom, first.planeBottom);
  ExpectRectangle(second, {250, 11, 781, 275});
  EXPECT_EQ(second.iterationLimit, 400);
  EXPECT_EQ(second.coloringMethod, kConvergence);
  EXPECT_EQ(second.escapeBound, 1000);
  EXPECT_EQ(second.formulaLetter, 'c');
}

}  // namespace
}  // namespace tesvo
