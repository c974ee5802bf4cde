// The main window's menu "View": the section view window, opened from the menu or by a double
// click on the picture, and kept up to date with the window's state.
#include <QAction>
#include <QDialog>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/analysis/analysis_check.h"
#include "core/base/colour_label.h"
#include "core/base/error.h"
#include "core/base/field_number.h"
#include "core/base/limits.h"
#include "core/base/number_text.h"
#include "core/outline/drawing_picture.h"
#include "core/outline/outline_raster.h"
#include "gui/label_list_model.h"
#include "gui/main_window.h"
#include "gui/number_edit.h"
#include "gui/prompter.h"
#include "gui/qt_text.h"
#include "gui/section_view.h"

namespace qv {
namespace {

// The box of the outlines of the materials in use: what the drawing's section measures.
OutlineBox SectionBoxOf(const SectionSession& session) {
  std::vector<std::uint32_t> colours;
  for (const std::string& label : session.MaterialList()) {
    if (const std::optional<std::uint32_t> colour = PixelColourOfLabel(label)) {
      colours.push_back(*colour);
    }
  }
  return BoxOfColours(session.Drawing()->drawing, colours);
}

}  // namespace

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

QString TMainForm::DrawingSizeBox() const {
  if (mSession.Drawing() == nullptr) return {};
  const OutlineBox box = SectionBoxOf(mSession);
  if (box.Empty()) return {};
  return Q(FormatNumber(box.xmax - box.xmin)) + " x " + Q(FormatNumber(box.ymax - box.ymin)) +
         " mm";
}

void TMainForm::ShowDrawingSizeInFields() {
  const bool drawing = mSession.Drawing() != nullptr;
  if (drawing != mSizesOfDrawing) {
    mSizesOfDrawing = drawing;
    for (const std::size_t i : {std::size_t{0}, std::size_t{1}}) {
      TNumberEdit* field = i == 0 ? mSizes.NumberEdit1 : mSizes.NumberEdit2;
      field->setReadOnly(drawing);
      MarkCarriedSize(i, drawing ? false : mSizesCarried[i]);
      if (drawing) {
        field->setToolTip((i == 0 ? QString("horizontal") : QString("vertical")) +
                          " size of the drawing's section to the nearest mm: the drawing gives "
                          "its sizes (View > Pixel size ... sets its cells)");
      }
    }
  }
  if (!drawing || !mSession.SectionSpansArea()) return;
  const OutlineBox box = SectionBoxOf(mSession);
  if (box.Empty()) return;
  // Whole mm as the fields hold them; a section under half a mm still shows a size.
  const auto whole = [](double mm) {
    return static_cast<int>(std::clamp(std::round(mm), 1.0, static_cast<double>(kMaxSectionMm)));
  };
  const std::array<int, 2> sizes{whole(box.xmax - box.xmin), whole(box.ymax - box.ymin)};
  for (const std::size_t i : {std::size_t{0}, std::size_t{1}}) {
    TNumberEdit* field = i == 0 ? mSizes.NumberEdit1 : mSizes.NumberEdit2;
    const QString shown = QInteger(sizes[i]);
    if (field->Text() != shown || field->text() != shown) {
      field->SetText(shown);
      field->SetIntValue(sizes[i]);
    }
  }
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
  if (mSession.Drawing() != nullptr) {
    DrawingCellSizeClick();
    return;
  }
  // The sizes the value gives the box, as it is typed.
  const auto sizes = [this](std::optional<double> mm) -> std::pair<bool, QString> {
    if (!mm || !PixelSizeProblem(*mm).empty()) return {false, "width x height: -"};
    SectionSize size;
    size.pixelSizeMm = mm;
    const SectionSize box = SizeOfBox(size, mSession.Bounds());
    return {true, "width x height: " + Q(box.widthText) + " x " + Q(box.heightText) + " mm"};
  };
  const std::optional<double> mm =
      AskPixelSize("mm per pixel of the section's box, both ways:", mSession.PixelSize(), sizes);
  if (!mm) return;
  mSession.SetPixelSize(*mm);
  Timer2Timer();
}

void TMainForm::DrawingCellSizeClick() {
  // The cells the value gives the drawing, as it is typed, or why it gives none.
  const auto cells = [whole = BoxOf(mSession.Drawing()->drawing)](
                         std::optional<double> mm) -> std::pair<bool, QString> {
    std::string problem = mm ? PixelSizeProblem(*mm) : std::string("no number");
    OutlineGrid grid;
    if (problem.empty()) {
      try {
        grid = GridOver(whole, *mm);
      } catch (const Error& e) {
        problem = e.what();
      }
    }
    if (!problem.empty()) return {false, "cells: - (" + Q(problem) + ")"};
    return {true, "cells: " + QInteger(grid.columns) + " x " + QInteger(grid.rows) + " (" +
                      QInteger(static_cast<qint64>(grid.columns) * grid.rows) + ")"};
  };
  const std::optional<double> mm = AskPixelSize("mm per cell the drawing is laid on, both ways:",
                                                mSession.Drawing()->raster.grid.size, cells);
  if (mm) ChangeDrawingCells(*mm);
}

std::optional<double> TMainForm::AskPixelSize(
    const QString& prompt, std::optional<double> value,
    const std::function<std::pair<bool, QString>(std::optional<double>)>& describe) {
  QDialog dialog(this);
  dialog.setObjectName("PixelSizeForm");
  dialog.setWindowTitle("Pixel size");
  auto* layout = new QVBoxLayout(&dialog);
  layout->addWidget(new QLabel(prompt, &dialog));
  auto* field = new TNumberEdit(&dialog);
  field->setObjectName("NumberEdit1");
  field->SetNumType(TNumberType::RealType);
  field->SetDefaultHint(false);
  field->SetMax(kMaxSectionMm);
  if (value) {
    field->SetText(Q(FormatNumber(*value)));
    field->SetRealValue(*value);
  }
  layout->addWidget(field);
  auto* shown = new QLabel(&dialog);
  shown->setObjectName("Label1");
  layout->addWidget(shown);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
  layout->addWidget(buttons);
  connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  const auto show = [field, shown, buttons, &describe] {
    const auto [taken, text] = describe(ParseRealText(S(field->text())));
    buttons->button(QDialogButtonBox::Ok)->setEnabled(taken);
    shown->setText(text);
  };
  connect(field, &QLineEdit::textChanged, &dialog, show);
  show();
  if (Prompts().Run(dialog) != QDialog::Accepted) return std::nullopt;
  const std::optional<double> mm = ParseRealText(S(field->text()));
  if (!mm) return std::nullopt;
  if (const std::string problem = PixelSizeProblem(*mm); !problem.empty()) {
    Prompts().Error(Q(problem));
    return std::nullopt;
  }
  return mm;
}

void TMainForm::ChangeDrawingCells(double mm) {
  if (mBusy || mSession.Drawing() == nullptr) return;
  const std::vector<std::string> materials = mSession.MaterialList();
  mSession.SetDrawingCellSize(mm);
  try {
    // Laid out whole before anything changes: a size the drawing refuses leaves it as it was.
    if (!LoadPicture(false)) {
      mSession.SetDrawingCellSize(mDrawingCellMm);
      Prompts().Information("The picture is no longer there:\r- " + Q(mSession.PictureFile()));
      return;
    }
  } catch (...) {
    mSession.SetDrawingCellSize(mDrawingCellMm);
    throw;
  }
  mDrawingCellMm = mm;
  ColourInventory();
  // The same section on the new cells: its colours go back on the material list in order.
  for (const std::string& label : materials) mSession.AddColourToMaterialList(label);
  mLists.MaterialModel->Reload();
  if (mSession.SectionSpansArea()) {
    ShowSectionSize();
    mSizes.GroupBox3->show();
    DrawSectionFrame();
  }
  SyncResults();
  Timer2Timer();
  emit SectionStateChanged();
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
