// The scan as a plain loop: one thread, one pixel at a time, x and y
// accumulated, every orbit iterated to its end, the formula's step inlined and
// the C library's sin, cos, exp and atan. The benchmark measures the fast scan
// against it.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/image_record.h"

namespace tesvo::bench {

struct LiteralResult {
  std::vector<std::int16_t> counts;  // column by column, H + 1 per column
  std::int64_t steps = 0;            // formula steps over all pixels
};

LiteralResult LiteralScan(const ImageRecord& record);

}  // namespace tesvo::bench
