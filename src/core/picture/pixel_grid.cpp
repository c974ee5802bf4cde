// Small helpers of the pixel grid.
#include "core/picture/pixel_grid.h"

#include <sys/mman.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <new>

#include "core/base/number_text.h"

namespace qv {

namespace {

// Blocks from this size on are mapped on their own; a huge page is 2 MiB on x86-64.
constexpr std::size_t kMappedFrom = std::size_t{4} << 20;
constexpr std::size_t kHugePage = std::size_t{2} << 20;

std::size_t MappedSize(std::size_t bytes) {
  return (bytes + kHugePage - 1) / kHugePage * kHugePage;
}

}  // namespace

void* AllocatePictureMemory(std::size_t bytes) {
  if (bytes < kMappedFrom) return ::operator new(bytes);
  const std::size_t size = MappedSize(bytes);
  // One huge page more than needed, so the block can start on a huge-page boundary.
  void* raw =
      ::mmap(nullptr, size + kHugePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (raw == MAP_FAILED) throw std::bad_alloc();
  const auto start = reinterpret_cast<std::uintptr_t>(raw);
  const std::uintptr_t aligned = (start + kHugePage - 1) / kHugePage * kHugePage;
  if (aligned > start) ::munmap(raw, aligned - start);
  const std::uintptr_t end = start + size + kHugePage;
  if (end > aligned + size) ::munmap(reinterpret_cast<void*>(aligned + size), end - aligned - size);
  void* memory = reinterpret_cast<void*>(aligned);
#ifdef MADV_HUGEPAGE
  ::madvise(memory, size, MADV_HUGEPAGE);  // a hint: without huge pages it simply has no effect
#endif
  return memory;
}

void FreePictureMemory(void* memory, std::size_t bytes) noexcept {
  if (memory == nullptr) return;
  if (bytes < kMappedFrom) {
    ::operator delete(memory);
    return;
  }
  ::munmap(memory, MappedSize(bytes));
}

FileStamp StampOf(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return {};
  FileStamp stamp;
  stamp.device = static_cast<std::uint64_t>(info.st_dev);
  stamp.inode = static_cast<std::uint64_t>(info.st_ino);
  stamp.size = static_cast<std::int64_t>(info.st_size);
  stamp.modifiedNs = static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1000000000 +
                     static_cast<std::int64_t>(info.st_mtim.tv_nsec);
  stamp.changedNs = static_cast<std::int64_t>(info.st_ctim.tv_sec) * 1000000000 +
                    static_cast<std::int64_t>(info.st_ctim.tv_nsec);
  return stamp;
}

std::string PictureMemoryMessage(const std::string& file, std::int64_t width, std::int64_t height) {
  return "Not enough memory for the picture " + file + " (" + IntegerText(width) + " x " +
         IntegerText(height) + ")";
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
