// FileSizeText on QFileInfo and the locale-free number texts.
#include "util/file_size.h"

#include <QFileInfo>
#include <charconv>

#include "core/base/number_text.h"

namespace qv {

QString FileSizeText(const QString& path, bool inBytes) {
  const QFileInfo info(path);
  if (!info.isFile()) return QStringLiteral("0");
  const qint64 size = info.size();
  if (inBytes) {
    return QString::fromStdString(IntegerText(size));
  }
  return QString::fromStdString(FormatGeneral(static_cast<double>(size) / 1048576.0, 4, 2));
}

}  // namespace qv
