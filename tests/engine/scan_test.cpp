#include "engine/scan.h"

#include <gtest/gtest.h>

#include "commands/explorer.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "commands/drawing.h"
#include "engine/buffers.h"
#include "engine/deterministic_math.h"
#include "engine/reference_scan.h"
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

// The counts of the literal scan for the plan's points, column by column.
std::vector<std::int16_t> LiteralCounts(const ImageRecord& r, const ScanPlan& plan) {
  std::vector<std::int16_t> counts;
  for (double x : plan.xs)
    for (double y : plan.ys)
      counts.push_back(testing::ReferenceCount(r, SelectFormula(r.formulaLetter), x, y));
  return counts;
}

std::vector<std::int16_t> CountAll(const ScanPlan& plan, ScanSettings settings) {
  std::vector<std::int16_t> counts(plan.xs.size() * plan.ys.size(), -1);
  CountColumns(plan, 0, plan.Columns(), counts.data(), settings);
  return counts;
}

std::vector<ScanSettings> EverySetting(std::vector<int> threadCounts = {1, 3}) {
  std::vector<ScanSettings> settings = {{ScanPath::kReference, 2}, {ScanPath::kFastest, 0}};
  for (ScanPath path : kVectorPaths) {
    if (!PathAvailable(path)) continue;
    for (int threads : threadCounts) settings.push_back({path, threads});
  }
  return settings;
}

std::string Describe(const ScanSettings& s) {
  return std::string(PathName(s.path)) + " on " + std::to_string(s.threads) + " threads";
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
        const std::vector<std::int16_t> expected = LiteralCounts(r, plan);
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
  // The vector paths take their first 8 or 16 steps in lockstep: limits on
  // both sides of those.
  for (double limit : {0.0, 0.5, 2.5, 8.0, 8.5, 16.0, 17.0, 99.5}) {
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

// Orbits that close a cycle stop early; the counts must still be those of the
// plain loop run to the limit.

// Checks every path and thread count against the literal scan and returns the
// most formula steps any of them took.
std::int64_t ExpectLiteralCounts(const ImageRecord& r, const ScanPlan& plan, const std::string& what) {
  const std::vector<std::int16_t> expected = LiteralCounts(r, plan);
  std::int64_t most = 0;
  for (ScanSettings s : EverySetting({1, 2, 3})) {
    std::int64_t steps = -1;
    s.steps = &steps;
    EXPECT_EQ(CountAll(plan, s), expected) << what << ", " << Describe(s);
    most = std::max(most, steps);
  }
  return most;
}

// The formula steps of the literal scan: an escaped point's escape count, the
// limit's integer part plus one for a captured point.
std::int64_t LiteralSteps(ImageRecord r, const ScanPlan& plan) {
  if (r.coloringMethod != kInversion) r.coloringMethod = kEscapeTime;
  std::int64_t steps = 0;
  for (std::int16_t k : LiteralCounts(r, plan))
    steps += k > 0 ? k : static_cast<std::int64_t>(r.iterationLimit) + 1;
  return steps;
}

std::string Describe(const ImageRecord& r) {
  return std::string("formula ") + r.formulaLetter + ", kind " + r.kind + ", method " +
         std::to_string(r.coloringMethod) + ", limit " + std::to_string(r.iterationLimit);
}

// Within three steps no orbit of these windows comes back to its start, so
// every path takes exactly the literal scan's steps: an opening step counted
// twice, or a survivor's lost, shows here. Above, no path takes more.
TEST(CountColumns, StepsTakenAtLowLimits) {
  for (int row = 0; row < kFormulaCount; ++row) {
    for (char kind : {kMandelbrotKind, kJuliaKind}) {
      for (double limit : {0.0, 2.5, 8.0, 9.0, 16.0, 17.0, 40.0}) {
        const ImageRecord r = MakeRecord(row, kind, kEscapeTime, {"", 20, 17, limit, 1000, true, {}});
        const ScanPlan plan = MakeScanPlan(r, kind == kMandelbrotKind);
        const std::int64_t literal = LiteralSteps(r, plan);
        for (ScanSettings s : EverySetting({1, 2})) {
          std::int64_t steps = -1;
          s.steps = &steps;
          CountAll(plan, s);
          if (limit < 3) {
            EXPECT_EQ(steps, literal) << Describe(r) << ", " << Describe(s);
          } else {
            EXPECT_LE(steps, literal) << Describe(r) << ", " << Describe(s);
          }
        }
      }
    }
  }
}

TEST(CycleTest, InteriorHeavyViewsAtTheHighestLimit) {
  std::int64_t literal = 0;
  std::int64_t taken = 0;
  for (int row = 0; row < kFormulaCount; ++row) {
    for (char kind : {kMandelbrotKind, kJuliaKind}) {
      for (int method : {0, 1, 2, 3}) {
        for (double limit : {5000.0, 4999.5}) {
          ImageRecord r = MakeRecord(row, kind, method, {"", 7, 6, limit, 1000, true, {}});
          const ScanPlan plan = MakeScanPlan(r, kind == kMandelbrotKind);
          taken += ExpectLiteralCounts(r, plan, Describe(r));
          literal += LiteralSteps(r, plan);
        }
      }
    }
  }
  // Every path stops most of these orbits early.
  EXPECT_LT(taken, literal / 3);
}

// Points whose orbits fall into exact cycles of periods 1 to 4 (c = i: -1 + i,
// -i, whose imaginary parts alternate in sign; c = -0.12 + 0.75i: three points
// at different distances), and others that escape or never repeat. Limits on
// both sides of the steps at which the paths find the cycles, every phase of
// each cycle at the limit, fractions.
TEST(CycleTest, EveryPhaseAtTheLimit) {
  std::vector<double> limits = {0, 1, 2, 2.5, 33.5, 120.5, 4999.5};
  for (int n = 14; n <= 40; ++n) limits.push_back(n);
  for (int n = 60; n <= 70; ++n) limits.push_back(n);
  for (int n = 100; n <= 140; ++n) limits.push_back(n);
  for (int n = 4990; n <= 5000; ++n) limits.push_back(n);
  std::int64_t literal = 0;
  std::int64_t taken = 0;
  for (char kind : {kMandelbrotKind, kJuliaKind}) {
    for (int method : {0, 1, 2, 3}) {
      for (double limit : limits) {
        ImageRecord r = ZSquaredPreset(5, 3);
        r.kind = kind;
        r.juliaRe = -0.12;
        r.juliaIm = 0.75;
        r.coloringMethod = method;
        r.iterationLimit = limit;
        ScanPlan plan = MakeScanPlan(r, kind == kMandelbrotKind);
        plan.xs = {0, -1, -0.12, -1.3, -1.755, 0.25};
        plan.ys = {1, 0, 0.75, -0.75};
        taken += ExpectLiteralCounts(r, plan, Describe(r));
        literal += LiteralSteps(r, plan);
      }
    }
  }
  EXPECT_LT(taken, literal / 3);
}

// Points and Julia parameters that are not numbers or infinite. A NaN orbit
// repeats its bits at once: it must be caught at the first comparison, within
// a few dozen steps where every step is compared, a few hundred where only
// every 64th is.
TEST(CycleTest, NotANumberAndInfinitePointsAndParameters) {
  const double huge = 1e300;
  const Complex parameters[] = {{0.3, 0.5}, {kNaN, 0}, {kInf, 0.5}, {-0.0, kNaN}};
  for (int row = 0; row < kFormulaCount; ++row) {
    for (char kind : {kMandelbrotKind, kJuliaKind}) {
      for (const Complex c : parameters) {
        if (kind == kMandelbrotKind && c.re != 0.3) continue;  // the parameter is the point
        for (int method : {0, 1, 2, 3}) {
          for (double limit : {5000.0, 37.5}) {
            ImageRecord r = MakeRecord(row, kind, method, {"", 4, 3, limit, 1000, true, {}});
            r.juliaRe = c.re;
            r.juliaIm = c.im;
            ScanPlan plan = MakeScanPlan(r, kind == kMandelbrotKind);
            plan.xs = {kNaN, -kInf, -0.0, huge, 0.3};
            plan.ys = {kNaN, kInf, 0.0, 0.5};
            ExpectLiteralCounts(r, plan, Describe(r));
          }
        }
      }
    }
  }
  // A window that is not a number, as a damaged file may hold.
  for (int row = 0; row < kFormulaCount; ++row) {
    ImageRecord r = MakeRecord(row, kMandelbrotKind, kDecomposition, {"", 9, 9, 5000, 1000, true, {}});
    r.planeLeft = kNaN;
    const ScanPlan plan = MakeScanPlan(r, true);
    EXPECT_LE(ExpectLiteralCounts(r, plan, Describe(r)), 100 * 200) << Describe(r);
  }
}

// z^(3/2) divides by Re(z^3), whose zero takes its sign from Re(z): from
// -0 + ti the orbit goes where it never goes from +0 + ti. The parameter is
// chosen so that -0 + ti steps to +0 + ti exactly, a value equal to the start
// by == but not by its bits, and the orbit goes on to escape.
TEST(CycleTest, SignedZeroStarts) {
  const FormulaStep step = SelectFormula('g');
  for (double t : {0.5, 1.0, 2.0}) {
    const Complex first = step(-0.0, t, 0, 0);
    Complex c = {-first.re, t - first.im};
    while (std::bit_cast<std::uint64_t>(step(-0.0, t, c.re, c.im).im) != std::bit_cast<std::uint64_t>(t))
      c.im = std::nextafter(c.im, step(-0.0, t, c.re, c.im).im < t ? kInf : -kInf);
    const Complex next = step(-0.0, t, c.re, c.im);
    ASSERT_EQ(std::bit_cast<std::uint64_t>(next.re), std::bit_cast<std::uint64_t>(0.0));
    for (int method : {0, 1, 2, 3}) {
      ImageRecord r = MakeRecord(6, kJuliaKind, method, {"", 1, 1, 5000, 1000, true, {}});
      r.juliaRe = c.re;
      r.juliaIm = c.im;
      ScanPlan plan = MakeScanPlan(r, false);
      plan.xs = {-0.0, 0.0};
      plan.ys = {t};
      if (method == kEscapeTime) {
        ASSERT_GT(LiteralCounts(r, plan)[0], 0) << "the orbit from -0 escapes";
      }
      ExpectLiteralCounts(r, plan, Describe(r) + ", t " + std::to_string(t));
    }
  }
}

TEST(CountColumns, AnyRangeOfColumnsGivesItsShareOfTheWhole) {
  const ImageRecord r = ZSquaredPreset(30, 26);
  const ScanPlan plan = MakeScanPlan(r, true);
  const std::vector<std::int16_t> whole = LiteralCounts(r, plan);
  for (const ScanSettings& s : EverySetting()) {
    std::vector<std::int16_t> pieces(whole.size(), -1);
    for (int first = 0; first < plan.Columns(); first += 4) {
      const int count = std::min(4, plan.Columns() - first);
      CountColumns(plan, first, count, pieces.data() + static_cast<std::size_t>(first) * plan.Rows(), s);
    }
    EXPECT_EQ(pieces, whole) << Describe(s);
  }
}

// Generation draws what the sink is given: every column once, in order, on
// the calling thread, whatever the thread count, also for a range that does
// not start at column 0.
TEST(CountColumnsInOrder, EveryColumnOnceInOrderOnTheCallingThread) {
  const ImageRecord r = ZSquaredPreset(90, 40);
  const ScanPlan plan = MakeScanPlan(r, true);
  const std::vector<std::int16_t> whole = LiteralCounts(r, plan);
  const std::size_t rows = plan.Rows();
  for (int threads : {1, 2, 3, 8}) {
    for (auto [first, count] : {std::pair{0, plan.Columns()}, std::pair{7, 50}, std::pair{3, 1}}) {
      int next = first;
      bool elsewhere = false;
      const std::thread::id caller = std::this_thread::get_id();
      std::vector<std::int16_t> counts;
      CountColumnsInOrder(plan, first, count, {ScanPath::kFastest, threads},
                          [&](int from, int columns, const std::int16_t* k) {
                            ASSERT_EQ(from, next) << threads << " threads";
                            ASSERT_GT(columns, 0);
                            next += columns;
                            elsewhere |= std::this_thread::get_id() != caller;
                            counts.insert(counts.end(), k, k + columns * rows);
                          });
      EXPECT_EQ(next, first + count) << threads << " threads";
      EXPECT_FALSE(elsewhere) << threads << " threads";
      EXPECT_TRUE(std::equal(counts.begin(), counts.end(), whole.begin() + first * rows,
                             whole.begin() + (first + count) * rows))
          << threads << " threads, from " << first;
    }
  }
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
    for (ScanPath path : kVectorPaths) {
      if (!EvaluateOnPath(path, f.function, in.data(), got.data(), n)) continue;
      SCOPED_TRACE(PathName(path));
      ExpectSameBits(in, expected, got, f.name);
    }
  }
}

// Counting in parallel must not change what the window sees: every pixel once,
// column by column from the left, each in its count's colour.
TEST(GenerateImage, DeliversColumnByColumnWithTheReferenceCounts) {
  static Palette palette;
  static CountBuffer stored;
  for (int k = 0; k < kPaletteSize; ++k) palette[k] = static_cast<Colour>(k * 7919);
  ImageRecord r = ZSquaredPreset(150, 120);
  r.iterationLimit = 300;
  const ScanPlan plan = MakeScanPlan(r, true);
  const std::vector<std::int16_t> expected = LiteralCounts(r, plan);

  testing::FakeWindow window;
  DrawImage(r, r, palette, stored, window);
  ASSERT_EQ(window.pixelCalls.size(), expected.size());
  std::size_t k = 0;
  for (int i = 0; i < plan.Columns(); ++i) {
    for (int j = 0; j < plan.Rows(); ++j, ++k) {
      const testing::PixelCall& call = window.pixelCalls[k];
      ASSERT_EQ(call.x, r.pixelLeft + i);
      ASSERT_EQ(call.y, r.pixelTop + j);
      ASSERT_EQ(call.colour, palette[expected[k]]);
    }
  }
  const int h = r.Height();
  for (int i = 0; i < plan.Columns(); ++i)
    for (int j = 0; j < h; ++j) ASSERT_EQ(stored[i * h + j], expected[i * plan.Rows() + j]);
  EXPECT_EQ(stored[plan.Columns() * h], expected.back());  // the last column keeps its row H
}

}  // namespace
}  // namespace tesvo
