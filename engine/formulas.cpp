#include "engine/formulas.h"

#include <cmath>

#include "engine/deterministic_math.h"
#include "engine/formula_step.h"

namespace tesvo {
namespace {

// The steps on plain doubles, with the deterministic sin, cos, exp and atan
// that the vector kernels' functions match bit for bit.
struct Scalar {
  using V = double;
  static double Splat(double x) { return x; }
  static bool Greater(double a, double b) { return a > b; }
  static double Sqrt(double x) { return std::sqrt(x); }
  static double Sin(double x) { return tesvo::Sin(x); }
  static double Cos(double x) { return tesvo::Cos(x); }
  static double Exp(double x) { return tesvo::Exp(x); }
  static double Atan(double x) { return tesvo::Atan(x); }
};

template <char kLetter>
Complex StepOf(double a, double b, double p, double q) {
  Step<Scalar, kLetter>(a, b, a * a - b * b, p, q);
  return {a, b};
}

constexpr FormulaStep kSteps[] = {StepOf<'a'>, StepOf<'b'>, StepOf<'c'>, StepOf<'d'>,
                                  StepOf<'e'>, StepOf<'f'>, StepOf<'g'>, StepOf<'h'>};

}  // namespace

int FormulaRow(char letter) { return letter >= 'a' && letter <= 'h' ? letter - 'a' : -1; }

FormulaStep SelectFormula(char letter) {
  const int row = FormulaRow(letter);
  return row < 0 ? nullptr : kSteps[row];
}

bool Escapes(Complex z, double bound) { return Escapes<Scalar>(z.re * z.re, z.im * z.im, bound); }

}  // namespace tesvo
