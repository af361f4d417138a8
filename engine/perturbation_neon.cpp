// The deep engine's plain steps on two lanes of AdvSIMD, which every arm64
// processor has. The build's -ffp-contract=off keeps GCC from fusing a * b + c
// into one instruction, so each product and sum rounds as in the scalar step.
#include <arm_neon.h>

#include "engine/perturbation_simd.h"

namespace tesvo {
namespace {

struct Neon {
  using V = float64x2_t;
  using M = uint64x2_t;
  static constexpr int kLanes = 2;
  static V Splat(double x) { return vdupq_n_f64(x); }
  static V Load(const double* p) { return vld1q_f64(p); }
  static void Store(double* p, V x) { vst1q_f64(p, x); }
  static V Add(V a, V b) { return vaddq_f64(a, b); }
  static V Subtract(V a, V b) { return vsubq_f64(a, b); }
  static V Multiply(V a, V b) { return vmulq_f64(a, b); }
  static M Less(V a, V b) { return vcltq_f64(a, b); }
  static M Greater(V a, V b) { return vcgtq_f64(a, b); }
  static M Or(M a, M b) { return vorrq_u64(a, b); }
  // The lanes' top bits, lane 0 in bit 0.
  static int Bits(M m) {
    const uint64x2_t top = vshrq_n_u64(m, 63);
    return static_cast<int>(vgetq_lane_u64(top, 0) | vgetq_lane_u64(top, 1) << 1);
  }
  static M MaskOf(int bits) {
    return vcombine_u64(vcreate_u64(0 - static_cast<std::uint64_t>(bits & 1)),
                        vcreate_u64(0 - static_cast<std::uint64_t>(bits >> 1 & 1)));
  }
  // b where the mask m is set, a elsewhere.
  static V Blend(V a, V b, M m) { return vbslq_f64(m, b, a); }
  // Lane l's record, at index ahead + m[l].
  static void Records(const double* records, std::int64_t ahead, const std::int64_t* m, V& re, V& im, V& hb) {
    const std::int64_t low = ahead + m[0], high = ahead + m[1];
    const V a = vld1q_f64(records + 4 * low), b = vld1q_f64(records + 4 * high);
    re = vzip1q_f64(a, b);
    im = vzip2q_f64(a, b);
    hb = vsetq_lane_f64(records[4 * high + 2], vdupq_n_f64(records[4 * low + 2]), 1);
  }
};

}  // namespace

// Two vectors side by side, as on SSE2; not yet timed on ARM hardware.
std::int64_t StepLanesNeon(const LaneJob& job) { return deep_simd::StepLanesAnyFormula<Neon, 2>(job); }

}  // namespace tesvo
