#include "engine/perturbation.h"

#include "engine/perturbation_kernel.h"
#include "engine/perturbation_step.h"

namespace tesvo {
namespace {

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
    return kSmallDifference;
  } else {
    return FloatExp::Of(kSmallDifference);
  }
}

// The bound at m of |dz|^2 below which a lane hands its pixel over, for
// `radius` the widest skip's from m (0 if none): above |dz|^2, however it
// rounds, whenever |dz.re| + |dz.im| < radius (the pixel may take a skip) or
// both parts are below kSmallDifference (its difference leaves the doubles'
// range). The square of the larger of radius and 4 kSmallDifference, by more
// than the roundings of either sum: (|re| + |im|)^2 >= re^2 + im^2.
double HandBelow(double radius) {
  const double r = radius > 4 * kSmallDifference ? radius : 4 * kSmallDifference;
  return r * r * (1 + 0x1p-40);
}

// The lanes' pixels: each lane that needs more than a plain step hands its
// pixel here, and takes the next pixel that has a plain step to take.
struct LaneOwner {
  const PerturbationCounter& counter;
  const Cx<FloatExp>* dcs;
  std::uint32_t* out;
  int count;
  StepTotals& totals;
  int next = 0;
  int pixel[kMostLanes] = {};
};

void Load(LanePixel& p, const PixelState& s) {
  p = {
      s.dz.re.ToDouble(), s.dz.im.ToDouble(), s.dc.re.ToDouble(), s.dc.im.ToDouble(), s.n, s.m, false, false};
}

bool Hand(void* owner, int lane, LanePixel& p, bool fresh) {
  LaneOwner& o = *static_cast<LaneOwner*>(owner);
  PixelState s;
  if (!fresh) {
    const int index = o.pixel[lane];
    if (p.escaped) {
      o.out[index] = static_cast<std::uint32_t>(p.n);
    } else if (p.atLimit) {
      o.out[index] = 0;
    } else {
      s = {.dz = {FloatExp::Of(p.dzRe), FloatExp::Of(p.dzIm)}, .dc = o.dcs[index], .n = p.n, .m = p.m};
      if (!o.counter.Advance(s, o.totals)) {
        Load(p, s);
        return true;
      }
      o.out[index] = s.count;
    }
  }
  for (;;) {
    if (o.next == o.count) return false;
    s = PixelState{.dz = {}, .dc = o.dcs[o.next]};
    if (!o.counter.Advance(s, o.totals)) break;
    o.out[o.next++] = s.count;
  }
  o.pixel[lane] = o.next++;
  Load(p, s);
  return true;
}

}  // namespace

PerturbationCounter::PerturbationCounter(char letter, const ReferenceOrbit& orbit, const BlaTable& table,
                                         std::int64_t limit, double bound, PerturbationOptions options)
    : letter_(letter), orbit_(orbit), table_(table), limit_(limit), bound_(bound), options_(options) {
  for (const Cx<double>& z : orbit.z) {
    orbitRe_.push_back(z.re);
    orbitIm_.push_back(z.im);
  }
  // Beyond the end, for the lanes that gather a step ahead.
  orbitRe_.push_back(0.0);
  orbitIm_.push_back(0.0);
  // The shortest skip from m has the widest radius of all skips from m.
  handBelow_.assign(orbit.z.size(), HandBelow(0.0));
  constexpr std::int64_t kSpacing = std::int64_t{1} << BlaTable::kFirstLevel;
  const std::vector<double>& first = table.FirstRadii();
  if (options_.skips) {
    for (std::size_t j = 0; j < first.size(); ++j) {
      const std::size_t m = 1 + j * kSpacing;
      if (m < handBelow_.size()) handBelow_[m] = HandBelow(first[j]);
    }
  }
  records_.assign(4 * orbitRe_.size(), 0.0);
  for (std::size_t k = 0; k < orbitRe_.size(); ++k) {
    records_[4 * k] = orbitRe_[k];
    records_[4 * k + 1] = orbitIm_[k];
    if (k >= 1) records_[4 * k + 2] = handBelow_[k - 1];
  }
}

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

void PerturbationCounter::Count(const Cx<FloatExp>* dc, std::uint32_t* out, int count,
                                StepTotals& totals) const {
  LaneOwner owner{.counter = *this, .dcs = dc, .out = out, .count = count, .totals = totals};
  const LaneJob job{.orbitRe = orbitRe_.data(),
                    .orbitIm = orbitIm_.data(),
                    .handBelow = handBelow_.data(),
                    .records = records_.data(),
                    .end = orbit_.Length(),
                    .limit = limit_,
                    .bound = bound_,
                    .rebase = options_.rebase,
                    .formulaLetter = letter_,
                    .hand = Hand,
                    .owner = &owner};
  totals.steps += KernelsFor(options_.path).stepLanes(job);
}

}  // namespace tesvo
