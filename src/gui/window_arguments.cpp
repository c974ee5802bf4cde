// The window program's command line.
#include "gui/window_arguments.h"

#include <QFileInfo>

#include "core/base/version.h"

namespace qv {

WindowArguments ParseWindowArguments(const QStringList& args) {
  WindowArguments result;
  const qsizetype optionsEnd = args.indexOf(QStringLiteral("--"));
  const QStringList options = optionsEnd < 0 ? args : args.mid(0, optionsEnd);
  if (options.contains(QStringLiteral("--help"))) {
    result.action = WindowArguments::Action::Help;
    return result;
  }
  if (options.contains(QStringLiteral("--version"))) {
    result.action = WindowArguments::Action::Version;
    return result;
  }

  QStringList pictures;
  bool optionsEnded = false;
  for (const QString& arg : args) {
    if (!optionsEnded && arg == QStringLiteral("--")) {
      optionsEnded = true;
      continue;
    }
    if (!optionsEnded && arg.size() > 1 && arg.startsWith(QLatin1Char('-'))) {
      result.action = WindowArguments::Action::Usage;
      result.message = QStringLiteral("unknown option '") + arg + QStringLiteral("'");
      return result;
    }
    pictures.append(arg);
  }
  if (pictures.size() > 1) {
    result.action = WindowArguments::Action::Usage;
    result.message = QStringLiteral("only one picture can be opened, and '") + pictures[1] +
                     QStringLiteral("' is a second one");
    return result;
  }
  if (pictures.isEmpty()) return result;

  const QFileInfo file(pictures.front());
  if (!file.exists()) {
    result.action = WindowArguments::Action::Failed;
    result.message =
        QStringLiteral("cannot open '") + pictures.front() + QStringLiteral("': no such file");
  } else if (!file.isFile()) {
    result.action = WindowArguments::Action::Failed;
    result.message =
        QStringLiteral("cannot open '") + pictures.front() + QStringLiteral("': not a file");
  } else {
    result.picture = file.absoluteFilePath();
  }
  return result;
}

QString WindowUsage() {
  return QStringLiteral(
      "usage: quorvane [PICTURE]\n"
      "       quorvane --help | --version\n"
      "\n"
      "Opens the window. With PICTURE the window opens that picture once it has\n"
      "started, as if chosen with File > Open Picture, in place of the picture of the\n"
      "last run. The settings and the material library are kept beside the program,\n"
      "or in ~/.config/Quorvane when the program's folder cannot be written.\n"
      "\n"
      "  --help     prints this text.\n"
      "  --version  prints the program's name and version.\n"
      "\n"
      "Exit status: 0 when the window was closed; 1 when PICTURE is not a file;\n"
      "2 wrong command line (this text on standard error).\n");
}

QString WindowVersion() { return QStringLiteral("quorvane ") + QLatin1String(kProgramVersion); }

}  // namespace qv
