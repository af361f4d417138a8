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
std::optional<std::string> NumberProblem(const DeepView& view) {
  Parsed width(view.width, 64), re(view.centreRe, 64), im(view.centreIm, 64);
  if (!mpfr_number_p(*re) || !mpfr_number_p(*im) || re.Exponent() > kFarthestExponent ||
      im.Exponent() > kFarthestExponent)
    return std::string("El centro está demasiado lejos");
  if (!mpfr_regular_p(*width) || mpfr_sgn(*width) <= 0 || width.Exponent() > kFarthestExponent)
    return std::string("La anchura debe ser mayor que cero y menor que 1e19");
  if (width.Exponent() < -kDeepestExponent) return std::string("La anchura es demasiado pequeña");
  return std::nullopt;
}

}  // namespace

// Here, beside the numbers' own checks, which need the plan's parsing.
std::optional<std::string> DeepViewProblem(const DeepView& view) {
  if (!DeepFormulaSupported(view.formulaLetter))
    return std::string("La fórmula '") + view.formulaLetter + "' no se puede calcular a esta profundidad";
  if (!IsDecimalNumber(view.centreRe) || !IsDecimalNumber(view.centreIm))
    return std::string("El centro debe ser un par de números decimales");
  if (!IsDecimalNumber(view.width)) return std::string("La anchura debe ser un número decimal");
  if (view.columns < 1 || view.rows < 1) return std::string("El tamaño debe ser de al menos 1 x 1 píxeles");
  if (view.limit < 1) return std::string("El límite de iteraciones debe ser al menos 1");
  if (!(view.bound > 0)) return std::string("El límite de escape debe ser mayor que cero");
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
