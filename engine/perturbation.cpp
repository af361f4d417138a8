#include "engine/perturbation.h"

#include "engine/perturbation_kernel.h"
#include "engine/perturbation_step.h"

namespace tesvo {
namespace {

enum Outcome { kDone, kSwitch, kPlainStep };

// Skips of 2^(BlaTable::kFirstLevel + kHandLevel) = 32 steps.
constexpr int kHandLevel = 2;

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

bool Above(double x) { return x > 0; }
bool Above(FloatExp x) { return x.m > 0; }

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

PixelState State(const LaneOwner& o, const LanePixel& p, int index) {
  return {.dz = {FloatExp::Of(p.dzRe), FloatExp::Of(p.dzIm)}, .dc = o.dcs[index], .n = p.n, .m = p.m};
}

// The count of a lane's pixel that escaped or is at the limit. Its iterate is
// Z_m + dz, the kernel's own sum, or after a rebase 0 + z.
std::uint32_t FinalCount(const LaneOwner& o, const LanePixel& p, int index) {
  const Cx<double>& reference = o.counter.Orbit().z[static_cast<std::size_t>(p.m)];
  const Cx<double> z{reference.re + p.dzRe, reference.im + p.dzIm};
  return o.counter.FinalCount({z, z.im > 0}, State(o, p, index), p.escaped);
}

bool Hand(void* owner, int lane, LanePixel& p, bool fresh) {
  LaneOwner& o = *static_cast<LaneOwner*>(owner);
  PixelState s;
  if (!fresh) {
    const int index = o.pixel[lane];
    if (p.escaped || p.atLimit) {
      o.out[index] = o.counter.Rule().method == kEscapeTime
                         ? (p.escaped ? static_cast<std::uint32_t>(p.n) : 0)
                         : FinalCount(o, p, index);
    } else {
      s = State(o, p, index);
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
                                         std::int64_t limit, double bound, CountRule rule,
                                         PerturbationOptions options)
    : letter_(letter),
      orbit_(orbit),
      table_(table),
      limit_(limit),
      bound_(bound),
      rule_(rule),
      options_(options) {
  for (const Cx<double>& z : orbit.z) {
    orbitRe_.push_back(z.re);
    orbitIm_.push_back(z.im);
  }
  // Beyond the end, for the lanes that gather a step ahead.
  orbitRe_.push_back(0.0);
  orbitIm_.push_back(0.0);
  // A lane hands its pixel over for skips of kHandLevel's length or longer,
  // and the handler then takes shorter ones as well. Handing a pixel over
  // and back costs as much as a hundred plain steps on the lanes, more than
  // shorter skips save (on the seahorse spiral at 1e-18, where most skips
  // are short, a tenth of the lanes' time went to handing them over).
  handBelow_.assign(orbit.z.size(), HandBelow(0.0));
  constexpr std::int64_t kSpacing = std::int64_t{1} << (BlaTable::kFirstLevel + kHandLevel);
  if (options_.skips) {
    const std::vector<double> radii = table.Radii(kHandLevel);
    for (std::size_t j = 0; j < radii.size(); ++j) {
      const std::size_t m = 1 + j * kSpacing;
      if (m < handBelow_.size()) handBelow_[m] = HandBelow(radii[j]);
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
      pixel.count = FinalCount({zDouble, Above(z.im)}, {.dz = {}, .dc = pixel.dc, .n = n}, true);
      return kDone;
    }
    if (m == end || (options_.rebase && Norm(z) < Norm(dz))) {
      dz = z;
      m = 0;
    }
    // After the rebase, so that a pixel at the limit is in the state the
    // lanes hand over, for the step beyond the limit.
    if (n == limit_) {
      pixel.count =
          FinalCount({zDouble, Above(z.im)}, {.dz = As<FloatExp>(dz), .dc = pixel.dc, .n = n, .m = m}, false);
      return kDone;
    }
    const bool small = LowerAbs(dz) < Small<T>();
    if (small != std::is_same_v<T, FloatExp>) return keep(kSwitch);
  }
}

template <char kLetter>
PixelIterate PerturbationCounter::NextIterate(const PixelState& pixel) const {
  const std::vector<Cx<double>>& orbit = orbit_.z;
  const std::size_t m = static_cast<std::size_t>(pixel.m);
  const StepCoefficients<> k = Coefficients<kLetter>(orbit[m]);
  if (LowerAbs(pixel.dz) < Small<FloatExp>()) {
    // As Run takes a step in FloatExp.
    const Cx<FloatExp> dz = DifferenceStep<kLetter>(k, pixel.dz, pixel.dc);
    const bool whole = pixel.m + 1 == orbit_.Length();
    const Cx<FloatExp> z = (whole ? orbit_.last : ToFloatExp(orbit[m + 1])) + dz;
    return {ToDouble(z), Above(z.im)};
  }
  // As a lane takes a plain step.
  const Cx<double> dz = DifferenceStep<kLetter>(k, ToDouble(pixel.dz), ToDouble(pixel.dc));
  const Cx<double> z = orbit[m + 1] + dz;
  return {z, z.im > 0};
}

std::uint32_t PerturbationCounter::FinalCount(const PixelIterate& last, const PixelState& pixel,
                                              bool escaped) const {
  if (rule_.method == kEscapeTime) return escaped ? static_cast<std::uint32_t>(pixel.n) : 0;
  if (escaped) return rule_.method == kDecomposition && !last.imAbove ? 100 : 0;
  PixelIterate next;
  switch (letter_) {
    case 'c':
      next = NextIterate<'c'>(pixel);
      break;
    case 'e':
      next = NextIterate<'e'>(pixel);
      break;
    default:
      next = NextIterate<'f'>(pixel);
      break;
  }
  if (rule_.method == kDecomposition) return next.imAbove ? 0 : 100;
  // OrbitCount's measure, of the iterate before `next` and `next`.
  const double dre = last.z.re - next.z.re;
  const double dim = last.z.im - next.z.im;
  double m = (dre * dre + dim * dim) * rule_.convergenceFactor;
  if (m > static_cast<double>(limit_)) m = static_cast<double>(limit_);
  if (!(m >= 0)) return 0;  // not a number
  return static_cast<std::uint32_t>(m);
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
