// Builds small test pictures in code.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "core/picture/pixel_grid.h"

namespace qv::test {

constexpr std::uint32_t kWhite = 0x00FFFFFF;
constexpr std::uint32_t kRed = 0x000000FF;
constexpr std::uint32_t kBlue = 0x00FF0000;
constexpr std::uint32_t kLime = 0x0000FF00;
constexpr std::uint32_t kBlack = 0x00000000;

/// A W x H grid in `background` with filled rectangles drawn in order (inclusive corners).
struct Rect {
  int x0, y0, x1, y1;
  std::uint32_t colour;
};
PixelGrid MakeGrid(int width, int height, std::uint32_t background,
                   std::initializer_list<Rect> rects = {});

/// A red triangle below the diagonal of a white `size` x `size` grid, the diagonal itself in
/// three blends of red and white by turns: the edge a drawing program leaves when it smooths.
PixelGrid SmoothedDiagonal(int size);

/// A red channel open to the right on a white 400 x 400 grid: web x 150..169, y 100..299,
/// flanges 20 pixels thick reaching x 269. Its shear centre lies left of the web, outside it.
PixelGrid OpenChannel();

/// A fresh empty folder under the system's temporary folder, removed by the destructor.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& Path() const { return mPath; }
  /// Path() + "/" + name.
  std::string File(const std::string& name) const { return mPath + "/" + name; }
  /// Writes `grid` as the 24-bit BMP File(name) and returns that path.
  std::string WritePicture(const std::string& name, const PixelGrid& grid) const;

 private:
  std::string mPath;
};

/// Whole file as bytes; empty when missing.
std::string ReadAll(const std::string& path);
void WriteAll(const std::string& path, const std::string& bytes);

/// Each message up to its first blank line ("\r\r"): the conversion text itself, without the
/// explanation that follows it.
std::vector<std::string> Headlines(const std::vector<std::string>& messages);

}  // namespace qv::test
