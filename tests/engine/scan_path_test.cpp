#include "engine/scan_path.h"

#include <gtest/gtest.h>

#include <vector>

#include "engine/perturbation_kernel.h"

namespace tesvo {
namespace {

// Notes each lane that the kernel asks a first pixel for, and gives it none.
bool NoteLane(void* owner, int lane, LanePixel&, bool fresh) {
  if (fresh) static_cast<std::vector<int>*>(owner)->push_back(lane);
  return false;
}

// The lanes on which the path's kernel steps the deep engine's pixels.
int LanesOf(ScanPath path) {
  const std::vector<double> zeros(16, 0.0);
  std::vector<int> lanes;
  const LaneJob job{.orbitRe = zeros.data(),
                    .orbitIm = zeros.data(),
                    .handBelow = zeros.data(),
                    .records = zeros.data(),
                    .end = 1,
                    .limit = 1,
                    .bound = 4,
                    .rebase = true,
                    .formulaLetter = 'c',
                    .hand = NoteLane,
                    .owner = &lanes};
  EXPECT_EQ(KernelsFor(path).stepLanes(job), 0);
  return static_cast<int>(lanes.size());
}

// A row given another path's kernels steps on lanes of the wrong width.
TEST(PathTable, EveryPathRunsItsOwnKernels) {
  const struct {
    ScanPath path;
    const char* name;
    int width;  // doubles in one of its vectors
  } paths[] = {{ScanPath::kReference, "reference", 1},
               {ScanPath::kSse2, "SSE2", 2},
               {ScanPath::kAvx2, "AVX2", 4},
               {ScanPath::kAvx512, "AVX-512", 8},
               {ScanPath::kNeon, "AdvSIMD", 2}};
  for (const auto& p : paths) {
    SCOPED_TRACE(p.name);
    EXPECT_STREQ(PathName(p.path), p.name);
    if (!PathAvailable(p.path)) {
      EXPECT_EQ(ResolvePath(p.path), ScanPath::kReference);
      continue;
    }
    EXPECT_EQ(KernelsFor(p.path).path, p.path);
    const int lanes = LanesOf(p.path);
    EXPECT_EQ(lanes % p.width, 0) << lanes << " lanes";
    EXPECT_EQ(lanes > 1, p.width > 1) << lanes << " lanes";
    EXPECT_EQ(KernelsFor(p.path).evaluate != nullptr, p.width > 1);
  }
}

TEST(PathTable, TheFastestIsTheWidestAvailable) {
  ScanPath widest = ScanPath::kReference;
  for (ScanPath path : {ScanPath::kNeon, ScanPath::kSse2, ScanPath::kAvx2, ScanPath::kAvx512})
    if (PathAvailable(path)) widest = path;
  EXPECT_NE(widest, ScanPath::kReference);  // every build has a vector path
  EXPECT_EQ(ResolvePath(ScanPath::kFastest), widest);
  EXPECT_EQ(KernelsFor(ScanPath::kFastest).path, widest);
}

}  // namespace
}  // namespace tesvo
