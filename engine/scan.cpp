#include "engine/scan.h"

#include <cstdint>

#include "engine/program_state.h"

namespace tesvo {
namespace {

constexpr double kMandelbrotStart = 1e-19;

bool KnownKind(char kind) { return kind == kMandelbrotKind || kind == kJuliaKind || kind == kPreviewKind; }

}  // namespace

bool CanGenerate(const ImageRecord& record) {
  if (!KnownKind(record.kind) || SelectFormula(record.formulaLetter) == nullptr) return false;
  if (!(record.iterationLimit >= 0 && record.iterationLimit <= kMaxIterationLimit)) return false;
  const std::int64_t w = std::int64_t{record.pixelRight} - record.pixelLeft;
  const std::int64_t h = std::int64_t{record.pixelBottom} - record.pixelTop;
  if (w < 0 || h < 0) return true;  // nothing is scanned
  // The scan writes CountBuffer entries 0 to H * (W + 1).
  return h * (w + 1) + 1 <= kCountBufferSize;
}

ScanPlan MakeScanPlan(const ImageRecord& record, bool mandelbrot) {
  ScanPlan plan;
  plan.step = SelectFormula(record.formulaLetter);
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

std::int16_t CountPoint(const ScanPlan& plan, double x, double y) {
  double u = x;
  double v = y;
  if (plan.method == kInversion) {
    const Complex inverted = InvertPoint(x, y);
    u = inverted.re;
    v = inverted.im;
  }
  Complex z = plan.mandelbrot ? Complex{kMandelbrotStart, 0.0} : Complex{u, v};
  const Complex c = plan.mandelbrot ? Complex{u, v} : Complex{plan.cRe, plan.cIm};
  Complex previous = z;
  int n = 0;
  double s = 0.0;  // the first step is taken whatever the start value
  bool escaped = true;
  if (!(0 > plan.limit)) {
    for (;;) {
      if (s > plan.bound) break;
      ++n;
      previous = z;
      z = plan.step(z.re, z.im, c.re, c.im);
      s = z.im * z.im + z.re * z.re;
      if (n > plan.limit) {
        escaped = false;
        break;
      }
    }
  } else {
    escaped = false;
  }

  switch (plan.method) {
    case kConvergence: {
      if (escaped) return 0;
      const double dre = previous.re - z.re;
      const double dim = previous.im - z.im;
      double m = (dre * dre + dim * dim) * plan.convergenceFactor;
      if (m > plan.limit) m = plan.limit;
      if (!(m >= 0)) return 0;  // not a number
      return static_cast<std::int16_t>(m);
    }
    case kDecomposition:
      return z.im > 0 ? 0 : 100;
    default:
      return escaped ? static_cast<std::int16_t>(n) : 0;
  }
}

void CountColumns(const ScanPlan& plan, int first, int count, std::int16_t* out) {
  const int rows = plan.Rows();
  for (int i = first; i < first + count; ++i) {
    const double x = plan.xs[i];
    for (int j = 0; j < rows; ++j) *out++ = CountPoint(plan, x, plan.ys[j]);
  }
}

}  // namespace tesvo
