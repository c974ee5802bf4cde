// A drawing's outlines as thin vector lines over its cells: they show where the exact edges run,
// however far the view zooms in, while the cells below show how the solvers see the section.
#pragma once

#include <QPainterPath>
#include <QTransform>

#include "core/outline/outline.h"
#include "core/outline/outline_raster.h"

class QPainter;

namespace qv {

/// How far a flattened arc may stray from the true one, in cells: a quarter of a screen pixel
/// at the section view's closest zoom.
inline constexpr double kOutlineTolerance = 1.0 / 256;

/// Every loop of `drawing` as a closed subpath in the cell coordinates of `grid` (x to the right
/// from the grid's left edge, y downwards from its top, one unit per cell), arcs flattened to
/// within `tolerance` cells.
QPainterPath OutlinePath(const OutlineDrawing& drawing, const OutlineGrid& grid,
                         double tolerance = kOutlineTolerance);

/// Strokes `cells` (OutlinePath) mapped by `cellToScreen` with a pen one screen pixel wide,
/// whatever the scale.
void PaintOutlines(QPainter& painter, const QPainterPath& cells, const QTransform& cellToScreen);

}  // namespace qv
