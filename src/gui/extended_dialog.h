// The dialog "Torsion and section moduli": the extended values of the last analysis, computed on
// request with a progress bar and Cancel, the materials' Poisson's ratios, and a copy button.
#pragma once

#include <functional>

#include "gui/solve_dialog.h"

class QTableWidget;
class QTabWidget;
class QTableWidgetItem;

namespace qv {

/// Modal dialog over the window's session; the solve runs on the window's thread (SolveDialog).
class ExtendedDialog : public SolveDialog {
  Q_OBJECT
 public:
  /// What the window does around the dialog's work.
  struct Hooks {
    /// The session's picture or shear centre changed (a solve read the picture again, a result
    /// came or went): the window draws the result overlay again.
    std::function<void()> pictureChanged;
    /// A solve starts (true) or ends (false): the window ignores its own commands meanwhile.
    std::function<void(bool busy)> setBusy;
  };

  /// Columns of PoissonTable; the strengths in compression and tension (N/mm^2) follow G.
  enum Column {
    kLabelColumn,
    kNameColumn,
    kEColumn,
    kNuColumn,
    kGColumn,
    kFcColumn,
    kFtColumn,
    kColumns
  };

  /// Columns of DesignTable: symbol, value in N and mm, unit, value in the units tables use
  /// (cm^3, cm^6, kNm; empty where tables keep N and mm), unit, meaning.
  enum DesignColumn {
    kSymbolColumn,
    kValueColumn,
    kUnitColumn,
    kTableValueColumn,
    kTableUnitColumn,
    kMeaningColumn,
    kDesignColumns
  };

  ExtendedDialog(SectionSession& session, Hooks hooks, QWidget* parent = nullptr);

  // Controls by their objectName.
  /// One row per material in use; nu and the strengths fc and ft are editable.
  QTableWidget* PoissonTable = nullptr;
  /// The design values (warping constant, shear stiffnesses, moduli, plastic moments) one a row.
  QTableWidget* DesignTable = nullptr;
  QTabWidget* ValuesTabs = nullptr;  ///< "all values" (ValuesMemo), "design values" (DesignTable)

  /// Solves the last analysis; errors are shown through Prompts().Error.
  void ComputeButtonClick();
  /// Puts the text block on the clipboard through the injected shell.
  void CopyButtonClick();
  /// A typed Poisson's ratio: validated, stored in the session (saved with the library at exit),
  /// and the computed values dropped when it changed. A text that is not a valid ratio is shown
  /// as an error and the cell gets its old value back.
  void PoissonTableChanged(QTableWidgetItem* item);
  /// A typed strength (fc or ft): stored in the session (saved with the library's [strength]
  /// section at exit), and the computed values dropped when it changed. An empty cell takes the
  /// material's strength away, both ways; a value typed in a row without a strength holds both
  /// ways until the other cell is changed. A refused text is shown as an error and both cells
  /// get the stored values back.
  void StrengthChanged(QTableWidgetItem* item);

 private:
  void FillTable();
  void ShowValues();
  void EnableControls() override;
  /// Shows `text` in the status line, with a note when the shear centre lies off the picture.
  void SetStatus(const QString& text);

  Hooks mHooks;
  bool mFilling = false;
};

}  // namespace qv
