// Reading a whole file, and writing files so that each is always either the old or the new one.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace qv {

/// The bytes of the file at `path`; empty when no file (or no folder on the way) is there. Throws
/// Error "Unable to read <path>" when the file exists but cannot be read, so that no caller
/// mistakes it for an empty file and overwrites it.
std::string ReadFileBytes(const std::string& path);

/// Writes `bytes` to a temporary file beside `path`, syncs it and renames it over `path`, so the
/// file is either the old or the new one, never half of it. Keeps the permissions of an existing
/// file and writes through a symbolic link to its target. Temporary files of this naming that a
/// killed process left beside the target are removed first. Throws Error
/// "Unable to write to <path>" on any failure, also when an existing file is write-protected;
/// the old file is then untouched.
void WriteFileAtomically(const std::string& path, std::string_view bytes);

/// Writes `bytes` as a new, complete file at `path` only where nothing is (a dangling symbolic
/// link counts as something): a synced temporary beside it, then linked into place, which never
/// replaces a file that appeared in between. Returns false when something was there. Throws
/// Error "Unable to write to <path>" on any failure, leaving no file behind.
bool WriteFileIfMissing(const std::string& path, std::string_view bytes);

/// Refuses a file named for a program's output that is neither a regular file nor a name where
/// nothing is yet: writing would replace a named pipe or a device node by a regular file, or
/// block on it. Symbolic links are followed, so a link to a regular file is written through.
/// Throws Error "Unable to write to <path>: it is not a regular file" for a pipe, a device, a
/// socket or a link to one, and "Unable to write to <path>" for a folder, a write-protected file
/// and a path that cannot be examined.
void RefuseUnsafeOutput(const std::string& path);

/// The files one run writes, put in place together: each is written to a temporary file beside
/// its target, and Commit() renames them over their targets only once the whole run, its other
/// outputs included, has succeeded. Temporaries that are not committed are removed when the
/// object goes, so a run that fails leaves every target as it was and no file behind. The
/// renames themselves follow one another; each is atomic.
class OutputFiles {
 public:
  OutputFiles() = default;
  ~OutputFiles();
  OutputFiles(const OutputFiles&) = delete;
  OutputFiles& operator=(const OutputFiles&) = delete;

  /// Takes `path` as an output of the run: checked by RefuseUnsafeOutput, refused with Error
  /// "<path> and <other> name one file" when an output taken before is the same file (through
  /// any path or link), and given a new empty temporary beside the file a link leads to. Returns
  /// the temporary's path, for the caller to write; throws Error "Unable to write to <path>"
  /// when the temporary cannot be made.
  std::string Add(const std::string& path);
  /// Syncs every temporary and renames it over its target, keeping an existing target's
  /// permissions. Throws Error "Unable to write to <path>" for the first that fails; the
  /// outputs renamed before it stay.
  void Commit();

 private:
  struct Output {
    std::string path;       ///< as named
    std::string target;     ///< the file renamed over: a link's destination
    std::string temporary;  ///< removed unless committed
  };
  std::vector<Output> mOutputs;
};

}  // namespace qv
