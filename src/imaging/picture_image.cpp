// Conversions between PixelGrid and QImage, and picture output.
#include "imaging/picture_image.h"

#include <QString>
#include <algorithm>
#include <cctype>
#include <cstdint>

#include "core/error.h"

namespace qv {

namespace {

// Both directions are the same swap of the low and the third byte: 0x00BBGGRR <-> 0x..RRGGBB.
constexpr std::uint32_t SwapRedBlue(std::uint32_t v) {
  return (v & 0x0000FF00u) | ((v & 0x000000FFu) << 16) | ((v >> 16) & 0x000000FFu);
}

std::string LowerExtension(const std::string& path) {
  const std::size_t slash = path.find_last_of("/\\");
  const std::size_t dot = path.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
  std::string ext = path.substr(dot);
  std::transform(ext.begin(), ext.end(), ext.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return ext;
}

}  // namespace

QImage ToQImage(const PixelGrid& grid) {
  if (grid.Empty()) return {};
  QImage image(grid.Width(), grid.Height(), QImage::Format_RGB32);
  for (int y = 0; y < grid.Height(); ++y) {
    const std::uint32_t* src = grid.Row(y);
    auto* dst = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < grid.Width(); ++x) dst[x] = 0xFF000000u | SwapRedBlue(src[x]);
  }
  return image;
}

PixelGrid FromQImage(const QImage& image) {
  if (image.isNull()) return {};
  const QImage rgb =
      image.format() == QImage::Format_RGB32 || image.format() == QImage::Format_ARGB32
          ? image
          : image.convertToFormat(QImage::Format_RGB32);
  PixelGrid grid(rgb.width(), rgb.height());
  for (int y = 0; y < rgb.height(); ++y) {
    const auto* src = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
    std::uint32_t* dst = grid.Row(y);
    for (int x = 0; x < rgb.width(); ++x) dst[x] = SwapRedBlue(src[x]);
  }
  return grid;
}

void SavePicture(const QImage& image, const std::string& path) {
  const std::string ext = LowerExtension(path);
  const char* format = ext == ".png" ? "PNG" : ext == ".bmp" ? "BMP" : nullptr;
  if (format == nullptr) throw Error("'" + path + "' is not a .png or .bmp file name");
  if (image.isNull() || !image.save(QString::fromStdString(path), format))
    throw Error("Unable to write to " + path);
}

void SavePicture(const PixelGrid& grid, const std::string& path) {
  SavePicture(ToQImage(grid), path);
}

}  // namespace qv
