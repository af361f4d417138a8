#include "engine/formulas.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <numbers>

#include "engine/deterministic_math.h"

namespace tesvo {
namespace {

struct StepCase {
  char letter;
  Complex z;
  Complex c;
  Complex expected;
};

const double kRootHalf = std::sqrt(0.5);
const double kEighthTurnRadius = std::sqrt(std::sqrt(8.0));  // |z^3|^(1/2) for z = 1 + i

// Values that can be worked out by hand. Where a step reaches a sine or a
// cosine the expected value is computed with the same functions.
const StepCase kStepCases[] = {
    {'a', {0, 0}, {0.3, -0.4}, {0.3, -0.4}},  // e^0 = 1: the step returns c
    {'a', {0, 0}, {0, 0}, {0, 0}},
    {'a', {1, 0}, {1, 0}, {Exp(1), 0}},
    {'a', {0, 1}, {0, 1}, {-Sin(1), Cos(1)}},  // i * e^i
    {'b', {0, 0}, {0, 0}, {1, 0}},             // cos 0 * cosh 0
    {'b', {0, 1}, {0.5, 0.25}, {0.5 + (Exp(1) + 1 / Exp(1)) * 0.5, 0.25}},
    {'b', {1, 0}, {0, 0}, {Cos(1), 0}},
    {'c', {0, 0}, {0.25, 0}, {0.25, 0}},
    {'c', {1, 2}, {0.5, -0.5}, {-2.5, 3.5}},
    {'d', {1, 0}, {0, 0}, {1, 0}},                        // z^3 = 1, 2 sin 0 = 0
    {'d', {1, 1}, {0.5, 0.5}, {-1.5, 2 * Sin(2) + 0.5}},  // z^3 = -2 + 2i
    {'e', {0, 1}, {0, 0}, {1, 0}},                        // i^4 = 1
    {'e', {1, 1}, {0.5, 0.5}, {-3.5, 0.5}},               // (1 + i)^4 = -4
    {'f', {0, 1}, {0, 0}, {1, -1}},                       // i^4 + i^3 = 1 - i
    {'f', {1, 1}, {0, 0}, {-6, 2}},                       // -4 + (-2 + 2i)
    {'g', {-1, 0}, {0, 0}, {1, 0}},                       // z^3 = -1, Re < 0: a root of +1
    {'g', {1, 0}, {0.5, 0}, {1.5, 0}},
    {'g', {0, 1}, {0, 0}, {kRootHalf, kRootHalf}},  // Re z^3 = 0: the angle is pi/2
    {'g',
     {1, 1},
     {0, 0},
     {kEighthTurnRadius * Cos(-std::numbers::pi / 8), kEighthTurnRadius* Sin(-std::numbers::pi / 8)}},
    {'h', {1, 0}, {0, 0}, {2 * Sin(1), 0}},                // z^3 = 1
    {'h', {1, 1}, {0.5, -0.5}, {2 * Sin(-2) + 0.5, 1.5}},  // z^3 = -2 + 2i
};

TEST(FormulaStep, WorkedValues) {
  for (const StepCase& t : kStepCases) {
    SCOPED_TRACE(::testing::Message() << "formula '" << t.letter << "' z = " << t.z.re << " + " << t.z.im
                                      << "i, c = " << t.c.re << " + " << t.c.im << "i");
    const FormulaStep step = SelectFormula(t.letter);
    ASSERT_NE(step, nullptr);
    const Complex next = step(t.z.re, t.z.im, t.c.re, t.c.im);
    EXPECT_NEAR(next.re, t.expected.re, 1e-15 * (1 + std::fabs(t.expected.re)));
    EXPECT_NEAR(next.im, t.expected.im, 1e-15 * (1 + std::fabs(t.expected.im)));
  }
}

TEST(FormulaStep, ThreeHalvesOfZeroIsNotANumber) {
  const Complex next = SelectFormula('g')(0, 0, 0.5, 0.5);
  EXPECT_TRUE(std::isnan(next.re));
  EXPECT_TRUE(std::isnan(next.im));
}

TEST(FormulaStep, LettersOutsideTheTableSelectNothing) {
  for (char letter = 'a'; letter <= 'h'; ++letter) {
    EXPECT_NE(SelectFormula(letter), nullptr) << letter;
    EXPECT_EQ(FormulaRow(letter), letter - 'a');
  }
  for (char letter : {'\0', '`', 'i', 'A', 'C', 'z', '\xE1'}) {
    EXPECT_EQ(SelectFormula(letter), nullptr) << int{letter};
    EXPECT_EQ(FormulaRow(letter), -1);
  }
}

// Each product is rounded before it is added: a compiler that fuses a * b + c
// into one instruction (GCC does on arm64 unless told not to) keeps the low
// bits that rounding drops. The operands pass through volatile so that
// nothing is worked out while compiling. The formula step is built in the
// core library, the plain expression here, both with the project's flags.
TEST(Rounding, ProductsAreRoundedBeforeTheyAreAdded) {
  volatile double slightlyAboveOne = 1 + 0x1p-30;
  volatile double slightlyBelowOne = 1 - 0x1p-30;
  volatile double minusOne = -1;
  const double a = slightlyAboveOne;
  const double b = slightlyBelowOne;
  const double c = minusOne;

  // (1 + 2^-30)(1 - 2^-30) = 1 - 2^-60 rounds to 1; fused, -2^-60 is kept.
  const double plain = a * b + c;
  EXPECT_EQ(plain, 0.0);
  EXPECT_EQ(std::fma(a, b, c), -0x1p-60);

  // The real part of z^2 at z = (1 + 2^-30) + (1 - 2^-30) i: the squares
  // 1 + 2^-29 + 2^-60 and 1 - 2^-29 + 2^-60 each round to a 2^-60 less, so
  // 2^-28; with either product fused into the subtraction, 2^-60 more or less.
  const Complex square = SelectFormula('c')(a, b, 0, 0);
  EXPECT_EQ(square.re, 0x1p-28);
  EXPECT_EQ(std::fma(a, a, -(b * b)), 0x1p-28 + 0x1p-60);
  EXPECT_EQ(std::fma(-b, b, a * a), 0x1p-28 - 0x1p-60);
}

// Orbits of every formula, the bits of every value hashed: the rounding of
// each step, which the counts of a small picture seldom show. Writing a sum
// in another order, or any change of a step's last bit, changes the hash of
// that formula; the same hashes are expected on every machine and build.
// Recorded from this step, whose counts the golden tables hold to the
// literal scan.
TEST(FormulaStep, OrbitsBitForBit) {
  const double kNaN = std::numeric_limits<double>::quiet_NaN();
  constexpr std::uint64_t kOrbitHashes[] = {
      0xc463ed90ed8ff681ull, 0x2eb492e2e5a40f2dull, 0x92e05d7bd182a147ull, 0xd979a4c2b46aad49ull,
      0xadb98ee30357592eull, 0xfef0028b69dc772aull, 0xf0aafdad701835d5ull, 0x69430a6e5736290aull,
  };
  for (char letter = 'a'; letter <= 'h'; ++letter) {
    const FormulaStep step = SelectFormula(letter);
    std::uint64_t hash = 0xcbf29ce484222325ull;  // FNV-1a, over the values' bits
    int steps = 0;
    for (int i = 0; i < 8; ++i) {
      for (int j = 0; j < 8; ++j) {
        const Complex c = {-1.2 + 0.3 * i, -1.05 + 0.3 * j};
        Complex z = {0.5 * c.re, 0.5 * c.im};
        // Until the orbit leaves any disc it could come back from.
        for (int n = 0; n < 64 && z.re * z.re + z.im * z.im < 1e6; ++n, ++steps) {
          z = step(z.re, z.im, c.re, c.im);
          // One NaN for all: x86-64 and arm64 make NaNs of different signs.
          for (double value : {z.re, z.im})
            hash = (hash ^ std::bit_cast<std::uint64_t>(std::isnan(value) ? kNaN : value)) * 0x100000001b3ull;
        }
      }
    }
    EXPECT_GT(steps, 500) << letter;
    EXPECT_EQ(hash, kOrbitHashes[letter - 'a'])
        << "formula '" << letter << "': 0x" << std::hex << hash << " over " << std::dec << steps << " steps";
  }
}

}  // namespace
}  // namespace tesvo
