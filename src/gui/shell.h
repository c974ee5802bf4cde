// Services of the desktop around the window: clipboard, opening documents, folders and mail
// links, starting programs and the beep. Injected like the Prompter so tests can record them.
#pragma once

#include <QString>
#include <QStringList>

namespace qv {

class Shell {
 public:
  virtual ~Shell() = default;
  /// Puts plain text on the clipboard.
  virtual void SetClipboardText(const QString& text) = 0;
  virtual QString ClipboardText() = 0;
  /// Opens a document or a mailto: link with its associated program.
  virtual void OpenDocument(const QString& pathOrUrl) = 0;
  /// Shows a folder in the file browser.
  virtual void OpenFolder(const QString& folder) = 0;
  /// Starts `program` with `arguments` in `workingFolder`, detached, without a shell; false when
  /// it did not start.
  virtual bool StartProgram(const QString& program, const QStringList& arguments,
                            const QString& workingFolder) = 0;
  /// The system's default beep.
  virtual void Beep() = 0;
};

/// The shell in force: the Qt one unless a test installed its own with ScopedShell.
Shell& Shells();

class ScopedShell {
 public:
  explicit ScopedShell(Shell& shell);
  ~ScopedShell();
  ScopedShell(const ScopedShell&) = delete;
  ScopedShell& operator=(const ScopedShell&) = delete;

 private:
  Shell* mPrevious;
};

class QtShell : public Shell {
 public:
  void SetClipboardText(const QString& text) override;
  QString ClipboardText() override;
  void OpenDocument(const QString& pathOrUrl) override;
  void OpenFolder(const QString& folder) override;
  bool StartProgram(const QString& program, const QStringList& arguments,
                    const QString& workingFolder) override;
  void Beep() override;
};

}  // namespace qv
