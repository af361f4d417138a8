#include "engine/scan_path.h"

#include <array>

#include "engine/perturbation_kernel.h"
#include "engine/perturbation_lanes.h"
#include "engine/scan_kernel.h"

namespace tesvo {
namespace {

using Table = std::array<PathKernels, 5>;

PathKernels Named(ScanPath path, const char* name, PathKernels row) {
  row.path = path;
  row.name = name;
  return row;
}

// The only place that knows which kernels this build has: the files of an
// instruction set are built only for the processors that can have it, and
// run only where the CPU reports it.
Table FillTable() {
  PathKernels sse2{}, avx2{}, avx512{}, neon{};
#ifdef TESVO_X86_KERNELS
  sse2 = {.available = true,
          .countPixels = CountPixelsSse2,
          .evaluate = EvaluateSse2,
          .stepLanes = StepLanesSse2};
  avx2 = {.available = __builtin_cpu_supports("avx2") != 0,
          .countPixels = CountPixelsAvx2,
          .evaluate = EvaluateAvx2,
          .stepLanes = StepLanesAvx2};
  avx512 = {.available = __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512dq"),
            .countPixels = CountPixelsAvx512,
            .evaluate = EvaluateAvx512,
            .stepLanes = StepLanesAvx512};
#endif
#ifdef TESVO_NEON_KERNELS
  neon = {.available = true,
          .countPixels = CountPixelsNeon,
          .evaluate = EvaluateNeon,
          .stepLanes = StepLanesNeon};
#endif
  const PathKernels reference{
      .available = true, .countPixels = CountPixelsReference, .stepLanes = lanes::StepOneLaneAnyFormula};
  // Widest first, so that the fastest path is the first available one; the
  // reference, always available, last.
  return {Named(ScanPath::kAvx512, "AVX-512", avx512), Named(ScanPath::kAvx2, "AVX2", avx2),
          Named(ScanPath::kSse2, "SSE2", sse2), Named(ScanPath::kNeon, "AdvSIMD", neon),
          Named(ScanPath::kReference, "reference", reference)};
}

const Table& Rows() {
  static const Table table = FillTable();
  return table;
}

// Null for kFastest, which is a choice among the paths rather than one.
const PathKernels* Find(ScanPath path) {
  for (const PathKernels& row : Rows())
    if (row.path == path) return &row;
  return nullptr;
}

}  // namespace

const char* PathName(ScanPath path) {
  if (path == ScanPath::kFastest) return "fastest";
  const PathKernels* row = Find(path);
  return row != nullptr ? row->name : "?";
}

bool PathAvailable(ScanPath path) {
  const PathKernels* row = Find(path);
  return path == ScanPath::kFastest || (row != nullptr && row->available);
}

ScanPath ResolvePath(ScanPath path) {
  if (path != ScanPath::kFastest) return PathAvailable(path) ? path : ScanPath::kReference;
  for (const PathKernels& row : Rows())
    if (row.available) return row.path;
  return ScanPath::kReference;
}

const PathKernels& KernelsFor(ScanPath path) { return *Find(ResolvePath(path)); }

bool EvaluateOnPath(ScanPath path, MathFunction function, const double* in, double* out, int n) {
  const PathKernels* row = Find(path);
  if (row == nullptr || !row->available || row->evaluate == nullptr) return false;
  row->evaluate(function, in, out, n);
  return true;
}

}  // namespace tesvo
