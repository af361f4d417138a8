// Counting a whole image for the window: every column of a record, handed
// out in order from the left while later columns are still being counted,
// and kept in the CountBuffer where the image has a place there.
#pragma once

#include <cstdint>
#include <functional>

#include "engine/buffers.h"
#include "engine/image_record.h"

namespace tesvo {

// Columns first .. first + count - 1, `rows` counts each, one column after
// the other.
using CountedColumns = std::function<void(int first, int count, int rows, const std::int16_t* counts)>;

// Counts a record that CanGenerate accepts, Mandelbrot images with the
// Mandelbrot scan and Julia images and previews with the Julia scan, and
// hands the columns to `done` on the calling thread. `stored`, unless null,
// receives column i at i * H: the scan's row H of a column lands on row 0 of
// the next, which overwrites it, so only the last column keeps its row H.
// A record with no columns or no rows counts nothing.
void CountImage(const ImageRecord& record, CountBuffer* stored, const CountedColumns& done);

}  // namespace tesvo
