// Whole-file reads, and whole-file writes that never leave half a file: a temporary beside the
// target, then a rename.
#include "core/settings/atomic_file.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <filesystem>

#include "core/base/error.h"
#include "core/base/number_text.h"

namespace qv {
namespace {

// What a killed save leaves beside its target: "<name>.tmp-<pid>-<counter>-<tick>".
constexpr std::string_view kTemporaryInfix = ".tmp-";

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

// Creates a new file beside `target` with a name no one else uses; the umask applies as for any
// new file. Returns the descriptor, or -1.
int CreateTemporary(const std::filesystem::path& target, std::string& tempPath) {
  static std::atomic<unsigned> counter{0};
  for (int attempt = 0; attempt < 100; ++attempt) {
    const auto tick = std::chrono::steady_clock::now().time_since_epoch().count();
    tempPath = target.string() + std::string(kTemporaryInfix) + IntegerText(::getpid()) + "-" +
               IntegerText(counter++) + "-" + IntegerText(tick % 1000000);
    const int fd = ::open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

// A temporary file of ours whose writer no longer runs was left by a killed save: it holds no
// one's data (the rename never happened) and would pile up with every kill. Files of processes
// that still run, this one included, are theirs to finish.
void RemoveStaleTemporaries(const std::filesystem::path& target) {
  namespace fs = std::filesystem;
  fs::path folder = target.parent_path();
  if (folder.empty()) folder = ".";
  const std::string prefix = target.filename().string() + std::string(kTemporaryInfix);
  std::error_code ec;
  fs::directory_iterator it(folder, ec);
  if (ec) return;
  for (const fs::directory_entry& entry : it) {
    const std::string name = entry.path().filename().string();
    if (!name.starts_with(prefix)) continue;
    // "<pid>-<counter>-<tick>", digits only, as CreateTemporary spells it.
    std::string_view rest = std::string_view(name).substr(prefix.size());
    long long numbers[3] = {};
    bool ours = true;
    for (int part = 0; part < 3 && ours; ++part) {
      const auto [end, err] =
          std::from_chars(rest.data(), rest.data() + rest.size(), numbers[part]);
      ours = err == std::errc() && end != rest.data();
      rest.remove_prefix(static_cast<std::size_t>(end - rest.data()));
      if (part < 2) {
        ours = ours && !rest.empty() && rest.front() == '-';
        if (ours) rest.remove_prefix(1);
      }
    }
    if (!ours || !rest.empty() || numbers[0] <= 0) continue;
    const auto pid = static_cast<pid_t>(numbers[0]);
    if (pid == ::getpid()) continue;
    if (::kill(pid, 0) == 0 || errno != ESRCH) continue;
    std::error_code ignored;
    if (entry.is_regular_file(ignored) && !entry.is_symlink(ignored)) fs::remove(entry, ignored);
  }
}

// The file `path` leads to: a symbolic link's destination, resolved as far as it exists, else
// the path with "." and ".." taken out.
std::filesystem::path Destination(const std::string& path) {
  std::error_code ec;
  // Made absolute first: a new bare name in the working folder has no part that exists, so it
  // would stay unlike the same file spelled "./name".
  std::filesystem::path absolute = std::filesystem::absolute(path, ec);
  if (ec) absolute = path;
  std::filesystem::path resolved = std::filesystem::weakly_canonical(absolute, ec);
  return ec ? absolute.lexically_normal() : resolved;
}

// Both exist and are one file: the same device and inode.
bool IsSameFileAs(const std::string& a, const std::string& b) {
  struct stat first {};
  struct stat second {};
  return ::stat(a.c_str(), &first) == 0 && ::stat(b.c_str(), &second) == 0 &&
         first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

bool Present(const std::string& path) {
  std::error_code ec;
  return std::filesystem::symlink_status(path, ec).type() != std::filesystem::file_type::not_found;
}

}  // namespace

std::string ReadFileBytes(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    if (errno == ENOENT || errno == ENOTDIR) return {};
    throw Error("Unable to read " + path);
  }
  std::string text;
  char buffer[1 << 16];
  for (;;) {
    const ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got == 0) break;
    if (got < 0) {
      if (errno == EINTR) continue;
      ::close(fd);
      throw Error("Unable to read " + path);
    }
    text.append(buffer, static_cast<std::size_t>(got));
  }
  ::close(fd);
  return text;
}

void WriteFileAtomically(const std::string& path, std::string_view bytes) {
  namespace fs = std::filesystem;
  const Error failure("Unable to write to " + path);

  std::error_code ec;
  fs::path target(path);
  if (fs::is_symlink(target, ec)) {
    target = fs::weakly_canonical(target, ec);
    if (ec) throw failure;
  }
  struct stat old {};
  const bool exists = ::stat(target.c_str(), &old) == 0;
  // A write-protected file says "do not change me", even where its folder would allow the
  // rename.
  if (exists && ::access(target.c_str(), W_OK) != 0) throw failure;

  RemoveStaleTemporaries(target);
  std::string tempPath;
  const int fd = CreateTemporary(target, tempPath);
  if (fd < 0) throw failure;
  bool ok = WriteFully(fd, bytes);
  if (ok && exists) ok = ::fchmod(fd, old.st_mode & 07777) == 0;
  ok = ok && ::fsync(fd) == 0;
  ok = (::close(fd) == 0) && ok;
  ok = ok && ::rename(tempPath.c_str(), target.c_str()) == 0;
  if (!ok) {
    ::unlink(tempPath.c_str());
    throw failure;
  }
  // Make the rename itself durable; the new content is complete whether or not this works.
  fs::path folder = target.parent_path();
  if (folder.empty()) folder = ".";
  const int dirFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirFd >= 0) {
    ::fsync(dirFd);
    ::close(dirFd);
  }
}

bool WriteFileIfMissing(const std::string& path, std::string_view bytes) {
  if (Present(path)) return false;
  const Error cannotWrite("Unable to write to " + path);
  // Named as the atomic writes name theirs, so one a kill interrupted is cleared away by the
  // next atomic write beside it like any other left-over.
  std::string temp;
  const int fd = CreateTemporary(path, temp);
  if (fd < 0) throw cannotWrite;
  const bool written = WriteFully(fd, bytes) && ::fsync(fd) == 0;
  if (::close(fd) != 0 || !written) {
    ::unlink(temp.c_str());
    throw cannotWrite;
  }
  // link() never replaces: should a file have appeared since the look above, it wins.
  bool created = ::link(temp.c_str(), path.c_str()) == 0;
  const int linkError = created ? 0 : errno;
  if (!created && linkError != EEXIST) {
    // A file system without hard links: the same without the guarantee against a file that
    // appears in between.
    created = !Present(path) && ::rename(temp.c_str(), path.c_str()) == 0;
  }
  ::unlink(temp.c_str());
  if (!created && linkError != EEXIST) throw cannotWrite;
  return created;
}

void RefuseUnsafeOutput(const std::string& path) {
  const Error failure("Unable to write to " + path);
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) {
    // Nothing there yet (a dangling link leads to a new name too): the file is made.
    if (errno == ENOENT) return;
    throw failure;
  }
  if (S_ISDIR(info.st_mode)) throw failure;
  if (!S_ISREG(info.st_mode))
    throw Error(failure.what() + std::string(": it is not a regular file"));
  // A write-protected file says "do not change me", even where its folder would allow the
  // rename.
  if (::access(path.c_str(), W_OK) != 0) throw failure;
}

OutputFiles::~OutputFiles() {
  for (const Output& output : mOutputs) {
    if (!output.temporary.empty()) ::unlink(output.temporary.c_str());
  }
}

std::string OutputFiles::Add(const std::string& path) {
  RefuseUnsafeOutput(path);
  const std::filesystem::path target = Destination(path);
  for (const Output& other : mOutputs) {
    if (target == other.target || IsSameFileAs(target.string(), other.target)) {
      throw Error(path + " and " + other.path + " name one file");
    }
  }
  RemoveStaleTemporaries(target);
  std::string temporary;
  const int fd = CreateTemporary(target, temporary);
  if (fd < 0) throw Error("Unable to write to " + path);
  ::close(fd);
  mOutputs.push_back({path, target.string(), temporary});
  return temporary;
}

void OutputFiles::Commit() {
  std::vector<std::filesystem::path> folders;
  for (Output& output : mOutputs) {
    const Error failure("Unable to write to " + output.path);
    const int fd = ::open(output.temporary.c_str(), O_RDONLY | O_CLOEXEC);
    bool ok = fd >= 0;
    struct stat old {};
    if (ok && ::stat(output.target.c_str(), &old) == 0) ok = ::fchmod(fd, old.st_mode & 07777) == 0;
    ok = ok && ::fsync(fd) == 0;
    if (fd >= 0) ok = (::close(fd) == 0) && ok;
    ok = ok && ::rename(output.temporary.c_str(), output.target.c_str()) == 0;
    if (!ok) throw failure;
    output.temporary.clear();
    std::filesystem::path folder = std::filesystem::path(output.target).parent_path();
    folders.push_back(folder.empty() ? "." : folder);
  }
  // Make the renames themselves durable; the new contents are complete whether or not this works.
  for (const std::filesystem::path& folder : folders) {
    const int dirFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
      ::fsync(dirFd);
      ::close(dirFd);
    }
  }
}

}  // namespace qv
