#include "engine/scan_plan.h"

#include <cstdint>

#include "engine/buffers.h"

namespace tesvo {
namespace {

bool KnownKind(char kind) { return kind == kMandelbrotKind || kind == kJuliaKind || kind == kPreviewKind; }

}  // namespace

bool CanGenerate(const ImageRecord& record) {
  if (!KnownKind(record.kind) || SelectFormula(record.formulaLetter) == nullptr) return false;
  if (!(record.iterationLimit >= 0 && record.iterationLimit <= kMaxIterationLimit)) return false;
  // Far beyond any client area, and small enough that no coordinate, width
  // or height computed from them overflows; a rectangle one row high still
  // cannot ask for a scan of billions of columns.
  constexpr std::int32_t kMaxCoordinate = 1 << 16;
  for (const std::int32_t v : {record.pixelLeft, record.pixelTop, record.pixelRight, record.pixelBottom})
    if (v < -kMaxCoordinate || v > kMaxCoordinate) return false;
  const std::int64_t w = std::int64_t{record.pixelRight} - record.pixelLeft;
  const std::int64_t h = std::int64_t{record.pixelBottom} - record.pixelTop;
  if (w < 0 || h < 0) return true;  // nothing is scanned
  // The scan writes CountBuffer entries 0 to H * (W + 1).
  return h * (w + 1) + 1 <= kCountBufferSize;
}

ScanPlan MakeScanPlan(const ImageRecord& record, bool mandelbrot) {
  ScanPlan plan;
  plan.formulaLetter = record.formulaLetter;
  plan.mandelbrot = mandelbrot;
  plan.method = record.coloringMethod;
  plan.limit = record.iterationLimit;
  plan.bound = record.escapeBound;
  plan.cRe = record.juliaRe;
  plan.cIm = record.juliaIm;
  plan.convergenceFactor = plan.mandelbrot ? 100 : 1000;

  const int w = record.Width();
  const int h = record.Height();
  const double dx = (record.planeRight - record.planeLeft) / static_cast<double>(w);
  const double dy = (record.planeTop - record.planeBottom) / static_cast<double>(h);
  // x and y are accumulated step by step, exactly as the scan has always done;
  // planeLeft + i * dx would not give the same doubles.
  double x = record.planeLeft - dx;
  for (int i = 0; i <= w; ++i) {
    x = x + dx;
    plan.xs.push_back(x);
  }
  double y = record.planeTop + dy;
  for (int j = 0; j <= h; ++j) {
    y = y - dy;
    plan.ys.push_back(y);
  }
  return plan;
}

Complex InvertPoint(double x, double y) {
  const double m = x * x + y * y;
  return {0.5 * x / m, 0.5 * y / m};
}

}  // namespace tesvo
