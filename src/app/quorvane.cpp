// Entry of the window program: the command line, the application, the main window and the
// message loop.
#include <QApplication>
#include <QFile>
#include <QStandardPaths>
#include <QStringList>
#include <cstdio>

#include "core/settings/installed_layout.h"
#include "gui/main_window.h"
#include "gui/window_arguments.h"

#ifndef QV_DATA_FROM_BIN
#define QV_DATA_FROM_BIN ""
#endif

namespace {

void Print(std::FILE* stream, const QString& text) {
  const QByteArray bytes = text.toLocal8Bit();
  std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stream);
  std::fflush(stream);
}

// Answers --help, --version and a wrong command line; returns the exit status, or -1 to go on.
int Answer(const qv::WindowArguments& arguments) {
  using Action = qv::WindowArguments::Action;
  switch (arguments.action) {
    case Action::Help:
      Print(stdout, qv::WindowUsage());
      return 0;
    case Action::Version:
      Print(stdout, qv::WindowVersion() + QLatin1Char('\n'));
      return 0;
    case Action::Usage:
      Print(stderr, QStringLiteral("quorvane: ") + arguments.message + QStringLiteral("\n\n") +
                        qv::WindowUsage());
      return 2;
    case Action::Failed:
      Print(stderr, QStringLiteral("quorvane: ") + arguments.message + QLatin1Char('\n'));
      return 1;
    case Action::Open:
      break;
  }
  return -1;
}

}  // namespace

int main(int argc, char* argv[]) {
  // --help and --version are answered before Qt starts, so they need no display. So is a
  // wrong command line where no window could open anyway: Qt would only stop for the missing
  // display. Otherwise Qt's own options (-style, -session, ...) are taken out first.
  QStringList raw;
  for (int i = 1; i < argc; ++i) raw.append(QFile::decodeName(argv[i]));
  const qv::WindowArguments early = qv::ParseWindowArguments(raw);
  const bool noDisplay = qEnvironmentVariableIsEmpty("DISPLAY") &&
                         qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
                         qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
  if (early.action == qv::WindowArguments::Action::Help ||
      early.action == qv::WindowArguments::Action::Version ||
      (noDisplay && early.action != qv::WindowArguments::Action::Open)) {
    return Answer(early);
  }

  QApplication app(argc, argv);
  QApplication::setApplicationName("Quorvane");
  // Ties the window to its desktop entry (its icon on Wayland).
  QGuiApplication::setDesktopFileName("io.github.quorvane.Quorvane");
  // Qt has taken its own options (-style, -platform, ...) out of the arguments by now.
  const qv::WindowArguments arguments = qv::ParseWindowArguments(app.arguments().mid(1));
  if (const int status = Answer(arguments); status >= 0) return status;

  const QString userFolder = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
  // Installed, the program's files are in the data folder; run from the build folder, beside it.
  const std::string executable =
      QFile::encodeName(QApplication::applicationFilePath()).toStdString();
  const QString programPath = QFile::decodeName(
      QByteArray::fromStdString(qv::InstalledProgramPath(executable, QV_DATA_FROM_BIN)));
  // Installed, settings and library are the user's whoever runs it: the package's folder is
  // never written, so removing the package leaves nothing behind.
  qv::TMainForm window(programPath, userFolder, qv::SettingsHomeOf(executable, QV_DATA_FROM_BIN));
  if (!arguments.picture.isEmpty()) window.OpenAtStartUp(arguments.picture);
  window.show();
  return app.exec();
}
