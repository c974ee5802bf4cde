// Opening picture files and the refusal texts both readers use.
#include "core/picture/picture_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <new>
#include <system_error>

#include "core/base/error.h"
#include "core/base/number_text.h"

namespace qv {
namespace {

std::int64_t NanosecondsOf(const timespec& time) {
  return static_cast<std::int64_t>(time.tv_sec) * 1000000000 +
         static_cast<std::int64_t>(time.tv_nsec);
}

}  // namespace

void FailPicture(const std::string& name, const std::string& reason) {
  throw Error("Cannot read picture " + name + ": " + reason);
}

void CheckPictureLimits(const std::string& name, std::int64_t width, std::int64_t height) {
  if (width > kMaxPictureSide) {
    FailPicture(name, "the width " + IntegerText(width) + " exceeds the limit of " +
                          IntegerText(kMaxPictureSide) + " pixels");
  }
  if (height > kMaxPictureSide) {
    FailPicture(name, "the height " + IntegerText(height) + " exceeds the limit of " +
                          IntegerText(kMaxPictureSide) + " pixels");
  }
  if (width * height > kMaxPicturePixels) {
    FailPicture(name, "the picture size " + IntegerText(width) + "x" + IntegerText(height) +
                          " exceeds the limit of " + IntegerText(kMaxPicturePixels) + " pixels");
  }
}

bool IsSameFile(const std::string& a, const std::string& b) {
  struct stat first {};
  struct stat second {};
  if (stat(a.c_str(), &first) != 0 || stat(b.c_str(), &second) != 0) return false;
  return first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

void RefuseWritingOverPicture(const std::string& picture, const std::string& output) {
  if (IsSameFile(picture, output)) {
    throw Error(output + " is the picture " + picture + " itself; choose another file to write");
  }
}

std::string PaletteReason(unsigned index, unsigned count) {
  return "a pixel refers to palette entry " + IntegerText(index) + ", but the palette has " +
         IntegerText(count) + (count == 1 ? " entry" : " entries");
}

PixelGrid MakePictureGrid(int width, int height, const std::string& name, PixelGrid* reuse,
                          std::optional<std::uint32_t> fill) {
  if (reuse != nullptr && reuse->Width() == width && reuse->Height() == height) {
    PixelGrid grid = std::move(*reuse);
    if (fill) std::fill(grid.Data(), grid.Data() + grid.Size(), *fill);
    return grid;
  }
  try {
    if (fill) return PixelGrid(width, height, *fill);
    return PixelGrid(width, height, UninitialisedPixels{});
  } catch (const std::bad_alloc&) {
    throw Error(PictureMemoryMessage(name, width, height));
  }
}

std::string SystemErrorText(int error) { return std::generic_category().message(error); }

OpenedPicture::OpenedPicture(const std::string& path) : mPath(path) {
  struct stat info;
  if (stat(path.c_str(), &info) != 0) {
    const int error = errno;
    if (error == ENOENT || error == ENOTDIR) FailPicture(path, "the file does not exist");
    FailPicture(path, "the file cannot be examined (" + SystemErrorText(error) + ")");
  }
  if (S_ISDIR(info.st_mode)) FailPicture(path, "it is a folder, not a file");
  if (!S_ISREG(info.st_mode)) FailPicture(path, "it is not a regular file");
  // O_NONBLOCK: should the name be swapped for a FIFO after the check, the open still returns.
  mFd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (mFd < 0) {
    const int error = errno;
    if (error == EACCES || error == EPERM) FailPicture(path, "permission to read it is denied");
    FailPicture(path, "the file cannot be opened (" + SystemErrorText(error) + ")");
  }
  if (fstat(mFd, &info) != 0 || !S_ISREG(info.st_mode)) {
    close(mFd);
    mFd = -1;
    FailPicture(path, "it is not a regular file");
  }
  mSize = static_cast<std::uint64_t>(info.st_size);
  mModifiedNs = NanosecondsOf(info.st_mtim);
  mChangedNs = NanosecondsOf(info.st_ctim);
}

void OpenedPicture::CheckUnchanged() const {
  struct stat info {};
  if (fstat(mFd, &info) != 0 || static_cast<std::uint64_t>(info.st_size) != mSize ||
      NanosecondsOf(info.st_mtim) != mModifiedNs || NanosecondsOf(info.st_ctim) != mChangedNs) {
    FailChangedWhileRead(mPath);
  }
}

void FailChangedWhileRead(const std::string& path) {
  throw Error(path + " changed while it was read");
}

OpenedPicture::~OpenedPicture() {
  if (mFd >= 0) close(mFd);
}

std::int64_t OpenedPicture::ReadAt(unsigned char* buffer, std::uint64_t size,
                                   std::uint64_t offset) const {
  std::uint64_t done = 0;
  while (done < size) {
    const ssize_t got = pread(mFd, buffer + done, static_cast<std::size_t>(size - done),
                              static_cast<off_t>(offset + done));
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return -1;
    if (got == 0) break;
    done += static_cast<std::uint64_t>(got);
  }
  return static_cast<std::int64_t>(done);
}

}  // namespace qv
