#include "engine/image_record.h"

#include <bit>
#include <cstring>
#include <string_view>

namespace tesvo {
namespace {

static_assert(sizeof(ImageRecord) == kRecordSize);
static_assert(offsetof(ImageRecord, pixelLeft) == 48);
static_assert(offsetof(ImageRecord, juliaRe) == 64);
static_assert(offsetof(ImageRecord, kind) == 80);
static_assert(offsetof(ImageRecord, controlColours) == 84);
static_assert(offsetof(ImageRecord, gradation) == 144);
static_assert(offsetof(ImageRecord, formulaName) == 148);
static_assert(offsetof(ImageRecord, formulaLetter) == 168);
static_assert(offsetof(ImageRecord, coloringMethod) == 172);
static_assert(offsetof(ImageRecord, formulaIndex) == 176);
static_assert(offsetof(ImageRecord, reserved) == 180);

// Sequential little-endian writer and reader over the 200 bytes.
class ByteWriter {
 public:
  explicit ByteWriter(RecordBytes& bytes) : bytes_(bytes) {}
  void Unsigned(std::uint64_t value, int width) {
    for (int i = 0; i < width; ++i) bytes_[at_++] = static_cast<std::uint8_t>(value >> (8 * i));
  }
  void Double(double value) { Unsigned(std::bit_cast<std::uint64_t>(value), 8); }
  void Int32(std::int32_t value) { Unsigned(static_cast<std::uint32_t>(value), 4); }
  void Byte(std::uint8_t value) { bytes_[at_++] = value; }
  std::size_t At() const { return at_; }

 private:
  RecordBytes& bytes_;
  std::size_t at_ = 0;
};

class ByteReader {
 public:
  explicit ByteReader(const RecordBytes& bytes) : bytes_(bytes) {}
  std::uint64_t Unsigned(int width) {
    std::uint64_t value = 0;
    for (int i = 0; i < width; ++i) value |= std::uint64_t{bytes_[at_++]} << (8 * i);
    return value;
  }
  double Double() { return std::bit_cast<double>(Unsigned(8)); }
  std::int32_t Int32() { return static_cast<std::int32_t>(static_cast<std::uint32_t>(Unsigned(4))); }
  std::uint8_t Byte() { return bytes_[at_++]; }
  std::size_t At() const { return at_; }

 private:
  const RecordBytes& bytes_;
  std::size_t at_ = 0;
};

template <typename Bytes>
void WriteBytes(ByteWriter& out, const Bytes& bytes) {
  for (auto b : bytes) out.Byte(static_cast<std::uint8_t>(b));
}

template <typename Bytes>
void ReadBytes(ByteReader& in, Bytes& bytes) {
  for (auto& b : bytes) b = static_cast<typename Bytes::value_type>(in.Byte());
}

constexpr ControlColours kPresetColours = {{
    {0, 0, 255},
    {255, 255, 0},
    {255, 0, 0},
    {255, 255, 0},
    {0, 0, 255},
}};

struct PlaneWindow {
  double left, top, right, bottom;
};

ImageRecord MakePreset(char kind, char letter, std::string_view name, double limit, double bound,
                       PlaneWindow window) {
  ImageRecord r{};
  r.iterationLimit = limit;
  r.escapeBound = bound;
  r.planeLeft = window.left;
  r.planeTop = window.top;
  r.planeRight = window.right;
  r.planeBottom = window.bottom;
  if (kind == kPreviewKind) {
    r.pixelLeft = 12, r.pixelTop = 390, r.pixelRight = 158, r.pixelBottom = 536;
  } else {
    r.pixelLeft = 250, r.pixelTop = 11, r.pixelRight = 781, r.pixelBottom = 542;
  }
  r.kind = kind;
  r.controlColours = kPresetColours;
  r.gradation = 100;
  std::memcpy(r.formulaName.data(), name.data(), name.size());
  r.formulaLetter = letter;
  r.coloringMethod = kEscapeTime;
  return r;
}

PresetRow MakeRow(char letter, std::string_view name, double mandelbrotLimit, double bound,
                  PlaneWindow mandelbrot, PlaneWindow julia) {
  return {MakePreset(kMandelbrotKind, letter, name, mandelbrotLimit, bound, mandelbrot),
          MakePreset(kJuliaKind, letter, name, 100, bound, julia),
          MakePreset(kPreviewKind, letter, name, 100, bound, julia)};
}

PresetTable MakePresetTable() {
  const PlaneWindow w18{-1.8, 1.8, 1.8, -1.8};
  return {{
      MakeRow('a', "c*exp(z)", 256, 1e9, {-9, 18, 27, -18}, {-9, 18, 27, -18}),
      MakeRow('b', "cos(z) + c", 100, 1000, {-6, 6, 6, -6}, {-6, 6, 6, -6}),
      MakeRow('c', "z^2", 100, 1000, {-2.2, 2.2, 2.2, -2.2}, w18),
      MakeRow('d', "z^3", 100, 1000, w18, w18),
      MakeRow('e', "z^4", 100, 1000, w18, w18),
      MakeRow('f', "z^4+z^3", 100, 1000, w18, w18),
      MakeRow('g', "z^(3/2)", 100, 1000, {-4.5, 4.5, 4.5, -4.5}, {-4.5, 4.5, 4.5, -4.5}),
      MakeRow('h', "Nano", 100, 1000, w18, w18),
  }};
}

}  // namespace

RecordBytes ToBytes(const ImageRecord& r) {
  RecordBytes bytes{};
  ByteWriter out(bytes);
  for (double v : {r.iterationLimit, r.escapeBound, r.planeLeft, r.planeTop, r.planeRight, r.planeBottom})
    out.Double(v);
  for (std::int32_t v : {r.pixelLeft, r.pixelTop, r.pixelRight, r.pixelBottom}) out.Int32(v);
  out.Double(r.juliaRe);
  out.Double(r.juliaIm);
  out.Byte(static_cast<std::uint8_t>(r.kind));
  WriteBytes(out, r.filler1);
  for (const RGB& c : r.controlColours) {
    out.Int32(c.red);
    out.Int32(c.green);
    out.Int32(c.blue);
  }
  out.Int32(r.gradation);
  WriteBytes(out, r.formulaName);
  out.Byte(static_cast<std::uint8_t>(r.formulaLetter));
  WriteBytes(out, r.filler2);
  out.Int32(r.coloringMethod);
  out.Int32(r.formulaIndex);
  WriteBytes(out, r.reserved);
  return bytes;
}

ImageRecord FromBytes(const RecordBytes& bytes) {
  ImageRecord r{};
  ByteReader in(bytes);
  for (double* v :
       {&r.iterationLimit, &r.escapeBound, &r.planeLeft, &r.planeTop, &r.planeRight, &r.planeBottom})
    *v = in.Double();
  for (std::int32_t* v : {&r.pixelLeft, &r.pixelTop, &r.pixelRight, &r.pixelBottom}) *v = in.Int32();
  r.juliaRe = in.Double();
  r.juliaIm = in.Double();
  r.kind = static_cast<char>(in.Byte());
  ReadBytes(in, r.filler1);
  for (RGB& c : r.controlColours) {
    c.red = in.Int32();
    c.green = in.Int32();
    c.blue = in.Int32();
  }
  r.gradation = in.Int32();
  ReadBytes(in, r.formulaName);
  r.formulaLetter = static_cast<char>(in.Byte());
  ReadBytes(in, r.filler2);
  r.coloringMethod = in.Int32();
  r.formulaIndex = in.Int32();
  ReadBytes(in, r.reserved);
  return r;
}

bool SameBytes(const ImageRecord& a, const ImageRecord& b) { return ToBytes(a) == ToBytes(b); }

const PresetTable& BuiltInPresets() {
  static const PresetTable table = MakePresetTable();
  return table;
}

}  // namespace tesvo
