// Test picture and temporary file helpers.
#include "support/grid_builder.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "support/bmp_writer.h"

namespace qv::test {

PixelGrid MakeGrid(int width, int height, std::uint32_t background,
                   std::initializer_list<Rect> rects) {
  PixelGrid grid(width, height, background);
  for (const Rect& r : rects) grid.FillRect(r.x0, r.y0, r.x1, r.y1, r.colour);
  return grid;
}

PixelGrid SmoothedDiagonal(int size) {
  PixelGrid grid = MakeGrid(size, size, kWhite);
  const std::uint32_t blends[] = {0x005555FF, 0x008080FF, 0x00AAAAFF};
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < y; ++x) grid.Set(x, y, kRed);
    grid.Set(y, y, blends[y % 3]);
  }
  return grid;
}

PixelGrid OpenChannel() {
  return MakeGrid(
      400, 400, kWhite,
      {{150, 100, 169, 299, kRed}, {170, 100, 269, 119, kRed}, {170, 280, 269, 299, kRed}});
}

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "qvtest-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  mPath = pattern;
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::permissions(mPath, std::filesystem::perms::owner_all,
                               std::filesystem::perm_options::add, ec);
  std::filesystem::remove_all(mPath, ec);
}

std::string TempDir::WritePicture(const std::string& name, const PixelGrid& grid) const {
  WriteAll(File(name), EncodeBmp24(grid));
  return File(name);
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

void WriteAll(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::vector<std::string> Headlines(const std::vector<std::string>& messages) {
  std::vector<std::string> lines;
  lines.reserve(messages.size());
  for (const std::string& m : messages) lines.push_back(m.substr(0, m.find("\r\r")));
  return lines;
}

}  // namespace qv::test
