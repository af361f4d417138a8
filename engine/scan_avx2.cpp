// The kernel on four lanes of AVX2. Built with -mavx2 and without FMA, so each
// multiplication and addition rounds exactly as in the scalar steps.
#include <immintrin.h>
#include <sleef.h>

#include "engine/scan_simd.h"

namespace tesvo {
namespace {

struct Avx2 {
  using V = __m256d;
  static constexpr int kLanes = 4;
  static constexpr int kRegisters = 16;
  static V Splat(double x) { return _mm256_set1_pd(x); }
  static V Load(const double* p) { return _mm256_load_pd(p); }
  static void Store(double* p, V x) { _mm256_store_pd(p, x); }
  static V Greater(V a, V b) { return _mm256_cmp_pd(a, b, _CMP_GT_OQ); }
  static V Or(V a, V b) { return _mm256_or_pd(a, b); }
  static V And(V a, V b) { return _mm256_and_pd(a, b); }
  // a where the mask m is clear, 0 where it is set.
  static V AndNot(V m, V a) { return _mm256_andnot_pd(m, a); }
  static V SameBits(V a, V b) {
    return _mm256_castsi256_pd(_mm256_cmpeq_epi64(_mm256_castpd_si256(a), _mm256_castpd_si256(b)));
  }
  static int Mask(V m) { return _mm256_movemask_pd(m); }
  // b where the mask m is set, a elsewhere.
  static V Blend(V a, V b, V m) { return _mm256_blendv_pd(a, b, m); }
  static V Sqrt(V x) { return _mm256_sqrt_pd(x); }
  static V Sin(V x) { return Sleef_cinz_sind4_u10avx(x); }
  static V Cos(V x) { return Sleef_cinz_cosd4_u10avx(x); }
  static V Exp(V x) { return Sleef_cinz_expd4_u10avx(x); }
  static V Atan(V x) { return Sleef_cinz_atand4_u10avx(x); }
};

}  // namespace

// Five vectors for the polynomial formulas: the iterates of five fit the 16
// registers, and the fifth hides more of a step's latency.
std::int64_t CountPixelsAvx2(const PixelJob& job) { return simd::CountPixelsAnyFormula<Avx2, 5>(job); }

void EvaluateAvx2(MathFunction function, const double* in, double* out, int n) {
  simd::Evaluate<Avx2>(function, in, out, n);
}

}  // namespace tesvo
