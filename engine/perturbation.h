// A pixel's count as the difference of its orbit from the reference orbit:
// bilinear skips where the table has one, single difference steps elsewhere,
// and rebasing onto the start of the reference whenever the pixel's orbit
// comes nearer to 0 than to the reference, or the reference ends. Differences
// are doubles while they are above 2^-500 and FloatExp below.
#pragma once

#include <cstdint>

#include "engine/bla_table.h"
#include "engine/float_exp.h"
#include "engine/reference_orbit.h"

namespace tesvo {

struct PerturbationOptions {
  bool rebase = true;  // only a test turns these off, to show what they do
  bool skips = true;
};

struct PixelState;

struct StepTotals {
  std::int64_t steps = 0;    // difference steps taken
  std::int64_t skipped = 0;  // steps passed over by bilinear skips
};

class PerturbationCounter {
 public:
  // The orbit and table live as long as the counter.
  PerturbationCounter(char letter, const ReferenceOrbit& orbit, const BlaTable& table, std::int64_t limit,
                      double bound, PerturbationOptions options = {});

  // The first n in 1 .. limit with |z_n|^2 > bound, else 0, for the point at
  // dc from the reference.
  std::uint32_t Count(const Cx<FloatExp>& dc, StepTotals& totals) const;

 private:
  template <char kLetter>
  std::uint32_t CountAs(const Cx<FloatExp>& dc, StepTotals& totals) const;
  template <char kLetter, class T>
  bool Run(PixelState& pixel, StepTotals& totals) const;

  char letter_;
  const ReferenceOrbit& orbit_;
  const BlaTable& table_;
  std::int64_t limit_;
  double bound_;
  PerturbationOptions options_;
};

}  // namespace tesvo
