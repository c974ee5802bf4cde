// What the picture readers share: the size limits, the wording of a refusal and the opening of
// a picture file with its checks, so a BMP and a PNG picture are refused in the same words.
#pragma once

#include <cstdint>
#include <string>

namespace qv {

/// Largest width or height in pixels that the readers accept.
constexpr std::int64_t kMaxPictureSide = std::int64_t{1} << 20;
/// Largest width x height in pixels that the readers accept.
constexpr std::int64_t kMaxPicturePixels = std::int64_t{1} << 30;

/// Throws qv::Error "Cannot read picture <name>: <reason>".
[[noreturn]] void FailPicture(const std::string& name, const std::string& reason);

/// Refuses a declared size beyond kMaxPictureSide or kMaxPicturePixels ("the width 2000000
/// exceeds the limit of 1048576 pixels"); the sides must already be known to be positive.
void CheckPictureLimits(const std::string& name, std::int64_t width, std::int64_t height);

/// The decimal text of `value`.
std::string DecimalText(std::int64_t value);

/// The system's text for the errno value `error`.
std::string SystemErrorText(int error);

/// A picture file open for reading. Only a regular, readable file is opened (a folder, a FIFO
/// or a device is refused without blocking); every failure throws qv::Error with a text such as
/// "Cannot read picture /x/y.bmp: the file does not exist".
class OpenedPicture {
 public:
  explicit OpenedPicture(const std::string& path);
  ~OpenedPicture();
  OpenedPicture(const OpenedPicture&) = delete;
  OpenedPicture& operator=(const OpenedPicture&) = delete;

  const std::string& Path() const { return mPath; }
  int Descriptor() const { return mFd; }
  /// The size when the file was opened; it may shrink while it is read.
  std::uint64_t Size() const { return mSize; }

  /// Reads `size` bytes at `offset`, fewer when the file ends first; -1 on a read error (errno
  /// says which).
  std::int64_t ReadAt(unsigned char* buffer, std::uint64_t size, std::uint64_t offset) const;

 private:
  std::string mPath;
  int mFd = -1;
  std::uint64_t mSize = 0;
};

}  // namespace qv
