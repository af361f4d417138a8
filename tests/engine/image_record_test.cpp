#include "engine/image_record.h"

#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

namespace tesvo {
namespace {

TEST(ImageRecord, PresetByteOffsets) {
  const ImageRecord& r = BuiltInPresets()[2][kMandelbrotPreset];
  const RecordBytes b = ToBytes(r);
  EXPECT_EQ(b[48], 250);
  EXPECT_EQ(b[80], 'm');
  EXPECT_EQ(b[168], 'c');
  EXPECT_EQ(FromBytes(b).planeLeft, -2.2);
}

std::uint64_t Little(const RecordBytes& b, std::size_t at, int width) {
  std::uint64_t value = 0;
  for (int i = 0; i < width; ++i) value |= std::uint64_t{b[at + i]} << (8 * i);
  return value;
}

double DoubleAt(const RecordBytes& b, std::size_t at) { return std::bit_cast<double>(Little(b, at, 8)); }
std::int32_t Int32At(const RecordBytes& b, std::size_t at) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(Little(b, at, 4)));
}

// A record in which every field, filler and reserved byte holds a value of its
// own, so that a field at the wrong offset shows.
ImageRecord DistinctRecord() {
  ImageRecord r{};
  r.iterationLimit = 12.5;
  r.escapeBound = 1e9;
  r.planeLeft = -9;
  r.planeTop = 18;
  r.planeRight = 27;
  r.planeBottom = -18.25;
  r.pixelLeft = 250;
  r.pixelTop = -11;
  r.pixelRight = 0x12345678;
  r.pixelBottom = -2'000'000'000;
  r.juliaRe = -0.75;
  r.juliaIm = std::numeric_limits<double>::denorm_min();
  r.kind = 'j';
  r.filler1 = {0xA1, 0xA2, 0xA3};
  for (int i = 0; i < 5; ++i) r.controlColours[i] = {10 * i + 1, 10 * i + 2, -(10 * i + 3)};
  r.gradation = 5743;
  std::memcpy(r.formulaName.data(), "z^4+z^3\0garbage", 16);
  r.formulaLetter = 'f';
  r.filler2 = {0xB1, 0xB2, 0xB3};
  r.coloringMethod = 3;
  r.formulaIndex = 5;
  for (int i = 0; i < 20; ++i) r.reserved[i] = static_cast<std::uint8_t>(0xC0 + i);
  return r;
}

TEST(ImageRecord, FileLayoutIsLittleEndianAtTheFixedOffsets) {
  const ImageRecord r = DistinctRecord();
  const RecordBytes b = ToBytes(r);
  EXPECT_EQ(DoubleAt(b, 0), 12.5);
  EXPECT_EQ(DoubleAt(b, 8), 1e9);
  EXPECT_EQ(DoubleAt(b, 16), -9);
  EXPECT_EQ(DoubleAt(b, 24), 18);
  EXPECT_EQ(DoubleAt(b, 32), 27);
  EXPECT_EQ(DoubleAt(b, 40), -18.25);
  EXPECT_EQ(Int32At(b, 48), 250);
  EXPECT_EQ(Int32At(b, 52), -11);
  EXPECT_EQ(b[56], 0x78);  // low byte first
  EXPECT_EQ(Int32At(b, 56), 0x12345678);
  EXPECT_EQ(Int32At(b, 60), -2'000'000'000);
  EXPECT_EQ(DoubleAt(b, 64), -0.75);
  EXPECT_EQ(Little(b, 72, 8), 1u);  // the smallest subnormal
  EXPECT_EQ(b[80], 'j');
  EXPECT_EQ(std::vector<int>(b.begin() + 81, b.begin() + 84), std::vector<int>({0xA1, 0xA2, 0xA3}));
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(Int32At(b, 84 + 12 * i), 10 * i + 1);
    EXPECT_EQ(Int32At(b, 88 + 12 * i), 10 * i + 2);
    EXPECT_EQ(Int32At(b, 92 + 12 * i), -(10 * i + 3));
  }
  EXPECT_EQ(Int32At(b, 144), 5743);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&b[148]), 15), std::string("z^4+z^3\0garbage", 15));
  EXPECT_EQ(b[168], 'f');
  EXPECT_EQ(std::vector<int>(b.begin() + 169, b.begin() + 172), std::vector<int>({0xB1, 0xB2, 0xB3}));
  EXPECT_EQ(Int32At(b, 172), 3);
  EXPECT_EQ(Int32At(b, 176), 5);
  for (int i = 0; i < 20; ++i) EXPECT_EQ(b[180 + i], 0xC0 + i) << i;
}

// Filler and reserved bytes, bytes after the name's NUL, signalling NaNs with
// payloads: all of them come back as they went.
TEST(ImageRecord, RoundTripKeepsEveryBit) {
  const ImageRecord r = DistinctRecord();
  const ImageRecord back = FromBytes(ToBytes(r));
  EXPECT_EQ(std::memcmp(&back, &r, sizeof r), 0);
  EXPECT_TRUE(SameBytes(back, r));

  RecordBytes bytes;
  std::uint32_t seed = 12345;
  for (std::uint8_t& b : bytes) {
    seed = seed * 1103515245u + 12345u;
    b = static_cast<std::uint8_t>(seed >> 23);
  }
  for (int i = 0; i < 8; ++i) bytes[i] = i < 6 ? 0x01 : (i == 6 ? 0xF0 : 0x7F);  // a signalling NaN
  EXPECT_EQ(ToBytes(FromBytes(bytes)), bytes);
}

struct PresetRowCase {
  char letter;
  const char* name;
  double mandelbrotLimit;
  double bound;
  double mandelbrotWindow[4];
  double juliaWindow[4];
};

const PresetRowCase kPresetRows[] = {
    {'a', "c*exp(z)", 256, 1e9, {-9, 18, 27, -18}, {-9, 18, 27, -18}},
    {'b', "cos(z) + c", 100, 1000, {-6, 6, 6, -6}, {-6, 6, 6, -6}},
    {'c', "z^2", 100, 1000, {-2.2, 2.2, 2.2, -2.2}, {-1.8, 1.8, 1.8, -1.8}},
    {'d', "z^3", 100, 1000, {-1.8, 1.8, 1.8, -1.8}, {-1.8, 1.8, 1.8, -1.8}},
    {'e', "z^4", 100, 1000, {-1.8, 1.8, 1.8, -1.8}, {-1.8, 1.8, 1.8, -1.8}},
    {'f', "z^4+z^3", 100, 1000, {-1.8, 1.8, 1.8, -1.8}, {-1.8, 1.8, 1.8, -1.8}},
    {'g', "z^(3/2)", 100, 1000, {-4.5, 4.5, 4.5, -4.5}, {-4.5, 4.5, 4.5, -4.5}},
    {'h', "Nano", 100, 1000, {-1.8, 1.8, 1.8, -1.8}, {-1.8, 1.8, 1.8, -1.8}},
};

TEST(PresetTable, EveryRecordOfEveryRow) {
  const ControlColours colours = {{{0, 0, 255}, {255, 255, 0}, {255, 0, 0}, {255, 255, 0}, {0, 0, 255}}};
  for (int row = 0; row < kFormulaCount; ++row) {
    const PresetRowCase& t = kPresetRows[row];
    for (int slot = 0; slot < 3; ++slot) {
      SCOPED_TRACE(::testing::Message() << "row " << row << " record " << slot);
      const ImageRecord& r = BuiltInPresets()[row][slot];
      const RecordBytes b = ToBytes(r);
      EXPECT_EQ(r.kind, "mjp"[slot]);
      EXPECT_EQ(r.formulaLetter, t.letter);
      // The name, NUL-terminated, every byte after it zero.
      std::array<char, 20> name{};
      std::memcpy(name.data(), t.name, std::strlen(t.name));
      EXPECT_EQ(r.formulaName, name);
      EXPECT_EQ(r.iterationLimit, slot == 0 ? t.mandelbrotLimit : 100);
      EXPECT_EQ(r.escapeBound, t.bound);
      const double* window = slot == 0 ? t.mandelbrotWindow : t.juliaWindow;
      EXPECT_EQ(r.planeLeft, window[0]);
      EXPECT_EQ(r.planeTop, window[1]);
      EXPECT_EQ(r.planeRight, window[2]);
      EXPECT_EQ(r.planeBottom, window[3]);
      if (slot == kPreviewPreset) {
        EXPECT_EQ(std::vector<int>({r.pixelLeft, r.pixelTop, r.pixelRight, r.pixelBottom}),
                  std::vector<int>({12, 390, 158, 536}));
      } else {
        EXPECT_EQ(std::vector<int>({r.pixelLeft, r.pixelTop, r.pixelRight, r.pixelBottom}),
                  std::vector<int>({250, 11, 781, 542}));
      }
      EXPECT_EQ(r.juliaRe, 0);
      EXPECT_EQ(r.juliaIm, 0);
      EXPECT_EQ(r.controlColours, colours);
      EXPECT_EQ(r.gradation, 100);
      EXPECT_EQ(r.coloringMethod, kEscapeTime);
      EXPECT_EQ(r.formulaIndex, 0);  // stamped by the main window's initialisation
      for (std::size_t at : {81, 82, 83, 169, 170, 171}) EXPECT_EQ(b[at], 0) << at;
      for (std::size_t at = 180; at < 200; ++at) EXPECT_EQ(b[at], 0) << at;
    }
  }
}

// A record read from a file can hold any coordinates: width and height never
// overflow.
TEST(ImageRecordTest, WidthAndHeightHoldAnyCoordinates) {
  ImageRecord r{};
  r.pixelLeft = INT32_MIN;
  r.pixelRight = INT32_MAX;
  r.pixelTop = INT32_MAX;
  r.pixelBottom = INT32_MIN;
  EXPECT_EQ(r.Width(), std::int64_t{UINT32_MAX});
  EXPECT_EQ(r.Height(), -std::int64_t{UINT32_MAX});
}

}  // namespace
}  // namespace tesvo
