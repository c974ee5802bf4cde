// A picture shown as large as its widget allows while keeping its proportions.
#include "gui/fitted_picture.h"

#include <QPaintEvent>
#include <QPainter>

namespace qv {

FittedPicture::FittedPicture(QWidget* parent) : QWidget(parent) {}

void FittedPicture::SetImage(const QImage& image) {
  mImage = image;
  update();
}

QRect FittedPicture::PictureRect() const {
  if (mImage.isNull()) return {};
  const QSize fitted = mImage.size().scaled(size(), Qt::KeepAspectRatio);
  return QRect(QPoint(0, 0), fitted);
}

void FittedPicture::paintEvent(QPaintEvent*) {
  if (mImage.isNull()) return;
  QPainter painter(this);
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  painter.drawImage(PictureRect(), mImage);
}

}  // namespace qv
