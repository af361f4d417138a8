// Plain difference steps in doubles on one lane: the reference that the
// vector kernels (perturbation_simd.h) must match bit for bit. A pixel that
// needs more than a plain step (it escaped, is at the limit, its difference
// left the doubles' range, or a skip may start) goes to the job's handler,
// which gives the lane its next pixel.
#pragma once

#include <cstdint>

#include "engine/float_exp.h"
#include "engine/perturbation_kernel.h"
#include "engine/perturbation_step.h"

namespace tesvo::lanes {

template <char kLetter>
std::int64_t StepOneLane(const LaneJob& job) {
  LanePixel p{};
  if (!job.hand(job.owner, 0, p, true)) return 0;
  Cx<double> dz{p.dzRe, p.dzIm}, dc{p.dcRe, p.dcIm};
  std::int64_t n = p.n, m = p.m;
  std::int64_t steps = 0;
  for (;;) {
    ++n;
    const Cx<double> reference{job.orbitRe[m], job.orbitIm[m]};
    dz = DifferenceStep<kLetter>(Coefficients<kLetter>(reference), dz, dc);
    ++m;
    const Cx<double> z = Cx<double>{job.orbitRe[m], job.orbitIm[m]} + dz;
    const double norm = z.im * z.im + z.re * z.re;
    const bool escaped = norm > job.bound;
    const bool atLimit = n == job.limit;
    const double dzNorm = dz.im * dz.im + dz.re * dz.re;
    // A branch, not a blend: rebasing is rare, and a predicted branch keeps
    // the tests for it off the path from one step to the next.
    double handNorm = dzNorm;
    if (m == job.end || (job.rebase && norm < dzNorm)) {
      dz = z;
      m = 0;
      handNorm = norm;
    }
    ++steps;
    if (!(escaped || atLimit || handNorm < job.handBelow[m])) continue;
    p = {dz.re, dz.im, dc.re, dc.im, n, m, escaped, atLimit};
    if (!job.hand(job.owner, 0, p, false)) return steps;
    dz = {p.dzRe, p.dzIm}, dc = {p.dcRe, p.dcIm};
    n = p.n, m = p.m;
  }
}

inline std::int64_t StepOneLaneAnyFormula(const LaneJob& job) {
  switch (job.formulaLetter) {
    case 'c':
      return StepOneLane<'c'>(job);
    case 'e':
      return StepOneLane<'e'>(job);
    default:
      return StepOneLane<'f'>(job);
  }
}

}  // namespace tesvo::lanes
