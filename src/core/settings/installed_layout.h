// Where the window program finds the files it keeps beside itself when it is installed under a
// prefix (/usr/bin/quorvane with its files in /usr/share/quorvane) rather than run from the
// folder it was built in.
#pragma once

#include <string>

namespace qv {

/// The program path the window takes as its own: its settings file, default picture, library
/// and manual are looked for beside it. `executable` is the program's own file with links
/// resolved; `dataFromBin` is the installed data folder relative to the folder of installed
/// programs (for example "../share/quorvane"). When that folder exists next to the
/// executable's folder, the result is a path of the executable's name inside it (normalised,
/// "/usr/share/quorvane/quorvane"); otherwise, as in a build folder, `executable` itself. An
/// empty `dataFromBin` always gives `executable`.
std::string InstalledProgramPath(const std::string& executable, const std::string& dataFromBin);

/// Where the window keeps its settings file and the library it edits.
enum class SettingsHome {
  /// Beside the program while that folder can be written, else in the user's folder: a program
  /// run from the folder it was built or unpacked in.
  BesideProgram,
  /// Always in the user's folder, whoever runs the program and whatever that user may write: an
  /// installed program, whose data folder belongs to the package manager.
  UserFolder,
};

/// UserFolder exactly when the program is installed: InstalledProgramPath finds its data folder.
/// Decided by the layout alone, never by whether a folder happens to be writable.
SettingsHome SettingsHomeOf(const std::string& executable, const std::string& dataFromBin);

}  // namespace qv
