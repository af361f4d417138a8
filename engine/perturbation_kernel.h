// What the per-instruction-set kernels of the deep engine's plain steps share
// with the code that chooses them: plain values only, so that the files built
// for wider instruction sets use nothing inline from other headers. A kernel
// steps pixels on its lanes and hands each pixel that needs more than a plain
// step in doubles to the caller's handler, which gives the lane its next one.
#pragma once

#include <cstdint>

namespace tesvo {

// A pixel as a lane holds it: its difference dz from reference point m at
// step n, and its offset dc.
struct LanePixel {
  double dzRe, dzIm, dcRe, dcIm;
  std::int64_t n, m;
  bool escaped;  // set by the kernel: |Z_m + dz|^2 > bound after step n
  bool atLimit;  // set by the kernel: n is the limit
};

// With `fresh` set, puts the next pixel with a plain step to take into
// `pixel` for the lane; otherwise takes the lane's pixel as the kernel hands
// it back and puts into `pixel` the lane's pixel from then on, the same or
// the next one. False when no pixel is left for the lane.
using LaneHandler = bool (*)(void* owner, int lane, LanePixel& pixel, bool fresh);

struct LaneJob {
  const double* orbitRe;  // Z_0 .. Z_end, and one 0 beyond, which the kernels may read
  const double* orbitIm;
  // At each m to end, a bound below which |dz|^2 = dz.im^2 + dz.re^2 goes
  // to the handler: above |dz|^2 whenever the pixel may take a long skip from m or
  // its difference leaves the doubles' range.
  const double* handBelow;
  // Record k, k = 0 .. end + 1, is Z_k.re, Z_k.im, handBelow[k - 1] and a 0:
  // what a lane at m before its step needs from m + 2 and m + 1.
  const double* records;
  std::int64_t end;
  std::int64_t limit;
  double bound;
  bool rebase;
  char formulaLetter;  // 'c', 'e' or 'f'
  LaneHandler hand;
  void* owner;
};

// Differences below this are FloatExp: its square, in the rebasing test, is
// still far above the subnormals.
inline constexpr double kSmallDifference = 0x1p-500;

// The most lanes a kernel steps side by side.
inline constexpr int kMostLanes = 32;

// Each steps the job's pixels until the handler has none left, every lane
// rounding as the scalar plain step does, and returns the plain steps taken.
std::int64_t StepLanesSse2(const LaneJob& job);
std::int64_t StepLanesAvx2(const LaneJob& job);
std::int64_t StepLanesAvx512(const LaneJob& job);
std::int64_t StepLanesNeon(const LaneJob& job);

}  // namespace tesvo
