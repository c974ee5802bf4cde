// Two row-major passes: the first finds every colour's edge pixels, inside and neighbours; the
// second, only when there are in-between colours, counts the edge pixels of the material
// colours that touch one.
#include "core/scan/edge_smoothing.h"

#include <algorithm>
#include <array>
#include <charconv>

#include "core/base/number_text.h"
#include "core/scan/scan_support.h"

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
  // The facts of `value`, nullptr for a colour the first pass did not meet: a file read twice
  // may have changed in between.
  ColourFacts* Existing(std::uint32_t value) {
    std::size_t i = Hash(value) & (mSlots.size() - 1);
    while (mSlots[i].used) {
      if (mSlots[i].value == value) return &mSlots[i];
      i = (i + 1) & (mSlots.size() - 1);
    }
    return nullptr;
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

// Hands every row of a picture, top to bottom, to visit(y, up, row, down), with its neighbours
// above and below (nullptr outside the picture). Rows come a block at a time; the last two rows
// of a block are kept, so that the first rows of the next block see theirs.
class RowsWithNeighbours {
 public:
  explicit RowsWithNeighbours(int width, int height)
      : mWidth(width),
        mHeight(height),
        mKept{std::vector<std::uint32_t>(static_cast<std::size_t>(width)),
              std::vector<std::uint32_t>(static_cast<std::size_t>(width))} {}

  // `block` starts where the last one ended. Its rows stay valid only during the call, so every
  // row is visited here except the block's last, which waits for the row below it.
  template <typename Visit>
  void Feed(const RowBlock& block, Visit visit) {
    mBlock = &block;
    for (int y = block.first; y < block.end; ++y) {
      if (y > 0) visit(y - 1, y >= 2 ? RowAt(y - 2) : nullptr, RowAt(y - 1), RowAt(y));
    }
    // Keep rows end-2 and end-1 for the next block, the older first; one of them may already be
    // a kept row when the block has a single row.
    if (block.end - block.first >= 2) {
      Keep(0, block.Row(block.end - 2));
    } else if (block.end >= 2) {
      std::swap(mKept[0], mKept[1]);
    }
    Keep(1, block.Row(block.end - 1));
    mKeptEnd = block.end;
    mBlock = nullptr;
  }

  // After the last block: visits the bottom row.
  template <typename Visit>
  void Finish(Visit visit) {
    if (mKeptEnd != mHeight || mHeight == 0) return;
    const int y = mHeight - 1;
    visit(y, y >= 1 ? mKept[0].data() : nullptr, mKept[1].data(), nullptr);
  }

 private:
  const std::uint32_t* RowAt(int y) const {
    if (y >= mBlock->first) return mBlock->Row(y);
    return y == mKeptEnd - 1 ? mKept[1].data() : mKept[0].data();
  }
  void Keep(int slot, const std::uint32_t* row) {
    std::copy(row, row + mWidth, mKept[static_cast<std::size_t>(slot)].begin());
  }

  int mWidth;
  int mHeight;
  std::array<std::vector<std::uint32_t>, 2> mKept;
  int mKeptEnd = 0;  // the rows kept are mKeptEnd - 2 and mKeptEnd - 1
  const RowBlock* mBlock = nullptr;
};

// Runs visit(y, up, row, down) over every row of `rows` in order, on this thread; stops early
// (between blocks) once `stop()` is true.
template <typename Visit, typename Stop>
void ForEachRowWithNeighbours(PixelRows& rows, Visit visit, Stop stop) {
  constexpr int kRowsPerVisit = 64;
  RowsWithNeighbours walker(rows.Width(), rows.Height());
  if (rows.InOrder()) {
    // One visit: a decoder that only goes forwards does best without stopping; once `stop()`
    // the rest is passed over.
    rows.Visit(0, 0, rows.Height(), [&](const RowBlock& block) {
      if (!stop()) walker.Feed(block, visit);
    });
    rows.ThrowIfFailed();
    if (!stop()) walker.Finish(visit);
    return;
  }
  for (int first = 0; first < rows.Height() && !stop(); first += kRowsPerVisit) {
    rows.Visit(0, first, std::min(rows.Height(), first + kRowsPerVisit),
               [&](const RowBlock& block) { walker.Feed(block, visit); });
  }
  rows.ThrowIfFailed();
  if (!stop()) walker.Finish(visit);
}

}  // namespace

// The first pass over rows handed in order: edge pixels, insides and neighbours of every colour.
struct EdgeSmoothingScan::State {
  State(int w, int h) : width(w), walker(w, h) {}

  void Visit(const std::uint32_t* up, const std::uint32_t* row, const std::uint32_t* down) {
    if (tooMany) return;
    ForEachRun(row, width, [&](int x0, int x1, std::uint32_t c) {
      ColourFacts* f = tooMany ? nullptr : table.Find(c);
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
        // [x, e) has colour c above and below: only the run's ends touch another colour.
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
  }
  auto Visitor() {
    return [this](int, const std::uint32_t* up, const std::uint32_t* row,
                  const std::uint32_t* down) { Visit(up, row, down); };
  }

  int width;
  FactsTable table;
  RowsWithNeighbours walker;
  bool tooMany = false;
};

EdgeSmoothingScan::EdgeSmoothingScan(int width, int height) {
  if (width > 0 && height > 0) mState = std::make_unique<State>(width, height);
}
EdgeSmoothingScan::~EdgeSmoothingScan() = default;
EdgeSmoothingScan::EdgeSmoothingScan(EdgeSmoothingScan&&) noexcept = default;
EdgeSmoothingScan& EdgeSmoothingScan::operator=(EdgeSmoothingScan&&) noexcept = default;

bool EdgeSmoothingScan::Done() const { return !mState || mState->tooMany; }

void EdgeSmoothingScan::Feed(const RowBlock& block) {
  if (!Done()) mState->walker.Feed(block, mState->Visitor());
}

EdgeSmoothing FindEdgeSmoothing(PixelRows& rows) {
  EdgeSmoothingScan scan(rows.Width(), rows.Height());
  // Pass 1 block by block, in order.
  if (rows.InOrder()) {
    // One visit: a decoder that only goes forwards does best without stopping.
    rows.Visit(0, 0, rows.Height(), [&](const RowBlock& block) { scan.Feed(block); });
  } else {
    constexpr int kRowsPerVisit = 64;
    for (int first = 0; first < rows.Height() && !scan.Done(); first += kRowsPerVisit) {
      rows.Visit(0, first, std::min(rows.Height(), first + kRowsPerVisit),
                 [&](const RowBlock& block) { scan.Feed(block); });
    }
  }
  rows.ThrowIfFailed();
  return scan.Result(rows);
}

EdgeSmoothing EdgeSmoothingScan::Result(PixelRows& rows) {
  if (Done()) return {};
  mState->walker.Finish(mState->Visitor());
  if (mState->tooMany) return {};
  const int width = mState->width;
  FactsTable& table = mState->table;
  EdgeSmoothing result;

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
  std::uint32_t lastColour = 0;
  bool lastInBetween = false;
  bool haveLast = false;
  const auto inBetween = [&](std::uint32_t c) {
    if (!haveLast || c != lastColour) {
      haveLast = true;
      lastColour = c;
      const ColourFacts* const facts = table.Existing(c);
      lastInBetween = facts != nullptr && facts->inBetween;
    }
    return lastInBetween;
  };
  ForEachRowWithNeighbours(
      rows,
      [&](int, const std::uint32_t* up, const std::uint32_t* row, const std::uint32_t* down) {
        ForEachRun(row, width, [&](int x0, int x1, std::uint32_t c) {
          ColourFacts* const facts = table.Existing(c);
          if (facts == nullptr || !facts->inside) return;
          ColourFacts& f = *facts;
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
      },
      [] { return false; });

  for (const ColourFacts& f : table.Slots()) {
    if (f.used && f.inside && f.touching * 100 > f.edgePixels) {
      result.smoothed.push_back({static_cast<ColourValue>(f.value), f.edgePixels, f.touching});
    }
  }
  if (result.smoothed.empty()) return {};
  std::sort(result.smoothed.begin(), result.smoothed.end(),
            [&](const SmoothedColour& a, const SmoothedColour& b) {
              const std::int64_t pa = table.Existing(static_cast<std::uint32_t>(a.value))->pixels;
              const std::int64_t pb = table.Existing(static_cast<std::uint32_t>(b.value))->pixels;
              return pa != pb ? pa > pb : a.value < b.value;
            });
  return result;
}

EdgeSmoothing FindEdgeSmoothing(const PixelGrid& grid) {
  GridRows rows(grid);
  return FindEdgeSmoothing(rows);
}

std::optional<std::string> EdgeSmoothingNote(const EdgeSmoothing& found) {
  return EdgeSmoothingNote(found, EdgeSmoothingHint::SaveWithoutSmoothing);
}

std::optional<std::string> EdgeSmoothingNote(const EdgeSmoothing& found, EdgeSmoothingHint hint) {
  if (found.smoothed.empty()) return std::nullopt;
  std::string names;
  const std::size_t named = std::min<std::size_t>(found.smoothed.size(), 3);
  for (std::size_t i = 0; i < named; ++i) {
    if (i > 0) names += i + 1 == found.smoothed.size() ? " and " : ", ";
    names += ColourToLabel(found.smoothed[i].value);
  }
  if (found.smoothed.size() > named) {
    names +=
        " and " + IntegerText(static_cast<std::int64_t>(found.smoothed.size() - named)) + " more";
  }
  if (hint == EdgeSmoothingHint::CoverageSetting) {
    // One line of the window's status bar, the setting at its end in full.
    const bool onePixel = found.inBetweenPixels == 1;
    return "Smoothed edges: " + IntegerText(found.inBetweenPixels) +
           (onePixel ? " blended pixel belongs" : " blended pixels belong") +
           " to no material; tick \"read smoothed edges as coverage\" in Info > About ... "
           "settings";
  }
  const bool one = found.inBetweenColours == 1;
  return "the picture looks smoothed (anti-aliased): " + IntegerText(found.inBetweenColours) +
         (one ? " colour" : " colours") + " with " + IntegerText(found.inBetweenPixels) +
         (found.inBetweenPixels == 1 ? " pixel lies" : " pixels lie") +
         " only along the edges of " + names +
         " and belong to no material; save the drawing without smoothing (see \"Drawing a "
         "section\" in the manual)";
}

}  // namespace qv
