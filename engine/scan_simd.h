// The vector kernel, written once over a traits type T for one instruction
// set and included only by that set's file. Each lane iterates a pixel of its
// own; a lane whose pixel is finished is counted exactly and takes the next
// pixel, so no lane waits for the slowest pixel of its vector. Every template
// here depends on T, which each file defines in an anonymous namespace, so
// copies built with different flags never merge at link time.
#pragma once

#include <algorithm>
#include <bit>
#include <cstdint>
#include <limits>
#include <vector>

#include "engine/image_record.h"
#include "engine/scan.h"
#include "engine/scan_kernel.h"

namespace tesvo::simd {

// One iteration step of formula kLetter on every lane, in the same order of
// operations as the scalar steps: each rounding must happen as it does there.
// g is a * a - b * b, from the squares the escape test has computed already;
// carrying it rather than both squares leaves more vectors in registers.
template <class T, char kLetter>
inline void Step(typename T::V& a, typename T::V& b, typename T::V g, typename T::V p, typename T::V q) {
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
    const V h = (a + a) * b;  // 2 * a is exactly a + a
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

// Where 32 registers hold them, a * a - b * b is carried from the escape
// test to the next step. With 16, carrying it for every vector would spill it
// to memory, on the step's critical path; the step squares a and b again
// instead (SquareDifference).
template <class T>
inline constexpr bool kCarriesSquares = T::kRegisters >= 32;

// a * a - b * b, from copies of a and b that the compiler cannot see are the
// values it has squared already, so that it does not carry the squares itself.
template <class V>
[[gnu::always_inline]] inline V SquareDifference(V a, V b) {
#if defined(__aarch64__)
  asm("" : "+w"(a), "+w"(b));
#else
  asm("" : "+x"(a), "+x"(b));
#endif
  return a * a - b * b;
}

// The slot of the lowest lane of vector k in the mask.
template <class T>
int Slot(int k, int mask) {
  return k * T::kLanes + std::countr_zero(static_cast<unsigned>(mask));
}

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

// A pixel still bounded after the opening steps, with what the lanes need
// to go on from there: its last iterate and its c. The iterate before is not
// needed: a lane is counted only after a step of its own.
// Made per T, like everything here, so that the code for the vectors of them
// is never shared between instruction sets.
template <class T>
struct Survivor {
  std::int64_t pixel;
  double zr, zi, cr, ci;
};

// The lanes' bookkeeping, kept in memory while the iterates stay in
// registers. Lane l of vector k is slot k * kLanes + l. A lane's step count
// is the kernel's step number minus the number at which its pixel started, so
// the loop counts steps once for all lanes; an idle lane holds a value that
// is not a number, never finishes and keeps nothing it could equal.
template <class T, bool kMandelbrot, int kSlots>
struct Slots {
  static constexpr std::int64_t kNever = std::numeric_limits<std::int64_t>::max() / 2;

  // The survivors, each of which has taken `opened` steps.
  Slots(const PixelJob& job, const Survivor<T>* first, const Survivor<T>* last, std::int64_t opened)
      : job(job),
        next(first),
        end(last),
        opened(opened),
        maxSteps(static_cast<std::int64_t>(job.limit) + 1) {}

  // Puts the next survivor, if any, into the slot, before its next step.
  [[gnu::always_inline]] void Load(int slot, std::int64_t step) {
    if (next == end) {
      constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
      pixel[slot] = -1;
      start[slot] = keptAt[slot] = 0.0;
      finish[slot] = kNever;
      keepFrom[slot] = std::numeric_limits<double>::infinity();
      zr[slot] = zi[slot] = pr[slot] = pi[slot] = cr[slot] = ci[slot] = kNaN;
      kr[slot] = ki[slot] = 0.0;
      return;
    }
    const Survivor<T>& s = *next++;
    kr[slot] = zr[slot] = s.zr;
    ki[slot] = zi[slot] = s.zi;
    pr[slot] = s.zr;
    pi[slot] = s.zi;
    cr[slot] = s.cr;
    ci[slot] = s.ci;
    pixel[slot] = s.pixel;
    start[slot] = static_cast<double>(step - opened);
    keptAt[slot] = static_cast<double>(step);
    finish[slot] = step - opened + maxSteps;
    keepFrom[slot] = KeepFrom(step + kFirstKeep);
    ++busy;
  }

  static bool SameBits(double x, double y) {
    return std::bit_cast<std::uint64_t>(x) == std::bit_cast<std::uint64_t>(y);
  }

  // After step number `step`: counts the lane's pixel if it is finished, in
  // the order the plain rule tests, and gives the lane the next pixel.
  [[gnu::always_inline]] void Service(int slot, std::int64_t step) {
    if (pixel[slot] < 0) return;
    const std::int64_t n = step - static_cast<std::int64_t>(start[slot]);
    const bool captured = step == finish[slot];  // n > limit, or a cycle has come round to the limit
    const bool escaped = !captured && zi[slot] * zi[slot] + zr[slot] * zr[slot] > job.bound;
    if (!captured && !escaped && !Repeats(slot, step)) return;
    job.out[pixel[slot]] = OrbitCount(job.method, job.limit, job.convergenceFactor, escaped,
                                      static_cast<int>(n), {zr[slot], zi[slot]}, {pr[slot], pi[slot]});
    steps += n;
    --busy;
    Load(slot, step);
  }

  // Whether the lane's iterate, which has not escaped, repeats the kept one
  // and is already the orbit's iterate at the limit. When it repeats at an
  // earlier phase, the lane is given the step at which the cycle comes round
  // to the limit and steps on until then.
  [[gnu::noinline]] bool Repeats(int slot, std::int64_t step) {
    const std::int64_t span = step - static_cast<std::int64_t>(keptAt[slot]);
    if (!SameBits(zr[slot], kr[slot]) || !SameBits(zi[slot], ki[slot]) || span == 0) return false;
    const std::int64_t rest = (finish[slot] - step) % span;
    keepFrom[slot] = std::numeric_limits<double>::infinity();
    if (rest == 0) return true;
    finish[slot] = step + rest;
    nextCapture = std::min(nextCapture, finish[slot]);
    return false;
  }

  // The lane keeps its iterate at the first step after keepFrom: half a step
  // below the step number, so that one comparison of doubles on all lanes
  // tells which lanes keep theirs.
  static double KeepFrom(std::int64_t step) { return static_cast<double>(step) - 0.5; }

  // The lanes of vector k whose steps have reached their next mark keep
  // their iterate a + bi, all at once; a lane just given a new pixel keeps
  // nothing yet. Step numbers and marks are whole numbers of doubles, exact
  // far beyond any count.
  void Keep(int k, typename T::V a, typename T::V b, typename T::V step) {
    using V = typename T::V;
    double* const from = keepFrom + k * T::kLanes;
    const V keeps = T::Greater(step, T::Load(from));
    if (T::Mask(keeps) == 0) return;
    T::Store(kr + k * T::kLanes, T::Blend(T::Load(kr + k * T::kLanes), a, keeps));
    T::Store(ki + k * T::kLanes, T::Blend(T::Load(ki + k * T::kLanes), b, keeps));
    T::Store(keptAt + k * T::kLanes, T::Blend(T::Load(keptAt + k * T::kLanes), step, keeps));
    const V next = step + (step - T::Load(start + k * T::kLanes)) - T::Splat(0.5);
    T::Store(from, T::Blend(T::Load(from), next, keeps));
  }

  // The lanes of vector k whose pixel is finished by the count at this step.
  int Captures(int k, std::int64_t step) const {
    int mask = 0;
    for (int lane = 0; lane < T::kLanes; ++lane) mask |= (finish[k * T::kLanes + lane] == step) << lane;
    return mask;
  }

  // A pixel loaded later reaches the limit later, so only a capture or a
  // cycle can move the earliest one.
  void FindNextCapture() {
    nextCapture = kNever;
    for (int slot = 0; slot < kSlots; ++slot) nextCapture = std::min(nextCapture, finish[slot]);
  }

  const PixelJob& job;
  const Survivor<T>* next;
  const Survivor<T>* const end;
  const std::int64_t opened;
  const std::int64_t maxSteps;
  std::int64_t nextCapture = kNever;
  std::int64_t steps = 0;  // over all finished pixels
  int busy = 0;
  alignas(64) double zr[kSlots];
  alignas(64) double zi[kSlots];
  alignas(64) double pr[kSlots];
  alignas(64) double pi[kSlots];
  alignas(64) double cr[kSlots];
  alignas(64) double ci[kSlots];
  alignas(64) double kr[kSlots];  // the kept iterate
  alignas(64) double ki[kSlots];
  std::int64_t pixel[kSlots];
  alignas(64) double start[kSlots];  // the step at which the pixel's step 0 would have been
  std::int64_t finish[kSlots];       // the step at which the pixel is counted, unless it escapes first
  alignas(64) double keepFrom[kSlots];
  alignas(64) double keptAt[kSlots];
};

// Whether the formula's step calls sin, cos, exp or atan.
template <char kLetter>
inline constexpr bool kTranscendental = kLetter != 'c' && kLetter != 'e' && kLetter != 'f';

// The opening keeps escape records beside each vector's iterate, and takes
// at most this many vectors at once.
inline constexpr int kMostOpeningVectors = 4;

// The opening: the first `steps` steps of kVectors * kLanes consecutive
// pixels at a time, all lanes in step and none handed a new pixel. Most
// pixels of a wide view escape within a few steps; here they are counted
// without any bookkeeping per lane, since a lane that escapes only records
// its step and iterate and runs on with the others. The pixels still bounded
// after `steps` steps are written to `survivors`, their number to
// `survived`. Returns the steps taken by the pixels that escaped.
template <class T, char kLetter, bool kMandelbrot, int kVectors>
[[gnu::noinline]] std::int64_t Open(const PixelJob& job, int steps, Survivor<T>* survivors,
                                    std::int64_t& survived) {
  using V = typename T::V;
  constexpr int kLanes = T::kLanes;
  constexpr int kBatch = kVectors * kLanes;
  const V bound = T::Splat(job.bound);
  const V zero = T::Splat(0.0);
  const double allBits = std::bit_cast<double>(~std::uint64_t{0});
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
        if constexpr (!kCarriesSquares<T>) g[k] = SquareDifference(a[k], b[k]);
        Step<T, kLetter>(a[k], b[k], g[k], p[k], q[k]);
        const V aa = a[k] * a[k];
        const V bb = b[k] * b[k];
        if constexpr (kCarriesSquares<T>) g[k] = aa - bb;
        const V escaped = T::And(live[k], T::Greater(bb + aa, bound));
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
      if (std::bit_cast<std::uint64_t>(lanes[0][i]) == 0) continue;
      const double cr = kMandelbrot ? x[i] : job.cRe;
      const double ci = kMandelbrot ? y[i] : job.cIm;
      survivors[survived++] = {first + i, lanes[1][i], lanes[2][i], cr, ci};
    }
  }
  return taken;
}

// Counts the job's pixels: first the opening, kOpening steps in lockstep
// (fewer where the limit is lower), then the survivors lane by lane.
// kVectors independent vectors per thread hide the latency of one step.
// kPrevious: keep the iterate before the last one ("convergencia" needs it).
// Lanes keep iterates only at step numbers that are multiples of kKeepEvery,
// and compare them with the kept one at multiples of kCompareEvery. The
// transcendental formulas compare every iterate and keep every 16 steps. The
// polynomial ones, whose step costs little more than the comparison, compare
// every 8 steps and keep every 64, so that orbits which never repeat pay
// little for the test; a repeat found there spans a multiple of the period,
// which serves as well.
template <class T, char kLetter, bool kMandelbrot, bool kPrevious, int kVectors>
std::int64_t CountPixels(const PixelJob& job) {
  using V = typename T::V;
  constexpr int kLanes = T::kLanes;
  constexpr bool kEveryStep = kTranscendental<kLetter>;
  constexpr std::int64_t kCompareEvery = kEveryStep ? 1 : 8;
  constexpr std::int64_t kKeepEvery = kEveryStep ? 16 : 64;
  // Steps at which the lanes are looked at whatever the escape test says.
  constexpr std::int64_t kLookEvery = kEveryStep ? kKeepEvery : kCompareEvery;
  constexpr std::int64_t kOpening = kEveryStep ? 8 : 16;
  if (job.begin >= job.end) return 0;
  // Room for the job's survivors, kept by each thread from job to job.
  thread_local std::vector<Survivor<T>> room;
  if (room.size() < static_cast<std::size_t>(job.end - job.begin)) room.resize(job.end - job.begin);
  std::int64_t survived = 0;
  const int opening =
      static_cast<int>(std::min<std::int64_t>(kOpening, static_cast<std::int64_t>(job.limit)));
  const std::int64_t escapedSteps = Open<T, kLetter, kMandelbrot, std::min(kVectors, kMostOpeningVectors)>(
      job, opening, room.data(), survived);
  if (survived == 0) return escapedSteps;

  const V bound = T::Splat(job.bound);
  const V juliaRe = T::Splat(job.cRe);
  const V juliaIm = T::Splat(job.cIm);
  Slots<T, kMandelbrot, kVectors * kLanes> slots(job, room.data(), room.data() + survived, opening);
  for (int slot = 0; slot < kVectors * kLanes; ++slot) slots.Load(slot, 0);
  slots.FindNextCapture();
  // The next step at which some lane is captured, or iterates are compared
  // or kept.
  std::int64_t nextEvent = std::min(slots.nextCapture, kLookEvery);

  const auto repeated = [&](V a, V b, int k) {
    return T::And(T::SameBits(a, T::Load(slots.kr + k * kLanes)),
                  T::SameBits(b, T::Load(slots.ki + k * kLanes)));
  };

  V a[kVectors], b[kVectors], g[kVectors], pa[kVectors], pb[kVectors];
#pragma GCC unroll 8
  for (int k = 0; k < kVectors; ++k) {
    a[k] = T::Load(slots.zr + k * kLanes);
    b[k] = T::Load(slots.zi + k * kLanes);
    g[k] = a[k] * a[k] - b[k] * b[k];
  }
  std::int64_t step = 0;
  for (;;) {
#pragma GCC unroll 8
    for (int k = 0; k < kVectors; ++k) {
      if constexpr (kPrevious) {
        pa[k] = a[k];
        pb[k] = b[k];
      }
      if constexpr (!kCarriesSquares<T>) g[k] = SquareDifference(a[k], b[k]);
      if constexpr (kMandelbrot) {
        Step<T, kLetter>(a[k], b[k], g[k], T::Load(slots.cr + k * kLanes), T::Load(slots.ci + k * kLanes));
      } else {
        Step<T, kLetter>(a[k], b[k], g[k], juliaRe, juliaIm);
      }
    }
    ++step;
    // The escape test of the next step, s = Im(z)^2 + Re(z)^2 > bound.
    V any = T::Splat(0.0);
#pragma GCC unroll 8
    for (int k = 0; k < kVectors; ++k) {
      const V aa = a[k] * a[k];
      const V bb = b[k] * b[k];
      if constexpr (kCarriesSquares<T>) g[k] = aa - bb;
      any = T::Or(any, T::Greater(bb + aa, bound));
      if constexpr (kEveryStep) any = T::Or(any, repeated(a[k], b[k], k));
    }
    if (T::Mask(any) == 0 && step != nextEvent) continue;
    const bool capture = step == slots.nextCapture;
    const bool compare = step % kCompareEvery == 0;
    const bool keep = step % kKeepEvery == 0;
    const V stepNumber = T::Splat(static_cast<double>(step));

    // Unrolled like the loops above, so that the vectors stay in registers.
#pragma GCC unroll 8
    for (int k = 0; k < kVectors; ++k) {
      V attention = T::Greater(b[k] * b[k] + a[k] * a[k], bound);
      if (compare) attention = T::Or(attention, repeated(a[k], b[k], k));
      int mask = T::Mask(attention);
      if (capture) mask |= slots.Captures(k, step);
      if (mask != 0) {
        T::Store(slots.zr + k * kLanes, a[k]);
        T::Store(slots.zi + k * kLanes, b[k]);
        if constexpr (kPrevious) {
          T::Store(slots.pr + k * kLanes, pa[k]);
          T::Store(slots.pi + k * kLanes, pb[k]);
        }
        for (int lanes = mask; lanes != 0; lanes &= lanes - 1) slots.Service(Slot<T>(k, lanes), step);
        a[k] = T::Load(slots.zr + k * kLanes);
        b[k] = T::Load(slots.zi + k * kLanes);
        g[k] = a[k] * a[k] - b[k] * b[k];
        if constexpr (kPrevious) {
          pa[k] = T::Load(slots.pr + k * kLanes);
          pb[k] = T::Load(slots.pi + k * kLanes);
        }
      }
      if (keep) slots.Keep(k, a[k], b[k], stepNumber);
    }
    if (slots.busy == 0) return escapedSteps + slots.steps;
    if (capture) slots.FindNextCapture();
    nextEvent = std::min(slots.nextCapture, (step / kLookEvery + 1) * kLookEvery);
  }
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
