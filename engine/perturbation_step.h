// One step of a pixel's difference from the reference orbit, for each formula
// the deep engine counts: dz -> f(Z + dz) - f(Z) + dc, with f(Z + dz) - f(Z)
// expanded as a polynomial in dz so that nothing cancels. Written once over
// doubles and FloatExp; every product and sum in the order written.
#pragma once

#include <type_traits>

#include "engine/float_exp.h"

namespace tesvo {

// The coefficients of f(Z + dz) - f(Z) = a1 dz + a2 dz^2 + a3 dz^3 + dz^4 at
// one point of the reference orbit (for z^2: a1 dz + dz^2), in doubles or
// lanes of doubles D.
template <class D = double>
struct StepCoefficients {
  Cx<D> a1, a2, a3;
};

template <char kLetter, class D>
inline StepCoefficients<D> Coefficients(const Cx<D>& z) {
  if constexpr (kLetter == 'c') {
    return {{z.re + z.re, z.im + z.im}, {}, {}};
  } else {
    const Cx<D> z2 = z * z;
    const Cx<D> z3 = z2 * z;
    if constexpr (kLetter == 'e') {
      return {Scaled(z3, 4.0), Scaled(z2, 6.0), Scaled(z, 4.0)};
    } else {
      static_assert(kLetter == 'f');
      const Cx<D> four = Scaled(z, 4.0);
      return {Scaled(z3, 4.0) + Scaled(z2, 3.0), Scaled(z2, 6.0) + Scaled(z, 3.0), {four.re + 1.0, four.im}};
    }
  }
}

// The next difference; T is FloatExp, or D itself.
template <char kLetter, class T, class D>
inline Cx<T> DifferenceStep(const StepCoefficients<D>& k, const Cx<T>& dz, const Cx<T>& dc) {
  const auto as = [](const Cx<D>& a) {
    if constexpr (std::is_same_v<T, FloatExp>) {
      return ToFloatExp(a);
    } else {
      return a;
    }
  };
  if constexpr (kLetter == 'c') {
    return dz * (as(k.a1) + dz) + dc;
  } else {
    return dz * (as(k.a1) + dz * (as(k.a2) + dz * (as(k.a3) + dz))) + dc;
  }
}

// Bounds of the coefficients for the bilinear skips: below |a1|, and above
// the sum of the other coefficients' moduli.
template <char kLetter>
inline void CoefficientBounds(const StepCoefficients<>& k, double& a1Below, double& restAbove) {
  a1Below = LowerAbs(k.a1);
  restAbove = kLetter == 'c' ? 1.0 : (UpperAbs(k.a2) + UpperAbs(k.a3)) + 1.0;
}

}  // namespace tesvo
