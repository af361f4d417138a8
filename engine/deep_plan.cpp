#include "engine/deep_plan.h"

#include <gmp.h>
#include <mpfr.h>

#include <algorithm>

namespace tesvo {
namespace {

class Parsed {
 public:
  Parsed(const std::string& text, long precision) {
    mpfr_init2(x_, precision);
    mpfr_set_str(x_, text.c_str(), 10, MPFR_RNDN);
  }
  ~Parsed() { mpfr_clear(x_); }
  Parsed(const Parsed&) = delete;
  Parsed& operator=(const Parsed&) = delete;
  mpfr_ptr operator*() { return x_; }
  // The binary exponent e of 0.5 <= |x| / 2^e < 1; 0 for 0.
  long Exponent() { return mpfr_regular_p(x_) ? mpfr_get_exp(x_) : 0; }

 private:
  mpfr_t x_;
};

// Far enough out that every point escapes at once, and the precision stays small.
constexpr long kFarthestExponent = 64;

// Why the view's numbers cannot be counted (width not above 0, too small, a
// centre too far out); the strings are decimal numbers.
std::optional<DeepViewFault> NumberProblem(const DeepView& view) {
  Parsed width(view.width, 64), re(view.centreRe, 64), im(view.centreIm, 64);
  if (!mpfr_number_p(*re) || !mpfr_number_p(*im) || re.Exponent() > kFarthestExponent ||
      im.Exponent() > kFarthestExponent)
    return DeepViewFault::kCentreTooFar;
  if (!mpfr_regular_p(*width) || mpfr_sgn(*width) <= 0 || width.Exponent() > kFarthestExponent)
    return DeepViewFault::kWidthRange;
  if (width.Exponent() < -kDeepestExponent) return DeepViewFault::kWidthTooSmall;
  return std::nullopt;
}

}  // namespace

// Here, beside the numbers' own checks, which need the plan's parsing.
std::optional<DeepViewFault> DeepViewProblem(const DeepView& view) {
  if (!DeepFormulaSupported(view.formulaLetter)) return DeepViewFault::kFormula;
  if (!IsDecimalNumber(view.centreRe) || !IsDecimalNumber(view.centreIm)) return DeepViewFault::kCentreText;
  if (!IsDecimalNumber(view.width)) return DeepViewFault::kWidthText;
  if (view.columns < 1 || view.rows < 1) return DeepViewFault::kSize;
  if (view.limit < 1) return DeepViewFault::kLimit;
  if (!(view.bound > 0)) return DeepViewFault::kBound;
  if (view.method == kInversion) return DeepViewFault::kInversion;
  if (view.method != kEscapeTime && view.method != kDecomposition && view.method != kConvergence)
    return DeepViewFault::kMethod;
  return NumberProblem(view);
}

DeepPlan MakeDeepPlan(const DeepView& view) {
  DeepPlan plan;
  Parsed width(view.width, 128), re(view.centreRe, 64), im(view.centreIm, 64);
  // Enough bits for the centre to well below a pixel: the rounding of the
  // reference point and its orbit stays under the doubles' own.
  const long top = std::max({1L, re.Exponent(), im.Exponent()});
  plan.precision = std::max(64L, top - width.Exponent() + 96);
  mpfr_div_ui(*width, *width, static_cast<unsigned long>(view.columns), MPFR_RNDN);
  long e = 0;
  const double m = mpfr_get_d_2exp(&e, *width, MPFR_RNDN);
  plan.spacing = FloatExp::Of(m, e);
  // |re| + |im| of the farthest corner, and a little more.
  plan.dcAbove = FloatExp::Of(0.5 * view.columns + 0.5 * view.rows + 1) * plan.spacing;
  return plan;
}

}  // namespace tesvo
