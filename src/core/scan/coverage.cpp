// The coverage reading: one scan gathers every colour's facts and moments; the blends are then
// recognised in colour space, colour by colour, never pixel by pixel.
#include "core/scan/coverage.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <limits>
#include <map>
#include <mutex>

#include "core/base/thread_pool.h"
#include "core/scan/edge_smoothing.h"

namespace qv {
namespace {

// Pairs are sought among this many anchors, corners of three among the first kCornerAnchors:
// the materials in use first, then the flat colours with the most pixels. A drawing has a
// handful of flat colours; a picture with hundreds is no drawing, and its blends would take
// long to sort out for nothing.
constexpr std::size_t kMaxAnchors = 48;
constexpr std::size_t kCornerAnchors = 12;
// A blend fits when every channel lies within this many levels of the exact mix.
constexpr double kLevelSlack = 1.0;
// Barycentric weights a little below 0 are rounding; far below, the colour lies outside.
constexpr double kNegativeWeight = 0.02;

using Rgb = std::array<double, 3>;

Rgb Channels(std::uint32_t value) {
  return {static_cast<double>(value & 0xFF), static_cast<double>((value >> 8) & 0xFF),
          static_cast<double>((value >> 16) & 0xFF)};
}

double Dot(const Rgb& a, const Rgb& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

Rgb Minus(const Rgb& a, const Rgb& b) { return {a[0] - b[0], a[1] - b[1], a[2] - b[2]}; }

struct Anchor {
  std::uint32_t value = 0;
  int material = -1;  // index of the material in use, -1 for the background
  std::int64_t pixels = 0;
  Rgb rgb{};
};

// `c` lies within the channel ranges of the anchors, widened by the slack.
bool InRange(const Rgb& c, std::initializer_list<const Anchor*> anchors) {
  for (std::size_t k = 0; k < 3; ++k) {
    double low = std::numeric_limits<double>::infinity();
    double high = -low;
    for (const Anchor* a : anchors) {
      low = std::min(low, a->rgb[k]);
      high = std::max(high, a->rgb[k]);
    }
    if (c[k] < low - kLevelSlack || c[k] > high + kLevelSlack) return false;
  }
  return true;
}

double LargestDeviation(const Rgb& c, const Rgb& p) {
  return std::max({std::abs(c[0] - p[0]), std::abs(c[1] - p[1]), std::abs(c[2] - p[2])});
}

// A blend: up to three anchors and their weights out of kCoverageUnit.
struct Blend {
  int count = 0;
  std::array<int, 3> anchor{};
  std::array<std::int64_t, 3> weight{};
};

std::optional<Blend> FitPair(const Rgb& c, const std::vector<Anchor>& anchors) {
  double bestLength = std::numeric_limits<double>::infinity();
  double bestDeviation = bestLength;
  std::optional<Blend> best;
  for (std::size_t i = 0; i < anchors.size(); ++i) {
    for (std::size_t j = i + 1; j < anchors.size(); ++j) {
      const Anchor& a = anchors[i];
      const Anchor& b = anchors[j];
      if (!InRange(c, {&a, &b})) continue;
      const Rgb d = Minus(a.rgb, b.rgb);
      const double length = Dot(d, d);
      const double t = std::clamp(Dot(Minus(c, b.rgb), d) / length, 0.0, 1.0);
      const Rgb p = {b.rgb[0] + t * d[0], b.rgb[1] + t * d[1], b.rgb[2] + t * d[2]};
      const double deviation = LargestDeviation(c, p);
      if (deviation > kLevelSlack) continue;
      if (length < bestLength || (length == bestLength && deviation < bestDeviation)) {
        bestLength = length;
        bestDeviation = deviation;
        const std::int64_t wa = std::llround(t * static_cast<double>(kCoverageUnit));
        best = Blend{2, {static_cast<int>(i), static_cast<int>(j), 0}, {wa, kCoverageUnit - wa, 0}};
      }
    }
  }
  return best;
}

std::optional<Blend> FitCorner(const Rgb& c, const std::vector<Anchor>& anchors) {
  const std::size_t n = std::min(anchors.size(), kCornerAnchors);
  double bestDeviation = std::numeric_limits<double>::infinity();
  std::optional<Blend> best;
  for (std::size_t i = 0; i < n; ++i) {
    for (std::size_t j = i + 1; j < n; ++j) {
      for (std::size_t k = j + 1; k < n; ++k) {
        const Anchor& a = anchors[i];
        const Anchor& b = anchors[j];
        const Anchor& o = anchors[k];
        if (!InRange(c, {&a, &b, &o})) continue;
        // c ~ o + alpha (a - o) + beta (b - o), least squares.
        const Rgb e1 = Minus(a.rgb, o.rgb);
        const Rgb e2 = Minus(b.rgb, o.rgb);
        const Rgb r = Minus(c, o.rgb);
        const double m11 = Dot(e1, e1);
        const double m12 = Dot(e1, e2);
        const double m22 = Dot(e2, e2);
        const double det = m11 * m22 - m12 * m12;
        if (!(det > 1e-6 * m11 * m22)) continue;  // three colours on one line: pairs decide
        double alpha = (Dot(e1, r) * m22 - Dot(e2, r) * m12) / det;
        double beta = (Dot(e2, r) * m11 - Dot(e1, r) * m12) / det;
        double gamma = 1 - alpha - beta;
        if (alpha < -kNegativeWeight || beta < -kNegativeWeight || gamma < -kNegativeWeight) {
          continue;
        }
        alpha = std::max(alpha, 0.0);
        beta = std::max(beta, 0.0);
        gamma = std::max(gamma, 0.0);
        const double sum = alpha + beta + gamma;
        alpha /= sum;
        beta /= sum;
        const Rgb p = {o.rgb[0] + alpha * e1[0] + beta * e2[0],
                       o.rgb[1] + alpha * e1[1] + beta * e2[1],
                       o.rgb[2] + alpha * e1[2] + beta * e2[2]};
        const double deviation = LargestDeviation(c, p);
        if (deviation > kLevelSlack || deviation >= bestDeviation) continue;
        bestDeviation = deviation;
        std::int64_t wa = std::llround(alpha * static_cast<double>(kCoverageUnit));
        std::int64_t wb = std::llround(beta * static_cast<double>(kCoverageUnit));
        std::int64_t wo = kCoverageUnit - wa - wb;
        if (wo < 0) {
          (wa >= wb ? wa : wb) += wo;
          wo = 0;
        }
        best =
            Blend{3, {static_cast<int>(i), static_cast<int>(j), static_cast<int>(k)}, {wa, wb, wo}};
      }
    }
  }
  return best;
}

// One worker's colours: an index by value into its list, with the colours met last in a small
// cache before it, since rows take turns between a few colours.
struct WorkerColours {
  static constexpr std::size_t kCache = 16;
  std::unordered_map<std::uint32_t, std::size_t> index;
  std::vector<PictureColour> colours;
  std::array<std::uint32_t, kCache> cachedValue{};
  std::array<std::size_t, kCache> cachedIndex{};
  std::array<bool, kCache> cached{};

  static std::size_t Slot(std::uint32_t value) {
    return ((value * 0x9E3779B1u) >> 28) & (kCache - 1);
  }
};

// True when a pixel of the run [x0, x1) of `colour` in `row` is not an edge pixel: its
// neighbours within the picture, left, right, above and below, all have its colour.
bool RunHasInside(const std::uint32_t* up, const std::uint32_t* down, int x0, int x1, int width,
                  std::uint32_t colour) {
  // The run's end pixels touch another colour beside them, unless at the picture's side.
  const int first = x0 > 0 ? x0 + 1 : x0;
  const int end = x1 < width ? x1 - 1 : x1;
  for (int x = first; x < end; ++x) {
    if ((up == nullptr || up[x] == colour) && (down == nullptr || down[x] == colour)) return true;
  }
  return false;
}

void Merge(PictureColour& to, const PictureColour& from) {
  to.inside = to.inside || from.inside;
  to.xmin = std::min(to.xmin, from.xmin);
  to.ymin = std::min(to.ymin, from.ymin);
  to.xmax = std::max(to.xmax, from.xmax);
  to.ymax = std::max(to.ymax, from.ymax);
  MaterialMoments& m = to.moments;
  m.count += from.moments.count;
  m.sumX += from.moments.sumX;
  m.sumY += from.moments.sumY;
  m.sumXX += from.moments.sumXX;
  m.sumYY += from.moments.sumYY;
  m.sumXY += from.moments.sumXY;
}

// Adds the runs of row y to `mine`; `up` and `down` are its neighbours (nullptr beyond the
// picture), looked at only with `checkInside`. False once the worker has met more colours than
// a drawing has.
bool AddRow(WorkerColours& mine, int y, const std::uint32_t* up, const std::uint32_t* row,
            const std::uint32_t* down, int width, bool checkInside) {
  PictureColour* colour = nullptr;
  for (int x = 0; x < width;) {
    const std::uint32_t value = row[x];
    const int runEnd = RunEnd(row, x + 1, width, value);
    if (colour == nullptr || colour->value != value) {
      const std::size_t slot = WorkerColours::Slot(value);
      if (!mine.cached[slot] || mine.cachedValue[slot] != value) {
        const auto [at, fresh] = mine.index.try_emplace(value, mine.colours.size());
        if (fresh) {
          if (mine.colours.size() == kMaxEdgeColours) return false;
          PictureColour c;
          c.value = value;
          c.moments.colour = value;
          c.xmin = x;
          c.xmax = runEnd - 1;
          c.ymin = c.ymax = y;
          mine.colours.push_back(c);
        }
        mine.cached[slot] = true;
        mine.cachedValue[slot] = value;
        mine.cachedIndex[slot] = at->second;
      }
      colour = &mine.colours[mine.cachedIndex[slot]];
    }
    AddRunMoments(colour->moments, y, x, runEnd - 1);
    colour->xmin = std::min(colour->xmin, x);
    colour->xmax = std::max(colour->xmax, runEnd - 1);
    colour->ymin = std::min(colour->ymin, y);
    colour->ymax = std::max(colour->ymax, y);
    if (checkInside && !colour->inside) {
      colour->inside = RunHasInside(up, down, x, runEnd, width, value);
    }
    x = runEnd;
  }
  return true;
}

// The workers' colours as one list by value: the same whichever worker met which rows.
std::optional<PictureColours> Merged(const std::vector<WorkerColours>& workers) {
  PictureColours result;
  std::unordered_map<std::uint32_t, std::size_t> index;
  for (const WorkerColours& worker : workers) {
    for (const PictureColour& c : worker.colours) {
      const auto [at, fresh] = index.try_emplace(c.value, result.colours.size());
      if (fresh) {
        if (result.colours.size() == kMaxEdgeColours) return std::nullopt;
        result.colours.push_back(c);
      } else {
        Merge(result.colours[at->second], c);
      }
    }
  }
  std::sort(result.colours.begin(), result.colours.end(),
            [](const PictureColour& a, const PictureColour& b) { return a.value < b.value; });
  return result;
}

}  // namespace

std::optional<PictureColours> ScanPictureColours(const PixelGrid& grid, const ProgressFn& progress,
                                                 int threads) {
  const int width = grid.Width();
  const int height = grid.Height();
  if (width == 0 || height == 0) {
    if (progress) progress(0, 0);
    return PictureColours{};
  }
  ThreadPool pool(BandWorkers(height, threads));
  std::vector<WorkerColours> workers(static_cast<std::size_t>(pool.Parts()));
  std::atomic<bool> tooMany{false};
  ForEachRowBand(pool, width, height, progress, [&](int worker, int first, int end) {
    WorkerColours& mine = workers[static_cast<std::size_t>(worker)];
    for (int y = first; y < end; ++y) {
      if (tooMany.load(std::memory_order_relaxed)) return;
      const std::uint32_t* up = y > 0 ? grid.Row(y - 1) : nullptr;
      const std::uint32_t* down = y + 1 < height ? grid.Row(y + 1) : nullptr;
      if (!AddRow(mine, y, up, grid.Row(y), down, width, true)) {
        tooMany = true;
        return;
      }
    }
  });
  if (tooMany) return std::nullopt;

  return Merged(workers);
}

namespace {

// A row kept beside a span's end: the end row itself, to be looked at with the row across, or
// its neighbour within the span.
struct EdgeRow {
  std::vector<std::uint32_t> pixels;
  bool pending = false;  // a span's end row whose neighbours are not all here yet
};

// The rows a worker was fed last, followed on by its next block.
struct Span {
  bool open = false;
  int first = 0;
  int next = 0;
  std::array<std::vector<std::uint32_t>, 2> carry;  // copies of rows carryRow[0], carryRow[1]
  std::array<int, 2> carryRow{-1, -1};
};

}  // namespace

struct PictureColoursScan::State {
  int width = 0;
  int height = 0;
  std::vector<WorkerColours> workers;
  std::vector<Span> spans;
  std::atomic<bool> tooMany{false};
  std::mutex mutex;  // guards edges and insideAtEdges
  std::map<int, EdgeRow> edges;
  std::vector<std::uint32_t> insideAtEdges;  // colours found inside on spans' end rows

  // Keeps row y beside a span's end, `pending` for the end row itself, and `helper`, its
  // neighbour within the span, when given (kept together, so that neither is let go of before
  // the other is here). Then looks at every end row that has both its neighbours now, and lets
  // go of the rows no end row needs any more.
  void KeepEdge(int y, const std::uint32_t* row, bool pending, int helperY = -1,
                const std::uint32_t* helper = nullptr) {
    const std::lock_guard<std::mutex> lock(mutex);
    EdgeRow& kept = edges[y];
    if (kept.pixels.empty()) kept.pixels.assign(row, row + width);
    kept.pending = kept.pending || pending;
    if (helper != nullptr) {
      EdgeRow& beside = edges[helperY];
      if (beside.pixels.empty()) beside.pixels.assign(helper, helper + width);
    }
    const auto at = [this](int r) -> const EdgeRow* {
      const auto it = edges.find(r);
      return it == edges.end() ? nullptr : &it->second;
    };
    for (auto& [r, edge] : edges) {
      if (!edge.pending) continue;
      const EdgeRow* up = r > 0 ? at(r - 1) : nullptr;
      const EdgeRow* down = r + 1 < height ? at(r + 1) : nullptr;
      if ((r > 0 && up == nullptr) || (r + 1 < height && down == nullptr)) continue;
      const std::uint32_t* upRow = up != nullptr ? up->pixels.data() : nullptr;
      const std::uint32_t* downRow = down != nullptr ? down->pixels.data() : nullptr;
      const std::uint32_t* pixels = edge.pixels.data();
      for (int x = 0; x < width;) {
        const int runEnd = RunEnd(pixels, x + 1, width, pixels[x]);
        const bool again = !insideAtEdges.empty() && insideAtEdges.back() == pixels[x];
        if (!again && RunHasInside(upRow, downRow, x, runEnd, width, pixels[x])) {
          insideAtEdges.push_back(pixels[x]);
        }
        x = runEnd;
      }
      edge.pending = false;
    }
    const auto pendingAt = [&at](int r) {
      const EdgeRow* edge = at(r);
      return edge != nullptr && edge->pending;
    };
    for (auto it = edges.begin(); it != edges.end();) {
      const int r = it->first;
      if (pendingAt(r - 1) || pendingAt(r) || pendingAt(r + 1)) {
        ++it;
      } else {
        it = edges.erase(it);
      }
    }
  }

  // The last row of the worker's span has all it will get from the span: counted, and kept
  // for the span below when there is one.
  void Close(int worker) {
    Span& span = spans[static_cast<std::size_t>(worker)];
    span.open = false;
    const int last = span.next - 1;
    if (last < span.first || tooMany.load(std::memory_order_relaxed)) return;
    const std::uint32_t* row = span.carry[1].data();
    const std::uint32_t* up = last > span.first ? span.carry[0].data() : nullptr;
    const bool upAcross = last == span.first && last > 0;
    const bool downAcross = span.next < height;
    if (!AddRow(workers[static_cast<std::size_t>(worker)], last, up, row, nullptr, width,
                !upAcross && !downAcross)) {
      tooMany = true;
      return;
    }
    if (!downAcross) return;
    KeepEdge(last, row, true, last - 1, up);
  }
};

PictureColoursScan::PictureColoursScan(int width, int height, int workers)
    : mState(std::make_unique<State>()) {
  mState->width = width;
  mState->height = height;
  const auto parts = static_cast<std::size_t>(std::max(workers, 1));
  mState->workers.resize(parts);
  mState->spans.resize(parts);
}

PictureColoursScan::~PictureColoursScan() = default;
PictureColoursScan::PictureColoursScan(PictureColoursScan&&) noexcept = default;
PictureColoursScan& PictureColoursScan::operator=(PictureColoursScan&&) noexcept = default;

void PictureColoursScan::Feed(int worker, const RowBlock& block) {
  State& s = *mState;
  if (block.first >= block.end || s.tooMany.load(std::memory_order_relaxed)) return;
  Span& span = s.spans[static_cast<std::size_t>(worker)];
  WorkerColours& mine = s.workers[static_cast<std::size_t>(worker)];
  if (span.open && block.first != span.next) s.Close(worker);
  if (!span.open) {
    span.open = true;
    span.first = span.next = block.first;
    span.carryRow = {-1, -1};
  }
  const auto rowAt = [&](int r) -> const std::uint32_t* {
    if (r >= block.first && r < block.end) return block.Row(r);
    if (r == span.carryRow[1]) return span.carry[1].data();
    if (r == span.carryRow[0]) return span.carry[0].data();
    return nullptr;
  };
  for (int y = block.first; y < block.end; ++y) {
    // A span's first row is looked at with the row above it, which another span holds.
    if (span.first > 0 && (y == span.first || y == span.first + 1)) {
      s.KeepEdge(y, block.Row(y), y == span.first);
    }
    // Row y - 1 has both its neighbours now.
    const int p = y - 1;
    if (p < span.first) continue;
    const bool upAcross = p == span.first && p > 0;
    const std::uint32_t* up = p > span.first ? rowAt(p - 1) : nullptr;
    if (!AddRow(mine, p, up, rowAt(p), block.Row(y), s.width, !upAcross)) {
      s.tooMany = true;
      return;
    }
  }
  const auto keep = [&](int slot, int r) {
    span.carry[static_cast<std::size_t>(slot)].assign(block.Row(r), block.Row(r) + s.width);
    span.carryRow[static_cast<std::size_t>(slot)] = r;
  };
  if (block.end - block.first >= 2) {
    keep(0, block.end - 2);
  } else {
    std::swap(span.carry[0], span.carry[1]);
    span.carryRow[0] = span.carryRow[1];
  }
  keep(1, block.end - 1);
  span.next = block.end;
}

std::optional<PictureColours> PictureColoursScan::Result() {
  State& s = *mState;
  for (std::size_t w = 0; w < s.spans.size(); ++w) {
    if (s.spans[w].open) s.Close(static_cast<int>(w));
  }
  if (s.tooMany) return std::nullopt;
  std::optional<PictureColours> result = Merged(s.workers);
  if (!result) return std::nullopt;
  for (const std::uint32_t value : s.insideAtEdges) {
    const auto at =
        std::lower_bound(result->colours.begin(), result->colours.end(), value,
                         [](const PictureColour& c, std::uint32_t v) { return c.value < v; });
    if (at != result->colours.end() && at->value == value) at->inside = true;
  }
  return result;
}

std::optional<PictureColours> ScanPictureColours(PixelRows& rows, const ProgressFn& progress,
                                                 int threads) {
  if (const PixelGrid* grid = rows.Grid()) return ScanPictureColours(*grid, progress, threads);
  if (rows.Width() == 0 || rows.Height() == 0) {
    if (progress) progress(0, 0);
    return PictureColours{};
  }
  ThreadPool pool(ScanWorkers(rows, threads));
  PictureColoursScan scan(rows.Width(), rows.Height(), pool.Parts());
  ForEachRowBlock(pool, rows, progress,
                  [&](int worker, const RowBlock& block) { scan.Feed(worker, block); });
  rows.ThrowIfFailed();
  return scan.Result();
}

CoverageTable::CoverageTable(const PictureColours& picture,
                             const std::vector<std::uint32_t>& materialColours) {
  const auto materialOf = [&](std::uint32_t value) {
    const auto at = std::find(materialColours.begin(), materialColours.end(), value);
    return at == materialColours.end() ? -1 : static_cast<int>(at - materialColours.begin());
  };
  const auto grow = [this](const PictureColour& c) {
    mBox.xmin = mBox.xmin < 0 ? c.xmin : std::min(mBox.xmin, c.xmin);
    mBox.ymin = mBox.ymin < 0 ? c.ymin : std::min(mBox.ymin, c.ymin);
    mBox.xmax = std::max(mBox.xmax, c.xmax);
    mBox.ymax = std::max(mBox.ymax, c.ymax);
  };

  std::vector<Anchor> anchors;
  for (const PictureColour& c : picture.colours) {
    const int material = materialOf(c.value);
    if (material >= 0) {
      Entry& entry = mShares[c.value];
      entry.count = 1;
      entry.shares[0] = {material, kCoverageUnit};
      grow(c);
    }
    if (c.inside || material >= 0) {
      anchors.push_back({c.value, material, c.moments.count, Channels(c.value)});
    }
  }
  if (mShares.empty()) return;
  // The materials in use first, in their order; then the background by pixels, most first.
  std::sort(anchors.begin(), anchors.end(), [](const Anchor& a, const Anchor& b) {
    const bool aMaterial = a.material >= 0;
    const bool bMaterial = b.material >= 0;
    if (aMaterial != bMaterial) return aMaterial;
    if (aMaterial) return a.material < b.material;
    if (a.pixels != b.pixels) return a.pixels > b.pixels;
    return a.value < b.value;
  });
  const auto materials = static_cast<std::size_t>(std::count_if(
      anchors.begin(), anchors.end(), [](const Anchor& a) { return a.material >= 0; }));
  anchors.resize(std::min(anchors.size(), std::max(kMaxAnchors, materials)));

  for (const PictureColour& c : picture.colours) {
    if (c.inside || materialOf(c.value) >= 0) continue;
    const Rgb rgb = Channels(c.value);
    std::optional<Blend> blend = FitPair(rgb, anchors);
    if (!blend) blend = FitCorner(rgb, anchors);
    if (!blend) continue;
    Entry entry;
    for (int k = 0; k < blend->count; ++k) {
      const int material = anchors[static_cast<std::size_t>(blend->anchor[k])].material;
      const std::int64_t weight = blend->weight[static_cast<std::size_t>(k)];
      if (material >= 0 && weight > 0) {
        entry.shares[static_cast<std::size_t>(entry.count++)] = {material, weight};
      }
    }
    if (entry.count == 0) continue;
    // Largest first: at most three, put in order by swaps.
    const auto before = [](const CoverageShare& a, const CoverageShare& b) {
      return a.weight != b.weight ? a.weight > b.weight : a.material < b.material;
    };
    for (int i = 1; i < entry.count; ++i) {
      for (auto k = static_cast<std::size_t>(i); k > 0; --k) {
        if (!before(entry.shares[k], entry.shares[k - 1])) break;
        std::swap(entry.shares[k], entry.shares[k - 1]);
      }
    }
    mShares[c.value] = entry;
    ++mBlendColours;
    mBlendPixels += c.moments.count;
    grow(c);
  }
}

CoverageTable::CoverageTable(
    const std::vector<std::pair<std::uint32_t, std::vector<CoverageShare>>>& blends,
    const std::vector<std::uint32_t>& materialColours, const CoverageBox& box)
    : mBox(box) {
  for (std::size_t m = 0; m < materialColours.size(); ++m) {
    Entry& entry = mShares[materialColours[m]];
    entry.count = 1;
    entry.shares[0] = {static_cast<int>(m), kCoverageUnit};
  }
  const auto before = [](const CoverageShare& a, const CoverageShare& b) {
    return a.weight != b.weight ? a.weight > b.weight : a.material < b.material;
  };
  for (const auto& [colour, given] : blends) {
    std::vector<CoverageShare> shares;
    for (const CoverageShare& s : given) {
      if (s.weight > 0) shares.push_back(s);
    }
    if (shares.empty()) continue;
    std::sort(shares.begin(), shares.end(), before);
    Entry entry;
    entry.count = static_cast<int>(std::min<std::size_t>(shares.size(), entry.shares.size()));
    std::copy_n(shares.begin(), entry.count, entry.shares.begin());
    mShares[colour] = entry;
    ++mBlendColours;
  }
}

std::span<const CoverageShare> CoverageTable::Shares(std::uint32_t colour) const {
  const auto at = mShares.find(colour);
  if (at == mShares.end()) return {};
  return {at->second.shares.data(), static_cast<std::size_t>(at->second.count)};
}

std::vector<std::uint32_t> ColoursOf(const std::vector<MaterialMoments>& materials) {
  std::vector<std::uint32_t> colours;
  colours.reserve(materials.size());
  for (const MaterialMoments& m : materials) colours.push_back(m.colour);
  return colours;
}

SectionMoments CoverageMoments(const PictureColours& picture, const CoverageTable& table,
                               std::vector<MaterialMoments> materials) {
  SectionMoments result;
  result.materials = std::move(materials);
  result.unit = kCoverageUnit;
  for (const PictureColour& c : picture.colours) {
    const std::span<const CoverageShare> shares = table.Shares(c.value);
    if (shares.empty()) continue;
    const MaterialMoments& from = c.moments;
    result.touchedPixels += from.count;
    for (const CoverageShare& share : shares) {
      MaterialMoments& to = result.materials[static_cast<std::size_t>(share.material)];
      const std::int64_t w = share.weight;
      to.touched += from.count;
      to.count += w * from.count;
      to.sumX += w * from.sumX;
      to.sumY += w * from.sumY;
      to.sumXX += w * from.sumXX;
      to.sumYY += w * from.sumYY;
      to.sumXY += w * from.sumXY;
    }
  }
  return result;
}

}  // namespace qv
