// Small helpers of the pixel grid.
#include "core/picture/pixel_grid.h"

#include <sys/stat.h>

#include <algorithm>

namespace qv {

FileStamp StampOf(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return {};
  FileStamp stamp;
  stamp.device = static_cast<std::uint64_t>(info.st_dev);
  stamp.inode = static_cast<std::uint64_t>(info.st_ino);
  stamp.size = static_cast<std::int64_t>(info.st_size);
  stamp.modifiedNs = static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1000000000 +
                     static_cast<std::int64_t>(info.st_mtim.tv_nsec);
  return stamp;
}

std::string PictureMemoryMessage(const std::string& file, std::int64_t width,
                                 std::int64_t height) {
  return "Not enough memory for the picture " + file + " (" + std::to_string(width) + " x " +
         std::to_string(height) + ")";
}

void PixelGrid::FillRect(int x0, int y0, int x1, int y1, std::uint32_t value) {
  x0 = std::max(x0, 0);
  y0 = std::max(y0, 0);
  x1 = std::min(x1, mWidth - 1);
  y1 = std::min(y1, mHeight - 1);
  if (x0 > x1) return;
  for (int y = y0; y <= y1; ++y) std::fill(Row(y) + x0, Row(y) + x1 + 1, value);
}

}  // namespace qv
