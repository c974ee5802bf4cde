// Building blocks of the pixel scans: progress reporting, run detection and band splitting.
#pragma once

#include <cstdint>
#include <functional>
#include <thread>
#include <vector>

namespace qv {

/// Called on the caller's thread a few dozen times per scan with the pixels done so far and the
/// pixels of the whole scan; the window steps its progress bar and pumps events in it.
using ProgressFn = std::function<void(std::int64_t done, std::int64_t total)>;

/// The first index i >= x in row[x .. width) whose value differs from `colour`, or `width`.
inline int RunEnd(const std::uint32_t* row, int x, int width, std::uint32_t colour);

/// Runs `band(firstRow, endRow)` over all rows [0, height) in bands of a few rows, on up to
/// `threads` threads (0 = one per core). The caller's thread takes part and is the only one
/// that calls `progress`, after each band it finishes, with the rows of all finished bands
/// times `width`. Bands are independent; callers merge their partial results afterwards in a
/// fixed order so the outcome does not depend on the split.
void ForEachBand(int width, int height, int threads, const ProgressFn& progress,
                 const std::function<void(int worker, int firstRow, int endRow)>& band);

/// Number of workers ForEachBand will use for `threads` on a picture of `height` rows.
int BandWorkers(int height, int threads);

/// Starts threads running run(1), run(2), ... run(count), fewer when the system gives no more
/// (no memory for a stack, too many threads): callers share their work out dynamically, so the
/// caller's own thread then does more of it and nothing fails. The threads are joined when the
/// vector goes.
std::vector<std::jthread> StartHelpers(int count, const std::function<void(int)>& run);

}  // namespace qv

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace qv {

inline int RunEnd(const std::uint32_t* row, int x, int width, std::uint32_t colour) {
#if defined(__SSE2__)
  const __m128i c = _mm_set1_epi32(static_cast<int>(colour));
  while (x + 8 <= width) {
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + x));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + x + 4));
    const int mask = _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi32(a, c), _mm_cmpeq_epi32(b, c)));
    if (mask != 0xFFFF) break;
    x += 8;
  }
#endif
  while (x < width && row[x] == colour) ++x;
  return x;
}

}  // namespace qv
