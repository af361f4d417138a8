// The vector kernel, written once over a traits type T for one instruction
// set and included only by that set's file. Each lane iterates a pixel of its
// own; a lane whose pixel is finished is counted exactly and takes the next
// pixel, so no lane waits for the slowest pixel of its vector. Every template
// here depends on T, which each file defines in an anonymous namespace, so
// copies built with different flags never merge at link time.
#pragma once

#include <cstdint>
#include <limits>

#include "engine/image_record.h"
#include "engine/scan.h"
#include "engine/scan_kernel.h"

namespace tesvo::simd {

// One iteration step of formula kLetter on every lane, in the same order of
// operations as the scalar steps: each rounding must happen as it does there.
template <class T, char kLetter>
inline void Step(typename T::V& a, typename T::V& b, typename T::V p, typename T::V q) {
  using V = typename T::V;
  const V two = T::Splat(2.0);
  if constexpr (kLetter == 'a') {
    const V e = T::Exp(a);
    const V cosB = T::Cos(b);
    const V sinB = T::Sin(b);
    a = p * (e * cosB) - q * (e * sinB);
    b = p * (e * sinB) + q * (e * cosB);
  } else if constexpr (kLetter == 'b') {
    const V one = T::Splat(1.0);
    const V half = T::Splat(0.5);
    const V e = T::Exp(b);
    const V re = p + T::Cos(a) * (e + one / e) * half;
    b = q + T::Sin(a) * (one / e - e) * half;
    a = re;
  } else {
    const V g = a * a - b * b;
    const V h = two * a * b;
    if constexpr (kLetter == 'c') {
      a = g + p;
      b = h + q;
    } else if constexpr (kLetter == 'e') {
      a = g * g - h * h + p;
      b = two * g * h + q;
    } else {
      const V x = g * a - h * b;
      const V y = g * b + h * a;
      if constexpr (kLetter == 'd') {
        a = x + p;
        b = two * T::Sin(y) + q;
      } else if constexpr (kLetter == 'f') {
        const V fourthRe = x * a - y * b;
        const V fourthIm = x * b + y * a;
        a = (p + fourthRe) + x;
        b = (q + fourthIm) + y;
      } else if constexpr (kLetter == 'g') {
        const V r = T::Sqrt(T::Sqrt(x * x + y * y));
        const V theta = T::Atan(y / x);
        a = r * T::Cos(theta / two) + p;
        b = r * T::Sin(theta / two) + q;
      } else {
        static_assert(kLetter == 'h');
        a = two * T::Sin(x) + p;
        b = y + q;
      }
    }
  }
}

template <class T>
struct Lanes {
  typename T::V zr, zi, cr, ci, pr, pi, n;
};

// Walks the job's pixels in scan order and hands them to lanes.
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

// Counts the finished lanes of one vector (bits of mask) and refills them.
// Returns the change in the number of busy lanes. An idle lane holds a value
// that is not a number and a step count of minus infinity, so it never
// finishes again.
template <class T, bool kMandelbrot>
int Refill(Lanes<T>& v, int mask, std::int64_t* pixel, PixelCursor<T>& cursor, const PixelJob& job) {
  constexpr int kLanes = T::kLanes;
  alignas(64) double zr[kLanes], zi[kLanes], cr[kLanes], ci[kLanes], pr[kLanes], pi[kLanes], n[kLanes];
  T::Store(zr, v.zr);
  T::Store(zi, v.zi);
  T::Store(cr, v.cr);
  T::Store(ci, v.ci);
  T::Store(pr, v.pr);
  T::Store(pi, v.pi);
  T::Store(n, v.n);
  int change = 0;
  for (int lane = 0; lane < kLanes; ++lane) {
    if (!(mask >> lane & 1)) continue;
    if (pixel[lane] >= 0) {
      const bool escaped = !(n[lane] > job.limit);
      job.out[pixel[lane]] =
          OrbitCount(job.method, job.limit, job.convergenceFactor, escaped, static_cast<int>(n[lane]),
                     {zr[lane], zi[lane]}, {pr[lane], pi[lane]});
      --change;
    }
    if (cursor.Done()) {
      constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
      pixel[lane] = -1;
      zr[lane] = zi[lane] = cr[lane] = ci[lane] = kNaN;
      n[lane] = -std::numeric_limits<double>::infinity();
      continue;
    }
    double u = cursor.X();
    double w = cursor.Y();
    if (job.method == kInversion) {
      const Complex inverted = InvertPoint(u, w);
      u = inverted.re;
      w = inverted.im;
    }
    if constexpr (kMandelbrot) {
      zr[lane] = kMandelbrotStart;
      zi[lane] = 0.0;
      cr[lane] = u;
      ci[lane] = w;
    } else {
      zr[lane] = u;
      zi[lane] = w;
    }
    pr[lane] = zr[lane];
    pi[lane] = zi[lane];
    n[lane] = 0;
    pixel[lane] = cursor.Index();
    cursor.Advance();
    ++change;
  }
  v.zr = T::Load(zr);
  v.zi = T::Load(zi);
  v.cr = T::Load(cr);
  v.ci = T::Load(ci);
  v.pr = T::Load(pr);
  v.pi = T::Load(pi);
  v.n = T::Load(n);
  return change;
}

// kVectors independent vectors per thread hide the latency of one step.
// kPrevious: keep the iterate before the last one ("convergencia" needs it).
template <class T, char kLetter, bool kMandelbrot, bool kPrevious, int kVectors>
void CountPixels(const PixelJob& job) {
  using V = typename T::V;
  constexpr int kLanes = T::kLanes;
  if (job.begin >= job.end) return;
  const V limit = T::Splat(job.limit);
  const V bound = T::Splat(job.bound);
  const V one = T::Splat(1.0);
  const V juliaRe = T::Splat(job.cRe);
  const V juliaIm = T::Splat(job.cIm);

  PixelCursor<T> cursor(job);
  Lanes<T> v[kVectors];
  std::int64_t pixel[kVectors][kLanes];
  int busy = 0;
  for (int k = 0; k < kVectors; ++k) {
    for (int lane = 0; lane < kLanes; ++lane) pixel[k][lane] = -1;
    v[k].zr = v[k].zi = v[k].cr = v[k].ci = v[k].pr = v[k].pi = v[k].n = T::Splat(0.0);
    busy += Refill<T, kMandelbrot>(v[k], (1 << kLanes) - 1, pixel[k], cursor, job);
  }
  for (;;) {
    V done[kVectors];
#pragma GCC unroll 8
    for (int k = 0; k < kVectors; ++k) {
      if constexpr (kPrevious) {
        v[k].pr = v[k].zr;
        v[k].pi = v[k].zi;
      }
      if constexpr (kMandelbrot) {
        Step<T, kLetter>(v[k].zr, v[k].zi, v[k].cr, v[k].ci);
      } else {
        Step<T, kLetter>(v[k].zr, v[k].zi, juliaRe, juliaIm);
      }
      v[k].n = v[k].n + one;
      const V s = v[k].zi * v[k].zi + v[k].zr * v[k].zr;
      // Captured when the step count passes the limit; otherwise escaped
      // when s passes the bound, the test the next step would begin with.
      done[k] = T::Or(T::Greater(v[k].n, limit), T::Greater(s, bound));
    }
    V any = done[0];
#pragma GCC unroll 8
    for (int k = 1; k < kVectors; ++k) any = T::Or(any, done[k]);
    if (T::Mask(any) == 0) continue;
    for (int k = 0; k < kVectors; ++k) {
      if (const int mask = T::Mask(done[k]))
        busy += Refill<T, kMandelbrot>(v[k], mask, pixel[k], cursor, job);
    }
    if (busy == 0) return;
  }
}

template <class T, char kLetter, bool kMandelbrot, int kVectors>
void CountPixelsForMethod(const PixelJob& job) {
  if (job.method == kConvergence) {
    CountPixels<T, kLetter, kMandelbrot, true, kVectors>(job);
  } else {
    CountPixels<T, kLetter, kMandelbrot, false, kVectors>(job);
  }
}

template <class T, char kLetter, int kVectors>
void CountPixelsForLetter(const PixelJob& job) {
  if (job.mandelbrot) {
    CountPixelsForMethod<T, kLetter, true, kVectors>(job);
  } else {
    CountPixelsForMethod<T, kLetter, false, kVectors>(job);
  }
}

// The polynomial formulas are bound by the latency of their multiplications
// and get kPolynomialVectors vectors; the transcendental ones spend their time
// in calls and gain little from more than two.
template <class T, int kPolynomialVectors>
void CountPixelsAnyFormula(const PixelJob& job) {
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
