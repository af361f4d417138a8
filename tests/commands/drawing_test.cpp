#include "commands/drawing.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <string>

#include "commands/explorer.h"
#include "engine/buffers.h"
#include "engine/test_records.h"
#include "fake_window.h"

namespace tesvo {
namespace {

using testing::FakeWindow;
using testing::PointRecord;
using testing::Preset;
using testing::Resized;

constexpr std::int16_t kUntouched = -1;  // no count is negative

class GenerationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::UseCountPalette(state.palette);
    state.countBuffer.fill(kUntouched);
  }

  static int WrittenEntries(const ExplorerState& of) {
    int written = 0;
    for (std::int16_t entry : of.countBuffer) written += entry != kUntouched;
    return written;
  }
  int WrittenEntries() const { return WrittenEntries(state); }

  // The count of the single point of a PointRecord.
  std::int16_t CountOf(const ImageRecord& record) {
    explorer.GenerateImage(record);
    return state.countBuffer[0];
  }

  FakeWindow window;
  Explorer explorer{window};
  ExplorerState& state = explorer.State();
};

TEST(Captions, FormatLikePrintfWithAMiddleDot) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  for (double value :
       {0.0, -0.0, 0.1, -0.75, 2.5e-7, 5e-7, 123.4567895, -1e-7, 1e20, -3.0e15, inf, -inf, nan}) {
    char expected[512];
    std::snprintf(expected, sizeof expected, "%f + %f\xC2\xB7i", value, -value);
    EXPECT_EQ(FormatComplex(value, -value), expected) << value;
  }
}

TEST(Captions, JuliaAndPreviewTitles) {
  EXPECT_EQ(JuliaCaption(-0.75, -0.1),
            "Conjunto de Julia" + std::string(37, ' ') + "c = -0.750000 + -0.100000\xC2\xB7i");
  EXPECT_EQ(PreviewTitle(0.285, 0.01),
            "Conjunto de Mandelbrot" + std::string(27, ' ') + "c = 0.285000 + 0.010000\xC2\xB7i");
}

TEST_F(GenerationTest, JuliaImageWritesWTimesHPlusHPlusOneEntries) {
  ImageRecord julia = Resized(Preset(2, kJuliaPreset), 40, 30);
  julia.juliaRe = -0.75;
  julia.juliaIm = -0.1;
  explorer.GenerateImage(julia);
  const std::string caption = JuliaCaption(-0.75, -0.1);
  EXPECT_EQ(window.titles, std::vector<std::string>{caption});
  EXPECT_EQ(WrittenEntries(), 40 * 30 + 30 + 1);
  for (int k = 0; k <= 40 * 30 + 30; ++k) ASSERT_NE(state.countBuffer[k], kUntouched) << k;
  EXPECT_EQ(window.pixelCalls.size(), 41u * 31u);
}

TEST_F(GenerationTest, PreviewDrawsButLeavesCountBufferAndCaption) {
  ImageRecord preview = Preset(2, kPreviewPreset);
  preview.juliaRe = -0.75;
  preview.juliaIm = 0.1;
  explorer.GenerateImage(preview);
  EXPECT_TRUE(window.titles.empty());
  EXPECT_TRUE(window.fills.empty());  // drawn over what the small picture holds
  EXPECT_EQ(WrittenEntries(), 0);
  ASSERT_EQ(window.pixelCalls.size(), 147u * 147u);
  EXPECT_EQ(window.pixelCalls.front().x, 12);
  EXPECT_EQ(window.pixelCalls.front().y, 390);
  EXPECT_EQ(window.pixelCalls.back().x, 158);
  EXPECT_EQ(window.pixelCalls.back().y, 536);
}

// 531 x 531: the stored block is entries 0 to 281,960; the scan goes on to
// write the last column, rows 0 to 531, into entries 281,961 to 282,492.
TEST_F(GenerationTest, PresetImageWrites282493EntriesWithTheLastColumnAtTheEnd) {
  const ImageRecord preset = Preset(2, kMandelbrotPreset);
  explorer.GenerateImage(preset);
  EXPECT_EQ(WrittenEntries(), 282'493);
  EXPECT_EQ(state.countBuffer[282'492 + 1], kUntouched);
  for (int j = 0; j <= 531; ++j) {
    // The count palette shows each pixel's count as its colour.
    ASSERT_EQ(state.countBuffer[281'961 + j], static_cast<std::int16_t>(window.Pixel(781, 11 + j))) << j;
  }
  // Row 531 is on screen, but its entries were overwritten by the next column.
  EXPECT_NE(window.Pixel(250, 542), FakeWindow::kEmpty);
  EXPECT_NE(window.Pixel(781, 542), FakeWindow::kEmpty);
}

// The picture grows from the left: every pixel is drawn once, column after
// column, each column from the top, while the columns after it are counted.
TEST_F(GenerationTest, EveryPixelIsDrawnOnceColumnByColumn) {
  const ImageRecord r = Resized(Preset(0, kJuliaPreset), 150, 40);
  explorer.GenerateImage(r);
  ASSERT_EQ(window.pixelCalls.size(), 151u * 41u);
  std::size_t n = 0;
  for (int i = 0; i <= 150; ++i) {
    for (int j = 0; j <= 40; ++j, ++n) {
      ASSERT_EQ(window.pixelCalls[n].x, r.pixelLeft + i) << n;
      ASSERT_EQ(window.pixelCalls[n].y, r.pixelTop + j) << n;
    }
  }
}

// z^2 + c at limit 100 and bound 1000, from the worked example: c = 1 runs
// 1, 2, 5, 26, 677 and escapes in step 5; c = i falls into the cycle -1 + i, -i
// and is captured after step 101 with |z_prev - z|^2 = 5.
struct MethodCase {
  double re;
  double im;
  std::int32_t method;
  std::int16_t count;
};

const MethodCase kWorkedExample[] = {
    {1, 0, kConvergence, 0},
    {1, 0, kDecomposition, 100},
    {1, 0, kEscapeTime, 5},
    {1, 0, kInversion, 7},      // 1 inverts to 0.5, which escapes in step 7
    {1, 0, 9, 5},               // an unknown method counts as escape time
    {2, 0, kInversion, 0},      // 2 inverts to 0.25, inside the set
    {0, 1, kConvergence, 100},  // 5 * 100 clamped to the limit
    {0, 1, kDecomposition, 100},
    {0, 1, kEscapeTime, 0},
    {0, 1, 9, 0},
};

TEST_F(GenerationTest, WorkedExampleInEveryMethod) {
  for (const MethodCase& t : kWorkedExample) {
    SCOPED_TRACE(::testing::Message() << "c = " << t.re << " + " << t.im << "i, method " << t.method);
    EXPECT_EQ(CountOf(PointRecord('m', 'c', t.method, 100, t.re, t.im)), t.count);
  }
}

// At limit 2.5 a point is stepped at most three times. c = 5 gives 5, 30,
// 905: it passes the bound in step 3 and is therefore captured; c = 6 passes
// it in step 2 and escapes.
struct LimitCase {
  double limit;
  double re;
  std::int32_t method;
  std::int16_t count;
};

const LimitCase kLimitCases[] = {
    {2.5, 5, kEscapeTime, 0},      {3, 5, kEscapeTime, 3}, {2.5, 6, kEscapeTime, 2},
    {2.5, 5, kConvergence, 2},                              // the distance is clamped to 2.5, then truncated
    {2.5, 5, kDecomposition, 100},                          // 100 although the limit is below 100
    {2.5, 6, kConvergence, 0},     {0, 6, kEscapeTime, 0},  // limit 0: one step, then captured
    {6.25, 1, kEscapeTime, 5},
};

TEST_F(GenerationTest, FractionalLimits) {
  for (const LimitCase& t : kLimitCases) {
    SCOPED_TRACE(::testing::Message() << "limit " << t.limit << ", c = " << t.re << ", method " << t.method);
    EXPECT_EQ(CountOf(PointRecord('m', 'c', t.method, t.limit, t.re, 0)), t.count);
  }
  // Palette[100] is what a decomposition pixel below limit 100 is drawn in.
  explorer.GenerateImage(PointRecord('m', 'c', kDecomposition, 2.5, 5, 0));
  EXPECT_EQ(window.Pixel(250, 11), 100u);
}

// The origin inverts to 0/0: a point that is not a number never escapes and
// ends captured with count 0. Were it taken as infinite it would escape in
// step 1.
TEST_F(GenerationTest, InversionOfTheExactOriginCountsZero) {
  EXPECT_EQ(CountOf(PointRecord('m', 'c', kInversion, 100, 0, 0)), 0);
  ImageRecord julia = PointRecord('j', 'c', kInversion, 100, 0, 0);
  julia.juliaRe = 0.5;  // a parameter whose Julia set every ordinary point escapes
  EXPECT_EQ(CountOf(julia), 0);
}

TEST_F(GenerationTest, ConvergenceMeasureThatIsNotANumberCountsZero) {
  // z^(3/2) of 0 is 0/0 and stays so.
  EXPECT_EQ(CountOf(PointRecord('j', 'g', kConvergence, 100, 0, 0)), 0);
}

// c = -109/128 settles on a two-cycle whose points are sqrt(0.40625) apart, in
// the Mandelbrot scan from 1e-19 and in the Julia scan from 0 alike.
TEST_F(GenerationTest, JuliaConvergenceIsTenTimesMandelbrotUpToTheLimit) {
  const double c = -109.0 / 128;
  EXPECT_EQ(CountOf(PointRecord('m', 'c', kConvergence, 1000, c, 0)), 40);
  ImageRecord julia = PointRecord('j', 'c', kConvergence, 1000, 0, 0);
  julia.juliaRe = c;
  EXPECT_EQ(CountOf(julia), 406);
  julia.iterationLimit = 300;
  EXPECT_EQ(CountOf(julia), 300);
}

// The wipe covers the image shown so far, from currentImage, one pixel wider
// to the left and the top; the new image is drawn after it.
TEST_F(GenerationTest, WipeCoversTheCurrentImageBeforeDrawing) {
  state.currentImage = Preset(2, kMandelbrotPreset);
  ImageRecord small = Resized(Preset(2, kMandelbrotPreset), 10, 10);
  small.pixelLeft += 150, small.pixelRight += 150, small.pixelTop += 190, small.pixelBottom += 190;
  explorer.GenerateImage(small);

  ASSERT_EQ(window.fills.size(), 1u);
  const FakeWindow::Fill& fill = window.fills[0];
  EXPECT_EQ(fill.pixelsBefore, 0u);
  EXPECT_EQ(std::vector<int>({fill.left, fill.top, fill.right, fill.bottom}),
            std::vector<int>({249, 10, 781, 542}));
  EXPECT_EQ(window.Pixel(249, 10), kLightGrey);
  EXPECT_EQ(window.Pixel(781, 542), kLightGrey);
  EXPECT_EQ(window.Pixel(248, 10), FakeWindow::kEmpty);
  EXPECT_EQ(window.Pixel(249, 9), FakeWindow::kEmpty);
  EXPECT_EQ(window.Pixel(782, 542), FakeWindow::kEmpty);
  EXPECT_EQ(window.Pixel(781, 543), FakeWindow::kEmpty);
  EXPECT_EQ(window.Pixel(411, 212), kLightGrey);  // next to the small image
  EXPECT_NE(window.Pixel(410, 211), kLightGrey);  // its last pixel
}

// Records that no command builds but a file can carry: generation leaves the
// CountBuffer, the caption and the window alone.
TEST_F(GenerationTest, RecordsItCannotHonourAreSkipped) {
  struct Case {
    const char* what;
    void (*change)(ImageRecord&);
  };
  const Case cases[] = {
      {"kind x", [](ImageRecord& r) { r.kind = 'x'; }},
      {"kind M", [](ImageRecord& r) { r.kind = 'M'; }},
      {"kind 0", [](ImageRecord& r) { r.kind = 0; }},
      {"letter i", [](ImageRecord& r) { r.formulaLetter = 'i'; }},
      {"letter C", [](ImageRecord& r) { r.formulaLetter = 'C'; }},
      {"letter 0", [](ImageRecord& r) { r.formulaLetter = 0; }},
      {"limit 5000.5", [](ImageRecord& r) { r.iterationLimit = 5000.5; }},
      {"limit 1e300", [](ImageRecord& r) { r.iterationLimit = 1e300; }},
      {"limit NaN", [](ImageRecord& r) { r.iterationLimit = std::numeric_limits<double>::quiet_NaN(); }},
      {"550 x 550",
       [](ImageRecord& r) { r.pixelRight = r.pixelLeft + 550, r.pixelBottom = r.pixelTop + 550; }},
      {"551 x 549",
       [](ImageRecord& r) { r.pixelRight = r.pixelLeft + 551, r.pixelBottom = r.pixelTop + 549; }},
      {"1 x 302500",
       [](ImageRecord& r) { r.pixelRight = r.pixelLeft, r.pixelBottom = r.pixelTop + 302'500; }},
      {"int range", [](ImageRecord& r) { r.pixelLeft = -2'000'000'000, r.pixelRight = 2'000'000'000; }},
      // One row fits the CountBuffer's rule for any width; the columns must not be laid out.
      {"one row, 2e9 columns",
       [](ImageRecord& r) { r.pixelLeft = 0, r.pixelRight = 2'000'000'000, r.pixelBottom = r.pixelTop; }},
      {"near the int limit",
       [](ImageRecord& r) { r.pixelLeft = 2'147'483'000, r.pixelRight = r.pixelLeft + 10; }},
  };
  for (const Case& t : cases) {
    SCOPED_TRACE(t.what);
    for (char kind : {kMandelbrotKind, kJuliaKind, kPreviewKind}) {
      ImageRecord record = Preset(2, kMandelbrotPreset);
      record.kind = kind;
      t.change(record);
      FakeWindow untouched;
      Explorer other{untouched};
      other.State().countBuffer.fill(kUntouched);
      other.GenerateImage(record);
      EXPECT_EQ(WrittenEntries(other.State()), 0);
      EXPECT_TRUE(untouched.pixelCalls.empty());
      EXPECT_TRUE(untouched.fills.empty());
      EXPECT_TRUE(untouched.titles.empty());
    }
  }
}

// 550 columns of 549 rows write entries 0 to 549 * 551 = 302,499: the largest
// scan that fits the CountBuffer.
TEST_F(GenerationTest, LargestScanThatFitsIsGenerated) {
  ImageRecord record = Resized(Preset(2, kMandelbrotPreset), 550, 549);
  record.iterationLimit = 0;
  explorer.GenerateImage(record);
  EXPECT_EQ(WrittenEntries(), 302'500);
}

// Nothing is scanned when the rectangle has no columns or no rows, however
// large its other side: the caption and the wipe still happen.
TEST_F(GenerationTest, EmptyRectanglesDrawNothing) {
  const std::pair<int, int> sides[] = {{-1, 531}, {531, -1}, {-1, 60'000}, {60'000, -1}};
  for (const auto& [w, h] : sides) {
    SCOPED_TRACE(::testing::Message() << w << " x " << h);
    FakeWindow empty;
    Explorer other{empty};
    other.State().countBuffer.fill(kUntouched);
    other.GenerateImage(Resized(Preset(2, kMandelbrotPreset), w, h));
    EXPECT_EQ(empty.titles, std::vector<std::string>{"Conjunto de Mandelbrot"});
    EXPECT_EQ(empty.fills.size(), 1u);
    EXPECT_TRUE(empty.pixelCalls.empty());
    EXPECT_EQ(WrittenEntries(other.State()), 0);
  }
}

}  // namespace
}  // namespace tesvo
