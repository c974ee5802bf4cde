// A picture shown as large as its widget allows while keeping its proportions.
#pragma once

#include <QImage>
#include <QWidget>

namespace qv {

/// Paints its image scaled to fit the widget, proportions kept, from the top-left corner; the
/// rest of the widget stays in the parent's background.
class FittedPicture : public QWidget {
 public:
  explicit FittedPicture(QWidget* parent = nullptr);

  void SetImage(const QImage& image);
  const QImage& Image() const { return mImage; }
  /// Where the image is painted within the widget (empty for a null image).
  QRect PictureRect() const;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QImage mImage;
};

}  // namespace qv
