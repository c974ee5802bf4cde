// The main window's menu "Section": the dialog of the extended values and the shear centre's
// marker on the picture.
#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>

#include "gui/extended_dialog.h"
#include "gui/main_window.h"
#include "gui/prompter.h"

namespace qv {

void TMainForm::BuildSectionMenu() {
  Section1 = menuBar()->addMenu("Section");
  Section1->setObjectName("Section1");
  Torsion1 = Section1->addAction("Torsion and section moduli ...");
  Torsion1->setObjectName("Torsion1");
  connect(Torsion1, &QAction::triggered, this, [this] { Guarded([this] { Torsion1Click(); }); });
}

void TMainForm::Torsion1Click() {
  if (mBusy) return;
  if (!mSession.ElasticOffered()) {
    Prompts().Information("No analysis yet: analyse the section first.");
    return;
  }
  ExtendedDialog::Hooks hooks;
  hooks.pictureChanged = [this] { Guarded([this] { RedrawResultOverlay(); }); };
  hooks.setBusy = [this](bool busy) { SetBusy(busy); };
  ExtendedDialog dialog(mSession, std::move(hooks), this);
  Prompts().Run(dialog);
}

void TMainForm::RedrawResultOverlay() {
  if (!mSession.PictureFresh()) LoadPicture(false);
  DrawResultOverlay();
}

void TMainForm::ShowNote(const QString& text) { statusBar()->showMessage(text, kNoteMs); }

}  // namespace qv
