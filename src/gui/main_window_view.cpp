// The main window's menu "View": the section view window, opened from the menu or by a double
// click on the picture, and kept up to date with the window's state.
#include <QAction>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <cmath>

#include "core/analysis/analysis_check.h"
#include "core/base/field_number.h"
#include "core/base/limits.h"
#include "core/base/number_text.h"
#include "gui/main_window.h"
#include "gui/number_edit.h"
#include "gui/prompter.h"
#include "gui/qt_text.h"
#include "gui/section_view.h"

namespace qv {

void TMainForm::BuildViewMenu() {
  mMenus.View1 = menuBar()->addMenu("View");
  mMenus.View1->setObjectName("View1");
  mMenus.SectionView1 = mMenus.View1->addAction("Section view ...");
  mMenus.SectionView1->setObjectName("SectionView1");
  connect(mMenus.SectionView1, &QAction::triggered, this,
          [this] { Guarded([this] { SectionView1Click(); }); });
  mMenus.PixelSize1 = mMenus.View1->addAction("Pixel size ...");
  mMenus.PixelSize1->setObjectName("PixelSize1");
  connect(mMenus.PixelSize1, &QAction::triggered, this,
          [this] { Guarded([this] { PixelSize1Click(); }); });
}

QString TMainForm::PixelSizeBox() const {
  const SectionSize box = SizeOfBox(TypedSize(), mSession.Bounds());
  return Q(box.widthText) + " x " + Q(box.heightText) + " mm";
}

void TMainForm::ShowPixelSizeInFields() {
  if (!mSession.PixelSize()) return;
  const SectionSize box = SizeOfBox(TypedSize(), mSession.Bounds());
  for (const std::size_t i : {std::size_t{0}, std::size_t{1}}) {
    TNumberEdit* field = i == 0 ? mSizes.NumberEdit1 : mSizes.NumberEdit2;
    const QString shown = QInteger(i == 0 ? box.widthMm : box.heightMm);
    if (field->Text() != shown || field->text() != shown) {
      field->SetText(shown);
      field->SetIntValue(i == 0 ? box.widthMm : box.heightMm);
    }
    MarkCarriedSize(i, false);
  }
}

void TMainForm::PixelSize1Click() {
  if (mBusy) return;
  QDialog dialog(this);
  dialog.setObjectName("PixelSizeForm");
  dialog.setWindowTitle("Pixel size");
  auto* layout = new QVBoxLayout(&dialog);
  layout->addWidget(new QLabel("mm per pixel of the section's box, both ways:", &dialog));
  auto* field = new TNumberEdit(&dialog);
  field->setObjectName("NumberEdit1");
  field->SetNumType(TNumberType::RealType);
  field->SetDefaultHint(false);
  field->SetMax(kMaxSectionMm);
  if (mSession.PixelSize()) {
    field->SetText(Q(FormatNumber(*mSession.PixelSize())));
    field->SetRealValue(*mSession.PixelSize());
  }
  layout->addWidget(field);
  auto* sizes = new QLabel(&dialog);
  sizes->setObjectName("Label1");
  layout->addWidget(sizes);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
  layout->addWidget(buttons);
  connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  // The sizes the value gives the box, as it is typed.
  const auto showSizes = [this, field, sizes, buttons] {
    const std::optional<double> mm = ParseRealText(S(field->text()));
    const bool taken = mm && PixelSizeProblem(*mm).empty();
    buttons->button(QDialogButtonBox::Ok)->setEnabled(taken);
    if (!taken) {
      sizes->setText("width x height: -");
      return;
    }
    SectionSize size;
    size.pixelSizeMm = mm;
    const SectionSize box = SizeOfBox(size, mSession.Bounds());
    sizes->setText("width x height: " + Q(box.widthText) + " x " + Q(box.heightText) + " mm");
  };
  connect(field, &QLineEdit::textChanged, &dialog, showSizes);
  showSizes();
  if (Prompts().Run(dialog) != QDialog::Accepted) return;
  const std::optional<double> mm = ParseRealText(S(field->text()));
  if (!mm) return;
  if (const std::string problem = PixelSizeProblem(*mm); !problem.empty()) {
    Prompts().Error(Q(problem));
    return;
  }
  mSession.SetPixelSize(*mm);
  Timer2Timer();
}

void TMainForm::SectionView1Click() {
  if (mBusy) return;
  if (mSectionView == nullptr) {
    mSectionView = new SectionViewWindow(
        mSession, [this] { return mResultOverlayShown; }, [this] { return ScaleNote(); }, this);
    connect(this, &TMainForm::SectionStateChanged, mSectionView,
            [this] { Guarded([this] { mSectionView->Refresh(); }); });
  }
  mSectionView->show();
  mSectionView->raise();
  mSectionView->activateWindow();
}

}  // namespace qv
