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

// Open-addressing map from colour value to its box; grows with the number of distinct colours.
class ColourTable {
 public:
  ColourTable() { Rehash(1024); }

  ColourBox& Find(std::uint32_t value, int x, int y) {
    std::size_t i = Hash(value) & mMask;
    while (true) {
      const std::int32_t slot = mSlots[i];
      if (slot < 0) break;
      if (mBoxes[static_cast<std::size_t>(slot)].value == value) {
        return mBoxes[static_cast<std::size_t>(slot)];
      }
      i = (i + 1) & mMask;
    }
    mSlots[i] = static_cast<std::int32_t>(mBoxes.size());
    mBoxes.push_back(ColourBox{value, x, y, x, y, y});
    if (mBoxes.size() * 2 > mSlots.size()) Rehash(mSlots.size() * 2);
    return mBoxes.back();
  }

  std::vector<ColourBox>& Boxes() { return mBoxes; }

 private:
  static std::size_t Hash(std::uint32_t v) {
    return static_cast<std::size_t>((static_cast<std::uint64_t>(v) * 0x9E3779B97F4A7C15ull) >> 32);
  }
  void Rehash(std::size_t size) {
    mSlots.assign(size, -1);
    mMask = size - 1;
    for (std::size_t b = 0; b < mBoxes.size(); ++b) {
      std::size_t i = Hash(mBoxes[b].value) & mMask;
      while (mSlots[i] >= 0) i = (i + 1) & mMask;
      mSlots[i] = static_cast<std::int32_t>(b);
    }
  }

  std::vector<std::int32_t> mSlots;
  std::size_t mMask = 0;
  std::vector<ColourBox> mBoxes;
};

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
  ColourTable merged;
  for (ColourTable& t : tables) {
    for (const ColourBox& b : t.Boxes()) {
      ColourBox& m = merged.Find(b.value, b.xmin, b.yFirst);
      if (b.xmin < m.xmin || (b.xmin == m.xmin && b.yFirst < m.yFirst)) {
        m.xmin = b.xmin;
        m.yFirst = b.yFirst;
      }
      m.xmax = std::max(m.xmax, b.xmax);
      m.ymin = std::min(m.ymin, b.ymin);
      m.ymax = std::max(m.ymax, b.ymax);
    }
    t = ColourTable();
  }

  std::vector<ColourBox>& boxes = merged.Boxes();
  std::sort(boxes.begin(), boxes.end(), [](const ColourBox& a, const ColourBox& b) {
    return a.xmin != b.xmin ? a.xmin < b.xmin : a.yFirst < b.yFirst;
  });
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
