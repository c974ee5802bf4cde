// Band splitting of the pixel scans over the machine's cores.
#include "core/scan/scan_support.h"

#include <algorithm>
#include <atomic>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

namespace qv {
namespace {
constexpr int kBandRows = 64;
}

int BandWorkers(int height, int threads) {
  if (threads <= 0) threads = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
  const int bands = (height + kBandRows - 1) / kBandRows;
  return std::max(1, std::min(threads, bands));
}

std::vector<std::jthread> StartHelpers(int count, const std::function<void(int)>& run) {
  std::vector<std::jthread> helpers;
  try {
    helpers.reserve(static_cast<std::size_t>(std::max(count, 0)));
    for (int i = 1; i <= count; ++i) helpers.emplace_back(run, i);
  } catch (const std::system_error&) {
  } catch (const std::bad_alloc&) {
  }
  return helpers;
}

void ForEachBand(int width, int height, int threads, const ProgressFn& progress,
                 const std::function<void(int, int, int)>& band) {
  const int workers = BandWorkers(height, threads);
  const int bands = (height + kBandRows - 1) / kBandRows;
  const std::int64_t total = static_cast<std::int64_t>(width) * height;
  std::atomic<int> next{0};
  std::atomic<std::int64_t> rowsDone{0};

  auto work = [&](int worker, bool reports) {
    for (int b = next.fetch_add(1); b < bands; b = next.fetch_add(1)) {
      const int first = b * kBandRows;
      const int end = std::min(height, first + kBandRows);
      band(worker, first, end);
      const std::int64_t done = rowsDone.fetch_add(end - first) + (end - first);
      if (reports && progress) progress(done * width, total);
    }
  };

  std::vector<std::jthread> helpers = StartHelpers(workers - 1, [&](int w) { work(w, false); });
  work(0, true);
  helpers.clear();  // joins
  if (progress) progress(total, total);
}

}  // namespace qv
