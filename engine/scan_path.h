// The paths that counting runs on: the reference and one per instruction
// set, each a row of one table of kernels, filled once from what this build
// has and what the running CPU can do.
#pragma once

#include <cstdint>

namespace tesvo {

struct PixelJob;          // scan_kernel.h
struct LaneJob;           // perturbation_kernel.h
enum class MathFunction;  // scan_kernel.h

// How the counts are computed; every choice gives the same counts, bit for bit.
enum class ScanPath {
  kFastest,    // the widest vectors the running CPU has
  kReference,  // pixel by pixel, through the formula's plain step
  kSse2,       // two lanes, the x86-64 baseline
  kAvx2,       // four lanes, where the CPU has AVX2
  kAvx512,     // eight lanes, where the CPU has AVX-512 F and DQ
  kNeon,       // two lanes of AdvSIMD, the arm64 baseline
};

// Every vector path, whether this build has it or not.
inline constexpr ScanPath kVectorPaths[] = {ScanPath::kSse2, ScanPath::kAvx2, ScanPath::kAvx512,
                                            ScanPath::kNeon};

// The path's name in messages: "SSE2", "AdvSIMD".
const char* PathName(ScanPath path);

// Whether this build and this CPU can run the path; a forced path that cannot
// run falls back to the reference.
bool PathAvailable(ScanPath path);

// The path that runs for a chosen one: for kFastest the widest available, for
// a path that cannot run the reference.
ScanPath ResolvePath(ScanPath path);

// A path's row of the table. A path whose files this build lacks keeps its
// name and has no kernels.
struct PathKernels {
  ScanPath path = ScanPath::kReference;
  const char* name = nullptr;
  bool available = false;  // the build has the kernels and the CPU their instructions
  // Counts a range of pixels (scan_kernel.h).
  std::int64_t (*countPixels)(const PixelJob& job) = nullptr;
  // The vector forms of sin, cos, exp and atan; none on the reference.
  void (*evaluate)(MathFunction function, const double* in, double* out, int n) = nullptr;
  // The deep engine's plain steps (perturbation_kernel.h).
  std::int64_t (*stepLanes)(const LaneJob& job) = nullptr;
};

// The row of the path that runs for the chosen one (ResolvePath).
const PathKernels& KernelsFor(ScanPath path);

// The vector form of the path's kernel; false, with out untouched, where this
// build or this CPU has no such path.
bool EvaluateOnPath(ScanPath path, MathFunction function, const double* in, double* out, int n);

}  // namespace tesvo
