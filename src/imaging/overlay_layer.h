// The window's drawings (section frame, result overlay) kept beside the picture instead of in it:
// one byte per pixel naming the colour painted there, or 0 where nothing was painted. The picture
// itself stays as read, so a new analysis needs no reload, and the view shows the two together
// exactly as if the drawings had been painted into the picture.
#pragma once

#include <QColor>
#include <QImage>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/picture/pixel_grid.h"
#include "core/section/overlay.h"

namespace qv {

class OverlayLayer {
 public:
  /// Paints `ops` in order over what the layer holds, as RenderOverlay would paint them into a
  /// picture of `width` x `height` pixels. Throws Error (PictureMemoryMessage with
  /// `pictureName`) when the layer cannot be allocated; the layer is then empty.
  void Paint(const OverlayOps& ops, int width, int height, const std::string& pictureName);
  /// Removes every drawing (the memory is kept for the next one of the same size).
  void Clear();
  bool Empty() const { return !mDrawn; }

  /// The picture value painted at (x, y), or nothing where the picture shows through.
  std::optional<std::uint32_t> At(int x, int y) const;
  /// What F2 does to a drawn-over picture, done to the drawings: every drawn pixel that does not
  /// have `keep`'s colour turns white (`keep` = nothing: all of them).
  void HideAllBut(std::optional<std::uint32_t> keep);

  /// `grid` with the drawings over it, at full size (for tests and checks; the view never needs
  /// it).
  PixelGrid Composed(const PixelGrid& grid) const;
  /// `grid` with the drawings over it, scaled to `width` x `height` by nearest neighbour exactly
  /// as QImage::scaled(Qt::FastTransformation) scales the composed picture, without composing
  /// or copying the full-size picture.
  QImage ScaledView(const PixelGrid& grid, int width, int height) const;

 private:
  // The index image's bytes: mapped from the kernel in ordinary pages and never filled, so only
  // the pages a drawing touches take memory (lines across an 8000 x 8000 picture touch a fraction
  // of its 64 MB); cleared by handing the pages back.
  struct Pages {
    void* data = nullptr;
    std::size_t bytes = 0;
    ~Pages();
  };
  void Allocate(int width, int height);

  std::unique_ptr<Pages> mPages;
  QImage mIndex;                        // Format_Grayscale8 on mPages: 0 or palette index + 1
  std::vector<std::uint32_t> mPalette;  // picture values (0x00BBGGRR) of the indices 1, 2, ...
  bool mDrawn = false;
};

}  // namespace qv
