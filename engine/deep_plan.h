// What a deep view's numbers come to before any pixel is counted: the
// reference orbit's precision, the pixel spacing and each pixel's offset from
// the reference point (the view's centre). All depend on the view alone.
#pragma once

#include <optional>
#include <string>

#include "engine/deep_view.h"
#include "engine/float_exp.h"

namespace tesvo {

struct DeepPlan {
  long precision = 0;  // bits of the reference orbit
  FloatExp spacing;    // width / columns
  FloatExp dcAbove;    // above |offset| of every pixel
};

// The deepest width counted: 2^-kDeepestExponent.
inline constexpr long kDeepestExponent = 1L << 22;

DeepPlan MakeDeepPlan(const DeepView& view);

// Pixel (i, j)'s point less the centre.
inline Cx<FloatExp> PixelOffset(const DeepView& view, const DeepPlan& plan, int i, int j) {
  // Whole and half numbers: exact in doubles.
  const double x = (i + 0.5) - 0.5 * view.columns;
  const double y = 0.5 * view.rows - (j + 0.5);
  return {FloatExp::Of(x) * plan.spacing, FloatExp::Of(y) * plan.spacing};
}

}  // namespace tesvo
