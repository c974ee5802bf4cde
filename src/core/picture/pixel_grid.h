// The picture as the core sees it: W x H colour values, row-major.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace qv {

/// W columns by H rows of 0x00BBGGRR values; pixel (x, y) has x from the left, y from the top.
class PixelGrid {
 public:
  PixelGrid() = default;
  PixelGrid(int width, int height, std::uint32_t fill = 0x00FFFFFF)
      : mWidth(width), mHeight(height),
        mPixels(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), fill) {}

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
  std::vector<std::uint32_t> mPixels;
};

}  // namespace qv
