// The library browser "Defined properties": lists every material of the library, shows the
// selected one, edits it and deletes materials that are not in use.
#pragma once

#include <QDialog>
#include <QPoint>
#include <functional>

#include "core/library/dd_props.h"
#include "core/library/law_table.h"
#include "core/library/strength_table.h"

class QAction;
class QCheckBox;
class QGroupBox;
class QLabel;
class QListWidget;
class QMenu;
class QPushButton;

namespace qv {

/// Modal browser over a material library. Construction runs FormCreate and FillDefinedList, so
/// the browser is ready to show. Changes go straight into the library.
class TDefaultPropForm : public QDialog {
  Q_OBJECT
 public:
  /// Opens the popup menu at a screen point; the real one runs the menu's own loop, tests
  /// install one that triggers an entry.
  using PopupRunner = std::function<void(QMenu& menu, const QPoint& screenPoint)>;

  explicit TDefaultPropForm(TPROPClass& library, QWidget* parent = nullptr);

  QListWidget* ListBox1 = nullptr;  ///< colorlabel of every material, library order
  QGroupBox* GroupBox1 = nullptr;   ///< "selected properties:"
  QLabel* Label12 = nullptr;        ///< color
  QLabel* Label13 = nullptr;        ///< name
  QLabel* Label14 = nullptr;        ///< E, general number format
  QLabel* Label15 = nullptr;        ///< rho, general number format
  QCheckBox* CheckBox1 = nullptr;   ///< "in use"; shows inUse, not changeable by the user
  QPushButton* BitBtn1 = nullptr;   ///< "Close"
  QMenu* PopupMenu1 = nullptr;
  QAction* Delete1 = nullptr;          ///< "Delete"
  QAction* Editproperties1 = nullptr;  ///< "Edit properties"

  QLabel* LawLabel = nullptr;       ///< the law, "(default)" after one taken from the strengths
  QLabel* StrengthLabel = nullptr;  ///< "fc / ft" in N/mm^2, or "none"

  /// Adds the selected material's stress-strain law and strengths to the details (the browser
  /// grows by their rows); `laws` and `strengths` must outlive the browser.
  void ShowLaws(const LawTable& laws, const StrengthTable& strengths);

  /// Popup disabled, details box hidden.
  void FormCreate();
  /// Refills the list in library order and selects and shows the first material, if any. The
  /// popup is disabled while the list is filled.
  void FillDefinedList();
  /// Shows the selected material; hides the details box when nothing is selected.
  void ListBox1Click();
  /// Edits the selected material.
  void ListBox1DblClick();
  /// The right button opens PopupMenu1 at (browser left + 100, browser top + 20) in screen
  /// coordinates, while the popup is enabled; the selection does not change.
  void ListBox1MouseDown(Qt::MouseButton button);
  /// Refuses a material in use; otherwise asks, deletes it and selects the first remaining one.
  void Delete1Click();
  /// Edits the selected material.
  void Editproperties1Click();
  /// Closes the browser.
  void BitBtn1Click();

  /// True once the list is filled; the popup opens only then.
  bool PopupEnabled() const { return mPopupEnabled; }
  void SetPopupRunner(PopupRunner runner) { mPopupRunner = std::move(runner); }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  /// The library entry of the selected label, or nullptr.
  TPROPRec* SelectedEntry();

  TPROPClass& mLibrary;
  const LawTable* mLaws = nullptr;
  const StrengthTable* mStrengths = nullptr;
  bool mPopupEnabled = false;
  PopupRunner mPopupRunner;
};

}  // namespace qv
