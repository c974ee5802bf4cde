// Paints the overlay operations of the core into a picture with QPainter.
#pragma once

#include <QColor>
#include <QFont>
#include <QImage>

#include "core/picture/pixel_grid.h"
#include "core/section/overlay.h"

namespace qv {

/// The colour of a ColourValue. Values with the top bit set are system colours; they are
/// resolved with the classic default scheme so a hand-edited settings file paints the same on
/// every desktop (an unknown index paints black).
QColor ToQColor(ColourValue value);

/// Pixel size of a label font: `pointSize` points at `dpi` dots per inch, r(points * dpi / 72)
/// with halves to even like every other derived size, at least 1.
int LabelPixelSize(int pointSize, int dpi);

/// The QFont of a label: the family, the size from LabelPixelSize, bold and italic from the style
/// flags, without anti-aliasing so labels add no blended colours to the picture.
QFont LabelFont(const GraphicsFont& font, int dpi);

/// Paints `ops` in order into `image` (any format QPainter paints on): no anti-aliasing, round
/// caps and joins, unfilled ellipses, labels on a transparent background with the top of their
/// character cell (the font's ascent above the baseline) at the label position. Everything is
/// cut off at the image's edges.
void RenderOverlay(const OverlayOps& ops, QImage& image);

/// The same for a pixel grid, painted in place.
void RenderOverlay(const OverlayOps& ops, PixelGrid& grid);

}  // namespace qv
