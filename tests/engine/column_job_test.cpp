#include "engine/column_job.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "engine/buffers.h"
#include "engine/generation.h"
#include "engine/reference_scan.h"
#include "engine/scan.h"
#include "engine/test_records.h"
#include "tests/fake_window.h"

namespace tesvo {
namespace {

std::vector<std::int16_t> PointByPoint(const ImageRecord& r) { return testing::ReferenceScan(r).counts; }

// What a sink was given, and whether it came in order.
struct Received {
  std::vector<std::int16_t> counts;
  int next = 0;
  bool inOrder = true;

  ColumnSink Sink(int rows) {
    return [this, rows](int first, int count, const std::int16_t* k) {
      inOrder &= first == next && count > 0;
      next = first + count;
      counts.insert(counts.end(), k, k + static_cast<std::size_t>(count) * rows);
    };
  }
};

std::vector<ScanPath> Paths() {
  std::vector<ScanPath> paths = {ScanPath::kReference};
  for (ScanPath path : kVectorPaths)
    if (PathAvailable(path)) paths.push_back(path);
  return paths;
}

// The test thread plays a helper: it counts the blocks before `held`, claims
// that one and is held up. Run counts the rest, then the held block itself;
// when the helper finally finishes, or had finished before Run, nothing
// changes. A block of 600 pixels is counted again in more than one piece.
// Every point escapes, so no count is 0: a pixel left out shows.
TEST(ColumnJob, ALateHelpersBlockIsCountedByTheCallingThread) {
  ImageRecord r = testing::Resized(testing::Preset(2, kMandelbrotPreset), 40, 199);
  r.planeLeft = 0.5;
  r.planeRight = 2.5;
  r.planeTop = 2.5;
  r.planeBottom = 0.5;
  const ScanPlan plan = MakeScanPlan(r, true);
  const std::vector<std::int16_t> expected = PointByPoint(r);
  ASSERT_EQ(std::count(expected.begin(), expected.end(), 0), 0);
  for (ScanPath path : Paths()) {
    for (int held : {0, 5, 13}) {
      for (bool finishedFirst : {false, true}) {
        ColumnJob job(plan, 0, plan.Columns(), path, 3);
        ASSERT_EQ(job.Blocks(), 14);
        int claimed = job.Claim();
        for (; claimed < held; claimed = job.Claim()) job.Count(claimed);
        ASSERT_EQ(claimed, held);
        if (finishedFirst) job.Count(held);
        Received received;
        job.Run(received.Sink(plan.Rows()));
        if (!finishedFirst) job.Count(held);
        const std::string what = "path " + std::to_string(static_cast<int>(path)) + ", block " +
                                 std::to_string(held) + (finishedFirst ? ", finished first" : ", late");
        EXPECT_TRUE(received.inOrder) << what;
        EXPECT_EQ(received.next, plan.Columns()) << what;
        EXPECT_EQ(received.counts, expected) << what;
        EXPECT_EQ(job.TakenOver(), finishedFirst ? 0 : 1) << what;
        EXPECT_EQ(job.Claim(), -1) << what;
      }
    }
  }
}

// Counting while other threads keep the cores busy: helpers are descheduled
// at any moment, blocks are counted twice, and the counts stay the same.
TEST(ColumnJob, CountsStayTheSameWhileTheCoresAreBusy) {
  std::atomic<bool> stop{false};
  std::vector<std::jthread> spinners;
  for (unsigned i = 0; i < std::max(1u, std::thread::hardware_concurrency()); ++i)
    spinners.emplace_back([&stop] {
      while (!stop.load(std::memory_order_relaxed)) {
      }
    });
  for (int row : {1, 2, 6}) {
    ImageRecord r = testing::Resized(testing::Preset(row, kMandelbrotPreset), 70, 60);
    r.iterationLimit = 400;
    const ScanPlan plan = MakeScanPlan(r, true);
    const std::vector<std::int16_t> expected = PointByPoint(r);
    for (int threads : {2, 3, 5}) {
      for (int run = 0; run < 4; ++run) {
        Received received;
        CountColumnsInOrder(plan, 0, plan.Columns(), {ScanPath::kFastest, threads},
                            received.Sink(plan.Rows()));
        EXPECT_TRUE(received.inOrder) << "formula " << row << ", " << threads << " threads";
        EXPECT_EQ(received.counts, expected) << "formula " << row << ", " << threads << " threads";
      }
    }
    // The whole of generation, on the default threads.
    static CountBuffer stored;
    CountImage(r, &stored, [](int, int, int, const std::int16_t*) {});
    const int h = r.Height();
    for (int i = 0; i < plan.Columns(); ++i)
      for (int j = 0; j < h; ++j)
        ASSERT_EQ(stored[i * h + j], expected[i * plan.Rows() + j]) << i << ", " << j;
  }
  stop = true;
}

}  // namespace
}  // namespace tesvo
