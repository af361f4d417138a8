#include "engine/formulas.h"

#include <cmath>

#include "engine/deterministic_math.h"

// Every expression keeps the order of operations it was designed with: a saved
// image is reproduced bit for bit only if each rounding happens as it always did.
namespace tesvo {
namespace {

Complex ExpTimesC(double a, double b, double p, double q) {
  const double e = Exp(a);
  const double cosB = Cos(b);
  const double sinB = Sin(b);
  return {p * (e * cosB) - q * (e * sinB), p * (e * sinB) + q * (e * cosB)};
}

Complex CosPlusC(double a, double b, double p, double q) {
  const double e = Exp(b);
  return {p + Cos(a) * (e + 1 / e) * 0.5, q + Sin(a) * (1 / e - e) * 0.5};
}

Complex Square(double a, double b, double p, double q) {
  const double g = a * a - b * b;
  const double h = 2 * a * b;
  return {g + p, h + q};
}

Complex CubeWithSineIm(double a, double b, double p, double q) {
  const double g = a * a - b * b;
  const double h = 2 * a * b;
  const double x = g * a - h * b;
  const double y = g * b + h * a;
  return {x + p, 2 * Sin(y) + q};
}

Complex Fourth(double a, double b, double p, double q) {
  const double g = a * a - b * b;
  const double h = 2 * a * b;
  return {g * g - h * h + p, 2 * g * h + q};
}

Complex FourthPlusCube(double a, double b, double p, double q) {
  const double g = a * a - b * b;
  const double h = 2 * a * b;
  const double x = g * a - h * b;
  const double y = g * b + h * a;
  const double fourthRe = x * a - y * b;
  const double fourthIm = x * b + y * a;
  return {(p + fourthRe) + x, (q + fourthIm) + y};
}

// A square root of z^3 built from the one-argument arctangent: for Re z^3 < 0
// it is a root of -z^3, which is what gives this formula its pictures.
Complex ThreeHalves(double a, double b, double p, double q) {
  const double g = a * a - b * b;
  const double h = 2 * a * b;
  const double x = g * a - h * b;
  const double y = g * b + h * a;
  const double r = std::sqrt(std::sqrt(x * x + y * y));
  const double theta = Atan(y / x);
  return {r * Cos(theta / 2) + p, r * Sin(theta / 2) + q};
}

Complex Nano(double a, double b, double p, double q) {
  const double g = a * a - b * b;
  const double h = 2 * a * b;
  const double x = g * a - h * b;
  const double y = g * b + h * a;
  return {2 * Sin(x) + p, y + q};
}

constexpr FormulaStep kSteps[] = {ExpTimesC, CosPlusC,       Square,      CubeWithSineIm,
                                  Fourth,    FourthPlusCube, ThreeHalves, Nano};

}  // namespace

int FormulaRow(char letter) { return letter >= 'a' && letter <= 'h' ? letter - 'a' : -1; }

FormulaStep SelectFormula(char letter) {
  const int row = FormulaRow(letter);
  return row < 0 ? nullptr : kSteps[row];
}

}  // namespace tesvo
