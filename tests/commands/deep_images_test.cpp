// Deep images in the window: the zoom across the wall of doubles, the walk
// far below it, the limit past what 16 bits hold, a stopped draw, and the
// deep pair through save, read, rotation and deletion.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <sstream>

#include "cli/render_command.h"
#include "cli/view_render.h"

#include "colour/compose.h"
#include "commands/drawing.h"
#include "engine/mpfr_number.h"
#include "library/image_files.h"
#include "library/picture_file.h"
#include "library/record_problem.h"
#include "tests/command_fixture.h"

namespace tesvo {
namespace {

namespace fs = std::filesystem;
using testing::CommandTest;
using testing::FileBytes;

class DeepImagesTest : public CommandTest {
 protected:
  // The client pixel of (re, im) in the current image.
  ClientPoint PixelOf(const char* re, const char* im) const {
    const ImageRecord& r = state.currentImage;
    MpfrNumber x(4096, re), y(4096, im), t(4096);
    const double w = static_cast<double>(r.Width()), h = static_cast<double>(r.Height());
    if (!explorer.IsDeep()) {
      mpfr_sub_d(*x, *x, r.planeLeft, MPFR_RNDN);
      mpfr_mul_d(*x, *x, w / (r.planeRight - r.planeLeft), MPFR_RNDN);
      mpfr_d_sub(*y, r.planeTop, *y, MPFR_RNDN);
      mpfr_mul_d(*y, *y, h / (r.planeTop - r.planeBottom), MPFR_RNDN);
    } else {
      const DeepPlace& p = state.deepPlace;
      MpfrNumber step(4096, p.width);
      mpfr_div_d(*step, *step, w, MPFR_RNDN);
      mpfr_set_str(*t, p.centreRe.c_str(), 10, MPFR_RNDN);
      mpfr_sub(*x, *x, *t, MPFR_RNDN);
      mpfr_div(*x, *x, *step, MPFR_RNDN);
      mpfr_add_d(*x, *x, w / 2, MPFR_RNDN);
      mpfr_set_str(*t, p.centreIm.c_str(), 10, MPFR_RNDN);
      mpfr_sub(*y, *t, *y, MPFR_RNDN);
      mpfr_div(*y, *y, *step, MPFR_RNDN);
      mpfr_add_d(*y, *y, h / 2, MPFR_RNDN);
    }
    return {r.pixelLeft + static_cast<int>(mpfr_get_d(*x, MPFR_RNDN)),
            r.pixelTop + static_cast<int>(mpfr_get_d(*y, MPFR_RNDN))};
  }

  // A square drag `side` pixels wide around the point.
  void ZoomAround(const char* re, const char* im, int side) {
    const ClientPoint at = PixelOf(re, im);
    explorer.ZoomToRectangle({at.x - side / 2, at.y - side / 2}, {at.x + side / 2, at.y + side / 2});
  }

  std::size_t DistinctCounts() const {
    if (explorer.IsDeep())
      return std::set<std::uint32_t>(state.deepCounts.begin(), state.deepCounts.end()).size();
    const ImageRecord& r = state.currentImage;
    return std::set<std::int16_t>(state.countBuffer.begin(),
                                  state.countBuffer.begin() + r.Width() * r.Height())
        .size();
  }

  // The current image must be the deep engine's counts of its view, drawn.
  void ExpectCountsOfItsView() const {
    const ImageRecord& r = state.currentImage;
    const DeepView view = ViewOfImage(r, state.deepPlace);
    std::vector<std::uint32_t> direct(state.deepCounts.size());
    ASSERT_TRUE(CountDeepView(view, {}, [&](int first, int count, const std::uint32_t* c) {
      std::copy(c, c + static_cast<std::size_t>(count) * view.rows, direct.begin() + first * view.rows);
    }));
    EXPECT_EQ(state.deepCounts, direct);
    const std::vector<Colour> colours =
        ComposeWideCounts(direct.data(), view.rows, 0, view.columns, state.palette, r.gradation);
    for (int j = 0; j < view.rows; j += 7)
      for (int i = 0; i < view.columns; i += 7)
        ASSERT_EQ(window.Pixel(r.pixelLeft + i, r.pixelTop + j), colours[j * view.columns + i])
            << i << "," << j;
  }
};

TEST_F(DeepImagesTest, ZoomTurnsDeepWhereDoublesNoLongerResolveThePixels) {
  struct Case {
    const char* width;
    bool deep;
    const char* depth;  // as the caption gives it
  };
  // Around the seahorse valley, a drag over the whole image keeps the width.
  for (const Case& c : {Case{"1e-9", false, ""}, Case{"2e-10", false, ""},
                        Case{"5e-11", true, "ancho 5.0e-11"}, Case{"1e-13", true, "ancho 1.0e-13"}}) {
    SCOPED_TRACE(c.width);
    Start();
    ImageRecord& image = state.currentImage;
    SetNearestCorners(image, {"-0.7436438870371587", "0.1318259042053120", c.width});
    explorer.ZoomToRectangle({image.pixelLeft, image.pixelTop}, {image.pixelRight, image.pixelBottom});
    EXPECT_EQ(explorer.IsDeep(), c.deep);
    if (c.deep) {
      EXPECT_EQ(state.deepPlace.centreRe.substr(0, 17), "-7.43643887037158");
      ExpectCountsOfItsView();
      EXPECT_EQ(window.title, "Conjunto de Mandelbrot" + std::string(27, ' ') + c.depth);
    } else {
      EXPECT_EQ(window.title, "Conjunto de Mandelbrot");
    }
  }
}

TEST_F(DeepImagesTest, TwentyFiveDragsTowardsITakeTheViewBelow1e30WithStructureAllTheWay) {
  Start();
  for (int drag = 1; drag <= 25; ++drag) {
    SCOPED_TRACE(drag);
    ZoomAround("0", "1", 26);
    for (int raise = 0; raise < 4 && DistinctCounts() < 12; ++raise) explorer.IncreasePrecision();
    ASSERT_GE(DistinctCounts(), 12u) << state.deepPlace.width;
  }
  ASSERT_TRUE(explorer.IsDeep());
  EXPECT_LT(MpfrNumber(64, state.deepPlace.width).Exponent(), -99);  // below 2^-99, 1.6e-30
  ExpectCountsOfItsView();
  // A point of a deep image gives the Julia set of its nearest doubles.
  window.messages.clear();
  explorer.JuliaFromPoint({400, 300});
  EXPECT_TRUE(window.messages.empty());
  EXPECT_TRUE(explorer.HasPreview());
}

TEST_F(DeepImagesTest, LimitDoublesPast5000And32767OnDeepImagesAndCountsStayWhole) {
  Start();
  ImageRecord& image = state.currentImage;
  SetNearestCorners(image, {"0", "1", "1e-12"});
  // A strip five rows high: the limits below cost little.
  explorer.ZoomToRectangle({image.pixelLeft, image.pixelTop}, {image.pixelRight, image.pixelTop + 5});
  ASSERT_TRUE(explorer.IsDeep());
  for (double limit : {4100.0, 8200.0, 16400.0, 32800.0, 65600.0}) {
    state.currentImage.iterationLimit = limit / 2;
    explorer.IncreasePrecision();
    EXPECT_EQ(state.currentImage.iterationLimit, limit);
  }
  // Counts past what 16 bits hold are kept whole.
  state.deepCounts.assign(state.deepCounts.size(), 65599);
  explorer.SaveImage("hondo");
  std::vector<std::uint32_t> read(state.deepCounts.size());
  ASSERT_EQ(ReadWidePixelFile("hondo", read.data(), read.size()), PixelFileState::kRead);
  EXPECT_EQ(read, state.deepCounts);
  state.currentImage.iterationLimit = static_cast<double>(kMaxDeepLimit);
  explorer.IncreasePrecision();
  EXPECT_EQ(state.currentImage.iterationLimit, static_cast<double>(kMaxDeepLimit));
  state.currentImage.iterationLimit = 3;
  explorer.DecreasePrecision();
  explorer.DecreasePrecision();
  EXPECT_EQ(state.currentImage.iterationLimit, 1);
}

TEST_F(DeepImagesTest, ModesAreCountedAgainOrRefusedWithAMessage) {
  struct Case {
    int method;
    bool counted;
  };
  for (const Case& c : {Case{kDecomposition, true}, Case{kConvergence, true}, Case{kInversion, false},
                        Case{kEscapeTime, true}}) {
    SCOPED_TRACE(c.method);
    Start();
    // A strip 40 rows high past the wall.
    ImageRecord& image = state.currentImage;
    SetNearestCorners(image, {"0", "1", "1e-12"});
    explorer.ZoomToRectangle({image.pixelLeft, image.pixelTop}, {image.pixelRight, image.pixelTop + 40});
    ASSERT_TRUE(explorer.IsDeep());
    explorer.ChangeMode(kEscapeTime == c.method ? kDecomposition : kEscapeTime);
    const std::vector<std::uint32_t> before = state.deepCounts;
    window.messages.clear();
    explorer.ChangeMode(c.method);
    EXPECT_EQ(window.messages.empty(), c.counted);
    if (c.counted) {
      EXPECT_EQ(state.currentImage.coloringMethod, c.method);
      ExpectCountsOfItsView();
      EXPECT_NE(state.deepCounts, before);
    } else {
      EXPECT_EQ(state.deepCounts, before);
      EXPECT_EQ(window.selectedMode, state.currentImage.coloringMethod);
    }
  }
}

TEST_F(DeepImagesTest, StoppingADeepDrawKeepsTheImageBefore) {
  Start();
  ZoomAround("0", "1", 4);
  for (int k = 0; k < 5 && !explorer.IsDeep(); ++k) ZoomAround("0", "1", 4);
  ASSERT_TRUE(explorer.IsDeep());
  const ExplorerState before = state;
  const std::vector<std::uint8_t> last = FileBytes("ultimo.dat");
  const std::vector<Colour> shown = window.pixels;
  window.cancelAt = 0.3;
  ZoomAround("0", "1", 26);
  explorer.IncreasePrecision();
  EXPECT_EQ(state.deepPlace, before.deepPlace);
  EXPECT_EQ(state.deepCounts, before.deepCounts);
  EXPECT_EQ(state.currentImage.iterationLimit, before.currentImage.iterationLimit);
  EXPECT_EQ(window.pixels, shown);
  EXPECT_EQ(FileBytes("ultimo.dat"), last);
  EXPECT_EQ(window.title, DeepCaption(before.deepPlace));
}

TEST_F(DeepImagesTest, DeepPairIsSavedReadRotatedAndDeletedAndAnOlderReaderRefusesIt) {
  Start();
  // Below 1e-30: 2^-100 wide.
  DeepPlace previous;
  for (int k = 0; k < 20 && !(explorer.IsDeep() && MpfrNumber(64, state.deepPlace.width).Exponent() < -99);
       ++k) {
    previous = state.deepPlace;
    ZoomAround("0", "1", 4);
  }
  ASSERT_TRUE(explorer.IsDeep());
  const ExplorerState deep = state;
  const ImageRecord& r = deep.currentImage;
  explorer.SaveImage("hondo");
  // The record says it is deep, the place follows it, the counts are 32-bit.
  const std::vector<std::uint8_t> dat = FileBytes("hondo.dat");
  ASSERT_EQ(dat.size(), kRecordSize + PlaceText(deep.deepPlace).size());
  EXPECT_EQ(dat[80], kDeepKind);
  EXPECT_EQ(fs::file_size("hondo.pix"), 4 * static_cast<std::uintmax_t>(r.Width() * r.Height()));
  EXPECT_TRUE(IsPictureOfParameterFile("hondo"));
  // What reading did before deep images: the record alone, refused.
  EXPECT_EQ(RecordProblem(ReadParameterFile("hondo")), RecordFault::kKind);
  // "ultimo" is the deep image, "penultimo" the one before it.
  EXPECT_EQ(FileBytes("ultimo.dat"), dat);
  EXPECT_EQ(ReadSavedRecord("penultimo").place, previous);

  explorer.StartMandelbrot();
  ASSERT_FALSE(explorer.IsDeep());
  window.readList = {"hondo"};
  explorer.ReadSelectedImage(0);
  EXPECT_EQ(state.deepPlace, deep.deepPlace);
  EXPECT_EQ(state.deepCounts, deep.deepCounts);
  EXPECT_TRUE(SameBytes(state.currentImage, deep.currentImage));
  EXPECT_EQ(window.title, DeepCaption(deep.deepPlace));

  // A missing pixel file is counted again, and the same.
  fs::remove("hondo.pix");
  explorer.StartMandelbrot();
  explorer.ReadSelectedImage(0);
  EXPECT_EQ(state.deepCounts, deep.deepCounts);
  EXPECT_EQ(FileBytes("hondo.dat"), dat);
  EXPECT_TRUE(fs::exists("hondo.pix"));

  // tesvo render draws the saved deep image's view in its own colours, never over its files.
  std::ostringstream err;
  ASSERT_EQ(RenderCommand({"hondo.dat", "grande.png", "--scale", "2"}, err, err, false), 0) << err.str();
  DeepView larger = ViewOfImage(r, deep.deepPlace);
  larger.columns *= 2;
  larger.rows *= 2;
  std::vector<std::uint8_t> expected;
  ASSERT_TRUE(WriteViewPicture(
      larger, {}, [&](const std::uint8_t* b, std::size_t n) { expected.insert(expected.end(), b, b + n); },
      {}, 1, &r));
  EXPECT_EQ(FileBytes("grande.png"), expected);
  EXPECT_EQ(RenderCommand({"hondo.dat", "hondo.dat"}, err, err, false), kRenderBadUsage);
  EXPECT_EQ(FileBytes("hondo.dat"), dat);

  window.answers = {true};
  explorer.DeleteReadImage();
  for (const char* file : {"hondo.dat", "hondo.pix", "hondo.png"}) EXPECT_FALSE(fs::exists(file)) << file;
}

TEST_F(DeepImagesTest, DeepFilesThatCannotBeTrustedAreRefusedAndChangeNothing) {
  Start();
  for (int k = 0; k < 6 && !explorer.IsDeep(); ++k) ZoomAround("0", "1", 4);
  ASSERT_TRUE(explorer.IsDeep());
  explorer.SaveImage("hondo");
  const std::vector<std::uint8_t> good = FileBytes("hondo.dat");
  const std::string line = PlaceText(state.deepPlace);
  struct Case {
    const char* name;
    std::string tail;      // what follows the record
    double limit;          // the record's limit
    const char* expected;  // a piece of the message
  };
  const Case cases[] = {
      {"no place", "", 100, "centro y el ancho"},
      {"words", "a b c\n", 100, "centro y el ancho"},
      {"no line end", line.substr(0, line.size() - 1), 100, "centro y el ancho"},
      {"a limit past 2^24", line, 16777217, "entre 1 y 16777216"},
      {"a fractional limit", line, 100.5, "entre 1 y 16777216"},
      {"a width of 0", "0 1 0\n", 100, "centro y el ancho"},
  };
  const ExplorerState before = state;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::uint8_t> bytes(good.begin(), good.begin() + kRecordSize);
    RecordBytes record{};
    std::copy(bytes.begin(), bytes.end(), record.begin());
    ImageRecord changed = FromBytes(record);
    changed.iterationLimit = c.limit;
    const RecordBytes out = ToBytes(changed);
    bytes.assign(out.begin(), out.end());
    bytes.insert(bytes.end(), c.tail.begin(), c.tail.end());
    testing::WriteFileBytes("malo.dat", bytes);
    window.messages.clear();
    explorer.ReadNamedImage("malo");
    ASSERT_EQ(window.messages.size(), 1u);
    EXPECT_NE(window.messages[0].text.find(c.expected), std::string::npos) << window.messages[0].text;
    EXPECT_EQ(state.deepPlace, before.deepPlace);
    EXPECT_EQ(state.deepCounts, before.deepCounts);
  }
}

}  // namespace
}  // namespace tesvo
