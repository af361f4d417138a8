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
#include "engine/image_record.h"
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

// What a pixel's count is, as the shallow scan takes it (OrbitCount): the
// colouring method, one of kEscapeTime, kDecomposition and kConvergence, and
// the factor of "convergencia".
struct CountRule {
  std::int32_t method = kEscapeTime;
  double convergenceFactor = 100;
};

// A pixel's iterate as its count looks at it: in doubles, and whether its
// imaginary part is above 0, known however small it is when the iterate was
// a FloatExp (a view on the real axis has them below a double's range).
struct PixelIterate {
  Cx<double> z;
  bool imAbove = false;
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
                      double bound, CountRule rule = {}, PerturbationOptions options = {});

  // For each of the `count` points at dc[k] from the reference, its count
  // into out[k]: in "tiempo de escape" the first n in 1 .. limit with
  // |z_n|^2 > bound, else 0; in the other methods the rule's count of that
  // last iterate (FinalCount). The same counts on every path.
  void Count(const Cx<FloatExp>* dc, std::uint32_t* out, int count, StepTotals& totals) const;

  // Takes the pixel on through all but plain steps in doubles: steps in
  // FloatExp and bilinear skips. True once it has its count; false when its
  // next step is a plain one in doubles.
  bool Advance(PixelState& pixel, StepTotals& totals) const;

  // The count of a pixel that is done, by the rule: it escaped at step n with
  // iterate z, or n is the limit and z its iterate there. `pixel` is its
  // state after any rebase, from which a pixel at the limit takes one more
  // step: as the shallow scan does, the methods other than "tiempo de escape"
  // look at the iterate after the limit, z_(limit + 1), and at z_limit.
  std::uint32_t FinalCount(const PixelIterate& z, const PixelState& pixel, bool escaped) const;

  const ReferenceOrbit& Orbit() const { return orbit_; }
  const BlaTable& Table() const { return table_; }
  std::int64_t Limit() const { return limit_; }
  double Bound() const { return bound_; }
  const CountRule& Rule() const { return rule_; }
  const PerturbationOptions& Options() const { return options_; }

 private:
  template <char kLetter, class T>
  int Run(PixelState& pixel, StepTotals& totals) const;

  // The iterate one plain step on from the pixel's state, the step taken in
  // the form the pixel's difference has, exactly as the counting takes it.
  template <char kLetter>
  PixelIterate NextIterate(const PixelState& pixel) const;

  char letter_;
  const ReferenceOrbit& orbit_;
  const BlaTable& table_;
  std::int64_t limit_;
  double bound_;
  CountRule rule_;
  PerturbationOptions options_;
  // The orbit's parts apart, and at each m the bound below which the lanes
  // hand |dz|^2 over (HandBelow), for the lanes' gathers.
  std::vector<double> orbitRe_, orbitIm_, handBelow_;
  std::vector<double> records_;  // LaneJob::records
};

}  // namespace tesvo
