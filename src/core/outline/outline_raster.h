// Exact area coverage of a drawing's materials on a grid of square cells: each cell's share of
// every material is the area of the cell inside the material's region, computed from the
// region's boundary (a signed-area scan converter, no sampling), in units of kCoverageUnit as
// the coverage reading of smoothed pictures counts shares. The solvers that run on pixels can
// then take the drawing as a picture whose every cell is read as coverage.
#pragma once

#include <cstdint>
#include <vector>

#include "core/outline/outline.h"
#include "core/outline/outline_regions.h"
#include "core/picture/pixel_grid.h"
#include "core/scan/moments.h"
#include "core/section/section_result.h"

namespace qv {

/// At most this many cells: a share plane of each material is held whole.
inline constexpr std::int64_t kMaxOutlineCells = std::int64_t{1} << 27;
/// The grid a drawing gets when no cell size is asked for: about this many cells.
inline constexpr std::int64_t kDefaultOutlineCells = 2'000'000;

/// Cells of `size` mm from the drawing box's upper-left corner (xmin, ymax): cell (i, j) covers
/// x from x0 + i size and y down from yTop - j size, j counting rows downwards as pictures do.
struct OutlineGrid {
  double x0 = 0;
  double yTop = 0;
  double size = 0;
  int columns = 0;
  int rows = 0;
};

/// The grid of cells of `size` mm over `box`. Throws Error when the size is not a positive
/// number or gives more than kMaxOutlineCells cells.
OutlineGrid GridOver(const OutlineBox& box, double size);

/// The cell size that gives about `cells` square cells over `box`.
double CellSizeFor(const OutlineBox& box, std::int64_t cells = kDefaultOutlineCells);

/// One material's shares of the cells, row-major; in picture memory, as a picture's pixels.
using SharePlane = std::vector<std::int32_t, DefaultInitAllocator<std::int32_t>>;

/// Each material's share of every cell.
struct CoverageRaster {
  OutlineGrid grid;
  std::vector<std::uint32_t> colours;  ///< material i's colour
  /// Per material, row-major over the grid, out of kCoverageUnit; a cell's shares add up to at
  /// most kCoverageUnit.
  std::vector<SharePlane> shares;
  /// Per material, mm^2: the unrounded sum of its shares, the area of its (flattened) region.
  std::vector<double> areas;
};

/// The coverage of the materials of `colours` in `drawing` on the grid of cells of `size` mm.
CoverageRaster RasteriseCoverage(const OutlineDrawing& drawing,
                                 const std::vector<std::uint32_t>& colours, double size);

/// The cell moments of the raster as the coverage reading gives them (unit kCoverageUnit), for
/// `materials` (with zero moments) in the order of the raster's colours: the pixel analyses
/// take them with the grid's columns x size by rows x size.
SectionMoments MomentsOfRaster(const CoverageRaster& raster,
                               std::vector<MaterialMoments> materials);
/// The same for material i's shares in planes[i] (null: none) on the cells of `grid`.
SectionMoments MomentsOfPlanes(const OutlineGrid& grid,
                               const std::vector<const SharePlane*>& planes,
                               std::vector<MaterialMoments> materials);

/// The outline values as the analysis of the raster's picture states them: Dx = Dy = the cell
/// size, NC and MC the cells holding the exact centres, the first-moment sums as the pixel scan
/// counts them (from each cell's index), and the exact stiffnesses about the exact elastic
/// centre (AboutExactCentre); Coverage set, as the exact integrals hold what the cells' own
/// second moments add to a flat reading.
/// `touchedCells` are the cells holding any share (RelevantPixels).
SectionResult SectionResultOf(const OutlineSection& section,
                              const std::vector<MaterialMoments>& materials,
                              const OutlineGrid& grid, std::int64_t touchedCells);

}  // namespace qv
