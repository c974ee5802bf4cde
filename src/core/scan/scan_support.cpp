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
