// The stretched picture view.
#include "gui/picture_view.h"

#include <QMouseEvent>
#include <QPainter>
#include <QTransform>

#include "gui/drawing_outlines.h"

namespace qv {

PictureView::PictureView(QWidget* parent) : QWidget(parent) { setMouseTracking(true); }

void PictureView::SetImage(const QImage& image) {
  if (image.isNull()) {
    mScaled = QPixmap();
  } else {
    // Nearest-neighbour scaling keeps flat colours flat and thin lines visible.
    mScaled = QPixmap::fromImage(
        image.scaled(width(), height(), Qt::IgnoreAspectRatio, Qt::FastTransformation));
  }
  setAttribute(Qt::WA_OpaquePaintEvent, !mScaled.isNull());
  update();
}

void PictureView::SetOutlines(const QPainterPath& cells, QSize pictureSize) {
  if (cells == mOutlines && pictureSize == mOutlinesOf) return;
  mOutlines = cells;
  mOutlinesOf = pictureSize;
  update();
}

void PictureView::paintEvent(QPaintEvent*) {
  if (mScaled.isNull()) return;
  QPainter painter(this);
  painter.drawPixmap(0, 0, mScaled);
  if (mOutlines.isEmpty() || mOutlinesOf.isEmpty()) return;
  // Stretched as the picture is, at the screen's own resolution.
  PaintOutlines(painter, mOutlines,
                QTransform::fromScale(static_cast<double>(width()) / mOutlinesOf.width(),
                                      static_cast<double>(height()) / mOutlinesOf.height()));
}

void PictureView::mouseMoveEvent(QMouseEvent* event) {
  if (OnMouseMove) OnMouseMove(event->position().toPoint().x(), event->position().toPoint().y());
}

void PictureView::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::RightButton && OnRightButton) OnRightButton();
}

void PictureView::mouseDoubleClickEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && OnDoubleClick) {
    OnDoubleClick();
    return;
  }
  // Any other double click counts as the press it also is, as it always did.
  QWidget::mouseDoubleClickEvent(event);
}

}  // namespace qv
