// Falling back to the user's own folder when the program's folder cannot be written.
#include "core/settings/save_location.h"

#include <unistd.h>

#include <filesystem>

#include "core/base/path.h"
#include "core/settings/program_settings.h"

namespace qv {

bool CanWriteFile(const std::string& path) {
  std::error_code ec;
  if (std::filesystem::exists(path, ec)) {
    return std::filesystem::is_regular_file(path, ec) && access(path.c_str(), W_OK) == 0;
  }
  std::string folder = FolderOf(path);
  if (folder.empty()) folder = ".";
  return access(folder.c_str(), W_OK | X_OK) == 0;
}

namespace {
std::string InUserFolder(const std::string& userFolder, const std::string& name) {
  std::error_code ec;
  std::filesystem::create_directories(userFolder, ec);
  return JoinPath(userFolder, name);
}
}  // namespace

std::string SettingsProgramPathIn(const std::string& userFolder, const std::string& programPath) {
  return InUserFolder(userFolder, FileNameOf(programPath));
}

std::string UserLibraryPath(const std::string& userFolder) {
  return InUserFolder(userFolder, "properties.ini");
}

std::string SettingsProgramPath(const std::string& programPath, const std::string& userFolder) {
  if (CanWriteFile(SettingsFilePath(programPath))) return programPath;
  return SettingsProgramPathIn(userFolder, programPath);
}

std::string WritableLibraryFile(const std::string& libraryFile, const std::string& userFolder) {
  if (CanWriteFile(libraryFile)) return libraryFile;
  return UserLibraryPath(userFolder);
}

}  // namespace qv
