// Where the update check looks for the published version.
#pragma once

#include <QString>

namespace qv {

/// Environment variable that replaces the built-in update directory for one run.
inline constexpr const char* kUpdateUrlVariable = "QUORVANE_UPDATE_URL";

/// The update directory URL, ending in "/": QUORVANE_UPDATE_URL when set and not empty, else
/// the one the build was configured with (QV_UPDATE_URL).
QString UpdateDirectoryUrl();

}  // namespace qv
