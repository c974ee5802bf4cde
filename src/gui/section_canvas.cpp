// The section view's canvas: zoom and pan over the picture, and the marks painted as vectors.
#include "gui/section_canvas.h"

#include <QCursor>
#include <QFontMetricsF>
#include <QKeyEvent>
#include <QLineF>
#include <QMouseEvent>
#include <QPainter>
#include <QPolygonF>
#include <QScrollBar>
#include <QWheelEvent>
#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <utility>

#include "gui/drawing_outlines.h"

namespace qv {
namespace {

// Room round the picture, so axes and labels beyond its edges can be scrolled into view.
constexpr double kMargin = 48;
// How far the axes reach beyond the section box, screen pixels.
constexpr double kAxisReach = 30;
constexpr double kMaxScale = 64;
constexpr double kHaloExtra = 2;  // halo beyond each side of a line, screen pixels
// A centre line's pattern, screen pixels: a long dash, a gap, a dot, a gap.
constexpr std::array<double, 4> kCentreLine{12, 3, 2, 3};
constexpr double kThinHaloExtra = 1;  // a centre line's halo beyond each side
constexpr int kThinHaloAlpha = 110;   // and how much of what lies under it shows through
constexpr double kWheelStep = 1.25;
constexpr double kLabelGap = 5;
constexpr double kNameInset = 22;  // an axis name stays this far inside the viewport
const QColor kBackground(0x6E, 0x6E, 0x6E);

QPointF Snapped(QPointF p) { return {std::round(p.x()), std::round(p.y())}; }

// QPainterPath is implicitly shared: a copy costs a reference count.
MarkStroke Stroke(const QPainterPath& path, const QColor& colour, double width = 2,
                  bool filled = false) {
  MarkStroke stroke;
  stroke.Path = path;
  stroke.Colour = colour;
  stroke.Width = width;
  stroke.Filled = filled;
  return stroke;
}

void AddCircle(std::vector<MarkStroke>& out, QPointF at, const QColor& colour) {
  QPainterPath path;
  path.addEllipse(at, 7, 7);
  out.push_back(Stroke(path, colour));
}

void AddDisc(std::vector<MarkStroke>& out, QPointF at, const QColor& colour) {
  QPainterPath path;
  path.addEllipse(at, 4.5, 4.5);
  out.push_back(Stroke(path, colour, 1, true));
}

void AddDiamond(std::vector<MarkStroke>& out, QPointF at, const QColor& colour) {
  QPainterPath path;
  path.addPolygon(QPolygonF({at + QPointF(0, -9), at + QPointF(9, 0), at + QPointF(0, 9),
                             at + QPointF(-9, 0), at + QPointF(0, -9)}));
  out.push_back(Stroke(path, colour));
  QPainterPath dot;
  dot.addEllipse(at, 1.5, 1.5);
  out.push_back(Stroke(dot, colour, 1, true));
}

// A centre line from `from` to `to`, its pattern starting at `from`.
void AddCentreLine(std::vector<MarkStroke>& out, QPointF from, QPointF to, const QColor& colour) {
  if (QLineF(from, to).length() < 0.5) return;
  QPainterPath path(from);
  path.lineTo(to);
  MarkStroke line = Stroke(path, colour, 1);
  line.Thin = true;
  out.push_back(std::move(line));
}

// An axis from `from` to `tip` through `centre`, whose filled head ends at the tip. The shaft
// is a centre line drawn out from the centre both ways, so the centre itself lies on a dash.
void AddArrow(std::vector<MarkStroke>& out, QPointF from, QPointF tip, const QColor& colour,
              std::optional<QPointF> centre = std::nullopt) {
  const QLineF line(from, tip);
  if (line.length() < 1) return;
  const QPointF u = (tip - from) / line.length();
  const QPointF n(-u.y(), u.x());
  const double head = std::min(12.0, line.length() / 2);
  const QPointF base = tip - u * head;
  const QPointF middle = centre.value_or(from);
  AddCentreLine(out, middle, base, colour);
  AddCentreLine(out, middle, from, colour);
  QPainterPath triangle;
  triangle.addPolygon(QPolygonF({tip, base + n * 5, base - n * 5, tip}));
  out.push_back(Stroke(triangle, colour, 1, true));
}

// Where the ray from `p` along `d` leaves `r` (p inside r): the distance along d.
double RayExit(QPointF p, QPointF d, const QRectF& r) {
  double t = 1e9;
  if (d.x() > 1e-12) t = std::min(t, (r.right() - p.x()) / d.x());
  if (d.x() < -1e-12) t = std::min(t, (r.left() - p.x()) / d.x());
  if (d.y() > 1e-12) t = std::min(t, (r.bottom() - p.y()) / d.y());
  if (d.y() < -1e-12) t = std::min(t, (r.top() - p.y()) / d.y());
  return std::max(t, 0.0);
}

// The point of the segment from -> to nearest `to` that lies in `r`, or nothing when the segment
// misses it (Liang-Barsky clipping).
std::optional<QPointF> LastPointInside(QPointF from, QPointF to, const QRectF& r) {
  const QPointF d = to - from;
  double t0 = 0;
  double t1 = 1;
  const std::array<std::pair<double, double>, 4> sides{
      std::pair{-d.x(), from.x() - r.left()}, std::pair{d.x(), r.right() - from.x()},
      std::pair{-d.y(), from.y() - r.top()}, std::pair{d.y(), r.bottom() - from.y()}};
  for (const auto& [p, q] : sides) {
    if (p == 0) {
      if (q < 0) return std::nullopt;
    } else if (p < 0) {
      t0 = std::max(t0, q / p);
    } else {
      t1 = std::min(t1, q / p);
    }
  }
  if (t0 > t1) return std::nullopt;
  return from + d * t1;
}

bool Crosses(const QLineF& line, const QRectF& r) {
  if (r.contains(line.p1()) || r.contains(line.p2())) return true;
  const std::array<QLineF, 4> edges{
      QLineF(r.topLeft(), r.topRight()), QLineF(r.topRight(), r.bottomRight()),
      QLineF(r.bottomRight(), r.bottomLeft()), QLineF(r.bottomLeft(), r.topLeft())};
  return std::any_of(edges.begin(), edges.end(), [&line](const QLineF& edge) {
    return line.intersects(edge, nullptr) == QLineF::BoundedIntersection;
  });
}

// A label to place: its text, colour, the point it names and the way it would rather go.
struct Label {
  QString Text;
  QColor Colour;
  QPointF Anchor;
  QPointF Preferred;  // unit vector
  double Clearance;   // keep this far from the anchor (the mark's radius)
};

// Places each label in turn on the free side of its anchor: the candidate positions turn away
// from the preferred direction step by step and move further out, and the first one that covers
// no earlier label, no mark and no line (and stays in view) wins; failing that the least bad.
std::vector<QRectF> PlaceLabels(const std::vector<Label>& labels, const QFontMetricsF& metrics,
                                const std::vector<QRectF>& marks, const std::vector<QLineF>& lines,
                                const QRectF& view) {
  static constexpr std::array<double, 8> kTurns{0, 45, -45, 90, -90, 135, -135, 180};
  std::vector<QRectF> placed;
  for (const Label& label : labels) {
    const QRectF text = metrics.tightBoundingRect(label.Text).adjusted(-2, -2, 2, 2);
    const double w = text.width();
    const double h = text.height();
    QRectF best;
    double bestCost = 1e18;
    for (int ring = 0; ring < 3 && bestCost > 0; ++ring) {
      for (std::size_t k = 0; k < kTurns.size(); ++k) {
        const double a = kTurns[k] * std::numbers::pi / 180;
        const QPointF u(label.Preferred.x() * std::cos(a) - label.Preferred.y() * std::sin(a),
                        label.Preferred.x() * std::sin(a) + label.Preferred.y() * std::cos(a));
        const double reach = label.Clearance + kLabelGap + ring * 14 + std::abs(u.x()) * w / 2 +
                             std::abs(u.y()) * h / 2;
        const QPointF centre = label.Anchor + u * reach;
        const QRectF rect(centre.x() - w / 2, centre.y() - h / 2, w, h);
        double cost = ring * 3 + static_cast<double>(k);
        for (const QRectF& other : placed) cost += rect.intersects(other) ? 10000 : 0;
        for (const QRectF& mark : marks) cost += rect.intersects(mark) ? 5000 : 0;
        for (const QLineF& line : lines) cost += Crosses(line, rect) ? 1000 : 0;
        if (!view.contains(rect)) cost += 200;
        if (cost < bestCost) {
          bestCost = cost;
          best = rect;
        }
        if (cost < 100 && k == 0) break;  // the preferred place is free
      }
      if (bestCost < 100) break;
    }
    placed.push_back(best);
  }
  return placed;
}

}  // namespace

QColor HaloColour(const QColor& colour) {
  // Luma with the Rec. 601 weights: light marks get a dark outline, dark ones a white one.
  const double luminance = 0.299 * colour.redF() + 0.587 * colour.greenF() + 0.114 * colour.blueF();
  return luminance > 0.55 ? QColor(0x20, 0x20, 0x20) : QColor(Qt::white);
}

std::vector<MarkStroke> SymbolStrokes(MarkShape shape, QPointF at, const QColor& colour) {
  std::vector<MarkStroke> strokes;
  switch (shape) {
    case MarkShape::Circle:
      AddCircle(strokes, at, colour);
      break;
    case MarkShape::Disc:
      AddDisc(strokes, at, colour);
      break;
    case MarkShape::Diamond:
      AddDiamond(strokes, at, colour);
      break;
    case MarkShape::Arrow:
      AddArrow(strokes, at - QPointF(11, 0), at + QPointF(11, 0), colour);
      break;
    case MarkShape::Frame: {
      QPainterPath path;
      path.addRect(QRectF(at - QPointF(10, 6), at + QPointF(10, 6)));
      MarkStroke frame = Stroke(path, colour);
      frame.Style = Qt::DashLine;
      strokes.push_back(std::move(frame));
      break;
    }
  }
  return strokes;
}

void PaintStrokes(QPainter& painter, const std::vector<MarkStroke>& strokes) {
  // A pen drawing a centre line's pattern at `width`: Qt counts dashes in pen widths.
  const auto centrePen = [](QColor colour, double width) {
    QPen pen(colour, width, Qt::CustomDashLine, Qt::FlatCap, Qt::MiterJoin);
    QList<qreal> pattern;
    for (const double length : kCentreLine) pattern.append(length / width);
    pen.setDashPattern(pattern);
    return pen;
  };
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing, true);
  for (const MarkStroke& s : strokes) {
    QColor halo = HaloColour(s.Colour);
    if (s.Thin) {
      halo.setAlpha(kThinHaloAlpha);
      painter.setPen(centrePen(halo, s.Width + 2 * kThinHaloExtra));
      painter.setBrush(Qt::NoBrush);
    } else {
      painter.setPen(
          QPen(halo, s.Width + 2 * kHaloExtra, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
      painter.setBrush(s.Filled ? QBrush(halo) : QBrush(Qt::NoBrush));
    }
    painter.drawPath(s.Path);
  }
  for (const MarkStroke& s : strokes) {
    // Crisp: a one-pixel line smoothed would tint two pixels instead of covering one.
    painter.setRenderHint(QPainter::Antialiasing, !s.Thin);
    painter.setPen(s.Thin ? centrePen(s.Colour, s.Width)
                          : QPen(s.Colour, s.Width, s.Style, Qt::FlatCap, Qt::MiterJoin));
    painter.setBrush(s.Filled ? QBrush(s.Colour) : QBrush(Qt::NoBrush));
    painter.drawPath(s.Path);
  }
  painter.restore();
}

SectionCanvas::SectionCanvas(QWidget* parent) : QAbstractScrollArea(parent) {
  setObjectName("SectionCanvas");
  setFrameShape(QFrame::NoFrame);
  setFocusPolicy(Qt::StrongFocus);
  viewport()->setMouseTracking(true);
  viewport()->setAttribute(Qt::WA_OpaquePaintEvent, true);
  horizontalScrollBar()->setSingleStep(40);
  verticalScrollBar()->setSingleStep(40);
}

void SectionCanvas::SetPicture(const QImage& image) {
  const bool resized = image.size() != mImage.size();
  mImage = image;
  if (resized || mFitted) {
    Fit();
  } else {
    ClampOrigin();
    SyncScrollBars();
    viewport()->update();
  }
}

void SectionCanvas::SetScene(SectionScene scene) {
  mScene = std::move(scene);
  viewport()->update();
}

QPointF SectionCanvas::ScreenOf(PicturePoint at) const {
  return mOrigin + QPointF(at.x, at.y) * mScale;
}

PicturePoint SectionCanvas::PictureOf(QPointF screen) const {
  const QPointF p = (screen - mOrigin) / mScale;
  return {p.x(), p.y()};
}

void SectionCanvas::Fit() {
  mFitted = true;
  if (!mImage.isNull()) {
    const QSizeF room = QSizeF(maximumViewportSize()) - QSizeF(2 * kMargin, 2 * kMargin);
    mScale = std::clamp(std::min(room.width() / mImage.width(), room.height() / mImage.height()),
                        1e-4, kMaxScale);
  }
  ClampOrigin();
  SyncScrollBars();
  viewport()->update();
}

void SectionCanvas::ZoomAt(QPointF at, double factor) {
  if (mImage.isNull()) return;
  const PicturePoint under = PictureOf(at);
  // No smaller than a quarter of the fitted size: the picture never shrinks to a dot.
  const QSizeF room = QSizeF(maximumViewportSize()) - QSizeF(2 * kMargin, 2 * kMargin);
  const double smallest =
      std::min(1.0, std::min(room.width() / mImage.width(), room.height() / mImage.height())) / 4;
  mScale = std::clamp(mScale * factor, std::max(smallest, 1e-4), kMaxScale);
  mOrigin = at - QPointF(under.x, under.y) * mScale;
  mFitted = false;
  ClampOrigin();
  SyncScrollBars();
  viewport()->update();
  if (OnPointer) OnPointer(PointerAt());
}

void SectionCanvas::ZoomBy(double factor) { ZoomAt(QRectF(viewport()->rect()).center(), factor); }

void SectionCanvas::ClampOrigin() {
  if (mImage.isNull()) return;
  const QSizeF view = viewport()->size();
  const QSizeF picture = QSizeF(mImage.size()) * mScale;
  const auto clamp = [](double origin, double viewLength, double pictureLength) {
    if (pictureLength + 2 * kMargin <= viewLength) return (viewLength - pictureLength) / 2;
    return std::clamp(origin, viewLength - kMargin - pictureLength, kMargin);
  };
  mOrigin = {clamp(mOrigin.x(), view.width(), picture.width()),
             clamp(mOrigin.y(), view.height(), picture.height())};
}

void SectionCanvas::SyncScrollBars() {
  const QSizeF view = viewport()->size();
  const QSizeF content = QSizeF(mImage.size()) * mScale + QSizeF(2 * kMargin, 2 * kMargin);
  mSyncing = true;
  const auto sync = [](QScrollBar* bar, double contentLength, double viewLength, double origin) {
    const int range = static_cast<int>(std::ceil(std::max(0.0, contentLength - viewLength)));
    bar->setRange(0, range);
    bar->setPageStep(static_cast<int>(viewLength));
    bar->setValue(static_cast<int>(std::lround(kMargin - origin)));
  };
  sync(horizontalScrollBar(), content.width(), view.width(), mOrigin.x());
  sync(verticalScrollBar(), content.height(), view.height(), mOrigin.y());
  mSyncing = false;
}

void SectionCanvas::scrollContentsBy(int, int) {
  if (mSyncing) return;
  // The user moved a scroll bar (dragged, clicked, arrow keys): its value is the content's
  // offset, margin included.
  mOrigin = {kMargin - horizontalScrollBar()->value(), kMargin - verticalScrollBar()->value()};
  mFitted = false;
  ClampOrigin();
  viewport()->update();
}

void SectionCanvas::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  if (mFitted) {
    Fit();
  } else {
    ClampOrigin();
    SyncScrollBars();
  }
}

void SectionCanvas::wheelEvent(QWheelEvent* event) {
  const double notches = event->angleDelta().y() / 120.0;
  if (notches != 0) ZoomAt(event->position(), std::pow(kWheelStep, notches));
  event->accept();
}

void SectionCanvas::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  mDragFrom = event->position();
  mDragOrigin = mOrigin;
  viewport()->setCursor(Qt::ClosedHandCursor);
}

void SectionCanvas::mouseMoveEvent(QMouseEvent* event) {
  if (mDragFrom && (event->buttons() & Qt::LeftButton)) {
    mOrigin = mDragOrigin + (event->position() - *mDragFrom);
    mFitted = false;
    ClampOrigin();
    SyncScrollBars();
    viewport()->update();
  }
  ReportPointer(event->position());
}

void SectionCanvas::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  mDragFrom.reset();
  viewport()->unsetCursor();
}

void SectionCanvas::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Plus:
    case Qt::Key_Equal:
      ZoomBy(kWheelStep * kWheelStep);
      break;
    case Qt::Key_Minus:
      ZoomBy(1 / (kWheelStep * kWheelStep));
      break;
    case Qt::Key_0:
    case Qt::Key_F:
      Fit();
      break;
    default:
      // Arrow keys and page keys move the scroll bars.
      QAbstractScrollArea::keyPressEvent(event);
  }
}

bool SectionCanvas::viewportEvent(QEvent* event) {
  if (event->type() == QEvent::Leave && OnPointer) OnPointer(std::nullopt);
  return QAbstractScrollArea::viewportEvent(event);
}

std::optional<PicturePoint> SectionCanvas::PointerAt() const {
  const QPoint at = viewport()->mapFromGlobal(QCursor::pos());
  if (mImage.isNull() || !viewport()->rect().contains(at)) return std::nullopt;
  return PictureOf(at);
}

void SectionCanvas::ReportPointer(QPointF at) {
  if (!OnPointer) return;
  if (viewport()->rect().contains(at.toPoint()) && !mImage.isNull()) {
    OnPointer(PictureOf(at));
  } else {
    OnPointer(std::nullopt);
  }
}

void SectionCanvas::paintEvent(QPaintEvent*) {
  QPainter painter(viewport());
  painter.fillRect(viewport()->rect(), kBackground);
  if (mImage.isNull()) return;
  PaintPicture(painter);
  PaintScene(painter);
}

void SectionCanvas::PaintPicture(QPainter& painter) const {
  // Only the pixels in view are drawn, so a huge picture pans as fast as a small one; nearest
  // neighbour keeps zoomed pixels crisp squares.
  const PicturePoint first = PictureOf({0, 0});
  const PicturePoint last = PictureOf(QPointF(viewport()->width(), viewport()->height()));
  const int x0 = std::clamp(static_cast<int>(std::floor(first.x)), 0, mImage.width());
  const int y0 = std::clamp(static_cast<int>(std::floor(first.y)), 0, mImage.height());
  const int x1 = std::clamp(static_cast<int>(std::ceil(last.x)), 0, mImage.width());
  const int y1 = std::clamp(static_cast<int>(std::ceil(last.y)), 0, mImage.height());
  if (x1 <= x0 || y1 <= y0) return;
  const QRect source(x0, y0, x1 - x0, y1 - y0);
  const QRectF target(ScreenOf({static_cast<double>(x0), static_cast<double>(y0)}),
                      QSizeF(source.size()) * mScale);
  painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
  painter.drawImage(target, mImage, source);
}

void SectionCanvas::PaintScene(QPainter& painter) const {
  std::vector<MarkStroke> strokes;
  std::vector<QRectF> markBoxes;
  std::vector<QLineF> lines;
  std::vector<Label> labels;
  const SectionScene& s = mScene;
  PaintOutlines(painter, s.Outlines, QTransform(mScale, 0, 0, mScale, mOrigin.x(), mOrigin.y()));

  std::optional<QRectF> box;
  if (s.Frame) {
    box = QRectF(Snapped(ScreenOf({s.Frame->left(), s.Frame->top()})),
                 Snapped(ScreenOf({s.Frame->right(), s.Frame->bottom()})));
    QPainterPath path;
    path.addRect(*box);
    MarkStroke frame = Stroke(path, s.AxesColour);
    frame.Style = Qt::DashLine;
    strokes.push_back(std::move(frame));
    lines.insert(
        lines.end(),
        {QLineF(box->topLeft(), box->topRight()), QLineF(box->topRight(), box->bottomRight()),
         QLineF(box->bottomRight(), box->bottomLeft()), QLineF(box->bottomLeft(), box->topLeft())});
  }

  if (s.Marks && box) {
    const SectionMarks& m = *s.Marks;
    // Whole screen pixels, so the horizontal and vertical axes stay sharp one-pixel lines.
    const QPointF nc = Snapped(ScreenOf(m.NC));
    const QRectF reach = box->adjusted(-kAxisReach, -kAxisReach, kAxisReach, kAxisReach);
    const QRectF named =
        QRectF(viewport()->rect()).adjusted(kNameInset, kNameInset, -kNameInset, -kNameInset);
    const auto addAxis = [&](const SectionAxis& axis, const QColor& colour) {
      const QPointF d(axis.Direction.x, axis.Direction.y);
      const QPointF tip = nc + d * RayExit(nc, d, reach);
      const QPointF tail = nc - d * RayExit(nc, -d, reach);
      AddArrow(strokes, tail, tip, colour, nc);
      lines.emplace_back(tail, tip);
      if (axis.Name.empty()) return;
      // Zoomed in, the tip may be out of view: the name then goes where the axis leaves it.
      if (const std::optional<QPointF> end = LastPointInside(tail, tip, named)) {
        labels.push_back({QString::fromStdString(axis.Name), colour, *end, d, 2});
      }
    };
    for (const SectionAxis& axis : m.Principal) addAxis(axis, s.PrincipalColour);
    addAxis(m.Y, s.AxesColour);
    addAxis(m.Z, s.AxesColour);

    constexpr double kDiagonal = std::numbers::sqrt2 / 2;
    const QPointF upRight(kDiagonal, -kDiagonal);
    AddCircle(strokes, nc, s.AxesColour);
    markBoxes.emplace_back(nc - QPointF(9, 9), nc + QPointF(9, 9));
    labels.push_back({"NC", s.AxesColour, nc, upRight, 9});
    if (m.MC) {
      const QPointF mc = ScreenOf(*m.MC);
      AddDisc(strokes, mc, s.MassCentreColour);
      markBoxes.emplace_back(mc - QPointF(6, 6), mc + QPointF(6, 6));
      labels.push_back({"MC", s.MassCentreColour, mc, QPointF(kDiagonal, kDiagonal), 6});
    }
    if (m.SC) {
      const QPointF sc = ScreenOf(*m.SC);
      AddDiamond(strokes, sc, s.ShearCentreColour);
      markBoxes.emplace_back(sc - QPointF(11, 11), sc + QPointF(11, 11));
      labels.push_back({"SC", s.ShearCentreColour, sc, QPointF(-kDiagonal, -kDiagonal), 11});
    }
  }

  PaintStrokes(painter, strokes);
  if (labels.empty()) return;

  const QFontMetricsF metrics(s.LabelFont);
  const std::vector<QRectF> places =
      PlaceLabels(labels, metrics, markBoxes, lines, QRectF(viewport()->rect()));
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing, true);
  for (std::size_t i = 0; i < labels.size(); ++i) {
    const Label& label = labels[i];
    const QRectF tight = metrics.tightBoundingRect(label.Text);
    // The text's own box sits 2 pixels inside its place.
    const QPointF baseline = places[i].topLeft() + QPointF(2, 2) - tight.topLeft();
    QPainterPath path;
    path.addText(baseline, s.LabelFont, label.Text);
    painter.setPen(QPen(HaloColour(label.Colour), 2 * kHaloExtra + 0.5, Qt::SolidLine, Qt::RoundCap,
                        Qt::RoundJoin));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(path);
    painter.setPen(Qt::NoPen);
    painter.setBrush(label.Colour);
    painter.drawPath(path);
  }
  painter.restore();
}

}  // namespace qv
