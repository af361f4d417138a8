// Bilinear skips over a reference orbit: while a pixel's difference dz is
// small next to the reference, l steps of it are dz -> A dz + B dc. Skips of
// 2^k steps for k >= kFirstLevel start at m = 1 + j 2^k; each holds the
// radius below which it may be taken. Built once per view from the orbit and
// the view's largest |dc|, so every pixel takes the same skips everywhere.
#pragma once

#include <algorithm>
#include <bit>
#include <cstdint>
#include <type_traits>
#include <vector>

#include "engine/float_exp.h"
#include "engine/reference_orbit.h"

namespace tesvo {

struct BlaSkip {
  Cx<FloatExp> a;
  Cx<FloatExp> b;
  FloatExp radius;      // taken only while |dz| (an upper bound of it) is below this
  double radiusDouble;  // the same as the nearest double
  std::int64_t length;
  // a and b as doubles, and whether they are far enough inside a double's
  // range for the skip to be taken in doubles by a difference in doubles.
  Cx<double> aDouble, bDouble;
  bool inDoubles = false;
};

// Whether each part of z is 0 or has its exponent from `lowest` to `highest`.
inline bool WithinExponents(const Cx<FloatExp>& z, std::int64_t lowest, std::int64_t highest) {
  const auto within = [&](FloatExp x) { return x.IsZero() || (x.e >= lowest && x.e <= highest); };
  return within(z.re) && within(z.im);
}

class BlaTable {
 public:
  static constexpr int kFirstLevel = 3;

  // dcAbove: an upper bound of |dc| over the view's pixels.
  BlaTable(char letter, const ReferenceOrbit& orbit, FloatExp dcAbove, double bound);

  // The longest skip from reference point m that dz may take and that is no
  // longer than `most` steps, or null. DzAbove is an upper bound of |dz|.
  template <class T>
  const BlaSkip* Find(std::int64_t m, const T& dzAbove, std::int64_t most) const {
    constexpr std::int64_t mask = (std::int64_t{1} << kFirstLevel) - 1;
    if (m < 1 || ((m - 1) & mask) != 0 || levels_.empty()) return nullptr;
    const std::int64_t j = (m - 1) >> kFirstLevel;
    int top = static_cast<int>(levels_.size()) - 1;
    if (j != 0) top = std::min(top, std::countr_zero(static_cast<std::uint64_t>(j)));
    for (int k = top; k >= 0; --k) {
      const std::vector<BlaSkip>& level = levels_[k];
      const std::uint64_t index = static_cast<std::uint64_t>(j) >> k;
      if (index >= level.size()) continue;
      const BlaSkip& skip = level[index];
      if (skip.length > most) continue;
      if constexpr (std::is_same_v<T, double>) {
        if (dzAbove < skip.radiusDouble) return &skip;
      } else {
        if (dzAbove < skip.radius) return &skip;
      }
    }
    return nullptr;
  }

  std::size_t Skips() const;
  // The radii of the skips of 2^(kFirstLevel + level) steps, as doubles: that
  // of the skip from m = 1 + 2^(kFirstLevel + level) j at j, the widest of all
  // skips of that length or longer from there.
  std::vector<double> Radii(int level) const;

 private:
  std::vector<std::vector<BlaSkip>> levels_;  // levels_[k]: skips of 2^(kFirstLevel + k) steps
};

}  // namespace tesvo
