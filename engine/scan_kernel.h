// What the vector kernels share with the dispatching code: one job is a range
// of pixels in scan order, described by plain values only, so that the files
// built for wider instruction sets use nothing inline from other headers.
#pragma once

#include <cstdint>

#include "engine/formulas.h"
#include "engine/image_record.h"

namespace tesvo {

struct PixelJob {
  const double* xs;  // the first column of the range of columns counted
  const double* ys;
  int rows;
  std::int64_t begin;  // pixel p is row p % rows of column p / rows
  std::int64_t end;
  std::int16_t* out;  // out[p] for p in begin .. end - 1
  char formulaLetter;
  bool mandelbrot;
  std::int32_t method;
  double limit;  // 0 to 5000, except on the reference path
  double bound;
  double cRe;
  double cIm;
  double convergenceFactor;
};

// The cycle test. A pixel's next iterate depends on nothing but its current
// one, so once z equals, bit for bit, a value it had before, the orbit repeats
// that stretch forever: it never escapes, and the iterates at the limit are
// the ones the same number of steps further round the cycle. Brent's method
// keeps one earlier iterate and compares each new one with it; the kept
// iterate is replaced after kFirstKeep steps, then whenever the steps taken
// have doubled since, so a cycle of period P after a tail of T steps is found
// within about 2 (T + P) + kFirstKeep steps. Until then the start value is
// kept. The vector kernels replace kept iterates only every few steps, where
// they look at all lanes at once.
inline constexpr std::int64_t kFirstKeep = 16;

// The count of an orbit that escaped after n steps, im being the imaginary
// part of its last iterate. Static: each file built for a wider instruction
// set keeps a copy of its own, which the linker never takes for another's.
static constexpr std::int16_t EscapedCount(std::int32_t method, int n, double im) {
  if (method == kDecomposition) return im > 0 ? 0 : 100;
  if (method == kConvergence) return 0;
  return static_cast<std::int16_t>(n);
}

// The count of a finished orbit: n steps taken, z the last iterate and
// previous the one before it.
std::int16_t OrbitCount(std::int32_t method, double limit, double convergenceFactor, bool escaped, int n,
                        Complex z, Complex previous);

// Each counts job.begin .. job.end - 1 into job.out and returns the number of
// formula steps it took. The reference takes any plan; the vector kernels give
// its counts for a limit from 0 to 5000 and a bound of 0 or more.
std::int64_t CountPixelsReference(const PixelJob& job);
std::int64_t CountPixelsSse2(const PixelJob& job);
std::int64_t CountPixelsAvx2(const PixelJob& job);
std::int64_t CountPixelsAvx512(const PixelJob& job);
std::int64_t CountPixelsNeon(const PixelJob& job);

// The vector forms of Sin, Cos, Exp and Atan over n values, for checking that
// they match the scalar ones bit for bit.
enum class MathFunction { kSin, kCos, kExp, kAtan };
void EvaluateSse2(MathFunction function, const double* in, double* out, int n);
void EvaluateAvx2(MathFunction function, const double* in, double* out, int n);
void EvaluateAvx512(MathFunction function, const double* in, double* out, int n);
void EvaluateNeon(MathFunction function, const double* in, double* out, int n);

}  // namespace tesvo
