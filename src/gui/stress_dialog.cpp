// The dialog "Stresses".
#include "gui/stress_dialog.h"

#include <QComboBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <exception>
#include <optional>
#include <string>

#include "core/analysis/analysis.h"
#include "core/base/error.h"
#include "core/base/number_text.h"
#include "core/elastic/stress_map.h"
#include "core/elastic/stress_report.h"
#include "core/picture/picture_file.h"
#include "core/session/session.h"
#include "gui/plain_text.h"
#include "gui/prompter.h"
#include "gui/qt_text.h"
#include "gui/shell.h"
#include "imaging/overlay_renderer.h"
#include "imaging/picture_image.h"

namespace qv {
namespace {

// The user's order of the actions; each edit is named after the action it shows.
constexpr const char* kUserNames[] = {"N", "My", "Mz", "Vy", "Vz", "T"};

constexpr StressKind kFields[] = {StressKind::Sigma, StressKind::Tau, StressKind::VonMises};

// What each action is, by its formal kind: the hint of its field.
QString Hint(ActionKind kind) {
  switch (kind) {
    case ActionKind::N:
      return "axial force, tension positive";
    case ActionKind::My:
      return "moment whose stresses grow along y, to the left (bends with EIyy)";
    case ActionKind::Mz:
      return "moment whose stresses grow along z, downwards (bends with EIzz)";
    case ActionKind::Vy:
      return "shear force along y, to the left, through the shear centre";
    case ActionKind::Vz:
      return "shear force along z, downwards, through the shear centre";
    case ActionKind::T:
      break;
  }
  return "torque about the shear centre, turning y towards z";
}

QString BlockText(const SectionSession& session, const char* lineEnd) {
  QString text;
  for (const std::string& line :
       StressReport(*session.Stresses(), session.Settings().SignConvention, session.TextUnits())) {
    text += Q(line) + lineEnd;
  }
  return text;
}

}  // namespace

StressDialog::StressDialog(SectionSession& session, Hooks hooks, QWidget* parent)
    : SolveDialog(session, parent), mHooks(std::move(hooks)) {
  setObjectName("StressDialog");
  setWindowTitle("Stresses");
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(
      "Actions in N and Nmm: y to the left, z downwards, from the elastic centre; shear forces "
      "through the shear centre, T about it (kept in the settings):",
      this));

  const SignConvention convention = mSession.Settings().SignConvention;
  const StressSettings& stored = mSession.Settings().Stress;
  auto* actions = new QGridLayout;
  for (int i = 0; i < 6; ++i) {
    const ActionKind kind = *ActionOfName(kUserNames[i], convention);
    auto* caption =
        new QLabel(QString("%1 [%2]").arg(kUserNames[i], Q(std::string(ActionUnit(kind)))), this);
    auto* edit = new QLineEdit(Q(FormatNumber(ActionValue(stored, kind))), this);
    edit->setObjectName(QString(kUserNames[i]) + "Edit");
    edit->setToolTip(Hint(kind));
    caption->setToolTip(Hint(kind));
    ActionEdits[static_cast<std::size_t>(i)] = edit;
    actions->addWidget(caption, i % 3, (i / 3) * 2);
    actions->addWidget(edit, i % 3, (i / 3) * 2 + 1);
  }
  layout->addLayout(actions);

  auto* fieldRow = new QHBoxLayout;
  fieldRow->addWidget(new QLabel("Map:", this));
  FieldBox = new QComboBox(this);
  FieldBox->setObjectName("FieldBox");
  for (const StressKind kind : kFields) FieldBox->addItem(Q(std::string(StressKindTitle(kind))));
  const std::optional<StressKind> field = StressKindOfKey(stored.Field);
  FieldBox->setCurrentIndex(field == StressKind::Sigma ? 0 : field == StressKind::Tau ? 1 : 2);
  fieldRow->addWidget(FieldBox, 1);
  layout->addLayout(fieldRow);

  AddComputeRow(layout, "the stresses of the last analysis under these actions");
  MakeValuesMemo();
  layout->addWidget(ValuesMemo, 1);

  auto* buttonRow = new QHBoxLayout;
  buttonRow->addStretch(1);
  MakeCopyAndClose("copy the extremes to the clipboard as text");
  SaveButton = new QPushButton("Save map ...", this);
  SaveButton->setObjectName("SaveButton");
  SaveButton->setToolTip("save the map as a PNG or BMP picture");
  buttonRow->addWidget(CopyButton);
  buttonRow->addWidget(SaveButton);
  buttonRow->addWidget(CloseButton);
  layout->addLayout(buttonRow);

  connect(ComputeButton, &QPushButton::clicked, this, [this] { ComputeButtonClick(); });
  connect(CopyButton, &QPushButton::clicked, this,
          [this] { Guarded([this] { CopyButtonClick(); }); });
  connect(SaveButton, &QPushButton::clicked, this,
          [this] { Guarded([this] { SaveButtonClick(); }); });
  connect(FieldBox, &QComboBox::currentIndexChanged, this,
          [this] { Guarded([this] { FieldChanged(); }); });

  ShowValues();
  StatusLabel->setText(mSession.Stresses() ? "Stresses of the last computation."
                                           : "Not computed yet: Compute gives the stresses of "
                                             "the last analysis under these actions.");
  KeepLabelsPlain(this);
}

StressKind StressDialog::Field() const {
  const int i = FieldBox->currentIndex();
  return kFields[i >= 0 && i < 3 ? i : 2];
}

void StressDialog::FieldChanged() {
  ProgramSettings settings = mSession.Settings();
  settings.Stress.Field = std::string(StressKindKey(Field()));
  mSession.ChangeSettings(settings);
  if (mSession.Stresses() && mHooks.showMap) mHooks.showMap();
}

void StressDialog::ShowValues() {
  if (mSession.Stresses()) {
    ValuesMemo->setPlainText(BlockText(mSession, "\n"));
  } else {
    ValuesMemo->clear();
  }
  EnableControls();
}

void StressDialog::EnableControls() {
  const bool computing = Computing();
  ComputeButton->setEnabled(!computing);
  CancelButton->setEnabled(computing);
  for (QLineEdit* edit : ActionEdits) edit->setEnabled(!computing);
  FieldBox->setEnabled(!computing);
  CopyButton->setEnabled(!computing && mSession.Stresses().has_value());
  SaveButton->setEnabled(!computing && mSession.Stresses().has_value());
  CloseButton->setEnabled(!computing);
}

void StressDialog::ComputeButtonClick() {
  if (Computing()) return;
  // The actions as typed, in formal names, remembered whether or not the computation succeeds.
  const SignConvention convention = mSession.Settings().SignConvention;
  SectionActions actions;
  for (int i = 0; i < 6; ++i) {
    const ActionKind kind = *ActionOfName(kUserNames[i], convention);
    const QString text = ActionEdits[static_cast<std::size_t>(i)]->text().trimmed();
    double value = 0;
    try {
      if (!text.isEmpty()) value = ReadReal(S(text));
    } catch (const Error& e) {
      Prompts().Error(QString("%1: %2").arg(kUserNames[i], Q(e.what())));
      return;
    }
    ActionValue(actions, kind) = value;
  }
  ProgramSettings settings = mSession.Settings();
  settings.Stress = StressSettings{actions, std::string(StressKindKey(Field()))};
  mSession.ChangeSettings(settings);

  const bool freshBefore = mSession.PictureFresh();
  const bool hadElastic = mSession.Elastic().has_value();
  std::optional<SectionSession::StressOutcome> outcome;
  const std::string error = Compute(
      [&](const ProgressFn& progress, const std::atomic<bool>* cancel) {
        outcome = mSession.ComputeStresses(actions, progress, cancel);
      },
      mHooks.setBusy);
  if (outcome == SectionSession::StressOutcome::Done) {
    ProgressBar->setValue(ProgressBar->maximum());
    StatusLabel->setText("Computed; the picture shows the map.");
  } else {
    ProgressBar->setValue(0);
    StatusLabel->setText(outcome ? "Cancelled: no stresses." : "Not computed.");
  }
  ShowValues();
  // A solve may have read the picture again or replaced the shear centre's values.
  if ((freshBefore != mSession.PictureFresh() || hadElastic != mSession.Elastic().has_value() ||
       (outcome && actions.NeedsSolve())) &&
      mHooks.pictureChanged) {
    mHooks.pictureChanged();
  }
  if (mSession.Stresses() && mHooks.showMap) mHooks.showMap();
  if (!error.empty()) Prompts().Error(Q(error));
}

void StressDialog::CopyButtonClick() {
  if (!mSession.Stresses()) return;
  Shells().SetClipboardText(BlockText(mSession, "\r\n"));
}

void StressDialog::SaveButtonClick() {
  if (!mSession.Stresses()) return;
  const QFileInfo picture(Q(mSession.PictureFile()));
  const QString suggested =
      picture.absolutePath() + "/" + picture.completeBaseName() + "-stresses.png";
  const std::optional<QString> chosen = Prompts().SavePictureFile(suggested);
  if (!chosen) return;
  const std::string path = S(*chosen);
  // The drawing is never written over, whichever path or link names it.
  RefuseWritingOverPicture(mSession.PictureFile(), path);
  StressDrawing map =
      AnalysisStressMap(mSession, Field(), mHooks.font ? mHooks.font() : GraphicsFont{});
  RenderOverlay(map.ops, map.picture);
  SavePicture(map.picture, path);
  StatusLabel->setText("Saved the map as " + *chosen + ".");
}

}  // namespace qv
