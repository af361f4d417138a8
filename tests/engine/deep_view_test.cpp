// The deep engine against the plain MPFR loop, pixel by pixel, on small
// windows of every formula it counts, on both sides of a double's range; a
// view that only rebasing counts right; golden counts on 1, 2 and 3 threads
// on one lane and on every vector path the machine has.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <map>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "engine/deep_view.h"
#include "engine/float_exp.h"
#include "engine/image_record.h"
#include "engine/scan.h"
#include "tests/engine/deep_mpfr.h"

namespace tesvo {
namespace {

using testing::Big;
using testing::BigComplex;

struct Centre {
  std::string re, im;
};

// Misiurewicz points, where the set has structure at every scale: c = i for
// z^2; for z^4 and z^4+z^3 the c whose orbit of 0 lands on a fixed point at
// its second step, found to 1100 digits.
Centre Misiurewicz(char letter) {
  static std::map<char, Centre> found;
  if (letter == 'c') return {"0", "1"};
  if (!found.contains(letter)) {
    const double re = letter == 'e' ? 0.63 : 0.0617;
    const double im = letter == 'e' ? 1.09 : 1.0096;
    const BigComplex c = testing::NewtonPoint(letter, re, im, 3, 2, 3800);
    found[letter] = {c.re.Decimal(1100), c.im.Decimal(1100)};
  }
  return found[letter];
}

// The seahorse valley, where orbits wind round a spiral for thousands of steps.
const Centre kSpiral = {"-0.74364388705506694142240342704985101959837",
                        "0.13182590419575921966378348179181906523825"};

// 0.3 widths right of the nucleus of a period-24 island on the real axis: the
// pixels round the island pass near 0 where the reference orbit does not.
DeepView GlitchView() {
  const Big nucleus(300, "-1.999999999999947404182159840012648917542626232475590220450260");
  Big re(300, "3e-28");
  mpfr_add(*re, *re, *nucleus, MPFR_RNDN);
  return {'c', re.Decimal(80), "0", "1e-27", 5000, DeepPresetBound('c'), 24, 24};
}

DeepView View(char letter, const Centre& centre, const char* width, std::int64_t limit, int columns,
              int rows) {
  return {letter, centre.re, centre.im, width, limit, DeepPresetBound(letter), columns, rows};
}

DeepSettings Totals(std::int64_t* steps, std::int64_t* skipped, int threads = 0) {
  DeepSettings settings;
  settings.threads = threads;
  settings.steps = steps;
  settings.skipped = skipped;
  return settings;
}

std::vector<std::uint32_t> Count(const DeepView& view, DeepSettings settings = {}) {
  std::vector<std::uint32_t> counts;
  int expected = 0;
  EXPECT_TRUE(CountDeepView(view, settings, [&](int first, int count, const std::uint32_t* c) {
    EXPECT_EQ(first, expected);
    expected = first + count;
    counts.insert(counts.end(), c, c + static_cast<std::ptrdiff_t>(count) * view.rows);
  }));
  EXPECT_EQ(expected, view.columns);
  return counts;
}

// The pixels whose count differs from the plain loop's.
int Mismatches(const DeepView& view, const std::vector<std::uint32_t>& counts) {
  const long precision = testing::PlainPrecision(view);
  int mismatches = 0;
  for (int i = 0; i < view.columns; ++i) {
    for (int j = 0; j < view.rows; ++j) {
      const std::uint32_t plain = testing::PlainCount(view, i, j, precision);
      const std::uint32_t deep = counts[static_cast<std::size_t>(i) * view.rows + j];
      if (plain != deep) ++mismatches;
    }
  }
  return mismatches;
}

// A pixel exactly at a Misiurewicz point (the centre of an odd window) stays
// on the repelling cycle for as many steps as there are bits: neither loop
// counts it exactly, so the deepest windows here are even.
TEST(DeepView, AgreesWithThePlainMpfrLoop) {
  struct Row {
    char letter;
    Centre centre;
    const char* width;
    std::int64_t limit;
    int columns, rows;
  };
  const Row rows[] = {
      {'c', Misiurewicz('c'), "1e-20", 5000, 12, 9},
      {'c', Misiurewicz('c'), "1e-60", 5000, 12, 9},
      {'c', Misiurewicz('c'), "1e-320", 5000, 12, 9},
      {'c', Misiurewicz('c'), "1e-1000", 5000, 12, 9},
      {'c', kSpiral, "1e-18", 30000, 12, 9},
      {'e', Misiurewicz('e'), "1e-20", 5000, 12, 9},
      {'e', Misiurewicz('e'), "3.5E-400", 5000, 12, 9},
      {'e', Misiurewicz('e'), "1e-1000", 5000, 10, 8},
      {'f', Misiurewicz('f'), "1e-20", 5000, 12, 9},
      {'f', Misiurewicz('f'), "1e-320", 5000, 12, 9},
      {'f', Misiurewicz('f'), "1e-1000", 5000, 10, 8},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(1, row.letter) + " at width " + row.width);
    const DeepView view = View(row.letter, row.centre, row.width, row.limit, row.columns, row.rows);
    ASSERT_EQ(DeepViewProblem(view), std::nullopt);
    std::int64_t steps = 0, skipped = 0;
    const std::vector<std::uint32_t> counts = Count(view, Totals(&steps, &skipped));
    EXPECT_EQ(Mismatches(view, counts), 0);
    // Structure, not a flat field: the counts vary across the window.
    EXPECT_NE(*std::min_element(counts.begin(), counts.end()),
              *std::max_element(counts.begin(), counts.end()));
    // Deep down, bilinear skips take most of the steps.
    if (view.width.find("e-1000") != std::string::npos) {
      EXPECT_GT(skipped, 10 * steps);
    }
  }
}

// On wider windows of the spiral a few pixels differ from the plain loop.
// Their orbits leave the spiral after some 14,000 steps and wander for
// hundreds more before they escape, and at the step where the counts part,
// |z_n|^2 is within 0.03 to 16 times what moving c by one rounding of the
// pixel's offset changes it by: the plain loop's counts at c and at c a few
// roundings away differ, and no count with the offset in doubles tells them
// apart. The differences add up roundings along the orbit as a random walk,
// about sqrt(n) roundings of the offset after n steps (71 and 160 measured
// on two such pixels at step 15,000, plain steps only), and a skip's error
// is within a rounding for each step it passes over; a pixel whose orbit
// comes within that of the bound may go either way. Here the pixels that
// differ are among those, which are few. (In the 24 x 24 window 2 of 576
// differ, in the 48 x 48 one 8 of 2304.)
// The view of z^4 has orbits of tens of steps and no pixel near the bound.
TEST(DeepView, DiffersFromThePlainLoopOnlyWhereTheOrbitComesWithinRoundingOfTheBound) {
  struct Row {
    char letter;
    Centre centre;
    const char* width;
    std::int64_t limit;
    int side;
    std::vector<std::pair<int, int>> differing, near;  // (column, row), in order
  };
  const Row rows[] = {
      {'c', kSpiral, "1e-18", 30000, 16, {{8, 3}}, {{3, 2}, {8, 3}}},
      {'e', Misiurewicz('e'), "1e-20", 5000, 24, {}, {}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(1, row.letter) + " at width " + row.width);
    const DeepView view = View(row.letter, row.centre, row.width, row.limit, row.side, row.side);
    const std::vector<std::uint32_t> counts = Count(view);
    const long precision = testing::PlainPrecision(view);
    std::vector<std::pair<int, int>> differing, near;
    for (int i = 0; i < view.columns; ++i) {
      for (int j = 0; j < view.rows; ++j) {
        const testing::PlainApproach plain = testing::PlainNearestApproach(view, i, j, precision);
        const std::uint32_t deep = counts[static_cast<std::size_t>(i) * view.rows + j];
        const double steps = plain.count != 0 ? plain.count : static_cast<double>(view.limit);
        const bool within = plain.roundings < std::sqrt(steps);
        if (within) near.emplace_back(i, j);
        if (plain.count != deep) {
          differing.emplace_back(i, j);
          EXPECT_TRUE(within) << i << ", " << j << ": " << plain.roundings << " roundings from the bound";
          // The plain loop's own count, on the few pixels where it matters.
          EXPECT_EQ(plain.count, testing::PlainCount(view, i, j, precision)) << i << ", " << j;
        }
      }
    }
    EXPECT_EQ(differing, row.differing);
    EXPECT_EQ(near, row.near);
  }
}

TEST(DeepView, RebasingCountsTheIslandsThatOneReferenceMisses) {
  const DeepView view = GlitchView();
  EXPECT_EQ(Mismatches(view, Count(view)), 0);
  DeepSettings plain;
  plain.perturbation.rebase = false;
  const std::vector<std::uint32_t> glitched = Count(view, plain);
  const long precision = testing::PlainPrecision(view);
  int mismatches = 0;
  for (int i = 0; i < view.columns; ++i)
    for (int j = 0; j < view.rows; ++j)
      mismatches +=
          testing::PlainCount(view, i, j, precision) != glitched[static_cast<std::size_t>(i) * view.rows + j];
  EXPECT_GT(mismatches, view.columns * view.rows / 10);
}

std::uint64_t Hash(const std::vector<std::uint32_t>& counts) {
  std::uint64_t h = 14695981039346656037u;
  for (std::uint32_t c : counts) {
    for (int k = 0; k < 4; ++k) h = (h ^ ((c >> (8 * k)) & 0xff)) * 1099511628211u;
  }
  return h;
}

// The scalar reference and every vector path this machine runs.
std::vector<ScanPath> DeepPaths() {
  std::vector<ScanPath> paths = {ScanPath::kReference};
  for (ScanPath path : kVectorPaths)
    if (PathAvailable(path)) paths.push_back(path);
  return paths;
}

// The steps and skips taken are pinned too: a pixel that misses a skip it
// could take, or takes one it may not, shows there even where no count changes.
TEST(DeepView, GoldenCountsOnEveryPathAndAnyNumberOfThreads) {
  struct Golden {
    DeepView view;
    std::uint64_t hash;
    std::int64_t steps, skipped;
  };
  const Golden goldens[] = {
      {View('c', Misiurewicz('c'), "1e-320", 4000, 48, 32), 13424756870454715780u, 76717, 1241088},
      {View('c', kSpiral, "1e-18", 30000, 24, 16), 9615078766995070486u, 5502378, 10784},
      {View('e', Misiurewicz('e'), "1e-1000", 3000, 32, 24), 3463582793062633372u, 18195, 835584},
      {View('f', Misiurewicz('f'), "2e-100", 3000, 32, 24), 15453265375268769594u, 23921, 81152},
      {GlitchView(), 13809031015002113705u, 1318224, 9216},
  };
  for (const Golden& golden : goldens) {
    SCOPED_TRACE(std::string(1, golden.view.formulaLetter) + " at width " + golden.view.width);
    for (ScanPath path : DeepPaths()) {
      for (int threads : {1, 2, 3}) {
        std::int64_t steps = 0, skipped = 0;
        DeepSettings settings = Totals(&steps, &skipped, threads);
        settings.perturbation.path = path;
        const std::vector<std::uint32_t> counts = Count(golden.view, settings);
        EXPECT_EQ(Hash(counts), golden.hash) << PathName(path) << ", " << threads << " threads";
        EXPECT_EQ(steps, golden.steps) << PathName(path) << ", " << threads << " threads";
        EXPECT_EQ(skipped, golden.skipped) << PathName(path) << ", " << threads << " threads";
      }
    }
  }
}

// Fewer pixels than lanes, pixels done on their first step, a limit of 1:
// every path gives the reference's counts and totals.
TEST(DeepView, EveryPathAgreesOnFewPixelsAndLowLimits) {
  struct Row {
    const char* width;
    std::int64_t limit;
    int columns, rows;
  };
  const Row rows[] = {
      {"1e-18", 1, 1, 1},    {"1e-18", 2, 1, 3},     {"1e-18", 40, 1, 5}, {"1e-18", 3000, 1, 7},
      {"1e-18", 3000, 3, 9}, {"1e-60", 5000, 2, 17}, {"3", 30, 3, 11},    {"1e-320", 200, 1, 13},
  };
  for (const Row& row : rows) {
    const DeepView view = View('c', kSpiral, row.width, row.limit, row.columns, row.rows);
    SCOPED_TRACE(std::string(row.width) + " limit " + std::to_string(row.limit) + ", " +
                 std::to_string(row.columns * row.rows) + " pixels");
    std::int64_t steps = 0, skipped = 0;
    DeepSettings reference = Totals(&steps, &skipped, 1);
    reference.perturbation.path = ScanPath::kReference;
    const std::vector<std::uint32_t> expected = Count(view, reference);
    for (ScanPath path : DeepPaths()) {
      std::int64_t pathSteps = 0, pathSkipped = 0;
      DeepSettings settings = Totals(&pathSteps, &pathSkipped, 1);
      settings.perturbation.path = path;
      EXPECT_EQ(Count(view, settings), expected) << PathName(path);
      EXPECT_EQ(pathSteps, steps) << PathName(path);
      EXPECT_EQ(pathSkipped, skipped) << PathName(path);
    }
  }
}

// Views for "descomposición" and "convergencia": orbits that escape, and
// interior pixels whose orbits reach the limit, at depths where the last
// steps are in doubles and where they are FloatExp.
std::vector<DeepView> MethodViews() {
  // A period-5 island of z^4 beside its Misiurewicz point, four of its sizes wide.
  const BigComplex island = testing::NewtonPoint('e', 0.63, 1.09, 5, 0, 400);
  DeepView islandView = View('e', {island.re.Decimal(110), island.im.Decimal(110)}, "1.6e-4", 5001, 12, 9);
  // At a multiple of 24 the island's cycle is at its point near 0, a step
  // away from its point near c.
  DeepView glitch = GlitchView();
  glitch.limit = 4800;
  return {
      View('c', Misiurewicz('c'), "1e-20", 5000, 12, 9),
      glitch,
      // Inside the period-2 disc of z^2 and of z^4, on the real axis: every
      // pixel's last steps are FloatExp, and rows above and below the axis
      // have imaginary parts of opposite signs, far below a double's range.
      View('c', {"-1", "0"}, "1e-400", 5000, 12, 9),
      View('e', Misiurewicz('e'), "1e-20", 5000, 12, 9),
      View('e', {"-1", "0"}, "3.5e-400", 5000, 10, 7),
      islandView,
  };
}

std::string Name(const DeepView& view) {
  return std::string(1, view.formulaLetter) + " at " + view.centreRe.substr(0, 12) + " width " + view.width +
         " method " + std::to_string(view.method);
}

TEST(DeepView, MethodsAgreeWithThePlainMpfrLoop) {
  for (DeepView view : MethodViews()) {
    for (std::int32_t method : {kDecomposition, kConvergence}) {
      view.method = method;
      SCOPED_TRACE(Name(view));
      ASSERT_EQ(DeepViewProblem(view), std::nullopt);
      const std::vector<std::uint32_t> counts = Count(view);
      EXPECT_LE(1000 * Mismatches(view, counts), view.columns * view.rows);
      for (std::uint32_t count : counts) {
        if (method == kDecomposition) {
          ASSERT_TRUE(count == 0 || count == 100) << count;
        } else {
          ASSERT_LE(count, view.limit);
        }
      }
    }
  }
}

// Both methods show something on these views: both counts of
// "descomposición" in every view, and measures above 0 of "convergencia" in
// all but the views with no interior pixels.
TEST(DeepView, MethodViewsAreNotFlat) {
  int convergent = 0;
  for (DeepView view : MethodViews()) {
    SCOPED_TRACE(Name(view));
    view.method = kDecomposition;
    const std::vector<std::uint32_t> halves = Count(view);
    EXPECT_NE(std::count(halves.begin(), halves.end(), 0u), 0);
    EXPECT_NE(std::count(halves.begin(), halves.end(), 100u), 0);
    view.method = kConvergence;
    const std::vector<std::uint32_t> measures = Count(view);
    convergent += std::count(measures.begin(), measures.end(), 0u) != static_cast<long>(measures.size());
  }
  EXPECT_EQ(convergent, 4);
}

TEST(DeepView, MethodsGiveTheReferencePathsCountsOnEveryPathAndThreadCount) {
  for (DeepView view : MethodViews()) {
    for (std::int32_t method : {kDecomposition, kConvergence}) {
      view.method = method;
      SCOPED_TRACE(Name(view));
      DeepSettings reference;
      reference.threads = 1;
      reference.perturbation.path = ScanPath::kReference;
      const std::vector<std::uint32_t> expected = Count(view, reference);
      for (ScanPath path : DeepPaths()) {
        for (int threads : {1, 2, 3}) {
          DeepSettings settings;
          settings.threads = threads;
          settings.perturbation.path = path;
          EXPECT_EQ(Count(view, settings), expected) << PathName(path) << ", " << threads << " threads";
        }
      }
    }
  }
}

// One view of z^2 round an island, with pixels that escape and pixels that
// do not, in each method.
TEST(DeepView, GoldenCountsOfEachMethod) {
  const struct {
    std::int32_t method;
    std::uint64_t hash;
  } goldens[] = {
      {kEscapeTime, 13809031015002113705u},
      {kDecomposition, 8819275590288843173u},
      {kConvergence, 13715804893041087781u},
  };
  DeepView view = GlitchView();
  view.limit = 4800;
  for (const auto& golden : goldens) {
    view.method = golden.method;
    for (ScanPath path : DeepPaths()) {
      for (int threads : {1, 2, 3}) {
        DeepSettings settings;
        settings.threads = threads;
        settings.perturbation.path = path;
        EXPECT_EQ(Hash(Count(view, settings)), golden.hash)
            << golden.method << ", " << PathName(path) << ", " << threads << " threads";
      }
    }
  }
}

// Progress is asked after each handover, and helpers may have counted many
// columns by then: the count stops at the first no, whenever that comes.
TEST(DeepView, StopsWhenProgressSaysSo) {
  int calls = 0;
  int handedOver = 0;
  DeepSettings settings;
  settings.progress = [&](double done) {
    EXPECT_EQ(done, handedOver / 40.0);
    return ++calls < 2;
  };
  const DeepView view = View('c', kSpiral, "1e-18", 30000, 40, 4);
  const bool finished =
      CountDeepView(view, settings, [&](int, int count, const std::uint32_t*) { handedOver += count; });
  EXPECT_EQ(finished, calls < 2);
  if (finished) {
    EXPECT_EQ(handedOver, 40);
  }
}

TEST(DeepView, NumbersAndProblems) {
  for (const char* good : {"0", "-0.75", "+.5", "5.", "1.5e-1000", "3.5E-400", "12345678901234567890.123e+7"})
    EXPECT_TRUE(IsDecimalNumber(good)) << good;
  for (const char* bad : {"", "-", ".", "e5", "1e", "1e+", "1.2.3", "0x10", "nan", "inf", " 1", "1 ", "1,5"})
    EXPECT_FALSE(IsDecimalNumber(bad)) << bad;

  const DeepView good = View('c', Misiurewicz('c'), "1e-1000", 100, 4, 3);
  EXPECT_EQ(DeepViewProblem(good), std::nullopt);
  const auto with = [&](auto change) {
    DeepView v = good;
    change(v);
    return DeepViewProblem(v).has_value();
  };
  EXPECT_TRUE(with([](DeepView& v) { v.width = "0"; }));
  EXPECT_TRUE(with([](DeepView& v) { v.width = "-1e-5"; }));
  EXPECT_TRUE(with([](DeepView& v) { v.width = "1e-99999999999"; }));
  EXPECT_TRUE(with([](DeepView& v) { v.centreRe = "1e40"; }));
  EXPECT_TRUE(with([](DeepView& v) { v.centreIm = "i"; }));
  EXPECT_TRUE(with([](DeepView& v) { v.columns = 0; }));
  EXPECT_TRUE(with([](DeepView& v) { v.rows = -1; }));
  EXPECT_TRUE(with([](DeepView& v) { v.limit = 0; }));
  for (char letter : {'a', 'b', 'd', 'g', 'h', 'x'}) {
    EXPECT_FALSE(DeepFormulaSupported(letter));
    EXPECT_TRUE(with([&](DeepView& v) { v.formulaLetter = letter; }));
  }
  for (char letter : {'c', 'e', 'f'}) EXPECT_EQ(DeepPresetBound(letter), 1000.0);
  for (std::int32_t method : {kConvergence, kDecomposition, kEscapeTime})
    EXPECT_EQ(DeepViewProblem(DeepView{good.formulaLetter, good.centreRe, good.centreIm, good.width,
                                       good.limit, good.bound, good.columns, good.rows, method}),
              std::nullopt);
  EXPECT_EQ(DeepViewProblem(DeepView{good.formulaLetter, good.centreRe, good.centreIm, good.width, good.limit,
                                     good.bound, good.columns, good.rows, kInversion}),
            DeepViewFault::kInversion);
  EXPECT_EQ(DeepViewProblem(DeepView{good.formulaLetter, good.centreRe, good.centreIm, good.width, good.limit,
                                     good.bound, good.columns, good.rows, 4}),
            DeepViewFault::kMethod);
}

// FloatExp rounds as doubles do, at any exponent.
TEST(FloatExp, RoundsAsDoubles) {
  std::mt19937_64 random(7);
  std::uniform_real_distribution<double> mantissa(-4.0, 4.0);
  std::uniform_int_distribution<int> exponent(-80, 80);
  for (int k = 0; k < 100000; ++k) {
    const double a = std::ldexp(mantissa(random), exponent(random));
    const double b = std::ldexp(mantissa(random), exponent(random));
    const std::int64_t shift = k % 2 ? -5000 : 3000;
    const FloatExp fa = FloatExp::Of(a, shift), fb = FloatExp::Of(b, shift);
    const auto back = [&](FloatExp x, std::int64_t by) { return FloatExp::Of(x.m, x.e - by).ToDouble(); };
    ASSERT_EQ(back(fa + fb, shift), a + b) << a << " + " << b;
    ASSERT_EQ(back(fa - fb, shift), a - b) << a << " - " << b;
    ASSERT_EQ(back(fa * fb, 2 * shift), a * b) << a << " * " << b;
    ASSERT_EQ(fa.Abs() < fb.Abs(), std::fabs(a) < std::fabs(b));
  }
}

}  // namespace
}  // namespace tesvo
