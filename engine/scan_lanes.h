// The lanes: the pixels that survived the opening, one per lane, each lane
// given the next pixel as soon as its own is counted, so no lane waits for
// the slowest pixel of its vector. State per slot (lane l of vector k is slot
// k * kLanes + l): a busy slot has pixel >= 0, its iterate z after the
// kernel's step number `step`, the iterate before (for "convergencia"), its c,
// start = the step number at which its own step 0 would have been (so it has
// taken step - start steps), and finish = the step number at which it is
// counted unless it escapes first, never less than `step`; nextCapture is the
// least finish of all slots and busy the number of busy slots. An idle slot
// holds values that are not numbers and finish kNever. The cycle test keeps
// an earlier iterate kr + ki i of each lane, taken at step keptAt.
// Every template depends on T, which each instruction set's file defines in
// an anonymous namespace, so copies built with different flags never merge;
// for the same reason no function of the standard library is called here
// (scan_simd.h).
#pragma once

#include <cstdint>
#include <limits>

#include "engine/scan_kernel.h"
#include "engine/scan_opening.h"
#include "engine/scan_step.h"

namespace tesvo::simd {

// The slot of the lowest lane of vector k in the mask.
template <class T>
int Slot(int k, int mask) {
  return k * T::kLanes + __builtin_ctz(static_cast<unsigned>(mask));
}

// The lanes' bookkeeping, kept in memory while the iterates stay in
// registers. A lane's step count is the kernel's step number minus its start,
// so the loop counts steps once for all lanes.
template <class T, int kSlots>
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
      constexpr double kNaN = __builtin_nan("");
      pixel[slot] = -1;
      start[slot] = keptAt[slot] = 0.0;
      finish[slot] = kNever;
      keepFrom[slot] = __builtin_inf();
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

  // One lane's values, for the escape test of a lane being serviced; nested
  // here so that it is made per T like everything else.
  struct OneLane {
    using V = double;
    static bool Greater(double a, double b) { return a > b; }
  };

  static bool SameBits(double x, double y) {
    return __builtin_bit_cast(std::uint64_t, x) == __builtin_bit_cast(std::uint64_t, y);
  }

  // After step number `step`: counts the lane's pixel if it is finished, in
  // the order the plain rule tests, and gives the lane the next pixel. A
  // finish already passed counts the pixel too: a wrong count, never a lane
  // that runs for ever.
  [[gnu::always_inline]] void Service(int slot, std::int64_t step) {
    if (pixel[slot] < 0) return;
    const std::int64_t n = step - static_cast<std::int64_t>(start[slot]);
    const bool captured = step >= finish[slot];  // n > limit, or a cycle has come round to the limit
    const bool escaped = !captured && Escapes<OneLane>(zr[slot] * zr[slot], zi[slot] * zi[slot], job.bound);
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
    keepFrom[slot] = __builtin_inf();
    if (rest == 0) return true;
    finish[slot] = step + rest;
    if (finish[slot] < nextCapture) nextCapture = finish[slot];
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
    for (int lane = 0; lane < T::kLanes; ++lane) mask |= (finish[k * T::kLanes + lane] <= step) << lane;
    return mask;
  }

  // A pixel loaded later reaches the limit later, so only a capture or a
  // cycle can move the earliest one.
  void FindNextCapture() {
    nextCapture = kNever;
    for (int slot = 0; slot < kSlots; ++slot)
      if (finish[slot] < nextCapture) nextCapture = finish[slot];
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
  alignas(64) double start[kSlots];
  std::int64_t finish[kSlots];
  alignas(64) double keepFrom[kSlots];
  alignas(64) double keptAt[kSlots];
};

// Counts the survivors of an opening of `opened` steps, lane by lane, and
// returns the steps they took. kVectors independent vectors hide the latency
// of one step. kPrevious: keep the iterate before the last one
// ("convergencia" needs it). Lanes keep iterates only at step numbers that
// are multiples of kKeepEvery, and compare them with the kept one at
// multiples of kCompareEvery. The transcendental formulas compare every
// iterate and keep every 16 steps. The polynomial ones, whose step costs
// little more than the comparison, compare every 8 steps and keep every 64,
// so that orbits which never repeat pay little for the test; a repeat found
// there spans a multiple of the period, which serves as well.
template <class T, char kLetter, bool kMandelbrot, bool kPrevious, int kVectors>
std::int64_t CountSurvivors(const PixelJob& job, const Survivor<T>* first, const Survivor<T>* last,
                            std::int64_t opened) {
  using V = typename T::V;
  constexpr int kLanes = T::kLanes;
  constexpr bool kEveryStep = kTranscendental<kLetter>;
  constexpr std::int64_t kCompareEvery = kEveryStep ? 1 : 8;
  constexpr std::int64_t kKeepEvery = kEveryStep ? 16 : 64;
  // Steps at which the lanes are looked at whatever the escape test says.
  constexpr std::int64_t kLookEvery = kEveryStep ? kKeepEvery : kCompareEvery;

  const V bound = T::Splat(job.bound);
  const V juliaRe = T::Splat(job.cRe);
  const V juliaIm = T::Splat(job.cIm);
  Slots<T, kVectors * kLanes> slots(job, first, last, opened);
  for (int slot = 0; slot < kVectors * kLanes; ++slot) slots.Load(slot, 0);
  slots.FindNextCapture();
  // The next step at which some lane is captured, or iterates are compared
  // or kept.
  std::int64_t nextEvent = slots.nextCapture < kLookEvery ? slots.nextCapture : kLookEvery;

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
      if constexpr (kMandelbrot) {
        StepLanes<T, kLetter>(a[k], b[k], g[k], T::Load(slots.cr + k * kLanes),
                              T::Load(slots.ci + k * kLanes));
      } else {
        StepLanes<T, kLetter>(a[k], b[k], g[k], juliaRe, juliaIm);
      }
    }
    ++step;
    V any = T::Splat(0.0);
#pragma GCC unroll 8
    for (int k = 0; k < kVectors; ++k) {
      any = T::Or(any, EscapedLanes<T>(a[k], b[k], g[k], bound));
      if constexpr (kEveryStep) any = T::Or(any, repeated(a[k], b[k], k));
    }
    if (T::Mask(any) == 0 && step < nextEvent) continue;
    const bool capture = step >= slots.nextCapture;
    const bool compare = step % kCompareEvery == 0;
    const bool keep = step % kKeepEvery == 0;
    const V stepNumber = T::Splat(static_cast<double>(step));

    // Unrolled like the loops above, so that the vectors stay in registers.
#pragma GCC unroll 8
    for (int k = 0; k < kVectors; ++k) {
      V attention = Escapes<T>(a[k] * a[k], b[k] * b[k], bound);
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
    if (slots.busy == 0) return slots.steps;
    if (capture) slots.FindNextCapture();
    const std::int64_t nextLook = (step / kLookEvery + 1) * kLookEvery;
    nextEvent = slots.nextCapture < nextLook ? slots.nextCapture : nextLook;
  }
}

}  // namespace tesvo::simd
