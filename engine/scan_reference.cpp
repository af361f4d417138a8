// The reference path: pixel by pixel, through the formula's plain step. The
// vector kernels must give its counts bit for bit.
#include <bit>
#include <cstdint>

#include "engine/formula_step.h"
#include "engine/scan_kernel.h"
#include "engine/scan_plan.h"

namespace tesvo {
namespace {

bool SameBits(Complex a, Complex b) {
  return std::bit_cast<std::uint64_t>(a.re) == std::bit_cast<std::uint64_t>(b.re) &&
         std::bit_cast<std::uint64_t>(a.im) == std::bit_cast<std::uint64_t>(b.im);
}

struct Orbit {
  std::int16_t count;
  std::int64_t steps;  // formula steps taken
};

// The count of one pixel: the plain rule, except that an orbit found to repeat
// is not iterated further than it takes to know its iterates at the limit.
Orbit IteratePoint(const PixelJob& job, FormulaStep step, double x, double y) {
  double u = x;
  double v = y;
  if (job.method == kInversion) {
    const Complex inverted = InvertPoint(x, y);
    u = inverted.re;
    v = inverted.im;
  }
  Complex z = job.mandelbrot ? Complex{kMandelbrotStart, 0.0} : Complex{u, v};
  const Complex c = job.mandelbrot ? Complex{u, v} : Complex{job.cRe, job.cIm};
  Complex previous = z;
  int n = 0;
  bool out = Escapes({0.0, 0.0}, job.bound);  // as if from 0: the start value is not tested
  bool escaped = true;
  // Beyond the limits a record can hold, the plain rule alone.
  const bool cycles = job.limit >= 0 && job.limit <= kMaxIterationLimit;
  const int captureAt = cycles ? static_cast<int>(job.limit) + 1 : 0;  // the first n > limit
  Complex kept = z;
  int keptAt = 0;
  int nextKeep = static_cast<int>(kFirstKeep);
  int steps = 0;
  if (!(0 > job.limit)) {
    for (;;) {
      if (out) break;
      // z has not escaped, nor has any iterate since the kept one: a repeat
      // closes a cycle that never escapes. Step on round it to the limit.
      if (cycles && n != keptAt && SameBits(z, kept)) {
        for (int r = (captureAt - n) % (n - keptAt); r > 0; --r) {
          previous = z;
          z = step(z.re, z.im, c.re, c.im);
          ++steps;
        }
        escaped = false;
        break;
      }
      if (cycles && n == nextKeep) {
        kept = z;
        keptAt = n;
        nextKeep = 2 * n;
      }
      ++n;
      ++steps;
      previous = z;
      z = step(z.re, z.im, c.re, c.im);
      out = Escapes(z, job.bound);
      if (n > job.limit) {
        escaped = false;
        break;
      }
    }
  } else {
    escaped = false;
  }
  return {OrbitCount(job.method, job.limit, job.convergenceFactor, escaped, n, z, previous), steps};
}

}  // namespace

std::int16_t OrbitCount(std::int32_t method, double limit, double convergenceFactor, bool escaped, int n,
                        Complex z, Complex previous) {
  if (escaped) return EscapedCount(method, n, z.im);
  switch (method) {
    case kConvergence: {
      const double dre = previous.re - z.re;
      const double dim = previous.im - z.im;
      double m = (dre * dre + dim * dim) * convergenceFactor;
      if (m > limit) m = limit;
      if (!(m >= 0)) return 0;  // not a number
      return static_cast<std::int16_t>(m);
    }
    case kDecomposition:
      return z.im > 0 ? 0 : 100;
    default:
      return 0;
  }
}

std::int64_t CountPixelsReference(const PixelJob& job) {
  const FormulaStep step = SelectFormula(job.formulaLetter);
  std::int64_t steps = 0;
  for (std::int64_t p = job.begin; p < job.end; ++p) {
    const Orbit orbit = IteratePoint(job, step, job.xs[p / job.rows], job.ys[p % job.rows]);
    job.out[p] = orbit.count;
    steps += orbit.steps;
  }
  return steps;
}

}  // namespace tesvo
