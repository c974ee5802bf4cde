// The pixel scans' bands of rows on the thread pool, with progress counted in pixels.
#include "core/scan/scan_support.h"

#include <algorithm>

namespace qv {
namespace {
constexpr int kBandRows = 64;
}

int BandWorkers(int height, int threads) {
  if (threads <= 0) threads = ThreadPool::Cores();
  const int bands = (height + kBandRows - 1) / kBandRows;
  return std::max(1, std::min(threads, bands));
}

int ScanWorkers(const PixelRows& rows, int threads) {
  return rows.InOrder() ? 1 : BandWorkers(rows.Height(), threads);
}

void ForEachRowBlock(ThreadPool& pool, PixelRows& rows, const ProgressFn& progress,
                     const std::function<void(int worker, const RowBlock& block)>& use) {
  const int width = rows.Width(), height = rows.Height();
  if (!rows.InOrder()) {
    ForEachRowBand(pool, width, height, progress, [&](int worker, int first, int end) {
      rows.Visit(worker, first, end, [&](const RowBlock& block) { use(worker, block); });
    });
    return;
  }
  const std::int64_t total = static_cast<std::int64_t>(width) * height;
  int reported = 0;
  rows.Visit(0, 0, height, [&](const RowBlock& block) {
    use(0, block);
    if (progress && block.end / kBandRows > reported / kBandRows) {
      reported = block.end;
      progress(static_cast<std::int64_t>(block.end) * width, total);
    }
  });
  if (progress) progress(total, total);
}

void ForEachRowBand(ThreadPool& pool, int width, int height, const ProgressFn& progress,
                    const std::function<void(int, int, int)>& band) {
  const std::int64_t total = static_cast<std::int64_t>(width) * height;
  std::function<void(std::int64_t)> done;
  if (progress) done = [&](std::int64_t rows) { progress(rows * width, total); };
  pool.ForEachBand(
      height, kBandRows,
      [&](int worker, std::int64_t first, std::int64_t end) {
        band(worker, static_cast<int>(first), static_cast<int>(end));
      },
      done);
  if (progress) progress(total, total);
}

}  // namespace qv
