// OverlayLayer: the drawings painted into an index image, then composed on demand.
#include "imaging/overlay_layer.h"

#include <sys/mman.h>

#include <QPainter>
#include <algorithm>
#include <variant>

#include "core/base/error.h"
#include "imaging/overlay_renderer.h"
#include "imaging/picture_image.h"

namespace qv {
namespace {

std::uint32_t PictureValue(const QColor& colour) {
  return static_cast<std::uint32_t>(colour.red()) |
         (static_cast<std::uint32_t>(colour.green()) << 8) |
         (static_cast<std::uint32_t>(colour.blue()) << 16);
}

ColourValue IndexColour(std::size_t index) {
  // A grey of the index's value: on a Grayscale8 image QPainter stores exactly it.
  const auto v = static_cast<std::uint32_t>(index);
  return static_cast<ColourValue>(v | (v << 8) | (v << 16));
}

}  // namespace

OverlayLayer::Pages::~Pages() {
  if (data != nullptr) ::munmap(data, bytes);
}

void OverlayLayer::Allocate(int width, int height) {
  mIndex = QImage();
  mPages.reset();
  // Rows of whole 32-bit words, as QImage lays out its own.
  const std::size_t line = (static_cast<std::size_t>(width) + 3) / 4 * 4;
  const std::size_t bytes = line * static_cast<std::size_t>(height);
  void* data = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (data == MAP_FAILED) return;
#ifdef MADV_NOHUGEPAGE
  // A huge page would make a one-pixel line take 2 MB.
  ::madvise(data, bytes, MADV_NOHUGEPAGE);
#endif
  mPages = std::make_unique<Pages>();
  mPages->data = data;
  mPages->bytes = bytes;
  // Fresh anonymous pages read as zero: nothing drawn.
  mIndex = QImage(static_cast<uchar*>(data), width, height, static_cast<qsizetype>(line),
                  QImage::Format_Grayscale8);
}

void OverlayLayer::Paint(const OverlayOps& ops, int width, int height,
                         const std::string& pictureName) {
  if (ops.empty() || width <= 0 || height <= 0) return;
  if (mIndex.width() != width || mIndex.height() != height) {
    Allocate(width, height);
    mPalette.clear();
    mDrawn = false;
    if (mIndex.isNull()) throw Error(PictureMemoryMessage(pictureName, width, height));
  }
  // The same operations with each colour replaced by its index.
  OverlayOps indexed = ops;
  for (DrawOp& op : indexed) {
    std::visit(
        [this](auto& o) {
          const std::uint32_t value = PictureValue(ToQColor(o.Colour));
          auto it = std::find(mPalette.begin(), mPalette.end(), value);
          if (it == mPalette.end()) {
            // 255 colours are far more than any drawing has; the last one is reused beyond.
            if (mPalette.size() < 255) mPalette.push_back(value);
            it = mPalette.end() - 1;
          }
          o.Colour = IndexColour(static_cast<std::size_t>(it - mPalette.begin()) + 1);
        },
        op);
  }
  RenderOverlay(indexed, mIndex);
  mDrawn = true;
}

void OverlayLayer::Clear() {
  if (!mDrawn) return;
  // The pages go back to the kernel and read as zero again.
  if (::madvise(mPages->data, mPages->bytes, MADV_DONTNEED) != 0) mIndex.fill(0);
  mPalette.clear();
  mDrawn = false;
}

std::optional<std::uint32_t> OverlayLayer::At(int x, int y) const {
  if (!mDrawn || x < 0 || y < 0 || x >= mIndex.width() || y >= mIndex.height()) return {};
  const uchar index = mIndex.constScanLine(y)[x];
  if (index == 0) return {};
  return mPalette[index - 1];
}

void OverlayLayer::HideAllBut(std::optional<std::uint32_t> keep) {
  if (!mDrawn) return;
  constexpr std::uint32_t kWhite = 0x00FFFFFF;
  // White is painted like any other colour, over the picture below (which may have kept the
  // colour that the drawing covered).
  auto white = std::find(mPalette.begin(), mPalette.end(), kWhite);
  if (white == mPalette.end()) {
    if (mPalette.size() == 255)
      mPalette.back() = kWhite;
    else
      mPalette.push_back(kWhite);
    white = mPalette.end() - 1;
  }
  const auto whiteIndex = static_cast<uchar>(white - mPalette.begin() + 1);
  for (int y = 0; y < mIndex.height(); ++y) {
    uchar* line = mIndex.scanLine(y);
    for (int x = 0; x < mIndex.width(); ++x) {
      if (line[x] != 0 && !(keep && mPalette[line[x] - 1] == *keep)) line[x] = whiteIndex;
    }
  }
}

PixelGrid OverlayLayer::Composed(const PixelGrid& grid) const {
  PixelGrid composed = grid;
  if (!mDrawn || grid.Width() != mIndex.width() || grid.Height() != mIndex.height()) {
    return composed;
  }
  for (int y = 0; y < grid.Height(); ++y) {
    const uchar* line = mIndex.constScanLine(y);
    std::uint32_t* row = composed.Row(y);
    for (int x = 0; x < grid.Width(); ++x) {
      if (line[x] != 0) row[x] = mPalette[line[x] - 1];
    }
  }
  return composed;
}

QImage OverlayLayer::ScaledView(const PixelGrid& grid, int width, int height) const {
  if (grid.Empty() || width <= 0 || height <= 0) return {};
  // Both scaled by Qt's own nearest-neighbour sampling, so each view pixel comes from the same
  // picture pixel in both; only the view's few pixels are touched.
  QImage view = GridView(grid)
                    .scaled(width, height, Qt::IgnoreAspectRatio, Qt::FastTransformation)
                    .convertToFormat(QImage::Format_RGB32);
  if (!mDrawn || grid.Width() != mIndex.width() || grid.Height() != mIndex.height()) return view;
  const QImage index = mIndex.scaled(width, height, Qt::IgnoreAspectRatio, Qt::FastTransformation);
  for (int y = 0; y < view.height(); ++y) {
    const uchar* line = index.constScanLine(y);
    auto* out = reinterpret_cast<QRgb*>(view.scanLine(y));
    for (int x = 0; x < view.width(); ++x) {
      if (line[x] == 0) continue;
      const std::uint32_t v = mPalette[line[x] - 1];
      out[x] = qRgb(static_cast<int>(v & 0xFF), static_cast<int>((v >> 8) & 0xFF),
                    static_cast<int>((v >> 16) & 0xFF));
    }
  }
  return view;
}

}  // namespace qv
