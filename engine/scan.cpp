#include "engine/scan.h"

#include <algorithm>
#include <bit>
#include <cstdint>

#include "engine/column_job.h"
#include "engine/formula_step.h"
#include "engine/helper_threads.h"
#include "engine/program_state.h"
#include "engine/scan_kernel.h"

namespace tesvo {
namespace {

bool SameBits(Complex a, Complex b) {
  return std::bit_cast<std::uint64_t>(a.re) == std::bit_cast<std::uint64_t>(b.re) &&
         std::bit_cast<std::uint64_t>(a.im) == std::bit_cast<std::uint64_t>(b.im);
}

struct Orbit {
  std::int16_t count;
  std::int64_t steps;  // formula steps taken
};

// The count of one pixel: the plain rule, except that an orbit found to repeat
// is not iterated further than it takes to know its iterates at the limit.
Orbit IteratePoint(const ScanPlan& plan, FormulaStep step, double x, double y) {
  double u = x;
  double v = y;
  if (plan.method == kInversion) {
    const Complex inverted = InvertPoint(x, y);
    u = inverted.re;
    v = inverted.im;
  }
  Complex z = plan.mandelbrot ? Complex{kMandelbrotStart, 0.0} : Complex{u, v};
  const Complex c = plan.mandelbrot ? Complex{u, v} : Complex{plan.cRe, plan.cIm};
  Complex previous = z;
  int n = 0;
  bool out = Escapes({0.0, 0.0}, plan.bound);  // as if from 0: the start value is not tested
  bool escaped = true;
  // Beyond the limits a record can hold, the plain rule alone.
  const bool cycles = plan.limit >= 0 && plan.limit <= kMaxIterationLimit;
  const int captureAt = cycles ? static_cast<int>(plan.limit) + 1 : 0;  // the first n > limit
  Complex kept = z;
  int keptAt = 0;
  int nextKeep = static_cast<int>(kFirstKeep);
  int steps = 0;
  if (!(0 > plan.limit)) {
    for (;;) {
      if (out) break;
      // z has not escaped, nor has any iterate since the kept one: a repeat
      // closes a cycle that never escapes. Step on round it to the limit.
      if (cycles && n != keptAt && SameBits(z, kept)) {
        for (int r = (captureAt - n) % (n - keptAt); r > 0; --r) {
          previous = z;
          z = step(z.re, z.im, c.re, c.im);
          ++steps;
        }
        escaped = false;
        break;
      }
      if (cycles && n == nextKeep) {
        kept = z;
        keptAt = n;
        nextKeep = 2 * n;
      }
      ++n;
      ++steps;
      previous = z;
      z = step(z.re, z.im, c.re, c.im);
      out = Escapes(z, plan.bound);
      if (n > plan.limit) {
        escaped = false;
        break;
      }
    }
  } else {
    escaped = false;
  }
  return {OrbitCount(plan.method, plan.limit, plan.convergenceFactor, escaped, n, z, previous), steps};
}

}  // namespace

std::int16_t OrbitCount(std::int32_t method, double limit, double convergenceFactor, bool escaped, int n,
                        Complex z, Complex previous) {
  if (escaped) return EscapedCount(method, n, z.im);
  switch (method) {
    case kConvergence: {
      const double dre = previous.re - z.re;
      const double dim = previous.im - z.im;
      double m = (dre * dre + dim * dim) * convergenceFactor;
      if (m > limit) m = limit;
      if (!(m >= 0)) return 0;  // not a number
      return static_cast<std::int16_t>(m);
    }
    case kDecomposition:
      return z.im > 0 ? 0 : 100;
    default:
      return 0;
  }
}

namespace {

#ifdef TESVO_X86_KERNELS
bool CpuHasAvx2() {
  static const bool has = __builtin_cpu_supports("avx2");
  return has;
}

bool CpuHasAvx512() {
  static const bool has = __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512dq");
  return has;
}
#endif

std::int64_t CountPixelsReference(const ScanPlan& plan, const PixelJob& job) {
  const FormulaStep step = SelectFormula(plan.formulaLetter);
  std::int64_t steps = 0;
  for (std::int64_t p = job.begin; p < job.end; ++p) {
    const Orbit orbit = IteratePoint(plan, step, job.xs[p / job.rows], job.ys[p % job.rows]);
    job.out[p] = orbit.count;
    steps += orbit.steps;
  }
  return steps;
}

// Columns per block, for blocks of about as many pixels as keep the lanes busy
// and make the hand-out cost nothing, and few enough that a block left to the
// last thread, or counted twice for a late helper, is short.
int BlockColumns(std::int64_t pixels, int rows, int threads) {
  const std::int64_t target = std::clamp<std::int64_t>(pixels / (8 * threads), 64, 2048);
  return static_cast<int>(std::max<std::int64_t>(1, (target + rows / 2) / rows));
}

}  // namespace

ScanPath ResolvePath(ScanPath path) {
  if (path == ScanPath::kFastest) {
    if (PathAvailable(ScanPath::kAvx512)) return ScanPath::kAvx512;
    if (PathAvailable(ScanPath::kAvx2)) return ScanPath::kAvx2;
    if (PathAvailable(ScanPath::kSse2)) return ScanPath::kSse2;
    if (PathAvailable(ScanPath::kNeon)) return ScanPath::kNeon;
    return ScanPath::kReference;
  }
  return PathAvailable(path) ? path : ScanPath::kReference;
}

bool PathAvailable(ScanPath path) {
  switch (path) {
    case ScanPath::kFastest:
    case ScanPath::kReference:
      return true;
#ifdef TESVO_X86_KERNELS
    case ScanPath::kSse2:
      return true;
    case ScanPath::kAvx2:
      return CpuHasAvx2();
    case ScanPath::kAvx512:
      return CpuHasAvx512();
#else
    case ScanPath::kSse2:
    case ScanPath::kAvx2:
    case ScanPath::kAvx512:
      return false;
#endif
    case ScanPath::kNeon:
#ifdef TESVO_NEON_KERNELS
      return true;
#else
      return false;
#endif
  }
  return false;
}

const char* PathName(ScanPath path) {
  switch (path) {
    case ScanPath::kFastest:
      return "fastest";
    case ScanPath::kReference:
      return "reference";
    case ScanPath::kSse2:
      return "SSE2";
    case ScanPath::kAvx2:
      return "AVX2";
    case ScanPath::kAvx512:
      return "AVX-512";
    case ScanPath::kNeon:
      return "AdvSIMD";
  }
  return "?";
}

std::int64_t CountPixels(const ScanPlan& plan, ScanPath path, const PixelJob& job) {
  switch (path) {
#ifdef TESVO_X86_KERNELS
    case ScanPath::kAvx512:
      return CountPixelsAvx512(job);
    case ScanPath::kAvx2:
      return CountPixelsAvx2(job);
    case ScanPath::kSse2:
      return CountPixelsSse2(job);
#endif
#ifdef TESVO_NEON_KERNELS
    case ScanPath::kNeon:
      return CountPixelsNeon(job);
#endif
    default:
      return CountPixelsReference(plan, job);
  }
}

void CountColumnsInOrder(const ScanPlan& plan, int first, int count, const ScanSettings& settings,
                         const ColumnSink& sink) {
  const int rows = plan.Rows();
  const std::int64_t pixels = std::int64_t{count} * rows;
  if (settings.steps != nullptr) *settings.steps = 0;
  if (settings.takenOver != nullptr) *settings.takenOver = 0;
  if (pixels <= 0) return;
  // The kernels take the first step whatever the bound, which is right only
  // for a bound of 0 or more; below that every point escapes before its first
  // step, which costs nothing on the plain rule. They also assume a limit
  // from 0 to the highest a record may hold, which is all CanGenerate lets
  // through.
  const bool kernelsApply = plan.limit >= 0 && plan.limit <= kMaxIterationLimit && !(0 > plan.bound);
  const ScanPath path = kernelsApply ? ResolvePath(settings.path) : ScanPath::kReference;
  // Unless told otherwise, small jobs stay on the calling thread: waking a
  // helper costs more than it saves on a few thousand pixels.
  const int threads = settings.threads > 0
                          ? settings.threads
                          : static_cast<int>(std::min<std::int64_t>(DefaultThreads(), 1 + pixels / 4096));
  const auto job = std::make_shared<ColumnJob>(plan, first, count, path, BlockColumns(pixels, rows, threads));
  const int helpers = std::min(threads, job->Blocks()) - 1;
  AskForHelp(job, helpers);
  const std::int64_t steps = job->Run(sink);
  if (helpers > 0) WithdrawHelp(job.get());
  if (settings.steps != nullptr) *settings.steps = steps;
  if (settings.takenOver != nullptr) *settings.takenOver = job->TakenOver();
}

void CountColumns(const ScanPlan& plan, int first, int count, std::int16_t* out,
                  const ScanSettings& settings) {
  const std::size_t rows = plan.Rows();
  CountColumnsInOrder(plan, first, count, settings, [&](int from, int columns, const std::int16_t* counts) {
    std::copy_n(counts, columns * rows, out + (from - first) * rows);
  });
}

bool EvaluateOnPath(ScanPath path, MathFunction function, const double* in, double* out, int n) {
  if (!PathAvailable(path)) return false;
  switch (path) {
#ifdef TESVO_X86_KERNELS
    case ScanPath::kSse2:
      EvaluateSse2(function, in, out, n);
      return true;
    case ScanPath::kAvx2:
      EvaluateAvx2(function, in, out, n);
      return true;
    case ScanPath::kAvx512:
      EvaluateAvx512(function, in, out, n);
      return true;
#endif
#ifdef TESVO_NEON_KERNELS
    case ScanPath::kNeon:
      EvaluateNeon(function, in, out, n);
      return true;
#endif
    default:
      return false;
  }
}

}  // namespace tesvo
