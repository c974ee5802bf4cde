// The edge through a cut cell: its normal from the gradient of the solid shares over the 3 x 3
// cells around it (weights 1 2 1 across), its position from the cell's own share.
#include "core/elastic/cut_cells.h"

#include <algorithm>
#include <cmath>

namespace qv {
namespace {

// Shares this close to 1 are full cells: a share of a million cells' exact sums is not exactly
// 1, and an edge at a cell's corner wets all its faces anyway.
constexpr double kFull = 1 - 1e-9;
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

}  // namespace

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
  out.eastShare.assign(n, 1.0F);
  out.southShare.assign(n, 1.0F);
  out.eastShift.assign(n, 0.0F);
  out.southShift.assign(n, 0.0F);
  const auto shareAt = [&](int x, int y) -> double {
    if (x < 0 || y < 0 || x >= level.nx || y >= level.ny) return 0;
    const std::int32_t cell =
        level.map[static_cast<std::size_t>(y) * static_cast<std::size_t>(level.nx) +
                  static_cast<std::size_t>(x)];
    return cell < 0 ? 0.0 : solid[static_cast<std::size_t>(cell)];
  };
  const auto facesOf = [&](std::size_t i) {
    const double s = solid[i];
    if (s >= kFull) return std::array<WetFace, 4>{};
    const int x = level.cellX[i];
    const int y = level.cellY[i];
    const double gx = shareAt(x + 1, y - 1) + 2 * shareAt(x + 1, y) + shareAt(x + 1, y + 1) -
                      shareAt(x - 1, y - 1) - 2 * shareAt(x - 1, y) - shareAt(x - 1, y + 1);
    const double gy = shareAt(x - 1, y + 1) + 2 * shareAt(x, y + 1) + shareAt(x + 1, y + 1) -
                      shareAt(x - 1, y - 1) - 2 * shareAt(x, y - 1) - shareAt(x + 1, y - 1);
    return WetFaces(s, -gx, -gy);
  };
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
    if (e >= 0) {
      const auto j = static_cast<std::size_t>(e);
      join(i, j, mine[0], facesOf(j)[2], out.eastShare[i], out.eastShift[i]);
    }
    if (s >= 0) {
      const auto j = static_cast<std::size_t>(s);
      join(i, j, mine[1], facesOf(j)[3], out.southShare[i], out.southShift[i]);
    }
  }
  return out;
}

}  // namespace qv
