#include "engine/perturbation.h"

#include "engine/perturbation_step.h"

namespace tesvo {

// Where a pixel's orbit is between the two forms of its difference.
struct PixelState {
  Cx<FloatExp> dz;
  Cx<FloatExp> dc;
  std::int64_t n = 0;
  std::int64_t m = 0;
  std::uint32_t count = 0;
};

namespace {

// Differences below this are FloatExp: its square, in the rebasing test, is
// still far above the subnormals.
constexpr double kSmall = 0x1p-500;

template <class T>
T Small() {
  if constexpr (std::is_same_v<T, double>) {
    return kSmall;
  } else {
    return FloatExp::Of(kSmall);
  }
}

template <class T>
Cx<T> As(const Cx<double>& z) {
  if constexpr (std::is_same_v<T, double>) {
    return z;
  } else {
    return ToFloatExp(z);
  }
}

template <class T>
Cx<T> As(const Cx<FloatExp>& z) {
  if constexpr (std::is_same_v<T, double>) {
    return ToDouble(z);
  } else {
    return z;
  }
}

template <class T>
T Norm(const Cx<T>& z) {
  return z.im * z.im + z.re * z.re;
}

}  // namespace

PerturbationCounter::PerturbationCounter(char letter, const ReferenceOrbit& orbit, const BlaTable& table,
                                         std::int64_t limit, double bound, PerturbationOptions options)
    : letter_(letter), orbit_(orbit), table_(table), limit_(limit), bound_(bound), options_(options) {}

// Counts in the form T until the pixel escapes or reaches the limit (true),
// or its difference leaves T's range (false).
template <char kLetter, class T>
bool PerturbationCounter::Run(PixelState& pixel, StepTotals& totals) const {
  const std::vector<Cx<double>>& orbit = orbit_.z;
  const std::int64_t end = orbit_.Length();
  const Cx<T> dc = As<T>(pixel.dc);
  Cx<T> dz = As<T>(pixel.dz);
  std::int64_t n = pixel.n;
  std::int64_t m = pixel.m;
  for (;;) {
    const BlaSkip* skip = options_.skips ? table_.Find(m, UpperAbs(dz), limit_ - n) : nullptr;
    if (skip != nullptr) {
      dz = As<T>(skip->a * As<FloatExp>(dz) + skip->b * pixel.dc);
      m += skip->length;
      n += skip->length;
      totals.skipped += skip->length;
    } else {
      dz = DifferenceStep<kLetter>(Coefficients<kLetter>(orbit[static_cast<std::size_t>(m)]), dz, dc);
      ++m;
      ++n;
      ++totals.steps;
    }
    const Cx<T> z = (m == end ? As<T>(orbit_.last) : As<T>(orbit[static_cast<std::size_t>(m)])) + dz;
    const Cx<double> zDouble = As<double>(z);
    if (zDouble.im * zDouble.im + zDouble.re * zDouble.re > bound_) {
      pixel.count = static_cast<std::uint32_t>(n);
      return true;
    }
    if (n == limit_) {
      pixel.count = 0;
      return true;
    }
    if (m == end || (options_.rebase && Norm(z) < Norm(dz))) {
      dz = z;
      m = 0;
    }
    const bool small = LowerAbs(dz) < Small<T>();
    if (small != std::is_same_v<T, FloatExp>) {
      pixel.dz = As<FloatExp>(dz);
      pixel.n = n;
      pixel.m = m;
      return false;
    }
  }
}

template <char kLetter>
std::uint32_t PerturbationCounter::CountAs(const Cx<FloatExp>& dc, StepTotals& totals) const {
  PixelState pixel{.dz = {}, .dc = dc};
  for (bool small = true;; small = !small) {
    const bool done = small ? Run<kLetter, FloatExp>(pixel, totals) : Run<kLetter, double>(pixel, totals);
    if (done) return pixel.count;
  }
}

std::uint32_t PerturbationCounter::Count(const Cx<FloatExp>& dc, StepTotals& totals) const {
  switch (letter_) {
    case 'c':
      return CountAs<'c'>(dc, totals);
    case 'e':
      return CountAs<'e'>(dc, totals);
    default:
      return CountAs<'f'>(dc, totals);
  }
}

}  // namespace tesvo
