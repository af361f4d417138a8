// The lanes' vectors pass between inline functions of this file alone, never
// across a call another build of the code could make: GCC's warning that
// their calling convention depends on AVX-512 concerns no one here.
#pragma GCC diagnostic ignored "-Wpsabi"

#include "engine/perturbation.h"

#include "engine/perturbation_lanes.h"
#include "engine/perturbation_step.h"

namespace tesvo {
namespace {

static_assert(BlaTable::kFirstLevel == 3, "the lanes test for skips from m = 1 + 8 j");

enum Outcome { kDone, kSwitch, kPlainStep };

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

template <class T>
T Small() {
  if constexpr (std::is_same_v<T, double>) {
    return lanes::kSmall;
  } else {
    return FloatExp::Of(lanes::kSmall);
  }
}

// Four lanes of GCC's generic vectors, which the compiler splits into the
// build's baseline registers. They count about three times slower than one
// lane (on an AMD EPYC of 2 cores, 2026-12): reading and writing single lanes
// of such vectors goes through memory. They stay as the check that lanes
// change no count, for per-ISA kernels with gathers and masks to come.
using Doubles = double __attribute__((vector_size(32)));
using Integers = std::int64_t __attribute__((vector_size(32)));

}  // namespace

PerturbationCounter::PerturbationCounter(char letter, const ReferenceOrbit& orbit, const BlaTable& table,
                                         std::int64_t limit, double bound, PerturbationOptions options)
    : letter_(letter), orbit_(orbit), table_(table), limit_(limit), bound_(bound), options_(options) {}

// In the form T: skips while there are any, and in FloatExp plain steps as
// well, until the pixel is done, its difference leaves T's range, or (in
// doubles) its next step is a plain one.
template <char kLetter, class T>
int PerturbationCounter::Run(PixelState& pixel, StepTotals& totals) const {
  const std::vector<Cx<double>>& orbit = orbit_.z;
  const std::int64_t end = orbit_.Length();
  const Cx<T> dc = As<T>(pixel.dc);
  // A difference in doubles takes skips in doubles where a skip's products and
  // sums stay far from overflow and underflow.
  const bool dcInDoubles = WithinExponents(pixel.dc, -600, 64);
  Cx<T> dz = As<T>(pixel.dz);
  std::int64_t n = pixel.n;
  std::int64_t m = pixel.m;
  const auto keep = [&](int outcome) {
    pixel.dz = As<FloatExp>(dz);
    pixel.n = n;
    pixel.m = m;
    return outcome;
  };
  for (;;) {
    const BlaSkip* skip = options_.skips ? table_.Find(m, UpperAbs(dz), limit_ - n) : nullptr;
    if (skip != nullptr) {
      if constexpr (std::is_same_v<T, double>) {
        if (skip->inDoubles && dcInDoubles) {
          dz = skip->aDouble * dz + skip->bDouble * dc;
        } else {
          dz = ToDouble(skip->a * ToFloatExp(dz) + skip->b * pixel.dc);
        }
      } else {
        dz = skip->a * dz + skip->b * dc;
      }
      m += skip->length;
      n += skip->length;
      totals.skipped += skip->length;
    } else if constexpr (std::is_same_v<T, double>) {
      return keep(kPlainStep);
    } else {
      dz = DifferenceStep<kLetter>(Coefficients<kLetter>(orbit[static_cast<std::size_t>(m)]), dz, dc);
      ++m;
      ++n;
      ++totals.steps;
    }
    const bool whole = std::is_same_v<T, FloatExp> && m == end;
    const Cx<T> z = (whole ? As<T>(orbit_.last) : As<T>(orbit[static_cast<std::size_t>(m)])) + dz;
    const Cx<double> zDouble = As<double>(z);
    if (zDouble.im * zDouble.im + zDouble.re * zDouble.re > bound_) {
      pixel.count = static_cast<std::uint32_t>(n);
      return kDone;
    }
    if (n == limit_) {
      pixel.count = 0;
      return kDone;
    }
    if (m == end || (options_.rebase && Norm(z) < Norm(dz))) {
      dz = z;
      m = 0;
    }
    const bool small = LowerAbs(dz) < Small<T>();
    if (small != std::is_same_v<T, FloatExp>) return keep(kSwitch);
  }
}

bool PerturbationCounter::Advance(PixelState& pixel, StepTotals& totals) const {
  for (;;) {
    const bool small = LowerAbs(pixel.dz) < Small<FloatExp>();
    int outcome = kSwitch;
    switch (letter_) {
      case 'c':
        outcome = small ? Run<'c', FloatExp>(pixel, totals) : Run<'c', double>(pixel, totals);
        break;
      case 'e':
        outcome = small ? Run<'e', FloatExp>(pixel, totals) : Run<'e', double>(pixel, totals);
        break;
      default:
        outcome = small ? Run<'f', FloatExp>(pixel, totals) : Run<'f', double>(pixel, totals);
        break;
    }
    if (outcome != kSwitch) return outcome == kDone;
  }
}

template <char kLetter>
void PerturbationCounter::CountAs(const Cx<FloatExp>* dc, std::uint32_t* out, int count,
                                  StepTotals& totals) const {
  const lanes::Context context{.orbit = orbit_.z.data(),
                               .end = orbit_.Length(),
                               .firstRadius = table_.FirstRadii().data(),
                               .firstSkips = static_cast<std::int64_t>(table_.FirstRadii().size()),
                               .limit = limit_,
                               .bound = bound_,
                               .rebase = options_.rebase,
                               .skips = options_.skips};
  if (options_.lanes == 4) {
    lanes::CountOnLanes<kLetter, Doubles, Integers, Integers>(*this, context, dc, out, count, totals);
  } else {
    lanes::CountOnLanes<kLetter, double, std::int64_t, bool>(*this, context, dc, out, count, totals);
  }
}

void PerturbationCounter::Count(const Cx<FloatExp>* dc, std::uint32_t* out, int count,
                                StepTotals& totals) const {
  switch (letter_) {
    case 'c':
      return CountAs<'c'>(dc, out, count, totals);
    case 'e':
      return CountAs<'e'>(dc, out, count, totals);
    default:
      return CountAs<'f'>(dc, out, count, totals);
  }
}

}  // namespace tesvo
