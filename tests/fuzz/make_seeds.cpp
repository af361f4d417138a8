// Writes the fuzz target's seed corpus into the folder given: for each
// formula and colouring method a small Mandelbrot or Julia image as the
// program saves it, its record followed by its counts.
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>

#include "colour/palette.h"
#include "commands/explorer.h"
#include "engine/buffers.h"
#include "library/image_files.h"
#include "tests/null_window.h"

int main(int argc, char* argv[]) {
  using namespace tesvo;
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s folder\n", argv[0]);
    return 2;
  }
  testing::NullWindow window;
  Explorer explorer{window};
  ExplorerState& state = explorer.State();
  for (int formula = 0; formula < kFormulaCount; ++formula) {
    for (int method = kConvergence; method <= kInversion; ++method) {
      ImageRecord r = BuiltInPresets()[formula][method % 2 == 0 ? kMandelbrotPreset : kJuliaPreset];
      r.formulaIndex = formula;
      r.coloringMethod = method;
      r.juliaRe = method % 2 == 0 ? 0 : -0.75;
      r.juliaIm = method % 2 == 0 ? 0 : 0.1;
      r.pixelRight = r.pixelLeft + 8 + formula;
      r.pixelBottom = r.pixelTop + 12 - method;
      BuildPaletteFor(r, state.palette);
      explorer.GenerateImage(r);
      const RecordBytes bytes = ToBytes(r);
      std::ofstream out(std::string(argv[1]) + "/seed-" + r.formulaLetter + std::to_string(method),
                        std::ios::binary | std::ios::trunc);
      out.write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
      const std::int64_t counts = r.Width() * r.Height();
      for (std::int64_t i = 0; i < counts; ++i) {
        const auto count = static_cast<std::uint16_t>(state.countBuffer[i]);
        out.put(static_cast<char>(count & 0xFF)).put(static_cast<char>(count >> 8));
      }
    }
  }
  return 0;
}
