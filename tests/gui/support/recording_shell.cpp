// The test shell that records what the program asks of the desktop.
#include "support/recording_shell.h"

#include <QTimer>

namespace qv::test {

RecordingShell::RecordingShell() : mInstall(*this) {}

void RecordingShell::SetClipboardText(const QString& text) {
  mClipboard = text;
  ++mClipboardWrites;
}

void RecordingShell::OpenDocument(const QString& pathOrUrl, std::function<void()> failed) {
  mDocuments.append(pathOrUrl);
  if (!mOpenResult && failed) QTimer::singleShot(0, failed);
}

void RecordingShell::OpenFolder(const QString& folder, std::function<void()> failed) {
  mFolders.append(folder);
  if (!mOpenResult && failed) QTimer::singleShot(0, failed);
}

bool RecordingShell::StartProgram(const QString& program, const QStringList& arguments,
                                  const QString& workingFolder) {
  mPrograms.push_back({program, arguments, workingFolder});
  return mStartResult;
}

}  // namespace qv::test
