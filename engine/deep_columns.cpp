// CountDeepView: the reference orbit and the skip table on the calling
// thread, then the columns shared among threads as the shallow scan shares
// them. Threads claim columns from one counter; the calling thread hands them
// over in order, and counts again a column a late helper still holds rather
// than wait for it. Every pixel's count depends on its offset alone, so any
// thread gives the same counts.
#include <algorithm>
#include <atomic>
#include <memory>
#include <vector>

#include "engine/bla_table.h"
#include "engine/deep_plan.h"
#include "engine/deep_view.h"
#include "engine/helper_threads.h"
#include "engine/perturbation.h"
#include "engine/reference_orbit.h"

namespace tesvo {
namespace {

class DeepJob : public HelperTask {
 public:
  DeepJob(const DeepView& view, const DeepPlan& plan, ReferenceOrbit orbit,
          const PerturbationOptions& options)
      : view_(view),
        plan_(plan),
        orbit_(std::move(orbit)),
        table_(view.formulaLetter, orbit_, plan.dcAbove, view.bound),
        counter_(view.formulaLetter, orbit_, table_, view.limit, view.bound,
                 {.method = view.method, .convergenceFactor = view.convergenceFactor}, options),
        counts_(static_cast<std::size_t>(view.columns) * view.rows),
        totals_(view.columns),
        state_(view.columns) {}

  void Help() override {
    for (int column; (column = Claim()) >= 0;) {
      if (!Count(column)) return;
    }
  }

  // On the calling thread: false when progress asked to stop.
  bool Run(const DeepColumnSink& sink, const std::function<bool(double)>& progress, StepTotals& totals) {
    const int columns = view_.columns;
    std::vector<std::uint32_t> own(static_cast<std::size_t>(view_.rows));
    for (int next = 0; next < columns;) {
      int end = next;
      for (; end < columns && state_[end].load(std::memory_order_acquire) == kCounted; ++end) {
        totals.steps += totals_[end].steps;
        totals.skipped += totals_[end].skipped;
      }
      if (end > next) {
        sink(next, end - next, Column(next));
        next = end;
      } else if (const int column = Claim(); column >= 0) {
        Count(column);
        continue;
      } else {
        // Every column is claimed and the next one is a helper's.
        StepTotals mine;
        std::uint8_t pending = kPending;
        if (CountInto(next, own.data(), mine, &state_[next]) &&
            state_[next].compare_exchange_strong(pending, kTakenOver, std::memory_order_acquire)) {
          totals.steps += mine.steps;
          totals.skipped += mine.skipped;
          sink(next, 1, own.data());
        } else {
          state_[next].wait(kPending, std::memory_order_acquire);
          totals.steps += totals_[next].steps;
          totals.skipped += totals_[next].skipped;
          sink(next, 1, Column(next));
        }
        ++next;
      }
      if (progress && !progress(static_cast<double>(next) / columns)) {
        stop_.store(true, std::memory_order_relaxed);
        return false;
      }
    }
    return true;
  }

 private:
  enum : std::uint8_t { kPending, kCounted, kTakenOver };

  int Claim() {
    const int column = next_.fetch_add(1, std::memory_order_relaxed);
    return column < view_.columns ? column : -1;
  }

  std::uint32_t* Column(int column) { return counts_.data() + static_cast<std::size_t>(column) * view_.rows; }

  // False when the count stopped early: the view was abandoned, or `watch`
  // shows a helper has finished the column meanwhile. Counts a piece of the
  // column at a time, looking in between.
  bool CountInto(int column, std::uint32_t* out, StepTotals& totals, const std::atomic<std::uint8_t>* watch) {
    constexpr int kPiece = 64;
    Cx<FloatExp> dc[kPiece];
    for (int j = 0; j < view_.rows; j += kPiece) {
      if (stop_.load(std::memory_order_relaxed)) return false;
      if (watch != nullptr && watch->load(std::memory_order_acquire) != kPending) return false;
      const int count = std::min(kPiece, view_.rows - j);
      for (int k = 0; k < count; ++k) dc[k] = PixelOffset(view_, plan_, column, j + k);
      counter_.Count(dc, out + j, count, totals);
    }
    return true;
  }

  bool Count(int column) {
    StepTotals totals;
    if (!CountInto(column, Column(column), totals, nullptr)) return false;
    totals_[column] = totals;
    std::uint8_t pending = kPending;
    // Fails when the calling thread has handed the column over from its own count.
    state_[column].compare_exchange_strong(pending, kCounted, std::memory_order_release,
                                           std::memory_order_relaxed);
    state_[column].notify_all();
    return true;
  }

  const DeepView view_;
  const DeepPlan plan_;
  const ReferenceOrbit orbit_;
  const BlaTable table_;
  const PerturbationCounter counter_;
  std::vector<std::uint32_t> counts_;
  std::vector<StepTotals> totals_;
  std::vector<std::atomic<std::uint8_t>> state_;
  std::atomic<int> next_{0};
  std::atomic<bool> stop_{false};
};

}  // namespace

bool CountDeepView(const DeepView& view, const DeepSettings& settings, const DeepColumnSink& sink) {
  const DeepPlan plan = MakeDeepPlan(view);
  bool stopped = false;
  const auto orbitProgress = [&](double) {
    stopped = settings.progress && !settings.progress(0.0);
    return !stopped;
  };
  ReferenceOrbit orbit = ComputeReferenceOrbit(view.formulaLetter, view.centreRe, view.centreIm,
                                               plan.precision, view.limit, view.bound, orbitProgress);
  if (stopped) return false;
  const auto job = std::make_shared<DeepJob>(view, plan, std::move(orbit), settings.perturbation);
  const int threads = settings.threads > 0 ? settings.threads : DefaultThreads();
  AskForHelp(job, std::min(threads, view.columns) - 1);
  StepTotals totals;
  const bool finished = job->Run(sink, settings.progress, totals);
  WithdrawHelp(job.get());
  if (settings.steps != nullptr) *settings.steps = totals.steps;
  if (settings.skipped != nullptr) *settings.skipped = totals.skipped;
  return finished;
}

}  // namespace tesvo
