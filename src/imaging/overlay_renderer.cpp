// QPainter rendering of overlay operations, exact colours, no anti-aliasing.
#include "imaging/overlay_renderer.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QPainter>
#include <QPen>
#include <QPoint>
#include <QRectF>
#include <QString>
#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <stdexcept>
#include <variant>
#include <vector>

#include "imaging/picture_image.h"

namespace qv {

namespace {

// Classic default scheme of the system colours 0 .. 30, as 0xRRGGBB.
constexpr std::array<std::uint32_t, 31> kSystemColours = {
    0xD4D0C8, 0x3A6EA5, 0x0A246A, 0x808080, 0xD4D0C8, 0xFFFFFF, 0x000000, 0x000000,
    0x000000, 0xFFFFFF, 0xD4D0C8, 0xD4D0C8, 0x808080, 0x0A246A, 0xFFFFFF, 0xD4D0C8,
    0x808080, 0x808080, 0x000000, 0xD4D0C8, 0xFFFFFF, 0x404040, 0xD4D0C8, 0x000000,
    0xFFFFE1, 0xB5B5B5, 0x000080, 0xA6CAF0, 0xC0C0C0, 0x316AC5, 0xECE9D8};

class Renderer {
 public:
  explicit Renderer(QImage& image)
      : mPainter(&image), mWidth(image.width()), mHeight(image.height()) {
    mPainter.setRenderHint(QPainter::Antialiasing, false);
    mPainter.setRenderHint(QPainter::TextAntialiasing, false);
    mPainter.setBackgroundMode(Qt::TransparentMode);
    mPainter.setBrush(Qt::NoBrush);
  }

  void operator()(const PolylineOp& op) {
    if (op.Points.empty()) return;
    SetPen(op.Colour, op.PenWidth);
    std::vector<QPoint> points;
    points.reserve(op.Points.size());
    for (PixelPoint p : op.Points) points.emplace_back(p.x, p.y);
    mPainter.drawPolyline(points.data(), static_cast<int>(points.size()));
  }

  void operator()(const EllipseOp& op) {
    const QRectF square(op.TopLeft.x, op.TopLeft.y,
                        static_cast<double>(op.BottomRight.x) - op.TopLeft.x,
                        static_cast<double>(op.BottomRight.y) - op.TopLeft.y);
    SetPen(op.Colour, op.PenWidth);
    mPainter.drawEllipse(square);
  }

  void operator()(const LabelOp& op) {
    // A label wholly off the picture is skipped before the text engine sees coordinates near
    // the 32-bit limits, which its fixed-point glyph positions cannot hold.
    if (op.Position.x >= mWidth || op.Position.y >= mHeight) return;
    mPainter.setFont(LabelFont(op.Font, op.FontDpi));
    const QFontMetrics metrics = mPainter.fontMetrics();
    const QString text = QString::fromStdString(op.Text);
    const double right =
        static_cast<double>(op.Position.x) + metrics.horizontalAdvance(text) + metrics.maxWidth();
    const double bottom = static_cast<double>(op.Position.y) + metrics.height();
    if (right < 0 || bottom < 0) return;
    mPainter.setPen(QPen(ToQColor(op.Colour)));
    mPainter.drawText(QPointF(op.Position.x, static_cast<double>(op.Position.y) + metrics.ascent()),
                      text);
  }

 private:
  void SetPen(ColourValue colour, int width) {
    mPainter.setPen(QPen(ToQColor(colour), width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  }

  QPainter mPainter;
  int mWidth;
  int mHeight;
};

bool HasLabels(const OverlayOps& ops) {
  return std::any_of(ops.begin(), ops.end(),
                     [](const DrawOp& op) { return std::holds_alternative<LabelOp>(op); });
}

}  // namespace

QColor ToQColor(ColourValue value) {
  const auto v = static_cast<std::uint32_t>(value);
  if ((v & 0x80000000u) != 0) {
    const std::uint32_t index = v & 0x00FFFFFFu;
    const std::uint32_t rgb = index < kSystemColours.size() ? kSystemColours[index] : 0;
    return QColor::fromRgb(static_cast<QRgb>(0xFF000000u | rgb));
  }
  return QColor(static_cast<int>(v & 0xFF), static_cast<int>((v >> 8) & 0xFF),
                static_cast<int>((v >> 16) & 0xFF));
}

int LabelPixelSize(int pointSize, int dpi) {
  return std::max(1, RoundEven(static_cast<double>(pointSize) * dpi / 72.0));
}

QFont LabelFont(const GraphicsFont& font, int dpi) {
  QFont qfont(QString::fromStdString(font.Family));
  qfont.setPixelSize(LabelPixelSize(font.PointSize, dpi));
  qfont.setBold((font.Style & kFontBold) != 0);
  qfont.setItalic((font.Style & kFontItalic) != 0);
  qfont.setStyleStrategy(QFont::NoAntialias);
  return qfont;
}

void RenderOverlay(const OverlayOps& ops, QImage& image) {
  if (ops.empty() || image.isNull()) return;
  // Fonts need the platform's font database, which only a QGuiApplication provides.
  if (HasLabels(ops) && qobject_cast<QGuiApplication*>(QCoreApplication::instance()) == nullptr)
    throw std::logic_error("RenderOverlay: labels need a QGuiApplication");
  Renderer renderer(image);
  for (const DrawOp& op : ops) std::visit(renderer, op);
}

void RenderOverlay(const OverlayOps& ops, PixelGrid& grid) {
  if (ops.empty() || grid.Empty()) return;
  // The painter works on the grid itself, so a 100-megapixel picture is never copied.
  QImage view = GridView(grid);
  RenderOverlay(ops, view);
  // The painter sets the padding byte of what it touches; the grid keeps it zero.
  std::uint32_t* pixels = grid.Data();
  const std::size_t count = grid.Size();
  for (std::size_t i = 0; i < count; ++i) pixels[i] &= 0x00FFFFFFu;
}

}  // namespace qv
