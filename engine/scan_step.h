// One step of the formula on vectors of lanes, and the escape test after it,
// for the opening and the lanes alike. State: the iterate a + bi and g, which
// is a * a - b * b of that iterate whenever the step is taken; the step and
// the escape test are the ones the scalar path takes (formula_step.h).
#pragma once

#include "engine/formula_step.h"

namespace tesvo::simd {

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

// z -> f(z, c) on every lane.
template <class T, char kLetter>
[[gnu::always_inline]] inline void StepLanes(typename T::V& a, typename T::V& b, typename T::V& g,
                                             typename T::V p, typename T::V q) {
  if constexpr (!kCarriesSquares<T>) g = SquareDifference(a, b);
  Step<T, kLetter>(a, b, g, p, q);
}

// The lanes whose iterate a + bi has escaped; keeps g for the next step.
template <class T>
[[gnu::always_inline]] inline typename T::V EscapedLanes(typename T::V a, typename T::V b, typename T::V& g,
                                                         typename T::V bound) {
  const typename T::V aa = a * a;
  const typename T::V bb = b * b;
  if constexpr (kCarriesSquares<T>) g = aa - bb;
  return Escapes<T>(aa, bb, bound);
}

}  // namespace tesvo::simd
