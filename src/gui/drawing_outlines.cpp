// The drawing's loops as a painter path in cell coordinates, and their strokes on screen.
#include "gui/drawing_outlines.h"

#include <QPainter>
#include <QPen>
#include <algorithm>
#include <cmath>

namespace qv {
namespace {

// Dark enough to read over any material's colour, and never one of them: a line, not a colour
// the inventory would list.
const QColor kOutlineColour(0x10, 0x10, 0x10);
// An arc of a huge circle still ends in a bounded number of pieces.
constexpr int kMaxArcPieces = 8192;

}  // namespace

QPainterPath OutlinePath(const OutlineDrawing& drawing, const OutlineGrid& grid, double tolerance) {
  QPainterPath path;
  if (grid.size <= 0) return path;
  const auto cell = [&grid](double x, double y) {
    return QPointF((x - grid.x0) / grid.size, (grid.yTop - y) / grid.size);
  };
  for (const OutlineShape& shape : drawing.shapes) {
    for (const OutlineLoop& loop : shape.loops) {
      const std::vector<OutlineVertex>& corners = loop.vertices;
      if (corners.size() < 2) continue;
      path.moveTo(cell(corners.front().x, corners.front().y));
      for (std::size_t i = 0; i < corners.size(); ++i) {
        const OutlineVertex& a = corners[i];
        const OutlineVertex& b = corners[(i + 1) % corners.size()];
        if (a.bulge != 0) {
          const ArcCircle arc = CircleOfArc({a.x, a.y}, {b.x, b.y}, a.bulge);
          // The angle one piece may span keeps its chord within the tolerance of the arc.
          const double radius = arc.r / grid.size;
          const double step =
              radius > tolerance ? 2 * std::acos(1 - tolerance / radius) : std::abs(arc.sweep);
          const int pieces =
              std::clamp(static_cast<int>(std::ceil(std::abs(arc.sweep) / step)), 1, kMaxArcPieces);
          for (int k = 1; k < pieces; ++k) {
            const double angle = arc.start + arc.sweep * k / pieces;
            path.lineTo(cell(arc.cx + arc.r * std::cos(angle), arc.cy + arc.r * std::sin(angle)));
          }
        }
        // The corner itself, not the arc's computed end: loops close exactly.
        if (i + 1 < corners.size()) path.lineTo(cell(b.x, b.y));
      }
      path.closeSubpath();
    }
  }
  return path;
}

void PaintOutlines(QPainter& painter, const QPainterPath& cells, const QTransform& cellToScreen) {
  if (cells.isEmpty()) return;
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing, true);
  // Mapped first and stroked untransformed: the line is one screen pixel at any scale.
  painter.setPen(QPen(kOutlineColour, 1, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  painter.setBrush(Qt::NoBrush);
  painter.drawPath(cellToScreen.map(cells));
  painter.restore();
}

}  // namespace qv
