// The vector kernel, written once over a traits type T for one instruction
// set and included only by that set's file: the opening (scan_opening.h),
// then the lanes (scan_lanes.h), both stepping with the formula's one step
// (formula_step.h). T gives V, kLanes, kRegisters, Splat, Load, Store,
// Greater, Or, And, AndNot, SameBits, Mask, Blend, Sqrt, Sin, Cos, Exp and
// Atan. Every template here depends on T, which each file defines in an
// anonymous namespace, so copies built with different flags never merge at
// link time. Functions of the standard library are not: std::min or
// std::bit_cast, where a build does not inline them, is a copy the linker
// keeps once for all objects, perhaps the one built with AVX. The kernel
// calls compiler builtins and operators instead, and a test checks that no
// such copy is left (cmake/per_isa_symbols.cmake).
#pragma once

#include <cstdint>
#include <memory>

#include "engine/scan_kernel.h"
#include "engine/scan_lanes.h"
#include "engine/scan_opening.h"

namespace tesvo::simd {

// Counts the job's pixels: first the opening, kOpening steps in lockstep
// (fewer where the limit is lower), then the survivors lane by lane.
template <class T, char kLetter, bool kMandelbrot, bool kPrevious, int kVectors>
std::int64_t CountPixels(const PixelJob& job) {
  constexpr int kOpening = kTranscendental<kLetter> ? 8 : 16;
  constexpr int kOpeningVectors = kVectors < kMostOpeningVectors ? kVectors : kMostOpeningVectors;
  if (job.begin >= job.end) return 0;
  // Room for the job's survivors, kept by each thread from job to job.
  thread_local std::unique_ptr<Survivor<T>[]> room;
  thread_local std::int64_t roomSize = 0;
  if (roomSize < job.end - job.begin) {
    roomSize = job.end - job.begin;
    room.reset(new Survivor<T>[roomSize]);
  }
  std::int64_t survived = 0;
  const int opening = job.limit < kOpening ? static_cast<int>(job.limit) : kOpening;
  const std::int64_t escapedSteps =
      Open<T, kLetter, kMandelbrot, kOpeningVectors>(job, opening, room.get(), survived);
  if (survived == 0) return escapedSteps;
  return escapedSteps + CountSurvivors<T, kLetter, kMandelbrot, kPrevious, kVectors>(
                            job, room.get(), room.get() + survived, opening);
}

template <class T, char kLetter, bool kMandelbrot, int kVectors>
std::int64_t CountPixelsForMethod(const PixelJob& job) {
  if (job.method == kConvergence) return CountPixels<T, kLetter, kMandelbrot, true, kVectors>(job);
  return CountPixels<T, kLetter, kMandelbrot, false, kVectors>(job);
}

template <class T, char kLetter, int kVectors>
std::int64_t CountPixelsForLetter(const PixelJob& job) {
  if (job.mandelbrot) return CountPixelsForMethod<T, kLetter, true, kVectors>(job);
  return CountPixelsForMethod<T, kLetter, false, kVectors>(job);
}

// The polynomial formulas are bound by the latency of their multiplications
// and get kPolynomialVectors vectors; the transcendental ones spend their time
// in calls and gain little from more than two.
template <class T, int kPolynomialVectors>
std::int64_t CountPixelsAnyFormula(const PixelJob& job) {
  switch (job.formulaLetter) {
    case 'a':
      return CountPixelsForLetter<T, 'a', 2>(job);
    case 'b':
      return CountPixelsForLetter<T, 'b', 2>(job);
    case 'c':
      return CountPixelsForLetter<T, 'c', kPolynomialVectors>(job);
    case 'd':
      return CountPixelsForLetter<T, 'd', 2>(job);
    case 'e':
      return CountPixelsForLetter<T, 'e', kPolynomialVectors>(job);
    case 'f':
      return CountPixelsForLetter<T, 'f', kPolynomialVectors>(job);
    case 'g':
      return CountPixelsForLetter<T, 'g', 2>(job);
    case 'h':
      return CountPixelsForLetter<T, 'h', 2>(job);
  }
  return 0;
}

template <class T>
void Evaluate(MathFunction function, const double* in, double* out, int n) {
  constexpr int kLanes = T::kLanes;
  for (int i = 0; i < n; i += kLanes) {
    alignas(64) double block[kLanes] = {};
    for (int lane = 0; lane < kLanes && i + lane < n; ++lane) block[lane] = in[i + lane];
    typename T::V x = T::Load(block);
    switch (function) {
      case MathFunction::kSin:
        x = T::Sin(x);
        break;
      case MathFunction::kCos:
        x = T::Cos(x);
        break;
      case MathFunction::kExp:
        x = T::Exp(x);
        break;
      case MathFunction::kAtan:
        x = T::Atan(x);
        break;
    }
    T::Store(block, x);
    for (int lane = 0; lane < kLanes && i + lane < n; ++lane) out[i + lane] = block[lane];
  }
}

}  // namespace tesvo::simd
