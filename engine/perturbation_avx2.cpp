// The deep engine's plain steps on four lanes of AVX2. Built with -mavx2 and
// without FMA, so each multiplication and addition rounds exactly as in the
// scalar step.
#include <immintrin.h>

#include "engine/perturbation_simd.h"

namespace tesvo {
namespace {

struct Avx2 {
  using V = __m256d;
  using I = __m256i;
  using M = __m256d;
  static constexpr int kLanes = 4;
  static V Splat(double x) { return _mm256_set1_pd(x); }
  static I SplatIndex(std::int64_t x) { return _mm256_set1_epi64x(x); }
  static V Load(const double* p) { return _mm256_load_pd(p); }
  static I LoadIndex(const std::int64_t* p) { return _mm256_load_si256(reinterpret_cast<const __m256i*>(p)); }
  static void Store(double* p, V x) { _mm256_store_pd(p, x); }
  static void StoreIndex(std::int64_t* p, I x) { _mm256_store_si256(reinterpret_cast<__m256i*>(p), x); }
  static V Add(V a, V b) { return _mm256_add_pd(a, b); }
  static V Subtract(V a, V b) { return _mm256_sub_pd(a, b); }
  static V Multiply(V a, V b) { return _mm256_mul_pd(a, b); }
  static I AddIndex(I a, I b) { return _mm256_add_epi64(a, b); }
  static M Less(V a, V b) { return _mm256_cmp_pd(a, b, _CMP_LT_OQ); }
  static M Greater(V a, V b) { return _mm256_cmp_pd(a, b, _CMP_GT_OQ); }
  static M Equal(I a, I b) { return _mm256_castsi256_pd(_mm256_cmpeq_epi64(a, b)); }
  static M Or(M a, M b) { return _mm256_or_pd(a, b); }
  static int Bits(M m) { return _mm256_movemask_pd(m); }
  // b where the mask m is set, a elsewhere.
  static V Blend(V a, V b, M m) { return _mm256_blendv_pd(a, b, m); }
  static I BlendIndex(I a, I b, M m) {
    return _mm256_castpd_si256(_mm256_blendv_pd(_mm256_castsi256_pd(a), _mm256_castsi256_pd(b), m));
  }
  static V Gather(const double* base, I index) { return _mm256_i64gather_pd(base, index, 8); }
};

}  // namespace

// One vector at a time: a second side by side spills the 16 registers and
// was slower on an AMD EPYC (2026-12).
std::int64_t StepLanesAvx2(const LaneJob& job) { return deep_simd::StepLanesAnyFormula<Avx2, 1>(job); }

}  // namespace tesvo
