// The picture as the core sees it: W x H colour values, row-major.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace qv {

/// Memory for picture-sized buffers: large blocks come straight from the kernel, aligned to and
/// backed by transparent huge pages where the system offers them, so a fresh 256 MB picture costs
/// a hundred-odd page faults instead of sixty thousand. Small blocks use the ordinary heap.
/// Throws std::bad_alloc like operator new.
void* AllocatePictureMemory(std::size_t bytes);
void FreePictureMemory(void* memory, std::size_t bytes) noexcept;

/// Allocator of the pixel grid: picture memory (above), and new elements left uninitialised, so
/// a grid that is about to be overwritten whole is not filled first (on large pictures the fill
/// costs as much as decoding).
template <typename T>
struct DefaultInitAllocator {
  using value_type = T;
  DefaultInitAllocator() noexcept = default;
  template <typename U>
  DefaultInitAllocator(const DefaultInitAllocator<U>&) noexcept {}  // NOLINT: converting
  T* allocate(std::size_t n) { return static_cast<T*>(AllocatePictureMemory(n * sizeof(T))); }
  void deallocate(T* p, std::size_t n) noexcept { FreePictureMemory(p, n * sizeof(T)); }
  template <typename U>
  void construct(U* p) noexcept {
    ::new (static_cast<void*>(p)) U;
  }
  template <typename U, typename... Args>
  void construct(U* p, Args&&... args) {
    ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
  }
  template <typename U>
  friend bool operator==(const DefaultInitAllocator&, const DefaultInitAllocator<U>&) noexcept {
    return true;
  }
};

/// "Not enough memory for the picture <file> (W x H)": the one text for every picture-sized
/// allocation that fails, whichever layer makes it.
std::string PictureMemoryMessage(const std::string& file, std::int64_t width, std::int64_t height);

/// What identifies a file's contents without reading them: device, inode, size, modification
/// and change time (the change time no writer can set back). Equal stamps of one path mean the
/// file was not replaced or written in between.
struct FileStamp {
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  std::int64_t size = -1;
  std::int64_t modifiedNs = 0;
  std::int64_t changedNs = 0;
  friend bool operator==(const FileStamp&, const FileStamp&) = default;
};
/// The stamp of `path` now; size -1 when it cannot be examined.
FileStamp StampOf(const std::string& path);

/// Tag of the PixelGrid constructor that leaves the pixels undefined for the caller to write.
struct UninitialisedPixels {};

/// W columns by H rows of 0x00BBGGRR values; pixel (x, y) has x from the left, y from the top.
class PixelGrid {
 public:
  PixelGrid() = default;
  PixelGrid(int width, int height, std::uint32_t fill = 0x00FFFFFF)
      : mWidth(width),
        mHeight(height),
        mPixels(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), fill) {}
  /// A grid whose pixels the caller must all write before reading them.
  PixelGrid(int width, int height, UninitialisedPixels)
      : mWidth(width),
        mHeight(height),
        mPixels(static_cast<std::size_t>(width) * static_cast<std::size_t>(height)) {}

  // A grid moved from is empty (0 x 0), never a size without its pixels.
  PixelGrid(PixelGrid&& other) noexcept
      : mWidth(std::exchange(other.mWidth, 0)),
        mHeight(std::exchange(other.mHeight, 0)),
        mPixels(std::move(other.mPixels)) {
    other.mPixels.clear();
  }
  PixelGrid& operator=(PixelGrid&& other) noexcept {
    if (this != &other) {
      mWidth = std::exchange(other.mWidth, 0);
      mHeight = std::exchange(other.mHeight, 0);
      mPixels = std::move(other.mPixels);
      other.mPixels.clear();
    }
    return *this;
  }
  PixelGrid(const PixelGrid&) = default;
  PixelGrid& operator=(const PixelGrid&) = default;

  int Width() const { return mWidth; }
  int Height() const { return mHeight; }
  bool Empty() const { return mPixels.empty(); }
  std::size_t Size() const { return mPixels.size(); }

  std::uint32_t At(int x, int y) const { return mPixels[Index(x, y)]; }
  void Set(int x, int y, std::uint32_t value) { mPixels[Index(x, y)] = value; }
  const std::uint32_t* Row(int y) const { return mPixels.data() + Index(0, y); }
  std::uint32_t* Row(int y) { return mPixels.data() + Index(0, y); }
  const std::uint32_t* Data() const { return mPixels.data(); }
  std::uint32_t* Data() { return mPixels.data(); }

  /// Fills the rectangle [x0, x1] x [y0, y1] (inclusive, clipped to the grid).
  void FillRect(int x0, int y0, int x1, int y1, std::uint32_t value);

  friend bool operator==(const PixelGrid&, const PixelGrid&) = default;

 private:
  std::size_t Index(int x, int y) const {
    return static_cast<std::size_t>(y) * static_cast<std::size_t>(mWidth) +
           static_cast<std::size_t>(x);
  }
  int mWidth = 0;
  int mHeight = 0;
  std::vector<std::uint32_t, DefaultInitAllocator<std::uint32_t>> mPixels;
};

}  // namespace qv
