// The user's own copy of the example library, made once and never over a file of the user's.
#include "core/settings/user_library.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <filesystem>
#include <string_view>

#include "core/error.h"
#include "core/path.h"
#include "core/settings/atomic_file.h"
#include "core/settings/save_location.h"

namespace qv {
namespace {

std::string Decimal(long long value) {
  char buffer[24];
  return std::string(buffer, std::to_chars(buffer, buffer + sizeof buffer, value).ptr);
}

bool WriteFully(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t put = ::write(fd, bytes.data(), bytes.size());
    if (put < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(put));
  }
  return true;
}

// A new file beside `target`, named as the atomic writes name theirs, so a copy that a kill
// interrupted is cleared away by the next save of the library like any other left-over.
int CreateTemporary(const std::string& target, std::string& tempPath) {
  static std::atomic<unsigned> counter{0};
  for (int attempt = 0; attempt < 100; ++attempt) {
    const auto tick = std::chrono::steady_clock::now().time_since_epoch().count();
    tempPath = target + ".tmp-" + Decimal(::getpid()) + "-" + Decimal(counter++) + "-" +
               Decimal(tick % 1000000);
    const int fd = ::open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

bool Present(const std::string& path) {
  std::error_code ec;
  // A dangling link counts: something of the user's is there.
  return std::filesystem::symlink_status(path, ec).type() != std::filesystem::file_type::not_found;
}

}  // namespace

bool CopyFileIfMissing(const std::string& from, const std::string& to) {
  std::error_code ec;
  if (Present(to) || !std::filesystem::exists(from, ec)) return false;
  const std::string bytes = ReadFileBytes(from);

  const Error cannotWrite("Unable to write to " + to);
  std::string temp;
  const int fd = CreateTemporary(to, temp);
  if (fd < 0) throw cannotWrite;
  const bool written = WriteFully(fd, bytes) && ::fsync(fd) == 0;
  if (::close(fd) != 0 || !written) {
    ::unlink(temp.c_str());
    throw cannotWrite;
  }
  // link() never replaces: should the user's file have appeared since the look above, it wins.
  bool created = ::link(temp.c_str(), to.c_str()) == 0;
  const int linkError = created ? 0 : errno;
  if (!created && linkError != EEXIST) {
    // A file system without hard links: the same without the guarantee against a file that
    // appears in between, which only another start of the program at this instant could make.
    created = !Present(to) && ::rename(temp.c_str(), to.c_str()) == 0;
  }
  ::unlink(temp.c_str());
  if (!created && linkError != EEXIST) throw cannotWrite;
  return created;
}

std::string UserLibraryFile(const std::string& libraryFile, const std::string& userFolder) {
  if (userFolder.empty() || CanWriteFile(libraryFile)) return libraryFile;
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
