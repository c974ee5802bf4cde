// Two row-major passes: the first finds every colour's edge pixels, inside and neighbours; the
// second, only when there are in-between colours, counts the edge pixels of the material
// colours that touch one.
#include "core/analysis/edge_smoothing.h"

#include <algorithm>
#include <array>
#include <charconv>

#include "core/analysis/scan_support.h"

namespace qv {
namespace {

// The colours touched that are kept per colour: a blend sits between two of the first few it
// meets; a material's long list of neighbours is never needed.
constexpr int kKeptNeighbours = 8;

struct ColourFacts {
  std::uint32_t value = 0;
  bool used = false;
  bool inside = false;  // has a pixel that is not an edge pixel
  bool inBetween = false;
  int neighbourCount = 0;
  std::array<std::uint32_t, kKeptNeighbours> neighbours{};
  std::int64_t pixels = 0;
  std::int64_t edgePixels = 0;
  std::int64_t touching = 0;

  void Touch(std::uint32_t other) {
    if (neighbourCount == kKeptNeighbours) return;
    for (int i = 0; i < neighbourCount; ++i) {
      if (neighbours[static_cast<std::size_t>(i)] == other) return;
    }
    neighbours[static_cast<std::size_t>(neighbourCount++)] = other;
  }
};

// Open addressing on the colour value, at most half full.
class FactsTable {
 public:
  FactsTable() : mSlots(1024) {}

  // The facts of `value`, or nullptr once the picture has more than kMaxEdgeColours colours.
  ColourFacts* Find(std::uint32_t value) {
    std::size_t i = Hash(value) & (mSlots.size() - 1);
    while (mSlots[i].used) {
      if (mSlots[i].value == value) return &mSlots[i];
      i = (i + 1) & (mSlots.size() - 1);
    }
    if (mCount == kMaxEdgeColours) return nullptr;
    if ((mCount + 1) * 2 > mSlots.size()) {
      Grow();
      return Find(value);
    }
    ++mCount;
    mSlots[i].used = true;
    mSlots[i].value = value;
    return &mSlots[i];
  }
  // The facts of a value known to be in the table.
  const ColourFacts& At(std::uint32_t value) const {
    std::size_t i = Hash(value) & (mSlots.size() - 1);
    while (mSlots[i].value != value || !mSlots[i].used) i = (i + 1) & (mSlots.size() - 1);
    return mSlots[i];
  }
  std::vector<ColourFacts>& Slots() { return mSlots; }

 private:
  static std::size_t Hash(std::uint32_t v) {
    return static_cast<std::size_t>((std::uint64_t{v} * 0x9E3779B97F4A7C15ull) >> 29);
  }
  void Grow() {
    std::vector<ColourFacts> old(mSlots.size() * 2);
    old.swap(mSlots);
    for (const ColourFacts& f : old) {
      if (!f.used) continue;
      std::size_t i = Hash(f.value) & (mSlots.size() - 1);
      while (mSlots[i].used) i = (i + 1) & (mSlots.size() - 1);
      mSlots[i] = f;
    }
  }

  std::vector<ColourFacts> mSlots;
  std::size_t mCount = 0;
};

// True when every channel of `c` lies within the range of the same channel of `a` and `b`.
bool Between(std::uint32_t c, std::uint32_t a, std::uint32_t b) {
  for (int shift = 0; shift < 24; shift += 8) {
    const std::uint32_t x = (c >> shift) & 0xFF, p = (a >> shift) & 0xFF, q = (b >> shift) & 0xFF;
    if (x < std::min(p, q) || x > std::max(p, q)) return false;
  }
  return true;
}

bool BetweenTwoNeighbours(const ColourFacts& f) {
  for (int i = 0; i < f.neighbourCount; ++i) {
    for (int j = i + 1; j < f.neighbourCount; ++j) {
      if (Between(f.value, f.neighbours[static_cast<std::size_t>(i)],
                  f.neighbours[static_cast<std::size_t>(j)])) {
        return true;
      }
    }
  }
  return false;
}

// Visits the pixels of one row in runs of one colour: run(x0, x1, colour) for [x0, x1).
template <typename Run>
void ForEachRun(const std::uint32_t* row, int width, Run run) {
  for (int x = 0; x < width;) {
    const std::uint32_t c = row[x];
    const int end = RunEnd(row, x + 1, width, c);
    run(x, end, c);
    x = end;
  }
}

std::string Decimal(std::int64_t v) {
  char buffer[24];
  return std::string(buffer, std::to_chars(buffer, buffer + sizeof buffer, v).ptr);
}

}  // namespace

EdgeSmoothing FindEdgeSmoothing(const PixelGrid& grid) {
  const int width = grid.Width(), height = grid.Height();
  if (grid.Empty()) return {};
  FactsTable table;
  EdgeSmoothing result;

  // Pass 1: edge pixels, insides and neighbours of every colour.
  for (int y = 0; y < height; ++y) {
    const std::uint32_t* row = grid.Row(y);
    const std::uint32_t* up = y > 0 ? grid.Row(y - 1) : nullptr;
    const std::uint32_t* down = y + 1 < height ? grid.Row(y + 1) : nullptr;
    bool tooMany = false;
    ForEachRun(row, width, [&](int x0, int x1, std::uint32_t c) {
      ColourFacts* f = table.Find(c);
      if (f == nullptr) {
        tooMany = true;
        return;
      }
      f->pixels += x1 - x0;
      if (x0 > 0) f->Touch(row[x0 - 1]);
      if (x1 < width) f->Touch(row[x1]);
      const int leftEdge = x0 > 0 ? x0 : -1;  // the pixel that touches the run on the left
      const int rightEdge = x1 < width ? x1 - 1 : -1;
      for (int x = x0; x < x1;) {
        int e = x1;
        if (up != nullptr) e = RunEnd(up, x, e, c);
        if (down != nullptr) e = RunEnd(down, x, e, c);
        // [x, e) has colour c above and below: only the run's ends touch another colour there.
        const int sideEdges = (leftEdge >= x && leftEdge < e ? 1 : 0) +
                              (rightEdge >= x && rightEdge < e && rightEdge != leftEdge ? 1 : 0);
        if (e - x > sideEdges) f->inside = true;
        f->edgePixels += sideEdges;
        if (e == x1) break;
        ++f->edgePixels;  // pixel e touches another colour above or below
        if (up != nullptr && up[e] != c) f->Touch(up[e]);
        if (down != nullptr && down[e] != c) f->Touch(down[e]);
        x = e + 1;
      }
    });
    if (tooMany) return {};
  }

  bool anyInBetween = false, anyMaterial = false;
  for (ColourFacts& f : table.Slots()) {
    if (!f.used) continue;
    f.inBetween = !f.inside && BetweenTwoNeighbours(f);
    if (f.inBetween) {
      anyInBetween = true;
      ++result.inBetweenColours;
      result.inBetweenPixels += f.pixels;
    }
    anyMaterial = anyMaterial || f.inside;
  }
  if (!anyInBetween || !anyMaterial) return {};

  // Pass 2: the edge pixels of material colours that touch an in-between colour.
  std::uint32_t lastColour = grid.At(0, 0);
  bool lastInBetween = table.At(lastColour).inBetween;
  const auto inBetween = [&](std::uint32_t c) {
    if (c != lastColour) {
      lastColour = c;
      lastInBetween = table.At(c).inBetween;
    }
    return lastInBetween;
  };
  for (int y = 0; y < height; ++y) {
    const std::uint32_t* row = grid.Row(y);
    const std::uint32_t* up = y > 0 ? grid.Row(y - 1) : nullptr;
    const std::uint32_t* down = y + 1 < height ? grid.Row(y + 1) : nullptr;
    ForEachRun(row, width, [&](int x0, int x1, std::uint32_t c) {
      ColourFacts& f = *table.Find(c);
      if (!f.inside) return;
      const bool leftIn = x0 > 0 && inBetween(row[x0 - 1]);
      const bool rightIn = x1 < width && inBetween(row[x1]);
      const auto touches = [&](int x) {
        return (x == x0 && leftIn) || (x == x1 - 1 && rightIn) ||
               (up != nullptr && up[x] != c && inBetween(up[x])) ||
               (down != nullptr && down[x] != c && inBetween(down[x]));
      };
      for (int x = x0; x < x1;) {
        int e = x1;
        if (up != nullptr) e = RunEnd(up, x, e, c);
        if (down != nullptr) e = RunEnd(down, x, e, c);
        // [x, e) has colour c above and below: only the run's ends can touch a blend there.
        if (e > x) {
          if (x == x0 && leftIn) ++f.touching;
          if (e == x1 && rightIn && (x1 - 1 != x0 || !leftIn)) ++f.touching;
        }
        if (e == x1) break;
        if (touches(e)) ++f.touching;
        x = e + 1;
      }
    });
  }

  for (const ColourFacts& f : table.Slots()) {
    if (f.used && f.inside && f.touching * 100 > f.edgePixels) {
      result.smoothed.push_back({static_cast<ColourValue>(f.value), f.edgePixels, f.touching});
    }
  }
  if (result.smoothed.empty()) return {};
  std::sort(result.smoothed.begin(), result.smoothed.end(),
            [&](const SmoothedColour& a, const SmoothedColour& b) {
              const std::int64_t pa = table.At(static_cast<std::uint32_t>(a.value)).pixels;
              const std::int64_t pb = table.At(static_cast<std::uint32_t>(b.value)).pixels;
              return pa != pb ? pa > pb : a.value < b.value;
            });
  return result;
}

std::optional<std::string> EdgeSmoothingNote(const EdgeSmoothing& found) {
  if (found.smoothed.empty()) return std::nullopt;
  std::string names;
  const std::size_t named = std::min<std::size_t>(found.smoothed.size(), 3);
  for (std::size_t i = 0; i < named; ++i) {
    if (i > 0) names += i + 1 == found.smoothed.size() ? " and " : ", ";
    names += ColourToLabel(found.smoothed[i].value);
  }
  if (found.smoothed.size() > named) {
    names += " and " + Decimal(static_cast<std::int64_t>(found.smoothed.size() - named)) + " more";
  }
  const bool one = found.inBetweenColours == 1;
  return "the picture looks smoothed (anti-aliased): " + Decimal(found.inBetweenColours) +
         (one ? " colour" : " colours") + " with " + Decimal(found.inBetweenPixels) +
         (found.inBetweenPixels == 1 ? " pixel lies" : " pixels lie") +
         " only along the edges of " + names +
         " and belong to no material; save the drawing without smoothing (see \"Drawing a "
         "section\" in the manual)";
}

}  // namespace qv
