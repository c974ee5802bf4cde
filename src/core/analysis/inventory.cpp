// Colour inventory scan: row-major passes over the grid with runs of equal colours handled at
// once; the column-major discovery order is recovered from each colour's first occurrence.
#include "core/analysis/inventory.h"

#include <algorithm>
#include <limits>

#include "core/analysis/colour_label.h"
#include "core/dd_props.h"

namespace qv {
namespace {

struct ColourBox {
  std::uint32_t value;
  int xmin;    // also the column of the first occurrence in column-major order
  int yFirst;  // smallest row within column xmin
  int xmax;
  int ymin;
  int ymax;
};

// Map from colour value to its box. Small inventories use open addressing with the boxes in
// the slots (one cache miss per lookup, load factor at most one half). Past kDirectFrom
// distinct colours the 24-bit pixel colours move to a table indexed by the value itself: no
// probing and no rehashing, so pictures with millions of colours stay fast; its fixed size
// (2^24 boxes) is then a small multiple of the colours it holds. Values with a top byte, which
// pixels read from files never have, stay in the hash part.
class ColourTable {
 public:
  ColourTable() { Rehash(1024); }

  ColourBox& Find(std::uint32_t value, int x, int y) {
    if (!mDirect.empty() && value <= kPixelMask) {
      ColourBox& b = mDirect[value];
      if (b.xmin == kEmpty) {
        b = ColourBox{value, x, y, x, y, y};
        ++mCount;
      }
      return b;
    }
    std::size_t i = Hash(value) & mMask;
    while (true) {
      ColourBox& slot = mSlots[i];
      if (slot.xmin == kEmpty) break;
      if (slot.value == value) return slot;
      i = (i + 1) & mMask;
    }
    if (mDirect.empty() && mCount >= kDirectFrom) {
      GoDirect();
      return Find(value, x, y);
    }
    if ((mHashCount + 1) * 2 > mSlots.size()) {
      Rehash(mSlots.size() * 2);
      return Find(value, x, y);
    }
    ++mCount;
    ++mHashCount;
    mSlots[i] = ColourBox{value, x, y, x, y, y};
    return mSlots[i];
  }

  std::size_t Count() const { return mCount; }
  template <typename F>
  void ForEach(F f) const {
    for (const ColourBox& b : mDirect) {
      if (b.xmin != kEmpty) f(b);
    }
    for (const ColourBox& b : mSlots) {
      if (b.xmin != kEmpty) f(b);
    }
  }

 private:
  static constexpr int kEmpty = -1;
  static constexpr std::uint32_t kPixelMask = 0x00FFFFFFu;
  static constexpr std::size_t kDirectFrom = std::size_t{1} << 21;
  static constexpr ColourBox kEmptyBox{0, kEmpty, 0, 0, 0, 0};

  static std::size_t Hash(std::uint32_t v) {
    return static_cast<std::size_t>((static_cast<std::uint64_t>(v) * 0x9E3779B97F4A7C15ull) >> 29);
  }
  void Rehash(std::size_t size) {
    std::vector<ColourBox> old(size, kEmptyBox);
    old.swap(mSlots);
    mMask = size - 1;
    mHashCount = 0;
    for (const ColourBox& b : old) {
      if (b.xmin != kEmpty) Insert(b);
    }
  }
  void Insert(const ColourBox& b) {
    if (!mDirect.empty() && b.value <= kPixelMask) {
      mDirect[b.value] = b;
      return;
    }
    std::size_t i = Hash(b.value) & mMask;
    while (mSlots[i].xmin != kEmpty) i = (i + 1) & mMask;
    mSlots[i] = b;
    ++mHashCount;
  }
  void GoDirect() {
    mDirect.assign(std::size_t{kPixelMask} + 1, kEmptyBox);
    Rehash(mSlots.size());
  }

  std::vector<ColourBox> mSlots;
  std::vector<ColourBox> mDirect;
  std::size_t mMask = 0;
  std::size_t mCount = 0;      // all colours
  std::size_t mHashCount = 0;  // colours in mSlots
};

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
void ScanRows(const PixelGrid& grid, int firstRow, int endRow, ColourTable& table) {
  const int width = grid.Width();
  ColourBox* last = nullptr;
  for (int y = firstRow; y < endRow; ++y) {
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
  }
}

}  // namespace

std::vector<FoundColour> ScanColours(const PixelGrid& grid, bool ignoreDollarColours,
                                     const ProgressFn& progress, int threads) {
  if (grid.Empty()) return {};
  const int workers = BandWorkers(grid.Height(), threads);
  std::vector<ColourTable> tables(static_cast<std::size_t>(workers));
  ForEachBand(grid.Width(), grid.Height(), workers, progress, [&](int worker, int first, int end) {
    ScanRows(grid, first, end, tables[static_cast<std::size_t>(worker)]);
  });

  // Merge: boxes unite; the first occurrence is the smallest (column, row) pair.
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

  // Discovery order: by first column, then by first row (two stable linear passes).
  std::vector<ColourBox> boxes;
  boxes.reserve(merged.Count());
  merged.ForEach([&](const ColourBox& b) { boxes.push_back(b); });
  merged = ColourTable();
  CountingSort(boxes, grid.Height(), [](const ColourBox& b) { return b.yFirst; });
  CountingSort(boxes, grid.Width(), [](const ColourBox& b) { return b.xmin; });

  std::vector<FoundColour> found;
  found.reserve(boxes.size());
  for (const ColourBox& b : boxes) {
    std::string label = ColourToLabel(static_cast<ColourValue>(b.value));
    if (ignoreDollarColours && label[0] == '$') continue;
    found.push_back(FoundColour{b.value, std::move(label), b.xmin, b.xmax, b.ymin, b.ymax});
  }
  return found;
}

void FillFoundColourList(const std::vector<FoundColour>& colours, TPROPClass& foundColourList) {
  if (foundColourList.Count() > 0) foundColourList.Clear();
  for (const FoundColour& c : colours) {
    TPROPRec entry;
    TPROPClass::InitEntry(entry);
    entry.id = foundColourList.MaxId() + 1;
    entry.prop.colorlabel = c.label;
    entry.prop.xmin = c.xmin;
    entry.prop.xmax = c.xmax;
    entry.prop.ymin = c.ymin;
    entry.prop.ymax = c.ymax;
    foundColourList.Add(entry);
  }
}

}  // namespace qv
