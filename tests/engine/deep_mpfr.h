// The plain high-precision count a programmer would write for a deep view:
// every pixel's point in MPFR, z from 0 through the formula in MPFR, the same
// count rule. The tests hold the deep engine to it; the benchmark times it.
#pragma once

#include <gmp.h>
#include <mpfr.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "engine/deep_view.h"

namespace tesvo::testing {

class Big {
 public:
  explicit Big(long precision, double value = 0) {
    mpfr_init2(x_, precision);
    mpfr_set_d(x_, value, MPFR_RNDN);
  }
  Big(long precision, const std::string& text) {
    mpfr_init2(x_, precision);
    mpfr_set_str(x_, text.c_str(), 10, MPFR_RNDN);
  }
  Big(const Big& other) {
    mpfr_init2(x_, mpfr_get_prec(other.x_));
    mpfr_set(x_, other.x_, MPFR_RNDN);
  }
  Big& operator=(const Big& other) {
    mpfr_set(x_, other.x_, MPFR_RNDN);
    return *this;
  }
  ~Big() { mpfr_clear(x_); }
  mpfr_ptr operator*() const { return const_cast<mpfr_ptr>(x_); }
  std::string Decimal(int digits) const {
    std::vector<char> text(static_cast<std::size_t>(digits) + 32);
    mpfr_snprintf(text.data(), text.size(), "%.*Re", digits, x_);
    return text.data();
  }

 private:
  mpfr_t x_;
};

struct BigComplex {
  Big re, im;
  explicit BigComplex(long precision) : re(precision), im(precision) {}
};

// a = a * b (a and b may be the same), with t as scratch.
inline void Multiply(BigComplex& a, const BigComplex& b, BigComplex& t) {
  mpfr_mul(*t.re, *a.re, *b.re, MPFR_RNDN);
  mpfr_mul(*t.im, *a.im, *b.im, MPFR_RNDN);
  mpfr_sub(*t.re, *t.re, *t.im, MPFR_RNDN);
  mpfr_mul(*t.im, *a.re, *b.im, MPFR_RNDN);
  mpfr_mul(*a.im, *a.im, *b.re, MPFR_RNDN);
  mpfr_add(*a.im, *a.im, *t.im, MPFR_RNDN);
  mpfr_set(*a.re, *t.re, MPFR_RNDN);
}

inline void Add(BigComplex& a, const BigComplex& b) {
  mpfr_add(*a.re, *a.re, *b.re, MPFR_RNDN);
  mpfr_add(*a.im, *a.im, *b.im, MPFR_RNDN);
}

// z = f(z) + c for the formula.
struct BigStepper {
  BigComplex z2, z3, t;
  explicit BigStepper(long precision) : z2(precision), z3(precision), t(precision) {}
  void Step(char letter, BigComplex& z, const BigComplex& c) {
    z2 = z;
    Multiply(z2, z, t);
    if (letter == 'c') {
      z = z2;
    } else {
      z3 = z2;
      Multiply(z3, z, t);
      Multiply(z2, z2, t);
      z = z2;
      if (letter == 'f') Add(z, z3);
    }
    Add(z, c);
  }
};

// Bits for a view: well below a pixel at the depth, and more for long orbits.
inline long PlainPrecision(const DeepView& view) {
  Big width(64, view.width);
  return 128 - mpfr_get_exp(*width) + 2 * static_cast<long>(std::log2(static_cast<double>(view.limit) + 1));
}

// The count of the view's method from the last iterate z, or from z_limit
// (previous) and z_(limit + 1) (z) when the orbit did not escape. The
// convergence measure is taken of the iterates rounded to doubles, as the
// engine holds them; the sign of an imaginary part is the exact one.
inline std::uint32_t PlainMethodCount(const DeepView& view, std::int64_t n, bool escaped, const BigComplex& z,
                                      const BigComplex& previous) {
  if (view.method == kEscapeTime) return escaped ? static_cast<std::uint32_t>(n) : 0;
  if (view.method == kDecomposition) return mpfr_sgn(*z.im) > 0 ? 0 : 100;
  if (escaped) return 0;
  const double dre = mpfr_get_d(*previous.re, MPFR_RNDN) - mpfr_get_d(*z.re, MPFR_RNDN);
  const double dim = mpfr_get_d(*previous.im, MPFR_RNDN) - mpfr_get_d(*z.im, MPFR_RNDN);
  const double m =
      std::min((dre * dre + dim * dim) * view.convergenceFactor, static_cast<double>(view.limit));
  return m >= 0 ? static_cast<std::uint32_t>(m) : 0;
}

// Pixel (i, j)'s count, pixel by pixel in MPFR.
inline std::uint32_t PlainCount(const DeepView& view, int i, int j, long precision) {
  BigComplex c(precision), z(precision);
  Big step(precision, view.width), bound(precision, view.bound), norm(precision), t(precision);
  mpfr_div_ui(*step, *step, static_cast<unsigned long>(view.columns), MPFR_RNDN);
  mpfr_set_str(*c.re, view.centreRe.c_str(), 10, MPFR_RNDN);
  mpfr_set_str(*c.im, view.centreIm.c_str(), 10, MPFR_RNDN);
  mpfr_mul_d(*t, *step, (i + 0.5) - 0.5 * view.columns, MPFR_RNDN);
  mpfr_add(*c.re, *c.re, *t, MPFR_RNDN);
  mpfr_mul_d(*t, *step, 0.5 * view.rows - (j + 0.5), MPFR_RNDN);
  mpfr_add(*c.im, *c.im, *t, MPFR_RNDN);
  BigStepper stepper(precision);
  for (std::int64_t n = 1; n <= view.limit; ++n) {
    stepper.Step(view.formulaLetter, z, c);
    mpfr_sqr(*norm, *z.im, MPFR_RNDN);
    mpfr_sqr(*t, *z.re, MPFR_RNDN);
    mpfr_add(*norm, *norm, *t, MPFR_RNDN);
    if (mpfr_greater_p(*norm, *bound)) return PlainMethodCount(view, n, true, z, z);
  }
  if (view.method == kEscapeTime) return 0;
  const BigComplex previous = z;
  stepper.Step(view.formulaLetter, z, c);
  return PlainMethodCount(view, view.limit, false, z, previous);
}

// How near pixel (i, j)'s orbit comes to the bound, in the plain loop's
// arithmetic: the least over steps n, up to its escape or the limit, of
// | |z_n|^2 - bound | / (2 |z_n| |dz_n/dc| 2^-53 |offset|), the distance from
// the bound over what moving c by a double's rounding of the pixel's offset
// from the centre changes |z_n|^2 by, to first order. dz_n/dc is only a
// size: doubles from the iterates rounded to doubles, with an exponent of its
// own, as it outgrows a double's range at depth. A pixel whose orbit winds
// about for thousands of steps can come within a fraction of one such
// rounding, and then its count is not fixed by an offset held in doubles. Its
// count (escape time) comes along.
struct PlainApproach {
  std::uint32_t count = 0;
  double roundings = 0;  // the least distance, in roundings of the offset
};

inline PlainApproach PlainNearestApproach(const DeepView& view, int i, int j, long precision) {
  BigComplex c(precision), z(precision), offset(precision);
  Big step(precision, view.width), bound(precision, view.bound), norm(precision), t(precision);
  mpfr_div_ui(*step, *step, static_cast<unsigned long>(view.columns), MPFR_RNDN);
  mpfr_mul_d(*offset.re, *step, (i + 0.5) - 0.5 * view.columns, MPFR_RNDN);
  mpfr_mul_d(*offset.im, *step, 0.5 * view.rows - (j + 0.5), MPFR_RNDN);
  mpfr_set_str(*c.re, view.centreRe.c_str(), 10, MPFR_RNDN);
  mpfr_set_str(*c.im, view.centreIm.c_str(), 10, MPFR_RNDN);
  Add(c, offset);
  // A rounding of the offset, 2^-53 |offset|, as unit * 2^unitExponent.
  mpfr_hypot(*t, *offset.re, *offset.im, MPFR_RNDN);
  long unitExponent = 0;
  const double unit = mpfr_get_d_2exp(&unitExponent, *t, MPFR_RNDN);
  unitExponent -= 53;
  // dz_n/dc as (dRe, dIm) * 2^dExponent.
  double dRe = 0, dIm = 0;
  long dExponent = 0;
  double least = std::numeric_limits<double>::infinity();
  BigStepper stepper(precision);
  PlainApproach approach;
  for (std::int64_t n = 1; n <= view.limit; ++n) {
    // d = f'(z) d + 1, from the z before the step.
    const double x = mpfr_get_d(*z.re, MPFR_RNDN), y = mpfr_get_d(*z.im, MPFR_RNDN);
    double sRe = 2 * x, sIm = 2 * y;  // f'(z)
    if (view.formulaLetter != 'c') {
      const double x2 = x * x - y * y, y2 = 2 * x * y;
      const double x3 = x2 * x - y2 * y, y3 = x2 * y + y2 * x;
      sRe = 4 * x3, sIm = 4 * y3;
      if (view.formulaLetter == 'f') sRe += 3 * x2, sIm += 3 * y2;
    }
    const double nextRe = sRe * dRe - sIm * dIm + std::ldexp(1.0, static_cast<int>(-dExponent));
    dIm = sRe * dIm + sIm * dRe;
    dRe = nextRe;
    if (std::fabs(dRe) + std::fabs(dIm) > 0x1p500) {
      dRe = std::ldexp(dRe, -500), dIm = std::ldexp(dIm, -500);
      dExponent += 500;
    }
    stepper.Step(view.formulaLetter, z, c);
    mpfr_sqr(*norm, *z.im, MPFR_RNDN);
    mpfr_sqr(*t, *z.re, MPFR_RNDN);
    mpfr_add(*norm, *norm, *t, MPFR_RNDN);
    mpfr_sub(*t, *norm, *bound, MPFR_RNDN);
    // | |z_n|^2 - bound | / (2 |z_n| |d| unit), its exponents apart.
    const double size = 2 * std::sqrt(mpfr_get_d(*norm, MPFR_RNDN)) * std::hypot(dRe, dIm) * unit;
    const double gap = std::fabs(mpfr_get_d(*t, MPFR_RNDN));
    const double log2Roundings = std::log2(gap / size) - static_cast<double>(dExponent + unitExponent);
    least = std::min(least, std::exp2(std::min(log2Roundings, 1000.0)));
    if (mpfr_greater_p(*norm, *bound)) {
      approach.count = static_cast<std::uint32_t>(n);
      break;
    }
  }
  approach.roundings = least;
  return approach;
}

}  // namespace tesvo::testing

namespace tesvo::testing {

// A root of z_a(c) - z_b(c) (z_0 = 0) by Newton's method from `start`:
// a nucleus of period a when b = 0, a Misiurewicz point when b > 0.
inline BigComplex NewtonPoint(char letter, double re, double im, int a, int b, long precision) {
  BigComplex c(precision), z(precision), dz(precision), g(precision), dg(precision), t(precision),
      u(precision), one(precision);
  mpfr_set_d(*c.re, re, MPFR_RNDN);
  mpfr_set_d(*c.im, im, MPFR_RNDN);
  mpfr_set_ui(*one.re, 1, MPFR_RNDN);
  BigStepper stepper(precision);
  for (int iteration = 0; iteration < 64 + precision / 8; ++iteration) {
    mpfr_set_zero(*z.re, 1);
    mpfr_set_zero(*z.im, 1);
    dz = z;
    for (int n = 1; n <= a; ++n) {
      // dz = f'(z) dz + 1, then z = f(z) + c
      u = z;
      if (letter != 'c') {
        Multiply(u, z, t);
        Multiply(u, z, t);
        mpfr_mul_ui(*u.re, *u.re, 4, MPFR_RNDN);
        mpfr_mul_ui(*u.im, *u.im, 4, MPFR_RNDN);
        if (letter == 'f') {
          BigComplex s = z;
          Multiply(s, z, t);
          mpfr_mul_ui(*s.re, *s.re, 3, MPFR_RNDN);
          mpfr_mul_ui(*s.im, *s.im, 3, MPFR_RNDN);
          Add(u, s);
        }
      } else {
        mpfr_mul_ui(*u.re, *u.re, 2, MPFR_RNDN);
        mpfr_mul_ui(*u.im, *u.im, 2, MPFR_RNDN);
      }
      Multiply(dz, u, t);
      Add(dz, one);
      stepper.Step(letter, z, c);
      if (n == b) {
        g = z;
        dg = dz;
      }
    }
    // c -= (z - g) / (dz - dg)
    mpfr_sub(*z.re, *z.re, *g.re, MPFR_RNDN);
    mpfr_sub(*z.im, *z.im, *g.im, MPFR_RNDN);
    mpfr_sub(*dz.re, *dz.re, *dg.re, MPFR_RNDN);
    mpfr_sub(*dz.im, *dz.im, *dg.im, MPFR_RNDN);
    Big norm(precision), x(precision);
    mpfr_sqr(*norm, *dz.re, MPFR_RNDN);
    mpfr_sqr(*x, *dz.im, MPFR_RNDN);
    mpfr_add(*norm, *norm, *x, MPFR_RNDN);
    mpfr_neg(*dz.im, *dz.im, MPFR_RNDN);
    Multiply(z, dz, t);  // (z - g) * conj(dz - dg)
    mpfr_div(*z.re, *z.re, *norm, MPFR_RNDN);
    mpfr_div(*z.im, *z.im, *norm, MPFR_RNDN);
    mpfr_sub(*c.re, *c.re, *z.re, MPFR_RNDN);
    mpfr_sub(*c.im, *c.im, *z.im, MPFR_RNDN);
  }
  return c;
}

}  // namespace tesvo::testing
