// The outline a pixel staircase stands for, traced along a solve's cells: where its edge lies and
// which way it faces at each free face, for the shear stress on it.
#pragma once

#include <cstdint>
#include <vector>

namespace qv {

/// A solve's cells on their grid.
struct CellGrid {
  int columns = 0;        ///< cells across
  int rows = 0;           ///< cells down
  double cellWidth = 0;   ///< mm
  double cellHeight = 0;  ///< mm
  /// The cell at column X and row Y, at [Y * columns + X]; -1 where there is none.
  const std::vector<std::int32_t>* map = nullptr;
  const std::vector<std::int32_t>* cellX = nullptr;
  const std::vector<std::int32_t>* cellY = nullptr;
  /// Each cell's material: each material's region is traced on its own.
  const std::vector<std::int32_t>* material = nullptr;
};

/// One free face of a cell and the outline there: a point of the edge and the normal into the
/// section, mm from the grid's upper-left corner, and the length of the staircase's period.
struct OutlinePoint {
  std::int32_t cell = -1;
  double x = 0, y = 0;    ///< on the edge
  double nx = 0, ny = 0;  ///< unit, into the section
  int period = 1;         ///< faces of the staircase's period there (1 on a straight edge)
  /// At a true inner corner (two runs of at least kTrueCornerRun faces meeting): the notch is
  /// the outline's own, and so is its peak.
  bool innerCorner = false;
};

/// Runs of at least this many faces meeting at a turn make a corner of the outline itself; runs
/// between shorter ones are the steps of a staircase standing for a slanted or curved edge.
inline constexpr int kTrueCornerRun = 4;

/// Every free face of the grid (a cell side with no cell of its material beyond it: each
/// material's region has its own outline, along its joints too) with the outline there.
/// The faces are traced as loops (cells touching at a corner only are apart). Along a staircase
/// the edge is the least-squares line through the midpoints of the faces of one period or more
/// about the face (each lies halfway between a pixel inside and one outside, as is the outline
/// where the picture was drawn from it), stopped at true corners.
std::vector<OutlinePoint> TraceOutline(const CellGrid& grid);

}  // namespace qv
