// The kernel on two lanes of SSE2, which every x86-64 processor has.
#include <emmintrin.h>
#include <sleef.h>

#include "engine/scan_simd.h"

namespace tesvo {
namespace {

struct Sse2 {
  using V = __m128d;
  static constexpr int kLanes = 2;
  static constexpr int kRegisters = 16;
  static V Splat(double x) { return _mm_set1_pd(x); }
  static V Load(const double* p) { return _mm_load_pd(p); }
  static void Store(double* p, V x) { _mm_store_pd(p, x); }
  static V Greater(V a, V b) { return _mm_cmpgt_pd(a, b); }
  static V Or(V a, V b) { return _mm_or_pd(a, b); }
  static V And(V a, V b) { return _mm_and_pd(a, b); }
  // a where the mask m is clear, 0 where it is set.
  static V AndNot(V m, V a) { return _mm_andnot_pd(m, a); }
  // SSE2 compares 32 bits at a time: both halves of each lane must match.
  static V SameBits(V a, V b) {
    const __m128i halves = _mm_cmpeq_epi32(_mm_castpd_si128(a), _mm_castpd_si128(b));
    return _mm_castsi128_pd(_mm_and_si128(halves, _mm_shuffle_epi32(halves, _MM_SHUFFLE(2, 3, 0, 1))));
  }
  static int Mask(V m) { return _mm_movemask_pd(m); }
  // b where the mask m is set, a elsewhere.
  static V Blend(V a, V b, V m) { return _mm_or_pd(_mm_and_pd(m, b), _mm_andnot_pd(m, a)); }
  static V Sqrt(V x) { return _mm_sqrt_pd(x); }
  static V Sin(V x) { return Sleef_cinz_sind2_u10sse2(x); }
  static V Cos(V x) { return Sleef_cinz_cosd2_u10sse2(x); }
  static V Exp(V x) { return Sleef_cinz_expd2_u10sse2(x); }
  static V Atan(V x) { return Sleef_cinz_atand2_u10sse2(x); }
};

}  // namespace

std::int64_t CountPixelsSse2(const PixelJob& job) { return simd::CountPixelsAnyFormula<Sse2, 4>(job); }

void EvaluateSse2(MathFunction function, const double* in, double* out, int n) {
  simd::Evaluate<Sse2>(function, in, out, n);
}

}  // namespace tesvo
