// A drawing as the pixel analyses see it: a picture of square cells in which every cell wholly of
// one colour has that colour and every cell on an edge has a colour of its own, near the blend of
// the colours it holds (so the picture looks as a smoothed drawing would), that stands for the
// cell's exact shares. The coverage reading then takes every cell by those shares, so the
// solvers that run on pixels run on the drawing's exact coverage.
#pragma once

#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "core/outline/outline.h"
#include "core/outline/outline_raster.h"
#include "core/picture/pixel_grid.h"
#include "core/scan/coverage.h"
#include "core/scan/inventory.h"
#include "core/scan/moments.h"

namespace qv {

/// A drawing with its coverage raster and picture.
struct DrawingPicture {
  OutlineDrawing drawing;
  /// Every colour of the drawing, in order of first appearance, and its shares of the cells.
  CoverageRaster raster;
  /// The cells' colours, as read from a file; white where no shape is (or a colour near white
  /// when a shape is white).
  PixelGrid grid;
  std::uint32_t background = 0x00FFFFFF;
  /// The colour of each edge cell (one per distinct set of shares) and its shares, by the
  /// raster's colour index.
  std::vector<std::pair<std::uint32_t, std::vector<CoverageShare>>> blends;
  /// DrawingColours, gathered while the cells were laid out.
  std::vector<ColourBounds> colours;
};

/// The drawing on cells of `cellSize` mm (GridOver's refusals), or, with 0, of the size that
/// gives about kDefaultOutlineCells cells.
DrawingPicture PictureOfDrawing(OutlineDrawing drawing, double cellSize = 0);

/// The picture with every colour but `colour` (none: every colour) taken off its cells, as
/// hiding colours paints a picture's other pixels white: the cells keep `colour`'s exact shares
/// (what other shapes cover of it stays uncovered), and its colour list is `colour` alone.
DrawingPicture KeepingOnly(const DrawingPicture& picture, std::optional<std::uint32_t> colour);

/// Lays the cells of `picture` from its raster's shares: `grid`, `blends`, `colours` and
/// `background` anew.
void LayCells(DrawingPicture& picture);

/// The drawing's colours as an inventory lists them: in order of first appearance, each with
/// the box of the cells holding a share of it and how many do; colours that nothing shows
/// (painted over whole) are left out.
std::vector<ColourBounds> DrawingColours(const DrawingPicture& picture);

/// The box of the shapes of `colours` in `drawing`, arcs included.
OutlineBox BoxOfColours(const OutlineDrawing& drawing, const std::vector<std::uint32_t>& colours);

/// The shares of the materials of `materialColours` in the picture's colours, with the box of
/// the cells holding a share of any of them.
CoverageTable DrawingCoverage(const DrawingPicture& picture,
                              const std::vector<std::uint32_t>& materialColours);

/// The moments of `materials` (MaterialsInUse order, zero moments) from the exact shares, as
/// the coverage reading gives them (unit kCoverageUnit).
SectionMoments DrawingMoments(const DrawingPicture& picture,
                              std::vector<MaterialMoments> materials);

}  // namespace qv
