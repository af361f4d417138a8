#include "bench/literal_scan.h"

#include <cmath>

#include "engine/formulas.h"

namespace tesvo::bench {
namespace {

Complex ExpTimesC(double a, double b, double p, double q) {
  const double e = std::exp(a);
  const double cosB = std::cos(b);
  const double sinB = std::sin(b);
  return {p * (e * cosB) - q * (e * sinB), p * (e * sinB) + q * (e * cosB)};
}

Complex CosPlusC(double a, double b, double p, double q) {
  const double e = std::exp(b);
  return {p + std::cos(a) * (e + 1 / e) * 0.5, q + std::sin(a) * (1 / e - e) * 0.5};
}

Complex Square(double a, double b, double p, double q) { return {a * a - b * b + p, 2 * a * b + q}; }

template <bool kSineOfRe>
Complex Cube(double a, double b, double p, double q) {
  const double g = a * a - b * b;
  const double h = 2 * a * b;
  const double x = g * a - h * b;
  const double y = g * b + h * a;
  return kSineOfRe ? Complex{2 * std::sin(x) + p, y + q} : Complex{x + p, 2 * std::sin(y) + q};
}

Complex Fourth(double a, double b, double p, double q) {
  const double g = a * a - b * b;
  const double h = 2 * a * b;
  return {g * g - h * h + p, 2 * g * h + q};
}

Complex FourthPlusCube(double a, double b, double p, double q) {
  const double g = a * a - b * b;
  const double h = 2 * a * b;
  const double x = g * a - h * b;
  const double y = g * b + h * a;
  return {(p + (x * a - y * b)) + x, (q + (x * b + y * a)) + y};
}

Complex ThreeHalves(double a, double b, double p, double q) {
  const double g = a * a - b * b;
  const double h = 2 * a * b;
  const double x = g * a - h * b;
  const double y = g * b + h * a;
  const double r = std::sqrt(std::sqrt(x * x + y * y));
  const double theta = std::atan(y / x);
  return {r * std::cos(theta / 2) + p, r * std::sin(theta / 2) + q};
}

// The loop of one image with its formula's step inlined, as a programmer would
// write it for speed without changing what it computes.
template <Complex (*kStep)(double, double, double, double)>
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
      Complex z = mandelbrot ? Complex{1e-19, 0} : Complex{u, v};
      const Complex c = mandelbrot ? Complex{u, v} : Complex{r.juliaRe, r.juliaIm};
      Complex previous = z;
      int n = 0;
      double s = 0;
      for (;;) {
        if (s > r.escapeBound) break;
        n = n + 1;
        previous = z;
        z = kStep(z.re, z.im, c.re, c.im);
        s = z.im * z.im + z.re * z.re;
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

constexpr void (*kScans[])(const ImageRecord&, LiteralResult&) = {
    Scan<ExpTimesC>, Scan<CosPlusC>,       Scan<Square>,      Scan<Cube<false>>,
    Scan<Fourth>,    Scan<FourthPlusCube>, Scan<ThreeHalves>, Scan<Cube<true>>};

}  // namespace

LiteralResult LiteralScan(const ImageRecord& r) {
  LiteralResult result;
  kScans[FormulaRow(r.formulaLetter)](r, result);
  return result;
}

}  // namespace tesvo::bench
