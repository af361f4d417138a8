// Pictures K times as large against the plain reference: every formula, the
// Julia scan, each colouring method, fractional limits, zoomed windows, more
// than one band of rows, on every scan path and thread count.
#include "colour/scaled_picture.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/reference_picture.h"
#include "engine/test_records.h"

namespace tesvo {
namespace {

using testing::Preset;
using testing::Resized;

std::vector<std::uint8_t> Render(const ImageRecord& r, const Palette& palette, PictureSize size,
                                 const RenderSettings& settings = {}) {
  std::vector<std::uint8_t> rgb;
  const std::size_t rowBytes = 3 * static_cast<std::size_t>(PictureWidth(r, size));
  const bool done = RenderPicture(r, palette, size, settings, [&](const std::uint8_t* row) {
    rgb.insert(rgb.end(), row, row + rowBytes);
  });
  EXPECT_TRUE(done);
  return rgb;
}

ImageRecord Julia(char letter, std::int32_t method, double limit, double re, double im, int w, int h) {
  ImageRecord r = Resized(Preset(letter - 'a', kJuliaPreset), w, h);
  r.coloringMethod = method;
  r.iterationLimit = limit;
  r.juliaRe = re;
  r.juliaIm = im;
  return r;
}

ImageRecord Mandelbrot(char letter, std::int32_t method, double limit, int w, int h) {
  ImageRecord r = Resized(Preset(letter - 'a', kMandelbrotPreset), w, h);
  r.coloringMethod = method;
  r.iterationLimit = limit;
  return r;
}

// A zoom as the program makes one: a window of the plane whose steps are not
// round numbers, and a rectangle shortened to the window's aspect.
ImageRecord Zoomed() {
  ImageRecord r = Mandelbrot('c', kEscapeTime, 400, 29, 13);
  r.planeLeft = -0.7453333333333334;
  r.planeRight = -0.7371111111111112;
  r.planeTop = 0.1172222222222222;
  r.planeBottom = 0.11353703703703704;
  return r;
}

struct Case {
  std::string name;
  ImageRecord record;
  PictureSize size;
};

std::vector<Case> Cases() {
  std::vector<Case> cases;
  const std::int32_t methods[] = {kConvergence, kDecomposition, kEscapeTime, kInversion};
  // Every formula once, a different method and size for each.
  for (int row = 0; row < kFormulaCount; ++row) {
    const char letter = static_cast<char>('a' + row);
    cases.push_back({std::string("formula ") + letter,
                     Mandelbrot(letter, methods[row % 4], 60, 13, 11),
                     {1 + row % 3, 1 + (row + 1) % 4}});
  }
  cases.push_back({"zoomed, shortened rectangle", Zoomed(), {3, 2}});
  cases.push_back({"Julia, inversion", Julia('c', kInversion, 150, -0.75, 0.11, 16, 12), {2, 3}});
  cases.push_back({"Julia, convergence", Julia('e', kConvergence, 200, 0.5, 0.55, 12, 12), {2, 2}});
  cases.push_back({"decomposition at 5000", Mandelbrot('c', kDecomposition, 5000, 12, 10), {2, 2}});
  cases.push_back({"fractional limit", Mandelbrot('d', kEscapeTime, 37.5, 14, 9), {3, 1}});
  cases.push_back({"as shown", Mandelbrot('c', kEscapeTime, 100, 17, 8), {1, 1}});
  cases.push_back({"anti-aliasing alone", Mandelbrot('h', kEscapeTime, 80, 10, 10), {1, 4}});
  // Columns times rows beyond one band: three bands, the last a short one.
  cases.push_back({"several bands", Mandelbrot('c', kEscapeTime, 40, 400, 100), {2, 2}});
  return cases;
}

TEST(RenderPicture, IsTheReferencePictureOnEveryPathAndThreadCount) {
  const Palette palette = testing::DistinctPalette();
  const std::vector<ScanSettings> paths = {
      {ScanPath::kReference, 1}, {ScanPath::kFastest, 2}, {ScanPath::kFastest, 0}};
  for (const Case& c : Cases()) {
    const std::vector<std::uint8_t> expected =
        testing::ReferencePicture(c.record, palette, c.size.scale, c.size.antialias);
    ASSERT_EQ(expected.size(), 3u * PictureWidth(c.record, c.size) * PictureHeight(c.record, c.size))
        << c.name;
    for (const ScanSettings& scan : paths) {
      const std::vector<std::uint8_t> rgb = Render(c.record, palette, c.size, {.scan = scan, .progress = {}});
      EXPECT_TRUE(rgb == expected) << c.name << ", threads " << scan.threads;
    }
  }
}

TEST(RenderPicture, SizeIsTheRectangleTimesTheScale) {
  const ImageRecord r = Zoomed();
  EXPECT_EQ(PictureWidth(r, {8, 3}), 29 * 8);
  EXPECT_EQ(PictureHeight(r, {8, 3}), 13 * 8);
  EXPECT_EQ(PictureWidth(Preset(2, kMandelbrotPreset), {16, 1}), 8496);
}

TEST(RenderPicture, RefusesWhatHasNoPicture) {
  const ImageRecord good = Mandelbrot('c', kEscapeTime, 50, 4, 4);
  ImageRecord noColumns = good;
  noColumns.pixelRight = noColumns.pixelLeft;
  ImageRecord unknownFormula = good;
  unknownFormula.formulaLetter = 'z';
  ImageRecord tooWide = Resized(good, 1100, 1);  // 1100 x 32 x 4 samples across
  const struct {
    ImageRecord record;
    PictureSize size;
  } refused[] = {
      {good, {0, 1}},      {good, {33, 1}},          {good, {1, 0}},     {good, {1, 5}},
      {noColumns, {1, 1}}, {unknownFormula, {1, 1}}, {tooWide, {32, 4}},
  };
  for (const auto& r : refused) {
    EXPECT_FALSE(CanRenderPicture(r.record, r.size)) << r.size.scale << " " << r.size.antialias;
    int rows = 0;
    EXPECT_FALSE(RenderPicture(r.record, testing::DistinctPalette(), r.size, {},
                               [&](const std::uint8_t*) { ++rows; }));
    EXPECT_EQ(rows, 0);
  }
  EXPECT_TRUE(CanRenderPicture(good, {kMaxPictureScale, kMaxAntialias}));
  EXPECT_TRUE(CanRenderPicture(Resized(good, 1000, 1), {32, 4}));
}

// Progress rises band by band to 1; a false answer stops at once.
TEST(RenderPicture, ReportsProgressAndStopsWhenTold) {
  const ImageRecord r = Mandelbrot('c', kEscapeTime, 20, 400, 100);
  std::vector<double> reports;
  int rows = 0;
  RenderSettings settings;
  settings.progress = [&](double done) {
    reports.push_back(done);
    return true;
  };
  EXPECT_TRUE(
      RenderPicture(r, testing::DistinctPalette(), {2, 2}, settings, [&](const std::uint8_t*) { ++rows; }));
  EXPECT_EQ(rows, 200);
  ASSERT_GE(reports.size(), 3u);
  for (std::size_t i = 1; i < reports.size(); ++i) EXPECT_GT(reports[i], reports[i - 1]);
  EXPECT_EQ(reports.back(), 1.0);

  rows = 0;
  settings.progress = [](double) { return false; };
  EXPECT_FALSE(
      RenderPicture(r, testing::DistinctPalette(), {2, 2}, settings, [&](const std::uint8_t*) { ++rows; }));
  EXPECT_EQ(rows, 0) << "stopped after the first band, before any of its rows";
}

// A row that cannot be written (a full disk) ends the render with its error,
// after the counting threads of the band have finished.
TEST(RenderPicture, ErrorOfARowIsThrownOn) {
  const ImageRecord r = Mandelbrot('c', kEscapeTime, 20, 400, 100);
  for (int failing : {0, 120, 199}) {
    int rows = 0;
    EXPECT_THROW(RenderPicture(r, testing::DistinctPalette(), {2, 2}, {},
                               [&](const std::uint8_t*) {
                                 if (rows++ == failing) throw std::runtime_error("disco lleno");
                               }),
                 std::runtime_error)
        << failing;
  }
}

}  // namespace
}  // namespace tesvo
