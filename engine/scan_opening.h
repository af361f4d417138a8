// The opening: the first steps of consecutive pixels, kVectors * kLanes at a
// time, all lanes in step and none handed a new pixel. State per lane: live
// (all bits set while its pixel has not escaped), the iterate a + bi after
// step n, and for an escaped lane the step number at which it escaped
// (escapedAt > 0) and the imaginary part of its iterate then; an escaped lane
// runs on with the others, but nothing it computes after its escape is read.
// Every template depends on T, which each instruction set's file defines in
// an anonymous namespace, so copies built with different flags never merge;
// for the same reason no function of the standard library is called here
// (scan_simd.h).
#pragma once

#include <cstdint>

#include "engine/scan_kernel.h"
#include "engine/scan_plan.h"
#include "engine/scan_step.h"

namespace tesvo::simd {

// Walks the job's pixels in scan order.
template <class T>
class PixelCursor {
 public:
  explicit PixelCursor(const PixelJob& job)
      : job_(job), next_(job.begin), column_(job.begin / job.rows), row_(job.begin % job.rows) {}

  bool Done() const { return next_ >= job_.end; }
  std::int64_t Index() const { return next_; }
  double X() const { return job_.xs[column_]; }
  double Y() const { return job_.ys[row_]; }
  void Advance() {
    ++next_;
    if (++row_ == job_.rows) {
      row_ = 0;
      ++column_;
    }
  }

 private:
  const PixelJob& job_;
  std::int64_t next_;
  std::int64_t column_;
  int row_;
};

// A pixel still bounded after the opening steps, with what the lanes need
// to go on from there: its last iterate and its c. The iterate before is not
// needed: a lane is counted only after a step of its own.
template <class T>
struct Survivor {
  std::int64_t pixel;
  double zr, zi, cr, ci;
};

// The opening keeps escape records beside each vector's iterate, and takes
// at most this many vectors at once.
inline constexpr int kMostOpeningVectors = 4;

// The first `steps` steps of the job's pixels. Most pixels of a wide view
// escape within a few steps; here they are counted without any bookkeeping
// per lane. The pixels still bounded after `steps` steps are written to
// `survivors`, their number to `survived`. Returns the steps taken by the
// pixels that escaped.
template <class T, char kLetter, bool kMandelbrot, int kVectors>
[[gnu::noinline]] std::int64_t Open(const PixelJob& job, int steps, Survivor<T>* survivors,
                                    std::int64_t& survived) {
  using V = typename T::V;
  constexpr int kLanes = T::kLanes;
  constexpr int kBatch = kVectors * kLanes;
  const V bound = T::Splat(job.bound);
  const V zero = T::Splat(0.0);
  const double allBits = __builtin_bit_cast(double, ~std::uint64_t{0});
  std::int64_t taken = 0;
  survived = 0;
  PixelCursor<T> cursor(job);
  while (!cursor.Done()) {
    const std::int64_t first = cursor.Index();
    alignas(64) double x[kBatch];
    alignas(64) double y[kBatch];
    alignas(64) double used[kBatch];  // all bits set on lanes with a pixel
    int count = 0;
    for (; count < kBatch && !cursor.Done(); ++count, cursor.Advance()) {
      x[count] = cursor.X();
      y[count] = cursor.Y();
      used[count] = allBits;
    }
    for (int i = count; i < kBatch; ++i) x[i] = y[i] = used[i] = 0.0;
    if (job.method == kInversion) {
      for (int i = 0; i < count; ++i) {
        const Complex inverted = InvertPoint(x[i], y[i]);
        x[i] = inverted.re;
        y[i] = inverted.im;
      }
    }

    V a[kVectors], b[kVectors], p[kVectors], q[kVectors];
    V g[kVectors], live[kVectors], escapedAt[kVectors], escapedIm[kVectors];
#pragma GCC unroll 8
    for (int k = 0; k < kVectors; ++k) {
      if constexpr (kMandelbrot) {
        a[k] = T::Splat(kMandelbrotStart);
        b[k] = zero;
        p[k] = T::Load(x + k * kLanes);
        q[k] = T::Load(y + k * kLanes);
      } else {
        a[k] = T::Load(x + k * kLanes);
        b[k] = T::Load(y + k * kLanes);
        p[k] = T::Splat(job.cRe);
        q[k] = T::Splat(job.cIm);
      }
      g[k] = a[k] * a[k] - b[k] * b[k];
      live[k] = T::Load(used + k * kLanes);
      escapedAt[k] = escapedIm[k] = zero;
    }
    V anyLive = T::Load(used);
    for (int n = 1; n <= steps; ++n) {
      const V stepNumber = T::Splat(n);
      anyLive = zero;
#pragma GCC unroll 8
      for (int k = 0; k < kVectors; ++k) {
        StepLanes<T, kLetter>(a[k], b[k], g[k], p[k], q[k]);
        const V escaped = T::And(live[k], EscapedLanes<T>(a[k], b[k], g[k], bound));
        escapedAt[k] = T::Blend(escapedAt[k], stepNumber, escaped);
        escapedIm[k] = T::Blend(escapedIm[k], b[k], escaped);
        live[k] = T::AndNot(escaped, live[k]);
        anyLive = T::Or(anyLive, live[k]);
        if constexpr (kTranscendental<kLetter>) {
          // Escaped lanes run on from 1 + 0i, where every sin, cos, exp and
          // atan of the step is of a small finite value: those functions are
          // slowest on huge values and on values that are not numbers.
          const V one = T::Splat(1.0);
          a[k] = T::Blend(one, a[k], live[k]);
          b[k] = T::And(b[k], live[k]);
          g[k] = T::Blend(one, g[k], live[k]);
        }
      }
      if (T::Mask(anyLive) == 0) break;
    }

    // The escaped pixels' counts; a lane still live has escapedAt 0.
    alignas(64) double at[kBatch];
    alignas(64) double im[kBatch];
#pragma GCC unroll 8
    for (int k = 0; k < kVectors; ++k) {
      T::Store(at + k * kLanes, escapedAt[k]);
      T::Store(im + k * kLanes, escapedIm[k]);
    }
    for (int i = 0; i < count; ++i) {
      if (at[i] == 0) continue;
      const int n = static_cast<int>(at[i]);
      job.out[first + i] = EscapedCount(job.method, n, im[i]);
      taken += n;
    }
    if (T::Mask(anyLive) == 0) continue;
    alignas(64) double lanes[3][kBatch];
#pragma GCC unroll 8
    for (int k = 0; k < kVectors; ++k) {
      T::Store(lanes[0] + k * kLanes, live[k]);
      T::Store(lanes[1] + k * kLanes, a[k]);
      T::Store(lanes[2] + k * kLanes, b[k]);
    }
    for (int i = 0; i < count; ++i) {
      if (__builtin_bit_cast(std::uint64_t, lanes[0][i]) == 0) continue;
      const double cr = kMandelbrot ? x[i] : job.cRe;
      const double ci = kMandelbrot ? y[i] : job.cIm;
      survivors[survived++] = {first + i, lanes[1][i], lanes[2][i], cr, ci};
    }
  }
  return taken;
}

}  // namespace tesvo::simd
