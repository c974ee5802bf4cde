// Colour inventory scan: row-major passes over the grid with runs of equal colours handled at
// once; the column-major discovery order is recovered from each colour's first occurrence.
#include "core/scan/inventory.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <limits>
#include <memory>
#include <optional>

#include "core/base/colour_label.h"
#include "core/base/number_text.h"
#include "core/library/dd_props.h"

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
  std::uint32_t pixels;  // a picture holds at most 2^30
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
    mSlots[i] = ColourBox{value, x, y, x, y, y, 0};
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
  static constexpr ColourBox kEmptyBox{0, kEmpty, 0, 0, 0, 0, 0};

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

// Leaves the boxes of the colours with top byte b in parts[b] (at most 65536 each). Reports the
// first three quarters of the inventory's progress: the scatter half, the partitions a quarter.
using Partitions = std::vector<std::vector<ColourBox>>;

bool RadixBoxes(const PixelGrid& grid, const ProgressFn& progress, ThreadPool& pool,
                Partitions& parts) {
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
  // Ordinary pages, unfilled: huge pages would save faults but may stall the first touch for
  // a compaction of the machine's memory, with no progress meanwhile.
  const std::unique_ptr<std::uint64_t[]> entries(new std::uint64_t[n]);
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
    if (progress && (y & 63) == 63) progress(static_cast<std::int64_t>(y + 1) * width / 2, total);
  }

  // Partitions are independent; each worker fills the partitions it takes, with a table of its
  // own that stays in its cache.
  parts.assign(256, {});
  std::vector<std::vector<ColourBox>> tables(static_cast<std::size_t>(pool.Parts()));
  std::vector<std::vector<std::uint16_t>> touchedOf(tables.size());
  // Only the caller's thread reports.
  std::function<void(std::int64_t)> done;
  if (progress) {
    done = [&](std::int64_t partitionsDone) {
      progress(total / 2 + total / 4 * partitionsDone / 256, total);
    };
  }
  pool.ForEachBand(
      256, 1,
      [&](int worker, std::int64_t b, std::int64_t) {
        std::vector<ColourBox>& table = tables[static_cast<std::size_t>(worker)];
        if (table.empty()) table.assign(65536, ColourBox{0, kEmpty, 0, 0, 0, 0, 0});
        std::vector<std::uint16_t>& touched = touchedOf[static_cast<std::size_t>(worker)];
        touched.clear();
        for (std::size_t i = start[static_cast<std::size_t>(b)];
             i < start[static_cast<std::size_t>(b) + 1]; ++i) {
          const std::uint64_t e = entries[i];
          const auto low = static_cast<std::uint16_t>(e & 0xFFFFu);
          const int x = static_cast<int>((e >> 16) & 0xFFFFFu);
          const int y = static_cast<int>(e >> 36);
          ColourBox& box = table[low];
          if (box.xmin == kEmpty) {
            box = ColourBox{(static_cast<std::uint32_t>(b) << 16) | low, x, y, x, y, y, 1};
            touched.push_back(low);
          } else {
            ++box.pixels;
            // Entries keep the pixels' row-major order: rows ascend.
            if (x < box.xmin) {
              box.xmin = x;
              box.yFirst = y;
            }
            box.xmax = std::max(box.xmax, x);
            box.ymax = y;
          }
        }
        std::vector<ColourBox>& out = parts[static_cast<std::size_t>(b)];
        out.reserve(touched.size());
        for (std::uint16_t low : touched) {
          out.push_back(table[low]);
          table[low].xmin = kEmpty;
        }
      },
      done);
  if (progress) progress(total / 4 * 3, total);
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

// Calls `emit` with each box in the column-major order of the boxes' first pixels.
// `placeAll(place)` calls place(box, code) once for every box, codes below 2^32 - 1, and
// `locate(code)` gives that box back. Costs 4 bytes per pixel while it runs. Reports the last
// quarter of the inventory's progress.
template <typename PlaceAll, typename Locate, typename Emit>
void InFirstPixelOrder(const PixelGrid& grid, const PlaceAll& placeAll, const Locate& locate,
                       const Emit& emit, const ProgressFn& progress) {
  const auto total = static_cast<std::int64_t>(grid.Size());
  const std::size_t h = static_cast<std::size_t>(grid.Height());
  // code + 1 at a first pixel, 0 elsewhere.
  std::vector<std::uint32_t> at(grid.Size(), 0);
  placeAll([&](const ColourBox& b, std::uint32_t code) {
    at[static_cast<std::size_t>(b.xmin) * h + static_cast<std::size_t>(b.yFirst)] = code + 1;
  });
  if (progress) progress(total / 16 * 13, total);
  // The boxes are read in no order the caches can foresee: each is fetched a few boxes ahead.
  constexpr std::size_t kAhead = 16;
  std::array<const ColourBox*, kAhead> ahead{};
  std::size_t queued = 0;
  constexpr std::size_t kReportEvery = std::size_t{1} << 22;
  for (std::size_t p = 0; p < grid.Size(); ++p) {
    if (progress && (p + 1) % kReportEvery == 0) {
      progress(total / 16 * 13 + total / 16 * 3 * static_cast<std::int64_t>(p) / total, total);
    }
    const std::uint32_t c = at[p];
    if (c == 0) continue;
    const ColourBox* box = locate(c - 1);
    __builtin_prefetch(box);
    const ColourBox*& slot = ahead[queued % kAhead];
    if (queued >= kAhead) emit(*slot);
    slot = box;
    ++queued;
  }
  for (std::size_t i = queued > kAhead ? queued - kAhead : 0; i < queued; ++i) {
    emit(*ahead[i % kAhead]);
  }
}

// Rows are visited top to bottom, so the first time a colour is met in a column is its
// smallest row there.
// With `giveUp` given, stops (and sets it) once the table holds millions of colours, so the
// caller can switch to the partitioned scan.
void ScanRows(const RowBlock& rows, ColourTable& table, std::atomic<bool>* giveUp) {
  const int width = rows.width;
  ColourBox* last = nullptr;
  for (int y = rows.first; y < rows.end; ++y) {
    if (giveUp != nullptr && giveUp->load(std::memory_order_relaxed)) return;
    const std::uint32_t* row = rows.Row(y);
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
      box.pixels += static_cast<std::uint32_t>(end - x);
      last = &box;
      x = end;
    }
    if (giveUp != nullptr && table.Count() > kManyColours) {
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
      m.pixels += b.pixels;
    });
    tables[t] = ColourTable();
  }
  boxes.reserve(merged.Count());
  merged.ForEach([&](const ColourBox& b) { boxes.push_back(b); });
  merged = ColourTable();
}

}  // namespace

std::optional<std::vector<ColourBounds>> ScanColourBounds(PixelRows& rows, bool ignoreDollarColours,
                                                          const ProgressFn& progress, int threads,
                                                          const RowTap& tap,
                                                          LeftOutColours* unnamedLeftOut) {
  LeftOutColours leftOut;
  if (unnamedLeftOut != nullptr) *unnamedLeftOut = {};
  const int width = rows.Width(), height = rows.Height();
  const auto pixels = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
  if (pixels == 0) return std::vector<ColourBounds>{};
  const PixelGrid* const grid = rows.Grid();
  ThreadPool pool(ScanWorkers(rows, threads));
  const auto workers = static_cast<std::size_t>(pool.Parts());
  std::vector<ColourTable> tables(workers);
  std::atomic<bool> giveUp{false};
  // Millions of colours need the whole picture for their discovery order; the partitioned scan
  // that takes them over needs memory for all pixels, so beyond its limit the table goes on.
  std::atomic<bool>* const limit = grid == nullptr || pixels <= kRadixMaxPixels ? &giveUp : nullptr;
  // A scan that starts over reports no progress below what it already reported.
  std::int64_t reported = 0;
  ProgressFn onward;
  if (progress) {
    onward = [&](std::int64_t done, std::int64_t total) {
      reported = std::max(reported, done);
      progress(reported, total);
    };
  }
  // Once the scan gives up, the partitioned scan reports from where it stood.
  ProgressFn firstScan;
  if (progress) {
    firstScan = [&](std::int64_t done, std::int64_t total) {
      if (!giveUp) onward(done, total);
    };
  }
  // Rows read from a file are shown to the tap while they are at hand; a grid stays in memory,
  // so its tap runs once the inventory is done, over rows it then sees exactly once.
  const bool tapAlong = tap && grid == nullptr;
  ForEachRowBlock(pool, rows, firstScan, [&](int worker, const RowBlock& block) {
    ScanRows(block, tables[static_cast<std::size_t>(worker)], limit);
    if (tapAlong) tap(worker, block);
  });
  rows.ThrowIfFailed();
  if (giveUp && grid == nullptr) return std::nullopt;

  std::vector<ColourBounds> found;
  const auto emit = [&](const ColourBox& b) {
    if (ignoreDollarColours && !HasColourName(static_cast<ColourValue>(b.value))) {
      ++leftOut.colours;
      leftOut.pixels += b.pixels;
      return;
    }
    found.push_back(ColourBounds{b.value, b.xmin, b.xmax, b.ymin, b.ymax, b.pixels});
  };
  const auto counted = [&] {
    if (unnamedLeftOut != nullptr) *unnamedLeftOut = leftOut;
  };
  const auto tapAfter = [&] {
    if (!tap || tapAlong) return;
    ForEachRowBlock(pool, rows, {}, [&](int worker, const RowBlock& block) { tap(worker, block); });
  };
  Partitions parts;
  if (giveUp && RadixBoxes(*grid, onward, pool, parts)) {
    tables.clear();
    // Discovery order: by first column, then by first row. Distinct colours have distinct first
    // pixels, so each box is placed at its first pixel's column-major position (as its
    // partition and index there) and read back in order.
    std::size_t count = 0;
    for (const auto& part : parts) count += part.size();
    found.reserve(count);
    InFirstPixelOrder(
        *grid,
        [&](const auto& place) {
          for (std::size_t b = 0; b < parts.size(); ++b) {
            for (std::size_t i = 0; i < parts[b].size(); ++i) {
              place(parts[b][i], static_cast<std::uint32_t>((b << 16) | i));
            }
          }
        },
        [&](std::uint32_t code) { return &parts[code >> 16][code & 0xFFFFu]; }, emit, onward);
    if (onward) onward(static_cast<std::int64_t>(pixels), static_cast<std::int64_t>(pixels));
    tapAfter();
    counted();
    return found;
  }
  std::vector<ColourBox> boxes;
  {
    if (giveUp) {  // values the partitioning cannot take: scan again without the limit
      tables.assign(workers, ColourTable());
      ForEachRowBlock(pool, rows, onward, [&](int worker, const RowBlock& block) {
        ScanRows(block, tables[static_cast<std::size_t>(worker)], nullptr);
      });
    }
    MergeTables(tables, boxes);
  }

  // Discovery order as above: with millions of colours by first-pixel position, otherwise by
  // two stable counting sorts.
  if (boxes.size() > kManyColours) {
    if (grid == nullptr) return std::nullopt;
    found.reserve(boxes.size());
    InFirstPixelOrder(
        *grid,
        [&](const auto& place) {
          for (std::size_t i = 0; i < boxes.size(); ++i) {
            place(boxes[i], static_cast<std::uint32_t>(i));
          }
        },
        [&](std::uint32_t code) { return &boxes[code]; }, emit, ProgressFn{});
  } else {
    found.reserve(boxes.size());
    CountingSort(boxes, height, [](const ColourBox& b) { return b.yFirst; });
    CountingSort(boxes, width, [](const ColourBox& b) { return b.xmin; });
    for (const ColourBox& b : boxes) emit(b);
  }
  tapAfter();
  counted();
  return found;
}

std::vector<ColourBounds> ScanColourBounds(const PixelGrid& grid, bool ignoreDollarColours,
                                           const ProgressFn& progress, int threads,
                                           LeftOutColours* unnamedLeftOut) {
  GridRows rows(grid);
  return *ScanColourBounds(rows, ignoreDollarColours, progress, threads, {}, unnamedLeftOut);
}

namespace {

std::string ListingHint(UnnamedColoursHint hint) {
  switch (hint) {
    case UnnamedColoursHint::SettingsDialog:
      return "switch off \"ignore color names starting with $\" under Info > About ... "
             "settings to list them.";
    case UnnamedColoursHint::AllArgument:
      return "all=True lists them.";
    case UnnamedColoursHint::AllOption:
      break;
  }
  return "--all lists them.";
}

std::string Counted(std::uint64_t count, std::string_view one, std::string_view many) {
  return IntegerText(static_cast<std::int64_t>(count)) + " " + std::string(count == 1 ? one : many);
}

}  // namespace

std::optional<std::string> UnnamedColoursNote(std::size_t listed, const LeftOutColours& leftOut,
                                              UnnamedColoursHint hint) {
  if (listed > 0 || leftOut.colours == 0) return std::nullopt;
  const std::string count = leftOut.colours == 1
                                ? "The one colour of the picture is"
                                : "All " + IntegerText(static_cast<std::int64_t>(leftOut.colours)) +
                                      " colours of the picture are";
  return count + " unnamed (\"$\" labels) and left out of the list; " + ListingHint(hint);
}

std::optional<std::string> LeftOutColoursNote(std::size_t listed, const LeftOutColours& leftOut,
                                              UnnamedColoursHint hint) {
  if (listed == 0 || leftOut.colours == 0) return std::nullopt;
  return Counted(leftOut.pixels, "pixel", "pixels") + " in " +
         Counted(leftOut.colours, "unnamed colour", "unnamed colours") + " (\"$\" labels) " +
         (leftOut.pixels == 1 ? "is" : "are") + " left out of the list; " + ListingHint(hint);
}

std::string UnnamedColoursText(const std::vector<ColourBounds>& colours, std::size_t most) {
  std::vector<const ColourBounds*> unnamed;
  for (const ColourBounds& c : colours) {
    if (!HasColourName(static_cast<ColourValue>(c.value))) unnamed.push_back(&c);
  }
  // Of equal counts the one found first comes first.
  std::stable_sort(
      unnamed.begin(), unnamed.end(),
      [](const ColourBounds* a, const ColourBounds* b) { return a->pixels > b->pixels; });
  std::string text;
  for (std::size_t i = 0; i < unnamed.size() && i < most; ++i) {
    text += (i == 0 ? "" : ", ") + ColourToLabel(static_cast<ColourValue>(unnamed[i]->value)) +
            " (" + Counted(unnamed[i]->pixels, "pixel", "pixels") + ")";
  }
  if (unnamed.size() > most) {
    text += ", and " + IntegerText(static_cast<std::int64_t>(unnamed.size() - most)) + " more";
  }
  return text;
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
