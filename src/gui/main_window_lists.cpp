// The main window: the colour list and the material list.
#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDateTime>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QFontDatabase>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QListView>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStandardPaths>
#include <QStatusBar>
#include <QStyle>
#include <QToolButton>
#include <QUrl>
#include <algorithm>
#include <cmath>
#include <utility>

#include "core/base/colour_label.h"
#include "core/base/error.h"
#include "core/base/limits.h"
#include "core/base/number_text.h"
#include "core/base/version.h"
#include "core/elastic/stress_map.h"
#include "core/elastic/stress_report.h"
#include "core/settings/save_location.h"
#include "gui/data_window.h"
#include "gui/definitions_dialog.h"
#include "gui/label_list_model.h"
#include "gui/library_browser.h"
#include "gui/main_window.h"
#include "gui/number_edit.h"
#include "gui/picture_view.h"
#include "gui/plain_text.h"
#include "gui/prompter.h"
#include "gui/property_dialog.h"
#include "gui/qt_text.h"
#include "gui/section_view.h"
#include "gui/settings_dialog.h"
#include "gui/shell.h"
#include "imaging/overlay_layer.h"
#include "imaging/overlay_renderer.h"
#include "imaging/picture_image.h"

namespace qv {

void TMainForm::ListBox1Click() {
  const QString label = SelectedLabel(false);
  if (label.isEmpty()) return;
  QPalette p = mLists.Panel5->palette();
  p.setColor(QPalette::Window, ToQColor(LabelToColour(S(label))));
  mLists.Panel5->setPalette(p);
}

void TMainForm::ListBox1DblClick() { AddColourToMaterialList(false); }

void TMainForm::ListBox1RightButton() { AddColourToMaterialList(true); }

void TMainForm::ListBox2Drop(QObject* source) {
  if (source != mLists.ListBox1 && source != mLists.ListBox1->viewport()) return;
  if (SelectedLabel(false).isEmpty()) return;
  AddColourToMaterialList(false);
}

void TMainForm::ListBox2Click() { ShowMaterialDetails(); }

QPoint TMainForm::MaterialPopupPoint() const {
  // A fixed point, not the mouse: the window's outer corner plus the list's place.
  const QPoint corner = frameGeometry().topLeft();
  return {corner.x() + mLists.Panel2->x() + mLists.ListBox2->x() - mLists.ListBox2->width(),
          corner.y() + mLists.Panel2->y() + mLists.ListBox2->y()};
}

void TMainForm::ListBox2RightButton() {
  if (SelectedLabel(true).isEmpty()) return;
  if (QAction* chosen = RunPopup(*mMenus.PopupMenu1, MaterialPopupPoint())) chosen->trigger();
}

void TMainForm::ListBox2DblClick() {
  if (!SelectedLabel(true).isEmpty()) EditMaterial();
}

void TMainForm::Delete1Click() {
  if (!SelectedLabel(true).isEmpty()) RemoveFromMaterialList();
}

void TMainForm::Editproperties1Click() {
  if (!SelectedLabel(true).isEmpty()) EditMaterial();
}

void TMainForm::Properties1Click() {
  const QString label = SelectedLabel(true);
  if (label.isEmpty() || mSession.MaterialLibrary() == nullptr) return;
  if (const TPROPRec* entry = mSession.MaterialLibrary()->FindByLabel(S(label))) {
    Prompts().Message(Q(DescribeProp(entry->prop)));
  }
}

void TMainForm::ShowSectionSize() {
  mSizes.Label34->setText(Q(mSession.WidthPixelsText()));
  mSizes.Label36->setText(Q(mSession.HeightPixelsText()));
}

void TMainForm::AddColourToMaterialList(bool ask) {
  if (mBusy) return;
  const QString label = SelectedLabel(false);
  if (label.isEmpty() || mSession.OnMaterialList(S(label))) return;
  if (ask && !Prompts().Confirm("Add this color to the material properties list?")) return;
  if (!mSession.AddColourToMaterialList(S(label))) return;
  mLists.MaterialModel->Reload();
  ShowSectionSize();
  mSizes.GroupBox3->show();
  LoadPicture(false);
  DrawSectionFrame();
  SyncResults();
  emit SectionStateChanged();
}

void TMainForm::ShowMaterialDetails() {
  const QString label = SelectedLabel(true);
  if (label.isEmpty()) {
    mProperties.GroupBox1->hide();
    return;
  }
  const TPROPRec* entry =
      mSession.MaterialLibrary() ? mSession.MaterialLibrary()->FindByLabel(S(label)) : nullptr;
  if (entry == nullptr) return;
  mProperties.GroupBox1->setTitle("Selected properties for " + Q(entry->prop.colorlabel));
  mProperties.Label13->setText(Q(entry->prop.name));
  mProperties.Label14->setText(Q(FormatNumber(entry->prop.E)));
  mProperties.Label15->setText(Q(FormatNumber(entry->prop.rho)));
  mProperties.GroupBox1->show();
}

void TMainForm::RemoveFromMaterialList() {
  if (mBusy) return;
  const QString label = SelectedLabel(true);
  if (!Prompts().Confirm("Remove from list material: " + label + " ?")) return;
  mSession.RemoveFromMaterialList(S(label));
  // The reset leaves no row current or selected.
  mLists.MaterialModel->Reload();
  LoadPicture(false);
  if (!mSession.SectionSpansArea()) {
    mSizes.GroupBox3->hide();
  } else {
    ShowSectionSize();
    mSizes.GroupBox3->show();
    DrawSectionFrame();
  }
  ShowMaterialDetails();
  SyncResults();
  emit SectionStateChanged();
}

void TMainForm::EditMaterial() {
  if (mBusy || mSession.MaterialLibrary() == nullptr) return;
  TPROPRec* entry = mSession.EditLibrary().FindByLabel(S(SelectedLabel(true)));
  if (entry == nullptr) return;
  if (EditMaterialRecord(this, entry->prop)) ShowMaterialDetails();
  SyncResults();               // E or rho may have changed
  emit SectionStateChanged();  // the name may have changed
}

}  // namespace qv
