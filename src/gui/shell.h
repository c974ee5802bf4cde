// Services of the desktop around the window: clipboard, opening documents, folders and mail
// links, starting programs and the beep. Injected like the Prompter so tests can record them.
#pragma once

#include <QPointer>
#include <QString>
#include <QStringList>
#include <functional>

namespace qv {

class Shell {
 public:
  virtual ~Shell() = default;
  /// Puts plain text on the clipboard.
  virtual void SetClipboardText(const QString& text) = 0;
  virtual QString ClipboardText() = 0;
  /// Opens a document or a mailto: link with its associated program. `failed`, when given, is
  /// called once the desktop has said that nothing could open it (no opener, or none for this
  /// kind of file); it may come later from the event loop, never from inside this call.
  virtual void OpenDocument(const QString& pathOrUrl, std::function<void()> failed = {}) = 0;
  /// Shows a folder in the file browser; `failed` as for OpenDocument.
  virtual void OpenFolder(const QString& folder, std::function<void()> failed = {}) = 0;
  /// Starts `program` with `arguments` in `workingFolder`, detached, without a shell; false when
  /// it did not start.
  virtual bool StartProgram(const QString& program, const QStringList& arguments,
                            const QString& workingFolder) = 0;
  /// The system's default beep.
  virtual void Beep() = 0;
};

/// `report` as a failure callback of OpenDocument or OpenFolder that acts only while `owner`
/// (the window that asked) still exists.
template <typename F>
std::function<void()> WhileAlive(QObject* owner, F report) {
  return [guard = QPointer<QObject>(owner), report] {
    if (guard) report();
  };
}

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
  void OpenDocument(const QString& pathOrUrl, std::function<void()> failed = {}) override;
  void OpenFolder(const QString& folder, std::function<void()> failed = {}) override;
  bool StartProgram(const QString& program, const QStringList& arguments,
                    const QString& workingFolder) override;
  void Beep() override;
};

}  // namespace qv
