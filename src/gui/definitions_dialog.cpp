// TDefinitionForm: the definitions picture, with the one button that switches to EURO-code.
#include "gui/definitions_dialog.h"

#include <QPalette>
#include <QPushButton>

#include "gui/fitted_picture.h"
#include "gui/plain_text.h"
#include "gui/prompter.h"
#include "imaging/dialog_pictures.h"

namespace qv {

const QString TDefinitionForm::kChangeToEuroCaption =
    QStringLiteral("Change to EURO-code definitions");
const QString TDefinitionForm::kChangeToDefaultCaption =
    QStringLiteral("Change to Dorvast/Pelkam definitions");
const QString TDefinitionForm::kChangeQuestion =
    QStringLiteral("Are you sure to change to EURO-code definitions ?");

TDefinitionForm::TDefinitionForm(QWidget* owner) : QDialog(owner) {
  setObjectName(QStringLiteral("DefinitionForm"));
  setWindowTitle(QStringLiteral("Quorvane"));
  setWindowFlags(Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
  setFixedSize(640, 482);
  QPalette background = palette();
  background.setColor(QPalette::Window, Qt::white);
  setPalette(background);
  setAutoFillBackground(true);

  Image1 = new FittedPicture(this);
  Image1->setObjectName(QStringLiteral("Image1"));
  Image1->setGeometry(0, 0, 640, 482);
  // The dialog is still useful without its picture, so a damaged picture is reported and the
  // white area stays.
  Guarded([this] { Image1->SetImage(DefinitionsPicture()); });

  Button1 = new QPushButton(kChangeToEuroCaption, this);
  Button1->setObjectName(QStringLiteral("Button1"));
  Button1->setGeometry(360, 400, 259, 25);
  Button1->setAutoDefault(false);
  connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });

  FormCreate();
  KeepLabelsPlain(this);
}

void TDefinitionForm::FormCreate() { ConventionChanged = false; }

void TDefinitionForm::Button1Click() {
  if (ConventionChanged) return;
  if (!Prompts().Confirm(kChangeQuestion)) return;
  ConventionChanged = true;
  Button1->setText(kChangeToDefaultCaption);
  done(static_cast<int>(ConventionResult()));
}

}  // namespace qv
