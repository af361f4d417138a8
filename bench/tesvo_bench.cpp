// tesvo-bench: the time of the fast scan against the literal one, formula by
// formula, the share of the literal scan's iterations the fast one saves, and
// the fast scan on all threads against the same on one.
// Usage: tesvo-bench [--repeat N] [--literal-repeat N] [--threads N]
//                    [--path avx512|avx2|sse2|neon|reference] [--quick] [--only TEXT]...
//                    [--busy spin|engine] [--export] [--deep]
// --quick scans a third of the pixels of each window; --only runs just the
// cases whose name, with the limit after it, contains TEXT ("z^2 100"), and
// may be given more than once; --literal-repeat 0 leaves the literal scan out.
// --busy keeps the machine busy for the whole run with a second process: one
// that spins on one core, or one that draws images without end, as a second
// window of the program would.
// --export times large pictures written to PNG files instead, against the
// literal scan's time for as many pixels, and their peak memory.
// --deep times deep views (widths 1e-18 to 1e-1000) against the plain MPFR
// loop (bench/deep_bench.cpp); --threads, --path, --quick and --only apply.
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <limits>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "bench/deep_bench.h"
#include "bench/literal_scan.h"
#include "colour/compose.h"
#include "colour/palette.h"
#include "colour/scaled_picture.h"
#include "commands/drawing.h"
#include "commands/explorer.h"
#include "engine/buffers.h"
#include "engine/helper_threads.h"
#include "engine/scan.h"
#include "library/picture_file.h"
#include "library/record_problem.h"
#include "tests/null_window.h"

namespace tesvo::bench {
namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) {
  return std::chrono::duration<double>(Clock::now() - since).count();
}

struct Options {
  int repeat = 5;
  int literalRepeat = 1;
  int threads = 0;
  ScanPath path = ScanPath::kFastest;
  bool quick = false;
  bool exportPictures = false;
  bool deep = false;
  std::vector<std::string> only;
  std::string busy;  // "", "spin" or "engine"
};

struct Case {
  std::string name;
  ImageRecord record;
};

// A window that throws every pixel away, to time generation without a screen.
class NullWindow : public testing::NullWindow {
 public:
  void SetPixel(int, int, Colour colour) override { sink_ ^= colour; }

 private:
  Colour sink_ = 0;
};

ImageRecord Preset(char letter, double limit, int side) {
  ImageRecord r = BuiltInPresets()[FormulaRow(letter)][kMandelbrotPreset];
  r.iterationLimit = limit;
  r.pixelRight = r.pixelLeft + side;
  r.pixelBottom = r.pixelTop + side;
  return r;
}

std::vector<Case> Cases(const Options& options) {
  // --quick: a third of the pixels over the same windows.
  const int side = options.quick ? 177 : 531;
  const char* names[kFormulaCount] = {"c*exp(z)", "cos(z)+c", "z^2",     "z^3 sin",
                                      "z^4",      "z^4+z^3",  "z^(3/2)", "Nano"};
  std::vector<Case> cases;
  for (char letter : std::string("abcdefgh")) {
    for (double limit : {100.0, 5000.0})
      cases.push_back(
          {std::string(1, letter) + " " + names[FormulaRow(letter)], Preset(letter, limit, side)});
  }
  ImageRecord deep = Preset('c', 5000, side);
  deep.planeLeft = -0.7436447860;
  deep.planeTop = 0.1318252536;
  deep.planeRight = -0.7436446860;
  deep.planeBottom = 0.1318251536;
  cases.push_back({"c deep zoom", deep});
  // A window that is not a number, as a damaged file may hold: every orbit
  // is not a number from its first step on.
  ImageRecord nan = Preset('g', 5000, 100);
  nan.planeLeft = std::numeric_limits<double>::quiet_NaN();
  cases.push_back({"g NaN window", nan});
  return cases;
}

// The fastest of several runs: the machine is shared, and the minimum is the
// run least disturbed by others.
template <class F>
double Fastest(int repeat, F&& run) {
  double best = 1e300;
  for (int i = 0; i < repeat; ++i) {
    const Clock::time_point start = Clock::now();
    run();
    best = std::min(best, Seconds(start));
  }
  return best;
}

// The fastest of several runs of each of two, taken in turn, so that a change
// in the machine's load falls on both alike.
template <class A, class B>
std::pair<double, double> FastestOfEach(int repeat, A&& a, B&& b) {
  std::pair<double, double> best{1e300, 1e300};
  for (int i = 0; i < repeat; ++i) {
    best.first = std::min(best.first, Fastest(1, a));
    best.second = std::min(best.second, Fastest(1, b));
  }
  return best;
}

bool Selected(const Options& options, const std::string& label) {
  if (options.only.empty()) return true;
  return std::any_of(options.only.begin(), options.only.end(),
                     [&](const std::string& text) { return label.find(text) != std::string::npos; });
}

std::string Load() {
  char text[64] = "?";
  if (FILE* file = std::fopen("/proc/loadavg", "r")) {
    if (std::fscanf(file, "%63[^\n]", text) != 1) text[0] = 0;
    std::fclose(file);
  }
  return text;
}

// The second process of --busy; it ends with the benchmark.
[[noreturn]] void KeepBusy(const Options& options) {
  ::prctl(PR_SET_PDEATHSIG, SIGKILL);
  if (options.busy == "spin") {
    volatile std::uint64_t spins = 0;
    for (;;) spins = spins + 1;
  }
  NullWindow window;
  Explorer explorer{window};
  const std::vector<Case> cases = Cases(options);
  for (;;) {
    for (const Case& c : cases) explorer.GenerateImage(c.record);
  }
}

int Run(const Options& options) {
  pid_t busy = 0;
  if (!options.busy.empty()) {
    // Before this process has any helper thread: a child of fork() has only
    // the thread that called it.
    busy = ::fork();
    if (busy == 0) KeepBusy(options);
    if (busy < 0) {
      std::perror("fork");
      return 1;
    }
  }
  const int threads = options.threads > 0 ? options.threads : DefaultThreads();
  const ScanSettings fast{options.path, threads};
  const ScanSettings oneThread{options.path, 1};
  const auto runs = [&](ScanPath p) {
    return (options.path == p || options.path == ScanPath::kFastest) && PathAvailable(p);
  };
  const char* path = runs(ScanPath::kAvx512) ? "AVX-512"
                     : runs(ScanPath::kAvx2) ? "AVX2"
                     : runs(ScanPath::kSse2) ? "SSE2"
                     : runs(ScanPath::kNeon) ? "AdvSIMD"
                                             : "reference";
  const char* busyText = options.busy == "spin"     ? "one core busy with a spinning process"
                         : options.busy == "engine" ? "a second engine drawing images without end"
                                                    : "nothing else of its own running";
  std::printf(
      "fast path: %s on %d threads, fastest of %d runs, taken in turn with the same on 1 thread; "
      "literal: plain loop, 1 thread, C library maths, fastest of %d\n%s; load average at the start: %s\n\n",
      path, threads, options.repeat, options.literalRepeat, busyText, Load().c_str());
  if (busy > 0) std::this_thread::sleep_for(std::chrono::milliseconds(300));  // the second process gets going
  std::printf("%-16s %5s %8s %11s %9s %7s %7s %12s %5s %9s %6s %6s\n", "case", "limit", "pixels",
              "literal ms", "fast ms", "ratio", "saved", "Giter/s/core", "same", "1 thr ms", "all/1", "late");
  for (const Case& c : Cases(options)) {
    const std::string label = c.name + " " + std::to_string(static_cast<int>(c.record.iterationLimit));
    if (!Selected(options, label)) continue;
    const ScanPlan plan = MakeScanPlan(c.record, true);
    const bool literalRuns = options.literalRepeat > 0;
    LiteralResult literal;
    const double literalSeconds =
        literalRuns ? Fastest(options.literalRepeat, [&] { literal = LiteralScan(c.record); }) : 0;
    std::vector<std::int16_t> counts(static_cast<std::size_t>(plan.Columns()) * plan.Rows());
    std::vector<std::int16_t> alone(counts.size());
    std::int64_t steps = 0;
    std::int64_t late = 0;
    std::int64_t lateTotal = 0;
    ScanSettings counted = fast;
    counted.steps = &steps;
    counted.takenOver = &late;
    const auto [fastSeconds, singleSeconds] = FastestOfEach(
        options.repeat,
        [&] {
          CountColumns(plan, 0, plan.Columns(), counts.data(), counted);
          lateTotal += late;
        },
        [&] { CountColumns(plan, 0, plan.Columns(), alone.data(), oneThread); });
    // Formula steps per second and core, of those the fast scan took.
    const double perCore = static_cast<double>(steps) / fastSeconds / threads / 1e9;
    if (literalRuns) {
      const double saved = 1 - static_cast<double>(steps) / static_cast<double>(literal.steps);
      std::printf("%-16s %5.0f %8zu %11.1f %9.2f %7.1f %6.1f%% %12.2f %5s", c.name.c_str(),
                  c.record.iterationLimit, counts.size(), literalSeconds * 1e3, fastSeconds * 1e3,
                  literalSeconds / fastSeconds, saved * 100, perCore,
                  counts == literal.counts ? "yes" : "no");
    } else {
      std::printf("%-16s %5.0f %8zu %11s %9.2f %7s %7s %12.2f %5s", c.name.c_str(), c.record.iterationLimit,
                  counts.size(), "-", fastSeconds * 1e3, "-", "-", perCore, "-");
    }
    std::printf(" %9.2f %6.2f %6lld%s\n", singleSeconds * 1e3, fastSeconds / singleSeconds,
                static_cast<long long>(lateTotal), counts == alone ? "" : "  COUNTS DIFFER");
    std::fflush(stdout);
  }

  // The whole of GenerateImage, delivery to a window included.
  NullWindow window;
  Explorer explorer{window};
  ExplorerState& state = explorer.State();
  const ImageRecord record = Preset('c', 100, 531);
  const double generate = Fastest(options.repeat * 4, [&] { explorer.GenerateImage(record); });
  std::printf("\nGenerateImage, z^2 preset at limit 100, 532 x 532 pixels to a null window: %.2f ms\n",
              generate * 1e3);

  // Recolouring and showing a saved image: no counting at all.
  state.currentImage = record;
  state.mandelbrotSlot = record;
  explorer.GenerateImage(record);
  // Grey colours: the Palette built again and every count painted through it.
  const double recolour = Fastest(options.repeat * 4, [&] { explorer.GreyColours(); });
  std::printf("Recolour, 531 x 531 counts into the picture: %.2f ms\n", recolour * 1e3);
  const std::filesystem::path folder = std::filesystem::temp_directory_path() / "tesvo-bench";
  std::filesystem::create_directories(folder);
  const std::filesystem::path previous = std::filesystem::current_path();
  std::filesystem::current_path(folder);
  std::filesystem::remove("medida.dat");
  explorer.SaveImage("medida");
  const double show = Fastest(options.repeat * 4, [&] { explorer.ReadImage("medida"); });
  std::printf("ReadImage, a 531 x 531 image shown from its .pix: %.2f ms\n\n", show * 1e3);
  std::filesystem::current_path(previous);
  std::filesystem::remove_all(folder);
  std::printf(
      "\"saved\": the share of the literal scan's formula steps that the fast scan did not take.\n"
      "\"same\": the counts equal the literal scan's (the C library's sin, cos, exp and atan\n"
      "differ in the last bits from the deterministic ones, so transcendental rows may say no).\n"
      "\"all/1\": the fast scan's time on all threads over its time on one; 1 / threads is perfect,\n"
      "above 1 the other threads cost more than they gave. \"late\": blocks of columns that the\n"
      "calling thread counted again because their helper had not finished, over all runs.\n"
      "Load average at the end: %s\n",
      Load().c_str());
  if (busy > 0) {
    ::kill(busy, SIGKILL);
    ::waitpid(busy, nullptr, 0);
  }
  return 0;
}

Palette FreshPalette(const ImageRecord& r) {
  Palette palette{};
  BuildPaletteFor(r, palette);
  return palette;
}

// The peak resident memory of this process so far, in megabytes. The
// benchmark itself holds little besides the picture being written, whose
// rows it never keeps.
double PeakMegabytes() {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss / 1024.0;
}

// Large pictures of the presets written as PNG files, against the literal
// scan's time for the same number of pixels: its time for the picture as
// shown, in this run, times K x K.
int RunExport(const Options& options) {
  const int threads = options.threads > 0 ? options.threads : DefaultThreads();
  const ScanSettings scan{options.path, threads};
  const std::filesystem::path folder = std::filesystem::temp_directory_path() / "tesvo-bench-export";
  std::filesystem::create_directories(folder);
  const std::string file = (folder / "dibujo.png").string();
  struct Export {
    std::string name;
    char letter;
    int scale;
    bool memory;  // the peak memory of the process after it
  };
  const Export exports[] = {
      {"c z^2", 'c', 8, false}, {"a c*exp(z)", 'a', 4, false}, {"c z^2", 'c', 16, true}};
  std::printf("fast: %d threads; literal: plain loop, 1 thread, picture as shown, times K x K\n\n", threads);
  std::printf("%-12s %5s %3s %11s %11s %10s %10s %6s %7s %9s %8s\n", "case", "limit", "K", "pixels",
              "literal s", "export s", "count s", "png %", "ratio", "PNG MB", "peak MB");
  for (const Export& e : exports) {
    const std::string label = e.name + " 5000 x" + std::to_string(e.scale);
    if (!Selected(options, label)) continue;
    const ImageRecord r = Preset(e.letter, 5000, 531);
    const PictureSize size{e.scale, 1};
    const double literal = Fastest(options.literalRepeat, [&] { LiteralScan(r); }) * e.scale * e.scale;
    const Palette palette = FreshPalette(r);
    const double exported = Fastest(
        options.repeat, [&] { WriteScaledPicture(file, r, palette, size, {.scan = scan, .progress = {}}); });
    const double bytes = static_cast<double>(std::filesystem::file_size(file));
    // The same rows computed and coloured, neither encoded nor written.
    const double counted = Fastest(options.repeat, [&] {
      RenderPicture(r, palette, size, {.scan = scan, .progress = {}}, [](const std::uint8_t*) {});
    });
    const double peak = PeakMegabytes();
    const std::int64_t pixels = PictureWidth(r, size) * PictureHeight(r, size);
    std::printf("%-12s %5d %3d %11lld %11.1f %10.2f %10.2f %5.0f%% %7.1f %9.1f", e.name.c_str(), 5000,
                e.scale, static_cast<long long>(pixels), literal, exported, counted,
                100 * (1 - counted / exported), literal / exported, bytes / 1e6);
    if (e.memory)
      std::printf(" %8.0f\n", peak);
    else
      std::printf(" %8s\n", "-");
    std::fflush(stdout);
  }
  std::filesystem::remove_all(folder);
  std::printf(
      "\n\"export\": the whole picture to a PNG file; \"count\": the same rows computed and coloured,\n"
      "neither encoded nor written; \"png %%\": the share of the export that encoding and writing add.\n");
  return 0;
}

}  // namespace
}  // namespace tesvo::bench

int main(int argc, char** argv) {
  tesvo::bench::Options options;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--repeat" && i + 1 < argc) {
      options.repeat = std::max(1, std::atoi(argv[++i]));
    } else if (arg == "--literal-repeat" && i + 1 < argc) {
      options.literalRepeat = std::max(0, std::atoi(argv[++i]));
    } else if (arg == "--threads" && i + 1 < argc) {
      options.threads = std::max(1, std::atoi(argv[++i]));
    } else if (arg == "--path" && i + 1 < argc) {
      const std::string name = argv[++i];
      options.path = name == "avx512" ? tesvo::ScanPath::kAvx512
                     : name == "avx2" ? tesvo::ScanPath::kAvx2
                     : name == "sse2" ? tesvo::ScanPath::kSse2
                     : name == "neon" ? tesvo::ScanPath::kNeon
                                      : tesvo::ScanPath::kReference;
    } else if (arg == "--quick") {
      options.quick = true;
    } else if (arg == "--export") {
      options.exportPictures = true;
    } else if (arg == "--deep") {
      options.deep = true;
    } else if (arg == "--only" && i + 1 < argc) {
      options.only.push_back(argv[++i]);
    } else if (arg == "--busy" && i + 1 < argc &&
               (argv[i + 1] == std::string("spin") || argv[i + 1] == std::string("engine"))) {
      options.busy = argv[++i];
    } else {
      std::fprintf(stderr,
                   "usage: tesvo-bench [--repeat N] [--literal-repeat N] [--threads N] "
                   "[--path avx512|avx2|sse2|neon|reference] [--quick] [--only TEXT]... [--busy spin|engine] "
                   "[--export] [--deep]\n");
      return 2;
    }
  }
  if (options.deep) return tesvo::bench::RunDeep(options.threads, options.path, options.quick, options.only);
  return options.exportPictures ? tesvo::bench::RunExport(options) : tesvo::bench::Run(options);
}
