// `tesvo render` as a script runs it: the picture as shown equals the one a
// save writes, larger ones equal the reference picture, and every bad input
// gets its message, its exit status and no file.
#include "cli/render_command.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cmath>
#include <functional>
#include <thread>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "colour/palette.h"
#include "commands/drawing.h"
#include "commands/explorer.h"
#include "engine/reference_picture.h"
#include "engine/test_records.h"
#include "library/image_files.h"
#include "tests/file_helpers.h"
#include "tests/library/decoded_png.h"
#include "tests/null_window.h"

namespace tesvo {
namespace {

namespace fs = std::filesystem;
using testing::FileBytes;
using testing::WriteFileBytes;

void WriteRecord(const std::string& file, const ImageRecord& record) {
  const RecordBytes bytes = ToBytes(record);
  WriteFileBytes(file, {bytes.begin(), bytes.end()});
}

struct Result {
  int status;
  std::string err;
};

Result Render(const std::vector<std::string>& arguments, bool progressBar = false) {
  std::ostringstream err;
  const int status = RenderCommand(arguments, err, err, progressBar);
  return {status, err.str()};
}

std::string Hex(const std::vector<std::uint8_t>& bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string text;
  for (std::uint8_t b : bytes) text += {kDigits[b >> 4], kDigits[b & 0xF]};
  return text;
}

class RenderCommandTest : public ::testing::Test {
 protected:
  void SetUp() override {}

  // A Julia set of z^2 + c in "inversión", small enough for the reference.
  static ImageRecord SmallJulia() {
    ImageRecord r = testing::Resized(testing::Preset(2, kJuliaPreset), 21, 14);
    r.coloringMethod = kInversion;
    r.iterationLimit = 300;
    r.juliaRe = -0.75;
    r.juliaIm = 0.11;
    return r;
  }

  testing::TemporaryDirectory dir;
};

// The command's palette is the record's own, as a fresh start builds it, so
// the picture as shown is the very file "Grabar imagen" writes after a start.
TEST_F(RenderCommandTest, AsShownIsThePictureASaveWrites) {
  const ImageRecord record = testing::Preset(2, kMandelbrotPreset);
  testing::NullWindow window;
  Explorer explorer{window};
  ExplorerState& state = explorer.State();
  BuildPaletteFor(record, state.palette);
  explorer.GenerateImage(record);
  state.currentImage = record;
  explorer.SaveImage("foto");
  ASSERT_TRUE(fs::exists("foto.png"));
  const Result result = Render({"foto.dat", "linea.png"});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.err, "");
  EXPECT_TRUE(FileBytes("linea.png") == FileBytes("foto.png"));
}

TEST_F(RenderCommandTest, LargerPictureIsTheReferenceAndCarriesTheRecord) {
  const ImageRecord record = SmallJulia();
  WriteRecord("julia.dat", record);
  WriteFileBytes("viejo.png", {1, 2, 3});  // replaced whole
  const Result result = Render({"julia.dat", "viejo.png", "--scale", "3", "--antialias=2", "--threads", "2"});
  ASSERT_EQ(result.status, 0) << result.err;
  const testing::DecodedPng png = testing::Decode("viejo.png");
  ASSERT_TRUE(png.ok);
  EXPECT_EQ(png.width, 63);
  EXPECT_EQ(png.height, 42);
  EXPECT_EQ(png.record, Hex(FileBytes("julia.dat")));
  Palette fresh{};
  const ControlColours& c = record.controlColours;
  BuildPalette(fresh, c[0], c[1], c[2], c[3], c[4], record.gradation, kMaxIterationLimit);
  EXPECT_TRUE(testing::RgbBytes(png) == testing::ReferencePicture(record, fresh, 3, 2));
  EXPECT_EQ(dir.Entries(), std::vector<std::string>({"julia.dat", "viejo.png"}));
}

// The largest scale, anti-aliasing and thread count the usage names are
// taken, each alone and all together, on a record of 2 x 1 pixels.
TEST_F(RenderCommandTest, LargestValuesOfEachOptionAreTaken) {
  WriteRecord("punto.dat", testing::Resized(SmallJulia(), 2, 1));
  const std::string scale = std::to_string(kMaxPictureScale);
  const std::string antialias = std::to_string(kMaxAntialias);
  const std::string threads = std::to_string(kMaxRenderThreads);
  const struct {
    std::vector<std::string> options;
    int scale;
  } cases[] = {
      {{"--scale", scale}, kMaxPictureScale},
      {{"--antialias", antialias}, 1},
      {{"--threads", threads}, 1},
      {{"--scale", scale, "--antialias", antialias, "--threads", threads}, kMaxPictureScale},
  };
  for (const auto& t : cases) {
    std::vector<std::string> arguments = {"punto.dat", "punto.png"};
    arguments.insert(arguments.end(), t.options.begin(), t.options.end());
    SCOPED_TRACE(arguments.back());
    const Result result = Render(arguments);
    ASSERT_EQ(result.status, 0) << result.err;
    const testing::DecodedPng png = testing::Decode("punto.png");
    EXPECT_EQ(png.width, 2 * t.scale);
    EXPECT_EQ(png.height, t.scale);
  }
}

// Every refusal leaves the folder as it was: no picture, no temporary file,
// an existing file under the output's name untouched.
TEST_F(RenderCommandTest, BadInputGetsAMessageAStatusAndNoFile) {
  const ImageRecord good = SmallJulia();
  WriteRecord("foto.dat", good);
  WriteFileBytes("corto.dat", std::vector<std::uint8_t>(199, 0));
  ImageRecord preview = good;
  preview.kind = kPreviewKind;
  WriteRecord("previa.dat", preview);
  ImageRecord deep = good;
  deep.iterationLimit = 6000;
  WriteRecord("honda.dat", deep);
  ImageRecord empty = good;
  empty.pixelBottom = empty.pixelTop;
  WriteRecord("vacia.dat", empty);
  ImageRecord unbounded = good;
  unbounded.escapeBound = std::nan("");
  WriteRecord("cota.dat", unbounded);
  fs::create_directory("carpeta");
  WriteFileBytes("viejo.png", {1, 2, 3});

  const std::string usage = std::string("\n") + kRenderUsage + "\n";
  const struct {
    std::vector<std::string> arguments;
    int status;
    std::string message;  // after "tesvo render: "
  } rows[] = {
      {{}, kRenderBadUsage, "faltan el fichero de la imagen (.dat) y el del dibujo (.png)." + usage},
      {{"foto.dat"}, kRenderBadUsage, "falta el fichero del dibujo (.png)." + usage},
      {{"foto.dat", "a.png", "b.png"}, kRenderBadUsage, "sobra «b.png»: solo se dan dos ficheros." + usage},
      {{"foto.dat", "a.png", "--size", "2"}, kRenderBadUsage, "no hay ninguna opción «--size»." + usage},
      {{"foto.dat", "a.png", "--scale"}, kRenderBadUsage, "falta el valor de --scale." + usage},
      {{"foto.dat", "a.png", "--scale", "0"},
       kRenderBadUsage,
       "la escala (--scale) tiene que ser un número entero de 1 a 32, no «0»." + usage},
      {{"foto.dat", "a.png", "--scale=33"},
       kRenderBadUsage,
       "la escala (--scale) tiene que ser un número entero de 1 a 32, no «33»." + usage},
      {{"foto.dat", "a.png", "--scale", "2.5"},
       kRenderBadUsage,
       "la escala (--scale) tiene que ser un número entero de 1 a 32, no «2.5»." + usage},
      {{"foto.dat", "a.png", "--scale="},
       kRenderBadUsage,
       "la escala (--scale) tiene que ser un número entero de 1 a 32, no «»." + usage},
      {{"foto.dat", "a.png", "--antialias", "5"},
       kRenderBadUsage,
       "el suavizado (--antialias) tiene que ser un número entero de 1 a 4, no «5»." + usage},
      {{"foto.dat", "a.png", "--threads", "0"},
       kRenderBadUsage,
       "el número de hilos (--threads) tiene que ser un número entero de 1 a 256, no «0»." + usage},
      {{"foto.dat", "a.png", "--threads", "x"},
       kRenderBadUsage,
       "el número de hilos (--threads) tiene que ser un número entero de 1 a 256, no «x»." + usage},
      {{"falta.dat", "viejo.png"},
       kRenderFailed,
       "no se ha podido leer el fichero falta.dat. El fichero o su carpeta no existe.\n"},
      {{"corto.dat", "a.png"},
       kRenderFailed,
       "no se ha podido leer el fichero corto.dat. El fichero es más corto de lo que debe ser.\n"},
      {{"carpeta", "a.png"},
       kRenderFailed,
       "no se ha podido leer el fichero carpeta. Hay una carpeta con ese nombre.\n"},
      {{"previa.dat", "a.png"},
       kRenderFailed,
       "el fichero previa.dat es una vista previa de un conjunto de Julia, que no se dibuja.\n"},
      {{"honda.dat", "a.png"},
       kRenderFailed,
       "el fichero honda.dat no es una imagen de Tesvo: la precisión pasa de 5000.\n"},
      {{"vacia.dat", "a.png"}, kRenderFailed, "la imagen de vacia.dat no tiene ningún punto: mide 21 x 0.\n"},
      {{"foto.dat", "no/hay/a.png"},
       kRenderFailed,
       "no se ha podido grabar el fichero no/hay/a.png. La carpeta no existe.\n"},
      {{"foto.dat", "carpeta"},
       kRenderFailed,
       "no se ha podido grabar el fichero carpeta. Hay una carpeta con ese nombre.\n"},
      {{"foto.dat", "./foto.dat"}, kRenderBadUsage, "el dibujo no puede ir en el propio fichero foto.dat.\n"},
      {{"foto.dat", ""}, kRenderBadUsage, "el nombre del fichero del dibujo está vacío." + usage},
      {{"cota.dat", "a.png"},
       kRenderFailed,
       "el fichero cota.dat no es una imagen de Tesvo: la cota de escape no es un número positivo.\n"},
      {{"foto.dat", "/proc/a.png"},
       kRenderFailed,
       "no se ha podido grabar el fichero /proc/a.png. En esa carpeta no se pueden crear ficheros.\n"},
  };
  const std::vector<std::string> before = dir.Entries();
  for (const auto& row : rows) {
    std::string line;
    for (const std::string& a : row.arguments) line += a + " ";
    const Result result = Render(row.arguments);
    EXPECT_EQ(result.status, row.status) << line;
    EXPECT_EQ(result.err, "tesvo render: " + row.message) << line;
    EXPECT_EQ(dir.Entries(), before) << line;
    EXPECT_EQ(FileBytes("viejo.png"), std::vector<std::uint8_t>({1, 2, 3})) << line;
  }
}

// What stands at the output decides how the picture gets there: a file or
// none is put in place by a rename, through a link as the shell's ">" goes;
// a pipe, a device or standard output are written into and stay what they
// are; a socket, a whole disk or a terminal are refused.
TEST_F(RenderCommandTest, OutputIsWrittenAsWhatStandsThere) {
  WriteRecord("foto.dat", SmallJulia());
  ASSERT_EQ(Render({"foto.dat", "ref.png"}).status, 0);
  const std::vector<std::uint8_t> picture = FileBytes("ref.png");
  const bool root = ::geteuid() == 0;
  int socket = -1;
  enum class After { kFile, kLinkToFile, kFifo, kDevice, kUnchanged };
  const struct {
    const char* name;
    std::function<void()> make;  // puts what stands at "out"
    int status;
    std::string message;  // after "tesvo render: "
    After after;
  } rows[] = {
      {"none", [] {}, 0, "", After::kFile},
      {"a file", [] { WriteFileBytes("out", std::vector<std::uint8_t>(2, 1)); }, 0, "", After::kFile},
      {"a link", [] { WriteFileBytes("target", {1}), fs::create_symlink("target", "out"); }, 0, "",
       After::kLinkToFile},
      {"a dangling link", [] { fs::create_symlink("target", "out"); }, 0, "", After::kLinkToFile},
      {"a pipe", [] { ::mkfifo("out", 0600); }, 0, "", After::kFifo},
      {"a device that takes all", [] { ::mknod("out", S_IFCHR | 0600, ::makedev(1, 3)); }, 0, "",
       After::kDevice},
      {"a full device", [] { ::mknod("out", S_IFCHR | 0600, ::makedev(1, 7)); }, kRenderFailed,
       "no se ha podido grabar el fichero out. No queda espacio en el disco.\n", After::kDevice},
      {"a disk", [] { ::mknod("out", S_IFBLK | 0600, ::makedev(7, 0)); }, kRenderFailed,
       "no se ha podido grabar el fichero out. Es un disco entero, en el que Tesvo no escribe.\n",
       After::kUnchanged},
      {"a socket", [&] { socket = testing::MakeSocket("out"); }, kRenderFailed,
       "no se ha podido grabar el fichero out. No es un fichero de datos sino una tubería, un dispositivo o "
       "un "
       "socket.\n",
       After::kUnchanged},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    fs::remove_all("out");
    fs::remove_all("target");
    row.make();
    if (!fs::exists(fs::symlink_status("out")) && row.after != After::kFile) {
      EXPECT_FALSE(root) << "not made";
      continue;  // only root makes device nodes
    }
    std::vector<std::uint8_t> streamed;
    std::thread reader;
    // The reader gives up after ten seconds, so that a render that never
    // writes into the pipe fails the test instead of hanging it.
    if (row.after == After::kFifo) reader = std::thread([&] { streamed = testing::ReadPipe("out", 10000); });
    const Result result = Render({"foto.dat", "out"});
    if (reader.joinable()) reader.join();
    EXPECT_EQ(result.status, row.status);
    EXPECT_EQ(result.err, row.message.empty() ? "" : "tesvo render: " + row.message);
    const fs::file_status status = fs::symlink_status("out");
    switch (row.after) {
      case After::kFile:
        EXPECT_TRUE(fs::is_regular_file(status));
        EXPECT_TRUE(FileBytes("out") == picture);
        break;
      case After::kLinkToFile:
        EXPECT_TRUE(fs::is_symlink(status));
        EXPECT_TRUE(FileBytes("target") == picture);
        break;
      case After::kFifo:
        EXPECT_TRUE(fs::is_fifo(status));
        EXPECT_TRUE(streamed == picture);
        break;
      case After::kDevice:
        EXPECT_TRUE(fs::is_character_file(status));
        break;
      case After::kUnchanged:
        EXPECT_FALSE(fs::is_regular_file(status));
        break;
    }
    EXPECT_EQ(dir.Entries().size(), 3u + (row.after == After::kLinkToFile));  // no temporary left
  }

  ::close(socket);

  // "-": standard output, unless it is a terminal.
  const int file = ::open("salida", O_RDWR | O_CREAT | O_TRUNC, 0600);
  std::ostringstream out, err;
  EXPECT_EQ(RenderCommand({"foto.dat", "-"}, out, err, false, file), 0);
  ::close(file);
  EXPECT_TRUE(FileBytes("salida") == picture);
  const int terminal = ::posix_openpt(O_RDWR | O_NOCTTY);
  ASSERT_GE(terminal, 0);
  EXPECT_EQ(RenderCommand({"foto.dat", "-"}, out, err, false, terminal), kRenderBadUsage);
  ::close(terminal);
  EXPECT_TRUE(err.str().starts_with("tesvo render: la salida estándar es una terminal")) << err.str();
  EXPECT_EQ(out.str(), "");
}

TEST_F(RenderCommandTest, HelpPrintsTheUsage) {
  for (const char* help : {"--help", "-h"}) {
    std::ostringstream out, err;
    EXPECT_EQ(RenderCommand({"foto.dat", help}, out, err, false), 0);
    EXPECT_TRUE(out.str().starts_with(std::string(kRenderUsage) + "\n")) << out.str();
    EXPECT_EQ(err.str(), "");
  }
}

TEST_F(RenderCommandTest, FullDiskLeavesNoFile) {
  WriteRecord("foto.dat", SmallJulia());
  Result result;
  {
    testing::FileSizeLimit disk(3000);
    result = Render({"foto.dat", "grande.png", "--scale", "8"});
  }
  EXPECT_EQ(result.status, kRenderFailed);
  EXPECT_EQ(
      result.err,
      "tesvo render: no se ha podido grabar el fichero grande.png. El fichero es más grande de lo que el "
      "disco admite.\n");
  EXPECT_EQ(dir.Entries(), std::vector<std::string>{"foto.dat"});
}

// Root may write into any folder of its own, but not into the top of sysfs.
TEST_F(RenderCommandTest, FolderThatCannotBeWrittenIsRefused) {
  WriteRecord("foto.dat", SmallJulia());
  fs::create_directory("cerrada");
  fs::permissions("cerrada", fs::perms::owner_read | fs::perms::owner_exec);
  const std::string folder = ::geteuid() == 0 ? "/sys" : "cerrada";
  const Result result = Render({"foto.dat", folder + "/a.png"});
  fs::permissions("cerrada", fs::perms::owner_all);
  EXPECT_EQ(result.status, kRenderFailed);
  EXPECT_EQ(result.err, "tesvo render: no se ha podido grabar el fichero " + folder +
                            "/a.png. No hay permiso para hacerlo.\n");
  EXPECT_TRUE(fs::is_empty("cerrada"));
}

// On a terminal the bar ends at 100% with the time taken; elsewhere a render
// that works says nothing at all.
TEST_F(RenderCommandTest, ProgressBarOnlyWhenAsked) {
  WriteRecord("foto.dat", SmallJulia());
  const Result quiet = Render({"foto.dat", "a.png", "--scale", "2"});
  EXPECT_EQ(quiet.status, 0);
  EXPECT_EQ(quiet.err, "");
  const Result bar = Render({"foto.dat", "b.png", "--scale", "2"}, true);
  EXPECT_EQ(bar.status, 0);
  EXPECT_TRUE(bar.err.starts_with("\r"));
  EXPECT_TRUE(bar.err.ends_with("\r100% [" + std::string(30, '#') + "] 0:00 en total   \n")) << bar.err;
  EXPECT_TRUE(FileBytes("a.png") == FileBytes("b.png"));
}

}  // namespace
}  // namespace tesvo
