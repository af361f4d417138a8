// The eight formulas' steps and the escape test, each written once over a
// traits type T: a scalar one (plain doubles) or one per instruction set
// (vectors of lanes). T gives V, Splat, Greater, Sqrt, Sin, Cos, Exp and Atan.
// Invariant: every rounding happens in the order written here, whatever T is,
// so that every path gives the same counts bit for bit.
#pragma once

#include <cmath>

namespace tesvo {

// The scalar traits: plain doubles, with the sin, cos, exp and atan of Maths.
template <class Maths>
struct Scalar : Maths {
  using V = double;
  static double Splat(double x) { return x; }
  static bool Greater(double a, double b) { return a > b; }
  static double Sqrt(double x) { return std::sqrt(x); }
};

// z at the start of a Mandelbrot orbit: near 0, which some formulas cannot
// start from.
inline constexpr double kMandelbrotStart = 1e-19;

// Whether formula kLetter's step calls sin, cos, exp or atan.
template <char kLetter>
inline constexpr bool kTranscendental = kLetter != 'c' && kLetter != 'e' && kLetter != 'f';

// One step z -> f(z, c) of formula kLetter: z = a + bi, c = p + qi. g is
// a * a - b * b, which the caller has computed already for the escape test.
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
        // A square root of z^3 built from the one-argument arctangent: for
        // Re z^3 < 0 it is a root of -z^3, which gives this formula its pictures.
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

// The escape test of z = a + bi from its squares: Im(z)^2 + Re(z)^2 > bound,
// summed in that order.
template <class T>
inline auto Escapes(typename T::V aa, typename T::V bb, typename T::V bound) {
  return T::Greater(bb + aa, bound);
}

}  // namespace tesvo
