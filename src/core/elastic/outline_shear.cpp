// The free edges traced as loops of cell faces, and the outline fitted to their staircases.
#include "core/elastic/outline_shear.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <utility>

namespace qv {
namespace {

// Directions of travel along a face, on the picture (y downwards): east, south, west, north. The
// solid lies to the right of the travel, so a loop runs clockwise round the section (as drawn)
// and anticlockwise round a hole; the right of direction d is d + 1.
constexpr int kStepX[4] = {1, 0, -1, 0};
constexpr int kStepY[4] = {0, 1, 0, -1};

// A window's reach along the loop: at least this many faces each way, at most kMaxReach.
constexpr int kMinReach = 2;
constexpr int kMaxReach = 64;

struct Face {
  std::int32_t cell;
  int direction;
};

class Cells {
 public:
  explicit Cells(const CellGrid& g) : mGrid(g) {}
  std::int32_t At(int x, int y) const {
    if (x < 0 || y < 0 || x >= mGrid.columns || y >= mGrid.rows) return -1;
    return (*mGrid.map)[static_cast<std::size_t>(y) * static_cast<std::size_t>(mGrid.columns) +
                        static_cast<std::size_t>(x)];
  }
  /// The neighbour of `cell` of the same material: each material's region has its own outline,
  /// at a joint to another material as at a free edge.
  std::int32_t Beside(std::int32_t cell, int direction) const {
    const auto i = static_cast<std::size_t>(cell);
    const std::int32_t next =
        At((*mGrid.cellX)[i] + kStepX[direction], (*mGrid.cellY)[i] + kStepY[direction]);
    return next >= 0 && Material(next) == Material(cell) ? next : -1;
  }
  /// The face of `cell` along which one travels in `direction` exists: to its left, no cell.
  bool HasFace(std::int32_t cell, int direction) const {
    return Beside(cell, (direction + 3) % 4) < 0;
  }
  /// The midpoint of a face, mm.
  std::pair<double, double> Midpoint(const Face& f) const {
    const auto i = static_cast<std::size_t>(f.cell);
    const int left = (f.direction + 3) % 4;
    return {((*mGrid.cellX)[i] + 0.5 + 0.5 * kStepX[left]) * mGrid.cellWidth,
            ((*mGrid.cellY)[i] + 0.5 + 0.5 * kStepY[left]) * mGrid.cellHeight};
  }
  std::int32_t Material(std::int32_t cell) const {
    return (*mGrid.material)[static_cast<std::size_t>(cell)];
  }

 private:
  const CellGrid& mGrid;
};

// One loop of faces, with where its windows stop and how far they reach.
struct Loop {
  std::vector<Face> faces;
  std::vector<bool> barrierAfter;  // a true corner after this face
  std::vector<int> reach;
  std::vector<int> period;
  std::vector<bool> innerCorner;
};

Loop Trace(const Cells& cells, Face start, std::vector<std::uint8_t>& seen) {
  Loop loop;
  std::vector<bool> innerTurn;  // the turn after each face is an inner (left) one
  Face f = start;
  do {
    seen[static_cast<std::size_t>(f.cell) * 4 + static_cast<std::size_t>(f.direction)] = 1;
    loop.faces.push_back(f);
    const std::int32_t ahead = cells.Beside(f.cell, f.direction);
    Face next{};
    bool inner = false;
    if (ahead < 0) {
      next = {f.cell, (f.direction + 1) % 4};  // round an outer corner of the same cell
    } else {
      const int left = (f.direction + 3) % 4;
      const std::int32_t aheadLeft = cells.Beside(ahead, left);
      if (aheadLeft < 0) {
        next = {ahead, f.direction};
      } else {
        next = {aheadLeft, left};
        inner = true;
      }
    }
    innerTurn.push_back(inner);
    f = next;
  } while (f.cell != start.cell || f.direction != start.direction);

  const std::size_t n = loop.faces.size();
  loop.barrierAfter.assign(n, false);
  loop.reach.assign(n, kMinReach);
  loop.period.assign(n, 1);
  loop.innerCorner.assign(n, false);
  // Runs of faces in one direction, from a face that begins one.
  std::size_t first = 0;
  while (first < n && loop.faces[first].direction == loop.faces[(first + n - 1) % n].direction) {
    ++first;
  }
  if (first == n) return loop;
  std::vector<std::pair<std::size_t, int>> runs;  // first face, length
  for (std::size_t k = 0; k < n;) {
    const std::size_t begin = (first + k) % n;
    int length = 0;
    while (k < n && loop.faces[(first + k) % n].direction == loop.faces[begin].direction) {
      ++length;
      ++k;
    }
    runs.emplace_back(begin, length);
  }
  const std::size_t count = runs.size();
  for (std::size_t r = 0; r < count; ++r) {
    const auto [begin, length] = runs[r];
    const int before = runs[(r + count - 1) % count].second;
    const int after = runs[(r + 1) % count].second;
    const std::size_t last = (begin + static_cast<std::size_t>(length) - 1) % n;
    const bool cornerBefore = length >= kTrueCornerRun && before >= kTrueCornerRun;
    const bool cornerAfter = length >= kTrueCornerRun && after >= kTrueCornerRun;
    if (cornerAfter) {
      loop.barrierAfter[last] = true;
      if (innerTurn[last]) {
        // The notch's peak spreads over the faces next to it on either side.
        for (std::size_t k = 0; k < static_cast<std::size_t>(kTrueCornerRun); ++k) {
          loop.innerCorner[(last + n - k) % n] = true;
          loop.innerCorner[(last + 1 + k) % n] = true;
        }
      }
    }
    // On a staircase the period is a run and a step; the window spans the run and its ends.
    const bool straight = cornerBefore && cornerAfter;
    const int period = straight ? 1 : length + std::min(before, after);
    const int reach = straight ? kMinReach : std::clamp(length + 1, kMinReach, kMaxReach);
    for (int k = 0; k < length; ++k) {
      const std::size_t at = (begin + static_cast<std::size_t>(k)) % n;
      loop.reach[at] = reach;
      loop.period[at] = period;
    }
  }
  return loop;
}

}  // namespace

std::vector<OutlinePoint> TraceOutline(const CellGrid& grid) {
  const std::size_t count = grid.cellX->size();
  std::vector<OutlinePoint> points;
  const Cells cells(grid);
  std::vector<std::uint8_t> seen(count * 4, 0);
  for (std::size_t c = 0; c < count; ++c) {
    for (int d = 0; d < 4; ++d) {
      const auto cell = static_cast<std::int32_t>(c);
      if (seen[c * 4 + static_cast<std::size_t>(d)] || !cells.HasFace(cell, d)) continue;
      const Loop loop = Trace(cells, {cell, d}, seen);
      const auto n = static_cast<std::ptrdiff_t>(loop.faces.size());
      const auto index = [n](std::ptrdiff_t k) {
        return static_cast<std::size_t>(((k % n) + n) % n);
      };
      for (std::ptrdiff_t k = 0; k < n; ++k) {
        const Face& f = loop.faces[static_cast<std::size_t>(k)];
        OutlinePoint p;
        p.cell = f.cell;
        p.period = loop.period[static_cast<std::size_t>(k)];
        p.innerCorner = loop.innerCorner[static_cast<std::size_t>(k)];
        // The window, stopped before a barrier on either side and short of the whole loop.
        const std::ptrdiff_t reach =
            std::min<std::ptrdiff_t>(loop.reach[static_cast<std::size_t>(k)], (n - 1) / 2);
        std::ptrdiff_t lo = k, hi = k;
        while (hi - k < reach && !loop.barrierAfter[index(hi)]) ++hi;
        while (k - lo < reach && !loop.barrierAfter[index(lo - 1)]) --lo;
        // The least-squares line through the faces' midpoints: their mean, and the direction of
        // the larger spread, turned to point into the section (right of the travel).
        double mx = 0, my = 0;
        const auto m = static_cast<double>(hi - lo + 1);
        for (std::ptrdiff_t j = lo; j <= hi; ++j) {
          const auto [x, y] = cells.Midpoint(loop.faces[index(j)]);
          mx += x;
          my += y;
        }
        mx /= m;
        my /= m;
        double sxx = 0, syy = 0, sxy = 0;
        for (std::ptrdiff_t j = lo; j <= hi; ++j) {
          const auto [x, y] = cells.Midpoint(loop.faces[index(j)]);
          sxx += (x - mx) * (x - mx);
          syy += (y - my) * (y - my);
          sxy += (x - mx) * (y - my);
        }
        const auto [fx, fy] = cells.Midpoint(f);
        double tx = kStepX[f.direction], ty = kStepY[f.direction];
        if (sxx + syy > 0) {
          const double angle = 0.5 * std::atan2(2 * sxy, sxx - syy);
          const double ux = std::cos(angle), uy = std::sin(angle);
          // Along the travel of the window as a whole.
          const auto [ax, ay] = cells.Midpoint(loop.faces[index(lo)]);
          const auto [bx, by] = cells.Midpoint(loop.faces[index(hi)]);
          const double along = (bx - ax) * ux + (by - ay) * uy;
          tx = along < 0 ? -ux : ux;
          ty = along < 0 ? -uy : uy;
        }
        p.nx = -ty;
        p.ny = tx;
        // The face's midpoint moved onto the line, along the normal.
        const double offset = (fx - mx) * p.nx + (fy - my) * p.ny;
        p.x = fx - offset * p.nx;
        p.y = fy - offset * p.ny;
        points.push_back(p);
      }
    }
  }
  return points;
}

}  // namespace qv
