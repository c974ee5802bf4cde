// The dialog "Torsion and section moduli".
#include "gui/extended_dialog.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>
#include <exception>
#include <optional>
#include <string>

#include "core/base/error.h"
#include "core/base/material.h"
#include "core/base/number_text.h"
#include "core/elastic/extended_report.h"
#include "core/elastic/section_table.h"
#include "core/section/overlay.h"
#include "core/section/plastic_report.h"
#include "core/section/result_text.h"
#include "core/session/session.h"
#include "gui/plain_text.h"
#include "gui/prompter.h"
#include "gui/qt_text.h"
#include "gui/shell.h"

namespace qv {
namespace {

QString GText(double E, double nu) { return Q(FormatGeneral(ShearModulus(E, nu), 6, 1)); }

QTableWidgetItem* Cell(const QString& text, bool editable) {
  auto* item = new QTableWidgetItem(text);
  Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
  if (editable) flags |= Qt::ItemIsEditable;
  item->setFlags(flags);
  return item;
}

// The block of the session's extended values; only while it has them.
QString BlockText(const SectionSession& session, const char* lineEnd) {
  QString text;
  for (const std::string& line : session.ExtendedLines()) text += Q(line) + lineEnd;
  return text;
}

// A strength cell's text: empty for a material without one.
QString StrengthText(const std::optional<Strength>& strength, bool compression) {
  if (!strength) return {};
  return Q(FormatNumber(compression ? strength->compression : strength->tension));
}

}  // namespace

ExtendedDialog::ExtendedDialog(SectionSession& session, Hooks hooks, QWidget* parent)
    : SolveDialog(session, parent), mHooks(std::move(hooks)) {
  setObjectName("ExtendedDialog");
  setWindowTitle("Torsion and section moduli");
  auto* layout = new QVBoxLayout(this);

  auto* tableCaption = new QLabel(
      "Poisson's ratio nu of each material in use (G = E / (2 (1 + nu)); kept in the library):",
      this);
  layout->addWidget(tableCaption);
  auto* strengthCaption = new QLabel(
      "Strengths fc in compression and ft in tension for the plastic moments (empty: none; kept "
      "in the library):",
      this);
  strengthCaption->setObjectName("StrengthCaption");
  layout->addWidget(strengthCaption);
  PoissonTable = new QTableWidget(0, kColumns, this);
  PoissonTable->setObjectName("PoissonTable");
  PoissonTable->setHorizontalHeaderLabels(
      {"color", "name", "E [N/mm^2]", "nu", "G [N/mm^2]", "fc [N/mm^2]", "ft [N/mm^2]"});
  PoissonTable->verticalHeader()->hide();
  PoissonTable->horizontalHeader()->setStretchLastSection(true);
  PoissonTable->setSelectionMode(QAbstractItemView::SingleSelection);
  PoissonTable->setEditTriggers(QAbstractItemView::DoubleClicked |
                                QAbstractItemView::EditKeyPressed |
                                QAbstractItemView::AnyKeyPressed);
  PoissonTable->setMaximumHeight(130);
  layout->addWidget(PoissonTable);

  AddComputeRow(layout, "solve the torsion of the last analysis");
  MakeValuesMemo();
  DesignTable = new QTableWidget(0, kDesignColumns, this);
  DesignTable->setObjectName("DesignTable");
  DesignTable->setHorizontalHeaderLabels({"", "value", "unit", "in tables", "unit", "meaning"});
  DesignTable->verticalHeader()->hide();
  DesignTable->verticalHeader()->setDefaultSectionSize(DesignTable->fontMetrics().height() + 6);
  DesignTable->horizontalHeader()->setStretchLastSection(true);
  DesignTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
  ValuesTabs = new QTabWidget(this);
  ValuesTabs->setObjectName("ValuesTabs");
  ValuesTabs->addTab(ValuesMemo, "all values");
  ValuesTabs->addTab(DesignTable, "design values");
  layout->addWidget(ValuesTabs, 1);

  auto* buttonRow = new QHBoxLayout;
  buttonRow->addStretch(1);
  MakeCopyAndClose("copy the values to the clipboard as text");
  buttonRow->addWidget(CopyButton);
  buttonRow->addWidget(CloseButton);
  layout->addLayout(buttonRow);

  connect(ComputeButton, &QPushButton::clicked, this, [this] { ComputeButtonClick(); });
  connect(CopyButton, &QPushButton::clicked, this,
          [this] { Guarded([this] { CopyButtonClick(); }); });
  connect(PoissonTable, &QTableWidget::itemChanged, this,
          [this](QTableWidgetItem* item) { Guarded([this, item] { PoissonTableChanged(item); }); });

  FillTable();
  ShowValues();
  SetStatus(mSession.Elastic() ? "Values of the last analysis."
                               : "Not computed yet: Compute solves the torsion of the last "
                                 "analysis.");
  KeepLabelsPlain(this);
}

void ExtendedDialog::FillTable() {
  mFilling = true;
  PoissonTable->setRowCount(0);
  if (const TPROPClass* library = mSession.MaterialLibrary()) {
    for (const TPROPRec& entry : *library) {
      if (!entry.inUse) continue;
      const PROPRec& p = entry.prop;
      const double nu = mSession.Poisson().Get(p.colorlabel);
      const int row = PoissonTable->rowCount();
      PoissonTable->insertRow(row);
      PoissonTable->setItem(row, kLabelColumn, Cell(Q(p.colorlabel), false));
      PoissonTable->setItem(row, kNameColumn, Cell(Q(p.name), false));
      PoissonTable->setItem(row, kEColumn, Cell(Q(FormatNumber(p.E)), false));
      PoissonTable->setItem(row, kNuColumn, Cell(Q(FormatNumber(nu)), true));
      PoissonTable->setItem(row, kGColumn, Cell(GText(p.E, nu), false));
      const std::optional<Strength> strength = mSession.Strengths().Get(p.colorlabel);
      PoissonTable->setItem(row, kFcColumn, Cell(StrengthText(strength, true), true));
      PoissonTable->setItem(row, kFtColumn, Cell(StrengthText(strength, false), true));
    }
  }
  PoissonTable->resizeColumnsToContents();
  // Room for a ratio typed with more digits than the stored "0.3", such as "0.25", with the
  // editor's frame around it.
  const int nuWidth = PoissonTable->fontMetrics().horizontalAdvance(QStringLiteral("0.2500")) + 24;
  if (PoissonTable->columnWidth(kNuColumn) < nuWidth) {
    PoissonTable->setColumnWidth(kNuColumn, nuWidth);
  }
  mFilling = false;
}

void ExtendedDialog::ShowValues() {
  const std::optional<ElasticResult>& elastic = mSession.Elastic();
  if (elastic) {
    ValuesMemo->setPlainText(BlockText(mSession, "\n"));
  } else {
    ValuesMemo->clear();
  }
  std::vector<DesignValue> rows;
  const UnitSystem units = mSession.TextUnits();
  if (elastic) rows = DesignValues(*elastic, units);
  if (elastic && mSession.Plastic() && mSession.Plastic()->values) {
    const std::vector<DesignValue> plastic =
        PlasticDesignValues(*mSession.Plastic()->values, units);
    rows.insert(rows.end(), plastic.begin(), plastic.end());
  }
  // The section-table line, for one material only: under a title row of its own, since its
  // symbols repeat some of the rows above about other axes.
  if (elastic && mSession.Table() && mSession.Table()->line) {
    rows.push_back(
        {"", "section table (one material, axes through the elastic centre C):", 0, "", 0, ""});
    for (const SectionTableEntry& entry :
         SectionTableEntries(*mSession.Table()->line, mSession.Settings().SignConvention, units)) {
      rows.push_back(entry.value);
    }
  }
  DesignTable->setRowCount(0);
  for (const DesignValue& v : rows) {
    const int row = DesignTable->rowCount();
    DesignTable->insertRow(row);
    const auto number = [](double x) { return Q(FormatGeneral(x, 5, 3)); };
    const auto put = [&](int column, const QString& text, bool right) {
      QTableWidgetItem* item = Cell(text, false);
      if (right) item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
      DesignTable->setItem(row, column, item);
    };
    put(kSymbolColumn, Q(v.symbol), false);
    put(kValueColumn, v.unit.empty() && v.symbol.empty() ? QString() : number(v.value), true);
    put(kUnitColumn, Q(v.unit), false);
    put(kTableValueColumn, v.tableUnit.empty() ? QString() : number(v.tableValue), true);
    put(kTableUnitColumn, Q(v.tableUnit), false);
    put(kMeaningColumn, Q(v.meaning), false);
  }
  DesignTable->resizeColumnsToContents();
  EnableControls();
}

void ExtendedDialog::SetStatus(const QString& text) {
  QString status = text;
  const std::optional<ElasticResult>& elastic = mSession.Elastic();
  if (elastic) {
    const SectionResult& result = mSession.Result();
    if (const std::optional<std::string> note = ShearCentreOffPictureNote(
            mSession.PictureWidth(), mSession.PictureHeight(), mSession.Bounds(),
            elastic->ShearCentreHor, elastic->ShearCentreVer, result.Dx, result.Dy)) {
      status += "\n" + Q(*note) + " Its marker is not drawn.";
    }
  }
  StatusLabel->setText(status);
}

void ExtendedDialog::EnableControls() {
  const bool computing = Computing();
  ComputeButton->setEnabled(!computing);
  CancelButton->setEnabled(computing);
  PoissonTable->setEnabled(!computing);
  CopyButton->setEnabled(!computing && mSession.Elastic().has_value());
  CloseButton->setEnabled(!computing);
}

void ExtendedDialog::ComputeButtonClick() {
  if (Computing()) return;
  const bool freshBefore = mSession.PictureFresh();
  std::optional<SectionSession::ElasticOutcome> outcome;
  const std::string error = Compute(
      [&](const ProgressFn& progress, const std::atomic<bool>* cancel) {
        outcome = mSession.ComputeElastic(progress, cancel);
      },
      mHooks.setBusy);
  if (outcome == SectionSession::ElasticOutcome::Done) {
    ProgressBar->setValue(ProgressBar->maximum());
    SetStatus("Computed.");
  } else {
    ProgressBar->setValue(0);
    StatusLabel->setText(outcome ? "Cancelled: no values." : "Not computed.");
  }
  ShowValues();
  // The marker comes or goes with the values; a picture read again lost its overlay.
  if ((outcome || freshBefore != mSession.PictureFresh()) && mHooks.pictureChanged) {
    mHooks.pictureChanged();
  }
  if (!error.empty()) Prompts().Error(Q(error));
}

void ExtendedDialog::CopyButtonClick() {
  const std::optional<ElasticResult>& elastic = mSession.Elastic();
  if (!elastic) return;
  // Line ends as the report's on the clipboard.
  Shells().SetClipboardText(BlockText(mSession, "\r\n"));
}

void ExtendedDialog::PoissonTableChanged(QTableWidgetItem* item) {
  if (mFilling || Computing() || item == nullptr) return;
  if (item->column() == kFcColumn || item->column() == kFtColumn) {
    StrengthChanged(item);
    return;
  }
  if (item->column() != kNuColumn) return;
  const int row = item->row();
  const std::string label = S(PoissonTable->item(row, kLabelColumn)->text());
  const bool hadValues = mSession.Elastic().has_value();
  std::string error;
  try {
    mSession.SetPoissonRatio(label, ReadReal(S(item->text())));
  } catch (const std::exception& e) {
    error = e.what();
  }
  // The cell shows the ratio as stored: the old one after an error, else the value as the
  // library file will hold it.
  const double nu = mSession.Poisson().Get(label);
  const TPROPRec* entry =
      mSession.MaterialLibrary() ? mSession.MaterialLibrary()->FindByLabel(label) : nullptr;
  const double E = entry ? entry->prop.E : 0;
  {
    const QSignalBlocker blocker(PoissonTable);
    item->setText(Q(FormatNumber(nu)));
    PoissonTable->item(row, kGColumn)->setText(GText(E, nu));
  }
  if (!error.empty()) {
    Prompts().Error(Q(error));
    return;
  }
  if (hadValues && !mSession.Elastic()) {
    ShowValues();
    StatusLabel->setText("A Poisson's ratio changed: Compute gives the new values.");
    if (mHooks.pictureChanged) mHooks.pictureChanged();
  }
}

void ExtendedDialog::StrengthChanged(QTableWidgetItem* item) {
  const int row = item->row();
  const std::string label = S(PoissonTable->item(row, kLabelColumn)->text());
  const bool compression = item->column() == kFcColumn;
  const bool hadValues = mSession.Elastic().has_value();
  std::string error;
  try {
    std::optional<Strength> strength;
    if (!item->text().trimmed().isEmpty()) {
      double value = 0;
      try {
        value = ReadReal(S(item->text()));
      } catch (const Error& e) {
        throw Error("The strength of " + label + " cannot be read: " + e.what());
      }
      // Like "355" in the file: one value holds both ways until the other is given.
      strength = mSession.Strengths().Get(label).value_or(Strength{value, value});
      (compression ? strength->compression : strength->tension) = value;
    }
    mSession.SetStrength(label, strength);
  } catch (const std::exception& e) {
    error = e.what();
  }
  const std::optional<Strength> stored = mSession.Strengths().Get(label);
  {
    const QSignalBlocker blocker(PoissonTable);
    PoissonTable->item(row, kFcColumn)->setText(StrengthText(stored, true));
    PoissonTable->item(row, kFtColumn)->setText(StrengthText(stored, false));
  }
  if (!error.empty()) {
    Prompts().Error(Q(error));
    return;
  }
  if (hadValues && !mSession.Elastic()) {
    ShowValues();
    StatusLabel->setText("A strength changed: Compute gives the new values.");
    if (mHooks.pictureChanged) mHooks.pictureChanged();
  }
}

}  // namespace qv
