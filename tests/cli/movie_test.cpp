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
#include "cli/movie_plan.h"
#include "cli/render_command.h"
#include "cli/view_render.h"
#include "engine/formulas.h"
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

TEST(MovieCommandLine, BadOnesAreToldAndWriteNothing) {
  struct Case {
    std::vector<std::string> replace;  // option, its new values...
    int status;
    const char* says;
    std::vector<std::string> append = {};
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
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.replace.front());
    testing::TemporaryDirectory dir;
    std::vector<std::string> arguments = SmallMovie("f");
    const auto at = std::find(arguments.begin(), arguments.end(), c.replace.front());
    if (at == arguments.end())
      arguments.insert(arguments.end(), c.replace.begin(), c.replace.end());
    else
      std::copy(c.replace.begin(), c.replace.end(), at);
    arguments.insert(arguments.end(), c.append.begin(), c.append.end());
    const Result result = RunMovie(arguments);
    EXPECT_EQ(result.status, c.status);
    EXPECT_NE(result.err.find(c.says), std::string::npos) << result.err;
    EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), c.status == 2 ? 6 : 1) << result.err;
    EXPECT_TRUE(dir.Entries().empty());
  }
  testing::TemporaryDirectory dir;
  const Result other = RunMovie({"v.mp4", "--encode", "f"});
  EXPECT_EQ(other.status, 1);
  EXPECT_NE(other.err.find("no hay ninguna película en f"), std::string::npos) << other.err;
  EXPECT_TRUE(dir.Entries().empty());
}

}  // namespace
}  // namespace tesvo
