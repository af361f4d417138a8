// Counting: turns an image record into the count of every pixel, with no
// drawing. The column and row coordinates are accumulated once per image in
// scan order, so each pixel's count depends on nothing but its own point.
#pragma once

#include <cstdint>

#include "engine/scan_path.h"
#include "engine/scan_plan.h"

namespace tesvo {

struct ScanSettings {
  ScanPath path = ScanPath::kFastest;
  int threads = 0;                // 0: DefaultThreads(), fewer for small jobs; 1: the calling thread alone
  std::int64_t* steps = nullptr;  // when set, receives the number of formula steps taken
  // When set, receives the number of blocks that the calling thread counted
  // again because the helper that held them had not finished.
  std::int64_t* takenOver = nullptr;
};

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
