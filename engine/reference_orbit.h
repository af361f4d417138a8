// The orbit of a deep view's reference point, computed once per view in
// MPFR and kept as doubles: every pixel's orbit is counted as a difference
// from it. MPFR rounds correctly, so the same view gives the same orbit on
// every machine.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "engine/float_exp.h"

namespace tesvo {

struct ReferenceOrbit {
  // Z_0 = 0, Z_1 = C, ... Z_N, each rounded to the nearest double. The orbit
  // ends at N: the limit, the first escape, or a point so near 0 that the
  // differences' coefficients would underflow, where pixels start over.
  std::vector<Cx<double>> z;
  Cx<FloatExp> last;  // Z_N, kept whole however small

  std::int64_t Length() const { return static_cast<std::int64_t>(z.size()) - 1; }
};

// A reference orbit ends where both parts of Z_n are below 2^-kNearZeroExponent.
inline constexpr int kNearZeroExponent = 320;

// The orbit of formula `letter` from z = 0 at c = re + im i (decimal
// strings), in `precision` bits, until `limit` steps or im^2 + re^2 > bound.
// progress gets the share done now and then; when it returns false the orbit
// stops where it is.
ReferenceOrbit ComputeReferenceOrbit(char letter, const std::string& re, const std::string& im,
                                     long precision, std::int64_t limit, double bound,
                                     const std::function<bool(double)>& progress = {});

}  // namespace tesvo
