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
#include <vector>

#include "core/base/error.h"
#include "core/base/number_text.h"

namespace qv {
namespace {

std::int64_t NanosecondsOf(const timespec& time) {
  return static_cast<std::int64_t>(time.tv_sec) * 1000000000 +
         static_cast<std::int64_t>(time.tv_nsec);
}

// A checksum of a piece of the file, taken in parts: eight running sums of 8-byte words and
// their sums, so a changed or moved byte changes it. The sums are kept as vectors of two words
// (which the compiler does not find by itself in a loop over eight), so that a sum costs a
// fraction of the copy that read the bytes.
class PieceChecksum {
 public:
  static constexpr std::size_t kBlock = 64;

  /// Every part but the last must be a whole number of blocks. Out of line: inlined into the
  /// loops that read, the sums lose their registers to them.
  __attribute__((noinline)) void Add(const unsigned char* bytes, std::size_t size) {
    // Named one by one: held in arrays, the sums would go through memory at every step.
    Pair a0 = mA[0], a1 = mA[1], a2 = mA[2], a3 = mA[3];
    Pair b0 = mB[0], b1 = mB[1], b2 = mB[2], b3 = mB[3];
    std::size_t i = 0;
    for (; i + kBlock <= size; i += kBlock) {
      a0 += Load(bytes + i);
      a1 += Load(bytes + i + 16);
      a2 += Load(bytes + i + 32);
      a3 += Load(bytes + i + 48);
      b0 += a0;
      b1 += a1;
      b2 += a2;
      b3 += a3;
    }
    mA[0] = a0, mA[1] = a1, mA[2] = a2, mA[3] = a3;
    mB[0] = b0, mB[1] = b1, mB[2] = b2, mB[3] = b3;
    for (; i < size; ++i) mTail = (mTail ^ bytes[i]) * 0xC4CEB9FE1A85EC53u;
    mSize += size;
  }

  std::uint64_t Sum() const {
    std::uint64_t sum = (mSize * 0x9E3779B97F4A7C15u) ^ mTail;
    for (std::size_t k = 0; k < kPairs; ++k) {
      for (std::size_t lane = 0; lane < 2; ++lane) {
        sum = (sum ^ mA[k][lane]) * 0xFF51AFD7ED558CCDu;
        sum = (sum ^ mB[k][lane]) * 0xC4CEB9FE1A85EC53u;
      }
    }
    return sum;
  }

 private:
  using Pair = std::uint64_t __attribute__((vector_size(16)));
  static Pair Load(const unsigned char* bytes) {
    Pair words;
    std::memcpy(&words, bytes, sizeof words);
    return words;
  }
  static constexpr std::size_t kPairs = kBlock / sizeof(Pair);
  Pair mA[kPairs] = {Pair{1, 2}, Pair{3, 4}, Pair{5, 6}, Pair{7, 8}};
  Pair mB[kPairs] = {};
  std::uint64_t mTail = 0;
  std::uint64_t mSize = 0;
};

std::uint64_t ChecksumOf(const unsigned char* bytes, std::size_t size) {
  PieceChecksum sum;
  sum.Add(bytes, size);
  return sum.Sum();
}

// Parts of a piece read again: small enough to stay in the cache between the read and the sum.
constexpr std::size_t kRereadBytes = std::size_t{1} << 16;
static_assert(kRereadBytes % PieceChecksum::kBlock == 0);

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
  // The times tell of most writes, but not of two in one tick of a coarse clock, nor of a write
  // through a mapping: what was read must read again as it did.
  const std::lock_guard<std::mutex> lock(mPiecesMutex);
  if (mReadUnalike) FailChangedWhileRead(mPath);
  std::vector<unsigned char> buffer(kRereadBytes);
  for (auto& [where, piece] : mPieces) {
    if (piece.checked) continue;
    const auto [offset, size] = where;
    PieceChecksum sum;
    for (std::uint64_t done = 0; done < size;) {
      const auto part =
          static_cast<std::size_t>(std::min<std::uint64_t>(kRereadBytes, size - done));
      std::size_t got = 0;
      while (got < part) {
        const ssize_t n =
            pread(mFd, buffer.data() + got, part - got, static_cast<off_t>(offset + done + got));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) FailChangedWhileRead(mPath);  // shorter than it read
        got += static_cast<std::size_t>(n);
      }
      sum.Add(buffer.data(), part);
      done += part;
    }
    if (sum.Sum() != piece.sum) FailChangedWhileRead(mPath);
    piece.checked = true;
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
  if (done > 0) {
    const std::uint64_t sum = ChecksumOf(buffer, static_cast<std::size_t>(done));
    const std::lock_guard<std::mutex> lock(mPiecesMutex);
    const auto [it, added] = mPieces.try_emplace({offset, done}, Piece{sum, false});
    if (!added && it->second.sum != sum) mReadUnalike = true;
  }
  return static_cast<std::int64_t>(done);
}

}  // namespace qv
