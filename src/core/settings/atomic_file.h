// Reading a whole file, and writing one so that it is always either the old or the new one.
#pragma once

#include <string>
#include <string_view>

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

}  // namespace qv
