// Image1: shows the picture stretched to fill its square and reports the mouse over it.
#pragma once

#include <QImage>
#include <QPixmap>
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
};

}  // namespace qv
