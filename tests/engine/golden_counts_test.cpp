// Golden counts: a hash of the counts of every preset view (each formula,
// Mandelbrot and Julia, each colouring method, at limits 100 and 5000),
// recorded once from the plain literal scan. Every path and thread count of
// this build on this machine must give them; a change of any count on any
// build or machine fails here by name.
//
// A second table holds the same views at 16 x 12 pixels, small enough to be
// counted on every path and thread count, and under an emulator, where a
// build for another architecture is checked against counts made here.
//
// To record the tables again (only after a deliberate change of the counts):
//   TESVO_RECORD_GOLDEN=full ./tesvo_core_tests --gtest_filter='GoldenTable.*'
// (or =small)
// prints it from the reference path, point by point, which the scan tests
// hold to the literal scan bit for bit (the literal scan itself takes hours
// for the transcendental formulas at 5000; at 100 it gave this table too).
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "engine/image_record.h"
#include "engine/scan.h"
#include "engine/test_records.h"

namespace tesvo {
namespace {

struct View {
  int row;  // formula 'a' + row
  char kind;
  std::int32_t method;
  double limit;
};

std::vector<View> EveryPresetView() {
  std::vector<View> views;
  for (double limit : {100.0, 5000.0})
    for (int row = 0; row < kFormulaCount; ++row)
      for (char kind : {kMandelbrotKind, kJuliaKind})
        for (std::int32_t method = 0; method < 4; ++method) views.push_back({row, kind, method, limit});
  return views;
}

// The Julia template's own parameter gives a plain picture for several
// formulas; these points give pictures with structure.
constexpr Complex kJuliaParameters[kFormulaCount] = {{0.9, 0.3},  {0.6, 1.1},  {-0.75, 0.11}, {0.4, 0.6},
                                                     {0.5, 0.55}, {-0.1, 0.3}, {0.6, 0.2},    {0.3, 0.5}};

constexpr int kSmallWidth = 16;
constexpr int kSmallHeight = 12;

ImageRecord RecordOf(const View& view, bool small = false) {
  ImageRecord r = BuiltInPresets()[view.row][view.kind == kMandelbrotKind ? kMandelbrotPreset : kJuliaPreset];
  if (small) r = testing::Resized(r, kSmallWidth, kSmallHeight);
  if (view.kind == kJuliaKind) {
    r.juliaRe = kJuliaParameters[view.row].re;
    r.juliaIm = kJuliaParameters[view.row].im;
  }
  r.coloringMethod = view.method;
  r.iterationLimit = view.limit;
  return r;
}

std::string Name(const View& view) {
  return std::string("formula ") + static_cast<char>('a' + view.row) + ", kind " + view.kind + ", method " +
         std::to_string(view.method) + ", limit " + std::to_string(static_cast<int>(view.limit));
}

// FNV-1a over the counts' bytes, low byte first, whatever the machine's order.
std::uint64_t Hash(const std::vector<std::int16_t>& counts) {
  std::uint64_t hash = 14695981039346656037ull;
  for (std::int16_t count : counts) {
    const auto bits = static_cast<std::uint16_t>(count);
    for (int byte : {bits & 0xFF, bits >> 8})
      hash = (hash ^ static_cast<std::uint64_t>(byte)) * 1099511628211ull;
  }
  return hash;
}

// In the order of EveryPresetView: limit, formula, kind (m, j), method.
constexpr std::uint64_t kGolden[] = {
#include "engine/golden_counts.inc"
};
constexpr std::uint64_t kSmallGolden[] = {
#include "engine/golden_counts_small.inc"
};

TEST(GoldenTable, Record) {
  const char* table = std::getenv("TESVO_RECORD_GOLDEN");
  if (table == nullptr) GTEST_SKIP() << "set TESVO_RECORD_GOLDEN=full or small to print that table";
  const bool small = table == std::string("small");
  for (const View& view : EveryPresetView()) {
    const ScanPlan plan = MakeScanPlan(RecordOf(view, small), view.kind == kMandelbrotKind);
    std::vector<std::int16_t> counts(plan.xs.size() * plan.ys.size());
    CountColumns(plan, 0, plan.Columns(), counts.data(), {ScanPath::kReference, 2});
    std::printf("    0x%016llxull,  // %s\n", static_cast<unsigned long long>(Hash(counts)),
                Name(view).c_str());
    std::fflush(stdout);
  }
}

// The default path, then each of `paths` that this build and this CPU have on
// each of `threadCounts` threads (three is more threads than the machine has
// cores, so blocks change hands).
std::vector<ScanSettings> Settings(std::vector<ScanPath> paths, std::vector<int> threadCounts) {
  std::vector<ScanSettings> settings = {{ScanPath::kFastest, 0}};
  for (ScanPath path : paths)
    if (PathAvailable(path))
      for (int threads : threadCounts) settings.push_back({path, threads});
  return settings;
}

const std::vector<ScanPath> kEveryVectorPath(std::begin(kVectorPaths), std::end(kVectorPaths));

// The views of one formula, one test each, so that a run can pick formulas.
class GoldenCounts : public ::testing::TestWithParam<int> {
 protected:
  // The formula's views at `limit` counted with each of `settings`, full size
  // or small.
  void ExpectGoldenCounts(double limit, const std::vector<ScanSettings>& settings, bool small = false) {
    const std::vector<View> views = EveryPresetView();
    ASSERT_EQ(std::size(kGolden), views.size());
    ASSERT_EQ(std::size(kSmallGolden), views.size());
    for (std::size_t i = 0; i < views.size(); ++i) {
      if (views[i].limit != limit || views[i].row != GetParam()) continue;
      const ScanPlan plan = MakeScanPlan(RecordOf(views[i], small), views[i].kind == kMandelbrotKind);
      std::vector<std::int16_t> counts(plan.xs.size() * plan.ys.size());
      for (const ScanSettings& s : settings) {
        CountColumns(plan, 0, plan.Columns(), counts.data(), s);
        EXPECT_EQ(Hash(counts), small ? kSmallGolden[i] : kGolden[i])
            << Name(views[i]) << (small ? ", small" : "") << ", " << PathName(s.path) << " on " << s.threads
            << " threads";
      }
    }
  }
};

// The reference path at 100 only, and not under the sanitizers: there and at
// 5000 it takes minutes.
TEST_P(GoldenCounts, AtLimit100) {
  std::vector<ScanSettings> settings = Settings(kEveryVectorPath, {1, 3});
#ifndef TESVO_SANITIZED_TESTS
  settings.push_back({ScanPath::kReference, 2});
#endif
  ExpectGoldenCounts(100, settings);
}

TEST_P(GoldenCounts, AtLimit5000) {
#ifdef TESVO_SANITIZED_TESTS
  GTEST_SKIP() << "minutes under the sanitizers; the optimised build checks these counts";
#endif
  ExpectGoldenCounts(5000, Settings(kEveryVectorPath, {3}));
}

// Every path this build has, the point-by-point one included, on one, two and
// three threads: the small table takes seconds even under an emulator.
std::vector<ScanSettings> EveryPathAndThreadCount() {
  std::vector<ScanPath> paths = kEveryVectorPath;
  paths.push_back(ScanPath::kReference);
  return Settings(paths, {1, 2, 3});
}

TEST_P(GoldenCounts, SmallAtLimit100) { ExpectGoldenCounts(100, EveryPathAndThreadCount(), true); }

TEST_P(GoldenCounts, SmallAtLimit5000) { ExpectGoldenCounts(5000, EveryPathAndThreadCount(), true); }

INSTANTIATE_TEST_SUITE_P(EveryFormula, GoldenCounts, ::testing::Range(0, kFormulaCount),
                         [](const ::testing::TestParamInfo<int>& info) {
                           return std::string(1, 'a' + info.param);
                         });

}  // namespace
}  // namespace tesvo
