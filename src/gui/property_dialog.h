// The property dialog: edits the name, E and rho of one material.
#pragma once

#include <QDialog>
#include <QString>

#include "core/library/dd_props.h"

class QKeyEvent;
class QLabel;
class QLineEdit;
class QPushButton;

namespace qv {

class TNumberEdit;

/// Modal dialog "Properties:" for one material: name (Edit1), E (NumberEdit1, N/mm^2) and rho
/// (NumberEdit2, kg/m^3). OK (BitBtn1) accepts only what MaterialInputProblem takes; Cancel
/// (BitBtn2, also Escape) rejects.
class TPropForm : public QDialog {
  Q_OBJECT
 public:
  explicit TPropForm(QWidget* parent = nullptr);

  QLabel* Label1 = nullptr;  ///< "Material Name"
  QLineEdit* Edit1 = nullptr;
  QLabel* Label2 = nullptr;  ///< "Modulus of Elasticity"
  QLabel* Label3 = nullptr;  ///< "N/mm^2"
  TNumberEdit* NumberEdit1 = nullptr;
  QLabel* Label4 = nullptr;  ///< "Mass density"
  QLabel* Label5 = nullptr;  ///< "kg/m^3"
  TNumberEdit* NumberEdit2 = nullptr;
  QPushButton* BitBtn1 = nullptr;  ///< "OK"
  QPushButton* BitBtn2 = nullptr;  ///< "Cancel"

  /// Refuses a name MaterialNameInputProblem refuses, and an edited E or rho outside its field's
  /// range (the reason goes to Prompts().Error, the focus to the field, and the dialog stays
  /// open); otherwise closes with Accepted.
  void BitBtn1Click();
  /// Closes with Rejected.
  void BitBtn2Click();

 protected:
  /// Escape presses BitBtn2, so it runs the same path as a click on Cancel.
  void keyPressEvent(QKeyEvent* event) override;

 private:
  friend void LoadPropForm(TPropForm& form, const PROPRec& record);
  friend void StorePropForm(TPropForm& form, PROPRec& record);

  // What LoadPropForm put into the number fields. The fields show 8 significant digits, so an
  // untouched field must give back the loaded value, not its rounded text.
  QString mLoadedEText;
  double mLoadedE = 0;
  QString mLoadedRhoText;
  double mLoadedRho = 0;
  bool mLoaded = false;
};

/// Appends " " + colorlabel to the caption and shows name, E and rho of `record`.
void LoadPropForm(TPropForm& form, const PROPRec& record);

/// Stores, in this order, the name (Edit1 unchanged, may be empty), E and rho (read from the
/// stored texts of NumberEdit1 and NumberEdit2 in the general number format; a field still
/// showing the text LoadPropForm gave it keeps the loaded value exactly). Throws Error with
/// MaterialNameInputProblem's text, storing nothing, for a name it refuses; throws Error "'<text>'
/// is not a valid floating point value" for a number that does not convert, with the fields before
/// it already stored.
void StorePropForm(TPropForm& form, PROPRec& record);

/// Edits `record` in a property dialog owned by `owner`: load, run modally through Prompts(), and
/// on OK store (a conversion error is shown through Prompts().Error, the fields before it stay
/// stored). Returns true when the dialog closed with OK, so the record may have changed.
bool EditMaterialRecord(QWidget* owner, PROPRec& record);

}  // namespace qv
