// One request for the counts of a range of columns, shared among threads. The
// columns are cut into blocks that threads claim from one counter, in column
// order; the thread that asked hands each block to its sink, in column order,
// as soon as that block and every block before it are counted. A helper that
// is held up, say descheduled on a busy machine, holds back nothing: once no
// block is left to claim, the asking thread counts the late block again into
// a buffer of its own and keeps whichever count is finished first. Both are
// the same, bit for bit.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "engine/helper_threads.h"
#include "engine/scan_kernel.h"
#include "engine/scan_path.h"
#include "engine/scan_plan.h"

namespace tesvo {

class ColumnJob : public HelperTask {
 public:
  // The plan's columns first .. first + count - 1, blockColumns to a block,
  // counted on the path that runs for `path`, which the plan must allow.
  ColumnJob(const ScanPlan& plan, int first, int count, ScanPath path, int blockColumns);

  int Blocks() const { return blocks_; }
  // The next unclaimed block, or -1 once every block has been claimed.
  int Claim();
  // Counts a block that this thread has claimed.
  void Count(int block);
  void Help() override;
  // On the thread that asked: claims and counts blocks, counts late ones
  // again, and hands every column to the sink once, in order. Returns when
  // the last column has been handed over, with the formula steps taken for
  // the counts handed over.
  std::int64_t Run(const ColumnSink& sink);
  // The blocks that Run counted again and handed over from its own count.
  int TakenOver() const { return takenOver_; }

 private:
  enum : std::uint8_t { kPending, kCounted, kTakenOver };

  int FirstColumn(int block) const { return first_ + block * blockColumns_; }
  int ColumnCount(int block) const { return std::min(blockColumns_, first_ + count_ - FirstColumn(block)); }
  std::int16_t* BlockCounts(int block) const {
    return counts_.get() + static_cast<std::ptrdiff_t>(block) * blockColumns_ * plan_.Rows();
  }
  PixelJob Pixels(int block, std::int16_t* out) const;
  // Hands over the block from whichever count finishes first.
  std::int64_t TakeOver(int block, const ColumnSink& sink);

  ScanPlan plan_;
  std::int64_t (*countPixels_)(const PixelJob& job);
  int first_;
  int count_;
  int blockColumns_;
  int blocks_;
  std::unique_ptr<std::int16_t[]> counts_;
  std::vector<std::int64_t> steps_;
  std::vector<std::atomic<std::uint8_t>> state_;
  std::atomic<int> next_{0};
  std::vector<std::int16_t> own_;  // Run's count of a late block
  int takenOver_ = 0;
};

}  // namespace tesvo
