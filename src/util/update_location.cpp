// The update directory: built in, or replaced for one run from the environment.
#include "util/update_location.h"

#include <QtGlobal>

namespace qv {

QString UpdateDirectoryUrl() {
  const QString fromEnvironment = qEnvironmentVariable(kUpdateUrlVariable).trimmed();
  return fromEnvironment.isEmpty() ? QStringLiteral(QV_UPDATE_URL) : fromEnvironment;
}

}  // namespace qv
