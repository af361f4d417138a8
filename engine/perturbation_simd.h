// The kernel of the deep engine's plain steps, written once over a traits
// type T for one instruction set and included only by that set's file. T
// gives V (doubles), I (64-bit integers), M (a mask of lanes), kLanes, and
// Splat, SplatIndex, Load, LoadIndex, Store, StoreIndex, Add, Subtract,
// Multiply, Less, Greater, Equal, Or, Bits, Blend, BlendIndex and Records.
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
// lanes: slot g * kLanes + l is lane l of group g.
template <class T, int kSlots>
struct alignas(64) Spill {
  double dzRe[kSlots], dzIm[kSlots], dcRe[kSlots], dcIm[kSlots];
  double zRe[kSlots], zIm[kSlots];          // Z_m
  double aheadRe[kSlots], aheadIm[kSlots];  // Z_(m + 1)
  std::int64_t n[kSlots], m[kSlots];
};

template <class S>
inline void Put(const LaneJob& job, S& s, int slot, const LanePixel& p) {
  s.dzRe[slot] = p.dzRe, s.dzIm[slot] = p.dzIm, s.dcRe[slot] = p.dcRe, s.dcIm[slot] = p.dcIm;
  s.n[slot] = p.n, s.m[slot] = p.m;
  s.zRe[slot] = job.orbitRe[p.m], s.zIm[slot] = job.orbitIm[p.m];
  s.aheadRe[slot] = job.orbitRe[p.m + 1], s.aheadIm[slot] = job.orbitIm[p.m + 1];
}

// One vector of lanes: the pixels' state between steps.
template <class T>
struct Group {
  Cx<Lanes<T>> dz, dc;
  Cx<Lanes<T>> reference, ahead;  // Z_m, Z_(m + 1)
  typename T::I n, m;

  template <class S>
  void Load(const S& s, int first) {
    dz = {{T::Load(s.dzRe + first)}, {T::Load(s.dzIm + first)}};
    dc = {{T::Load(s.dcRe + first)}, {T::Load(s.dcIm + first)}};
    reference = {{T::Load(s.zRe + first)}, {T::Load(s.zIm + first)}};
    ahead = {{T::Load(s.aheadRe + first)}, {T::Load(s.aheadIm + first)}};
    n = T::LoadIndex(s.n + first), m = T::LoadIndex(s.m + first);
  }

  template <class S>
  void Store(S& s, int first) const {
    T::Store(s.dzRe + first, dz.re.v), T::Store(s.dzIm + first, dz.im.v);
    T::Store(s.dcRe + first, dc.re.v), T::Store(s.dcIm + first, dc.im.v);
    T::Store(s.zRe + first, reference.re.v), T::Store(s.zIm + first, reference.im.v);
    T::Store(s.aheadRe + first, ahead.re.v), T::Store(s.aheadIm + first, ahead.im.v);
    T::StoreIndex(s.n + first, n), T::StoreIndex(s.m + first, m);
  }
};

// The job's settings as vectors.
template <class T>
struct Constants {
  typename T::V bound, zero, firstRe, firstIm, firstHandBelow;
  typename T::I end, limit, one, two, none;
  const double* records;
  bool rebase;
};

// One plain step of every lane of the group; gives the bits of the lanes that
// need the scalar code, and of those that escaped and are at the limit. Each
// lane's record is read a step ahead, from the index it has before it
// rebases: the loads then wait for no step, and a rebased lane takes Z_0 = 0
// and Z_1 instead.
template <class T, char kLetter>
[[gnu::always_inline]] inline int Step(const Constants<T>& c, Group<T>& g, int& escapedBits,
                                       int& atLimitBits) {
  using V = typename T::V;
  using I = typename T::I;
  using M = typename T::M;
  using L = Lanes<T>;
  const I further = T::AddIndex(g.m, c.two);
  V furtherRe, furtherIm, handBelow;
  T::Records(c.records, further, furtherRe, furtherIm, handBelow);
  g.n = T::AddIndex(g.n, c.one);
  g.dz = DifferenceStep<kLetter>(Coefficients<kLetter>(g.reference), g.dz, g.dc);
  g.m = T::AddIndex(g.m, c.one);
  const Cx<L> z = g.ahead + g.dz;
  const V norm = (z.im * z.im + z.re * z.re).v;
  const M escaped = T::Greater(norm, c.bound);
  const M atLimit = T::Equal(g.n, c.limit);
  const V dzNorm = (g.dz.im * g.dz.im + g.dz.re * g.dz.re).v;
  const M rebase = c.rebase ? T::Or(T::Equal(g.m, c.end), T::Less(norm, dzNorm)) : T::Equal(g.m, c.end);
  M hand;
  // A branch, not a blend: rebasing is rare, and a predicted branch keeps
  // the tests for it off the path from one step to the next.
  if (T::Bits(rebase) == 0) {
    g.reference = g.ahead;
    g.ahead = {{furtherRe}, {furtherIm}};
    hand = T::Less(dzNorm, handBelow);
  } else {
    // A rebased lane's difference is z, at m = 0.
    g.dz = {{T::Blend(g.dz.re.v, z.re.v, rebase)}, {T::Blend(g.dz.im.v, z.im.v, rebase)}};
    g.m = T::BlendIndex(g.m, c.none, rebase);
    g.reference = {{T::Blend(g.ahead.re.v, c.zero, rebase)}, {T::Blend(g.ahead.im.v, c.zero, rebase)}};
    g.ahead = {{T::Blend(furtherRe, c.firstRe, rebase)}, {T::Blend(furtherIm, c.firstIm, rebase)}};
    hand = T::Less(T::Blend(dzNorm, norm, rebase), T::Blend(handBelow, c.firstHandBelow, rebase));
  }
  escapedBits = T::Bits(escaped);
  atLimitBits = T::Bits(atLimit);
  return T::Bits(T::Or(T::Or(escaped, atLimit), hand));
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
                       .end = T::SplatIndex(job.end),
                       .limit = T::SplatIndex(job.limit),
                       .one = T::SplatIndex(1),
                       .two = T::SplatIndex(2),
                       .none = T::SplatIndex(0),
                       .records = job.records,
                       .rebase = job.rebase};
  Spill<T, kSlots> s;
  unsigned active = 0;  // a bit per slot that holds a pixel
  LanePixel p{};
  for (int slot = 0; slot < kSlots; ++slot) {
    if (job.hand(job.owner, slot, p, true)) {
      Put(job, s, slot, p);
      active |= 1u << slot;
    } else {
      // An empty lane steps from 0 on the reference's first point, harmlessly.
      Put(job, s, slot, LanePixel{});
    }
  }
  Group<T> groups[kGroups];
  for (int k = 0; k < kGroups; ++k) groups[k].Load(s, k * kLanes);
  std::int64_t steps = 0;
  while (active != 0) {
    unsigned attention = 0, escaped = 0, atLimit = 0;
    for (int k = 0; k < kGroups; ++k) {
      int e = 0, l = 0;
      attention |= static_cast<unsigned>(Step<T, kLetter>(c, groups[k], e, l)) << (k * kLanes);
      escaped |= static_cast<unsigned>(e) << (k * kLanes);
      atLimit |= static_cast<unsigned>(l) << (k * kLanes);
    }
    steps += __builtin_popcount(active);
    attention &= active;
    if (attention == 0) continue;
    for (int k = 0; k < kGroups; ++k) groups[k].Store(s, k * kLanes);
    for (unsigned left = attention; left != 0; left &= left - 1) {
      const int slot = __builtin_ctz(left);
      p = {s.dzRe[slot],
           s.dzIm[slot],
           s.dcRe[slot],
           s.dcIm[slot],
           s.n[slot],
           s.m[slot],
           (escaped >> slot & 1) != 0,
           (atLimit >> slot & 1) != 0};
      if (job.hand(job.owner, slot, p, false)) {
        Put(job, s, slot, p);
      } else {
        Put(job, s, slot, LanePixel{});
        active &= ~(1u << slot);
      }
    }
    for (int k = 0; k < kGroups; ++k) groups[k].Load(s, k * kLanes);
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
