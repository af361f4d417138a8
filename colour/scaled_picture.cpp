#include "colour/scaled_picture.h"

#include <algorithm>
#include <exception>
#include <utility>
#include <vector>

#include "colour/palette.h"

namespace tesvo {
namespace {

// No side of the finer grid beyond this many samples: far above the largest
// picture of the big picture's images (531 x 32 x 4 = 67968), and small
// enough that a band of rows stays a few megabytes.
constexpr std::int64_t kMaxSamples = 1 << 17;
// Samples counted per band: enough that every core has many blocks of
// pixels to share, few enough that the band's counts stay in the cache and
// progress is reported several times a second.
constexpr std::int64_t kBandSamples = 1 << 18;

// Rows of output from one band's counts, which hold `fineRows` samples per
// column, column after column.
void DeliverBand(const std::int16_t* counts, int fineRows, int rows, int width, int antialias,
                 const Palette& palette, std::vector<std::uint8_t>& rgb,
                 const std::function<void(const std::uint8_t*)>& row) {
  const auto colour = [&](std::int16_t count) { return ColourOf(palette, count); };
  const std::uint32_t samples = static_cast<std::uint32_t>(antialias * antialias);
  for (int y = 0; y < rows; ++y) {
    std::uint8_t* out = rgb.data();
    for (int x = 0; x < width; ++x, out += 3) {
      const std::int16_t* block =
          counts + static_cast<std::ptrdiff_t>(x) * antialias * fineRows + std::ptrdiff_t{y} * antialias;
      if (antialias == 1) {
        PutRgb(colour(*block), out);
        continue;
      }
      ColourSum sum;
      for (int i = 0; i < antialias; ++i, block += fineRows)
        for (int j = 0; j < antialias; ++j) sum.Add(colour(block[j]));
      sum.PutMean(samples, out);
    }
    row(rgb.data());
  }
}

}  // namespace

std::int64_t PictureWidth(const ImageRecord& record, PictureSize size) { return record.Width() * size.scale; }

std::int64_t PictureHeight(const ImageRecord& record, PictureSize size) {
  return record.Height() * size.scale;
}

bool CanRenderPicture(const ImageRecord& record, PictureSize size) {
  if (size.scale < 1 || size.scale > kMaxPictureScale || size.antialias < 1 || size.antialias > kMaxAntialias)
    return false;
  if (!CanGenerate(record) || record.Width() <= 0 || record.Height() <= 0) return false;
  const std::int64_t fine = std::int64_t{size.scale} * size.antialias;
  return record.Width() * fine <= kMaxSamples && record.Height() * fine <= kMaxSamples;
}

bool RenderPicture(const ImageRecord& record, const Palette& palette, PictureSize size,
                   const RenderSettings& settings, const std::function<void(const std::uint8_t* rgb)>& row) {
  if (!CanRenderPicture(record, size)) return false;
  const int antialias = size.antialias;
  const int width = static_cast<int>(PictureWidth(record, size));
  const int height = static_cast<int>(PictureHeight(record, size));

  // The same record on the finer grid: its plan lays out the columns and
  // rows exactly as the scan of such a rectangle accumulates them.
  ImageRecord grid = record;
  grid.pixelRight = record.pixelLeft + width * antialias;
  grid.pixelBottom = record.pixelTop + height * antialias;
  ScanPlan plan = MakeScanPlan(grid, record.kind == kMandelbrotKind);
  const std::vector<double> ys = std::move(plan.ys);
  const int columns = width * antialias;  // the last column, W·K·A, lies beyond the picture

  const int bandRows = static_cast<int>(
      std::clamp<std::int64_t>(kBandSamples / (std::int64_t{columns} * antialias), 1, height));
  const std::size_t bandCounts = static_cast<std::size_t>(columns) * bandRows * antialias;
  std::vector<std::int16_t> counting(bandCounts);
  std::vector<std::int16_t> delivering(bandCounts);
  std::vector<std::uint8_t> rgb(3 * static_cast<std::size_t>(width));

  // Each band is counted on all cores while the calling thread first turns
  // the band before into rows; an exception cannot leave the counting's
  // threads, so it waits until they are done.
  int pending = 0;  // rows of the band in `delivering`
  std::exception_ptr failure;
  const auto deliver = [&] {
    try {
      DeliverBand(delivering.data(), pending * antialias, pending, width, antialias, palette, rgb, row);
    } catch (...) {
      failure = std::current_exception();
    }
  };
  for (int first = 0; first < height; first += bandRows) {
    const int rows = std::min(bandRows, height - first);
    plan.ys.assign(ys.begin() + std::ptrdiff_t{first} * antialias,
                   ys.begin() + std::ptrdiff_t{first + rows} * antialias);
    // The columns come back on the calling thread, which takes the band
    // before into rows at the first of them while the other threads count on.
    bool delivered = false;
    const std::size_t perColumn = static_cast<std::size_t>(plan.Rows());
    CountColumnsInOrder(plan, 0, columns, settings.scan,
                        [&](int from, int count, const std::int16_t* counts) {
                          std::copy(counts, counts + count * perColumn,
                                    counting.begin() + static_cast<std::ptrdiff_t>(from * perColumn));
                          if (!std::exchange(delivered, true)) deliver();
                        });
    if (!delivered) deliver();
    if (failure) std::rethrow_exception(failure);
    std::swap(counting, delivering);
    pending = rows;
    if (settings.progress && !settings.progress(static_cast<double>(first + rows) / height)) return false;
  }
  deliver();
  if (failure) std::rethrow_exception(failure);
  return true;
}

}  // namespace tesvo
