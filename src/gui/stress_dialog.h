// The dialog "Stresses": the actions on the section (remembered in the settings), the field the
// map shows, the computation with a progress bar and Cancel, the extremes as text, and Copy and
// Save.
#pragma once

#include <QDialog>
#include <QElapsedTimer>
#include <array>
#include <atomic>
#include <cstdint>
#include <functional>

#include "core/elastic/stress_field.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;

namespace qv {

class SectionSession;

/// Modal dialog over the window's session. A solve, when shear forces or a torque need one, runs
/// on the window's thread as the torsion dialog's does: its progress callback steps the bar and
/// pumps events, so Cancel gets through while the session is used from one thread only.
class StressDialog : public QDialog {
  Q_OBJECT
 public:
  /// What the window does around the dialog's work.
  struct Hooks {
    /// A solve read the picture again or changed the extended values: the window draws its
    /// result overlay again.
    std::function<void()> pictureChanged;
    /// A computation starts (true) or ends (false): the window ignores its own commands meanwhile.
    std::function<void(bool busy)> setBusy;
    /// Stresses were computed, or the field to show changed: the window shows the map.
    std::function<void()> showMap;
    /// The graphics font and the resolution the saved map's labels are sized for.
    std::function<GraphicsFont()> font;
  };

  StressDialog(SectionSession& session, Hooks hooks, QWidget* parent = nullptr);

  // Controls by their objectName.
  /// N, My, Mz, Vy, Vz, T in this order, named as the sign convention names them ("NEdit",
  /// "MyEdit", ...: the names the user reads).
  std::array<QLineEdit*, 6> ActionEdits{};
  QComboBox* FieldBox = nullptr;  ///< sigma, tau, von Mises
  QPushButton* ComputeButton = nullptr;
  QPushButton* CancelButton = nullptr;  ///< enabled only while a solve runs
  QProgressBar* ProgressBar = nullptr;
  QLabel* StatusLabel = nullptr;
  QPlainTextEdit* ValuesMemo = nullptr;  ///< the text block, or empty before a computation
  QPushButton* CopyButton = nullptr;     ///< enabled while stresses are shown
  QPushButton* SaveButton = nullptr;     ///< likewise
  QPushButton* CloseButton = nullptr;

  /// Reads the actions (an empty field is 0), remembers them in the settings and computes;
  /// a text that is not a number, or a refusal of the session, is shown as an error.
  void ComputeButtonClick();
  void CancelButtonClick();
  /// Puts the text block on the clipboard through the injected shell (CR LF line ends).
  void CopyButtonClick();
  /// Saves the map of the chosen field as a PNG or BMP file chosen by the user, never over the
  /// picture itself.
  void SaveButtonClick();
  /// The field chosen in FieldBox.
  StressKind Field() const;
  bool Computing() const { return mComputing; }

 protected:
  /// While a solve runs, closing (Escape, the title bar) cancels it instead.
  void reject() override;

 private:
  void FieldChanged();
  void ShowValues();
  void EnableControls();
  void Progress(std::int64_t done, std::int64_t total);

  SectionSession& mSession;
  Hooks mHooks;
  std::atomic<bool> mCancel{false};
  bool mComputing = false;
  QElapsedTimer mLastPump;
};

}  // namespace qv
