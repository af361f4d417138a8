// `tesvo render` of a view given by its numbers: the counts file is the deep
// engine's counts row by row, the picture their colours carrying the view,
// and each bad command line its message, its exit status and no file.
#include "cli/view_render.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "cli/render_command.h"
#include "colour/palette.h"
#include "engine/deep_view.h"
#include "tests/file_helpers.h"
#include "tests/library/decoded_png.h"

namespace tesvo {
namespace {

struct Result {
  int status;
  std::string err;
};

Result Render(const std::vector<std::string>& arguments) {
  std::ostringstream out, err;
  const int status = RenderCommand(arguments, out, err, false);
  return {status, err.str()};
}

TEST(ViewRender, CountsAreTheEnginesRowByRowAndThePictureTheirColours) {
  testing::TemporaryDirectory dir;
  DeepView view{'c',
                "-0.743643887037158704752191506114774",
                "0.131825904205311970493132056385139",
                "4e-20",
                20000,
                0,
                9,
                6};
  view.bound = DeepPresetBound('c');
  const Result result = Render({"--formula", "c", "--centre", view.centreRe, view.centreIm, "--width=4e-20",
                                "--limit", "20000", "--size", "9x6", "--counts", "cuentas.bin", "vista.png"});
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.err, "");
  std::vector<std::uint32_t> columns;
  ASSERT_TRUE(CountDeepView(view, {}, [&](int, int count, const std::uint32_t* c) {
    columns.insert(columns.end(), c, c + count * view.rows);
  }));
  const std::vector<std::uint8_t> bytes = testing::FileBytes("cuentas.bin");
  ASSERT_EQ(bytes.size(), 4u * 9 * 6);
  const testing::DecodedPng png = testing::Decode("vista.png");
  ASSERT_TRUE(png.ok);
  ASSERT_EQ(png.width, 9);
  ASSERT_EQ(png.height, 6);
  const ImageRecord& preset = BuiltInPresets()[FormulaRow('c')][kMandelbrotPreset];
  Palette palette{};
  const ControlColours& c = preset.controlColours;
  BuildPalette(palette, c[0], c[1], c[2], c[3], c[4], preset.gradation, kMaxIterationLimit);
  int distinct = 0;
  for (int j = 0; j < 6; ++j)
    for (int i = 0; i < 9; ++i) {
      const std::size_t at = static_cast<std::size_t>(j * 9 + i);
      const std::uint32_t count = bytes[4 * at] | bytes[4 * at + 1] << 8 | bytes[4 * at + 2] << 16 |
                                  static_cast<std::uint32_t>(bytes[4 * at + 3]) << 24;
      ASSERT_EQ(count, columns[static_cast<std::size_t>(i * 6 + j)]) << i << ", " << j;
      distinct += count != columns[0];
      EXPECT_EQ(png.pixels[at], palette[static_cast<std::size_t>(PaletteIndex(count, preset.gradation))]);
    }
  EXPECT_GT(distinct, 0) << "a flat view shows nothing";
}

// An anti-aliased pixel is the rounded mean of the colours of the 2 x 2
// pixels that the same view shows at twice the size.
TEST(ViewRender, AntialiasedPixelsAreTheMeansOfTheFinerPicture) {
  testing::TemporaryDirectory dir;
  const auto render = [](const std::string& size, const std::string& antialias, const std::string& file) {
    const Result result =
        Render({"--formula", "c", "--centre", "-0.7436438870371587", "0.1318259042053120", "--width", "3e-9",
                "--limit", "3000", "--size", size, "--antialias", antialias, file});
    EXPECT_EQ(result.status, 0) << result.err;
    return testing::Decode(file);
  };
  const testing::DecodedPng fine = render("14x10", "1", "fina.png");
  const testing::DecodedPng mean = render("7x5", "2", "media.png");
  ASSERT_TRUE(fine.ok && mean.ok);
  ASSERT_EQ(mean.width, 7);
  int mixed = 0;
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 7; ++x) {
      ColourSum sum;
      for (int i = 0; i < 2; ++i)
        for (int j = 0; j < 2; ++j)
          sum.Add(fine.pixels[static_cast<std::size_t>((2 * y + j) * 14 + 2 * x + i)]);
      std::uint8_t rgb[3];
      sum.PutMean(4, rgb);
      const Colour expected = rgb[0] | rgb[1] << 8 | rgb[2] << 16;
      EXPECT_EQ(mean.pixels[static_cast<std::size_t>(y * 7 + x)], expected) << x << ", " << y;
      mixed += fine.pixels[static_cast<std::size_t>(2 * y * 14 + 2 * x)] != expected;
    }
  EXPECT_GT(mixed, 0) << "no pixel mixes colours: the test sees nothing";
}

// "descomposición" by name and "convergencia" by number: the engine's counts
// of that method, and a text chunk that tells the picture from escape time's.
TEST(ViewRender, OtherMethodsRenderTheirCountsAndNameThemselves) {
  testing::TemporaryDirectory dir;
  DeepView view{'c', "0", "1", "1e-20", 5000, DeepPresetBound('c'), 5, 4};
  const std::vector<std::string> line = {"--formula", "c",        "--centre",   "0",    "1",
                                         "--width",   "1e-20",    "--limit",    "5000", "--size",
                                         "5x4",       "--counts", "cuentas.bin"};
  for (const auto& [name, method] :
       {std::pair<std::string, std::int32_t>{"descomposición", kDecomposition}, {"0", kConvergence}}) {
    std::vector<std::string> arguments = line;
    arguments.insert(arguments.end(), {"--method", name, "vista.png"});
    const Result result = Render(arguments);
    ASSERT_EQ(result.status, 0) << result.err;
    view.method = method;
    std::vector<std::uint32_t> rows(20);
    ASSERT_TRUE(CountDeepView(view, {}, [&](int first, int count, const std::uint32_t* c) {
      for (int k = 0; k < count * 4; ++k) rows[static_cast<std::size_t>(k % 4 * 5 + first + k / 4)] = c[k];
    }));
    const std::vector<std::uint8_t> bytes = testing::FileBytes("cuentas.bin");
    ASSERT_EQ(bytes.size(), 4u * 20);
    for (std::size_t at = 0; at < 20; ++at)
      EXPECT_EQ(bytes[4 * at] | bytes[4 * at + 1] << 8, rows[at]) << name << ", pixel " << at;
    DeepView escapeTime = view;
    escapeTime.method = kEscapeTime;
    EXPECT_EQ(ViewText(view), ViewText(escapeTime) + "method " + std::to_string(method) + "\n");
  }
}

TEST(ViewRender, BadCommandLinesAreRefusedAndWriteNothing) {
  testing::TemporaryDirectory dir;
  const std::vector<std::string> good = {"--formula", "c",       "--centre", "-0.75",  "0.1", "--width",
                                         "1e-30",     "--limit", "100",      "--size", "4x3"};
  const auto with = [&](std::vector<std::string> extra, const std::string& drop = "") {
    std::vector<std::string> line;
    for (std::size_t i = 0; i < good.size(); ++i) {
      if (good[i] == drop) {
        i += drop == "--centre" ? 2 : 1;
        continue;
      }
      line.push_back(good[i]);
    }
    line.insert(line.end(), extra.begin(), extra.end());
    return line;
  };
  const std::string usage = std::string("\n") + kViewUsage + "\n";
  const struct {
    std::vector<std::string> arguments;
    int status;
    std::string message;  // after "tesvo render: "
  } rows[] = {
      {with({"a.png"}, "--width"), kRenderBadUsage, "falta --width." + usage},
      {with({}), kRenderBadUsage, "falta el fichero del dibujo (.png)." + usage},
      {with({"a.png", "b.png"}), kRenderBadUsage,
       "sobra «b.png»: una vista se dibuja en un solo fichero." + usage},
      {with({"a.png", "--zoom", "2"}), kRenderBadUsage, "no hay ninguna opción «--zoom»." + usage},
      {with({"a.png", "--formula", "z"}), kRenderBadUsage,
       "la fórmula (--formula) tiene que ser una letra de la a a la h, no «z»." + usage},
      {with({"a.png", "--centre", "0.1", "1,5"}), kRenderBadUsage,
       "el centro (--centre) son dos números decimales, como -0.75 0.1 o 1.5e-30; «1,5» no lo es." + usage},
      {with({"a.png", "--width", "1e-"}), kRenderBadUsage,
       "la anchura (--width) tiene que ser un número decimal mayor que 0, como 3 o 1e-100, no «1e-»." +
           usage},
      {with({"a.png", "--antialias", "5"}), kRenderBadUsage,
       "el suavizado (--antialias) tiene que ser un número entero de 1 a 4, no «5»." + usage},
      {with({"a.png", "--antialias", "2", "--counts", "c.bin"}), kRenderBadUsage,
       "las cuentas (--counts) se graban solo sin suavizado (--antialias 1)." + usage},
      {with({"a.png", "--limit", "0"}), kRenderBadUsage,
       "el límite de iteraciones (--limit) tiene que ser un número entero de 1 a 67108864, no «0»." + usage},
      {with({"a.png", "--size", "4x"}), kRenderBadUsage,
       "el tamaño (--size) es ANCHOxALTO en píxeles, como 1280x720, de 1 a 65536 cada uno y a lo sumo "
       "67108864 "
       "píxeles en total, no «4x»." +
           usage},
      {with({"a.png", "--size", "65536x65536"}), kRenderBadUsage,
       "el tamaño (--size) es ANCHOxALTO en píxeles, como 1280x720, de 1 a 65536 cada uno y a lo sumo "
       "67108864 "
       "píxeles en total, no «65536x65536»." +
           usage},
      {with({"a.png", "--method", "azul"}), kRenderBadUsage,
       "el modo (--method) es «convergencia», «descomposición», «tiempo de escape» o «inversión» (o su "
       "número, de "
       "0 a 3), no «azul»." +
           usage},
      {with({"-", "--counts", "-"}), kRenderBadUsage,
       "el dibujo y las cuentas no pueden ir los dos a la salida estándar." + usage},
      {with({"a.png", "--width", "0"}), kRenderBadUsage,
       "la anchura debe ser mayor que cero y menor que 1e19.\n"},
      {with({"a.png", "--formula", "g"}), kRenderFailed,
       "la fórmula g no se dibuja todavía a cualquier profundidad; se dibujan la c (z^2), la e (z^4) y la f "
       "(z^4+z^3).\n"},
      {with({"a.png", "--method", "inversión"}), kRenderFailed,
       "el modo «inversión» no se dibuja más allá de lo que alcanzan los números de doble precisión.\n"},
      {with({"no/hay/a.png"}), kRenderFailed,
       "no se ha podido grabar el fichero no/hay/a.png. La carpeta no existe.\n"},
  };
  for (const auto& row : rows) {
    std::string line;
    for (const std::string& a : row.arguments) line += a + " ";
    const Result result = Render(row.arguments);
    EXPECT_EQ(result.status, row.status) << line;
    EXPECT_EQ(result.err, "tesvo render: " + row.message) << line;
    EXPECT_TRUE(dir.Entries().empty()) << line;
  }
}

}  // namespace
}  // namespace tesvo
