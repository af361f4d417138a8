// The kernel on two lanes of AdvSIMD, which every arm64 processor has. GCC
// contracts a * b + c into one fused instruction by default on arm64; the
// build's -ffp-contract=off keeps every product and sum rounded on its own,
// and SLEEF's no-FMA forms do the same inside sin, cos, exp and atan.
#include <arm_neon.h>
#include <sleef.h>

#include "engine/scan_simd.h"

namespace tesvo {
namespace {

struct Neon {
  using V = float64x2_t;
  static constexpr int kLanes = 2;
  static constexpr int kRegisters = 32;
  static uint64x2_t Bits(V x) { return vreinterpretq_u64_f64(x); }
  static V Doubles(uint64x2_t x) { return vreinterpretq_f64_u64(x); }
  static V Splat(double x) { return vdupq_n_f64(x); }
  static V Load(const double* p) { return vld1q_f64(p); }
  static void Store(double* p, V x) { vst1q_f64(p, x); }
  static V Greater(V a, V b) { return Doubles(vcgtq_f64(a, b)); }
  static V Or(V a, V b) { return Doubles(vorrq_u64(Bits(a), Bits(b))); }
  static V And(V a, V b) { return Doubles(vandq_u64(Bits(a), Bits(b))); }
  // a where the mask m is clear, 0 where it is set.
  static V AndNot(V m, V a) { return Doubles(vbicq_u64(Bits(a), Bits(m))); }
  static V SameBits(V a, V b) { return Doubles(vceqq_u64(Bits(a), Bits(b))); }
  // The lanes' top bits, lane 0 in bit 0, as x86's movemask gives them.
  static int Mask(V m) {
    const uint64x2_t top = vshrq_n_u64(Bits(m), 63);
    return static_cast<int>(vgetq_lane_u64(top, 0) | vgetq_lane_u64(top, 1) << 1);
  }
  // b where the mask m is set, a elsewhere.
  static V Blend(V a, V b, V m) { return vbslq_f64(Bits(m), b, a); }
  static V Sqrt(V x) { return vsqrtq_f64(x); }
  static V Sin(V x) { return Sleef_cinz_sind2_u10advsimdnofma(x); }
  static V Cos(V x) { return Sleef_cinz_cosd2_u10advsimdnofma(x); }
  static V Exp(V x) { return Sleef_cinz_expd2_u10advsimdnofma(x); }
  static V Atan(V x) { return Sleef_cinz_atand2_u10advsimdnofma(x); }
};

}  // namespace

// Four vectors for the polynomial formulas, as on the other set with 32
// registers: enough independent steps to cover a multiplication's latency on
// two pipes. Not yet timed on ARM hardware.
std::int64_t CountPixelsNeon(const PixelJob& job) { return simd::CountPixelsAnyFormula<Neon, 4>(job); }

void EvaluateNeon(MathFunction function, const double* in, double* out, int n) {
  simd::Evaluate<Neon>(function, in, out, n);
}

}  // namespace tesvo
