// Where the settings and the library can be written when the program's folder is read-only.
#pragma once

#include <string>

namespace qv {

/// True when a file at `path` can be written: it exists and is writable, or it does not exist
/// and its folder is writable.
bool CanWriteFile(const std::string& path);

/// The program path whose settings file is used: `programPath` itself while its settings file
/// can be written, else a path of the same name in `userFolder` (created when missing), so an
/// installed program in a read-only folder still keeps its settings. A settings file beside the
/// program that exists but is read-only is still read: the caller keeps reading it when the user
/// folder holds none yet.
std::string SettingsProgramPath(const std::string& programPath, const std::string& userFolder);

/// The program path of the same name in `userFolder` (created when missing): where an installed
/// program keeps its settings file.
std::string SettingsProgramPathIn(const std::string& userFolder, const std::string& programPath);

/// "properties.ini" in `userFolder` (created when missing): the user's own library.
std::string UserLibraryPath(const std::string& userFolder);

/// The library file to write at exit: `libraryFile` while it can be written, else
/// "properties.ini" in `userFolder` (created when missing).
std::string WritableLibraryFile(const std::string& libraryFile, const std::string& userFolder);

}  // namespace qv
