// What a scan counts: an image record's column and row coordinates,
// accumulated once per image in scan order, and the values every pixel's
// count depends on; and the sink that the counted columns go to.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "engine/formulas.h"
#include "engine/image_record.h"

namespace tesvo {

struct ScanPlan {
  char formulaLetter = 0;
  bool mandelbrot = true;  // z starts near 0 and c is the point; otherwise z is the point
  std::int32_t method = kEscapeTime;
  double limit = 0;
  double bound = 0;
  double cRe = 0;
  double cIm = 0;
  double convergenceFactor = 100;
  std::vector<double> xs;  // W + 1 columns, left to right
  std::vector<double> ys;  // H + 1 rows, top to bottom

  int Columns() const { return static_cast<int>(xs.size()); }
  int Rows() const { return static_cast<int>(ys.size()); }
};

// False when the record cannot be generated without reading or writing out of
// bounds: an unknown kind or formula letter, an iteration limit outside 0 to
// 5000, a rectangle whose scan would not fit the CountBuffer.
bool CanGenerate(const ImageRecord& record);

// The plan of a record that CanGenerate accepts, for the Mandelbrot scan or
// the Julia scan. A rectangle with W < 0 gives no columns, one with H < 0 no rows.
ScanPlan MakeScanPlan(const ImageRecord& record, bool mandelbrot);

// The pixel's point after the inversion of the "inversión" mode.
Complex InvertPoint(double x, double y);

// Receives the counts of columns first .. first + count - 1, column by
// column, Rows() entries each.
using ColumnSink = std::function<void(int first, int count, const std::int16_t* counts)>;

}  // namespace tesvo
