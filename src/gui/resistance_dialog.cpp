// The dialog "Resistance".
#include "gui/resistance_dialog.h"

#include <QCheckBox>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTableWidget>
#include <QVBoxLayout>
#include <chrono>
#include <exception>
#include <future>
#include <optional>
#include <string>

#include "core/analysis/analysis.h"
#include "core/base/error.h"
#include "core/base/number_text.h"
#include "core/library/dd_props.h"
#include "core/library/material_law.h"
#include "core/picture/picture_file.h"
#include "core/section/resistance_diagram.h"
#include "core/section/resistance_report.h"
#include "core/session/session.h"
#include "gui/plain_text.h"
#include "gui/prompter.h"
#include "gui/qt_text.h"
#include "gui/shell.h"
#include "imaging/overlay_renderer.h"
#include "imaging/picture_image.h"

namespace qv {
namespace {

enum Column { kLabelColumn, kNameColumn, kEColumn, kLawColumn, kFcColumn, kFtColumn, kColumns };

// Room for the diagrams on screen, at the picture's proportions.
constexpr int kDiagramWidth = 640;
constexpr int kDiagramHeight = kDiagramWidth * kResistancePlotHeight / kResistancePlotWidth;

const QString kLawTip =
    "linear, elastic-plastic[,eu=STRAIN], parabola-rectangle[,ec2=0.002,ecu=0.0035,n=2], "
    "no-tension or points:EPS/SIGMA;EPS/SIGMA;... (compression negative); empty: "
    "parabola-rectangle with a tension strength of 0, elastic-plastic with a strength both ways, "
    "linear without one";

QTableWidgetItem* Cell(const QString& text, bool editable) {
  auto* item = new QTableWidgetItem(text);
  Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
  if (editable) flags |= Qt::ItemIsEditable;
  item->setFlags(flags);
  return item;
}

QString StrengthText(const std::optional<Strength>& strength, bool compression) {
  if (!strength) return {};
  return Q(FormatNumber(compression ? strength->compression : strength->tension));
}

QString LawText(const SectionSession& session, const std::string& label) {
  const std::optional<MaterialLaw> law = session.Laws().Get(label);
  return law ? Q(MaterialLawText(*law)) : QString();
}

QString BlockText(const SectionSession& session, const char* lineEnd) {
  QString text;
  for (const std::string& line : ResistanceReport(*session.Resistance(), session.TextUnits())) {
    text += Q(line) + lineEnd;
  }
  return text;
}

}  // namespace

ResistanceDialog::ResistanceDialog(SectionSession& session, Hooks hooks, QWidget* parent)
    : SolveDialog(session, parent), mHooks(std::move(hooks)) {
  setObjectName("ResistanceDialog");
  setWindowTitle("Resistance");
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(
      "Stress-strain law and strengths fc, ft [N/mm^2] of each material in use (empty law: the "
      "default of its strengths; kept in the library):",
      this));
  LawTable = new QTableWidget(0, kColumns, this);
  LawTable->setObjectName("LawTable");
  LawTable->setHorizontalHeaderLabels(
      {"Colour", "Material", "E [N/mm^2]", "Law", "fc [N/mm^2]", "ft [N/mm^2]"});
  LawTable->horizontalHeader()->setSectionResizeMode(kLawColumn, QHeaderView::Stretch);
  LawTable->verticalHeader()->setVisible(false);
  LawTable->setMaximumHeight(160);
  layout->addWidget(LawTable);

  auto* forceRow = new QHBoxLayout;
  auto* caption = new QLabel("N [kN], tension positive:", this);
  forceRow->addWidget(caption);
  NEdit = new QLineEdit(Q(FormatNumber(mSession.Resistance() && mSession.Resistance()->values
                                           ? mSession.Resistance()->values->n / 1e3
                                           : 0.0)),
                        this);
  NEdit->setObjectName("NEdit");
  NEdit->setToolTip("the axial force the ultimate moments and the moment-curvature hold with");
  forceRow->addWidget(NEdit);
  MomentCurvatureBox = new QCheckBox("moment-curvature", this);
  MomentCurvatureBox->setObjectName("MomentCurvatureBox");
  MomentCurvatureBox->setToolTip("also the moment-curvature about both axes at N");
  forceRow->addWidget(MomentCurvatureBox);
  forceRow->addStretch(1);
  layout->addLayout(forceRow);

  AddComputeRow(layout, "the ultimate resistance and the N-M interaction of the last analysis");
  auto* results = new QHBoxLayout;
  MakeValuesMemo();
  ValuesMemo->setMinimumSize(480, kDiagramHeight);
  results->addWidget(ValuesMemo, 1);
  DiagramLabel = new QLabel(this);
  DiagramLabel->setObjectName("DiagramLabel");
  DiagramLabel->setFixedSize(kDiagramWidth, kDiagramHeight);
  DiagramLabel->setAlignment(Qt::AlignCenter);
  results->addWidget(DiagramLabel);
  layout->addLayout(results, 1);

  auto* buttonRow = new QHBoxLayout;
  buttonRow->addStretch(1);
  MakeCopyAndClose("copy the block of the report to the clipboard as text");
  SaveButton = new QPushButton("Save diagram ...", this);
  SaveButton->setObjectName("SaveButton");
  SaveButton->setToolTip("save the diagrams as a PNG or BMP picture");
  buttonRow->addWidget(CopyButton);
  buttonRow->addWidget(SaveButton);
  buttonRow->addWidget(CloseButton);
  layout->addLayout(buttonRow);

  connect(ComputeButton, &QPushButton::clicked, this, [this] { ComputeButtonClick(); });
  connect(CopyButton, &QPushButton::clicked, this,
          [this] { Guarded([this] { CopyButtonClick(); }); });
  connect(SaveButton, &QPushButton::clicked, this,
          [this] { Guarded([this] { SaveButtonClick(); }); });
  connect(LawTable, &QTableWidget::itemChanged, this,
          [this](QTableWidgetItem* item) { Guarded([this, item] { TableChanged(item); }); });

  FillTable();
  ShowValues();
  StatusLabel->setText(mSession.Resistance() ? "Values of the last computation."
                                             : "Not computed yet: Compute gives the resistance "
                                               "of the last analysis.");
  KeepLabelsPlain(this);
}

void ResistanceDialog::FillTable() {
  mFilling = true;
  LawTable->setRowCount(0);
  if (const TPROPClass* library = mSession.MaterialLibrary()) {
    for (const TPROPRec& entry : *library) {
      if (!entry.inUse) continue;
      const PROPRec& p = entry.prop;
      const int row = LawTable->rowCount();
      LawTable->insertRow(row);
      LawTable->setItem(row, kLabelColumn, Cell(Q(p.colorlabel), false));
      LawTable->setItem(row, kNameColumn, Cell(Q(p.name), false));
      LawTable->setItem(row, kEColumn, Cell(Q(FormatNumber(p.E)), false));
      QTableWidgetItem* law = Cell(LawText(mSession, p.colorlabel), true);
      law->setToolTip(kLawTip);
      LawTable->setItem(row, kLawColumn, law);
      const std::optional<Strength> strength = mSession.Strengths().Get(p.colorlabel);
      LawTable->setItem(row, kFcColumn, Cell(StrengthText(strength, true), true));
      LawTable->setItem(row, kFtColumn, Cell(StrengthText(strength, false), true));
    }
  }
  LawTable->resizeColumnsToContents();
  mFilling = false;
}

void ResistanceDialog::TableChanged(QTableWidgetItem* item) {
  if (mFilling || Computing() || item == nullptr) return;
  const int row = item->row();
  const int column = item->column();
  if (column != kLawColumn && column != kFcColumn && column != kFtColumn) return;
  const std::string label = S(LawTable->item(row, kLabelColumn)->text());
  const bool hadValues = mSession.Resistance().has_value() || mSession.Elastic().has_value();
  const std::string text = S(item->text().trimmed());
  std::string error;
  try {
    if (column == kLawColumn) {
      std::optional<MaterialLaw> law;
      if (!text.empty()) law = ReadMaterialLaw(text);
      mSession.SetLaw(label, law);
    } else {
      std::optional<Strength> strength;
      if (!text.empty()) {
        double value = 0;
        try {
          value = ReadReal(text);
        } catch (const Error& e) {
          throw Error("The strength of " + label + " cannot be read: " + e.what());
        }
        // Like "355" in the file: one value holds both ways until the other is given.
        strength = mSession.Strengths().Get(label).value_or(Strength{value, value});
        (column == kFcColumn ? strength->compression : strength->tension) = value;
      }
      mSession.SetStrength(label, strength);
    }
  } catch (const std::exception& e) {
    error = e.what();
  }
  // The cells show what is stored: the old value after an error, else as the file holds it.
  {
    const QSignalBlocker blocker(LawTable);
    const std::optional<Strength> stored = mSession.Strengths().Get(label);
    LawTable->item(row, kLawColumn)->setText(LawText(mSession, label));
    LawTable->item(row, kFcColumn)->setText(StrengthText(stored, true));
    LawTable->item(row, kFtColumn)->setText(StrengthText(stored, false));
  }
  if (!error.empty()) {
    Prompts().Error(Q(error));
    return;
  }
  if (hadValues && !mSession.Resistance() && !mSession.Elastic()) {
    ShowValues();
    StatusLabel->setText("A law or strength changed: Compute gives the new values.");
    if (mHooks.pictureChanged) mHooks.pictureChanged();
  }
}

OverlayOps ResistanceDialog::DiagramOps() const {
  return AnalysisResistancePlot(mSession, std::nullopt,
                                mHooks.font ? mHooks.font() : GraphicsFont{});
}

void ResistanceDialog::ShowValues() {
  if (mSession.Resistance()) {
    ValuesMemo->setPlainText(BlockText(mSession, "\n"));
    mDiagram = QImage(kResistancePlotWidth, kResistancePlotHeight, QImage::Format_RGB32);
    mDiagram.fill(Qt::white);
    RenderOverlay(DiagramOps(), mDiagram);
    DiagramLabel->setPixmap(QPixmap::fromImage(
        mDiagram.scaled(DiagramLabel->size(), Qt::KeepAspectRatio, Qt::SmoothTransformation)));
  } else {
    ValuesMemo->clear();
    mDiagram = QImage();
    DiagramLabel->clear();
  }
  EnableControls();
}

void ResistanceDialog::EnableControls() {
  const bool computing = Computing();
  const bool values = mSession.Resistance().has_value();
  ComputeButton->setEnabled(!computing);
  CancelButton->setEnabled(computing);
  LawTable->setEnabled(!computing);
  NEdit->setEnabled(!computing);
  MomentCurvatureBox->setEnabled(!computing);
  CopyButton->setEnabled(!computing && values);
  SaveButton->setEnabled(!computing && values);
  CloseButton->setEnabled(!computing);
}

void ResistanceDialog::ComputeButtonClick() {
  if (Computing()) return;
  double n = 0;
  try {
    const QString text = NEdit->text().trimmed();
    if (!text.isEmpty()) n = ReadReal(S(text)) * 1e3;
  } catch (const Error& e) {
    Prompts().Error(QString("N: %1").arg(Q(e.what())));
    return;
  }
  const ResistanceAsk ask{.interactionPoints = kPlotInteractionPoints,
                          .momentCurvature = MomentCurvatureBox->isChecked()};
  const bool freshBefore = mSession.PictureFresh();
  bool cancelled = false;
  const std::string error = Compute(
      [&](const ProgressFn& progress, const std::atomic<bool>* cancel) {
        std::function<ResistanceOutcome()> job = mSession.ResistanceJob(n, ask, cancel);
        // The core tells no progress: the bar runs while the work does, and the window's events
        // (Cancel among them) are pumped until it is done.
        ProgressBar->setRange(0, 0);
        std::future<ResistanceOutcome> done = std::async(std::launch::async, std::move(job));
        progress(0, 0);  // once at least, however soon the work ends
        while (done.wait_for(std::chrono::milliseconds(5)) != std::future_status::ready) {
          progress(0, 0);
        }
        ProgressBar->setRange(0, 1000);
        ResistanceOutcome outcome = done.get();
        cancelled = cancel->load();
        if (!cancelled) mSession.KeepResistance(std::move(outcome));
      },
      mHooks.setBusy);
  ProgressBar->setRange(0, 1000);
  if (mSession.Resistance()) {
    ProgressBar->setValue(ProgressBar->maximum());
    StatusLabel->setText("Computed.");
  } else {
    ProgressBar->setValue(0);
    StatusLabel->setText(cancelled ? "Cancelled: no resistance." : "Not computed.");
  }
  ShowValues();
  // The picture may have been read again (a drawn-over one is never computed on).
  if (freshBefore != mSession.PictureFresh() && mHooks.pictureChanged) mHooks.pictureChanged();
  if (!error.empty()) Prompts().Error(Q(error));
}

void ResistanceDialog::CopyButtonClick() {
  if (!mSession.Resistance()) return;
  Shells().SetClipboardText(BlockText(mSession, "\r\n"));
}

void ResistanceDialog::SaveButtonClick() {
  if (!mSession.Resistance()) return;
  const QFileInfo picture(Q(mSession.PictureFile()));
  const QString suggested =
      picture.absolutePath() + "/" + picture.completeBaseName() + "-resistance.png";
  const std::optional<QString> chosen = Prompts().SavePictureFile(suggested);
  if (!chosen) return;
  const std::string path = S(*chosen);
  // The drawing is never written over, whichever path or link names it.
  RefuseWritingOverPicture(mSession.PictureFile(), path);
  PixelGrid plot(kResistancePlotWidth, kResistancePlotHeight, 0x00FFFFFF);
  RenderOverlay(DiagramOps(), plot);
  SavePicture(plot, path);
  StatusLabel->setText("Saved the diagrams as " + *chosen + ".");
}

}  // namespace qv
