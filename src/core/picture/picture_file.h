// What the picture readers share: the size limits, the wording of a refusal and the opening of
// a picture file with its checks, so a BMP and a PNG picture are refused in the same words.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <utility>

#include "core/picture/pixel_grid.h"

namespace qv {

static_assert(std::endian::native == std::endian::little);

/// Largest width or height in pixels that the readers accept.
constexpr std::int64_t kMaxPictureSide = std::int64_t{1} << 20;
/// Largest width x height in pixels that the readers accept.
constexpr std::int64_t kMaxPicturePixels = std::int64_t{1} << 30;

/// Throws qv::Error "Cannot read picture <name>: <reason>".
[[noreturn]] void FailPicture(const std::string& name, const std::string& reason);

/// Refuses a declared size beyond kMaxPictureSide or kMaxPicturePixels ("the width 2000000
/// exceeds the limit of 1048576 pixels"); the sides must already be known to be positive.
void CheckPictureLimits(const std::string& name, std::int64_t width, std::int64_t height);

/// "a pixel refers to palette entry 9, but the palette has 3 entries": the one wording of both
/// readers.
std::string PaletteReason(unsigned index, unsigned count);

/// The grid a reader decodes `width` x `height` pixels into: `reuse` when it has that size (its
/// memory is already mapped in, so a reload skips faulting in fresh pages), else a new grid.
/// With `fill` every pixel is set to it first (pixels a compressed stream skips); without, the
/// pixels are left for the reader to write. Throws Error with PictureMemoryMessage for `name`
/// when the memory cannot be had.
PixelGrid MakePictureGrid(int width, int height, const std::string& name, PixelGrid* reuse,
                          std::optional<std::uint32_t> fill);

/// Native loads for the hot loops: both formats' samples reach them little-endian (BMP by its
/// format, PNG by libspng's host order), as on the machines we build for.
inline std::uint16_t Load16(const unsigned char* p) {
  std::uint16_t v;
  std::memcpy(&v, p, sizeof v);
  return v;
}
inline std::uint32_t Load32(const unsigned char* p) {
  std::uint32_t v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

/// The system's text for the errno value `error`.
std::string SystemErrorText(int error);

/// True when `a` and `b` name one file: the same device and inode, whatever the path or link
/// that leads there. False when either cannot be examined (a file that does not exist yet is
/// no other file).
bool IsSameFile(const std::string& a, const std::string& b);

/// Refuses an output image (an overlay, a map) that would be written over the picture it is
/// drawn from, through any path or link: throws qv::Error "<output> is the picture <picture>
/// itself; choose another file to write".
void RefuseWritingOverPicture(const std::string& picture, const std::string& output);

/// A picture file open for reading. Only a regular, readable file is opened (a folder, a FIFO
/// or a device is refused without blocking); every failure throws qv::Error with a text such as
/// "Cannot read picture /x/y.bmp: the file does not exist". Every read is remembered by a
/// checksum of the piece it read, so that CheckUnchanged can tell the bytes read are one version
/// of the file. Reads may come from several threads at once.
class OpenedPicture {
 public:
  explicit OpenedPicture(const std::string& path);
  ~OpenedPicture();
  OpenedPicture(const OpenedPicture&) = delete;
  OpenedPicture& operator=(const OpenedPicture&) = delete;

  const std::string& Path() const { return mPath; }
  /// The size when the file was opened; it may shrink while it is read.
  std::uint64_t Size() const { return mSize; }

  /// Reads `size` bytes at `offset`, fewer when the file ends first; -1 on a read error (errno
  /// says which).
  std::int64_t ReadAt(unsigned char* buffer, std::uint64_t size, std::uint64_t offset) const;

  /// Throws qv::Error "<path> changed while it was read" unless every byte read so far belongs
  /// to one version of the file: its size and times are as when it was opened, a piece read
  /// twice read alike both times, and every piece read reads again as it did. The last catches a
  /// write in place whatever the clock's granularity, within one tick of the file's times or
  /// through a mapping that sets no time at all. Called after the last read of a pass; pieces an
  /// earlier call read again are not read a third time, since a later pass that reads them
  /// alike read that same version. A file replaced by renaming is not a change: the open file is
  /// still the old one.
  void CheckUnchanged() const;

 private:
  // A piece of the file read, by its offset and size.
  struct Piece {
    std::uint64_t sum = 0;
    bool checked = false;  // read again by CheckUnchanged, and alike
  };

  std::string mPath;
  int mFd = -1;
  std::uint64_t mSize = 0;
  std::int64_t mModifiedNs = 0;
  std::int64_t mChangedNs = 0;
  mutable std::mutex mPiecesMutex;
  mutable std::map<std::pair<std::uint64_t, std::uint64_t>, Piece> mPieces;
  mutable bool mReadUnalike = false;  // a piece read twice gave two checksums
};

/// Throws qv::Error "<path> changed while it was read".
[[noreturn]] void FailChangedWhileRead(const std::string& path);

}  // namespace qv
