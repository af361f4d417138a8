#include "bench/deep_bench.h"

#include <sys/resource.h>
#include <time.h>

#include <chrono>
#include <cstdio>
#include <vector>

#include "engine/deep_view.h"
#include "engine/helper_threads.h"
#include "tests/engine/deep_mpfr.h"

namespace tesvo::bench {
namespace {

using Clock = std::chrono::steady_clock;

double Since(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// The calling thread's processor time.
double ThreadSeconds() {
  timespec t{};
  ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

double CpuSeconds() {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
         (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

struct DeepCase {
  std::string name;
  DeepView view;
};

std::vector<DeepCase> DeepCases(bool quick) {
  const int side = quick ? 177 : 531;
  const auto view = [&](char letter, std::string re, std::string im, std::string width, std::int64_t limit) {
    return DeepView{letter, std::move(re),           std::move(im), std::move(width),
                    limit,  DeepPresetBound(letter), side,          side};
  };
  // The z^4+z^3 point whose orbit of 0 lands on a repelling fixed point.
  const testing::BigComplex f = testing::NewtonPoint('f', 0.0617, 1.0096, 3, 2, 3800);
  return {
      {"z^2 c=i 1e-100", view('c', "0", "1", "1e-100", 10000)},
      {"z^2 spiral 1e-18", view('c', "-0.74364388705506694142240342704985101959837",
                                "0.13182590419575921966378348179181906523825", "1e-18", 30000)},
      {"z^2 c=i 1e-1000", view('c', "0", "1", "1e-1000", 10000)},
      {"z^4+z^3 1e-1000", view('f', f.re.Decimal(1100), f.im.Decimal(1100), "1e-1000", 10000)},
  };
}

}  // namespace

int RunDeep(int threads, ScanPath path, bool quick, const std::vector<std::string>& only) {
  if (threads <= 0) threads = DefaultThreads();
  // The plain loop's time is measured on a grid of kSample x kSample pixels
  // spread over the view and scaled to all of them.
  constexpr int kSample = 10;
  char load[64] = "?";
  if (FILE* file = std::fopen("/proc/loadavg", "r")) {
    if (std::fscanf(file, "%63[^\n]", load) != 1) load[0] = 0;
    std::fclose(file);
  }
  std::printf(
      "deep: %d threads, plain steps on %s; plain: MPFR loop, 1 thread, %d x %d pixels of each view, scaled "
      "to "
      "all; load %s\n\n",
      threads, PathName(ResolvePath(path)), kSample, kSample, load);
  std::printf("%-18s %8s %6s %9s %9s %8s %8s %9s %9s %8s %7s %7s %12s\n", "case", "pixels", "limit",
              "plain s", "plain cpu", "deep s", "deep cpu", "ratio", "cpu ratio", "skipped", "max", "agree",
              "steps/s/core");
  for (const DeepCase& c : DeepCases(quick)) {
    bool selected = only.empty();
    for (const std::string& text : only) selected = selected || c.name.find(text) != std::string::npos;
    if (!selected) continue;
    const DeepView& view = c.view;
    std::int64_t steps = 0, skipped = 0;
    std::uint32_t most = 0;
    std::vector<std::uint32_t> all(static_cast<std::size_t>(view.columns) * view.rows);
    DeepSettings settings;
    settings.threads = threads;
    settings.steps = &steps;
    settings.skipped = &skipped;
    settings.perturbation.path = path;
    const double cpu0 = CpuSeconds();
    const Clock::time_point start = Clock::now();
    CountDeepView(view, settings, [&](int first, int count, const std::uint32_t* counts) {
      for (std::int64_t k = 0; k < std::int64_t{count} * view.rows; ++k) {
        most = std::max(most, counts[k]);
        all[static_cast<std::size_t>(first) * view.rows + k] = counts[k];
      }
    });
    const double deep = Since(start);
    const double cpu = CpuSeconds() - cpu0;

    const long precision = testing::PlainPrecision(view);
    const Clock::time_point plainStart = Clock::now();
    const double plainCpu0 = ThreadSeconds();
    int agree = 0;
    for (int a = 0; a < kSample; ++a) {
      for (int b = 0; b < kSample; ++b) {
        const int i = (2 * a + 1) * view.columns / (2 * kSample), j = (2 * b + 1) * view.rows / (2 * kSample);
        agree +=
            testing::PlainCount(view, i, j, precision) == all[static_cast<std::size_t>(i) * view.rows + j];
      }
    }
    const double pixels = static_cast<double>(view.columns) * view.rows;
    const double plain = Since(plainStart) * pixels / (kSample * kSample);
    const double plainCpu = (ThreadSeconds() - plainCpu0) * pixels / (kSample * kSample);
    std::printf("%-18s %8.0f %6lld %9.1f %9.1f %8.3f %8.3f %8.0fx %8.0fx %7.2f%% %7u %3d/%d %12.3g\n",
                c.name.c_str(), pixels, static_cast<long long>(view.limit), plain, plainCpu, deep, cpu,
                plain / deep, plainCpu / cpu,
                100.0 * static_cast<double>(skipped) / static_cast<double>(steps + skipped), most, agree,
                kSample * kSample, static_cast<double>(steps) / cpu);
    std::fflush(stdout);
  }
  std::printf(
      "\n\"deep s\": wall time of CountDeepView, reference orbit and skip table included; \"deep cpu\": its\n"
      "processor time on all threads; \"ratio\": of the wall times; \"cpu ratio\": of the processor times,\n"
      "which other load on the machine moves less; \"skipped\": the share of the iterations passed over\n"
      "by bilinear skips; \"agree\": the sampled pixels whose counts the two loops agree on;\n"
      "\"steps/s/core\": difference steps taken per second of processor time.\n");
  return 0;
}

}  // namespace tesvo::bench
