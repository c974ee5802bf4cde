// Conversions between PixelGrid and QImage, and picture output.
#include "imaging/picture_image.h"

#include <QFile>
#include <QImageWriter>
#include <QSaveFile>
#include <QString>
#include <algorithm>
#include <bit>
#include <cctype>
#include <cstdint>

#include "core/base/error.h"
#include "core/base/path.h"
#include "core/settings/atomic_file.h"

namespace qv {

namespace {

// Both directions are the same swap of the low and the third byte: 0x00BBGGRR <-> 0x..RRGGBB.
constexpr std::uint32_t SwapRedBlue(std::uint32_t v) {
  return (v & 0x0000FF00u) | ((v & 0x000000FFu) << 16) | ((v >> 16) & 0x000000FFu);
}

}  // namespace

QImage ToQImage(const PixelGrid& grid, const std::string& pictureName) {
  if (grid.Empty()) return {};
  QImage image(grid.Width(), grid.Height(), QImage::Format_RGB32);
  // QImage reports a failed allocation only as a null image; writing on would go through a
  // null scan line.
  if (image.isNull()) throw Error(PictureMemoryMessage(pictureName, grid.Width(), grid.Height()));
  for (int y = 0; y < grid.Height(); ++y) {
    const std::uint32_t* src = grid.Row(y);
    auto* dst = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < grid.Width(); ++x) dst[x] = 0xFF000000u | SwapRedBlue(src[x]);
  }
  return image;
}

QImage GridView(PixelGrid& grid) {
  static_assert(std::endian::native == std::endian::little);
  if (grid.Empty()) return {};
  return QImage(reinterpret_cast<uchar*>(grid.Data()), grid.Width(), grid.Height(),
                static_cast<qsizetype>(grid.Width()) * 4, QImage::Format_RGBX8888);
}

QImage GridView(const PixelGrid& grid) {
  static_assert(std::endian::native == std::endian::little);
  if (grid.Empty()) return {};
  // The const constructor: Qt detaches (copies) before any write, so the grid stays as it is.
  return QImage(reinterpret_cast<const uchar*>(grid.Data()), grid.Width(), grid.Height(),
                static_cast<qsizetype>(grid.Width()) * 4, QImage::Format_RGBX8888);
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

namespace {

// The writer's format for the extension of `path`; Error for any other.
const char* FormatOf(const std::string& path) {
  const std::string ext = LowerExtensionOf(path);
  if (ext == ".png") return "PNG";
  if (ext == ".bmp") return "BMP";
  throw Error("'" + path + "' is not a .png or .bmp file name");
}

}  // namespace

void SavePicture(const QImage& image, const std::string& path) {
  const char* format = FormatOf(path);
  RefuseUnsafeOutput(path);
  const Error failure("Unable to write to " + path);
  if (image.isNull()) throw failure;
  // QSaveFile notes every failed write (a full disk among them) and then refuses to commit, so a
  // truncated picture never replaces the old file.
  QSaveFile file(QString::fromStdString(path));
  if (!file.open(QIODevice::WriteOnly)) throw failure;
  QImageWriter writer(&file, format);
  if (!writer.write(image) || file.error() != QFileDevice::NoError) {
    file.cancelWriting();
    throw failure;
  }
  if (!file.commit()) throw failure;
}

void WritePictureInto(const PixelGrid& grid, const std::string& file, const std::string& path) {
  const char* format = FormatOf(path);
  const Error failure("Unable to write to " + path);
  const QImage image = GridView(grid);
  if (image.isNull()) throw failure;
  QFile out(QString::fromStdString(file));
  if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate)) throw failure;
  QImageWriter writer(&out, format);
  // A full disk shows at the flush of the last bytes as often as in the writer.
  const bool written = writer.write(image) && out.flush();
  out.close();
  if (!written || out.error() != QFileDevice::NoError) throw failure;
}

void SavePicture(const PixelGrid& grid, const std::string& path) {
  SavePicture(GridView(grid), path);
}

}  // namespace qv
