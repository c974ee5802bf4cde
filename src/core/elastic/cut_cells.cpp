// The edge through a cut cell: its normal from the gradient of the solid shares over the 3 x 3
// cells around it (weights 1 2 1 across), its position from the cell's own share.
#include "core/elastic/cut_cells.h"

#include <algorithm>
#include <cmath>

namespace qv {
namespace {

constexpr double kFull = kFullShare;
// A face between two cells that both hold material keeps at least this part of the smaller
// share, so that two cells the reconstructed edges happen to separate stay coupled.
constexpr double kLeastWetting = 1e-3;

/// The offset alpha of the edge a q1 + b q2 = alpha (a, b >= 0, a + b = 1) that leaves `area`
/// of the unit square on the side below it.
double EdgeOffset(double a, double b, double area) {
  const bool upper = area > 0.5;
  const double part = upper ? 1 - area : area;
  const double lo = std::min(a, b);
  const double hi = std::max(a, b);
  const double alpha = 2 * hi * part <= lo ? std::sqrt(2 * lo * hi * part) : part * hi + lo / 2;
  return upper ? 1 - alpha : alpha;
}

/// The wetted run [0, length] of the face q = k of a square cut by a q + c p <= alpha.
double WetLength(double a, double c, double alpha, int k) {
  const double reach = alpha - a * k;
  if (c <= 0) return reach > 0 ? 1.0 : 0.0;
  return std::clamp(reach / c, 0.0, 1.0);
}

/// The centroid of {a q1 + b q2 <= alpha} in the unit square: the square clipped by the line,
/// then the polygon's centroid.
std::array<double, 2> ClippedCentroid(double a, double b, double alpha) {
  constexpr std::array<std::array<double, 2>, 4> kSquare{{{0, 0}, {1, 0}, {1, 1}, {0, 1}}};
  std::array<std::array<double, 2>, 5> poly{};
  std::size_t count = 0;
  const auto side = [&](const std::array<double, 2>& p) { return alpha - a * p[0] - b * p[1]; };
  for (std::size_t k = 0; k < kSquare.size(); ++k) {
    const std::array<double, 2>& p = kSquare[k];
    const std::array<double, 2>& q = kSquare[(k + 1) % kSquare.size()];
    const double sp = side(p);
    const double sq = side(q);
    if (sp >= 0) poly[count++] = p;
    if ((sp >= 0) != (sq >= 0)) {
      const double t = sp / (sp - sq);
      poly[count++] = {p[0] + t * (q[0] - p[0]), p[1] + t * (q[1] - p[1])};
    }
  }
  double area = 0, cx = 0, cy = 0;
  for (std::size_t k = 0; k < count; ++k) {
    const std::array<double, 2>& p = poly[k];
    const std::array<double, 2>& q = poly[(k + 1) % count];
    const double cross = p[0] * q[1] - q[0] * p[1];
    area += cross;
    cx += (p[0] + q[0]) * cross;
    cy += (p[1] + q[1]) * cross;
  }
  if (!(area > 0)) return {0.5, 0.5};
  return {cx / (3 * area), cy / (3 * area)};
}

}  // namespace

std::array<double, 2> WetCentroid(double solid, double mx, double my) {
  const double sum = std::abs(mx) + std::abs(my);
  if (solid >= kFull || !(sum > 0)) return {0, 0};
  const double a = std::abs(mx) / sum;
  const double b = std::abs(my) / sum;
  const double alpha = EdgeOffset(a, b, std::clamp(solid, 0.0, 1.0));
  const auto [q1, q2] = ClippedCentroid(a, b, alpha);
  return {mx < 0 ? 0.5 - q1 : q1 - 0.5, my < 0 ? 0.5 - q2 : q2 - 0.5};
}

std::array<WetFace, 4> WetFaces(double solid, double mx, double my) {
  std::array<WetFace, 4> faces{};
  if (solid >= kFull) return faces;
  const double sum = std::abs(mx) + std::abs(my);
  if (!(sum > 0)) {
    for (WetFace& f : faces) f.share = solid;
    return faces;
  }
  // In q coordinates (0..1 across the cell, flipped where the normal points to smaller X or Y)
  // the material is a q1 + b q2 <= alpha.
  const double a = std::abs(mx) / sum;
  const double b = std::abs(my) / sum;
  const bool flipX = mx < 0;
  const bool flipY = my < 0;
  const double alpha = EdgeOffset(a, b, std::clamp(solid, 0.0, 1.0));
  // The run [0, length] along a face, as a share and a midpoint in cell coordinates.
  const auto wet = [](double length, bool flipped) {
    return WetFace{length, flipped ? 0.5 - length / 2 : length / 2 - 0.5};
  };
  const WetFace far1 = wet(WetLength(a, b, alpha, 1), flipY);   // q1 = 1
  const WetFace near1 = wet(WetLength(a, b, alpha, 0), flipY);  // q1 = 0
  const WetFace far2 = wet(WetLength(b, a, alpha, 1), flipX);   // q2 = 1
  const WetFace near2 = wet(WetLength(b, a, alpha, 0), flipX);  // q2 = 0
  faces[0] = flipX ? near1 : far1;                              // east: X = 1
  faces[2] = flipX ? far1 : near1;                              // west
  faces[1] = flipY ? near2 : far2;                              // south: Y = 1
  faces[3] = flipY ? far2 : near2;                              // north
  return faces;
}

CutFaces CutCellFaces(const CellLevel& level, const std::vector<float>& solid) {
  const auto n = static_cast<std::size_t>(level.Cells());
  CutFaces out;
  out.index.assign(n, -1);
  const auto entry = [&](std::size_t i) -> CutCell& {
    if (out.index[i] < 0) {
      out.index[i] = static_cast<std::int32_t>(out.cells.size());
      out.cells.emplace_back();
    }
    return out.cells[static_cast<std::size_t>(out.index[i])];
  };
  const auto shareAt = [&](int x, int y) -> double {
    if (x < 0 || y < 0 || x >= level.nx || y >= level.ny) return 0;
    const std::int32_t cell =
        level.map[static_cast<std::size_t>(y) * static_cast<std::size_t>(level.nx) +
                  static_cast<std::size_t>(x)];
    return cell < 0 ? 0.0 : solid[static_cast<std::size_t>(cell)];
  };
  const auto normalOf = [&](std::size_t i) {
    const auto [gx, gy] = ShareGradient(shareAt, level.cellX[i], level.cellY[i]);
    return std::array<double, 2>{-gx, -gy};
  };
  const auto facesOf = [&](std::size_t i) {
    const double s = solid[i];
    if (s >= kFull) return std::array<WetFace, 4>{};
    const auto [mx, my] = normalOf(i);
    return WetFaces(s, mx, my);
  };
  // A cell cut by an edge along the cells holds its unknown at its material's centroid: the
  // unknowns of a wall's last row then lie where its material is, and the wall's warping has the
  // slope of its true thickness (at the cell's centre, a row with half a cell of material would
  // carry a term off by a quarter cell, which makes a wall's error swing with the share its edge
  // cuts). Along a sloped or curved edge neighbouring centroids would not face each other across
  // their face, and the two-cell terms would take in a share of the gradient along the face: those
  // cells keep their centres.
  for (std::size_t i = 0; i < n; ++i) {
    if (solid[i] >= kFull) continue;
    const auto [mx, my] = normalOf(i);
    if (!NoPart(mx, my) && !NoPart(my, mx)) continue;
    const auto [cx, cy] = WetCentroid(solid[i], mx, my);
    CutCell& c = entry(i);
    c.centreX = static_cast<float>(cx);
    c.centreY = static_cast<float>(cy);
  }
  const auto join = [&](std::size_t i, std::size_t j, const WetFace& mine, const WetFace& theirs,
                        float& share, float& shift) {
    const double least = kLeastWetting * std::min<double>(solid[i], solid[j]);
    share = static_cast<float>(std::max(0.5 * (mine.share + theirs.share), least));
    shift = static_cast<float>(0.5 * (mine.shift + theirs.shift));
  };
  for (std::size_t i = 0; i < n; ++i) {
    const std::int32_t e = level.East(i);
    const std::int32_t s = level.South(i);
    if (e < 0 && s < 0) continue;
    const bool cut = solid[i] < kFull;
    if (!cut && (e < 0 || solid[static_cast<std::size_t>(e)] >= kFull) &&
        (s < 0 || solid[static_cast<std::size_t>(s)] >= kFull)) {
      continue;
    }
    const std::array<WetFace, 4> mine = facesOf(i);
    CutCell& c = entry(i);
    if (e >= 0) {
      const auto j = static_cast<std::size_t>(e);
      join(i, j, mine[0], facesOf(j)[2], c.eastShare, c.eastShift);
    }
    if (s >= 0) {
      const auto j = static_cast<std::size_t>(s);
      join(i, j, mine[1], facesOf(j)[3], c.southShare, c.southShift);
    }
  }
  return out;
}

}  // namespace qv
