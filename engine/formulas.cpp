#include "engine/formulas.h"

#include "engine/deterministic_math.h"
#include "engine/formula_step.h"

namespace tesvo {
namespace {

// The deterministic sin, cos, exp and atan, which the vector kernels'
// functions match bit for bit.
struct Deterministic {
  static double Sin(double x) { return tesvo::Sin(x); }
  static double Cos(double x) { return tesvo::Cos(x); }
  static double Exp(double x) { return tesvo::Exp(x); }
  static double Atan(double x) { return tesvo::Atan(x); }
};
using Steps = Scalar<Deterministic>;

template <char kLetter>
Complex StepOf(double a, double b, double p, double q) {
  Step<Steps, kLetter>(a, b, a * a - b * b, p, q);
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

bool Escapes(Complex z, double bound) { return Escapes<Steps>(z.re * z.re, z.im * z.im, bound); }

}  // namespace tesvo
