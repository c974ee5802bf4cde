// The test shell: records clipboard text, opened documents and folders, started programs and
// beeps instead of touching the desktop.
#pragma once

#include <QString>
#include <QStringList>
#include <vector>

#include "gui/shell.h"

namespace qv::test {

/// A program the code asked to start.
struct StartedProgram {
  QString program;
  QStringList arguments;
  QString workingFolder;
};

/// Installs itself for its lifetime.
class RecordingShell : public Shell {
 public:
  RecordingShell();
  RecordingShell(const RecordingShell&) = delete;
  RecordingShell& operator=(const RecordingShell&) = delete;

  /// The text on the (recorded) clipboard; tests may put text there too.
  QString Clipboard() const { return mClipboard; }
  /// How often the clipboard was written.
  int ClipboardWrites() const { return mClipboardWrites; }
  const QStringList& Documents() const { return mDocuments; }
  const QStringList& Folders() const { return mFolders; }
  const std::vector<StartedProgram>& Programs() const { return mPrograms; }
  int Beeps() const { return mBeeps; }
  /// What StartProgram reports (true unless set): false plays a program that does not start.
  void SetStartResult(bool started) { mStartResult = started; }

  void SetClipboardText(const QString& text) override;
  QString ClipboardText() override { return mClipboard; }
  /// What opening a document or folder reports (true unless set): false plays a desktop with
  /// no program for it, whose failure arrives from the event loop.
  void SetOpenResult(bool opened) { mOpenResult = opened; }
  void OpenDocument(const QString& pathOrUrl, std::function<void()> failed = {}) override;
  void OpenFolder(const QString& folder, std::function<void()> failed = {}) override;
  bool StartProgram(const QString& program, const QStringList& arguments,
                    const QString& workingFolder) override;
  void Beep() override { ++mBeeps; }

 private:
  ScopedShell mInstall;
  QString mClipboard;
  int mClipboardWrites = 0;
  QStringList mDocuments;
  QStringList mFolders;
  std::vector<StartedProgram> mPrograms;
  int mBeeps = 0;
  bool mStartResult = true;
  bool mOpenResult = true;
};

}  // namespace qv::test
