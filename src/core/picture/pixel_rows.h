// Where a scan's pixels come from: a grid in memory, or a picture file read a few rows at a time,
// so a scan that only looks at each row once needs no picture-sized memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

#include "core/picture/pixel_grid.h"

namespace qv {

/// Rows [first, end) of a picture as 0x00BBGGRR values; row y starts at
/// pixels + (y - first) * width.
struct RowBlock {
  int first = 0;
  int end = 0;
  int width = 0;
  const std::uint32_t* pixels = nullptr;
  const std::uint32_t* Row(int y) const {
    return pixels + static_cast<std::ptrdiff_t>(y - first) * width;
  }
};

/// The pixels of one picture, row by row. Several workers may visit disjoint rows at once; each
/// passes its own worker number (0, 1, ...), and one worker number is used by one thread at a
/// time.
class PixelRows {
 public:
  virtual ~PixelRows() = default;
  virtual int Width() const = 0;
  virtual int Height() const = 0;
  /// The whole grid when the pixels are in memory, nullptr when they are read as visited (scans
  /// that need the whole picture at once take it from here).
  virtual const PixelGrid* Grid() const = 0;
  /// Hands rows [first, end) to `use` as one or more consecutive blocks, on the caller's thread;
  /// a block is valid only during its call. Rows that cannot be read are not handed over: the
  /// failure is kept for ThrowIfFailed, since a worker thread cannot throw.
  virtual void Visit(int worker, int first, int end,
                     const std::function<void(const RowBlock&)>& use) = 0;
  /// True when the rows come from a decoder that only goes forwards (a compressed file): a
  /// visit above the rows already visited decodes from the top again, and concurrent visits
  /// wait for each other. Scans visit such rows once, top to bottom, in one visit of worker 0.
  virtual bool InOrder() const { return false; }
  /// Throws qv::Error with the reader's message when some visited rows could not be read (of
  /// several failures, the one of the topmost stored rows, so the text does not depend on
  /// timing); a scan calls it when done and its result stands only when it returns.
  virtual void ThrowIfFailed() const {}
};

/// The rows of a grid in memory: every visit is one block pointing into the grid.
class GridRows final : public PixelRows {
 public:
  explicit GridRows(const PixelGrid& grid) : mGrid(grid) {}
  int Width() const override { return mGrid.Width(); }
  int Height() const override { return mGrid.Height(); }
  const PixelGrid* Grid() const override { return &mGrid; }
  void Visit(int, int first, int end, const std::function<void(const RowBlock&)>& use) override {
    if (first < end) use(RowBlock{first, end, mGrid.Width(), mGrid.Row(first)});
  }

 private:
  const PixelGrid& mGrid;
};

}  // namespace qv
