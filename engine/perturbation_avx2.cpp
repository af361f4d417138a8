// The deep engine's plain steps on four lanes of AVX2. Built with -mavx2 and
// without FMA, so each multiplication and addition rounds exactly as in the
// scalar step.
#include <immintrin.h>

#include "engine/perturbation_simd.h"

namespace tesvo {
namespace {

struct Avx2 {
  using V = __m256d;
  using M = __m256d;
  static constexpr int kLanes = 4;
  static V Splat(double x) { return _mm256_set1_pd(x); }
  static V Load(const double* p) { return _mm256_load_pd(p); }
  static void Store(double* p, V x) { _mm256_store_pd(p, x); }
  static V Add(V a, V b) { return _mm256_add_pd(a, b); }
  static V Subtract(V a, V b) { return _mm256_sub_pd(a, b); }
  static V Multiply(V a, V b) { return _mm256_mul_pd(a, b); }
  static M Less(V a, V b) { return _mm256_cmp_pd(a, b, _CMP_LT_OQ); }
  static M Greater(V a, V b) { return _mm256_cmp_pd(a, b, _CMP_GT_OQ); }
  static M Or(M a, M b) { return _mm256_or_pd(a, b); }
  static int Bits(M m) { return _mm256_movemask_pd(m); }
  static M MaskOf(int bits) {
    return _mm256_castsi256_pd(
        _mm256_set_epi64x(-(bits >> 3 & 1), -(bits >> 2 & 1), -(bits >> 1 & 1), -(bits & 1)));
  }
  // b where the mask m is set, a elsewhere.
  static V Blend(V a, V b, M m) { return _mm256_blendv_pd(a, b, m); }
  // Lane l's record, at index ahead + m[l], transposed: 4 loads and 7
  // shuffles instead of three gathers.
  static void Records(const double* records, std::int64_t ahead, const std::int64_t* m, V& re, V& im, V& hb) {
    const auto at = [&](int lane) { return _mm256_loadu_pd(records + 4 * (ahead + m[lane])); };
    const V r0 = at(0), r1 = at(1), r2 = at(2), r3 = at(3);
    const V lo01 = _mm256_unpacklo_pd(r0, r1), lo23 = _mm256_unpacklo_pd(r2, r3);
    const V hi01 = _mm256_unpackhi_pd(r0, r1), hi23 = _mm256_unpackhi_pd(r2, r3);
    re = _mm256_permute2f128_pd(lo01, lo23, 0x20);
    hb = _mm256_permute2f128_pd(lo01, lo23, 0x31);
    im = _mm256_permute2f128_pd(hi01, hi23, 0x20);
  }
};

}  // namespace

// One vector at a time: a second side by side spills the 16 registers and
// was slower on an AMD EPYC (2026-12).
std::int64_t StepLanesAvx2(const LaneJob& job) { return deep_simd::StepLanesAnyFormula<Avx2, 1>(job); }

}  // namespace tesvo
