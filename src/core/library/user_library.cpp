// The user's own copy of the example library, made once and never over a file of the user's.
#include "core/library/user_library.h"

#include <filesystem>

#include "core/base/error.h"
#include "core/base/path.h"
#include "core/settings/atomic_file.h"
#include "core/settings/save_location.h"

namespace qv {
namespace {

bool Present(const std::string& path) {
  std::error_code ec;
  // A dangling link counts: something of the user's is there.
  return std::filesystem::symlink_status(path, ec).type() != std::filesystem::file_type::not_found;
}

}  // namespace

bool CopyFileIfMissing(const std::string& from, const std::string& to) {
  std::error_code ec;
  if (Present(to) || !std::filesystem::exists(from, ec)) return false;
  return WriteFileIfMissing(to, ReadFileBytes(from));
}

std::string UserLibraryFile(const std::string& libraryFile, const std::string& userFolder,
                            LibraryCopy copy) {
  if (userFolder.empty()) return libraryFile;
  if (copy == LibraryCopy::WhenReadOnly && CanWriteFile(libraryFile)) return libraryFile;
  std::error_code ec;
  std::filesystem::create_directories(userFolder, ec);
  std::string own = JoinPath(userFolder, "properties.ini");
  try {
    CopyFileIfMissing(libraryFile, own);
  } catch (const Error&) {
    // Left where it is, the example still loads, and the save at exit tries the user's folder.
    if (!Present(own)) return libraryFile;
  }
  return own;
}

}  // namespace qv
