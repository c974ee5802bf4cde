// Decoded PNG rows into the pixel grid: the samples of each colour type and depth to colours
// over white, and the sink that converts rows as the decoder hands them over (in a second part of
// a thread pool for large pictures). The chunk reading and the decoder itself are png_reader's.
#pragma once

#include <spng.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <utility>
#include <vector>

#include "core/base/thread_pool.h"
#include "core/picture/pixel_grid.h"

namespace qv::png {

constexpr std::uint32_t kWhite = 0x00FFFFFF;

// 16-bit sample to 8 bits, rounded.
inline std::uint32_t Reduce16(std::uint32_t v) { return (v * 255 + 32767) / 65535; }

// Channel c at alpha a over white, 8 bits.
inline std::uint32_t Blend8(std::uint32_t c, std::uint32_t a) {
  return (c * a + 255 * (255 - a) + 127) / 255;
}

// Channel c at alpha a over white on 16-bit values, reduced to 8 bits in one rounding.
inline std::uint32_t Blend16(std::uint32_t c, std::uint32_t a) {
  constexpr std::uint64_t kDen = std::uint64_t{65535} * 65535;
  const std::uint64_t num = (std::uint64_t{c} * a + std::uint64_t{65535} * (65535 - a)) * 255;
  return static_cast<std::uint32_t>((2 * num + kDen) / (2 * kDen));
}

inline std::uint32_t Pack(std::uint32_t r, std::uint32_t g, std::uint32_t b) {
  return r | (g << 8) | (b << 16);
}

/// Whether the processor has the byte shuffle WidenRgb uses.
bool CanShuffle();
/// RGB at 8 bits to colours, four pixels per shuffle where the processor has one; returns the
/// pixels done (0 without the shuffle), the caller does the rest.
std::size_t WidenRgb(const unsigned char* s, std::size_t n, std::uint32_t* out);

enum class Kind { kIndexed, kGrey16, kRgb8, kRgb16, kGreyAlpha8, kGreyAlpha16, kRgba8, kRgba16 };

// How the samples of one row become colours.
struct Converter {
  Kind kind = Kind::kIndexed;
  int depth = 8;
  // kIndexed: the colour of every palette index or grey value; entries from `valid` on are not
  // in the palette.
  std::array<std::uint32_t, 256> lut{};
  unsigned valid = 256;
  // Grey and RGB pictures: the tRNS colour key (grey in `keyGrey`).
  bool keyed = false;
  std::uint32_t keyGrey = 0, keyRed = 0, keyGreen = 0, keyBlue = 0;
};

/// The conversion of a picture of `colourType` (SPNG_COLOR_TYPE_...) at `depth` bits, with its
/// tRNS chunk (nullptr without one) and, for a palette picture, its palette.
Converter ConverterFor(int colourType, int depth, const spng_trns* trns, const spng_plte* plte);

// Converts `count` pixels of a row of samples to every `step`-th grid position from `out`;
// returns the largest palette index (or grey value) met.
template <bool kStrided>
unsigned ConvertRow(const Converter& c, const unsigned char* s, int count, std::uint32_t* out,
                    int step);

// Converts one decoded row (of pass `pass` for an interlaced picture) to its grid positions;
// returns the largest palette index met.
unsigned ConvertAt(const Converter& c, const unsigned char* s, PixelGrid& grid, bool interlaced,
                   int y, int pass);

// Where decoded rows go. Small pictures, and rows that are cheap to convert, are converted row
// by row as they come. For other large ones a second part of a thread pool converts batches of
// rows while the decoding part inflates the next: inflating is serial, and converting palette,
// alpha or 16-bit samples in the same thread would add a sixth or more to it.
class RowSink {
 public:
  /// Pictures from this many pixels on are worth a converting part.
  static constexpr std::size_t kBatchedPixels = std::size_t{1} << 20;

  /// `batched`: rows go to Convert, run beside the decoding on another part of a pool, in
  /// batches; else each row is converted as it is committed.
  RowSink(const Converter& converter, PixelGrid& grid, bool interlaced, std::size_t rowBytes,
          bool batched)
      : mConverter(converter),
        mGrid(grid),
        mInterlaced(interlaced),
        mRowBytes(rowBytes),
        mBatched(batched) {
    mRowsPerBatch = batched ? std::clamp<std::size_t>(kBatchBytes / rowBytes, 1, 256) : 1;
    for (Batch& b : mBatches) {
      b.bytes.resize(mRowsPerBatch * rowBytes);
      b.rows.reserve(mRowsPerBatch);
      if (!batched) break;
    }
  }
  RowSink(const RowSink&) = delete;
  RowSink& operator=(const RowSink&) = delete;

  /// Where the next row is to be decoded.
  unsigned char* Slot() {
    Batch& b = mBatches[mFill];
    if (mBatched && mFilled == 0) {
      // Until the converting part is through with this batch, its rows are that part's.
      std::unique_lock lock(mMutex);
      mChanged.wait(lock, [&] { return !b.full; });
    }
    return b.bytes.data() + mFilled * mRowBytes;
  }
  /// The row in Slot() is complete and belongs to grid row `y`.
  void Commit(int y, int pass) {
    Batch& b = mBatches[mFill];
    if (!mBatched) {
      Raise(ConvertAt(mConverter, b.bytes.data(), mGrid, mInterlaced, y, pass));
      return;
    }
    b.rows.push_back({y, pass});
    if (++mFilled == mRowsPerBatch) HandOver();
  }
  /// The largest palette index met so far.
  unsigned Top() const { return mTop.load(std::memory_order_relaxed); }
  /// The last row is committed: Convert returns once every committed row is in the grid.
  void Finish() {
    if (!mBatched) return;
    if (mFilled > 0) HandOver();
    {
      std::lock_guard lock(mMutex);
      mDone = true;
    }
    mChanged.notify_all();
  }
  /// The decoding failed: Convert returns without converting the rows still waiting.
  void Stop() {
    {
      std::lock_guard lock(mMutex);
      mStop = true;
    }
    mChanged.notify_all();
  }
  /// Converts the batches handed over, in order, until Finish or Stop; the converting part.
  void Convert() {
    std::size_t next = 0;
    for (;;) {
      Batch& b = mBatches[next];
      {
        std::unique_lock lock(mMutex);
        mChanged.wait(lock, [&] { return b.full || mDone || mStop; });
        if (mStop || !b.full) return;  // batches are handed over in order: all are done
      }
      unsigned top = 0;
      for (std::size_t i = 0; i < b.rows.size(); ++i) {
        top = std::max(top, ConvertAt(mConverter, b.bytes.data() + i * mRowBytes, mGrid,
                                      mInterlaced, b.rows[i].first, b.rows[i].second));
      }
      Raise(top);
      {
        std::lock_guard lock(mMutex);
        b.rows.clear();
        b.full = false;
      }
      mChanged.notify_all();
      next = (next + 1) % kBatches;
    }
  }

 private:
  static constexpr std::size_t kBatchBytes = std::size_t{1} << 18;
  static constexpr std::size_t kBatches = 4;

  struct Batch {
    std::vector<unsigned char> bytes;
    std::vector<std::pair<int, int>> rows;  // grid row and pass of each row in `bytes`
    bool full = false;                      // handed to the converting part, not yet converted
  };

  void Raise(unsigned top) {
    if (top > mTop.load(std::memory_order_relaxed)) mTop.store(top, std::memory_order_relaxed);
  }

  void HandOver() {
    {
      std::lock_guard lock(mMutex);
      mBatches[mFill].full = true;
    }
    mChanged.notify_all();
    mFill = (mFill + 1) % kBatches;
    mFilled = 0;
  }

  const Converter& mConverter;
  PixelGrid& mGrid;
  const bool mInterlaced;
  const std::size_t mRowBytes;
  const bool mBatched;
  std::size_t mRowsPerBatch = 1;
  std::array<Batch, kBatches> mBatches;
  std::size_t mFill = 0;    // the batch being filled
  std::size_t mFilled = 0;  // rows in it so far
  std::atomic<unsigned> mTop{0};
  std::mutex mMutex;
  std::condition_variable mChanged;
  bool mDone = false, mStop = false;
};

}  // namespace qv::png
