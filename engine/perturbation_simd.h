// The kernel of the deep engine's plain steps, written once over a traits
// type T for one instruction set and included only by that set's file. T
// gives V (doubles), M (a mask of lanes), kLanes, and Splat, Load, Store,
// Add, Subtract, Multiply, Less, Greater, Or, Bits, MaskOf, Blend and
// Records.
// Each lane takes the scalar plain step (perturbation_step.h), every product
// and sum in the same order, so its pixel's count is the same as on one lane.
// Every template here depends on T, which each file defines in an anonymous
// namespace, so copies built with different flags never merge at link time;
// for the same reason no function of the standard library is called here
// (scan_simd.h, cmake/per_isa_symbols.cmake).
#pragma once

#include <cstdint>

#include "engine/float_exp.h"
#include "engine/perturbation_kernel.h"
#include "engine/perturbation_step.h"

namespace tesvo::deep_simd {

// The lanes of T as a number, so the formula's one step applies to them.
template <class T>
struct Lanes {
  typename T::V v = T::Splat(0.0);
};

template <class T>
inline Lanes<T> operator+(const Lanes<T>& a, const Lanes<T>& b) {
  return {T::Add(a.v, b.v)};
}

template <class T>
inline Lanes<T> operator-(const Lanes<T>& a, const Lanes<T>& b) {
  return {T::Subtract(a.v, b.v)};
}

template <class T>
inline Lanes<T> operator*(const Lanes<T>& a, const Lanes<T>& b) {
  return {T::Multiply(a.v, b.v)};
}

template <class T>
inline Lanes<T> operator+(const Lanes<T>& a, double b) {
  return {T::Add(a.v, T::Splat(b))};
}

template <class T>
inline Lanes<T> operator*(const Lanes<T>& a, double b) {
  return {T::Multiply(a.v, T::Splat(b))};
}

// The lanes' state in memory, where the handler reads and writes single
// lanes: slot g * kLanes + l is lane l of group g. A lane's step n and
// reference index m are kept less the kernel's own count of steps t, so that
// they change only when the lane is rebased or handed over, and not at all
// on the vector registers.
template <class T, int kSlots>
struct alignas(64) Spill {
  double dzRe[kSlots], dzIm[kSlots], dcRe[kSlots], dcIm[kSlots];
  double zRe[kSlots], zIm[kSlots];          // Z_m
  double aheadRe[kSlots], aheadIm[kSlots];  // Z_(m + 1)
  std::int64_t n[kSlots], m[kSlots];        // n - t, m - t
};

// The lane's pixel into its slot, t steps into the kernel.
template <class S>
inline void Put(const LaneJob& job, S& s, int slot, const LanePixel& p, std::int64_t t) {
  s.dzRe[slot] = p.dzRe, s.dzIm[slot] = p.dzIm, s.dcRe[slot] = p.dcRe, s.dcIm[slot] = p.dcIm;
  s.n[slot] = p.n - t, s.m[slot] = p.m - t;
  s.zRe[slot] = job.orbitRe[p.m], s.zIm[slot] = job.orbitIm[p.m];
  s.aheadRe[slot] = job.orbitRe[p.m + 1], s.aheadIm[slot] = job.orbitIm[p.m + 1];
}

// One vector of lanes: the pixels' state between steps.
template <class T>
struct Group {
  Cx<Lanes<T>> dz, dc;
  Cx<Lanes<T>> reference, ahead;  // Z_m, Z_(m + 1)

  template <class S>
  void Load(const S& s, int first) {
    dz = {{T::Load(s.dzRe + first)}, {T::Load(s.dzIm + first)}};
    dc = {{T::Load(s.dcRe + first)}, {T::Load(s.dcIm + first)}};
    reference = {{T::Load(s.zRe + first)}, {T::Load(s.zIm + first)}};
    ahead = {{T::Load(s.aheadRe + first)}, {T::Load(s.aheadIm + first)}};
  }

  template <class S>
  void Store(S& s, int first) const {
    T::Store(s.dzRe + first, dz.re.v), T::Store(s.dzIm + first, dz.im.v);
    T::Store(s.dcRe + first, dc.re.v), T::Store(s.dcIm + first, dc.im.v);
    T::Store(s.zRe + first, reference.re.v), T::Store(s.zIm + first, reference.im.v);
    T::Store(s.aheadRe + first, ahead.re.v), T::Store(s.aheadIm + first, ahead.im.v);
  }
};

// The job's settings as vectors.
template <class T>
struct Constants {
  typename T::V bound, zero, firstRe, firstIm, firstHandBelow;
  const double* records;
  bool rebase;
};

// One plain step of every lane of the group, t steps into the kernel, whose
// lanes' m less t are at `m`; gives the bits of the lanes that need the
// scalar code, of those that escaped, and of those rebased. With kEnds,
// `ends` marks the lanes whose step reaches the end of the reference, which
// rebase as well. Each lane's record is read a step ahead, from the index it
// has before it rebases: the loads then wait for no step, and a rebased lane
// takes Z_0 = 0 and Z_1 instead.
template <class T, char kLetter, bool kEnds>
[[gnu::always_inline]] inline int Step(const Constants<T>& c, Group<T>& g, const std::int64_t* m,
                                       std::int64_t t, typename T::M ends, int& escapedBits,
                                       int& rebasedBits) {
  using V = typename T::V;
  using M = typename T::M;
  using L = Lanes<T>;
  V furtherRe, furtherIm, handBelow;
  T::Records(c.records, t + 2, m, furtherRe, furtherIm, handBelow);
  g.dz = DifferenceStep<kLetter>(Coefficients<kLetter>(g.reference), g.dz, g.dc);
  const Cx<L> z = g.ahead + g.dz;
  const V norm = (z.im * z.im + z.re * z.re).v;
  const M escaped = T::Greater(norm, c.bound);
  const V dzNorm = (g.dz.im * g.dz.im + g.dz.re * g.dz.re).v;
  // Without rebasing (only in tests), only the end rebases.
  M rebase = c.rebase ? T::Less(norm, dzNorm) : T::MaskOf(0);
  if constexpr (kEnds) rebase = T::Or(rebase, ends);
  M hand;
  // A branch, not a blend: rebasing is rare, and a predicted branch keeps
  // the tests for it off the path from one step to the next.
  rebasedBits = T::Bits(rebase);
  if (rebasedBits == 0) {
    g.reference = g.ahead;
    g.ahead = {{furtherRe}, {furtherIm}};
    hand = T::Less(dzNorm, handBelow);
  } else {
    // A rebased lane's difference is z, at m = 0.
    g.dz = {{T::Blend(g.dz.re.v, z.re.v, rebase)}, {T::Blend(g.dz.im.v, z.im.v, rebase)}};
    g.reference = {{T::Blend(g.ahead.re.v, c.zero, rebase)}, {T::Blend(g.ahead.im.v, c.zero, rebase)}};
    g.ahead = {{T::Blend(furtherRe, c.firstRe, rebase)}, {T::Blend(furtherIm, c.firstIm, rebase)}};
    hand = T::Less(T::Blend(dzNorm, norm, rebase), T::Blend(handBelow, c.firstHandBelow, rebase));
  }
  escapedBits = T::Bits(escaped);
  return T::Bits(T::Or(escaped, hand));
}

// The first step count after t at which a lane's m reaches the end of the
// reference, or an active lane's n the limit: until then no lane need be
// looked at for either.
template <class S>
std::int64_t NextEvent(const LaneJob& job, const S& s, int slots, unsigned active) {
  std::int64_t next = job.end - s.m[0];
  for (int slot = 0; slot < slots; ++slot) {
    next = next < job.end - s.m[slot] ? next : job.end - s.m[slot];
    if ((active >> slot & 1) != 0) next = next < job.limit - s.n[slot] ? next : job.limit - s.n[slot];
  }
  return next;
}

// One step of each of the groups, their bits gathered a lane to a bit; with
// kEnds, `ends` marks the lanes whose step reaches the end of the reference.
template <class T, char kLetter, bool kEnds, int kGroups, class S>
[[gnu::always_inline]] inline void StepGroups(const Constants<T>& c, Group<T> (&groups)[kGroups], const S& s,
                                              std::int64_t t, unsigned ends, unsigned& attention,
                                              unsigned& escaped, unsigned& rebased) {
  constexpr int kLanes = T::kLanes;
  for (int k = 0; k < kGroups; ++k) {
    int e = 0, r = 0;
    const typename T::M laneEnds = T::MaskOf(static_cast<int>(ends >> (k * kLanes) & ((1u << kLanes) - 1)));
    attention |=
        static_cast<unsigned>(Step<T, kLetter, kEnds>(c, groups[k], s.m + k * kLanes, t, laneEnds, e, r))
        << (k * kLanes);
    escaped |= static_cast<unsigned>(e) << (k * kLanes);
    rebased |= static_cast<unsigned>(r) << (k * kLanes);
  }
}

// Steps kGroups vectors of lanes side by side, whose steps do not wait for
// each other.
template <class T, char kLetter, int kGroups>
std::int64_t StepLanes(const LaneJob& job) {
  constexpr int kLanes = T::kLanes;
  constexpr int kSlots = kGroups * kLanes;
  static_assert(kSlots <= kMostLanes && kSlots <= 32);
  const Constants<T> c{.bound = T::Splat(job.bound),
                       .zero = T::Splat(0.0),
                       .firstRe = T::Splat(job.orbitRe[1]),
                       .firstIm = T::Splat(job.orbitIm[1]),
                       .firstHandBelow = T::Splat(job.handBelow[0]),
                       .records = job.records,
                       .rebase = job.rebase};
  Spill<T, kSlots> s;
  unsigned active = 0;  // a bit per slot that holds a pixel
  LanePixel p{};
  for (int slot = 0; slot < kSlots; ++slot) {
    if (job.hand(job.owner, slot, p, true)) {
      Put(job, s, slot, p, 0);
      active |= 1u << slot;
    } else {
      // An empty lane steps from 0 on the reference's first point, harmlessly.
      Put(job, s, slot, LanePixel{}, 0);
    }
  }
  Group<T> groups[kGroups];
  for (int k = 0; k < kGroups; ++k) groups[k].Load(s, k * kLanes);
  std::int64_t steps = 0;
  std::int64_t t = 0;  // steps taken by every lane
  std::int64_t event = NextEvent(job, s, kSlots, active);
  while (active != 0) {
    unsigned attention = 0, escaped = 0, rebased = 0, atLimit = 0;
    if (t + 1 != event) {
      StepGroups<T, kLetter, false>(c, groups, s, t, 0, attention, escaped, rebased);
    } else {
      unsigned ends = 0;
      for (int slot = 0; slot < kSlots; ++slot) {
        if (t + 1 + s.m[slot] == job.end) ends |= 1u << slot;
        if (t + 1 + s.n[slot] == job.limit) atLimit |= 1u << slot;
      }
      StepGroups<T, kLetter, true>(c, groups, s, t, ends, attention, escaped, rebased);
    }
    ++t;
    for (unsigned left = rebased; left != 0; left &= left - 1) s.m[__builtin_ctz(left)] = -t;
    steps += __builtin_popcount(active);
    attention = (attention | atLimit) & active;
    if (attention == 0) {
      if (t == event) event = NextEvent(job, s, kSlots, active);
      continue;
    }
    for (int k = 0; k < kGroups; ++k) groups[k].Store(s, k * kLanes);
    for (unsigned left = attention; left != 0; left &= left - 1) {
      const int slot = __builtin_ctz(left);
      p = {s.dzRe[slot],
           s.dzIm[slot],
           s.dcRe[slot],
           s.dcIm[slot],
           t + s.n[slot],
           t + s.m[slot],
           (escaped >> slot & 1) != 0,
           (atLimit >> slot & 1) != 0};
      if (job.hand(job.owner, slot, p, false)) {
        Put(job, s, slot, p, t);
      } else {
        Put(job, s, slot, LanePixel{}, t);
        active &= ~(1u << slot);
      }
    }
    for (int k = 0; k < kGroups; ++k) groups[k].Load(s, k * kLanes);
    event = NextEvent(job, s, kSlots, active);
  }
  return steps;
}

template <class T, int kGroups>
std::int64_t StepLanesAnyFormula(const LaneJob& job) {
  switch (job.formulaLetter) {
    case 'c':
      return StepLanes<T, 'c', kGroups>(job);
    case 'e':
      return StepLanes<T, 'e', kGroups>(job);
    default:
      return StepLanes<T, 'f', kGroups>(job);
  }
}

}  // namespace tesvo::deep_simd
