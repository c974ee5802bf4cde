// The main window's menu "Section": the dialogs of the extended values, the stresses and the
// resistance, the shear centre's marker on the picture and the stress map in the picture's place.
#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>

#include "core/elastic/stress_map.h"
#include "gui/extended_dialog.h"
#include "gui/main_window.h"
#include "gui/picture_view.h"
#include "gui/prompter.h"
#include "gui/resistance_dialog.h"
#include "gui/stress_dialog.h"
#include "imaging/overlay_renderer.h"
#include "imaging/picture_image.h"

namespace qv {

void TMainForm::BuildSectionMenu() {
  mMenus.Section1 = menuBar()->addMenu("Section");
  mMenus.Section1->setObjectName("Section1");
  mMenus.Torsion1 = mMenus.Section1->addAction("Torsion and section moduli ...");
  mMenus.Torsion1->setObjectName("Torsion1");
  connect(mMenus.Torsion1, &QAction::triggered, this,
          [this] { Guarded([this] { Torsion1Click(); }); });
  mMenus.Stresses1 = mMenus.Section1->addAction("Stresses ...");
  mMenus.Stresses1->setObjectName("Stresses1");
  connect(mMenus.Stresses1, &QAction::triggered, this,
          [this] { Guarded([this] { Stresses1Click(); }); });
  mMenus.StressMap1 = mMenus.Section1->addAction("Stress map");
  mMenus.StressMap1->setObjectName("StressMap1");
  mMenus.StressMap1->setCheckable(true);
  mMenus.StressMap1->setEnabled(false);
  connect(mMenus.StressMap1, &QAction::triggered, this,
          [this](bool checked) { Guarded([this, checked] { ShowStressMap(checked); }); });
  mMenus.Resistance1 = mMenus.Section1->addAction("Resistance ...");
  mMenus.Resistance1->setObjectName("Resistance1");
  connect(mMenus.Resistance1, &QAction::triggered, this,
          [this] { Guarded([this] { Resistance1Click(); }); });
  // Stresses go with the results they were computed from: the view then shows the picture.
  connect(this, &TMainForm::SectionStateChanged, this, [this] {
    if (mStressMapShown && !mSession.Stresses()) Guarded([this] { ShowPicture(); });
    SyncStressMap();
  });
}

void TMainForm::Stresses1Click() {
  if (mBusy) return;
  if (!mSession.ElasticOffered()) {
    Prompts().Information("No analysis yet: analyse the section first.");
    return;
  }
  StressDialog::Hooks hooks;
  hooks.pictureChanged = [this] { Guarded([this] { RedrawResultOverlay(); }); };
  hooks.setBusy = [this](bool busy) { SetBusy(busy); };
  hooks.showMap = [this] { Guarded([this] { ShowStressMap(true); }); };
  hooks.font = [this] { return CurrentOverlayInput().Font; };
  StressDialog dialog(mSession, std::move(hooks), this);
  Prompts().Run(dialog);
}

void TMainForm::Resistance1Click() {
  if (mBusy) return;
  if (!mSession.ElasticOffered()) {
    Prompts().Information("No analysis yet: analyse the section first.");
    return;
  }
  ResistanceDialog::Hooks hooks;
  hooks.pictureChanged = [this] { Guarded([this] { RedrawResultOverlay(); }); };
  hooks.setBusy = [this](bool busy) { SetBusy(busy); };
  hooks.font = [this] { return CurrentOverlayInput().Font; };
  ResistanceDialog dialog(mSession, std::move(hooks), this);
  Prompts().Run(dialog);
}

void TMainForm::ShowStressMap(bool show) {
  mStressMapShown = show && mSession.Stresses().has_value();
  ShowPicture();
}

void TMainForm::SyncStressMap() {
  if (!mSession.Stresses()) mStressMapShown = false;
  if (mMenus.StressMap1 == nullptr) return;
  mMenus.StressMap1->setEnabled(mSession.Stresses().has_value());
  mMenus.StressMap1->setChecked(mStressMapShown);
}

StressViewLayout TMainForm::StressMapLayout() const {
  return LayOutStressView(mSession.Stresses()->Bounds(), mSession.PictureWidth(),
                          mSession.PictureHeight(), mPictureArea.Image1->width(),
                          mPictureArea.Image1->height(), logicalDpiY());
}

QImage TMainForm::StressMapImage() const {
  const StressField& field = *mSession.Stresses();
  const StressKind kind =
      StressKindOfKey(mSession.Settings().Stress.Field).value_or(StressKind::VonMises);
  // Drawn at the view's own size from the field: the picture is neither read nor copied.
  StressDrawing view =
      DrawStressView(field, ScaleOf(field, kind), mSession.PictureWidth(), mSession.PictureHeight(),
                     mPictureArea.Image1->width(), mPictureArea.Image1->height(),
                     CurrentOverlayInput().Font, logicalDpiY(), mSession.TextUnits());
  RenderOverlay(view.ops, view.picture);
  return ToQImage(view.picture);
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
  ReloadPictureIfDrawnOn();
  DrawResultOverlay();
}

void TMainForm::ShowNote(const QString& text) { statusBar()->showMessage(text, kNoteMs); }

}  // namespace qv
