// The window program's command line: one picture to open, --help and --version.
#pragma once

#include <QString>
#include <QStringList>

namespace qv {

/// What the command line asks of the window program.
struct WindowArguments {
  enum class Action {
    Open,     ///< open the window; with `picture` when one was given
    Help,     ///< print WindowUsage() and exit 0
    Version,  ///< print the name and version and exit 0
    Usage,    ///< a wrong command line: `message`, then the usage, on standard error; exit 2
    Failed,   ///< the picture cannot be opened: `message` on standard error; exit 1
  };
  Action action = Action::Open;
  /// The picture to open at start-up, made absolute; empty: the remembered one.
  QString picture;
  /// What is wrong, for Usage and Failed.
  QString message;
};

/// Reads the arguments after the program name, Qt's own options already taken out. "--help"
/// and "--version" anywhere before "--" win over everything else, as in the batch tool; "--"
/// ends the options, so a picture whose name begins with "-" can be given after it. A picture
/// that is not an existing file fails here, before any window opens.
WindowArguments ParseWindowArguments(const QStringList& args);

/// The usage text that --help prints and a wrong command line shows; no line is wider than 80
/// columns.
QString WindowUsage();

/// The line --version prints: "quorvane <version>".
QString WindowVersion();

}  // namespace qv
