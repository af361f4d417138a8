// The image library against files in a fresh folder: the list and its order,
// the reading commands, reading from a pixel file or rebuilding it, saving by
// name, deleting, and files that were not written by the program.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <climits>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <limits>
#include <thread>
#include <utility>

#include "colour/palette.h"
#include "commands/drawing.h"
#include "commands/explorer.h"
#include "commands/file_reports.h"
#include "commands/messages.h"
#include "engine/buffers.h"
#include "library/file_error.h"
#include "library/folder_lock.h"
#include "library/image_files.h"
#include "library/image_list.h"
#include "library/record_problem.h"
#include "navigation/julia.h"
#include "tests/fake_window.h"
#include "tests/file_helpers.h"

namespace tesvo {
namespace {

namespace fs = std::filesystem;
using testing::FakeWindow;

std::string Contents(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

void Write(const std::string& file, const std::string& bytes) {
  std::ofstream(file, std::ios::binary) << bytes;
}

std::string RecordText(const ImageRecord& record) {
  const RecordBytes bytes = ToBytes(record);
  return std::string(bytes.begin(), bytes.end());
}

class Library : public ::testing::Test {
 protected:
  void SetUp() override { explorer.Initialise(1); }

  // A small Mandelbrot image of formula c, computed and saved as `name`.
  ImageRecord SaveSmallImage(const std::string& name, int method = kEscapeTime) {
    ImageRecord record = state.presets[2][kMandelbrotPreset];
    record.pixelRight = record.pixelLeft + 24;
    record.pixelBottom = record.pixelTop + 18;
    record.coloringMethod = method;
    BuildPaletteFor(record, state.palette);
    explorer.GenerateImage(record);
    state.currentImage = record;
    explorer.SaveImage(name);
    window_.messages.clear();
    return record;
  }

  std::vector<std::int16_t> Counts(const ImageRecord& record) const {
    return {state.countBuffer.begin(), state.countBuffer.begin() + record.Width() * record.Height()};
  }

  testing::TemporaryDirectory folder_;
  FakeWindow window_;
  Explorer explorer{window_};
  ExplorerState& state = explorer.State();
};

TEST(ImageListOrder, SortsAsTheDesktopListDoes) {
  const std::vector<std::pair<std::string, std::string>> before = {
      {"alfa", "Beta"}, {"a", "A"}, {"a", "á"}, {"árbol", "Beta"}, {"nu", "Ñu"},      {"Ñu", "oso"},
      {"_x", "1"},      {"9", "a"}, {"", "a"},  {"ab", "abc"},     {"Zeta", "zetas"}, {"uno10", "uno2"},
  };
  for (const auto& [a, b] : before) {
    EXPECT_TRUE(ListsBefore(a, b)) << a << " < " << b;
    EXPECT_FALSE(ListsBefore(b, a)) << b << " !< " << a;
  }
  EXPECT_FALSE(ListsBefore("igual", "igual"));
}

TEST_F(Library, ListsExactDatFilesWithoutTheirExtensionInOrder) {
  for (const char* file : {"Zeta.dat", "árbol.dat", "alfa.dat", "Beta.dat", ".dat", "nube.dat", "Ñu.dat",
                           "mayúsculas.DAT", "copia.dat.bak", "solo.pix"})
    Write(file, "x");
  fs::create_directory("carpeta.dat");
  FakeWindow fresh;
  state.readIndex = 3;
  explorer.Attach(fresh);
  explorer.Initialise(1);
  EXPECT_EQ(fresh.readList, (std::vector<std::string>{"", "alfa", "árbol", "Beta", "Ñu", "nube", "penultimo",
                                                      "ultimo", "Zeta"}));
  EXPECT_EQ(state.readIndex, 3);  // the entry read last is the program's, not the window's
}

TEST_F(Library, NextAndPreviousWrapAroundAndFollowADeletion) {
  SaveSmallImage("a");
  SaveSmallImage("b");
  window_.readList = {"a", "b", "penultimo", "ultimo"};
  std::vector<int> read;
  const auto step = [&](void (Explorer::*command)()) {
    (explorer.*command)();
    read.push_back(state.readIndex);
    EXPECT_EQ(window_.selectedRead, state.readIndex);
  };
  step(&Explorer::ReadPreviousImage);  // nothing read yet: the last entry
  step(&Explorer::ReadNextImage);      // wraps to the first
  step(&Explorer::ReadNextImage);
  step(&Explorer::ReadPreviousImage);
  step(&Explorer::ReadPreviousImage);  // wraps to the last
  EXPECT_EQ(read, (std::vector<int>{3, 0, 1, 0, 3}));

  state.readIndex = 1;
  window_.answers = {true};
  explorer.DeleteReadImage();  // "b" goes; readIndex stays on its old place
  EXPECT_EQ(window_.readList, (std::vector<std::string>{"a", "penultimo", "ultimo"}));
  explorer.ReadNextImage();
  EXPECT_EQ(state.readIndex, 2);  // two places after the deleted entry
  window_.answers = {true};
  explorer.DeleteReadImage();  // the last entry goes
  explorer.ReadNextImage();
  EXPECT_EQ(state.readIndex, 0);  // wraps
}

TEST_F(Library, ReadingCommandsDoNothingWithoutAnEntry) {
  window_.readList.clear();
  explorer.ReadNextImage();
  explorer.ReadPreviousImage();
  explorer.ReadSelectedImage(0);
  window_.answers = {true};
  state.readIndex = 0;
  explorer.DeleteReadImage();
  EXPECT_EQ(state.readIndex, 0);
  EXPECT_TRUE(window_.messages.empty());
}

TEST_F(Library, ReadingFromThePixelFileOrRebuildingItGivesTheSameCounts) {
  const ImageRecord saved = SaveSmallImage("uno", kConvergence);
  const std::vector<std::int16_t> counts = Counts(saved);
  const std::string datBefore = Contents("uno.dat");
  window_.readList = {"penultimo", "uno", "ultimo"};

  // From the pixel file: drawn at once, nothing computed, no message.
  explorer.StartMandelbrot();  // another image, other counts, another mode
  window_.messages.clear();
  window_.pixelCalls.clear();
  explorer.ReadSelectedImage(1);
  EXPECT_TRUE(window_.messages.empty());
  EXPECT_TRUE(window_.pixelCalls.empty());
  EXPECT_EQ(Counts(saved), counts);
  EXPECT_EQ(state.currentMethod, kConvergence);
  EXPECT_EQ(window_.selectedMode, kConvergence);
  EXPECT_EQ(window_.title, "Conjunto de Mandelbrot");
  EXPECT_EQ(window_.Pixel(saved.pixelLeft + 3, saved.pixelTop + 5), state.palette[counts[3 * 18 + 5]]);

  // The largest count an image holds is read as it stands.
  const std::string pixels = Contents("uno.pix");
  std::string highest = pixels;
  highest[0] = '\x88';
  highest[1] = '\x13';  // 5000
  Write("uno.pix", highest);
  explorer.ReadSelectedImage(1);
  EXPECT_TRUE(window_.messages.empty());
  EXPECT_EQ(state.countBuffer[0], 5000);
  Write("uno.pix", pixels);

  // Missing, short, or holding counts beyond 5000: computed again and stored,
  // the message saying which.
  std::string outOfRange = pixels;
  outOfRange[0] = '\x89';
  outOfRange[1] = '\x13';  // 5001
  const std::string rebuild = ". \nLo tendré que reconstruir. Un momento, por favor.";
  const std::pair<std::string, std::string> cases[] = {
      {std::string(), "No encuentro el fichero uno.pix" + rebuild},
      {"ab", "El fichero uno.pix está incompleto" + rebuild},
      {outOfRange, "El fichero uno.pix tiene valores que no son de ninguna imagen" + rebuild},
  };
  for (const auto& [pix, message] : cases) {
    if (pix.empty())
      fs::remove("uno.pix");
    else
      Write("uno.pix", pix);
    explorer.StartMandelbrot();
    window_.messages.clear();
    explorer.ReadSelectedImage(1);
    ASSERT_EQ(window_.messages.size(), 2u);
    EXPECT_EQ(window_.messages[0].text, message);
    EXPECT_EQ(window_.messages[1].text, "El fichero uno ha sido grabado");
    EXPECT_EQ(Counts(saved), counts);
    EXPECT_EQ(Contents("uno.dat"), datBefore);  // the user's file is never rewritten
    EXPECT_EQ(fs::file_size("uno.pix"), 2u * counts.size());
    EXPECT_EQ(window_.readList, (std::vector<std::string>{"penultimo", "uno", "ultimo"}));
    EXPECT_EQ(window_.selectedRead, 1);
  }
}

TEST_F(Library, ForeignParameterFilesAreRefusedAndChangeNothing) {
  const ImageRecord good = SaveSmallImage("bueno");
  const auto hostile = [&](auto change) {
    ImageRecord r = good;
    change(r);
    return RecordText(r);
  };
  const std::vector<std::pair<std::string, std::string>> files = {
      {"corto", RecordText(good).substr(0, 150)},
      {"tipo", hostile([](ImageRecord& r) { r.kind = 'x'; })},
      {"letra", hostile([](ImageRecord& r) { r.formulaLetter = 'z'; })},
      {"modo", hostile([](ImageRecord& r) { r.coloringMethod = 7; })},
      {"enorme", hostile([](ImageRecord& r) { r.pixelRight = 2000000000; })},
      {"grande", hostile([](ImageRecord& r) {
         r.pixelRight = r.pixelLeft + 600;
         r.pixelBottom = r.pixelTop + 600;
       })},
      {"al_reves", hostile([](ImageRecord& r) { r.pixelRight = r.pixelLeft - 1; })},
      {"vista_previa", hostile([](ImageRecord& r) { r.kind = 'p'; })},
      {"nan", hostile([](ImageRecord& r) { r.iterationLimit = std::numeric_limits<double>::quiet_NaN(); })},
      {"negativo", hostile([](ImageRecord& r) { r.iterationLimit = -4; })},
      {"limite", hostile([](ImageRecord& r) { r.iterationLimit = 6000; })},
      {"gradado", hostile([](ImageRecord& r) { r.gradation = 0; })},
      {"color", hostile([](ImageRecord& r) { r.controlColours[1].green = 300; })},
      {"arriba", hostile([](ImageRecord& r) { r.pixelTop = INT32_MIN; })},
      {"fuera", hostile([](ImageRecord& r) {
         r.pixelLeft -= 200;
         r.pixelRight -= 200;
       })},
      {"una_fila", hostile([](ImageRecord& r) {
         r.pixelLeft = -65000;
         r.pixelRight = 65000;
         r.pixelBottom = r.pixelTop;
       })},
  };
  explorer.StartMandelbrot();
  const std::string current = RecordText(state.currentImage);
  const Palette palette = state.palette;
  const std::string slot = RecordText(state.mandelbrotSlot);
  const CountBuffer counts = state.countBuffer;
  for (const auto& [name, bytes] : files) {
    Write(name + ".dat", bytes);
    state.currentMethod = kDecomposition;
    window_.selectedMode = kDecomposition;
    window_.messages.clear();
    window_.readList = {name};
    explorer.ReadSelectedImage(0);
    ASSERT_EQ(window_.messages.size(), 1u) << name;
    EXPECT_NE(window_.messages[0].text.find(name + ".dat"), std::string::npos) << window_.messages[0].text;
    EXPECT_EQ(RecordText(state.currentImage), current) << name;
    EXPECT_EQ(RecordText(state.mandelbrotSlot), slot) << name;
    EXPECT_EQ(state.palette, palette) << name;
    EXPECT_EQ(state.countBuffer, counts) << name;
    EXPECT_EQ(state.currentMethod, kDecomposition) << name;
    EXPECT_EQ(window_.selectedMode, kDecomposition) << name;
    EXPECT_FALSE(fs::exists(name + ".pix")) << name;
    if (name == "vista_previa") {
      EXPECT_EQ(window_.messages[0].text,
                "El fichero vista_previa.dat es una vista previa de un conjunto de Julia, que no se puede "
                "leer.\nNo se ha leído.");
    }
  }
}

// "tesvo NAME.dat": an entry of the list is read as the list reads it, a
// file elsewhere is read without one, and a missing or foreign file is told
// as the list's commands tell it.
TEST_F(Library, ReadingByNameFindsTheEntryOrTheFile) {
  const ImageRecord good = SaveSmallImage("bueno");
  fs::create_directory("otra");
  fs::copy_file("bueno.dat", "otra/bueno.dat");
  fs::copy_file("bueno.pix", "otra/bueno.pix");
  ImageRecord foreign = good;
  foreign.kind = 'x';
  Write("ajeno.dat", RecordText(foreign));
  window_.readList = {"ajeno", "bueno", "penultimo", "ultimo"};
  struct Row {
    std::string name;
    int readIndex;  // -1: no entry read
    std::string message;
  };
  const Row rows[] = {
      {"bueno", 1, ""},
      {"otra/bueno", -1, ""},
      {"falta", -1, "No se ha podido leer el fichero falta.dat.\nEl fichero o su carpeta no existe."},
      {"ajeno", 0, "El fichero ajeno.dat no es una imagen de Tesvo: "},
  };
  for (const Row& row : rows) {
    explorer.StartMandelbrot();
    state.readIndex = -1;
    window_.selectedRead = -1;
    window_.messages.clear();
    explorer.ReadNamedImage(row.name);
    EXPECT_EQ(state.readIndex, row.readIndex) << row.name;
    EXPECT_EQ(window_.selectedRead, row.readIndex) << row.name;
    if (row.message.empty()) {
      EXPECT_TRUE(window_.messages.empty()) << row.name << ": " << window_.messages[0].text;
      EXPECT_EQ(RecordText(state.currentImage), RecordText(good)) << row.name;
    } else {
      ASSERT_EQ(window_.messages.size(), 1u) << row.name;
      EXPECT_EQ(window_.messages[0].text.substr(0, row.message.size()), row.message);
      EXPECT_NE(RecordText(state.currentImage), RecordText(good)) << row.name;
    }
  }
}

TEST_F(Library, SavingByNameAndItsRefusals) {
  SaveSmallImage("base");
  window_.readList = {"penultimo", "ultimo"};
  window_.saveAnswers = {std::nullopt,         SaveChoice{},         SaveChoice{"d i d i d e z u z u"},
                         SaveChoice{"Mandel"}, SaveChoice{"Mandel"}, SaveChoice{"   "}};
  for (int i = 0; i < 6; ++i) explorer.SaveImageAs();
  ASSERT_EQ(window_.messages.size(), 5u);
  EXPECT_EQ(window_.messages[0].text, "Hay que teclear un nombre de fichero \n(sin extensión)");
  EXPECT_EQ(window_.messages[1].text,
            "E s t e  p r o g r a m a l o h i z o T e l m a r i n.\nLo digo por si acaso.");
  EXPECT_EQ(window_.messages[1].caption, "Tesvo");
  EXPECT_EQ(window_.messages[2].text, "El fichero Mandel ha sido grabado");
  EXPECT_EQ(window_.messages[3].text,
            "El fichero Mandel.dat ya existe.\nSi quieres volver a utiliar este nombre\ntendrás que borrarlo "
            "previamente");
  EXPECT_EQ(window_.messages[4].text, "El fichero     ha sido grabado");
  EXPECT_EQ(window_.readList, (std::vector<std::string>{"   ", "Mandel", "penultimo", "ultimo"}));
  EXPECT_FALSE(fs::exists("d i d i d e z u z u.dat"));
  EXPECT_EQ(Contents("Mandel.dat"), RecordText(state.currentImage));
}

TEST_F(Library, DeletingGoesByTheEntryReadLast) {
  SaveSmallImage("a");
  SaveSmallImage("b");
  window_.readList = {"a", "b", "penultimo", "ultimo"};

  explorer.DeleteReadImage();
  ASSERT_EQ(window_.messages.size(), 1u);
  EXPECT_EQ(window_.messages[0].text, "Primero tiene que leer para poder borrar.\nEs así la cosa");

  explorer.ReadSelectedImage(1);
  window_.selectedRead = 0;  // the user looks at another entry
  window_.messages.clear();
  window_.answers = {false};
  explorer.DeleteReadImage();
  ASSERT_EQ(window_.messages.size(), 2u);
  EXPECT_EQ(window_.messages[0].text, "¿Estas seguro de que quieres borrar la siguiente imagen?\n\n\t\tb");
  EXPECT_EQ(window_.messages[1].text, "Pues haces bien en no borrarla");
  EXPECT_TRUE(fs::exists("b.dat"));

  window_.messages.clear();
  window_.answers = {true, true};
  fs::remove("penultimo.pix");              // one half missing: no error
  fs::copy_file("a.png", "penultimo.png");  // a picture, but of another image
  explorer.DeleteReadImage();
  explorer.DeleteReadImage();  // the entry that moved up
  EXPECT_EQ(window_.readList, (std::vector<std::string>{"a", "ultimo"}));
  EXPECT_EQ(window_.messages.size(), 2u);  // the two questions only
  EXPECT_EQ(window_.messages[1].text,
            "¿Estas seguro de que quieres borrar la siguiente imagen?\n\n\t\tpenultimo");
  // The picture goes with the pair; one that is not of the pair stays.
  for (const char* file : {"b.dat", "b.pix", "b.png", "penultimo.dat"})
    EXPECT_FALSE(fs::exists(file)) << file;
  EXPECT_TRUE(fs::exists("a.pix") && fs::exists("a.png") && fs::exists("penultimo.png"));
}

}  // namespace
}  // namespace tesvo

namespace tesvo {
namespace {

// Reading fills the slots of the image's formula, which the start button then
// uses; it does not count as a start, so typed coordinates still start first.
TEST_F(Library, ReadImageBringsItsFormulaButIsNoStart) {
  ImageRecord record = state.presets[6][kMandelbrotPreset];
  record.pixelRight = record.pixelLeft + 20;
  record.pixelBottom = record.pixelTop + 20;
  BuildPaletteFor(record, state.palette);
  explorer.GenerateImage(record);
  state.currentImage = record;
  explorer.SaveImage("tres_medios");
  state = ExplorerState{};  // the program started again
  explorer.Initialise(1);
  window_.readList = {"penultimo", "tres_medios", "ultimo"};

  explorer.ReadSelectedImage(1);
  EXPECT_EQ(state.formulaIndex, 6);
  EXPECT_EQ(state.mandelbrotSlot.formulaLetter, 'g');
  EXPECT_FALSE(state.slotsLoaded);

  window_.coordinateAnswers.push_back(Complex{0.25, 0});
  explorer.JuliaFromCoordinates();
  EXPECT_TRUE(state.slotsLoaded);
  EXPECT_EQ(state.currentImage.planeLeft, -4.5);
  EXPECT_EQ(state.currentImage.pixelRight, 781);
  EXPECT_EQ(state.previewImage.formulaLetter, 'g');
}

}  // namespace
}  // namespace tesvo

namespace tesvo {
namespace {

// A drag one pixel wide and the whole height tall makes an image no column
// wide; the program wrote it as "ultimo", so it must read it back.
TEST_F(Library, ImageOfNoColumnMadeByAZoomReadsBack) {
  explorer.StartMandelbrot();
  explorer.ZoomToRectangle({300, 0}, {301, 548});
  const ImageRecord zoomed = state.currentImage;
  ASSERT_EQ(zoomed.Width(), 0);
  explorer.StartMandelbrot();
  window_.messages.clear();
  window_.readList = {"penultimo", "ultimo"};
  explorer.ReadSelectedImage(0);
  EXPECT_TRUE(window_.messages.empty());
  EXPECT_TRUE(SameBytes(state.currentImage, zoomed));

  // Its points map to values that are not finite: a right click previews
  // them as they come, and the title shows them.
  for (const int x : {250, 400}) {
    const auto calls = window_.pixelCalls.size();
    explorer.JuliaFromPoint({x, 200});
    EXPECT_TRUE(window_.messages.empty());
    EXPECT_EQ(window_.pixelCalls.size(), calls + 147 * 147);
    EXPECT_EQ(x == 250, std::isnan(state.previewImage.juliaRe));
    EXPECT_FALSE(std::isfinite(state.previewImage.juliaRe));
    EXPECT_EQ(window_.title, PreviewTitle(state.previewImage.juliaRe, state.previewImage.juliaIm));
  }
}

// Saving sorts the new name into the list; the entry read last moves with
// it, so Borrar and the reading buttons still start from the image read.
TEST_F(Library, ReadIndexFollowsTheEntryReadWhenASaveSortsInBeforeIt) {
  SaveSmallImage("b");
  SaveSmallImage("c");
  window_.readList = {"b", "c", "penultimo", "ultimo"};
  explorer.ReadSelectedImage(1);
  // Before it, at its place, after it.
  window_.saveAnswers = {SaveChoice{"a"}, SaveChoice{"bb"}, SaveChoice{"zeta"}};
  for (int i = 0; i < 3; ++i) explorer.SaveImageAs();
  ASSERT_EQ(window_.readList, (std::vector<std::string>{"a", "b", "bb", "c", "penultimo", "ultimo", "zeta"}));
  EXPECT_EQ(state.readIndex, 3);

  window_.messages.clear();
  window_.answers = {false};
  explorer.DeleteReadImage();
  ASSERT_FALSE(window_.messages.empty());
  EXPECT_EQ(window_.messages[0].text, "¿Estas seguro de que quieres borrar la siguiente imagen?\n\n\t\tc");
  explorer.ReadNextImage();
  EXPECT_EQ(window_.readList[state.readIndex], "penultimo");
}

}  // namespace
}  // namespace tesvo

namespace tesvo {
namespace {

// A named pipe where the pixel file should be: the read ends at once with a
// message and changes nothing.
TEST_F(Library, PipeForAPixelFileIsRefusedAtOnce) {
  SaveSmallImage("tubo");
  fs::remove("tubo.pix");
  ASSERT_EQ(::mkfifo("tubo.pix", 0644), 0);
  explorer.StartMandelbrot();
  const std::string current = RecordText(state.currentImage);
  window_.messages.clear();
  window_.readList = {"tubo"};
  explorer.ReadSelectedImage(0);
  ASSERT_EQ(window_.messages.size(), 1u);
  EXPECT_EQ(window_.messages[0].text,
            "No se ha podido leer el fichero tubo.pix.\nNo es un fichero de datos sino una tubería, un "
            "dispositivo o un socket.");
  EXPECT_EQ(RecordText(state.currentImage), current);
}

// A name that is not UTF-8 is listed, read and deleted by its bytes.
TEST_F(Library, NameThatIsNotUtf8KeepsItsBytes) {
  const std::string latin1 = "caf\xe9";
  const ImageRecord saved = SaveSmallImage(latin1);
  FakeWindow fresh;
  explorer.Attach(fresh);
  explorer.Initialise(1);
  ASSERT_EQ(fresh.readList, (std::vector<std::string>{latin1, "penultimo", "ultimo"}));
  explorer.ReadSelectedImage(0);
  EXPECT_TRUE(fresh.messages.empty());
  EXPECT_TRUE(SameBytes(state.currentImage, saved));
  fresh.answers = {true};
  explorer.DeleteReadImage();
  EXPECT_FALSE(fs::exists(latin1 + ".dat"));
  EXPECT_FALSE(fs::exists(latin1 + ".pix"));
}

// Only what reading takes back is written: no image, no save; halving the
// limit stops short of 0.
TEST_F(Library, EveryImageWrittenReadsBack) {
  state = ExplorerState{};  // the program started again:
  explorer.Initialise(1);   // both reserved pairs are there, no image at all
  window_.saveAnswers = {SaveChoice{"nada"}};
  explorer.SaveImageAs();
  ASSERT_EQ(window_.messages.size(), 1u);
  EXPECT_EQ(window_.messages[0].text, "Todavía no hay ninguna imagen que grabar.");
  EXPECT_EQ(window_.saveQuestions, 0);
  EXPECT_FALSE(fs::exists("nada.dat"));

  explorer.StartMandelbrot();
  ImageRecord small = state.currentImage;
  small.pixelRight = small.pixelLeft + 2;
  small.pixelBottom = small.pixelTop + 2;
  state.currentImage = small;
  for (int i = 0; i < 1100; ++i) explorer.DecreasePrecision();
  EXPECT_EQ(state.currentImage.iterationLimit, std::numeric_limits<double>::denorm_min());
  explorer.IncreasePrecision();
  explorer.DecreasePrecision();
  EXPECT_EQ(state.currentImage.iterationLimit, std::numeric_limits<double>::denorm_min());
  explorer.ChangeMode(kDecomposition);
  window_.messages.clear();
  window_.saveAnswers = {SaveChoice{"minimo"}};
  explorer.SaveImageAs();
  window_.readList = {"minimo", "penultimo", "ultimo"};
  for (int entry : {0, 2}) {
    window_.messages.clear();
    explorer.ReadSelectedImage(entry);
    EXPECT_TRUE(window_.messages.empty()) << entry << ": " << window_.messages[0].text;
    EXPECT_EQ(state.currentImage.iterationLimit, std::numeric_limits<double>::denorm_min());
  }
}

}  // namespace
}  // namespace tesvo

namespace tesvo {
namespace {

// Borrar stopped after the picture: the pair stays readable, listed and
// deletable, and no picture is left alone to keep the name.
TEST_F(Library, DeletingStoppedHalfwayLeavesAPairThatCanBeDeletedAgain) {
  SaveSmallImage("foto");
  window_.readList = {"foto", "penultimo", "ultimo"};
  explorer.ReadSelectedImage(0);
  fs::remove("foto.pix");
  fs::create_directories("foto.pix/dentro");  // cannot be removed
  window_.answers = {true};
  EXPECT_THROW(explorer.DeleteReadImage(), FileError);
  EXPECT_FALSE(fs::exists("foto.png"));
  EXPECT_TRUE(fs::exists("foto.dat"));
  EXPECT_EQ(window_.readList, (std::vector<std::string>{"foto", "penultimo", "ultimo"}));

  fs::remove_all("foto.pix");
  window_.answers = {true};
  explorer.DeleteReadImage();
  EXPECT_FALSE(fs::exists("foto.dat"));
  EXPECT_EQ(window_.readList, (std::vector<std::string>{"penultimo", "ultimo"}));
}

// Another process holds the folder's lock: each command that changes names
// waits a little while another reads, each that reads while another
// changes; then it says so and changes nothing. One that is let go during
// the wait goes on.
TEST_F(Library, BusyFolderIsReportedAndChangesNothing) {
  SaveSmallImage("foto");
  window_.readList = {"foto", "penultimo", "ultimo"};
  explorer.ReadSelectedImage(0);
  const auto contents = [&] {
    std::vector<std::string> all;
    for (const std::string& file : folder_.Entries()) all.push_back(file + ": " + Contents(file));
    return all;
  };
  const std::vector<std::string> before = contents();
  const int held = ::open(kLockFileName, O_RDWR);
  ASSERT_GE(held, 0);
  const auto wait = std::exchange(folderLockWait, std::chrono::milliseconds(100));

  struct Case {
    const char* what;
    int heldAs;
    std::function<void()> command;
  };
  const Case cases[] = {
      {"save", LOCK_SH, [&] { explorer.SaveImage("otra"); }},
      {"rotation", LOCK_SH, [&] { explorer.RotateLastImages(); }},
      {"deletion", LOCK_SH,
       [&] {
         window_.answers = {true};
         explorer.DeleteReadImage();
       }},
      {"reading", LOCK_EX, [&] { explorer.ReadImage("ultimo"); }},
  };
  for (const Case& t : cases) {
    SCOPED_TRACE(t.what);
    ASSERT_EQ(::flock(held, t.heldAs), 0);
    window_.messages.clear();
    try {
      t.command();
      ADD_FAILURE() << "done";
    } catch (const FileError& error) {
      EXPECT_EQ(FileErrorText(error),
                "Otra ventana de Tesvo está grabando o borrando en esta carpeta y no termina.\n"
                "No se ha cambiado nada; vuelve a intentarlo dentro de un momento.");
    }
    EXPECT_EQ(contents(), before);
    EXPECT_EQ(window_.readList, (std::vector<std::string>{"foto", "penultimo", "ultimo"}));
  }

  folderLockWait = std::chrono::milliseconds(5000);
  std::thread release([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    ::close(held);
  });
  window_.messages.clear();
  try {
    explorer.SaveImage("otra");
  } catch (const FileError& error) {
    ADD_FAILURE() << FileErrorText(error);
  }
  release.join();
  folderLockWait = wait;
  ASSERT_EQ(window_.messages.size(), 1u);
  EXPECT_EQ(window_.messages[0].text, "El fichero otra ha sido grabado");
}

// A lock file that cannot be used does not switch the lock off: the folder
// itself is locked instead, the lock file stays as it is, and the user is
// told once what is wrong with it.
TEST_F(Library, BrokenLockFileIsToldOnceAndTheFolderIsLockedInstead) {
  const struct {
    const char* folder;
    std::function<void(const std::string& lock)> make;
    const char* fault;
  } rows[] = {
      {"carpeta", [](const std::string& lock) { fs::create_directory(lock); }, "es una carpeta"},
      {"tuberia", [](const std::string& lock) { ::mkfifo(lock.c_str(), 0600); },
       "no es un fichero de datos sino una tubería, un dispositivo o un socket"},
      {"enlace",
       [](const std::string& lock) {
         Write("otro", "");
         fs::create_symlink(fs::absolute("otro"), lock);
       },
       "es un enlace simbólico"},
      {"colgante", [](const std::string& lock) { fs::create_symlink("nada", lock); },
       "es un enlace simbólico"},
  };
  const auto wait = std::exchange(folderLockWait, std::chrono::milliseconds(50));
  for (const auto& row : rows) {
    SCOPED_TRACE(row.folder);
    const std::string folder = row.folder;
    fs::create_directory(folder);
    const std::string lock = folder + "/" + kLockFileName;
    row.make(lock);
    const fs::file_type kind = fs::symlink_status(lock).type();
    {
      const FolderLock held(folder + "/foto.dat", FolderLock::Mode::kExclusive);
      EXPECT_TRUE(held.Held());
      EXPECT_THROW(FolderLock(folder + "/otra.dat", FolderLock::Mode::kShared), FileError);
    }
    window_.messages.clear();
    ReportingFileErrors(window_, [&] { SaveSmallImage(folder + "/foto"); });
    ReportingFileErrors(window_, [&] { explorer.SaveImage(folder + "/otra"); });
    ASSERT_EQ(window_.messages.size(), 2u);
    EXPECT_EQ(
        window_.messages[0].text,
        "Tesvo no puede usar el fichero .tesvo.lock de la carpeta " + folder +
            ", con el que las ventanas de Tesvo se turnan para cambiar sus ficheros: " + row.fault +
            ".\nMientras tanto se turnan con la propia carpeta; borra .tesvo.lock para que vuelva a usarse.");
    EXPECT_EQ(window_.messages[1].text, "El fichero " + folder + "/otra ha sido grabado");
    EXPECT_TRUE(fs::exists(folder + "/otra.dat"));
    EXPECT_EQ(fs::symlink_status(lock).type(), kind);
  }
  folderLockWait = wait;
}

}  // namespace
}  // namespace tesvo
