#include "engine/bla_table.h"

#include "engine/perturbation_step.h"

namespace tesvo {
namespace {

// The relative size of the terms a skip leaves out, at most: a double's rounding.
constexpr double kEpsilon = 0x1p-53;

template <char kLetter>
BlaSkip SingleStep(const ReferenceOrbit& orbit, std::int64_t m, double bound) {
  const Cx<double> z = orbit.z[static_cast<std::size_t>(m)];
  const StepCoefficients<> k = Coefficients<kLetter>(z);
  double a1Below = 0;
  double restAbove = 0;
  CoefficientBounds<kLetter>(k, a1Below, restAbove);
  // |rest| |dz|^2 <= eps |a1| |dz| for |dz| <= 1. A skip passes over the escape
  // test at its inner points; one that could come near the bound there is never taken.
  double radius = std::min(1.0, kEpsilon * a1Below / restAbove);
  if (z.im * z.im + z.re * z.re >= bound * (1 - 0x1p-30)) radius = 0;
  const FloatExp one = FloatExp::Of(1.0);
  BlaSkip s;
  s.a = ToFloatExp(k.a1);
  s.b = {one, {}};
  s.radius = FloatExp::Of(radius);
  s.radiusDouble = radius;
  s.length = 1;
  return s;
}

// x, then y.
BlaSkip Merge(const BlaSkip& x, const BlaSkip& y, FloatExp dcAbove) {
  BlaSkip s;
  s.a = y.a * x.a;
  s.b = y.a * x.b + y.b;
  s.length = x.length + y.length;
  const FloatExp room = y.radius - UpperAbs(x.b) * dcAbove;
  const FloatExp aBelow = LowerAbs(x.a);
  if (room.m <= 0) {
    s.radius = {};
  } else if (aBelow.IsZero()) {
    s.radius = x.radius;
  } else {
    s.radius = Min(x.radius, room / aBelow);
  }
  s.radiusDouble = s.radius.ToDouble();
  return s;
}

template <char kLetter>
std::vector<std::vector<BlaSkip>> Build(const ReferenceOrbit& orbit, FloatExp dcAbove, double bound) {
  std::vector<std::vector<BlaSkip>> levels;
  const std::int64_t steps = orbit.Length() - 1;  // the steps from m = 1 to N - 1
  const std::int64_t first = std::int64_t{1} << BlaTable::kFirstLevel;
  if (steps < first) return levels;
  std::vector<BlaSkip> level(static_cast<std::size_t>(steps / first));
  for (std::size_t j = 0; j < level.size(); ++j) {
    const std::int64_t m = 1 + static_cast<std::int64_t>(j) * first;
    BlaSkip s = SingleStep<kLetter>(orbit, m, bound);
    for (std::int64_t i = 1; i < first; ++i) s = Merge(s, SingleStep<kLetter>(orbit, m + i, bound), dcAbove);
    level[j] = s;
  }
  levels.push_back(std::move(level));
  while (levels.back().size() >= 2) {
    const std::vector<BlaSkip>& below = levels.back();
    std::vector<BlaSkip> next(below.size() / 2);
    for (std::size_t j = 0; j < next.size(); ++j) next[j] = Merge(below[2 * j], below[2 * j + 1], dcAbove);
    levels.push_back(std::move(next));
  }
  return levels;
}

}  // namespace

BlaTable::BlaTable(char letter, const ReferenceOrbit& orbit, FloatExp dcAbove, double bound) {
  switch (letter) {
    case 'c':
      levels_ = Build<'c'>(orbit, dcAbove, bound);
      break;
    case 'e':
      levels_ = Build<'e'>(orbit, dcAbove, bound);
      break;
    case 'f':
      levels_ = Build<'f'>(orbit, dcAbove, bound);
      break;
    default:
      break;
  }
  for (std::vector<BlaSkip>& level : levels_) {
    for (BlaSkip& skip : level) {
      skip.aDouble = ToDouble(skip.a);
      skip.bDouble = ToDouble(skip.b);
      skip.inDoubles = WithinExponents(skip.a, -400, 900) && WithinExponents(skip.b, -400, 900);
    }
  }
}

std::vector<double> BlaTable::Radii(int level) const {
  std::vector<double> radii;
  if (level < static_cast<int>(levels_.size()))
    for (const BlaSkip& skip : levels_[static_cast<std::size_t>(level)]) radii.push_back(skip.radiusDouble);
  return radii;
}

std::size_t BlaTable::Skips() const {
  std::size_t n = 0;
  for (const std::vector<BlaSkip>& level : levels_) n += level.size();
  return n;
}

}  // namespace tesvo
