// What the torsion and the stresses dialogs share: a computation on the window's thread with a
// progress bar, Cancel and a status line, the values' text block, and Copy and Close.
#pragma once

#include <QDialog>
#include <QString>
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "gui/event_pump.h"

class QBoxLayout;
class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;

namespace qv {

class SectionSession;

/// Modal dialog over the window's session whose work runs on the window's thread: the progress
/// callback steps the bar and pumps events, so Cancel (and every repaint) gets through while the
/// session, which is not thread-safe, is used from one thread only.
class SolveDialog : public QDialog {
  Q_OBJECT
 public:
  // Controls by their objectName.
  QPushButton* ComputeButton = nullptr;
  QPushButton* CancelButton = nullptr;  ///< enabled only while a computation runs
  QProgressBar* ProgressBar = nullptr;
  QLabel* StatusLabel = nullptr;
  QPlainTextEdit* ValuesMemo = nullptr;  ///< the text block, or empty before a computation
  QPushButton* CopyButton = nullptr;     ///< enabled while values are shown
  QPushButton* CloseButton = nullptr;

  /// Asks the running computation to stop at its next step.
  void CancelButtonClick();
  bool Computing() const { return mComputing; }

 protected:
  SolveDialog(SectionSession& session, QWidget* parent);

  /// Adds the row of ComputeButton (with `computeTip`), ProgressBar and CancelButton, and the
  /// StatusLabel under it, to `layout`; Cancel is connected.
  void AddComputeRow(QBoxLayout* layout, const QString& computeTip);
  /// Makes ValuesMemo: read-only, unwrapped, in the fixed-pitch font.
  QPlainTextEdit* MakeValuesMemo();
  /// Makes CopyButton (with `copyTip`) and CloseButton, which closes the dialog.
  void MakeCopyAndClose(const QString& copyTip);

  /// Runs `work` with the progress callback and the cancel flag it is to pass on: the bar at 0,
  /// "Computing ...", the controls disabled and `setBusy` (when set) told before and after.
  /// Returns the text of an exception `work` threw, or nothing.
  std::string Compute(
      const std::function<void(const std::function<void(std::int64_t, std::int64_t)>& progress,
                               const std::atomic<bool>* cancel)>& work,
      const std::function<void(bool busy)>& setBusy);

  /// Enables the controls for the computing state (mComputing).
  virtual void EnableControls() = 0;
  /// While a computation runs, closing (Escape, the title bar) cancels it instead.
  void reject() override;

  SectionSession& mSession;

 private:
  void Progress(std::int64_t done, std::int64_t total);

  std::atomic<bool> mCancel{false};
  bool mComputing = false;
  EventPump mPump;
};

}  // namespace qv
