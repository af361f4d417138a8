// Plain difference steps in doubles on lanes of pixels side by side: D is a
// double (one lane) or a GCC vector of doubles, I the matching 64-bit
// integers. Each lane rounds exactly as one double does, in the same order,
// so every lane count gives the same counts. Whatever a lane cannot do as a
// plain step (a skip may start, the difference left the doubles' range, the
// pixel is done) it hands to PerturbationCounter::Advance and takes the next
// pixel.
#pragma once

#include <cstdint>
#include <type_traits>

#include "engine/perturbation.h"
#include "engine/perturbation_step.h"

namespace tesvo::lanes {

// Differences below this are FloatExp: its square, in the rebasing test, is
// still far above the subnormals.
inline constexpr double kSmall = 0x1p-500;

template <class D>
inline constexpr int kWidth = static_cast<int>(sizeof(D) / sizeof(double));

template <class M, class V>
inline V Select(const M& mask, const V& a, const V& b) {
  return mask ? a : b;
}

template <class D>
inline D Abs(const D& x) {
  return Select(x < 0, -x, x);
}

template <class D, class I>
inline Cx<D> Gather(const Cx<double>* orbit, const I& m) {
  if constexpr (kWidth<D> == 1) {
    return orbit[m];
  } else {
    Cx<D> z;
    for (int k = 0; k < kWidth<D>; ++k) {
      z.re[k] = orbit[m[k]].re;
      z.im[k] = orbit[m[k]].im;
    }
    return z;
  }
}

struct Context {
  const Cx<double>* orbit;
  std::int64_t end;           // the orbit's last point
  const double* firstRadius;  // the radius of the shortest skip from each m = 1 + 8 j
  std::int64_t firstSkips;
  std::int64_t limit;
  double bound;
  bool rebase;
  bool skips;
};

// One plain step of every lane and the tests after it: rebases where the
// pixel needs it, and gives the mask of lanes that the scalar code must see
// (escaped, at the limit, small, or where a skip may start).
template <char kLetter, class D, class I, class M>
inline void PlainStep(const Context& c, Cx<D>& dz, const Cx<D>& dc, I& m, const I& n, M& escaped, M& atLimit,
                      M& attention) {
  dz = DifferenceStep<kLetter>(Coefficients<kLetter>(Gather<D>(c.orbit, m)), dz, dc);
  m = m + 1;
  const Cx<D> z = Gather<D>(c.orbit, m) + dz;
  const D norm = z.im * z.im + z.re * z.re;
  escaped = norm > c.bound;
  atLimit = n == c.limit;
  const D dzNorm = dz.im * dz.im + dz.re * dz.re;
  const auto rebase = c.rebase ? (m == c.end) | (norm < dzNorm) : (m == c.end);
  if constexpr (kWidth<D> == 1) {
    // A branch, not a blend: rebasing is rare, and a predicted branch keeps
    // the tests for it off the path from one step to the next.
    if (rebase) {
      dz = z;
      m = 0;
    }
  } else {
    dz.re = Select(rebase, z.re, dz.re);
    dz.im = Select(rebase, z.im, dz.im);
    m = Select(rebase, m - m, m);
  }
  const D re = Abs(dz.re), im = Abs(dz.im);
  const auto small = Select(re < im, im, re) < kSmall;
  // The shortest skip from m has the widest radius of all skips from m.
  const I j = (m - 1) >> 3;
  const auto aligned = (m >= 1) & (((m - 1) & 7) == 0) & (j < c.firstSkips);
  D radius = D{} + 0.0;
  if constexpr (kWidth<D> == 1) {
    if (aligned) radius = c.firstRadius[j];
  } else {
    for (int k = 0; k < kWidth<D>; ++k)
      if (aligned[k]) radius[k] = c.firstRadius[j[k]];
  }
  const M maySkip = c.skips ? (re + im < radius) : (m < 0);
  attention = escaped | atLimit | small | maySkip;
}

// Counts pixels on the lanes of D: each lane takes the next pixel when its own is done.
template <char kLetter, class D, class I, class M>
void CountOnLanes(const PerturbationCounter& counter, const Context& context, const Cx<FloatExp>* dcs,
                  std::uint32_t* out, int count, StepTotals& totals) {
  // Copies that no store through `out` or `totals` can change: the loop keeps
  // them in registers.
  const Context c = context;
  std::int64_t steps = 0;
  constexpr int kLanes = kWidth<D>;
  Cx<D> dz{}, dc{};
  I m{}, n{};
  int pixel[kLanes];
  int next = 0;
  int active = 0;
  const auto set = [](auto& lane, int k, auto value) {
    if constexpr (kLanes == 1) {
      lane = value;
    } else {
      lane[k] = value;
    }
  };
  const auto get = [](const auto& lane, int k) {
    if constexpr (kLanes == 1) {
      return lane;
    } else {
      return lane[k];
    }
  };
  // Gives lane k the next pixel that has a plain step to take; false if none is left.
  const auto take = [&](int k, PixelState& s) {
    for (;;) {
      if (next == count) {
        pixel[k] = -1;
        set(dz.re, k, 0.0), set(dz.im, k, 0.0), set(dc.re, k, 0.0), set(dc.im, k, 0.0);
        set(m, k, std::int64_t{0}), set(n, k, std::int64_t{0});
        return false;
      }
      s = PixelState{.dz = {}, .dc = dcs[next]};
      if (!counter.Advance(s, totals)) break;
      out[next++] = s.count;
    }
    pixel[k] = next++;
    return true;
  };
  const auto load = [&](int k, const PixelState& s) {
    set(dz.re, k, s.dz.re.ToDouble()), set(dz.im, k, s.dz.im.ToDouble());
    set(dc.re, k, s.dc.re.ToDouble()), set(dc.im, k, s.dc.im.ToDouble());
    set(m, k, s.m), set(n, k, s.n);
  };
  for (int k = 0; k < kLanes; ++k) {
    PixelState s;
    if (take(k, s)) {
      load(k, s);
      ++active;
    }
  }
  while (active > 0) {
    n = n + 1;
    M escaped, atLimit, attention;
    PlainStep<kLetter>(c, dz, dc, m, n, escaped, atLimit, attention);
    steps += active;
    if constexpr (kLanes == 1) {
      if (!attention) continue;
    } else {
      bool any = false;
      for (int k = 0; k < kLanes; ++k) any = any || (attention[k] != 0 && pixel[k] >= 0);
      if (!any) continue;
    }
    for (int k = 0; k < kLanes; ++k) {
      if (!get(attention, k) || pixel[k] < 0) continue;
      PixelState s{.dz = {FloatExp::Of(get(dz.re, k)), FloatExp::Of(get(dz.im, k))},
                   .dc = dcs[pixel[k]],
                   .n = get(n, k),
                   .m = get(m, k)};
      if (get(escaped, k)) {
        out[pixel[k]] = static_cast<std::uint32_t>(s.n);
      } else if (get(atLimit, k)) {
        out[pixel[k]] = 0;
      } else if (!counter.Advance(s, totals)) {
        load(k, s);
        continue;
      } else {
        out[pixel[k]] = s.count;
      }
      if (take(k, s)) {
        load(k, s);
      } else {
        --active;
      }
    }
  }
  totals.steps += steps;
}

}  // namespace tesvo::lanes
