// The main window's menu "File" beyond its designed entries: the shortcut of "Open Picture", the
// recent pictures and saving the report as a file.
#include <QAction>
#include <QFileInfo>
#include <QKeySequence>
#include <QMenu>
#include <functional>
#include <optional>
#include <string>

#include "core/analysis/report_document.h"
#include "core/base/error.h"
#include "core/picture/picture_file.h"
#include "core/settings/atomic_file.h"
#include "gui/main_window.h"
#include "gui/prompter.h"
#include "imaging/report_pdf.h"

namespace qv {

void TMainForm::BuildFileExtras() {
  mMenus.OpenPicture1->setShortcut(QKeySequence::Open);
  mMenus.Recent1 = mMenus.File1->addMenu("Recent pictures");
  mMenus.Recent1->setObjectName("Recent1");
  // Filled when it opens, so it always shows the list as it stands.
  connect(mMenus.Recent1, &QMenu::aboutToShow, this, [this] { FillRecentMenu(); });
  FillRecentMenu();
  mMenus.SaveReport1 = mMenus.File1->addAction("Save report as...");
  mMenus.SaveReport1->setObjectName("SaveReport1");
  mMenus.SaveReport1->setShortcut(QKeySequence::SaveAs);
  connect(mMenus.SaveReport1, &QAction::triggered, this,
          [this] { Guarded([this] { SaveReport1Click(); }); });
  mMenus.ExportPdf1 = mMenus.File1->addAction("Export report (PDF) ...");
  mMenus.ExportPdf1->setObjectName("ExportPdf1");
  connect(mMenus.ExportPdf1, &QAction::triggered, this,
          [this] { Guarded([this] { ExportPdf1Click(); }); });
  mMenus.File1->addSeparator();
}

void TMainForm::FillRecentMenu() {
  mMenus.Recent1->clear();
  const std::vector<std::string>& recent = mSession.Settings().RecentPictures;
  int number = 0;
  for (const std::string& picture : recent) {
    const QString path = QString::fromStdString(picture);
    // "&1 beam.bmp" with the folder beside it; the number is the key that opens it.
    QAction* action = mMenus.Recent1->addAction(
        QStringLiteral("&%1 %2  (%3)")
            .arg(++number)
            .arg(QFileInfo(path).fileName(), QFileInfo(path).absolutePath()));
    action->setData(path);
    connect(action, &QAction::triggered, this, [this, path] { RecentPictureClick(path); });
  }
  mMenus.Recent1->setEnabled(!recent.empty());
}

void TMainForm::RecentPictureClick(const QString& path) {
  if (mBusy) return;
  if (!QFileInfo(path).isFile()) {
    Prompts().Information("The picture is no longer there:\r- " + path +
                          "\r\rIt is taken off the recent pictures.");
    mSession.ForgetRecentPicture(path.toStdString());
    FillRecentMenu();
    return;
  }
  AcceptPicture(path);
}

std::optional<std::string> TMainForm::ReportFileToWrite(
    const QString& extension, const std::function<std::optional<QString>(const QString&)>& ask) {
  if (mBusy) return std::nullopt;
  if (mSession.Report().empty()) {
    Prompts().Information("No report yet: analyse the section first.");
    return std::nullopt;
  }
  const QFileInfo picture(QString::fromStdString(mSession.PictureFile()));
  const std::optional<QString> chosen =
      ask(picture.absolutePath() + "/" + picture.completeBaseName() + "-report." + extension);
  if (!chosen) return std::nullopt;
  std::string path = chosen->toStdString();
  // The PDF dialog's filter names .pdf files; a name typed there without the extension gets it.
  if (extension == "pdf" && QFileInfo(*chosen).suffix().isEmpty()) path += ".pdf";
  // The drawing is never written over, whichever path or link names it; nor a pipe or a device.
  RefuseWritingOverPicture(mSession.PictureFile(), path);
  RefuseUnsafeOutput(path);
  return path;
}

void TMainForm::SaveReport1Click() {
  const std::optional<std::string> path =
      ReportFileToWrite(QStringLiteral("txt"),
                        [](const QString& suggested) { return Prompts().SaveTextFile(suggested); });
  // Every block computed for this analysis, as the batch tool prints them after the report.
  if (path) WriteFileAtomically(*path, mSession.FullReportText());
}

void TMainForm::ExportPdf1Click() {
  const std::optional<std::string> path =
      ReportFileToWrite(QStringLiteral("pdf"),
                        [](const QString& suggested) { return Prompts().SavePdfFile(suggested); });
  if (!path) return;
  // Every block computed for this analysis, with the pictures of what the dialogs computed.
  const ReportDocument document =
      MakeSessionReport(mSession, RequestOfSession(mSession, TypedSize()), TodayText());
  WriteFileAtomically(*path, ReportPdf(document));
}

}  // namespace qv
