// The scan written out once more, as plainly as it can be said: one column
// after another with x and y accumulated, one point after another through the
// iteration loop, one count by colouring method. The production scan may count
// in any order, on any number of cores and SIMD lanes; it must give these
// counts, bit for bit.
#pragma once

#include <cmath>
#include <cstdint>
#include <vector>

#include "engine/formulas.h"
#include "engine/image_record.h"

namespace tesvo::testing {

// The counts of all (W + 1) x (H + 1) pixels of the rectangle, column by column.
struct ReferenceImage {
  int columns = 0;
  int rows = 0;
  std::vector<std::int16_t> counts;

  std::int16_t At(int i, int j) const { return counts[static_cast<std::size_t>(i) * rows + j]; }
};

inline std::int16_t ReferenceCount(const ImageRecord& r, FormulaStep step, double x, double y) {
  const bool mandelbrot = r.kind == kMandelbrotKind;
  double u = x;
  double v = y;
  if (r.coloringMethod == kInversion) {
    const double m = x * x + y * y;
    u = 0.5 * x / m;
    v = 0.5 * y / m;
  }
  Complex z = mandelbrot ? Complex{1e-19, 0.0} : Complex{u, v};
  const Complex c = mandelbrot ? Complex{u, v} : Complex{r.juliaRe, r.juliaIm};
  Complex zPrev = z;
  int n = 0;
  double s = 0.0;
  if (!(0 > r.iterationLimit)) {
    for (;;) {
      if (s > r.escapeBound) break;
      n = n + 1;
      zPrev = z;
      z = step(z.re, z.im, c.re, c.im);
      s = z.im * z.im + z.re * z.re;
      if (n > r.iterationLimit) break;
    }
  }
  const bool captured = n > r.iterationLimit;

  switch (r.coloringMethod) {
    case kConvergence: {
      if (!captured) return 0;
      const double dRe = zPrev.re - z.re;
      const double dIm = zPrev.im - z.im;
      double m = (dRe * dRe + dIm * dIm) * (mandelbrot ? 100 : 1000);
      if (m > r.iterationLimit) m = r.iterationLimit;
      if (std::isnan(m)) return 0;
      return static_cast<std::int16_t>(m);
    }
    case kDecomposition:
      return z.im > 0 ? 0 : 100;
    default:
      return captured ? 0 : static_cast<std::int16_t>(n);
  }
}

inline ReferenceImage ReferenceScan(const ImageRecord& r) {
  const FormulaStep step = SelectFormula(r.formulaLetter);
  const int w = r.pixelRight - r.pixelLeft;
  const int h = r.pixelBottom - r.pixelTop;
  const double dx = (r.planeRight - r.planeLeft) / static_cast<double>(w);
  const double dy = (r.planeTop - r.planeBottom) / static_cast<double>(h);

  ReferenceImage image;
  image.columns = w + 1;
  image.rows = h + 1;
  double x = r.planeLeft - dx;
  const double y0 = r.planeTop + dy;
  for (int i = 0; i <= w; ++i) {
    x = x + dx;
    double y = y0;
    for (int j = 0; j <= h; ++j) {
      y = y - dy;
      image.counts.push_back(ReferenceCount(r, step, x, y));
    }
  }
  return image;
}

}  // namespace tesvo::testing
