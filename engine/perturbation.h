// A pixel's count as the difference of its orbit from the reference orbit:
// bilinear skips where the table has one, single difference steps elsewhere,
// and rebasing onto the start of the reference whenever the pixel's orbit
// comes nearer to 0 than to the reference, or the reference ends. Differences
// are doubles while they are above 2^-500 and FloatExp below. The plain steps
// in doubles, which take most of the time, run on the vector lanes of the
// running CPU, a pixel on each lane.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/bla_table.h"
#include "engine/float_exp.h"
#include "engine/reference_orbit.h"
#include "engine/scan_path.h"

namespace tesvo {

struct PerturbationOptions {
  bool rebase = true;  // only a test turns these two off, to show what they do
  bool skips = true;
  // Where the plain steps run: kReference on one lane, a vector path on its
  // lanes, kFastest on the widest the CPU has; the same counts on every path.
  ScanPath path = ScanPath::kFastest;
};

struct StepTotals {
  std::int64_t steps = 0;    // difference steps taken
  std::int64_t skipped = 0;  // steps passed over by bilinear skips
};

// Where a pixel's orbit is: its difference dz from reference point m at step n.
struct PixelState {
  Cx<FloatExp> dz;
  Cx<FloatExp> dc;
  std::int64_t n = 0;
  std::int64_t m = 0;
  std::uint32_t count = 0;  // once done
};

class PerturbationCounter {
 public:
  // The orbit and table live as long as the counter.
  PerturbationCounter(char letter, const ReferenceOrbit& orbit, const BlaTable& table, std::int64_t limit,
                      double bound, PerturbationOptions options = {});

  // For each of the `count` points at dc[k] from the reference, the first n
  // in 1 .. limit with |z_n|^2 > bound, else 0, into out[k]. The same counts
  // on every path.
  void Count(const Cx<FloatExp>* dc, std::uint32_t* out, int count, StepTotals& totals) const;

  // Takes the pixel on through all but plain steps in doubles: steps in
  // FloatExp and bilinear skips. True once it has its count; false when its
  // next step is a plain one in doubles.
  bool Advance(PixelState& pixel, StepTotals& totals) const;

  const ReferenceOrbit& Orbit() const { return orbit_; }
  const BlaTable& Table() const { return table_; }
  std::int64_t Limit() const { return limit_; }
  double Bound() const { return bound_; }
  const PerturbationOptions& Options() const { return options_; }

 private:
  template <char kLetter, class T>
  int Run(PixelState& pixel, StepTotals& totals) const;

  char letter_;
  const ReferenceOrbit& orbit_;
  const BlaTable& table_;
  std::int64_t limit_;
  double bound_;
  PerturbationOptions options_;
  // The orbit's parts apart, and at each m the bound below which the lanes
  // hand |dz|^2 over (HandBelow), for the lanes' gathers.
  std::vector<double> orbitRe_, orbitIm_, handBelow_;
  std::vector<double> records_;  // LaneJob::records
};

}  // namespace tesvo
