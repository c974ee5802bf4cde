// The dialog "Stresses": the actions on the section (remembered in the settings), the field the
// map shows, the computation with a progress bar and Cancel, the extremes as text, and Copy and
// Save.
#pragma once

#include <array>
#include <functional>

#include "core/elastic/stress_field.h"
#include "core/section/overlay.h"
#include "gui/solve_dialog.h"

class QComboBox;
class QLineEdit;
class QPushButton;

namespace qv {

class SectionSession;

/// Modal dialog over the window's session; a solve, when shear forces or a torque need one, runs
/// on the window's thread (SolveDialog).
class StressDialog : public SolveDialog {
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
  QComboBox* FieldBox = nullptr;      ///< sigma, tau, von Mises
  QPushButton* SaveButton = nullptr;  ///< enabled while stresses are shown, as CopyButton

  /// Reads the actions (an empty field is 0), remembers them in the settings and computes;
  /// a text that is not a number, or a refusal of the session, is shown as an error.
  void ComputeButtonClick();
  /// Puts the text block on the clipboard through the injected shell (CR LF line ends).
  void CopyButtonClick();
  /// Saves the map of the chosen field as a PNG or BMP file chosen by the user, never over the
  /// picture itself.
  void SaveButtonClick();
  /// The field chosen in FieldBox.
  StressKind Field() const;

 private:
  void FieldChanged();
  void ShowValues();
  void EnableControls() override;

  Hooks mHooks;
};

}  // namespace qv
