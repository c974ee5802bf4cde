// Every modal question of the program goes through one Prompter, so tests can answer them.
#pragma once

#include <QFont>
#include <QString>
#include <optional>

class QDialog;

namespace qv {

/// The open dialog's filters: the first offers every kind the window opens.
inline constexpr const char* kOpenPictureFilters =
    "Pictures (*.bmp *.png *.svg *.dxf);;Bitmap files (*.bmp *.BMP);;PNG files (*.png *.PNG);;"
    "Drawings (*.svg *.dxf *.SVG *.DXF);;All files (*)";

/// Message boxes, choosers and modal dialogs. Texts travel exactly as the program writes them
/// (single "\r" line breaks); only the Qt implementation turns them into real line breaks.
class Prompter {
 public:
  virtual ~Prompter() = default;
  /// Error box with an OK button.
  virtual void Error(const QString& text) = 0;
  /// Confirmation with Yes and No; true only for Yes.
  virtual bool Confirm(const QString& text) = 0;
  /// Information box with an OK button.
  virtual void Information(const QString& text) = 0;
  /// Plain message box with an OK button.
  virtual void Message(const QString& text) = 0;
  /// File-open dialog for a picture (BMP, PNG) or a drawing (SVG, DXF) starting in `folder`,
  /// filtered by kOpenPictureFilters; nothing when cancelled.
  virtual std::optional<QString> OpenPicture(const QString& folder) = 0;
  /// File-save dialog for a text file, starting at `suggested` (a folder and a file name);
  /// nothing when cancelled. The dialog itself asks before a file is replaced.
  virtual std::optional<QString> SaveTextFile(const QString& suggested) = 0;
  /// File-save dialog for a PNG or BMP picture, starting at `suggested`; nothing when cancelled.
  /// The dialog itself asks before a file is replaced.
  virtual std::optional<QString> SavePictureFile(const QString& suggested) = 0;
  /// File-save dialog for a PDF file, starting at `suggested`; nothing when cancelled. The
  /// dialog itself asks before a file is replaced.
  virtual std::optional<QString> SavePdfFile(const QString& suggested) = 0;
  /// Font dialog; nothing when cancelled.
  virtual std::optional<QFont> ChooseFont(const QFont& current) = 0;
  /// Runs a modal dialog and returns its result (QDialog::Accepted or Rejected).
  virtual int Run(QDialog& dialog) = 0;
};

/// The prompter in force: the Qt one unless a test installed its own with ScopedPrompter.
Prompter& Prompts();

/// Installs `prompter` for its lifetime (tests).
class ScopedPrompter {
 public:
  explicit ScopedPrompter(Prompter& prompter);
  ~ScopedPrompter();
  ScopedPrompter(const ScopedPrompter&) = delete;
  ScopedPrompter& operator=(const ScopedPrompter&) = delete;

 private:
  Prompter* mPrevious;
};

/// Qt message boxes and dialogs; "\r" becomes a line break.
class QtPrompter : public Prompter {
 public:
  void Error(const QString& text) override;
  bool Confirm(const QString& text) override;
  void Information(const QString& text) override;
  void Message(const QString& text) override;
  std::optional<QString> OpenPicture(const QString& folder) override;
  std::optional<QString> SaveTextFile(const QString& suggested) override;
  std::optional<QString> SavePictureFile(const QString& suggested) override;
  std::optional<QString> SavePdfFile(const QString& suggested) override;
  std::optional<QFont> ChooseFont(const QFont& current) override;
  int Run(QDialog& dialog) override;
};

/// Runs `action` and shows the text of any exception it throws through Prompts().Error, so no
/// exception ever leaves an event handler.
template <typename F>
void Guarded(F&& action);

}  // namespace qv

#include <exception>

namespace qv {

void ShowException(const std::exception& e);
void ShowUnknownException();

template <typename F>
void Guarded(F&& action) {
  try {
    action();
  } catch (const std::exception& e) {
    ShowException(e);
  } catch (...) {
    ShowUnknownException();
  }
}

}  // namespace qv
