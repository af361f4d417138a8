#include "engine/scan.h"

#include <algorithm>
#include <cstdint>
#include <memory>

#include "engine/column_job.h"
#include "engine/helper_threads.h"

namespace tesvo {
namespace {

// Columns per block, for blocks of about as many pixels as keep the lanes busy
// and make the hand-out cost nothing, and few enough that a block left to the
// last thread, or counted twice for a late helper, is short.
int BlockColumns(std::int64_t pixels, int rows, int threads) {
  const std::int64_t target = std::clamp<std::int64_t>(pixels / (8 * threads), 64, 2048);
  return static_cast<int>(std::max<std::int64_t>(1, (target + rows / 2) / rows));
}

}  // namespace

void CountColumnsInOrder(const ScanPlan& plan, int first, int count, const ScanSettings& settings,
                         const ColumnSink& sink) {
  const int rows = plan.Rows();
  const std::int64_t pixels = std::int64_t{count} * rows;
  if (settings.steps != nullptr) *settings.steps = 0;
  if (settings.takenOver != nullptr) *settings.takenOver = 0;
  if (pixels <= 0) return;
  // The kernels take the first step whatever the bound, which is right only
  // for a bound of 0 or more; below that every point escapes before its first
  // step, which costs nothing on the plain rule. They also assume a limit
  // from 0 to the highest a record may hold, which is all CanGenerate lets
  // through.
  const bool kernelsApply = plan.limit >= 0 && plan.limit <= kMaxIterationLimit && !(0 > plan.bound);
  const ScanPath path = kernelsApply ? settings.path : ScanPath::kReference;
  // Unless told otherwise, small jobs stay on the calling thread: waking a
  // helper costs more than it saves on a few thousand pixels.
  const int threads = settings.threads > 0
                          ? settings.threads
                          : static_cast<int>(std::min<std::int64_t>(DefaultThreads(), 1 + pixels / 4096));
  const auto job = std::make_shared<ColumnJob>(plan, first, count, path, BlockColumns(pixels, rows, threads));
  const int helpers = std::min(threads, job->Blocks()) - 1;
  AskForHelp(job, helpers);
  const std::int64_t steps = job->Run(sink);
  if (helpers > 0) WithdrawHelp(job.get());
  if (settings.steps != nullptr) *settings.steps = steps;
  if (settings.takenOver != nullptr) *settings.takenOver = job->TakenOver();
}

void CountColumns(const ScanPlan& plan, int first, int count, std::int16_t* out,
                  const ScanSettings& settings) {
  const std::size_t rows = plan.Rows();
  CountColumnsInOrder(plan, first, count, settings, [&](int from, int columns, const std::int16_t* counts) {
    std::copy_n(counts, columns * rows, out + (from - first) * rows);
  });
}

}  // namespace tesvo
