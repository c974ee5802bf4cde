// The Qt shell services: clipboard, desktop links, detached programs and the beep.
#include "gui/shell.h"

#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QProcess>
#include <QUrl>

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

void QtShell::OpenDocument(const QString& pathOrUrl) {
  QDesktopServices::openUrl(DocumentUrl(pathOrUrl));
}

void QtShell::OpenFolder(const QString& folder) {
  QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
}

bool QtShell::StartProgram(const QString& program, const QStringList& arguments,
                           const QString& workingFolder) {
  return QProcess::startDetached(program, arguments, workingFolder);
}

void QtShell::Beep() { QApplication::beep(); }

}  // namespace qv
