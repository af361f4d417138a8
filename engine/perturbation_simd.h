// The kernel of the deep engine's plain steps, written once over a traits
// type T for one instruction set and included only by that set's file. T
// gives V (doubles), I (64-bit integers), M (a mask of lanes), kLanes, and
// Splat, SplatIndex, Load, LoadIndex, Store, StoreIndex, Add, Subtract,
// Multiply, Less, Greater, Equal, Or, Bits, Blend, BlendIndex, AbsBits and
// Gather. Each lane takes the scalar plain step (perturbation_step.h), every
// product and sum in the same order, so its pixel's count is the same as on
// one lane. Every template here depends on T, which each file defines in an
// anonymous namespace, so copies built with different flags never merge at
// link time; for the same reason no function of the standard library is
// called here (scan_simd.h, cmake/per_isa_symbols.cmake).
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

// The lanes' state in memory, where the handler reads and writes single lanes.
template <class T>
struct alignas(64) Spill {
  double dzRe[T::kLanes], dzIm[T::kLanes], dcRe[T::kLanes], dcIm[T::kLanes];
  double zRe[T::kLanes], zIm[T::kLanes];          // Z_m
  double aheadRe[T::kLanes], aheadIm[T::kLanes];  // Z_(m + 1)
  std::int64_t n[T::kLanes], m[T::kLanes];
};

template <class T>
inline void Put(const LaneJob& job, Spill<T>& s, int lane, const LanePixel& p) {
  s.dzRe[lane] = p.dzRe, s.dzIm[lane] = p.dzIm, s.dcRe[lane] = p.dcRe, s.dcIm[lane] = p.dcIm;
  s.n[lane] = p.n, s.m[lane] = p.m;
  s.zRe[lane] = job.orbitRe[p.m], s.zIm[lane] = job.orbitIm[p.m];
  s.aheadRe[lane] = job.orbitRe[p.m + 1], s.aheadIm[lane] = job.orbitIm[p.m + 1];
}

// An empty lane steps from 0 on the reference's first point, harmlessly.
template <class T>
inline void Clear(const LaneJob& job, Spill<T>& s, int lane) {
  Put(job, s, lane, LanePixel{});
}

// The orbit's points and the skip radii are gathered a step ahead, from the
// index each lane has before it rebases: the gathers then wait for no step,
// and a rebased lane takes Z_0 = 0 and Z_1 instead.
template <class T, char kLetter>
std::int64_t StepLanes(const LaneJob& job) {
  using V = typename T::V;
  using I = typename T::I;
  using M = typename T::M;
  using L = Lanes<T>;
  constexpr int kLanes = T::kLanes;
  const double* const orbitRe = job.orbitRe;
  const double* const orbitIm = job.orbitIm;
  const double* const skipRadius = job.skipRadius;
  const bool rebaseNear = job.rebase;
  Spill<T> s;
  int active = 0;  // a bit per lane that holds a pixel
  LanePixel p{};
  for (int lane = 0; lane < kLanes; ++lane) {
    if (job.hand(job.owner, lane, p, true)) {
      Put(job, s, lane, p);
      active |= 1 << lane;
    } else {
      Clear(job, s, lane);
    }
  }
  const V bound = T::Splat(job.bound), small = T::Splat(kSmallDifference), zero = T::Splat(0.0);
  const V firstRe = T::Splat(orbitRe[1]), firstIm = T::Splat(orbitIm[1]);
  const I end = T::SplatIndex(job.end), limit = T::SplatIndex(job.limit), one = T::SplatIndex(1),
          two = T::SplatIndex(2), none = T::SplatIndex(0);
  Cx<L> dz{{T::Load(s.dzRe)}, {T::Load(s.dzIm)}}, dc{{T::Load(s.dcRe)}, {T::Load(s.dcIm)}};
  Cx<L> reference{{T::Load(s.zRe)}, {T::Load(s.zIm)}}, ahead{{T::Load(s.aheadRe)}, {T::Load(s.aheadIm)}};
  I n = T::LoadIndex(s.n), m = T::LoadIndex(s.m);
  std::int64_t steps = 0;
  while (active != 0) {
    const I further = T::AddIndex(m, two);
    const V furtherRe = T::Gather(orbitRe, further), furtherIm = T::Gather(orbitIm, further);
    n = T::AddIndex(n, one);
    dz = DifferenceStep<kLetter>(Coefficients<kLetter>(reference), dz, dc);
    m = T::AddIndex(m, one);
    const V radius = T::Gather(skipRadius, m);
    const Cx<L> z = ahead + dz;
    const V norm = (z.im * z.im + z.re * z.re).v;
    const M escaped = T::Greater(norm, bound);
    const M atLimit = T::Equal(n, limit);
    const V dzNorm = (dz.im * dz.im + dz.re * dz.re).v;
    const M rebase = rebaseNear ? T::Or(T::Equal(m, end), T::Less(norm, dzNorm)) : T::Equal(m, end);
    // A branch, not a blend: rebasing is rare, and a predicted branch keeps
    // the tests for it off the path from one step to the next.
    if (T::Bits(rebase) == 0) {
      reference = ahead;
      ahead = {{furtherRe}, {furtherIm}};
    } else {
      dz = {{T::Blend(dz.re.v, z.re.v, rebase)}, {T::Blend(dz.im.v, z.im.v, rebase)}};
      m = T::BlendIndex(m, none, rebase);
      reference = {{T::Blend(ahead.re.v, zero, rebase)}, {T::Blend(ahead.im.v, zero, rebase)}};
      ahead = {{T::Blend(furtherRe, firstRe, rebase)}, {T::Blend(furtherIm, firstIm, rebase)}};
    }
    const V re = T::AbsBits(dz.re.v), im = T::AbsBits(dz.im.v);
    const M isSmall = T::Less(T::Blend(re, im, T::Less(re, im)), small);
    // No skip starts from m = 0.
    const M maySkip = T::Less(T::Add(re, im), T::Blend(radius, zero, rebase));
    steps += __builtin_popcount(static_cast<unsigned>(active));
    const int attention = T::Bits(T::Or(T::Or(escaped, atLimit), T::Or(isSmall, maySkip))) & active;
    if (attention == 0) continue;
    T::Store(s.dzRe, dz.re.v), T::Store(s.dzIm, dz.im.v), T::Store(s.dcRe, dc.re.v),
        T::Store(s.dcIm, dc.im.v);
    T::Store(s.zRe, reference.re.v), T::Store(s.zIm, reference.im.v);
    T::Store(s.aheadRe, ahead.re.v), T::Store(s.aheadIm, ahead.im.v);
    T::StoreIndex(s.n, n), T::StoreIndex(s.m, m);
    const int escapedBits = T::Bits(escaped), atLimitBits = T::Bits(atLimit);
    for (int left = attention; left != 0; left &= left - 1) {
      const int lane = __builtin_ctz(static_cast<unsigned>(left));
      p = {s.dzRe[lane],
           s.dzIm[lane],
           s.dcRe[lane],
           s.dcIm[lane],
           s.n[lane],
           s.m[lane],
           (escapedBits >> lane & 1) != 0,
           (atLimitBits >> lane & 1) != 0};
      if (job.hand(job.owner, lane, p, false)) {
        Put(job, s, lane, p);
      } else {
        Clear(job, s, lane);
        active &= ~(1 << lane);
      }
    }
    dz = {{T::Load(s.dzRe)}, {T::Load(s.dzIm)}};
    dc = {{T::Load(s.dcRe)}, {T::Load(s.dcIm)}};
    reference = {{T::Load(s.zRe)}, {T::Load(s.zIm)}};
    ahead = {{T::Load(s.aheadRe)}, {T::Load(s.aheadIm)}};
    n = T::LoadIndex(s.n), m = T::LoadIndex(s.m);
  }
  return steps;
}

template <class T>
std::int64_t StepLanesAnyFormula(const LaneJob& job) {
  switch (job.formulaLetter) {
    case 'c':
      return StepLanes<T, 'c'>(job);
    case 'e':
      return StepLanes<T, 'e'>(job);
    default:
      return StepLanes<T, 'f'>(job);
  }
}

}  // namespace tesvo::deep_simd
