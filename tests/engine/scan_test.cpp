#include "engine/scan.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "engine/deterministic_math.h"
#include "engine/generation.h"
#include "engine/program_state.h"
#include "engine/scan_kernel.h"
#include "tests/fake_window.h"

namespace tesvo {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr char kKinds[] = {kMandelbrotKind, kJuliaKind, kPreviewKind};

// A point of each formula's Julia set that gives a picture with structure.
constexpr Complex kJuliaParameters[kFormulaCount] = {{0.9, 0.3},  {0.6, 1.1},  {-0.75, 0.11}, {0.4, 0.6},
                                                     {0.5, 0.55}, {-0.1, 0.3}, {0.6, 0.2},    {0.3, 0.5}};

struct Window {
  double left, top, right, bottom;
};

struct Case {
  std::string name;
  int width;   // W: the scan covers W + 1 columns
  int height;  // H: and H + 1 rows
  double limit;
  double bound;
  bool presetWindow;  // the preset's plane rectangle rather than window
  Window window;
};

// The preset of the formula and kind, with the case's rectangle, limit and bound.
ImageRecord MakeRecord(int row, char kind, int method, const Case& c) {
  const int slot = kind == kMandelbrotKind ? kMandelbrotPreset
                   : kind == kJuliaKind    ? kJuliaPreset
                                           : kPreviewPreset;
  ImageRecord r = BuiltInPresets()[row][slot];
  r.pixelRight = r.pixelLeft + c.width;
  r.pixelBottom = r.pixelTop + c.height;
  r.iterationLimit = c.limit;
  r.escapeBound = c.bound;
  if (!c.presetWindow) {
    r.planeLeft = c.window.left;
    r.planeTop = c.window.top;
    r.planeRight = c.window.right;
    r.planeBottom = c.window.bottom;
  }
  r.juliaRe = kJuliaParameters[row].re;
  r.juliaIm = kJuliaParameters[row].im;
  r.coloringMethod = method;
  return r;
}

// The z^2 Mandelbrot preset on a W x H rectangle.
ImageRecord ZSquaredPreset(int width, int height) {
  ImageRecord r = BuiltInPresets()[2][kMandelbrotPreset];
  r.pixelRight = r.pixelLeft + width;
  r.pixelBottom = r.pixelTop + height;
  return r;
}

std::vector<std::int16_t> CountEachPoint(const ScanPlan& plan) {
  std::vector<std::int16_t> counts;
  for (double x : plan.xs)
    for (double y : plan.ys) counts.push_back(CountPoint(plan, x, y));
  return counts;
}

std::vector<std::int16_t> CountAll(const ScanPlan& plan, ScanSettings settings) {
  std::vector<std::int16_t> counts(plan.xs.size() * plan.ys.size(), -1);
  CountColumns(plan, 0, plan.Columns(), counts.data(), settings);
  return counts;
}

std::vector<ScanSettings> EverySetting() {
  std::vector<ScanSettings> settings = {{ScanPath::kReference, 2}, {ScanPath::kFastest, 0}};
  for (ScanPath path : {ScanPath::kSse2, ScanPath::kAvx2, ScanPath::kAvx512}) {
    if (!PathAvailable(path)) continue;
    for (int threads : {1, 3}) settings.push_back({path, threads});
  }
  return settings;
}

std::string Describe(const ScanSettings& s) {
  const char* names[] = {"fastest", "reference", "SSE2", "AVX2", "AVX-512"};
  return std::string(names[static_cast<int>(s.path)]) + " on " + std::to_string(s.threads) + " threads";
}

// Every formula, kind and method of the case, every path and thread count:
// the counts of the plain point-by-point rule, bit for bit.
void ExpectSameCounts(const Case& c, std::vector<int> methods = {0, 1, 2, 3}) {
  const std::vector<ScanSettings> settings = EverySetting();
  for (int row = 0; row < kFormulaCount; ++row) {
    for (char kind : kKinds) {
      for (int method : methods) {
        const ImageRecord r = MakeRecord(row, kind, method, c);
        ASSERT_TRUE(CanGenerate(r));
        const ScanPlan plan = MakeScanPlan(r, kind == kMandelbrotKind);
        const std::vector<std::int16_t> expected = CountEachPoint(plan);
        for (const ScanSettings& s : settings) {
          ASSERT_EQ(CountAll(plan, s), expected) << c.name << ", formula " << r.formulaLetter << ", kind "
                                                 << kind << ", method " << method << ", " << Describe(s);
        }
      }
    }
  }
}

TEST(CountColumns, PresetWindows) {
  ExpectSameCounts({"preset", 40, 33, 100, 1000, true, {}});
  ExpectSameCounts({"preset at 256 with the bound of 'a'", 17, 19, 256, 1e9, true, {}});
}

TEST(CountColumns, DeepZoomsAtHighLimits) {
  const Window deep{-0.7436447860, 0.1318252536, -0.7436446860, 0.1318251536};
  ExpectSameCounts({"deep zoom", 5, 4, 5000, 1000, false, deep}, {0, 2});
  const Window edge{-0.76, 0.12, -0.74, 0.10};
  ExpectSameCounts({"zoom on the edge", 5, 4, 5000, 1000, false, edge}, {0, 1, 3});
}

TEST(CountColumns, FractionalAndSmallLimits) {
  const Window w{-2.1, 1.3, 0.9, -1.4};
  for (double limit : {0.0, 0.5, 2.5, 99.5}) {
    ExpectSameCounts({"limit " + std::to_string(limit), 9, 8, limit, 1000, false, w});
  }
}

TEST(CountColumns, PointsOnTheBound) {
  // dx = dy = 0.5: the iterates of many points are small dyadic numbers whose
  // squared modulus lands exactly on these bounds.
  const Window w{-2, 2, 2, -2};
  for (double bound : {0.0, 2.0, 4.0, 16.0})
    ExpectSameCounts({"bound " + std::to_string(bound), 8, 8, 30, bound, false, w});
  // Every point passes a negative bound at once; none passes an infinite one
  // or one that is not a number.
  for (double bound : {-1.0, kInf, kNaN})
    ExpectSameCounts({"bound " + std::to_string(bound), 5, 4, 30, bound, false, w});
}

TEST(CountColumns, TinyAndDegenerateRectangles) {
  const Window w{-1.5, 1.0, 0.5, -1.0};
  ExpectSameCounts({"one pixel", 0, 0, 100, 1000, false, w});  // dx and dy are infinite: points not a number
  ExpectSameCounts({"2 x 2", 1, 1, 100, 1000, false, w});
  ExpectSameCounts({"one column", 0, 9, 100, 1000, false, w});
  ExpectSameCounts({"one row", 9, 0, 100, 1000, false, w});
  ExpectSameCounts({"a point, not a rectangle", 3, 3, 100, 1000, false, {0.25, 0, 0.25, 0}});
  ExpectSameCounts({"the origin in the middle", 4, 4, 100, 1000, false, {-1, 1, 1, -1}});
}

// A previewed c need not be finite (the inverse of a point at 0, a point of
// an image no column wide): every path counts such orbits as the plain rule.
TEST(CountColumns, JuliaParametersThatAreNotFinite) {
  const Case c{"preset", 6, 5, 100, 1000, true, {}};
  for (const Complex julia : {Complex{kNaN, kNaN}, Complex{-kInf, 0.3}}) {
    for (int row = 0; row < kFormulaCount; ++row) {
      for (int method = 0; method < 4; ++method) {
        ImageRecord r = MakeRecord(row, kPreviewKind, method, c);
        r.juliaRe = julia.re;
        r.juliaIm = julia.im;
        const ScanPlan plan = MakeScanPlan(r, false);
        const std::vector<std::int16_t> expected = CountEachPoint(plan);
        for (const ScanSettings& s : EverySetting())
          ASSERT_EQ(CountAll(plan, s), expected)
              << julia.re << ", " << julia.im << ", formula " << r.formulaLetter << ", method " << method
              << ", " << Describe(s);
      }
    }
  }
}

TEST(CountColumns, AnyRangeOfColumnsGivesItsShareOfTheWhole) {
  const ScanPlan plan = MakeScanPlan(ZSquaredPreset(30, 26), true);
  const std::vector<std::int16_t> whole = CountEachPoint(plan);
  for (const ScanSettings& s : EverySetting()) {
    std::vector<std::int16_t> pieces(whole.size(), -1);
    for (int first = 0; first < plan.Columns(); first += 4) {
      const int count = std::min(4, plan.Columns() - first);
      CountColumns(plan, first, count, pieces.data() + static_cast<std::size_t>(first) * plan.Rows(), s);
    }
    EXPECT_EQ(pieces, whole) << Describe(s);
  }
}

// Generation hands the window one strip inside the call that counts the
// next: that must happen once, on the calling thread, even with nothing left
// to count.
TEST(CountColumns, MeanwhileRunsOnceOnTheCallingThread) {
  const ScanPlan plan = MakeScanPlan(ZSquaredPreset(60, 60), true);
  const std::vector<std::int16_t> expected = CountEachPoint(plan);
  for (int count : {0, plan.Columns()}) {
    for (int threads : {1, 2}) {
      std::vector<std::int16_t> counts(expected.size(), -1);
      int calls = 0;
      std::thread::id caller;
      CountColumnsWhile(plan, 0, count, counts.data(), {ScanPath::kFastest, threads}, [&] {
        ++calls;
        caller = std::this_thread::get_id();
      });
      EXPECT_EQ(calls, 1);
      EXPECT_EQ(caller, std::this_thread::get_id());
      if (count > 0) {
        EXPECT_EQ(counts, expected);
      }
    }
  }
  EXPECT_TRUE(PathAvailable(ScanPath::kReference));
  EXPECT_TRUE(PathAvailable(ScanPath::kFastest));
}

// Values that exercise every branch of the functions: signed zeros,
// infinities, multiples of pi/4 and their neighbours, the edges of exp's
// range, subnormals, and random bit patterns over all exponents.
std::vector<double> MathInputs() {
  std::vector<double> in = {0.0,    -0.0,  kInf,   -kInf, kNaN, 1e-310, -1e-310, 709.78, 709.79, -745.1,
                            -745.2, 1e300, -1e300, 1e15,  1e22, 0.5,    1.0,     2.0,    3.0};
  for (int k = -64; k <= 64; ++k) {
    const double x = k * 0.7853981633974483;
    in.insert(in.end(), {x, std::nextafter(x, kInf), std::nextafter(x, -kInf)});
  }
  std::mt19937_64 random(20240511);
  std::uniform_real_distribution<double> small(-40.0, 40.0);
  for (int i = 0; i < 20000; ++i) {
    in.push_back(small(random));
    in.push_back(std::bit_cast<double>(random()));
  }
  return in;
}

void ExpectSameBits(const std::vector<double>& in, const std::vector<double>& expected,
                    const std::vector<double>& got, const char* what) {
  for (std::size_t i = 0; i < in.size(); ++i) {
    if (std::isnan(expected[i]) && std::isnan(got[i])) continue;
    ASSERT_EQ(std::bit_cast<std::uint64_t>(got[i]), std::bit_cast<std::uint64_t>(expected[i]))
        << what << " of " << in[i];
  }
}

TEST(DeterministicMath, VectorFormsGiveTheScalarBits) {
  const std::vector<double> in = MathInputs();
  const int n = static_cast<int>(in.size());
  const struct {
    MathFunction function;
    double (*scalar)(double);
    const char* name;
  } functions[] = {{MathFunction::kSin, Sin, "sin"},
                   {MathFunction::kCos, Cos, "cos"},
                   {MathFunction::kExp, Exp, "exp"},
                   {MathFunction::kAtan, Atan, "atan"}};
  for (const auto& f : functions) {
    std::vector<double> expected(in.size());
    for (std::size_t i = 0; i < in.size(); ++i) expected[i] = f.scalar(in[i]);
    std::vector<double> got(in.size());
    if (PathAvailable(ScanPath::kSse2)) {
      EvaluateSse2(f.function, in.data(), got.data(), n);
      ExpectSameBits(in, expected, got, f.name);
    }
    if (PathAvailable(ScanPath::kAvx2)) {
      EvaluateAvx2(f.function, in.data(), got.data(), n);
      ExpectSameBits(in, expected, got, f.name);
    }
    if (PathAvailable(ScanPath::kAvx512)) {
      EvaluateAvx512(f.function, in.data(), got.data(), n);
      ExpectSameBits(in, expected, got, f.name);
    }
  }
}

// Counting in parallel must not change what the window sees: every pixel once,
// column by column from the left, each in its count's colour.
TEST(GenerateImage, DeliversColumnByColumnWithTheReferenceCounts) {
  state.Reset();
  for (int k = 0; k < kPaletteSize; ++k) state.palette[k] = static_cast<Colour>(k * 7919);
  ImageRecord r = ZSquaredPreset(150, 120);
  r.iterationLimit = 300;
  const ScanPlan plan = MakeScanPlan(r, true);
  const std::vector<std::int16_t> expected = CountEachPoint(plan);

  testing::FakeWindow window;
  GenerateImage(r, window);
  ASSERT_EQ(window.pixelCalls.size(), expected.size());
  std::size_t k = 0;
  for (int i = 0; i < plan.Columns(); ++i) {
    for (int j = 0; j < plan.Rows(); ++j, ++k) {
      const testing::PixelCall& call = window.pixelCalls[k];
      ASSERT_EQ(call.x, r.pixelLeft + i);
      ASSERT_EQ(call.y, r.pixelTop + j);
      ASSERT_EQ(call.colour, state.palette[expected[k]]);
    }
  }
  const int h = r.Height();
  for (int i = 0; i < plan.Columns(); ++i)
    for (int j = 0; j < h; ++j) ASSERT_EQ(state.countBuffer[i * h + j], expected[i * plan.Rows() + j]);
  EXPECT_EQ(state.countBuffer[plan.Columns() * h], expected.back());  // the last column keeps its row H
}

}  // namespace
}  // namespace tesvo
