// The deep engine's plain steps on eight lanes of AVX-512 (F and DQ). Built
// with those flags and without FMA, so each multiplication and addition
// rounds exactly as in the scalar step.
#include <immintrin.h>

#include "engine/perturbation_simd.h"

namespace tesvo {
namespace {

struct Avx512 {
  using V = __m512d;
  using M = __mmask8;
  static constexpr int kLanes = 8;
  static V Splat(double x) { return _mm512_set1_pd(x); }
  static V Load(const double* p) { return _mm512_load_pd(p); }
  static void Store(double* p, V x) { _mm512_store_pd(p, x); }
  static V Add(V a, V b) { return _mm512_add_pd(a, b); }
  static V Subtract(V a, V b) { return _mm512_sub_pd(a, b); }
  static V Multiply(V a, V b) { return _mm512_mul_pd(a, b); }
  static M Less(V a, V b) { return _mm512_cmp_pd_mask(a, b, _CMP_LT_OQ); }
  static M Greater(V a, V b) { return _mm512_cmp_pd_mask(a, b, _CMP_GT_OQ); }
  static M Or(M a, M b) { return static_cast<M>(a | b); }
  static int Bits(M m) { return m; }
  static M MaskOf(int bits) { return static_cast<M>(bits); }
  // b where the mask m is set, a elsewhere.
  static V Blend(V a, V b, M m) { return _mm512_mask_blend_pd(m, a, b); }
  // Lane l's record, at index ahead + m[l], transposed: 8 loads and 11 shuffles
  // instead of three gathers, which are slow on AMD's processors. The
  // zero-masking forms with all lanes kept: the plain ones trip GCC 12's
  // uninitialised-value warning in its own header.
  static void Records(const double* records, std::int64_t ahead, const std::int64_t* m, V& re, V& im, V& hb) {
    const auto at = [&](int lane) { return _mm256_loadu_pd(records + 4 * (ahead + m[lane])); };
    const auto pair = [&](int a) {
      return _mm512_maskz_insertf64x4(0xFF, _mm512_castpd256_pd512(at(a)), at(a + 4), 1);
    };
    const V a0 = pair(0), a1 = pair(1), a2 = pair(2), a3 = pair(3);
    const V b0 = _mm512_maskz_unpacklo_pd(0xFF, a0, a1), b1 = _mm512_maskz_unpackhi_pd(0xFF, a0, a1);
    const V b2 = _mm512_maskz_unpacklo_pd(0xFF, a2, a3), b3 = _mm512_maskz_unpackhi_pd(0xFF, a2, a3);
    const __m512i first = _mm512_set_epi64(13, 12, 5, 4, 9, 8, 1, 0),
                  second = _mm512_set_epi64(15, 14, 7, 6, 11, 10, 3, 2);
    re = _mm512_permutex2var_pd(b0, first, b2);
    hb = _mm512_permutex2var_pd(b0, second, b2);
    im = _mm512_permutex2var_pd(b1, first, b3);
  }
};

}  // namespace

// One vector at a time: a second side by side was slower on an AMD EPYC
// (Zen 4, 2026-12), which takes 512-bit operations in two halves.
std::int64_t StepLanesAvx512(const LaneJob& job) { return deep_simd::StepLanesAnyFormula<Avx512, 1>(job); }

}  // namespace tesvo
