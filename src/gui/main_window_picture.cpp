// The main window: the size fields and the scale, picture loading, the busy state and the
// colour inventory, the lists' keys and the pointer over the picture.
#include <QAction>
#include <QApplication>
#include <QCloseEvent>
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
#include "core/outline/drawing_file.h"
#include "core/settings/save_location.h"
#include "gui/data_window.h"
#include "gui/definitions_dialog.h"
#include "gui/drawing_outlines.h"
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
namespace {

void SetFontColour(QLabel* label, const QColor& colour) {
  QPalette p = label->palette();
  p.setColor(QPalette::WindowText, colour);
  label->setPalette(p);
}

}  // namespace

QString TMainForm::ScaleText() const {
  if (!SizeFieldsStand()) return {};
  const std::optional<std::string> scale = mSession.ScaleText(TypedSize());
  return scale ? Q(*scale) : QString();
}

bool TMainForm::SizesCarried() const {
  // A drawing's sizes are its own, never carried.
  if (mSession.Drawing() != nullptr) return false;
  return (mSizesCarried[0] && mSizes.NumberEdit1->IntValue() != 0) ||
         (mSizesCarried[1] && mSizes.NumberEdit2->IntValue() != 0);
}

QString TMainForm::ScaleNote() const {
  const QString scale = ScaleText();
  if (scale.isEmpty()) return {};
  return "scale " + scale + " (hor x ver)" +
         (SizesCarried() ? QString(", from the sizes of the previous picture") : QString());
}

bool TMainForm::ShowScale() {
  // The program's notice gives way to the scale while there is one.
  const QString scale = ScaleText();
  QString text = scale.isEmpty() ? mNotice : scale;
  if (!scale.isEmpty() && mSession.PixelSize()) text += " (" + PixelSizeBox() + ")";
  if (!scale.isEmpty() && mSession.Drawing() != nullptr) text += " (" + DrawingSizeBox() + ")";
  const bool carried = !scale.isEmpty() && SizesCarried();
  QLabel* panel = mStatusPanels[6];
  if (panel->text() == text && panel->font().italic() == carried) return false;
  panel->setText(text);
  QFont font = panel->font();
  font.setItalic(carried);
  panel->setFont(font);
  panel->setToolTip(scale.isEmpty() ? QString()
                    : carried       ? "mm per pixel, horizontal x vertical, from the sizes typed "
                                      "for the previous picture"
                                    : QString("mm per pixel, horizontal x vertical"));
  return true;
}

void TMainForm::MarkCarriedSize(std::size_t field, bool carried) {
  mSizesCarried[field] = carried;
  TNumberEdit* edit = field == 0 ? mSizes.NumberEdit1 : mSizes.NumberEdit2;
  QFont font = edit->font();
  font.setItalic(carried);
  edit->setFont(font);
  QPalette palette = edit->palette();
  palette.setColor(QPalette::Text, carried ? QColor(Qt::darkGray)
                                           : mSizes.GroupBox3->palette().color(QPalette::Text));
  edit->setPalette(palette);
  edit->setToolTip(carried ? mSizeHints[field] +
                                 "\n(typed for the previous picture: press Enter or Tab to take "
                                 "it for this one, or type another)"
                           : mSizeHints[field]);
}

SectionSize TMainForm::TypedSize() const {
  SectionSize size;
  size.widthMm = mSizes.NumberEdit1->IntValue();
  size.heightMm = mSizes.NumberEdit2->IntValue();
  size.widthText = S(mSizes.NumberEdit1->text());
  size.heightText = S(mSizes.NumberEdit2->text());
  size.pixelSizeMm = mSession.PixelSize();
  return size;
}

bool TMainForm::SizeFieldsStand() const {
  // The pixel size, or the drawing, gives the sizes; the fields only show them rounded.
  if (mSession.PixelSize() || mSession.Drawing() != nullptr) return true;
  // A field that holds the focus over its text is not settled, whatever its value still is.
  return mSizes.NumberEdit1->Status() == ValidationStatus::Valid &&
         mSizes.NumberEdit2->Status() == ValidationStatus::Valid &&
         SectionSession::SizeTextsStand(TypedSize());
}

void TMainForm::OpenPicture1Click() {
  if (mBusy) return;
  const std::optional<QString> chosen = Prompts().OpenPicture(Q(mSession.Settings().WorkingDir));
  if (!chosen || !QFileInfo(*chosen).isFile()) return;
  AcceptPicture(*chosen);
}

void TMainForm::DropFiles(const QStringList& paths) {
  if (!mDropsAccepted || mBusy) return;
  if (paths.size() > 1) {
    Prompts().Error("Can only accept one BMP-file");
    return;
  }
  if (paths.isEmpty()) return;
  const QString& path = paths.first();
  const qsizetype dot = path.lastIndexOf('.');
  const QString extension = dot < 0 ? QString() : path.mid(dot).toUpper();
  // The reader goes by the file's first bytes; the name only keeps other files out. Drawings
  // are known by their names alone, as everywhere else.
  if (extension != ".BMP" && extension != ".PNG" && !IsDrawingFile(S(path))) {
    Prompts().Error("Drag and drop only one BMP bitmap picture");
    return;
  }
  if (QFileInfo(path).isFile()) AcceptPicture(path);
}

void TMainForm::AcceptPicture(const QString& path) {
  Guarded([this, &path] {
    const std::string before = mSession.Picture().Empty() ? std::string() : mSession.PictureFile();
    // A drawing opened is laid on cells of the default size, whatever the last one had; one
    // that does not open leaves the picture on show, and its cell size, as they were.
    mSession.SetDrawingCellSize(0);
    bool accepted = false;
    try {
      accepted = mSession.AcceptPicture(S(path));
    } catch (...) {
      mSession.SetDrawingCellSize(mDrawingCellMm);
      throw;
    }
    if (!accepted) {
      mSession.SetDrawingCellSize(mDrawingCellMm);
      return;
    }
    mDrawingCellMm = 0;
    // Named only once it opened: a file that cannot be read leaves the picture on show named.
    mStatusPanels[5]->setText(QFileInfo(path).fileName());
    if (!before.empty() && mSession.PictureFile() != before) {
      // Another picture has its own scale: its sizes are typed, or its pixel size given, anew.
      mSession.SetPixelSize(std::nullopt);
      // The sizes stay in their fields for the new picture, marked until the user takes them.
      const bool carried = mSession.Drawing() == nullptr;
      MarkCarriedSize(0, carried && mSizes.NumberEdit1->IntValue() != 0);
      MarkCarriedSize(1, carried && mSizes.NumberEdit2->IntValue() != 0);
    }
    FillRecentMenu();
    ShowLoadedPicture(true);
    ColourInventory();
  });
}

bool TMainForm::LoadPicture(bool warnSmall) {
  if (!mSession.LoadPicture()) return false;
  ShowLoadedPicture(warnSmall);
  return true;
}

SectionSession::PictureReload TMainForm::ReloadPictureIfDrawnOn() {
  const SectionSession::PictureReload reload = mSession.ReloadPictureIfDrawnOn();
  if (reload == SectionSession::PictureReload::Reloaded) ShowLoadedPicture(false);
  return reload;
}

void TMainForm::ShowLoadedPicture(bool warnSmall) {
  mLayer.Clear();  // the picture is the file's again
  mResultOverlayShown = false;
  mLists.Panel5->setPalette(palette());
  ShowPicture();
  const int w = mSession.Picture().Width();
  const int h = mSession.Picture().Height();
  mLists.Label1->setText(QInteger(w));
  if (warnSmall) {
    if (auto warning = mSession.SmallPictureWarning()) Prompts().Error(Q(*warning));
  }
  const QColor colour = h == w ? QColor(Qt::black) : QColor(Qt::red);
  SetFontColour(mLists.Label2, colour);
  SetFontColour(mLists.ShapeAlertLabel, colour);
  mLists.ShapeAlertLabel->setText(h == w ? "square bitmap" : "Not a square bitmap !");
  mLists.Label2->setText(QInteger(h));
  mLists.Label4->setText(QInteger(static_cast<qint64>(w) * h));
  mLists.ProgressBar1->setMaximum(
      static_cast<int>(std::min<qint64>(static_cast<qint64>(w) * h, INT_MAX)));
  ShowDrawingSizeInFields();  // a drawing's fields take no typing from the start
  emit SectionStateChanged();
}

void TMainForm::ShowPicture() {
  SyncStressMap();
  if (StressMapShown()) {
    mPictureArea.Image1->SetImage(StressMapImage());
    mPictureArea.Image1->SetOutlines({}, {});
    return;
  }
  // Only the view's own pixels are made: the picture is never copied or scaled whole.
  mPictureArea.Image1->SetImage(mLayer.ScaledView(mSession.Picture(), mPictureArea.Image1->width(),
                                                  mPictureArea.Image1->height()));
  mPictureArea.Image1->SetOutlines(DrawingOutlines(),
                                   QSize(mSession.PictureWidth(), mSession.PictureHeight()));
}

const QPainterPath& TMainForm::DrawingOutlines() {
  // Made once per picture read, not per drawing over it.
  if (mOutlinesRevision != mSession.PictureRevision()) {
    const DrawingPicture* drawing = mSession.Drawing();
    mOutlines =
        drawing != nullptr ? OutlinePath(drawing->drawing, drawing->raster.grid) : QPainterPath();
    mOutlinesRevision = mSession.PictureRevision();
  }
  return mOutlines;
}

void TMainForm::ColourInventory() {
  if (mBusy) return;
  mSession.ColourInventory(this);
}

void TMainForm::SetBusy(bool busy) {
  mBusy = busy;
  mProperties.GroupBox1->setEnabled(!busy);
  mLists.ListBox1->setEnabled(!busy);
  mMenus.File1->setEnabled(!busy);
  mMenus.Info1->setEnabled(!busy);
  mMenus.Section1->setEnabled(!busy);
  mMenus.View1->setEnabled(!busy);
  mLists.WaitPanel->setVisible(busy);
  if (busy) {
    mLists.WaitPanel->raise();
    mLists.ProgressBar1->setValue(0);
    mLists.WaitPanel->repaint();
  }
}

void TMainForm::InventoryStarted() {
  mLists.FoundModel->Reload();
  mLists.ListBox1->setEnabled(false);
  mLists.MaterialModel->Reload();
  mLists.Label44->setText("0");
}

void TMainForm::ResetResults() {
  mSession.ResetResults();
  ResultsReset();
}

void TMainForm::ResultsReset() {
  mSizes.Label34->setText("0");
  mSizes.Label36->setText("0");
  ClearResultTexts();
  mProperties.GroupBox1->hide();
  mResults.GroupBox2->hide();
  mSizes.GroupBox3->hide();
  mResultOverlayShown = false;
  emit SectionStateChanged();
}

void TMainForm::ClearResultTexts() {
  mResults.Clear();
  mPictureArea.OutputMemo->clear();
}

void TMainForm::SyncResults() {
  mSession.DropStaleResults();
  if (mSession.HasResults() || mResults.GroupBox2->isHidden()) return;
  // Results of another section must not stay on show: they go as with a new picture, and the
  // section is shown as before its analysis.
  ClearResultTexts();
  mLists.Label44->setText(Q(mSession.Centre().relevantPixels));
  mResults.GroupBox2->hide();
  if (mResultOverlayShown) {
    LoadPicture(false);
    if (mSession.SectionSpansArea()) DrawSectionFrame();
  }
  emit SectionStateChanged();
}

void TMainForm::Progress(std::int64_t done, std::int64_t /*total*/) {
  mLists.ProgressBar1->setValue(
      static_cast<int>(std::min<std::int64_t>(done, mLists.ProgressBar1->maximum())));
  mPump.Tick();
}

void TMainForm::InventoryFinished() {
  mLists.FoundModel->Reload();
  mLists.ListBox1->setEnabled(true);
  std::optional<std::string> note = UnnamedColoursNote(
      mSession.Found().Size(), mSession.UnnamedLeftOut(), UnnamedColoursHint::SettingsDialog);
  // A section painted (254, 0, 0) looks red and is no clRed: its pixels must not vanish unsaid.
  // A smoothed drawing's blends are unnamed colours too, told about as what they are: read flat,
  // once per picture, with the setting that reads them as coverage.
  const std::optional<std::string> leftOut = LeftOutColoursNote(
      mSession.Found().Size(), mSession.UnnamedLeftOut(), UnnamedColoursHint::SettingsDialog);
  // A drawing's edges are always read as coverage: nothing to tell about them.
  const bool smoothingUntold =
      mSession.Edges() == EdgeMode::Flat && !mSmoothingNoted.contains(Q(mSession.PictureFile()));
  if (!note && (leftOut || smoothingUntold)) {
    const std::optional<std::string> smoothed =
        EdgeSmoothingNote(mSession.PictureEdgeSmoothing(), EdgeSmoothingHint::CoverageSetting);
    if (!smoothed) {
      note = leftOut;
    } else if (smoothingUntold) {
      mSmoothingNoted.append(Q(mSession.PictureFile()));
      note = smoothed;
    }
  }
  if (note) ShowNote(Q(*note));
  emit SectionStateChanged();
}

QString TMainForm::SelectedLabel(bool materialList) const {
  if (materialList) {
    const QModelIndexList selected = mLists.ListBox2->selectionModel()->selectedIndexes();
    return selected.isEmpty() ? QString() : selected.first().data().toString();
  }
  const QModelIndexList selected = mLists.ListBox1->selectionModel()->selectedIndexes();
  return selected.isEmpty() ? QString() : selected.first().data().toString();
}

void TMainForm::ListKey(int key, bool materialList) {
  const QString label = SelectedLabel(materialList);
  if (key == Qt::Key_F1) {
    if (label.isEmpty()) {
      Prompts().Information(
          "Special function keys in listboxes:\r\rF1 = Color field details\rF2 = Hide all colors "
          "but the selected one\rF3 = Reload current bitmap");
      return;
    }
    if (!materialList) {
      if (const auto row = mSession.Found().Find(S(label))) {
        Prompts().Message(Q(DescribeProp(mSession.Found().Entry(*row).prop)));
      }
      return;
    }
    const TPROPClass* list = mSession.MaterialLibrary();
    if (list == nullptr) return;
    if (const TPROPRec* entry = list->FindByLabel(S(label)))
      Prompts().Message(Q(DescribeProp(entry->prop)));
  } else if (key == Qt::Key_F2) {
    if (label.isEmpty() || mBusy || mSession.Picture().Empty()) return;
    if (!Prompts().Confirm("Hide all colors but " + label + " ?")) return;
    SetBusy(true);
    mLayer.HideAllBut(PixelColourOfLabel(S(label)));
    mSession.HideColoursBut(
        S(label), [this](std::int64_t done, std::int64_t total) { Progress(done, total); });
    ShowPicture();
    SetBusy(false);
    emit SectionStateChanged();
  } else if (key == Qt::Key_F3) {
    if (!mSession.InventoryDone() || mBusy) return;
    Guarded([this] {
      LoadPicture(false);
      Shells().Beep();
    });
  }
}

void TMainForm::ImageMouseMove(int x, int y) {
  statusBar()->clearMessage();
  const double w = mSession.Picture().Width();
  const double h = mSession.Picture().Height();
  if (!StressMapShown()) {
    mStatusPanels[1]->setText(QInteger(PictureOfView(x, mPictureArea.Image1->width(), w)));
    mStatusPanels[3]->setText(QInteger(PictureOfView(y, mPictureArea.Image1->height(), h)));
    return;
  }
  // The map may be shown smaller beside its colour bar: positions count on the map.
  const StressViewLayout layout = StressMapLayout();
  const auto onMap = [](int pos, int start, int length, double size) {
    return std::clamp<long long>(PictureOfView(pos - start, length, size), 0,
                                 std::max<long long>(0, static_cast<long long>(size) - 1));
  };
  mStatusPanels[1]->setText(QInteger(onMap(x, layout.mapLeft, layout.mapWidth, w)));
  mStatusPanels[3]->setText(QInteger(onMap(y, layout.mapTop, layout.mapHeight, h)));
  const std::optional<PixelPoint> at =
      layout.PictureAt(x, y, mSession.PictureWidth(), mSession.PictureHeight());
  if (!at) return;
  // The pixel the map shows there, as it samples the picture.
  const StressKind kind =
      StressKindOfKey(mSession.Settings().Stress.Field).value_or(StressKind::VonMises);
  statusBar()->showMessage(
      Q(StressAtText(*mSession.Stresses(), at->x, at->y, kind, mSession.TextUnits())));
}

}  // namespace qv
