// Image1: shows the picture stretched to fill its square and reports the mouse over it.
#pragma once

#include <QImage>
#include <QPainterPath>
#include <QPixmap>
#include <QSize>
#include <QWidget>
#include <functional>

namespace qv {

class PictureView : public QWidget {
  Q_OBJECT
 public:
  explicit PictureView(QWidget* parent = nullptr);

  /// Shows `image` stretched to the view; a null image shows nothing (the panel behind shows).
  void SetImage(const QImage& image);
  bool HasImage() const { return !mScaled.isNull(); }
  /// Draws `cells` (a drawing's outlines in the cell coordinates of a picture of `pictureSize`)
  /// as thin lines over the stretched image; an empty path draws none.
  void SetOutlines(const QPainterPath& cells, QSize pictureSize);
  const QPainterPath& Outlines() const { return mOutlines; }

  std::function<void(int x, int y)> OnMouseMove;
  std::function<void()> OnRightButton;
  /// A double click with the left button.
  std::function<void()> OnDoubleClick;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private:
  QPixmap mScaled;  // scaled once per change: large pictures are not rescaled at every paint
  QPainterPath mOutlines;
  QSize mOutlinesOf;  // the picture size the outlines' cells count in
};

}  // namespace qv
