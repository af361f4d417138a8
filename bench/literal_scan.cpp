#include "bench/literal_scan.h"

#include <cmath>

#include "engine/formula_step.h"
#include "engine/formulas.h"

namespace tesvo::bench {
namespace {

// The formulas' one step over plain doubles, with the C library's sin, cos,
// exp and atan, as a programmer who had not needed the same image on every
// machine would call them. Where those differ from the deterministic ones in
// the last bit, a count may differ from the program's: the benchmark's "same"
// column says whether any did.
struct Libm {
  static double Sin(double x) { return std::sin(x); }
  static double Cos(double x) { return std::cos(x); }
  static double Exp(double x) { return std::exp(x); }
  static double Atan(double x) { return std::atan(x); }
};
using Plain = Scalar<Libm>;

// The loop of one image with its formula's step inlined, as a programmer would
// write it for speed without changing what it computes.
template <char kLetter>
void Scan(const ImageRecord& r, LiteralResult& result) {
  const bool mandelbrot = r.kind == kMandelbrotKind;
  const int w = r.Width();
  const int h = r.Height();
  const double dx = (r.planeRight - r.planeLeft) / w;
  const double dy = (r.planeTop - r.planeBottom) / h;
  const double factor = mandelbrot ? 100 : 1000;
  result.counts.reserve(static_cast<std::size_t>(w + 1) * (h + 1));
  double x = r.planeLeft - dx;
  for (int i = 0; i <= w; ++i) {
    x = x + dx;
    double y = r.planeTop + dy;
    for (int j = 0; j <= h; ++j) {
      y = y - dy;
      double u = x;
      double v = y;
      if (r.coloringMethod == kInversion) {
        const double m = x * x + y * y;
        u = 0.5 * x / m;
        v = 0.5 * y / m;
      }
      Complex z = mandelbrot ? Complex{kMandelbrotStart, 0} : Complex{u, v};
      const Complex c = mandelbrot ? Complex{u, v} : Complex{r.juliaRe, r.juliaIm};
      Complex previous = z;
      int n = 0;
      bool out = Escapes<Plain>(0.0, 0.0, r.escapeBound);  // as if from 0: the start value is not tested
      for (;;) {
        if (out) break;
        n = n + 1;
        previous = z;
        Step<Plain, kLetter>(z.re, z.im, z.re * z.re - z.im * z.im, c.re, c.im);
        out = Escapes<Plain>(z.re * z.re, z.im * z.im, r.escapeBound);
        if (n > r.iterationLimit) break;
      }
      result.steps += n;
      const bool escaped = n <= r.iterationLimit;
      std::int16_t k = 0;
      if (r.coloringMethod == kConvergence) {
        if (!escaped) {
          const double dre = previous.re - z.re;
          const double dim = previous.im - z.im;
          double m = (dre * dre + dim * dim) * factor;
          if (m > r.iterationLimit) m = r.iterationLimit;
          k = m >= 0 ? static_cast<std::int16_t>(m) : 0;
        }
      } else if (r.coloringMethod == kDecomposition) {
        k = z.im > 0 ? 0 : 100;
      } else {
        k = escaped ? static_cast<std::int16_t>(n) : 0;
      }
      result.counts.push_back(k);
    }
  }
}

constexpr void (*kScans[])(const ImageRecord&, LiteralResult&) = {Scan<'a'>, Scan<'b'>, Scan<'c'>, Scan<'d'>,
                                                                  Scan<'e'>, Scan<'f'>, Scan<'g'>, Scan<'h'>};

}  // namespace

LiteralResult LiteralScan(const ImageRecord& r) {
  LiteralResult result;
  kScans[FormulaRow(r.formulaLetter)](r, result);
  return result;
}

}  // namespace tesvo::bench
