// Building blocks of the pixel scans: progress reporting, run detection and bands of rows.
#pragma once

#include <cstdint>
#include <functional>

#include "core/base/thread_pool.h"
#include "core/picture/pixel_rows.h"

namespace qv {

/// Called on the caller's thread a few dozen times per scan with the pixels done so far and the
/// pixels of the whole scan; the window steps its progress bar and pumps events in it.
using ProgressFn = std::function<void(std::int64_t done, std::int64_t total)>;

/// The first index i >= x in row[x .. width) whose value differs from `colour`, or `width`.
inline int RunEnd(const std::uint32_t* row, int x, int width, std::uint32_t colour);

/// Number of parts a scan of `height` rows uses for `threads` (0 = one per core): no more than
/// it has bands, so that no thread is started for nothing.
int BandWorkers(int height, int threads);

/// Runs band(worker, firstRow, endRow) over all rows [0, height) in bands of a few rows on the
/// parts of `pool` (ThreadPool::ForEachBand; `worker` is the part). The caller's thread is the
/// only one that calls `progress`: after each band it finishes, with the rows of all finished
/// bands times `width`, and once more with the whole at the end. Bands are independent; callers
/// keep a partial result per worker and merge them afterwards in a fixed order so the outcome
/// does not depend on the split.
void ForEachRowBand(ThreadPool& pool, int width, int height, const ProgressFn& progress,
                    const std::function<void(int worker, int firstRow, int endRow)>& band);

/// Parts for a scan of `rows` with `threads` (BandWorkers): one for rows that come in order only
/// (PixelRows::InOrder), whose decoding takes a part of its own while they are visited.
int ScanWorkers(const PixelRows& rows, int threads);

/// Runs use(worker, block) over every row of `rows` once: in bands on the parts of `pool`
/// (ForEachRowBand, `worker` being the part), or, for rows that come in order only, in one visit
/// on the caller's thread as worker 0, with progress after every band's worth of rows and once
/// more at the end. `progress` is called on the caller's thread only, either way.
void ForEachRowBlock(ThreadPool& pool, PixelRows& rows, const ProgressFn& progress,
                     const std::function<void(int worker, const RowBlock& block)>& use);

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
