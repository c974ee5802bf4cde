// The test shell that records what the program asks of the desktop.
#include "support/recording_shell.h"

namespace qv::test {

RecordingShell::RecordingShell() : mInstall(*this) {}

void RecordingShell::SetClipboardText(const QString& text) {
  mClipboard = text;
  ++mClipboardWrites;
}

bool RecordingShell::StartProgram(const QString& program, const QStringList& arguments,
                                  const QString& workingFolder) {
  mPrograms.push_back({program, arguments, workingFolder});
  return mStartResult;
}

}  // namespace qv::test
