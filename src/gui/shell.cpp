// The Qt shell services: clipboard, desktop links, detached programs and the beep.
#include "gui/shell.h"

#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>
#include <QUrl>
#include <utility>

namespace qv {
namespace {

Shell* gInstalled = nullptr;

// "mailto:" and web links keep their scheme; anything else is a file path. A one-letter scheme
// is a Windows drive ("C:/..."), not a link.
QUrl DocumentUrl(const QString& pathOrUrl) {
  QUrl url(pathOrUrl);
  if (url.isValid() && url.scheme().size() > 1) return url;
  return QUrl::fromLocalFile(pathOrUrl);
}

// Opens `url` as the desktop would. Where the desktop's opener is xdg-open, it is run here and
// waited for in the background: it ends with a failure status when no program handles the file,
// which Qt's own call would only print on standard error. It may also run as long as the program
// it opened (without a desktop it runs that program itself), so it is never waited for in this
// call, and it is left running when the window closes.
void OpenUrl(const QUrl& url, const std::function<void()>& failed) {
  const auto report = [failed] {
    if (failed) QTimer::singleShot(0, qApp, failed);
  };
  const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
  const QString platform = QGuiApplication::platformName();
  if (opener.isEmpty() ||
      (platform != QLatin1String("xcb") && platform != QLatin1String("wayland"))) {
    if (!QDesktopServices::openUrl(url)) report();
    return;
  }
  auto* process = new QProcess(qApp);
  process->setProgram(opener);
  process->setArguments({url.toString(QUrl::FullyEncoded)});
  process->setStandardOutputFile(QProcess::nullDevice());
  QObject::connect(process, &QProcess::finished, process,
                   [process, report](int code, QProcess::ExitStatus status) {
                     if (status != QProcess::NormalExit || code != 0) report();
                     process->deleteLater();
                   });
  QObject::connect(process, &QProcess::errorOccurred, process,
                   [process, report](QProcess::ProcessError error) {
                     if (error != QProcess::FailedToStart) return;
                     report();
                     process->deleteLater();
                   });
  process->start();
}

}  // namespace

Shell& Shells() {
  if (gInstalled != nullptr) return *gInstalled;
  static QtShell qtShell;
  return qtShell;
}

ScopedShell::ScopedShell(Shell& shell) : mPrevious(gInstalled) { gInstalled = &shell; }

ScopedShell::~ScopedShell() { gInstalled = mPrevious; }

void QtShell::SetClipboardText(const QString& text) {
  QGuiApplication::clipboard()->setText(text, QClipboard::Clipboard);
}

QString QtShell::ClipboardText() {
  return QGuiApplication::clipboard()->text(QClipboard::Clipboard);
}

void QtShell::OpenDocument(const QString& pathOrUrl, std::function<void()> failed) {
  OpenUrl(DocumentUrl(pathOrUrl), failed);
}

void QtShell::OpenFolder(const QString& folder, std::function<void()> failed) {
  OpenUrl(QUrl::fromLocalFile(folder), failed);
}

bool QtShell::StartProgram(const QString& program, const QStringList& arguments,
                           const QString& workingFolder) {
  return QProcess::startDetached(program, arguments, workingFolder);
}

void QtShell::Beep() { QApplication::beep(); }

}  // namespace qv
