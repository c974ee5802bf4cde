// The Qt prompter: message boxes, the picture and font choosers, and the accessor tests override.
#include "gui/prompter.h"

#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QFontDialog>
#include <QMessageBox>
#include <QWidget>

namespace qv {
namespace {

Prompter* gInstalled = nullptr;

// Boxes belong to the window the user is working in, so they stay on top of it and block it.
QWidget* BoxParent() { return QApplication::activeWindow(); }

// The program writes single carriage returns as line breaks; Qt wants "\n".
QString WithLineBreaks(const QString& text) {
  QString result = text;
  result.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  result.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  return result;
}

int ShowBox(QMessageBox::Icon icon, const QString& title, const QString& text,
            QMessageBox::StandardButtons buttons, QMessageBox::StandardButton defaultButton) {
  QMessageBox box(icon, title, WithLineBreaks(text), buttons, BoxParent());
  // Messages carry user text (names, paths): shown as written, never as markup.
  box.setTextFormat(Qt::PlainText);
  box.setDefaultButton(defaultButton);
  return box.exec();
}

}  // namespace

Prompter& Prompts() {
  if (gInstalled != nullptr) return *gInstalled;
  static QtPrompter qtPrompter;
  return qtPrompter;
}

ScopedPrompter::ScopedPrompter(Prompter& prompter) : mPrevious(gInstalled) {
  gInstalled = &prompter;
}

ScopedPrompter::~ScopedPrompter() { gInstalled = mPrevious; }

void QtPrompter::Error(const QString& text) {
  ShowBox(QMessageBox::Critical, QStringLiteral("Error"), text, QMessageBox::Ok, QMessageBox::Ok);
}

bool QtPrompter::Confirm(const QString& text) {
  return ShowBox(QMessageBox::Question, QStringLiteral("Confirm"), text,
                 QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes) == QMessageBox::Yes;
}

void QtPrompter::Information(const QString& text) {
  ShowBox(QMessageBox::Information, QStringLiteral("Information"), text, QMessageBox::Ok,
          QMessageBox::Ok);
}

void QtPrompter::Message(const QString& text) {
  ShowBox(QMessageBox::NoIcon, QStringLiteral("Quorvane"), text, QMessageBox::Ok, QMessageBox::Ok);
}

std::optional<QString> QtPrompter::OpenPicture(const QString& folder) {
  // Everything that opens first; the single kinds carry the upper-case names that a native
  // dialog would otherwise hide on a case-sensitive file system.
  const QString path =
      QFileDialog::getOpenFileName(BoxParent(), QStringLiteral("Open Picture"), folder,
                                   QString::fromLatin1(kOpenPictureFilters));
  if (path.isEmpty()) return std::nullopt;
  return path;
}

std::optional<QString> QtPrompter::SaveTextFile(const QString& suggested) {
  const QString path =
      QFileDialog::getSaveFileName(BoxParent(), QStringLiteral("Save report as"), suggested,
                                   QStringLiteral("Text files (*.txt);;All files (*)"));
  if (path.isEmpty()) return std::nullopt;
  return path;
}

std::optional<QString> QtPrompter::SavePictureFile(const QString& suggested) {
  const QString path =
      QFileDialog::getSaveFileName(BoxParent(), QStringLiteral("Save stress map as"), suggested,
                                   QStringLiteral("PNG pictures (*.png);;BMP pictures (*.bmp)"));
  if (path.isEmpty()) return std::nullopt;
  return path;
}

std::optional<QString> QtPrompter::SavePdfFile(const QString& suggested) {
  const QString path =
      QFileDialog::getSaveFileName(BoxParent(), QStringLiteral("Export report (PDF)"), suggested,
                                   QStringLiteral("PDF files (*.pdf)"));
  if (path.isEmpty()) return std::nullopt;
  return path;
}

std::optional<QFont> QtPrompter::ChooseFont(const QFont& current) {
  bool ok = false;
  const QFont font = QFontDialog::getFont(&ok, current, BoxParent());
  if (!ok) return std::nullopt;
  return font;
}

int QtPrompter::Run(QDialog& dialog) { return dialog.exec(); }

void ShowException(const std::exception& e) { Prompts().Error(QString::fromUtf8(e.what())); }

void ShowUnknownException() { Prompts().Error(QStringLiteral("Unknown error.")); }

}  // namespace qv
