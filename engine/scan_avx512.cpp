// The kernel on eight lanes of AVX-512 (F and DQ). Built with those flags and
// without FMA, so each multiplication and addition rounds exactly as in the
// scalar steps; its 32 registers hold all the interleaved vectors.
#include <immintrin.h>
#include <sleef.h>

#include "engine/scan_simd.h"

namespace tesvo {
namespace {

struct Avx512 {
  using V = __m512d;
  static constexpr int kLanes = 8;
  static constexpr int kRegisters = 32;
  static V Splat(double x) { return _mm512_set1_pd(x); }
  static V Load(const double* p) { return _mm512_load_pd(p); }
  static void Store(double* p, V x) { _mm512_store_pd(p, x); }
  // Comparisons give mask registers; the kernel keeps masks as vectors.
  static V Greater(V a, V b) {
    return _mm512_castsi512_pd(_mm512_movm_epi64(_mm512_cmp_pd_mask(a, b, _CMP_GT_OQ)));
  }
  static V Or(V a, V b) { return _mm512_or_pd(a, b); }
  static V And(V a, V b) { return _mm512_and_pd(a, b); }
  // a where the mask m is clear, 0 where it is set.
  static V AndNot(V m, V a) { return _mm512_andnot_pd(m, a); }
  static V SameBits(V a, V b) {
    return _mm512_castsi512_pd(
        _mm512_movm_epi64(_mm512_cmpeq_epi64_mask(_mm512_castpd_si512(a), _mm512_castpd_si512(b))));
  }
  static int Mask(V m) { return _mm512_movepi64_mask(_mm512_castpd_si512(m)); }
  // b where the mask m is set, a elsewhere.
  static V Blend(V a, V b, V m) { return _mm512_mask_blend_pd(static_cast<__mmask8>(Mask(m)), a, b); }
  // All lanes kept; the plain form trips GCC 12's uninitialised-value warning
  // in its own header.
  static V Sqrt(V x) { return _mm512_maskz_sqrt_pd(0xFF, x); }
  static V Sin(V x) { return Sleef_cinz_sind8_u10avx512fnofma(x); }
  static V Cos(V x) { return Sleef_cinz_cosd8_u10avx512fnofma(x); }
  static V Exp(V x) { return Sleef_cinz_expd8_u10avx512fnofma(x); }
  static V Atan(V x) { return Sleef_cinz_atand8_u10avx512fnofma(x); }
};

}  // namespace

std::int64_t CountPixelsAvx512(const PixelJob& job) { return simd::CountPixelsAnyFormula<Avx512, 4>(job); }

void EvaluateAvx512(MathFunction function, const double* in, double* out, int n) {
  simd::Evaluate<Avx512>(function, in, out, n);
}

}  // namespace tesvo
