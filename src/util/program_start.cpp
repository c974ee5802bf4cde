// RunProgram on QProcess::startDetached, or on the starter the caller hands in.
#include "util/program_start.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>

namespace qv {

bool MakeExecutable(const QString& path) {
  if (!QFileInfo(path).isFile()) return false;
  const QFileDevice::Permissions owner = QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                         QFileDevice::ExeOwner | QFileDevice::ReadUser |
                                         QFileDevice::WriteUser | QFileDevice::ExeUser;
  return QFile::setPermissions(path, QFile::permissions(path) | owner);
}

bool RunProgram(const QString& program, const QString& argument, const QString& workingFolder,
                const ProgramStarter& start) {
  if (!MakeExecutable(program)) return false;
  const QStringList arguments{argument};
  if (start) return start(program, arguments, workingFolder);
  return QProcess::startDetached(program, arguments, workingFolder);
}

}  // namespace qv
