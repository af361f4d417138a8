// A view of the Mandelbrot set of one formula at any depth: its centre and
// width as decimal strings of any length, and the counting of its pixels by
// perturbation from one reference orbit, on every thread.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "engine/image_record.h"
#include "engine/perturbation.h"

namespace tesvo {

struct DeepView {
  char formulaLetter = 'c';
  std::string centreRe, centreIm, width;  // decimal numbers: "-0.75", "1.5e-1000"
  std::int64_t limit = 0;
  double bound = 0;  // the formula's preset escape bound: DeepPresetBound
  int columns = 0;
  int rows = 0;
  // kEscapeTime, kDecomposition or kConvergence; kInversion is refused.
  std::int32_t method = kEscapeTime;
  double convergenceFactor = 100;  // that of the shallow scan's Mandelbrot images
};

// Pixel (i, j), i = 0 .. columns - 1 left to right, j = 0 .. rows - 1 top to
// bottom, is the point at its centre, with square pixels width / columns wide:
//   re = centreRe + (i + 1/2 - columns / 2) * width / columns
//   im = centreIm - (j + 1/2 - rows / 2) * width / columns
// Its orbit is z_0 = 0, z_(n+1) = f(z_n) + c, and its count is the shallow
// scan's (OrbitCount) for its method: in "tiempo de escape" the first n in
// 1 .. limit with |z_n|^2 > bound, else 0; in "descomposición" 0 when the
// imaginary part of its last iterate is above 0, else 100, the last iterate
// being z_n of the escape or, when none comes, z_(limit + 1); in
// "convergencia" 0 for an escape, else |z_(limit + 1) - z_limit|^2 times the
// factor, at most the limit, 0 when not a number, truncated.

// An optional sign, digits with at most one decimal point (a digit at least),
// and an optional exponent: "-0.75", ".5", "3.5E-400".
bool IsDecimalNumber(const std::string& text);

// z^2, z^4 and z^4+z^3.
bool DeepFormulaSupported(char letter);

// The escape bound of the formula's preset images.
double DeepPresetBound(char letter);

// What keeps a view from being counted.
enum class DeepViewFault {
  kFormula,        // not one of DeepFormulaSupported's
  kCentreText,     // the centre is not two decimal numbers
  kWidthText,      // the width is not a decimal number
  kSize,           // less than 1 x 1 pixels
  kLimit,          // under 1
  kBound,          // not above 0
  kCentreTooFar,   // beyond 2^64
  kWidthRange,     // not above 0, or 2^64 and more
  kWidthTooSmall,  // under 2^-kDeepestExponent
  kInversion,      // "inversión": its plane is the inverse of the view's
  kMethod          // not a colouring method
};

// Why the view cannot be counted, or nullopt when it can.
std::optional<DeepViewFault> DeepViewProblem(const DeepView& view);

struct DeepSettings {
  int threads = 0;                            // 0: DefaultThreads()
  std::int64_t* steps = nullptr;              // if set: the difference steps taken
  std::int64_t* skipped = nullptr;            // if set: the steps passed over by bilinear skips
  std::function<bool(double done)> progress;  // the share done; false stops the count
  PerturbationOptions perturbation;           // only tests change these
};

// Counts of columns first .. first + count - 1, column by column (rows counts
// each, top to bottom).
using DeepColumnSink = std::function<void(int first, int count, const std::uint32_t* counts)>;

// Counts a view that DeepViewProblem accepts, handing the columns to the sink
// in order, on the calling thread, as soon as they are ready. Returns false
// when progress asked to stop. The counts are the same, bit for bit, on every
// machine and with any number of threads.
bool CountDeepView(const DeepView& view, const DeepSettings& settings, const DeepColumnSink& sink);

}  // namespace tesvo
