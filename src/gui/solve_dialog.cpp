// What the torsion and the stresses dialogs share.
#include "gui/solve_dialog.h"

#include <QBoxLayout>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <exception>

namespace qv {

SolveDialog::SolveDialog(SectionSession& session, QWidget* parent)
    : QDialog(parent), mSession(session) {}

void SolveDialog::AddComputeRow(QBoxLayout* layout, const QString& computeTip) {
  auto* computeRow = new QHBoxLayout;
  ComputeButton = new QPushButton("Compute", this);
  ComputeButton->setObjectName("ComputeButton");
  ComputeButton->setToolTip(computeTip);
  ProgressBar = new QProgressBar(this);
  ProgressBar->setObjectName("ProgressBar");
  ProgressBar->setRange(0, 1000);
  ProgressBar->setValue(0);
  CancelButton = new QPushButton("Cancel", this);
  CancelButton->setObjectName("CancelButton");
  computeRow->addWidget(ComputeButton);
  computeRow->addWidget(ProgressBar, 1);
  computeRow->addWidget(CancelButton);
  layout->addLayout(computeRow);

  StatusLabel = new QLabel(this);
  StatusLabel->setObjectName("StatusLabel");
  layout->addWidget(StatusLabel);
  connect(CancelButton, &QPushButton::clicked, this, [this] { CancelButtonClick(); });
}

QPlainTextEdit* SolveDialog::MakeValuesMemo() {
  ValuesMemo = new QPlainTextEdit(this);
  ValuesMemo->setObjectName("ValuesMemo");
  ValuesMemo->setReadOnly(true);
  ValuesMemo->setLineWrapMode(QPlainTextEdit::NoWrap);
  ValuesMemo->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  ValuesMemo->setMinimumSize(720, 300);
  return ValuesMemo;
}

void SolveDialog::MakeCopyAndClose(const QString& copyTip) {
  CopyButton = new QPushButton("Copy", this);
  CopyButton->setObjectName("CopyButton");
  CopyButton->setToolTip(copyTip);
  CloseButton = new QPushButton("Close", this);
  CloseButton->setObjectName("CloseButton");
  connect(CloseButton, &QPushButton::clicked, this, &QDialog::close);
}

std::string SolveDialog::Compute(
    const std::function<void(const std::function<void(std::int64_t, std::int64_t)>& progress,
                             const std::atomic<bool>* cancel)>& work,
    const std::function<void(bool busy)>& setBusy) {
  mComputing = true;
  mCancel = false;
  mPump.Restart();
  ProgressBar->setValue(0);
  StatusLabel->setText("Computing ...");
  EnableControls();
  if (setBusy) setBusy(true);
  std::string error;
  try {
    work([this](std::int64_t done, std::int64_t total) { Progress(done, total); }, &mCancel);
  } catch (const std::exception& e) {
    error = e.what();
  }
  mComputing = false;
  if (setBusy) setBusy(false);
  return error;
}

void SolveDialog::Progress(std::int64_t done, std::int64_t total) {
  if (total > 0) {
    ProgressBar->setValue(static_cast<int>(done * ProgressBar->maximum() / total));
  }
  mPump.Tick();
}

void SolveDialog::CancelButtonClick() {
  if (mComputing) mCancel = true;
}

void SolveDialog::reject() {
  if (mComputing) {
    mCancel = true;
    return;
  }
  QDialog::reject();
}

}  // namespace qv
