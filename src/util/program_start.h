// Starting another program (the updater) with one argument, without a shell.
#pragma once

#include <QString>
#include <QStringList>
#include <functional>

namespace qv {

/// Starts `program` with `arguments` in `workingFolder`, detached; true when it started.
using ProgramStarter = std::function<bool(const QString& program, const QStringList& arguments,
                                          const QString& workingFolder)>;

/// Adds read, write and execute rights for the owner to the file at `path`; false when the file
/// is missing or its rights cannot be changed.
bool MakeExecutable(const QString& path);

/// Makes `program` executable (a download arrives without the right to run) and starts it in
/// `workingFolder` with `argument` as its one and only argument, detached, returning at once.
/// No shell is involved, so no part of either text is ever read as a command. `start` defaults
/// to QProcess::startDetached; the window passes its injected shell. A started program shows its
/// windows in the normal way. True when the program started.
bool RunProgram(const QString& program, const QString& argument, const QString& workingFolder,
                const ProgramStarter& start = {});

}  // namespace qv
