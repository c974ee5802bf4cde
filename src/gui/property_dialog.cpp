// The property dialog: edits the name, E and rho of one material.
#include "gui/property_dialog.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <string>

#include "core/base/error.h"
#include "core/base/limits.h"
#include "core/base/number_text.h"
#include "gui/number_edit.h"
#include "gui/plain_text.h"
#include "gui/prompter.h"
#include "gui/qt_text.h"

namespace qv {
namespace {

TNumberEdit* MakeNumberField(QWidget* parent, const char* name, double max, const char* hint,
                             int y) {
  auto* field = Make<TNumberEdit>(parent, name, 176, y, 177, 24);
  field->SetText(QStringLiteral("0"));
  field->SetNumType(TNumberType::RealType);
  field->SetMax(max);
  field->setToolTip(QString::fromLatin1(hint));
  return field;
}

// A field still showing exactly what LoadPropForm wrote gives back the loaded value: its text
// has only 8 significant digits, and an OK without edits must not round the material.
double ReadField(const TNumberEdit& field, const QString& loadedText, double loadedValue,
                 bool loaded) {
  const QString text = field.Text();
  if (loaded && text == loadedText) return loadedValue;
  return ReadReal(text.toStdString());
}

}  // namespace

TPropForm::TPropForm(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("PropForm"));
  setWindowTitle(QStringLiteral("Properties:"));
  setFixedSize(461, 190);

  Label1 = MakeLabel(this, "Label1", "Material Name", 16, 20, 150, 21);
  Edit1 = Make<QLineEdit>(this, "Edit1", 176, 18, 265, 24);
  Edit1->setText(QStringLiteral("no name"));
  Edit1->setToolTip(QStringLiteral("value not required"));

  Label2 = MakeLabel(this, "Label2", "Modulus of Elasticity", 16, 62, 150, 21);
  NumberEdit1 = MakeNumberField(this, "NumberEdit1", kMaxModulus, "0..10e5", 60);
  Label3 = MakeLabel(this, "Label3", "N/mm^2", 362, 62, 80, 21);

  Label4 = MakeLabel(this, "Label4", "Mass density", 16, 104, 150, 21);
  NumberEdit2 = MakeNumberField(this, "NumberEdit2", kMaxDensity, "0..100e3", 102);
  Label5 = MakeLabel(this, "Label5", "kg/m^3", 362, 104, 80, 21);

  BitBtn1 = Make<QPushButton>(this, "BitBtn1", 176, 146, 100, 30);
  BitBtn1->setText(QStringLiteral("OK"));
  BitBtn1->setToolTip(QStringLiteral("modifications will be stored"));
  BitBtn2 = Make<QPushButton>(this, "BitBtn2", 292, 146, 100, 30);
  BitBtn2->setText(QStringLiteral("Cancel"));
  BitBtn2->setToolTip(QStringLiteral("no modifications to the data"));
  // Enter belongs to the number fields (it moves the focus on); it must not close the dialog.
  BitBtn1->setAutoDefault(false);
  BitBtn2->setAutoDefault(false);

  connect(BitBtn1, &QPushButton::clicked, this, [this] { Guarded([this] { BitBtn1Click(); }); });
  connect(BitBtn2, &QPushButton::clicked, this, [this] { BitBtn2Click(); });
  KeepLabelsPlain(this);
}

void TPropForm::BitBtn1Click() {
  const std::string problem = MaterialNameInputProblem(Edit1->text().toStdString());
  if (!problem.empty()) {
    Prompts().Error(QString::fromStdString(problem));
    Edit1->setFocus();
    return;
  }
  // A field out of its range holds the focus, yet a click on OK still comes. An edited value the
  // field would not take is refused as the batch tool refuses it; a text that is no number is
  // StorePropForm's to report, and an untouched value stays whatever the library holds.
  const auto refused = [](TNumberEdit* field, const QString& loadedText, bool loaded,
                          std::string (*problemOf)(double)) {
    if (loaded && field->Text() == loadedText) return false;
    std::string why;
    try {
      why = problemOf(ReadReal(field->Text().toStdString()));
    } catch (const Error&) {
      return false;
    }
    if (why.empty()) return false;
    Prompts().Error(QString::fromStdString(why));
    field->setFocus();
    return true;
  };
  if (refused(NumberEdit1, mLoadedEText, mLoaded, ModulusProblem) ||
      refused(NumberEdit2, mLoadedRhoText, mLoaded, DensityProblem)) {
    return;
  }
  accept();
}

void TPropForm::BitBtn2Click() { reject(); }

void TPropForm::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
    BitBtn2->click();
    return;
  }
  QDialog::keyPressEvent(event);
}

void LoadPropForm(TPropForm& form, const PROPRec& record) {
  form.setWindowTitle(form.windowTitle() + QLatin1Char(' ') +
                      QString::fromStdString(record.colorlabel));
  form.Edit1->setText(QString::fromStdString(record.name));
  form.NumberEdit1->SetRealValue(record.E);
  form.NumberEdit2->SetRealValue(record.rho);
  form.mLoadedEText = form.NumberEdit1->Text();
  form.mLoadedE = record.E;
  form.mLoadedRhoText = form.NumberEdit2->Text();
  form.mLoadedRho = record.rho;
  form.mLoaded = true;
}

void StorePropForm(TPropForm& form, PROPRec& record) {
  const std::string name = form.Edit1->text().toStdString();
  const std::string problem = MaterialNameInputProblem(name);
  if (!problem.empty()) throw Error(problem);
  record.name = name;
  record.E = ReadField(*form.NumberEdit1, form.mLoadedEText, form.mLoadedE, form.mLoaded);
  record.rho = ReadField(*form.NumberEdit2, form.mLoadedRhoText, form.mLoadedRho, form.mLoaded);
}

bool EditMaterialRecord(QWidget* owner, PROPRec& record) {
  TPropForm form(owner);
  LoadPropForm(form, record);
  if (Prompts().Run(form) != QDialog::Accepted) return false;
  Guarded([&] { StorePropForm(form, record); });
  return true;
}

}  // namespace qv
