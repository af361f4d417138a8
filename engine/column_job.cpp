#include "engine/column_job.h"

#include <algorithm>

namespace tesvo {
namespace {

// Run counts a late block again in pieces of this many pixels, looking after
// each whether the helper has finished it meanwhile.
constexpr std::int64_t kTakeOverPixels = 512;

}  // namespace

ColumnJob::ColumnJob(const ScanPlan& plan, int first, int count, ScanPath path, int blockColumns)
    : plan_(plan),
      countPixels_(KernelsFor(path).countPixels),
      first_(first),
      count_(count),
      blockColumns_(std::max(1, blockColumns)),
      blocks_((count + blockColumns_ - 1) / blockColumns_),
      counts_(std::make_unique_for_overwrite<std::int16_t[]>(static_cast<std::size_t>(count) * plan.Rows())),
      steps_(blocks_),
      state_(blocks_) {}

PixelJob ColumnJob::Pixels(int block, std::int16_t* out) const {
  return {.xs = plan_.xs.data() + FirstColumn(block),
          .ys = plan_.ys.data(),
          .rows = plan_.Rows(),
          .begin = 0,
          .end = std::int64_t{ColumnCount(block)} * plan_.Rows(),
          .out = out,
          .formulaLetter = plan_.formulaLetter,
          .mandelbrot = plan_.mandelbrot,
          .method = plan_.method,
          .limit = plan_.limit,
          .bound = plan_.bound,
          .cRe = plan_.cRe,
          .cIm = plan_.cIm,
          .convergenceFactor = plan_.convergenceFactor};
}

int ColumnJob::Claim() {
  const int block = next_.fetch_add(1, std::memory_order_relaxed);
  return block < blocks_ ? block : -1;
}

void ColumnJob::Count(int block) {
  steps_[block] = countPixels_(Pixels(block, BlockCounts(block)));
  // Fails when Run has handed the block over from its own count already.
  std::uint8_t pending = kPending;
  state_[block].compare_exchange_strong(pending, kCounted, std::memory_order_release,
                                        std::memory_order_relaxed);
}

void ColumnJob::Help() {
  for (int block; (block = Claim()) >= 0;) Count(block);
}

std::int64_t ColumnJob::Run(const ColumnSink& sink) {
  std::int64_t steps = 0;
  for (int next = 0; next < blocks_;) {
    int end = next;
    for (; end < blocks_ && state_[end].load(std::memory_order_acquire) == kCounted; ++end)
      steps += steps_[end];
    if (end > next) {
      sink(FirstColumn(next), FirstColumn(end - 1) + ColumnCount(end - 1) - FirstColumn(next),
           BlockCounts(next));
      next = end;
    } else if (const int block = Claim(); block >= 0) {
      Count(block);
    } else {
      // Every block is claimed and the next one to hand over is a helper's.
      steps += TakeOver(next, sink);
      ++next;
    }
  }
  return steps;
}

std::int64_t ColumnJob::TakeOver(int block, const ColumnSink& sink) {
  PixelJob pixels = Pixels(block, nullptr);
  own_.resize(static_cast<std::size_t>(pixels.end));
  pixels.out = own_.data();
  const std::int64_t end = pixels.end;
  std::int64_t steps = 0;
  for (std::int64_t p = 0; p < end; p += kTakeOverPixels) {
    if (state_[block].load(std::memory_order_acquire) == kCounted) break;
    pixels.begin = p;
    pixels.end = std::min(end, p + kTakeOverPixels);
    steps += countPixels_(pixels);
  }
  std::uint8_t pending = kPending;
  if (state_[block].compare_exchange_strong(pending, kTakenOver, std::memory_order_acquire)) {
    ++takenOver_;
    sink(FirstColumn(block), ColumnCount(block), own_.data());
    return steps;
  }
  // The helper finished first; what it wrote is complete.
  sink(FirstColumn(block), ColumnCount(block), BlockCounts(block));
  return steps_[block];
}

}  // namespace tesvo
