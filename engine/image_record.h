// The 200-byte description of one image, its file form, and the built-in
// starting images of the eight formulas.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace tesvo {

using Colour = std::uint32_t;  // 0x00BBGGRR: red in the low byte

inline constexpr char kMandelbrotKind = 'm';
inline constexpr char kJuliaKind = 'j';
inline constexpr char kPreviewKind = 'p';

inline constexpr int kFormulaCount = 8;
inline constexpr int kMaxIterationLimit = 5000;
inline constexpr std::size_t kRecordSize = 200;

enum ColoringMethod : std::int32_t {
  kConvergence = 0,
  kDecomposition = 1,
  kEscapeTime = 2,
  kInversion = 3,
};

struct RGB {
  std::int32_t red;
  std::int32_t green;
  std::int32_t blue;
  friend bool operator==(const RGB&, const RGB&) = default;
};

using ControlColours = std::array<RGB, 5>;

// The members follow the file layout one to one; ToBytes and FromBytes give
// the little-endian file form whatever the host, filler and reserved bytes
// included, so a record survives a round trip bit for bit.
struct ImageRecord {
  double iterationLimit;
  double escapeBound;
  double planeLeft;
  double planeTop;
  double planeRight;
  double planeBottom;
  std::int32_t pixelLeft;
  std::int32_t pixelTop;
  std::int32_t pixelRight;
  std::int32_t pixelBottom;
  double juliaRe;
  double juliaIm;
  char kind;
  std::array<std::uint8_t, 3> filler1;
  ControlColours controlColours;
  std::int32_t gradation;
  std::array<char, 20> formulaName;
  char formulaLetter;
  std::array<std::uint8_t, 3> filler2;
  std::int32_t coloringMethod;
  std::int32_t formulaIndex;
  std::array<std::uint8_t, 20> reserved;

  // In 64 bits: a record read from a file can hold any two coordinates.
  std::int64_t Width() const { return std::int64_t{pixelRight} - pixelLeft; }
  std::int64_t Height() const { return std::int64_t{pixelBottom} - pixelTop; }
};

// Gives record the image rectangle of from.
inline void TakeRectangle(ImageRecord& record, const ImageRecord& from) {
  record.pixelLeft = from.pixelLeft;
  record.pixelTop = from.pixelTop;
  record.pixelRight = from.pixelRight;
  record.pixelBottom = from.pixelBottom;
}

using RecordBytes = std::array<std::uint8_t, kRecordSize>;

RecordBytes ToBytes(const ImageRecord& record);
ImageRecord FromBytes(const RecordBytes& bytes);
bool SameBytes(const ImageRecord& a, const ImageRecord& b);

// Row r holds formula r: record 0 its Mandelbrot start image, record 1 the
// template of its Julia images, record 2 the template of its Julia preview.
using PresetRow = std::array<ImageRecord, 3>;
using PresetTable = std::array<PresetRow, kFormulaCount>;

inline constexpr int kMandelbrotPreset = 0;
inline constexpr int kJuliaPreset = 1;
inline constexpr int kPreviewPreset = 2;

// The table as built in, with 0 in every formulaIndex field; the main
// window's initialisation writes the row numbers in.
const PresetTable& BuiltInPresets();

}  // namespace tesvo
