// The dialog "Resistance": each material's stress-strain law and strengths (kept in the
// library), the axial force, the computation with a progress bar and Cancel, the block of the
// report and the interaction and moment-curvature diagrams, Copy and Save diagram.
#pragma once

#include <QImage>
#include <functional>

#include "core/section/overlay.h"
#include "gui/solve_dialog.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QTableWidget;
class QTableWidgetItem;

namespace qv {

class SectionSession;

/// Modal dialog over the window's session. The resistance is computed on a thread of its own
/// while the window's thread pumps its events; the session is left unchanged meanwhile (the
/// window is busy, the dialog's controls disabled); Cancel stops the computation between its
/// points and drops its outcome.
class ResistanceDialog : public SolveDialog {
  Q_OBJECT
 public:
  /// What the window does around the dialog's work.
  struct Hooks {
    /// A law or strength change dropped the extended values: the window draws its result
    /// overlay again (without the shear centre's marker).
    std::function<void()> pictureChanged;
    /// A computation starts (true) or ends (false): the window ignores its own commands meanwhile.
    std::function<void(bool busy)> setBusy;
    /// The graphics font of the diagrams' labels.
    std::function<GraphicsFont()> font;
  };

  ResistanceDialog(SectionSession& session, Hooks hooks, QWidget* parent = nullptr);

  // Controls by their objectName.
  /// A row per material in use: colour, name, E, law, fc, ft; the law and the strengths editable.
  QTableWidget* LawTable = nullptr;
  QLineEdit* NEdit = nullptr;               ///< the axial force N in kN, tension positive
  QCheckBox* MomentCurvatureBox = nullptr;  ///< also the moment-curvature
  QLabel* DiagramLabel = nullptr;           ///< the diagrams, once computed
  QPushButton* SaveButton = nullptr;        ///< "Save diagram ...", enabled with the diagrams

  /// Reads N (empty is 0) and computes the resistance with the interaction (and the
  /// moment-curvature when asked); a text that is not a number, or a refusal of the session, is
  /// shown as an error.
  void ComputeButtonClick();
  /// Puts the text block on the clipboard through the injected shell (CR LF line ends).
  void CopyButtonClick();
  /// Saves the diagrams as a PNG or BMP file chosen by the user, never over the picture itself.
  void SaveButtonClick();
  /// The diagrams as last drawn (null before a computation).
  const QImage& Diagram() const { return mDiagram; }

 private:
  void FillTable();
  void TableChanged(QTableWidgetItem* item);
  void ShowValues();
  void EnableControls() override;
  OverlayOps DiagramOps() const;

  Hooks mHooks;
  QImage mDiagram;
  bool mFilling = false;
};

}  // namespace qv
