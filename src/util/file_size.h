// The size of a file as text, in bytes or in megabytes.
#pragma once

#include <QString>

namespace qv {

/// "0" when `path` is not an existing file; otherwise its size in bytes as a decimal integer
/// (`inBytes` true) or in megabytes (bytes / 1048576) with 4 significant digits and at least 2
/// exponent digits where an exponent is written ("1.5", "9.537E-07").
QString FileSizeText(const QString& path, bool inBytes);

}  // namespace qv
