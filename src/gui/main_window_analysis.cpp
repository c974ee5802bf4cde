// The main window: analysis, the overlay and result texts, the sign convention, the info
// dialogs and the graphics font.
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

#include "core/analysis/analysis.h"
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

OverlayInput TMainForm::CurrentOverlayInput() const {
  OverlayInput input = MakeOverlayInput(mSession.Picture().Width(), mSession.Picture().Height(),
                                        mSession.Bounds(), mSession.Result(), mSession.Settings());
  const QFont font = GraphicsFont();
  input.Font.Family = S(font.family());
  input.Font.PointSize = font.pointSize();
  input.Font.Style = (font.bold() ? kFontBold : 0u) | (font.italic() ? kFontItalic : 0u);
  input.BoxHeight = mPictureArea.Image1->height();
  input.ScreenDpi = logicalDpiY();
  return input;
}

void TMainForm::Render(const OverlayOps& ops) {
  // The drawings go beside the picture, which stays as read: no reload is needed to analyse.
  mSession.NoteDrawnOver();
  mLayer.Paint(ops, mSession.Picture().Width(), mSession.Picture().Height(),
               mSession.PictureFile());
  ShowPicture();
  emit SectionStateChanged();
}

PixelGrid TMainForm::ShownPicture() const { return mLayer.Composed(mSession.Picture()); }

void TMainForm::DrawSectionFrame() { Render(qv::DrawSectionFrame(CurrentOverlayInput())); }

void TMainForm::DrawResultOverlay() {
  const OverlayInput input = CurrentOverlayInput();
  const SectionSession::ResultDrawing drawing = mSession.DrawResults(input);
  if (drawing.note) ShowNote(Q(*drawing.note));
  const OverlayOps& ops = drawing.ops;
  mResultOverlayShown = true;
  Render(ops);
}

void TMainForm::ShowResultTexts() {
  mLists.Label44->setText(Q(mSession.Centre().relevantPixels));
  mResults.Show(mSession.Centre(), mSession.Stiffness());
  mResults.ShowUnits(mSession.TextUnits());
}

void TMainForm::Button1Click() {
  if (mBusy) return;
  if (!SizeFieldsStand()) {
    // A click that came before the rule's next tick hid the button: the sizes are not settled.
    Timer2Timer();
    return;
  }
  ReloadPictureIfDrawnOn();
  if (mSession.MaterialList().empty()) {
    Prompts().Information("No material selected.");
    return;
  }
  SetBusy(true);
  struct Idle {
    TMainForm* form;
    ~Idle() { form->SetBusy(false); }
  } idle{this};
  const AnalysisRequest request = RequestOfSession(mSession, TypedSize());
  std::vector<std::string> messages;
  mLists.ProgressBar1->setMaximum(
      static_cast<int>(std::min<std::size_t>(mSession.Picture().Size(), INT_MAX)));
  RunControl control;
  control.progress = [this](const std::string&) -> ProgressFn {
    return [this](std::int64_t done, std::int64_t total) { Progress(done, total); };
  };
  AnalyseRequested(mSession, request, control, &messages);
  for (const std::string& m : messages) Prompts().Error(Q(m));
  mResults.GroupBox2->show();
  ShowResultTexts();
  // Analysed with them, the sizes are this picture's.
  MarkCarriedSize(0, false);
  MarkCarriedSize(1, false);
  const QString report = Q(mSession.ReportText());
  mPictureArea.OutputMemo->setPlainText(report);
  Shells().SetClipboardText(report);
  DrawResultOverlay();
}

void TMainForm::RefreshOverlay() {
  // Shown to the user, whether or not the window itself is on screen at this moment.
  if (!mCommands.Button1->isHidden() && !mResults.GroupBox2->isHidden() &&
      ReloadPictureIfDrawnOn() != SectionSession::PictureReload::AlreadyFresh) {
    DrawResultOverlay();
  }
}

void TMainForm::ApplySignConvention() {
  const std::optional<ConventionTerms> terms = TermsOf(mSession.Settings().SignConvention);
  if (terms) mResults.ApplyTerms(*terms);
}

void TMainForm::Definitions1Click() {
  ProgramSettings s = mSession.Settings();
  if (s.SignConvention != SignConvention::DorvastPelkam) {
    if (!Prompts().Confirm(
            "Current definitions based on EURO-code\r\rDo you want so change to Dorvast/Pelkam "
            "definitions ?")) {
      return;
    }
    s.SignConvention = SignConvention::DorvastPelkam;
  } else {
    SignConvention result = SignConvention::DorvastPelkam;
    {
      TDefinitionForm definitions(this);
      Prompts().Run(definitions);
      result = definitions.ConventionResult();
    }
    if (result == s.SignConvention) return;
    s.SignConvention = result;
  }
  mSession.ChangeSettings(s);
  ApplySignConvention();
  RefreshOverlay();
  emit SectionStateChanged();
}

void TMainForm::About1Click() {
  QFont font = GraphicsFont();
  bool edgesChanged = false;
  {
    TAboutBox about(this);
    about.Fill(mSession.Settings(), font);
    Prompts().Run(about);
    ProgramSettings changed = mSession.Settings();
    about.TakeBack(changed, font);
    edgesChanged = changed.Edges != mSession.Settings().Edges;
    mSession.ChangeSettings(changed);
  }
  TakeGraphicsFont(font);
  ApplySignConvention();
  if (edgesChanged && mSession.SectionSpansArea()) {
    // Another reading of the edges gives the section another box: shown as a change of the
    // material list shows it, ready to be analysed again.
    ShowSectionSize();
    LoadPicture(false);
    DrawSectionFrame();
  } else if (!edgesChanged) {
    RefreshOverlay();
  }
  SyncResults();  // another reading of the edges ends the last analysis
  emit SectionStateChanged();
}

void TMainForm::Definedproperties1Click() {
  if (mBusy || mSession.MaterialLibrary() == nullptr) return;
  {
    TDefaultPropForm browser(mSession.EditLibrary(), this);
    browser.ShowLaws(mSession.Laws(), mSession.Strengths());
    Prompts().Run(browser);
  }
  SyncResults();               // a material in use may have changed or gone
  emit SectionStateChanged();  // names may have changed
}

void TMainForm::Testdata1Click() {
  static const TPROPClass kEmpty;
  const TPROPClass found = mSession.Found().AsContainer();
  TDataForm form(found, mSession.MaterialLibrary() ? *mSession.MaterialLibrary() : kEmpty, this);
  Prompts().Run(form);
}

void TMainForm::SetGraphicsFontHint(const QFont& font) {
  mCommands.SpeedButton2->setToolTip("Set graphics font\ncurrent font is " + font.family() +
                                     " size is " + QInteger(font.pointSize()));
}

void TMainForm::SpeedButton2Click() {
  const std::optional<QFont> chosen = Prompts().ChooseFont(GraphicsFont());
  if (chosen) TakeGraphicsFont(*chosen);
  emit SectionStateChanged();
}

void TMainForm::TakeGraphicsFont(const QFont& font) {
  mCommands.FontLabel->setFont(font);
  ProgramSettings s = mSession.Settings();
  s.FontName = S(font.family());
  s.FontSize = font.pointSize();
  s.FontStyle = (font.bold() ? kFontBold : 0u) | (font.italic() ? kFontItalic : 0u);
  mSession.ChangeSettings(s);
  SetGraphicsFontHint(font);
}

}  // namespace qv
