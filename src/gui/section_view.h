// The "Section view" window: the section in true proportions with its centres and axes drawn
// crisply over it, a legend and the pointer's position in mm, pixels and material.
#pragma once

#include <QHash>
#include <QImage>
#include <QPainterPath>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <optional>

#include "core/section/overlay.h"

class QAction;
class QHBoxLayout;
class QLabel;
class QToolBar;

namespace qv {

class SectionCanvas;
class SectionSession;

/// A non-modal window over the main window's session. It reads the session only in Refresh, so
/// it paints and answers the pointer from its own copy while the session is busy.
class SectionViewWindow : public QWidget {
  Q_OBJECT
 public:
  /// `resultsShown` tells whether the main window shows the result overlay: the marks of the
  /// analysis are drawn exactly then. `scaleNote` gives the scale the typed sizes give the
  /// section, for the legend (empty while there is none).
  SectionViewWindow(const SectionSession& session, std::function<bool()> resultsShown,
                    std::function<QString()> scaleNote = {}, QWidget* parent = nullptr);

  /// Reads picture, section, results and settings from the session again. The picture is copied
  /// only when its pixels changed; a hidden window waits until it is shown.
  void Refresh();

  /// The status line's text for the picture point `at` (nothing: the pointer is elsewhere).
  QString PointerText(std::optional<PicturePoint> at) const;

  SectionCanvas* Canvas = nullptr;
  QToolBar* Tools = nullptr;
  QAction* FitAction = nullptr;
  QAction* ZoomInAction = nullptr;
  QAction* ZoomOutAction = nullptr;
  QWidget* Legend = nullptr;
  QLabel* StatusLine = nullptr;

 protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  void FillLegend();

  const SectionSession& mSession;
  std::function<bool()> mResultsShown;
  std::function<QString()> mScaleNote;
  QImage mImage;
  std::optional<std::uint64_t> mRevision;  // the session's picture revision mImage copies
  QPainterPath mOutlines;                  // the drawing's outlines over mImage, if any
  SectionBounds mBounds;
  double mDx = 0;  // mm per pixel while the analysis is on show, else 0
  double mDy = 0;
  QHash<QRgb, QString> mMaterials;  // picture colour -> "label name" of the materials in use
  QHBoxLayout* mLegendLayout = nullptr;
};

}  // namespace qv
