// Cells cut by the section's edge. Where the picture carries the edge to a fraction of a pixel
// (a smoothed drawing read as coverage, or a drawing's exact coverage), each cell's share of
// solid material places a straight piece of edge in it: its direction from the shares around
// the cell, its position so that it cuts off exactly the cell's share. The solver's faces then
// carry the part of them that lies in the material, and their terms are taken at that part's
// midpoint: this makes the torsion and shear solves converge at second order in the cell size,
// where stiffnesses averaged over the cut cells converge at first. Where the edge runs along the
// cells, a cut cell's unknown sits at its material's centroid.
#pragma once

#include <array>
#include <cmath>
#include <cstdint>
#include <vector>

#include "core/elastic/multigrid.h"

namespace qv {

/// A cell whose solid shares sum to this much of it is full: a share of a million cells' exact
/// sums is not exactly 1, and an edge at a cell's corner wets all its faces anyway.
inline constexpr double kFullShare = 1 - 1e-9;

/// The gradient of a share over the 3 x 3 cells about (x, y), weights 1 2 1 across (X to the
/// right, Y downwards); share(x, y) gives a cell's share.
template <typename Share>
std::array<double, 2> ShareGradient(const Share& share, int x, int y) {
  const double gx = share(x + 1, y - 1) + 2 * share(x + 1, y) + share(x + 1, y + 1) -
                    share(x - 1, y - 1) - 2 * share(x - 1, y) - share(x - 1, y + 1);
  const double gy = share(x - 1, y + 1) + 2 * share(x, y + 1) + share(x + 1, y + 1) -
                    share(x - 1, y - 1) - 2 * share(x, y - 1) - share(x + 1, y - 1);
  return {gx, gy};
}

/// Whether the component `part` of a direction (part, other) is nothing against its size: an
/// edge or interface with that normal runs along the cells' rows or columns.
inline bool NoPart(double part, double other) {
  return std::abs(part) <= 1e-9 * (std::abs(part) + std::abs(other));
}

/// The part of a cell's face that lies in the material: its share of the face (0..1) and its
/// midpoint, from the face's centre along the face, in cell sides (-0.5..0.5) towards larger X
/// (horizontal faces) or larger Y (vertical faces).
struct WetFace {
  double share = 1;
  double shift = 0;
};

/// A cell's four faces, east, south, west and north (Y grows downwards), when the cell holds
/// `solid` of its area on the side of a straight edge away from (mx, my), the edge's normal in
/// cell units pointing out of the material. A zero normal wets each face by `solid`.
std::array<WetFace, 4> WetFaces(double solid, double mx, double my);

/// The centroid of the material part of such a cell, from the cell's centre in cell sides
/// (-0.5..0.5, X to the right, Y downwards).
std::array<double, 2> WetCentroid(double solid, double mx, double my);

/// What a cell read as coverage holds beyond a whole cell: the wetted share and midpoint of its
/// east and south faces (WetFace, in cell sides), and where its unknown sits, from its centre in
/// cell sides: its material's centroid (WetCentroid) where its edge runs along the cells, else 0.
struct CutCell {
  float eastShare = 1;
  float southShare = 1;
  float eastShift = 0;
  float southShift = 0;
  float centreX = 0;
  float centreY = 0;
};

/// The faces of every cell of `level` between cells holding material: the wetted share and
/// midpoint of each cell's east and south face, as the two cells' own edges see it (their
/// mean). `solid` holds each cell's share of solid material, in the level's cell order. Only the
/// cells along the edge differ from whole ones, so only they have an entry: index[i] is cell i's
/// entry in `cells`, or -1.
struct CutFaces {
  std::vector<std::int32_t> index;
  std::vector<CutCell> cells;

  CutCell Of(std::size_t i) const {
    return index[i] < 0 ? CutCell{} : cells[static_cast<std::size_t>(index[i])];
  }
};
CutFaces CutCellFaces(const CellLevel& level, const std::vector<float>& solid);

}  // namespace qv
