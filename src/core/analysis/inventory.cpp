// Colour inventory scan: row-major passes over the grid with runs of equal colours handled at
// once; the column-major discovery order is recovered from each colour's first occurrence.
#include "core/analysis/inventory.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <limits>
#include <memory>
#include <thread>

#include "core/analysis/colour_label.h"
#include "core/dd_props.h"

namespace qv {
namespace {

constexpr int kEmpty = -1;  // xmin of a slot that holds no colour

struct ColourBox {
  std::uint32_t value;
  int xmin;    // also the column of the first occurrence in column-major order
  int yFirst;  // smallest row within column xmin
  int xmax;
  int ymin;
  int ymax;
};

// Open-addressing map from colour value to its box, boxes stored in the slots themselves so a
// lookup costs one cache miss; grows with the number of distinct colours (load factor at most
// one half).
class ColourTable {
 public:
  ColourTable() { Rehash(1024); }

  ColourBox& Find(std::uint32_t value, int x, int y) {
    std::size_t i = Hash(value) & mMask;
    while (true) {
      ColourBox& slot = mSlots[i];
      if (slot.xmin == kEmpty) break;
      if (slot.value == value) return slot;
      i = (i + 1) & mMask;
    }
    if ((mCount + 1) * 2 > mSlots.size()) {
      Rehash(mSlots.size() * 2);
      return Find(value, x, y);
    }
    ++mCount;
    mSlots[i] = ColourBox{value, x, y, x, y, y};
    return mSlots[i];
  }

  std::size_t Count() const { return mCount; }
  template <typename F>
  void ForEach(F f) const {
    for (const ColourBox& b : mSlots) {
      if (b.xmin != kEmpty) f(b);
    }
  }

 private:
  static constexpr ColourBox kEmptyBox{0, kEmpty, 0, 0, 0, 0};

  static std::size_t Hash(std::uint32_t v) {
    return static_cast<std::size_t>((static_cast<std::uint64_t>(v) * 0x9E3779B97F4A7C15ull) >> 29);
  }
  void Rehash(std::size_t size) {
    std::vector<ColourBox> old(size, kEmptyBox);
    old.swap(mSlots);
    mMask = size - 1;
    for (const ColourBox& b : old) {
      if (b.xmin == kEmpty) continue;
      std::size_t i = Hash(b.value) & mMask;
      while (mSlots[i].xmin != kEmpty) i = (i + 1) & mMask;
      mSlots[i] = b;
    }
  }

  std::vector<ColourBox> mSlots;
  std::size_t mMask = 0;
  std::size_t mCount = 0;
};

// Pictures with millions of colours (photographs, noise) defeat any hash table: every pixel is a
// cache miss. They are inventoried by partitioning the pixels on the colour's top byte first, so
// each partition's boxes fit a small table indexed by the low 16 bits that stays in cache.
// Costs 8 bytes per pixel while it runs; used up to kRadixMaxPixels.
constexpr std::size_t kManyColours = std::size_t{1} << 20;
constexpr std::size_t kRadixMaxPixels = std::size_t{1} << 27;

bool RadixBoxes(const PixelGrid& grid, const ProgressFn& progress, int threads,
                std::vector<ColourBox>& boxes) {
  const std::size_t n = grid.Size();
  const std::uint32_t* pixels = grid.Data();
  std::array<std::size_t, 257> start{};
  for (std::size_t i = 0; i < n; ++i) {
    const std::uint32_t v = pixels[i];
    if (v > 0x00FFFFFFu) return false;  // not a pixel read from a file: use the general path
    ++start[(v >> 16) + 1];
  }
  for (std::size_t b = 1; b < start.size(); ++b) start[b] += start[b - 1];

  // x and y below 2^20 (the reader's limit), the low 16 bits of the colour: 56 bits.
  std::unique_ptr<std::uint64_t[]> entries(new std::uint64_t[n]);
  std::array<std::size_t, 256> at{};
  std::copy(start.begin(), start.end() - 1, at.begin());
  const int width = grid.Width();
  const std::int64_t total = static_cast<std::int64_t>(n);
  for (int y = 0; y < grid.Height(); ++y) {
    const std::uint32_t* row = grid.Row(y);
    const std::uint64_t rowBits = static_cast<std::uint64_t>(y) << 36;
    for (int x = 0; x < width; ++x) {
      const std::uint32_t v = row[x];
      entries[at[v >> 16]++] = rowBits | (static_cast<std::uint64_t>(x) << 16) | (v & 0xFFFFu);
    }
    if (progress && (y & 63) == 63) progress(static_cast<std::int64_t>(y + 1) * width, total);
  }

  // Partitions are independent; each worker collects its own boxes, sorted later anyway.
  const int workers = std::max(
      1, std::min(threads <= 0 ? static_cast<int>(std::max(1u, std::thread::hardware_concurrency()))
                               : threads,
                  256));
  std::vector<std::vector<ColourBox>> parts(static_cast<std::size_t>(workers));
  std::atomic<int> next{0};
  auto work = [&](int worker) {
    std::vector<ColourBox> table(65536, ColourBox{0, kEmpty, 0, 0, 0, 0});
    std::vector<std::uint16_t> touched;
    std::vector<ColourBox>& out = parts[static_cast<std::size_t>(worker)];
    for (int b = next.fetch_add(1); b < 256; b = next.fetch_add(1)) {
      touched.clear();
      for (std::size_t i = start[static_cast<std::size_t>(b)];
           i < start[static_cast<std::size_t>(b) + 1]; ++i) {
        const std::uint64_t e = entries[i];
        const auto low = static_cast<std::uint16_t>(e & 0xFFFFu);
        const int x = static_cast<int>((e >> 16) & 0xFFFFFu);
        const int y = static_cast<int>(e >> 36);
        ColourBox& box = table[low];
        if (box.xmin == kEmpty) {
          box = ColourBox{(static_cast<std::uint32_t>(b) << 16) | low, x, y, x, y, y};
          touched.push_back(low);
        } else {
          // Entries keep the pixels' row-major order: rows ascend.
          if (x < box.xmin) {
            box.xmin = x;
            box.yFirst = y;
          }
          box.xmax = std::max(box.xmax, x);
          box.ymax = y;
        }
      }
      for (std::uint16_t low : touched) {
        out.push_back(table[low]);
        table[low].xmin = kEmpty;
      }
    }
  };
  {
    std::vector<std::jthread> helpers;
    for (int w = 1; w < workers; ++w) helpers.emplace_back(work, w);
    work(0);
  }
  entries.reset();
  for (auto& part : parts) {
    boxes.insert(boxes.end(), part.begin(), part.end());
    std::vector<ColourBox>().swap(part);
  }
  if (progress) progress(total, total);
  return true;
}

// Stable counting sort by a small non-negative key.
template <typename Key>
void CountingSort(std::vector<ColourBox>& boxes, int keys, Key key) {
  std::vector<std::size_t> start(static_cast<std::size_t>(keys) + 1, 0);
  for (const ColourBox& b : boxes) ++start[static_cast<std::size_t>(key(b)) + 1];
  for (std::size_t k = 1; k < start.size(); ++k) start[k] += start[k - 1];
  std::vector<ColourBox> sorted(boxes.size());
  for (const ColourBox& b : boxes) sorted[start[static_cast<std::size_t>(key(b))]++] = b;
  boxes.swap(sorted);
}

// Rows are visited top to bottom, so the first time a colour is met in a column is its
// smallest row there.
// With `giveUp` given, stops (and sets it) once the table holds millions of colours, so the
// caller can switch to the partitioned scan.
void ScanRows(const PixelGrid& grid, int firstRow, int endRow, ColourTable& table,
              std::atomic<bool>* giveUp) {
  const int width = grid.Width();
  ColourBox* last = nullptr;
  for (int y = firstRow; y < endRow; ++y) {
    if (giveUp != nullptr && giveUp->load(std::memory_order_relaxed)) return;
    const std::uint32_t* row = grid.Row(y);
    for (int x = 0; x < width;) {
      const std::uint32_t value = row[x];
      const int end = RunEnd(row, x + 1, width, value);
      // `last` is only read before the next Find, which may move the boxes.
      ColourBox& box = (last != nullptr && last->value == value) ? *last : table.Find(value, x, y);
      if (x < box.xmin) {
        box.xmin = x;
        box.yFirst = y;
      }
      box.xmax = std::max(box.xmax, end - 1);
      box.ymin = std::min(box.ymin, y);
      box.ymax = std::max(box.ymax, y);
      last = &box;
      x = end;
    }
    if (giveUp != nullptr && table.Count() > kManyColours && grid.Size() <= kRadixMaxPixels) {
      giveUp->store(true, std::memory_order_relaxed);
      return;
    }
  }
}

// Unites the workers' tables: boxes unite; the first occurrence is the smallest (column, row).
void MergeTables(std::vector<ColourTable>& tables, std::vector<ColourBox>& boxes) {
  ColourTable& merged = tables[0];
  for (std::size_t t = 1; t < tables.size(); ++t) {
    tables[t].ForEach([&](const ColourBox& b) {
      ColourBox& m = merged.Find(b.value, b.xmin, b.yFirst);
      if (b.xmin < m.xmin || (b.xmin == m.xmin && b.yFirst < m.yFirst)) {
        m.xmin = b.xmin;
        m.yFirst = b.yFirst;
      }
      m.xmax = std::max(m.xmax, b.xmax);
      m.ymin = std::min(m.ymin, b.ymin);
      m.ymax = std::max(m.ymax, b.ymax);
    });
    tables[t] = ColourTable();
  }
  boxes.reserve(merged.Count());
  merged.ForEach([&](const ColourBox& b) { boxes.push_back(b); });
  merged = ColourTable();
}

}  // namespace

std::vector<ColourBounds> ScanColourBounds(const PixelGrid& grid, bool ignoreDollarColours,
                                           const ProgressFn& progress, int threads) {
  if (grid.Empty()) return {};
  const int workers = BandWorkers(grid.Height(), threads);
  std::vector<ColourTable> tables(static_cast<std::size_t>(workers));
  std::atomic<bool> giveUp{false};
  // A scan that starts over reports no progress below what it already reported.
  std::int64_t reported = 0;
  ProgressFn onward;
  if (progress) {
    onward = [&](std::int64_t done, std::int64_t total) {
      reported = std::max(reported, done);
      progress(reported, total);
    };
  }
  ForEachBand(grid.Width(), grid.Height(), workers, onward, [&](int worker, int first, int end) {
    ScanRows(grid, first, end, tables[static_cast<std::size_t>(worker)], &giveUp);
  });
  std::vector<ColourBox> boxes;
  if (giveUp && RadixBoxes(grid, onward, threads, boxes)) {
    tables.clear();
  } else {
    if (giveUp) {  // values the partitioning cannot take: scan again without the limit
      tables.assign(static_cast<std::size_t>(workers), ColourTable());
      ForEachBand(grid.Width(), grid.Height(), workers, onward,
                  [&](int worker, int first, int end) {
                    ScanRows(grid, first, end, tables[static_cast<std::size_t>(worker)], nullptr);
                  });
    }
    MergeTables(tables, boxes);
  }

  // Discovery order: by first column, then by first row. Distinct colours have distinct first
  // pixels, so with millions of colours each box is placed at its first pixel's column-major
  // position and read back in order (4 bytes per pixel); otherwise two stable counting sorts.
  if (boxes.size() > kManyColours) {
    const std::size_t h = static_cast<std::size_t>(grid.Height());
    std::unique_ptr<std::uint32_t[]> at(new std::uint32_t[grid.Size()]);
    std::fill_n(at.get(), grid.Size(), std::uint32_t{0});
    for (std::size_t i = 0; i < boxes.size(); ++i) {
      at[static_cast<std::size_t>(boxes[i].xmin) * h + static_cast<std::size_t>(boxes[i].yFirst)] =
          static_cast<std::uint32_t>(i + 1);
    }
    std::vector<ColourBox> ordered;
    ordered.reserve(boxes.size());
    for (std::size_t p = 0; p < grid.Size(); ++p) {
      if (at[p] != 0) ordered.push_back(boxes[at[p] - 1]);
    }
    boxes.swap(ordered);
  } else {
    CountingSort(boxes, grid.Height(), [](const ColourBox& b) { return b.yFirst; });
    CountingSort(boxes, grid.Width(), [](const ColourBox& b) { return b.xmin; });
  }

  std::vector<ColourBounds> found;
  found.reserve(boxes.size());
  for (const ColourBox& b : boxes) {
    if (ignoreDollarColours && !HasColourName(static_cast<ColourValue>(b.value))) continue;
    found.push_back(ColourBounds{b.value, b.xmin, b.xmax, b.ymin, b.ymax});
  }
  return found;
}

std::vector<FoundColour> ScanColours(const PixelGrid& grid, bool ignoreDollarColours,
                                     const ProgressFn& progress, int threads) {
  const std::vector<ColourBounds> bounds =
      ScanColourBounds(grid, ignoreDollarColours, progress, threads);
  std::vector<FoundColour> found;
  found.reserve(bounds.size());
  for (const ColourBounds& b : bounds) {
    found.push_back(FoundColour{b.value, ColourToLabel(static_cast<ColourValue>(b.value)), b.xmin,
                                b.xmax, b.ymin, b.ymax});
  }
  return found;
}

}  // namespace qv
