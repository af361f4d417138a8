// Zoom movies: the views between the two given zoom straight, every frame is
// the picture `tesvo render` draws of its manifest line, ranges drawn apart
// join into the one movie, a job stopped at any frame resumes to the same
// frames, and each bad command line has its message and writes nothing.
#include "cli/movie_command.h"

#include <gtest/gtest.h>
#include <mpfr.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "cli/movie_frames.h"
#include "cli/movie_images.h"
#include "cli/movie_plan.h"
#include "cli/render_command.h"
#include "cli/view_render.h"
#include "engine/formulas.h"
#include "library/image_files.h"
#include "tests/file_helpers.h"

namespace tesvo {
namespace {

struct Result {
  int status;
  std::string err;
};

Result RunMovie(const std::vector<std::string>& arguments) {
  std::ostringstream out, err;
  const int status = MovieCommand(arguments, out, err, false);
  return {status, err.str()};
}

// A small movie into the stable seahorse valley: five 16x9 frames.
std::vector<std::string> SmallMovie(const std::string& folder) {
  return {"--formula",
          "c",
          "--from",
          "-0.75",
          "0",
          "3",
          "--to",
          "-0.7436438870371587",
          "0.1318259042053119",
          "1e-9",
          "--limits",
          "100",
          "900",
          "--seconds",
          "1",
          "--fps",
          "5",
          "--size",
          "16x9",
          "--folder",
          folder};
}

// The formula c's first image with another window and limit: a saved image
// of doubles.
ImageRecord ShallowImage(double left, double right, double bottom, double top, double limit) {
  ImageRecord record = BuiltInPresets()[FormulaRow('c')][kMandelbrotPreset];
  record.planeLeft = left;
  record.planeRight = right;
  record.planeBottom = bottom;
  record.planeTop = top;
  record.iterationLimit = limit;
  return record;
}

// A deep image of formula c near the seahorse valley, its corners the nearest
// doubles of its place.
constexpr const char* kDeepCentreRe = "-0.743643887037158704752191506114774";
constexpr const char* kDeepCentreIm = "0.131825904205311970493132056385139";
SavedRecord DeepImage() {
  SavedRecord saved;
  saved.record = BuiltInPresets()[FormulaRow('c')][kMandelbrotPreset];
  saved.record.iterationLimit = 2000;
  saved.place = {kDeepCentreRe, kDeepCentreIm, "2e-12"};
  SetNearestCorners(saved.record, saved.place);
  return saved;
}

SavedRecord Saved(const ImageRecord& record) {
  SavedRecord saved;
  saved.record = record;
  return saved;
}

void WriteImage(const std::string& file, const ImageRecord& record, const DeepPlace& place = {}) {
  testing::WriteFileBytes(file, ParameterFileBytes(record, place));
}

// The images' own colours: the preset's with one control colour and the
// gradation changed.
ImageRecord Recoloured(ImageRecord record, RGB colour, std::int32_t gradation) {
  record.controlColours[3] = colour;
  record.gradation = gradation;
  return record;
}

// A small movie from the image a.dat to b.dat: five 16x9 frames.
std::vector<std::string> ImageMovie(const std::string& folder) {
  return {"--from-image", "a.dat", "--to-image", "b.dat", "--seconds", "1",
          "--fps",        "5",     "--size",     "16x9",  "--folder",  folder};
}

// (p - c_k) / w_k for a point p: where p sits in frame k, in widths.
double PlaceInFrame(const std::string& point, const std::string& centre, const std::string& width) {
  mpfr_t p, c, w;
  mpfr_inits2(1200, p, c, w, static_cast<mpfr_ptr>(nullptr));
  mpfr_set_str(p, point.c_str(), 10, MPFR_RNDN);
  mpfr_set_str(c, centre.c_str(), 10, MPFR_RNDN);
  mpfr_set_str(w, width.c_str(), 10, MPFR_RNDN);
  mpfr_sub(p, p, c, MPFR_RNDN);
  mpfr_div(p, p, w, MPFR_RNDN);
  const double place = mpfr_get_d(p, MPFR_RNDN);
  mpfr_clears(p, c, w, static_cast<mpfr_ptr>(nullptr));
  return place;
}

double Log(const std::string& text) {
  mpfr_t x;
  mpfr_init2(x, 200);
  mpfr_set_str(x, text.c_str(), 10, MPFR_RNDN);
  mpfr_log(x, x, MPFR_RNDN);
  const double value = mpfr_get_d(x, MPFR_RNDN);
  mpfr_clear(x);
  return value;
}

TEST(MovieViews, ZoomStraightAndGeometrically) {
  struct Case {
    FrameView first, last;
    int count;
    std::string fixedPoint;  // where it stays put; both views share it
  };
  // 3e-11 (1 + 1e-290)
  const std::string kDeepFixedPoint = std::string("3.") + std::string(289, '0') + "3e-11";
  // The fixed point of each pair: p = (c1 w0 - c0 w1) / (w0 - w1).
  const Case cases[] = {
      {{"0", "0", "4", 100}, {"1", "0.5", "2", 100}, 5, "2"},         // in
      {{"1", "0.5", "2", 10}, {"0", "0", "4", 1000}, 7, "2"},         // out
      {{"-0.75", "0", "3", 100}, {"-0.75", "0.1", "3", 100}, 4, ""},  // a pan
      {{"0", "0", "1e-10", 50}, {"3e-11", "0", "1e-300", 5000}, 9, kDeepFixedPoint},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.first.width + " to " + c.last.width);
    const std::vector<FrameView> views = InterpolateViews(c.first, c.last, c.count);
    ASSERT_EQ(views.size(), static_cast<std::size_t>(c.count));
    EXPECT_EQ(views.front().centreRe, c.first.centreRe);
    EXPECT_EQ(views.back().width, c.last.width);
    EXPECT_EQ(views.back().centreIm, c.last.centreIm);
    EXPECT_EQ(views.back().limit, c.last.limit);
    const double step = (Log(c.last.width) - Log(c.first.width)) / (c.count - 1);
    const double limitStep = std::log(static_cast<double>(c.last.limit) / c.first.limit) / (c.count - 1);
    for (int k = 0; k < c.count; ++k) {
      const FrameView& v = views[static_cast<std::size_t>(k)];
      ASSERT_TRUE(IsDecimalNumber(v.centreRe) && IsDecimalNumber(v.centreIm) && IsDecimalNumber(v.width));
      EXPECT_NEAR(Log(v.width), Log(c.first.width) + k * step, 1e-12) << k;
      EXPECT_NEAR(static_cast<double>(v.limit), c.first.limit * std::exp(k * limitStep), 0.5) << k;
      if (!c.fixedPoint.empty()) {
        // The shared point sits at the same place of every frame.
        EXPECT_NEAR(PlaceInFrame(c.fixedPoint, v.centreRe, v.width),
                    PlaceInFrame(c.fixedPoint, c.first.centreRe, c.first.width), 1e-12)
            << k;
      } else {
        EXPECT_NEAR(PlaceInFrame("0", v.centreIm, v.width), -0.1 / 3 * k / (c.count - 1), 1e-12) << k;
      }
    }
  }
}

TEST(MovieManifest, ReadsBackWhatItWrites) {
  tesvo::Movie movie{'e', 16, 10, 25, InterpolateViews({"0", "0", "4", 10}, {"0.1", "-0.2", "1e-40", 99}, 6)};
  const std::optional<tesvo::Movie> back = ParseManifest(ManifestText(movie));
  ASSERT_TRUE(back);
  EXPECT_EQ(ManifestText(*back), ManifestText(movie));
  const std::string text = ManifestText(movie);
  for (const std::string& bad : {text.substr(0, text.find('\n') + 1), std::string("2") + text.substr(1),
                                 text + "7 0 0 1 5 x\n", text + "8 0 0 1 5\n"})
    EXPECT_FALSE(ParseManifest(bad)) << bad;
}

// The header names the method and the colours only where they are not
// "tiempo de escape" and the formula's preset's, so that the manifests of
// other movies stay as they were; it is read back to the same movie, and a
// header this program would not write is refused.
TEST(MovieManifest, NamesMethodAndColoursOnlyWhenNotTheFormulasOwn) {
  const ImageRecord& preset = BuiltInPresets()[FormulaRow('e')][kMandelbrotPreset];
  ImageRecord other = preset;
  other.controlColours[2] = {1, 22, 255};
  ImageRecord graded = preset;
  graded.gradation = preset.gradation + 3;
  const std::string presetColours = ControlColoursText(preset.controlColours);
  const std::string otherColours = ControlColoursText(other.controlColours);
  const std::string gradation = std::to_string(preset.gradation);
  const struct {
    std::int32_t method;
    std::optional<ImageRecord> colours;
    std::string header;
  } cases[] = {
      {kEscapeTime, std::nullopt, "# formula e size 16x10 fps 25"},
      {kEscapeTime, preset, "# formula e size 16x10 fps 25"},
      {kDecomposition, preset, "# formula e size 16x10 fps 25 method 1"},
      {kEscapeTime, other,
       "# formula e size 16x10 fps 25 colours " + otherColours + " gradation " + gradation},
      {kConvergence, graded,
       "# formula e size 16x10 fps 25 method 0 colours " + presetColours + " gradation " +
           std::to_string(preset.gradation + 3)},
  };
  const std::vector<FrameView> views = InterpolateViews({"0", "0", "4", 10}, {"0.1", "-0.2", "1e-40", 99}, 3);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.header);
    tesvo::Movie movie{'e', 16, 10, 25, views};
    movie.method = c.method;
    movie.colours = c.colours;
    const std::string text = ManifestText(movie);
    EXPECT_EQ(text.substr(0, text.find('\n')), c.header);
    const std::optional<tesvo::Movie> back = ParseManifest(text);
    ASSERT_TRUE(back);
    EXPECT_EQ(ManifestText(*back), text);
    EXPECT_EQ(back->method, c.method);
    EXPECT_EQ(PresetColours(back->Colours(), 'e'), PresetColours(movie.Colours(), 'e'));
    if (back->colours) {
      EXPECT_EQ(back->colours->controlColours, c.colours->controlColours);
      EXPECT_EQ(back->colours->gradation, c.colours->gradation);
    }
  }
  const std::string lines = ManifestText(tesvo::Movie{'e', 16, 10, 25, views}).substr(29);
  for (const std::string& bad : std::vector<std::string>{
           "# formula e size 16x10 fps 25 method 2",
           "# formula e size 16x10 fps 25 method 3",
           "# formula e size 16x10 fps 25 antialias 1",
           "# formula e size 16x10 fps 25 method 1 antialias 2",
           "# formula e size 16x10 fps 25 colours " + presetColours + " gradation " + gradation,
           "# formula e size 16x10 fps 25 colours " + otherColours + " gradation 0",
           "# formula e size 16x10 fps 25 colours " + otherColours,
           "# formula e size 16x10 fps 25 colours 1,2,3 4,5,6 7,8,9 1,2,3 4,5,256 gradation 9",
           "# formula e size 16x10 fps 25 colours 1,2,3 4,5,6 7,8,9 1,2,3 4,5 gradation 9",
           "# formula e size 16x10 fps 25 gradation 9 colours " + otherColours,
       })
    EXPECT_FALSE(ParseManifest(bad + lines)) << bad;
}

TEST(MovieFrames, RangesAreParsedAgainstTheMovie) {
  struct Case {
    const char* text;
    int first, last;  // 0: refused
  };
  const Case cases[] = {{"1-300", 1, 300}, {"7", 7, 7},  {"299-300", 299, 300}, {"0-3", 0, 0}, {"5-4", 0, 0},
                        {"1-301", 0, 0},   {"-3", 0, 0}, {"1-", 0, 0},          {"a-b", 0, 0}, {"", 0, 0}};
  for (const Case& c : cases) {
    const auto range = ParseFrameRange(c.text, 300);
    EXPECT_EQ(range ? range->first : 0, c.first) << c.text;
    EXPECT_EQ(range ? range->second : 0, c.last) << c.text;
  }
}

// With and without anti-aliasing, which the manifest keeps.
TEST(MovieFrames, EachIsTheRenderOfItsManifestLine) {
  testing::TemporaryDirectory dir;
  for (const std::string antialias : {"1", "2"}) {
    SCOPED_TRACE("--antialias " + antialias);
    const std::string folder = "f" + antialias;
    std::vector<std::string> arguments = SmallMovie(folder);
    arguments.insert(arguments.end(), {"--antialias", antialias});
    const Result made = RunMovie(arguments);
    ASSERT_EQ(made.status, 0) << made.err;
    std::string problem;
    const std::optional<tesvo::Movie> movie = ReadFolderMovie(folder, problem);
    ASSERT_TRUE(movie) << problem;
    ASSERT_EQ(movie->frames.size(), 5u);
    EXPECT_EQ(movie->antialias, std::stoi(antialias));
    EXPECT_EQ(movie->frames.back().width, "1e-9");
    for (int k : {1, 3, 5}) {
      const FrameView& v = movie->frames[static_cast<std::size_t>(k - 1)];
      std::ostringstream out, err;
      ASSERT_EQ(
          RenderCommand({"--formula", "c", "--centre", v.centreRe, v.centreIm, "--width", v.width, "--limit",
                         std::to_string(v.limit), "--size", "16x9", "--antialias", antialias, "r.png"},
                        out, err, false),
          0)
          << err.str();
      EXPECT_EQ(testing::FileBytes(FrameFileName(folder, k)), testing::FileBytes("r.png")) << k;
      // A frame of the other anti-aliasing is no frame of this movie.
      EXPECT_FALSE(IsWholeFrame(testing::FileBytes("r.png"), FrameDeepView(*movie, k), 3 - movie->antialias));
    }
  }
}

TEST(MovieFrames, TwoRangesJoinedAreTheWholeMovie) {
  testing::TemporaryDirectory dir;
  std::vector<std::string> first = SmallMovie("parts"), second = first, whole = SmallMovie("whole");
  first.insert(first.end(), {"--frames", "1-2"});
  second.insert(second.end(), {"--frames", "3-5"});
  for (const auto* arguments : {&first, &second, &whole}) ASSERT_EQ(RunMovie(*arguments).status, 0);
  for (int k = 1; k <= 5; ++k)
    EXPECT_EQ(testing::FileBytes(FrameFileName("parts", k)), testing::FileBytes(FrameFileName("whole", k)))
        << k;
  EXPECT_EQ(testing::FileBytes("parts/views.txt"), testing::FileBytes("whole/views.txt"));
}

TEST(MovieFrames, AJobStoppedAtAnyStepResumesToTheSameFrames) {
  testing::TemporaryDirectory dir;
  ASSERT_EQ(RunMovie(SmallMovie("whole")).status, 0);
  std::string problem;
  const tesvo::Movie movie = *ReadFolderMovie("whole", problem);
  for (int stop = 1;; ++stop) {
    SCOPED_TRACE(stop);
    const std::string folder = std::string("stop") + std::to_string(stop);
    ASSERT_FALSE(PrepareFolder(movie, folder));
    int calls = 0;
    FrameSettings settings;
    settings.progress = [&](double) { return ++calls < stop; };
    const bool ended = DrawFrames(movie, folder, 1, 5, settings);
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
      names.push_back(entry.path().filename().string());
    for (const std::string& name : names)
      EXPECT_TRUE(name == "views.txt" || (name.starts_with("frame_") && name.ends_with(".png"))) << name;
    // A frame cut short, as a copy might leave one, is drawn again.
    if (names.size() > 2) std::filesystem::resize_file(FrameFileName(folder, 1), 100);
    ASSERT_TRUE(DrawFrames(movie, folder, 1, 5, {}));
    for (int k = 1; k <= 5; ++k)
      EXPECT_EQ(testing::FileBytes(FrameFileName(folder, k)), testing::FileBytes(FrameFileName("whole", k)))
          << k;
    if (ended) break;
  }
}

// A shallow image's view is its window exactly: the midpoint and the width
// of its corners' binary values, every digit written; its limit the whole
// part of the record's. A deep image's is its place as written.
TEST(MovieImages, AnImagesViewIsItsWindowInExactDecimals) {
  const struct {
    SavedRecord saved;
    FrameView view;
  } cases[] = {
      {Saved(ShallowImage(-2.25, 0.75, -1.5, 1.5, 312.5)), {"-7.5e-01", "0e+00", "3e+00", 312}},
      {Saved(ShallowImage(0.1, 0.7, -0.2, 0.4, 100)),
       {"3.9999999999999998057109706905976054258644580841064453125e-01",
        "1.000000000000000055511151231257827021181583404541015625e-01",
        "5.999999999999999500399638918679556809365749359130859375e-01", 100}},
      {Saved(ShallowImage(-0.7436438870371587, -0.7436438867371587, 0.1318259040053119, 0.1318259043053119,
                          5000)),
       {"-7.43643886887158711562761936875176616013050079345703125e-01",
        "1.3182590415531190985998222231501131318509578704833984375e-01",
        "2.9999991379980883721145801246166229248046875e-10", 5000}},
      {DeepImage(), {kDeepCentreRe, kDeepCentreIm, "2e-12", 2000}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.view.width);
    const FrameView view = SavedImageView(c.saved);
    EXPECT_EQ(view.centreRe, c.view.centreRe);
    EXPECT_EQ(view.centreIm, c.view.centreIm);
    EXPECT_EQ(view.width, c.view.width);
    EXPECT_EQ(view.limit, c.view.limit);
  }
}

// A movie from one saved image to another: its first and last frames are the
// pictures of the two images' views in the first image's colours and method,
// the manifest names them, a frame in other colours is not taken for one of
// its frames, and a job of some of its frames agrees with it.
TEST(MovieImages, FramesAreTheImagesViewsInTheFirstImagesColours) {
  testing::TemporaryDirectory dir;
  const ImageRecord plain = ShallowImage(-2.25, 0.75, -1.5, 1.5, 300.5);
  const SavedRecord deep = DeepImage();
  const FrameView plainView{"-7.5e-01", "0e+00", "3e+00", 300};
  const FrameView deepView{kDeepCentreRe, kDeepCentreIm, "2e-12", 2000};
  ImageRecord decomposed = Recoloured(plain, {250, 20, 5}, 77);
  decomposed.coloringMethod = kDecomposition;
  const ImageRecord deepColours = Recoloured(deep.record, {3, 90, 180}, 41);
  const std::string header = "# formula c size 16x9 fps 5";
  const struct {
    ImageRecord a;
    DeepPlace aPlace;
    FrameView first;
    ImageRecord b;
    DeepPlace bPlace;
    FrameView last;
    std::string header;
    std::vector<std::string> options = {};  // limits given take the place of the images'
  } cases[] = {
      {decomposed,
       {},
       plainView,
       deepColours,
       deep.place,
       deepView,
       header + " method 1 colours 0,0,255 255,255,0 255,0,0 250,20,5 0,0,255 gradation 77"},
      {deepColours,
       deep.place,
       deepView,
       decomposed,
       {},
       plainView,
       header + " colours 0,0,255 255,255,0 255,0,0 3,90,180 0,0,255 gradation 41"},
      {plain, {}, plainView, deepColours, deep.place, deepView, header},
      {plain,
       {},
       {plainView.centreRe, plainView.centreIm, plainView.width, 50},
       deepColours,
       deep.place,
       {kDeepCentreRe, kDeepCentreIm, "2e-12", 60},
       header,
       {"--limits", "50", "60"}},
  };
  int row = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.header);
    WriteImage("a.dat", c.a, c.aPlace);
    WriteImage("b.dat", c.b, c.bPlace);
    const std::string folder = "f" + std::to_string(++row);
    std::vector<std::string> arguments = ImageMovie(folder);
    arguments.insert(arguments.end(), c.options.begin(), c.options.end());
    const Result made = RunMovie(arguments);
    ASSERT_EQ(made.status, 0) << made.err;
    const std::vector<std::uint8_t> bytes = testing::FileBytes(folder + "/views.txt");
    const std::string manifest(bytes.begin(), bytes.end());
    EXPECT_EQ(manifest.substr(0, manifest.find('\n')), c.header);
    std::string problem;
    const std::optional<tesvo::Movie> movie = ReadFolderMovie(folder, problem);
    ASSERT_TRUE(movie) << problem;
    const ImageRecord& a = c.a;  // whose colours and method every frame has
    for (const auto& [k, end] : {std::pair{1, c.first}, std::pair{5, c.last}}) {
      const DeepView view{'c', end.centreRe,    end.centreIm, end.width, end.limit, DeepPresetBound('c'), 16,
                          9,   a.coloringMethod};
      std::vector<std::uint8_t> expected;
      ASSERT_TRUE(WriteViewPicture(
          view, {}, [&](const std::uint8_t* b, std::size_t n) { expected.insert(expected.end(), b, b + n); },
          {}, 1, &a));
      EXPECT_EQ(testing::FileBytes(FrameFileName(folder, k)), expected) << k;
    }
    // The first frame drawn in other colours is no frame of this movie.
    const ImageRecord other = Recoloured(a, {1, 2, 3}, 9);
    std::vector<std::uint8_t> recoloured;
    ASSERT_TRUE(WriteViewPicture(
        FrameDeepView(*movie, 1), {},
        [&](const std::uint8_t* b, std::size_t n) { recoloured.insert(recoloured.end(), b, b + n); }, {}, 1,
        &other));
    EXPECT_TRUE(IsWholeFrame(testing::FileBytes(FrameFileName(folder, 1)), FrameDeepView(*movie, 1), 1,
                             movie->Colours()));
    EXPECT_FALSE(IsWholeFrame(recoloured, FrameDeepView(*movie, 1), 1, movie->Colours()));
    // A job of two of the frames agrees with the movie's manifest.
    std::vector<std::string> part = arguments;
    part.insert(part.end(), {"--frames", "2-3"});
    const Result again = RunMovie(part);
    EXPECT_EQ(again.status, 0) << again.err;
  }
}

TEST(MovieCommandLine, BadOnesAreToldAndWriteNothing) {
  struct Case {
    std::vector<std::string> replace;  // option, its new values...
    int status;
    const char* says;
    std::vector<std::string> append = {};
    bool images = false;           // from a.dat to b.dat rather than from view to view
    const char* drop = "--bogus";  // an option left out, with its value
  };
  const Case cases[] = {
      {{"--from", "-0.75", "x", "3"}, 2, "la vista de --from son tres números"},
      {{"--to", "0", "0", "0"}, 2, "anchura"},
      {{"--size", "0x9"}, 2, "el tamaño (--size)"},
      {{"--fps", "0"}, 2, "los fotogramas por segundo (--fps)"},
      {{"--seconds", "0"}, 2, "la duración (--seconds)"},
      {{"--frames", "4-6"}, 2, "de 1 a 5 en esta película"},
      {{"--limits", "0", "5"}, 2, "el límite de iteraciones"},
      {{"--formula", "a"}, 1, "la fórmula a no se dibuja"},
      {{"--method", "inversión"}, 1, "tiempo de escape"},
      {{"--bogus", "1"}, 2, "no hay ninguna opción «--bogus»"},
      {{"--folder", "/proc/no/puede"}, 1, "/proc/no/puede"},
      {{"--size", "16x10"}, 1, "nada/v.mp4", {"nada/v.mp4"}},
      {{"--size", "16x9"}, 2, "un ancho y un alto pares", {"v.mp4"}},
      {{"--frames", "1-2"}, 2, "sin vídeo", {"v.mp4"}},
      {{"--from-image", "a.dat"},
       2,
       "de --from a --to o de --from-image a --to-image",
       {"--to-image", "b.dat"}},
      {{"--to-image", "b.dat"}, 2, "falta --from-image", {}, true, "--from-image"},
      {{"--from-image", "a.dat"}, 2, "falta --to-image", {}, true, "--to-image"},
      {{"--method", "2"}, 2, "--method no va con --from-image", {}, true},
      {{"--formula", "c"}, 2, "--formula no va con --from-image", {}, true},
      {{"--limit", "9"}, 2, "no los dos", {"--limits", "1", "2"}, true},
      {{"--to-image", "nada.dat"}, 1, "no se ha podido leer el fichero nada.dat", {}, true},
      {{"--to-image", "corto.dat"}, 1, "El fichero es más corto", {}, true},
      {{"--from-image", "malo.dat"},
       1,
       "malo.dat no es una imagen de Tesvo: el gradado es menor que 1",
       {},
       true},
      {{"--from-image", "julia.dat"}, 1, "julia.dat es una imagen de un conjunto de Julia", {}, true},
      {{"--to-image", "e.dat"}, 1, "fórmulas distintas: a.dat de la c y e.dat de la e", {}, true},
      {{"--from-image", "g.dat"}, 1, "g.dat es de la fórmula g, que no se dibuja", {}, true},
      {{"--from-image", "inversion.dat"}, 1, "en el modo «inversión»", {}, true},
  };
  // The images the rows read, left as they are.
  const auto writeImages = [] {
    const ImageRecord plain = ShallowImage(-2.25, 0.75, -1.5, 1.5, 300);
    const SavedRecord deep = DeepImage();
    WriteImage("a.dat", plain);
    WriteImage("b.dat", deep.record, deep.place);
    testing::WriteFileBytes("corto.dat", std::vector<std::uint8_t>(150, 0));
    WriteImage("malo.dat", Recoloured(plain, {0, 0, 0}, 0));
    ImageRecord julia = BuiltInPresets()[FormulaRow('c')][kJuliaPreset];
    WriteImage("julia.dat", julia);
    ImageRecord quartic = BuiltInPresets()[FormulaRow('e')][kMandelbrotPreset];
    WriteImage("e.dat", quartic);
    WriteImage("g.dat", BuiltInPresets()[FormulaRow('g')][kMandelbrotPreset]);
    ImageRecord inverted = plain;
    inverted.coloringMethod = kInversion;
    WriteImage("inversion.dat", inverted);
  };
  std::vector<std::string> images;
  {
    testing::TemporaryDirectory dir;
    writeImages();
    images = dir.Entries();
  }
  const std::size_t usageLines =
      static_cast<std::size_t>(
          std::count(kMovieUsage, kMovieUsage + std::char_traits<char>::length(kMovieUsage), '\n')) +
      1;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.replace.front());
    testing::TemporaryDirectory dir;
    writeImages();
    std::vector<std::string> arguments = c.images ? ImageMovie("f") : SmallMovie("f");
    if (const auto drop = std::find(arguments.begin(), arguments.end(), c.drop); drop != arguments.end())
      arguments.erase(drop, drop + 2);
    const auto at = std::find(arguments.begin(), arguments.end(), c.replace.front());
    if (at == arguments.end())
      arguments.insert(arguments.end(), c.replace.begin(), c.replace.end());
    else
      std::copy(c.replace.begin(), c.replace.end(), at);
    arguments.insert(arguments.end(), c.append.begin(), c.append.end());
    const Result result = RunMovie(arguments);
    EXPECT_EQ(result.status, c.status);
    EXPECT_NE(result.err.find(c.says), std::string::npos) << result.err;
    EXPECT_EQ(static_cast<std::size_t>(std::count(result.err.begin(), result.err.end(), '\n')),
              c.status == 2 ? 1 + usageLines : 1)
        << result.err;
    EXPECT_EQ(dir.Entries(), images);
  }
  testing::TemporaryDirectory dir;
  const Result other = RunMovie({"v.mp4", "--encode", "f"});
  EXPECT_EQ(other.status, 1);
  EXPECT_NE(other.err.find("no hay ninguna película en f"), std::string::npos) << other.err;
  EXPECT_TRUE(dir.Entries().empty());
}

}  // namespace
}  // namespace tesvo
