#include "colour/palette.h"

#include <gtest/gtest.h>

#include <climits>

#include "engine/buffers.h"

namespace tesvo {
namespace {

constexpr RGB kBlue{0, 0, 255};
constexpr RGB kYellow{255, 255, 0};
constexpr RGB kRed{255, 0, 0};
constexpr Colour kBlueRef = 0xFF0000;
constexpr Colour kYellowRef = 0x00FFFF;
constexpr Colour kRedRef = 0x0000FF;
constexpr Colour kEarlier = 0x123456;  // what a Palette entry held before a build

class PaletteTest : public ::testing::Test {
 protected:
  void SetUp() override { palette.fill(kEarlier); }

  // The preset colours: blue, yellow, red, yellow, blue.
  void BuildPreset(int gradation) {
    BuildPalette(palette, kBlue, kYellow, kRed, kYellow, kBlue, gradation, kMaxIterationLimit);
  }

  Palette palette;
};

struct Entry {
  int index;
  Colour value;
};

TEST_F(PaletteTest, WorkedValuesOfThePresetColours) {
  BuildPreset(100);
  const Entry worked[] = {
      {0, 0x000000},   {1, 0xF40A0A},    {2, 0xEA1414},    {10, 0x996666}, {25, 0x00FFFF},
      {37, 0x0084FF},  {50, 0x0000FF},   {62, 0x007AFF},   {75, 0x00FFFF}, {99, 0xF40A0A},
      {100, kBlueRef}, {4999, 0xF40A0A}, {5000, kBlueRef},
  };
  for (const Entry& e : worked) EXPECT_EQ(palette[e.index], e.value) << "entry " << e.index;
  for (int k = 1; k <= 5000; ++k) ASSERT_EQ(palette[k], palette[(k - 1) % 100 + 1]) << "entry " << k;
}

TEST_F(PaletteTest, GradationFourCyclesThroughTheFiveColoursOneEntryEach) {
  BuildPreset(4);
  EXPECT_EQ(palette[0], 0u);
  const Colour cycle[] = {kBlueRef, kYellowRef, kRedRef, kYellowRef};
  for (int k = 1; k <= 5000; ++k) ASSERT_EQ(palette[k], cycle[k % 4]) << "entry " << k;
}

// q = 1, h = 2, t = 3: the last segment, yellow to blue, has one step between.
TEST_F(PaletteTest, GradationFiveBlendsOnlyInItsLastSegment) {
  BuildPreset(5);
  const Colour cycle[] = {kBlueRef, kYellowRef, kRedRef, kYellowRef, 0x7F7F7F};
  for (int k = 1; k <= 5000; ++k) ASSERT_EQ(palette[k], cycle[k % 5]) << "entry " << k;
}

// P = 33 cycles fill entries 0 to 4950; the bounds are q = 37, h = 75 and
// t = 3 * 150 / 4 = 112, not 3 * q = 111.
TEST_F(PaletteTest, Gradation150LeavesTheEntriesAbove4950) {
  BuildPreset(150);
  EXPECT_EQ(palette[37], kYellowRef);
  EXPECT_EQ(palette[75], kRedRef);
  EXPECT_EQ(palette[111], 0x00F8FFu);  // red to yellow, k = 36 of 37
  EXPECT_EQ(palette[112], kYellowRef);
  EXPECT_EQ(palette[4950], kBlueRef);
  for (int k = 4951; k <= 5000; ++k) ASSERT_EQ(palette[k], kEarlier) << "entry " << k;
}

// Reached by raising the gradation ten times from 100: no whole cycle fits.
TEST_F(PaletteTest, GradationAboveTheSizeOnlyBlackensEntryZero) {
  for (int gradation : {5001, 5743, INT_MAX}) {
    palette.fill(kEarlier);
    BuildPreset(gradation);
    EXPECT_EQ(palette[0], 0u) << gradation;
    for (int k = 1; k <= 5000; ++k) ASSERT_EQ(palette[k], kEarlier) << gradation << ", entry " << k;
  }
}

TEST_F(PaletteTest, GradationBelowFourIsBuiltAsFour) {
  BuildPreset(4);
  const Palette four = palette;
  for (int gradation : {3, 1, 0, -1, -100, INT_MIN}) {
    palette.fill(kEarlier);
    BuildPreset(gradation);
    EXPECT_EQ(palette, four) << gradation;
  }
}

// Every cycle's last entry is overwritten by the next cycle's first colour;
// only the last cycle ends on colour 4.
TEST_F(PaletteTest, CycleBoundariesTakeTheNextCyclesFirstColour) {
  const RGB first{1, 2, 3};
  const RGB last{4, 5, 6};
  BuildPalette(palette, first, kYellow, kRed, kYellow, last, 100, kMaxIterationLimit);
  EXPECT_EQ(palette[0], 0u);
  EXPECT_EQ(palette[100], 0x030201u);
  EXPECT_EQ(palette[4900], 0x030201u);
  EXPECT_EQ(palette[5000], 0x060504u);
}

TEST_F(PaletteTest, BlendRoundsEachComponentDown) {
  BlendSegment(palette, kRed, kBlue, 0, 25);
  EXPECT_EQ(palette[0], kRedRef);
  EXPECT_EQ(palette[1], 0x0A00F4u);  // red 244, green 0, blue 10
  EXPECT_EQ(palette[25], kBlueRef);
  EXPECT_EQ(palette[26], kEarlier);
}

// Components of a foreign file need not lie in 0..255: each is reduced to its
// low 8 bits and cannot spill into its neighbour.
TEST_F(PaletteTest, ComponentsOutOfRangeKeepTheirLowByte) {
  const RGB odd{266, -1, 511};
  BlendSegment(palette, odd, odd, 0, 4);
  for (int k = 0; k <= 4; ++k) EXPECT_EQ(palette[k], 0xFFFF0Au) << k;
}

TEST(BuildPaletteFor, UsesTheRecordsColoursAndGradationWith5000Entries) {
  static Palette palette;
  ImageRecord record = BuiltInPresets()[2][kMandelbrotPreset];
  record.gradation = 150;
  palette.fill(kEarlier);
  BuildPaletteFor(record, palette);
  EXPECT_EQ(palette[0], 0u);
  EXPECT_EQ(palette[4950], kBlueRef);
  EXPECT_EQ(palette[4951], kEarlier);
  record.gradation = 100;
  BuildPaletteFor(record, palette);
  EXPECT_EQ(palette[1], 0xF40A0Au);
  EXPECT_EQ(palette[5000], kBlueRef);
}

// Counts beyond the Palette go round its whole cycles: 4950 entries of them
// at gradation 150, whose entry 4951 was never built.
TEST(PaletteIndex, CountsBeyondThePaletteGoRoundItsWholeCycles) {
  const struct {
    std::uint32_t count;
    int gradation;
    int index;
  } rows[] = {
      {0, 100, 0},        {1, 100, 1},       {5000, 100, 5000}, {5001, 100, 1},
      {10000, 100, 5000}, {4950, 150, 4950}, {4951, 150, 1},    {4294967295u, 100, 2295},
  };
  for (const auto& row : rows) EXPECT_EQ(PaletteIndex(row.count, row.gradation), row.index) << row.count;
}

}  // namespace
}  // namespace tesvo
