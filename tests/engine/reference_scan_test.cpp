// DrawImage against the plain scan of reference_scan.h: every pixel drawn,
// in order, in the colour of its count, and every CountBuffer entry the scan
// leaves behind.
#include "engine/reference_scan.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <limits>
#include <utility>
#include <vector>

#include "commands/drawing.h"
#include "engine/buffers.h"
#include "engine/test_records.h"
#include "fake_window.h"

namespace tesvo {
namespace {

using testing::FakeWindow;
using testing::Preset;
using testing::ReferenceImage;
using testing::ReferenceScan;
using testing::Resized;

// The four colouring methods and one that is none of them.
constexpr std::int32_t kMethods[] = {kConvergence, kDecomposition, kEscapeTime, kInversion, 6};

::testing::AssertionResult MatchesReference(const ImageRecord& record) {
  const ReferenceImage expected = ReferenceScan(record);
  // Every byte 0xFF: each entry reads -1, which no count is.
  static CountBuffer stored;
  std::memset(stored.data(), 0xFF, sizeof stored);
  static const Palette palette = [] {
    Palette p;
    testing::UseCountPalette(p);
    return p;
  }();
  // One window for every case, since a fresh one costs more than a small scan;
  // only the pixel calls are compared.
  static FakeWindow window;
  window.pixelCalls.clear();
  window.fills.clear();
  window.titles.clear();
  DrawImage(record, record, palette, stored, window);

  if (window.pixelCalls.size() != expected.counts.size())
    return ::testing::AssertionFailure()
           << window.pixelCalls.size() << " pixels drawn, " << expected.counts.size() << " expected";
  for (std::size_t p = 0; p < expected.counts.size(); ++p) {
    const int i = static_cast<int>(p) / expected.rows;
    const int j = static_cast<int>(p) % expected.rows;
    const testing::PixelCall& call = window.pixelCalls[p];
    if (call.x != record.pixelLeft + i || call.y != record.pixelTop + j)
      return ::testing::AssertionFailure() << "pixel " << p << " drawn at (" << call.x << ", " << call.y
                                           << "), column " << i << " row " << j << " expected";
    if (call.colour != static_cast<Colour>(expected.counts[p]))
      return ::testing::AssertionFailure() << "column " << i << " row " << j << ": count " << call.colour
                                           << ", reference " << expected.counts[p];
  }

  // Column i writes entries i * H to i * H + H; a later column overwrites.
  static CountBuffer buffer;
  std::memset(buffer.data(), 0xFF, sizeof buffer);
  if (record.kind != kPreviewKind) {
    const int h = record.Height();
    for (int i = 0; i < expected.columns; ++i)
      for (int j = 0; j < expected.rows; ++j) buffer[static_cast<std::size_t>(i) * h + j] = expected.At(i, j);
  }
  if (std::memcmp(stored.data(), buffer.data(), sizeof buffer) != 0) {
    std::size_t e = 0;
    while (stored[e] == buffer[e]) ++e;
    return ::testing::AssertionFailure()
           << "CountBuffer[" << e << "] = " << stored[e] << ", reference " << buffer[e];
  }
  return ::testing::AssertionSuccess();
}

ImageRecord WithKind(const ImageRecord& from, char kind, Complex c) {
  ImageRecord r = from;
  r.kind = kind;
  r.juliaRe = c.re;
  r.juliaIm = c.im;
  return r;
}

// The point of the pixel with the highest escape count below the limit: close
// to the set's boundary, where neighbouring pixels differ most.
Complex BoundaryPoint(ImageRecord record) {
  record.coloringMethod = kEscapeTime;
  const ReferenceImage image = ReferenceScan(record);
  int best = 0;
  for (std::size_t p = 0; p < image.counts.size(); ++p)
    if (image.counts[p] > image.counts[best] && image.counts[p] < record.iterationLimit)
      best = static_cast<int>(p);
  const double dx = (record.planeRight - record.planeLeft) / record.Width();
  const double dy = (record.planeTop - record.planeBottom) / record.Height();
  return {record.planeLeft + (best / image.rows) * dx, record.planeTop - (best % image.rows) * dy};
}

// A window of 1/40 of the record's around the point, edges not on a grid.
ImageRecord ZoomedAround(ImageRecord r, Complex centre) {
  const double halfWidth = (r.planeRight - r.planeLeft) / 80;
  const double halfHeight = (r.planeTop - r.planeBottom) / 80;
  r.planeLeft = centre.re - halfWidth * 1.0123;
  r.planeRight = centre.re + halfWidth * 0.9871;
  r.planeTop = centre.im + halfHeight * 1.0311;
  r.planeBottom = centre.im - halfHeight * 0.9677;
  return r;
}

class ReferenceScanTest : public ::testing::Test {};

// Every formula and every colouring method in the Mandelbrot and the Julia
// scan, each on its preset's window and on a zoom near the boundary, 32 x 24.
// A preview counts as a Julia image does and differs only in what it stores.
TEST_F(ReferenceScanTest, EveryFormulaMethodAndKindOnSmallWindows) {
  for (int row = 0; row < kFormulaCount; ++row) {
    const ImageRecord mandelbrot = Resized(Preset(row, kMandelbrotPreset), 32, 24);
    const Complex c = BoundaryPoint(mandelbrot);
    const ImageRecord julia = WithKind(Resized(Preset(row, kJuliaPreset), 32, 24), kJuliaKind, c);
    const ImageRecord juliaZoom = ZoomedAround(julia, BoundaryPoint(julia));
    const ImageRecord windows[] = {
        mandelbrot, ZoomedAround(mandelbrot, c),      julia,
        juliaZoom,  WithKind(julia, kPreviewKind, c), WithKind(juliaZoom, kPreviewKind, c),
    };
    for (const ImageRecord& window : windows) {
      for (const std::int32_t method : kMethods) {
        ImageRecord record = window;
        record.coloringMethod = method;
        SCOPED_TRACE(::testing::Message()
                     << "formula " << record.formulaLetter << ", kind " << record.kind << ", method "
                     << method << ", window (" << record.planeLeft << ", " << record.planeTop << ", "
                     << record.planeRight << ", " << record.planeBottom << ")");
        ASSERT_TRUE(MatchesReference(record));
        if (record.kind == kPreviewKind) break;  // one method is enough to see what it stores
      }
    }
  }
}

// Shapes and limits at the edges: single columns and rows (whose step is
// infinite or not a number), row counts that leave SIMD lanes over, limits
// with fractions, 0 and 5000, bounds tiny and huge, a mirrored window.
TEST_F(ReferenceScanTest, EdgeShapesAndLimits) {
  struct Change {
    const char* what;
    void (*apply)(ImageRecord&);
  };
  const Change changes[] = {
      {"1 x 1", [](ImageRecord& r) { r = Resized(r, 0, 0); }},
      {"1 column", [](ImageRecord& r) { r = Resized(r, 0, 17); }},
      {"1 row", [](ImageRecord& r) { r = Resized(r, 17, 0); }},
      {"2 rows", [](ImageRecord& r) { r = Resized(r, 5, 1); }},
      {"3 rows", [](ImageRecord& r) { r = Resized(r, 5, 2); }},
      {"4 rows", [](ImageRecord& r) { r = Resized(r, 5, 3); }},
      {"5 rows", [](ImageRecord& r) { r = Resized(r, 5, 4); }},
      {"8 rows", [](ImageRecord& r) { r = Resized(r, 5, 7); }},
      {"9 rows", [](ImageRecord& r) { r = Resized(r, 5, 8); }},
      {"17 rows", [](ImageRecord& r) { r = Resized(r, 3, 16); }},
      {"23 rows", [](ImageRecord& r) { r = Resized(r, 2, 22); }},
      {"zero-wide plane", [](ImageRecord& r) { r.planeRight = r.planeLeft; }},
      {"mirrored", [](ImageRecord& r) { std::swap(r.planeLeft, r.planeRight); }},
      {"limit 0", [](ImageRecord& r) { r.iterationLimit = 0; }},
      {"limit 2.5", [](ImageRecord& r) { r.iterationLimit = 2.5; }},
      {"limit 6.25", [](ImageRecord& r) { r.iterationLimit = 6.25; }},
      {"limit 5000", [](ImageRecord& r) { r = Resized(r, 4, 3), r.iterationLimit = 5000; }},
      {"bound 4", [](ImageRecord& r) { r.escapeBound = 4; }},
      {"bound 1e300", [](ImageRecord& r) { r.escapeBound = 1e300; }},
      {"bound infinite", [](ImageRecord& r) { r.escapeBound = std::numeric_limits<double>::infinity(); }},
      {"bound negative", [](ImageRecord& r) { r.escapeBound = -1; }},
  };
  for (int row : {0, 2, 6}) {
    for (const Change& change : changes) {
      for (char kind : {kMandelbrotKind, kJuliaKind}) {
        for (std::int32_t method : {kConvergence, kDecomposition, kEscapeTime, kInversion}) {
          ImageRecord record = WithKind(Resized(Preset(row, kMandelbrotPreset), 12, 9), kind, {-0.75, 0.1});
          record.coloringMethod = method;
          change.apply(record);
          SCOPED_TRACE(::testing::Message() << "formula " << record.formulaLetter << ", " << change.what
                                            << ", kind " << kind << ", method " << method);
          ASSERT_TRUE(MatchesReference(record));
        }
      }
    }
  }
}

TEST_F(ReferenceScanTest, FullZSquaredPreset) { EXPECT_TRUE(MatchesReference(Preset(2, kMandelbrotPreset))); }

}  // namespace
}  // namespace tesvo
