#include "library/record_problem.h"

#include <cmath>
#include <cstdint>

#include "engine/scan.h"

namespace tesvo {

std::optional<std::string> RecordProblem(const ImageRecord& r) {
  // A preview is never saved: only the big picture's images are.
  if (r.kind != kMandelbrotKind && r.kind != kJuliaKind)
    return "el tipo de imagen no es ni Mandelbrot ni Julia";
  if (FormulaRow(r.formulaLetter) < 0) return "la fórmula no es ninguna de las del programa";
  if (r.coloringMethod < kConvergence || r.coloringMethod > kInversion)
    return "el modo de representación no existe";
  if (!std::isfinite(r.iterationLimit) || r.iterationLimit <= 0)
    return "la precisión no es un número positivo";
  if (r.iterationLimit > kMaxIterationLimit) return "la precisión pasa de 5000";
  if (!std::isfinite(r.escapeBound) || r.escapeBound <= 0)
    return "la cota de escape no es un número positivo";
  if (r.gradation < 1) return "el gradado es menor que 1";
  for (const RGB& c : r.controlColours)
    for (const std::int32_t component : {c.red, c.green, c.blue})
      if (component < 0 || component > 255) return "los colores no están entre 0 y 255";
  // Every image the program makes lies in the big picture; a zoom can make
  // one no column or no row wide, which stores nothing.
  const ImageRecord& big = BuiltInPresets()[0][kMandelbrotPreset];
  if (r.pixelLeft < big.pixelLeft || r.pixelTop < big.pixelTop || r.pixelRight > big.pixelRight ||
      r.pixelBottom > big.pixelBottom || r.Width() < 0 || r.Height() < 0 || !CanGenerate(r))
    return "el rectángulo de la imagen no cabe en la imagen grande";
  return std::nullopt;
}

}  // namespace tesvo
