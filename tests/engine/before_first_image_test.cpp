// Commands pressed before the first image: the window has only the start-up
// placeholder (or nothing at all), and no slot is filled.
#include "commands/explorer.h"
#include "library/image_files.h"
#include "navigation/julia.h"
#include "tests/command_fixture.h"

namespace tesvo {
namespace {

using BeforeFirstImage = testing::CommandTest;

TEST_F(BeforeFirstImage, ZoomPreviewAndColoursDrawAndWriteNothing) {
  const auto lastBefore = testing::FileBytes("ultimo.dat");
  const auto secondBefore = testing::FileBytes("penultimo.dat");
  const ImageRecord placeholder = state.currentImage;

  explorer.ZoomToRectangle({300, 100}, {400, 200});
  explorer.JuliaFromPoint({400, 300});
  explorer.EnlargePreview();
  explorer.IncreaseGradation();
  explorer.RandomColours();

  EXPECT_TRUE(window.pixelCalls.empty());
  EXPECT_TRUE(window.fills.empty());
  EXPECT_EQ(window.blockCopies, 0);
  // Only the right click answers, as on any image that is no Mandelbrot set.
  ASSERT_EQ(window.messages.size(), 1u);
  EXPECT_EQ(window.messages[0].text, kNotMandelbrotMessage);
  EXPECT_TRUE(SameBytes(state.currentImage, placeholder));
  EXPECT_EQ(testing::FileBytes("ultimo.dat"), lastBefore);
  EXPECT_EQ(testing::FileBytes("penultimo.dat"), secondBefore);
}

}  // namespace
}  // namespace tesvo
