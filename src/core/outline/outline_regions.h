// The region each material holds in a drawing painted in order, as oriented boundary pieces,
// and its exact area moments.
//
// Where a later shape covers an earlier one, the earlier material loses the covered part. The
// regions are found from the boundaries alone: every edge is cut where an edge of another loop
// crosses or runs along it, and each piece then bounds the material seen on its left against
// the one seen on its right (the topmost shape containing either side; a shape's loops count
// by the even-odd rule). Pieces with the same material on both sides are no boundary; edges
// shared by two shapes count once. A region's moments are the boundary integrals of its pieces
// (Green's theorem), so they need no polygon of the region itself.
//
// Arcs stay exact wherever no edge of another loop comes near them (a lone shape, a hole, a
// fillet away from the other materials). An arc whose box meets the box of another loop's edge
// is flattened within kFlatteningTolerance of the drawing's size first, so that crossings are
// found between straight edges only.
#pragma once

#include <cstdint>
#include <vector>

#include "core/outline/outline.h"
#include "core/scan/moments.h"

namespace qv {

/// An edge piece with its material on the left.
struct BoundaryPiece {
  DrawingPoint a;
  DrawingPoint b;
  double bulge = 0;
};

/// The boundary of every material of `colours` (material i has colour colours[i]): a closed
/// set of pieces with the material on their left. Colours of no material still cover what is
/// under them. Throws Error "an outline crosses itself" for a loop whose straight edges cross.
std::vector<std::vector<BoundaryPiece>> MaterialBoundaries(
    const OutlineDrawing& drawing, const std::vector<std::uint32_t>& colours);

/// The area moments (about the drawing's origin) of the region within `pieces`.
AreaMoments RegionMoments(const std::vector<BoundaryPiece>& pieces);

/// The section values of a drawing, exact: per material its region's moments, and the E- and
/// rho-weighted values. Axes as the analysis's: y horizontal, positive to the left; z vertical,
/// positive downwards; the stiffnesses are about the elastic centre (not rounded to a pixel).
struct OutlineSection {
  std::vector<AreaMoments> regions;  ///< per material, mm, about the drawing's origin
  double EA = 0;                     ///< N
  double Mass = 0;                   ///< kg per mm of length
  DrawingPoint centre;               ///< elastic centre, drawing mm (y upwards)
  DrawingPoint massCentre;           ///< drawing mm; (0, 0) without mass
  double EIyy = 0;                   ///< N mm^2, sum of E y^2 A
  double EIzz = 0;
  double EIyz = 0;
  double EI1 = 0;
  double EI2 = 0;
  double Alpha = 0;  ///< radian, as SectionResult::Alpha
  bool Iso = false;
};

/// The section values of `drawing` for `materials` (their colour, E and rho; MaterialsInUse
/// order).
OutlineSection OutlineSectionOf(const OutlineDrawing& drawing,
                                const std::vector<MaterialMoments>& materials);

}  // namespace qv
