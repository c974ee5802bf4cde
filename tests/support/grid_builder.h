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
