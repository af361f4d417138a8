#include "library/record_problem.h"

#include <cmath>
#include <cstdint>

#include "engine/scan.h"

namespace tesvo {

std::optional<RecordFault> RecordProblem(const ImageRecord& r) {
  // A preview is never saved: only the big picture's images are.
  if (r.kind != kMandelbrotKind && r.kind != kJuliaKind) return RecordFault::kKind;
  if (FormulaRow(r.formulaLetter) < 0) return RecordFault::kFormula;
  if (r.coloringMethod < kConvergence || r.coloringMethod > kInversion) return RecordFault::kMethod;
  if (!std::isfinite(r.iterationLimit) || r.iterationLimit <= 0) return RecordFault::kLimit;
  if (r.iterationLimit > kMaxIterationLimit) return RecordFault::kLimitAbove5000;
  if (!std::isfinite(r.escapeBound) || r.escapeBound <= 0) return RecordFault::kBound;
  if (r.gradation < 1) return RecordFault::kGradation;
  for (const RGB& c : r.controlColours)
    for (const std::int32_t component : {c.red, c.green, c.blue})
      if (component < 0 || component > 255) return RecordFault::kColours;
  // Every image the program makes lies in the big picture; a zoom can make
  // one no column or no row wide, which stores nothing.
  const ImageRecord& big = BuiltInPresets()[0][kMandelbrotPreset];
  if (r.pixelLeft < big.pixelLeft || r.pixelTop < big.pixelTop || r.pixelRight > big.pixelRight ||
      r.pixelBottom > big.pixelBottom || r.Width() < 0 || r.Height() < 0 || !CanGenerate(r))
    return RecordFault::kRectangle;
  return std::nullopt;
}

std::optional<RecordFault> DeepRecordProblem(const ImageRecord& record, const DeepPlace& place) {
  if (record.kind != kMandelbrotKind) return RecordFault::kKind;
  if (!DeepFormulaSupported(record.formulaLetter)) return RecordFault::kDeepFormula;
  const double limit = record.iterationLimit;
  if (!(limit >= 1 && limit <= static_cast<double>(kMaxDeepLimit)) || limit != std::floor(limit))
    return RecordFault::kDeepLimit;
  // The other checks as for any record, at a limit that they take.
  ImageRecord shallow = record;
  shallow.iterationLimit = 1;
  if (const std::optional<RecordFault> problem = RecordProblem(shallow)) return problem;
  if (record.Width() < 1 || record.Height() < 1 || DeepViewProblem(ViewOfImage(record, place)))
    return RecordFault::kDeepPlace;
  return std::nullopt;
}

std::optional<RecordFault> SavedRecordProblem(const SavedRecord& saved) {
  if (!saved.placeRead) return RecordFault::kDeepPlace;
  return saved.place.Empty() ? RecordProblem(saved.record) : DeepRecordProblem(saved.record, saved.place);
}

}  // namespace tesvo
