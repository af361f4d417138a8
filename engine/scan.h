// Counting: turns an image record into the count of every pixel, with no
// drawing. The column and row coordinates are accumulated once per image in
// scan order, so each pixel's count depends on nothing but its own point.
#pragma once

#include <cstdint>

#include "engine/scan_plan.h"

namespace tesvo {

// How CountColumns computes; every choice gives the same counts, bit for bit.
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

struct ScanSettings {
  ScanPath path = ScanPath::kFastest;
  int threads = 0;                // 0: DefaultThreads(), fewer for small jobs; 1: the calling thread alone
  std::int64_t* steps = nullptr;  // when set, receives the number of formula steps taken
  // When set, receives the number of blocks that the calling thread counted
  // again because the helper that held them had not finished.
  std::int64_t* takenOver = nullptr;
};

// Whether this build and this CPU can run the path; a forced path that cannot
// run falls back to the reference.
bool PathAvailable(ScanPath path);

// The path that runs for a chosen one: for kFastest the widest available, for
// a path that cannot run the reference.
ScanPath ResolvePath(ScanPath path);

// Counts columns first .. first + count - 1 and hands them to the sink on the
// calling thread, each column once and in column order, as soon as it and
// every column before it are counted: the calling thread counts too, and
// hands over what is ready between blocks of its own. Blocks of columns are
// shared out among threads and the pixels of a block among SIMD lanes.
void CountColumnsInOrder(const ScanPlan& plan, int first, int count, const ScanSettings& settings,
                         const ColumnSink& sink);

// The same counts into out, column by column.
void CountColumns(const ScanPlan& plan, int first, int count, std::int16_t* out,
                  const ScanSettings& settings = {});

}  // namespace tesvo
