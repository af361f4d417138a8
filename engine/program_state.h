// Everything the program keeps between commands: the engine's records and
// buffers, the Palette, the colour and library flags. One instance with static
// lifetime; tests start from Reset().
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "engine/image_record.h"

namespace tesvo {

inline constexpr int kCountBufferSide = 550;
inline constexpr int kCountBufferSize = kCountBufferSide * kCountBufferSide;  // 302,500
inline constexpr int kPaletteSize = kMaxIterationLimit + 1;                   // counts 0 to 5000

using CountBuffer = std::array<std::int16_t, kCountBufferSize>;
using Palette = std::array<Colour, kPaletteSize>;

// The C runtime's classic rand(): 15-bit results from the linear congruential
// state*214013 + 2531011, so random colours behave as the program always did.
struct CrtRandom {
  std::uint32_t seed = 1;
  int Next() {
    seed = seed * 214013u + 2531011u;
    return static_cast<int>((seed >> 16) & 0x7FFF);
  }
};

struct ProgramState {
  // Engine.
  PresetTable presets = BuiltInPresets();
  ImageRecord currentImage{};
  ImageRecord mandelbrotSlot{};
  ImageRecord juliaSlot{};
  ImageRecord previewSlot{};
  ImageRecord previewImage{};
  std::int32_t formulaIndex = 2;
  std::int32_t currentMethod = kEscapeTime;
  bool slotsLoaded = false;
  std::string caption;
  CountBuffer countBuffer{};
  Palette palette{};

  // Colour.
  std::array<RGB, 3> initialColours{};
  CrtRandom random;

  // Library.
  int readIndex = -1;

  void Reset() { *this = ProgramState{}; }
};

extern ProgramState state;

}  // namespace tesvo
