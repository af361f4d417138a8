// Golden counts: a hash of the counts of every preset view (each formula,
// Mandelbrot and Julia, each colouring method, at limits 100 and 5000),
// recorded once from the plain literal scan. Every path and thread count of
// this build on this machine must give them; a change of any count on any
// build or machine fails here by name.
//
// To record the table again (only after a deliberate change of the counts):
//   TESVO_RECORD_GOLDEN=1 ./tesvo_core_tests --gtest_filter='GoldenCounts.*'
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

ImageRecord RecordOf(const View& view) {
  ImageRecord r = BuiltInPresets()[view.row][view.kind == kMandelbrotKind ? kMandelbrotPreset : kJuliaPreset];
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

TEST(GoldenCounts, Record) {
  if (!std::getenv("TESVO_RECORD_GOLDEN")) GTEST_SKIP() << "set TESVO_RECORD_GOLDEN=1 to print the table";
  for (const View& view : EveryPresetView()) {
    const ScanPlan plan = MakeScanPlan(RecordOf(view), view.kind == kMandelbrotKind);
    std::vector<std::int16_t> counts(plan.xs.size() * plan.ys.size());
    CountColumns(plan, 0, plan.Columns(), counts.data(), {ScanPath::kReference, 2});
    std::printf("    0x%016llxull,  // %s\n", static_cast<unsigned long long>(Hash(counts)),
                Name(view).c_str());
    std::fflush(stdout);
  }
}

// The views at `limit` as this machine counts them by default and on every
// other vector path it has, on `threadCounts` threads (three is more threads
// than the machine has cores, so blocks change hands), and by the reference
// path where `reference` says so.
void ExpectGoldenCounts(double limit, std::vector<int> threadCounts, bool reference) {
  const std::vector<View> views = EveryPresetView();
  ASSERT_EQ(std::size(kGolden), views.size());
  std::vector<ScanSettings> settings = {{ScanPath::kFastest, 0}};
  if (reference) settings.push_back({ScanPath::kReference, 2});
  for (ScanPath path : {ScanPath::kSse2, ScanPath::kAvx2, ScanPath::kAvx512})
    if (PathAvailable(path))
      for (int threads : threadCounts) settings.push_back({path, threads});
  const char* pathNames[] = {"fastest", "reference", "SSE2", "AVX2", "AVX-512"};

  for (std::size_t i = 0; i < views.size(); ++i) {
    if (views[i].limit != limit) continue;
    const ScanPlan plan = MakeScanPlan(RecordOf(views[i]), views[i].kind == kMandelbrotKind);
    std::vector<std::int16_t> counts(plan.xs.size() * plan.ys.size());
    for (const ScanSettings& s : settings) {
      CountColumns(plan, 0, plan.Columns(), counts.data(), s);
      EXPECT_EQ(Hash(counts), kGolden[i]) << Name(views[i]) << ", " << pathNames[static_cast<int>(s.path)]
                                          << " on " << s.threads << " threads";
    }
  }
}

// The reference path at 100 only, and not under the sanitizers: there and at
// 5000 it takes minutes.
TEST(GoldenCounts, EveryPresetViewAtLimit100) {
#ifdef TESVO_SANITIZED_TESTS
  ExpectGoldenCounts(100, {1, 3}, false);
#else
  ExpectGoldenCounts(100, {1, 3}, true);
#endif
}

TEST(GoldenCounts, EveryPresetViewAtLimit5000) {
#ifdef TESVO_SANITIZED_TESTS
  GTEST_SKIP() << "minutes under the sanitizers; the optimised build checks these counts";
#endif
  ExpectGoldenCounts(5000, {3}, false);
}

}  // namespace
}  // namespace tesvo
