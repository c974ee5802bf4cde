// The installed data folder of the window program, found from the program's own location.
#include "core/settings/installed_layout.h"

#include <filesystem>

#include "core/base/path.h"

namespace qv {

std::string InstalledProgramPath(const std::string& executable, const std::string& dataFromBin) {
  const std::string folder = FolderOf(executable);
  if (dataFromBin.empty() || folder.empty()) return executable;
  // Asked of the folder next to the executable, not of a fixed /usr: the same program installed
  // under /usr/local, /opt/... or ~/.local finds its own files, and a build folder has no such
  // neighbour, so a program run from there keeps everything beside itself as before.
  const std::filesystem::path data =
      (std::filesystem::path(folder) / dataFromBin).lexically_normal();
  std::error_code ec;
  if (!std::filesystem::is_directory(data, ec)) return executable;
  return JoinPath(data.string(), FileNameOf(executable));
}

SettingsHome SettingsHomeOf(const std::string& executable, const std::string& dataFromBin) {
  return InstalledProgramPath(executable, dataFromBin) == executable ? SettingsHome::BesideProgram
                                                                     : SettingsHome::UserFolder;
}

}  // namespace qv
