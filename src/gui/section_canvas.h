// The section view's canvas: the picture in true proportions, zoomed and panned, with the frame,
// centres and axes drawn over it at screen resolution.
#pragma once

#include <QAbstractScrollArea>
#include <QColor>
#include <QFont>
#include <QImage>
#include <QPainterPath>
#include <QPointF>
#include <QRectF>
#include <QString>
#include <functional>
#include <optional>
#include <vector>

#include "core/section/overlay.h"

class QPainter;

namespace qv {

/// What the canvas draws over the picture.
struct SectionScene {
  std::optional<QRectF> Frame;  ///< the section box in picture coordinates
  /// A drawing's outlines in picture coordinates (OutlinePath), under the marks.
  QPainterPath Outlines;
  std::optional<SectionMarks> Marks;
  QColor AxesColour;  ///< frame, NC, y and z
  QColor MassCentreColour;
  QColor PrincipalColour;
  QColor ShearCentreColour;
  QFont LabelFont;
};

/// The shapes of the marks, also drawn by the legend.
enum class MarkShape { Circle, Disc, Diamond, Arrow, Frame };

/// One line or filled shape of a mark, in screen coordinates.
struct MarkStroke {
  QPainterPath Path;
  QColor Colour;
  double Width = 2;  ///< pen width, screen pixels
  bool Filled = false;
  Qt::PenStyle Style = Qt::SolidLine;  ///< the halo is always solid
  /// A centre line (the shaft of an axis): one pixel, long dash and dot from its start, with a
  /// faint halo along its dashes only, so that a thin part it runs along stays in sight.
  bool Thin = false;
};

/// The strokes of a mark's symbol centred on `at` (the legend's swatches).
std::vector<MarkStroke> SymbolStrokes(MarkShape shape, QPointF at, const QColor& colour);
/// Paints the strokes with their halos: every halo first, so a halo never covers another mark.
void PaintStrokes(QPainter& painter, const std::vector<MarkStroke>& strokes);
/// The outline drawn under a mark of `colour` so it shows on any picture colour: dark under light
/// marks, white under dark ones.
QColor HaloColour(const QColor& colour);

class SectionCanvas : public QAbstractScrollArea {
  Q_OBJECT
 public:
  explicit SectionCanvas(QWidget* parent = nullptr);

  /// Shows `image`; a picture of another size than the last one is fitted to the view, one of the
  /// same size (a reload) keeps the zoom and position. A null image shows nothing.
  void SetPicture(const QImage& image);
  const QImage& Picture() const { return mImage; }
  void SetScene(SectionScene scene);
  const SectionScene& Scene() const { return mScene; }

  /// Screen pixels per picture pixel, the same both ways.
  double Scale() const { return mScale; }
  /// Viewport position of a picture point and the other way round.
  QPointF ScreenOf(PicturePoint at) const;
  PicturePoint PictureOf(QPointF screen) const;

  /// The whole picture, centred, as large as the viewport allows.
  void Fit();
  bool Fitted() const { return mFitted; }
  /// Zooms by `factor` keeping the picture point under the viewport position `at` in place.
  void ZoomAt(QPointF at, double factor);
  /// Zooms by `factor` about the viewport's centre.
  void ZoomBy(double factor);

  /// The picture point under the mouse pointer, or nothing when it is not over the picture's
  /// viewport.
  std::optional<PicturePoint> PointerAt() const;
  /// The picture point under the pointer, or nothing when the pointer left the viewport.
  std::function<void(std::optional<PicturePoint>)> OnPointer;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;
  bool viewportEvent(QEvent* event) override;

 private:
  void PaintPicture(QPainter& painter) const;
  void PaintScene(QPainter& painter) const;
  /// Keeps the picture centred where it is smaller than the viewport and in reach elsewhere.
  void ClampOrigin();
  void SyncScrollBars();
  void ReportPointer(QPointF at);

  QImage mImage;
  SectionScene mScene;
  double mScale = 1;
  QPointF mOrigin;  // viewport position of the picture's upper-left corner
  bool mFitted = true;
  bool mSyncing = false;  // scroll bar values being set from mOrigin
  std::optional<QPointF> mDragFrom;
  QPointF mDragOrigin;
};

}  // namespace qv
