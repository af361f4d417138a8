#include "engine/generation.h"

#include <algorithm>

#include "engine/scan.h"

namespace tesvo {

void CountImage(const ImageRecord& record, CountBuffer* stored, const CountedColumns& done) {
  // No columns or no rows: stopping here keeps the other side's coordinates
  // from being laid out at all, however long it is.
  if (!CanGenerate(record) || record.pixelRight < record.pixelLeft || record.pixelBottom < record.pixelTop)
    return;
  const ScanPlan plan = MakeScanPlan(record, record.kind == kMandelbrotKind);
  const int columns = plan.Columns();
  const int rows = plan.Rows();
  if (columns == 0 || rows == 0) return;
  const std::int64_t h = record.Height();
  CountColumnsInOrder(plan, 0, columns, {}, [&](int first, int count, const std::int16_t* counts) {
    if (stored != nullptr)
      for (int i = 0; i < count; ++i)
        std::copy_n(counts + static_cast<std::ptrdiff_t>(i) * rows, rows,
                    stored->data() + static_cast<std::ptrdiff_t>(first + i) * h);
    done(first, count, rows, counts);
  });
}

}  // namespace tesvo
