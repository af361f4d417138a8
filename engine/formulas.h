// The eight iteration maps z -> f(z, c), selected by the formula letter.
#pragma once

namespace tesvo {

struct Complex {
  double re;
  double im;
};

// Arguments: Re z, Im z, Re c, Im c.
using FormulaStep = Complex (*)(double a, double b, double p, double q);

// nullptr for a letter outside 'a' to 'h'.
FormulaStep SelectFormula(char letter);

// Row of the letter in the preset table, or -1.
int FormulaRow(char letter);

// Whether an orbit at z has escaped the circle of squared radius bound.
bool Escapes(Complex z, double bound);

}  // namespace tesvo
