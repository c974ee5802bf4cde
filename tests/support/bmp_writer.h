// Test-only BMP encoder: every header, bit depth, palette, mask and RLE variant the reader
// accepts, plus helpers to damage the bytes afterwards.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/picture/pixel_grid.h"

namespace qv::test {

/// The info header variants, named after their size in bytes.
enum class BmpHeader {
  kCore12,      // OS/2 1.x: 16-bit sizes, three-byte palette entries
  kOs2Short16,  // OS/2 2.x cut to its first fields
  kOs2Full64,   // OS/2 2.x
  kInfo40,
  kV2_52,
  kV3_56,
  kV4_108,
  kV5_124,
};

/// Size in bytes of the info header `header`.
std::uint32_t HeaderSize(BmpHeader header);

/// How to store a picture.
struct BmpOptions {
  BmpHeader header = BmpHeader::kInfo40;
  int bits = 24;
  bool topDown = false;
  /// For 16 and 32 bits: non-zero masks store the picture with bit fields (compression 3, or 6
  /// with `alphaMask` on a 40-byte header); all zero stores the default 5-5-5 or X8R8G8B8 format.
  std::uint32_t redMask = 0, greenMask = 0, blueMask = 0, alphaMask = 0;
  /// Value of the otherwise unused fourth byte of a default 32-bit pixel.
  std::uint8_t filler = 0;
  /// Palette count written to the header; -1 writes the real number of entries.
  std::int64_t declaredColours = -1;
  /// Bytes of 0xEE between the tables and the pixel data, which the data offset then skips.
  std::uint32_t gap = 0;
};

/// A true-colour file (16, 24 or 32 bits) of `grid`. Channels are cut to the mask widths by
/// keeping their top bits.
std::string EncodeBmp(const PixelGrid& grid, const BmpOptions& options);

/// The plain 40-byte-header, 24-bit, bottom-up file of `grid`.
std::string EncodeBmp24(const PixelGrid& grid);

/// A palette file (1, 4 or 8 bits) of `indices` (row-major, top row first, width x height).
std::string EncodeIndexedBmp(int width, int height, const std::vector<std::uint8_t>& indices,
                             const std::vector<std::uint32_t>& palette, const BmpOptions& options);

/// Builder of a hand-made RLE stream, for either depth.
class RleStream {
 public:
  explicit RleStream(int bits) : mBits(bits) {}
  /// `count` pixels alternating the two indices (the same index twice for RLE8 or a flat run).
  RleStream& Run(int count, int first, int second = -1);
  /// Literal pixels, padded to a 16-bit boundary.
  RleStream& Absolute(const std::vector<std::uint8_t>& indices);
  RleStream& EndOfLine();
  RleStream& Delta(int dx, int dy);
  RleStream& EndOfBitmap();
  /// Any bytes, for broken streams.
  RleStream& Raw(const std::string& bytes);
  const std::string& Bytes() const { return mBytes; }

 private:
  int mBits;
  std::string mBytes;
};

/// An RLE file (4 or 8 bits, bottom-up, 40-byte header unless `header` says otherwise) whose
/// pixel data is `stream`.
std::string EncodeRleBmp(int width, int height, int bits, const std::vector<std::uint32_t>& palette,
                         const std::string& stream, BmpHeader header = BmpHeader::kInfo40);

/// A complete RLE stream of `indices` (row-major, top row first) using encoded runs for repeats
/// and absolute runs for the rest.
std::string RleEncode(int width, int height, int bits, const std::vector<std::uint8_t>& indices);

/// Byte offsets of the header fields a test may want to damage.
constexpr std::size_t kDataOffsetAt = 10;
constexpr std::size_t kHeaderSizeAt = 14;
constexpr std::size_t kWidthAt = 18;
constexpr std::size_t kHeightAt = 22;
constexpr std::size_t kBitsAt = 28;
constexpr std::size_t kCompressionAt = 30;
constexpr std::size_t kColoursAt = 46;

/// Overwrites little-endian fields of `bytes` in place.
void PutU16(std::string& bytes, std::size_t offset, std::uint16_t value);
void PutU32(std::string& bytes, std::size_t offset, std::uint32_t value);
/// The first `keep` bytes of `bytes`.
std::string Truncated(const std::string& bytes, std::size_t keep);

/// `count` distinct colours for palette pictures.
std::vector<std::uint32_t> Palette(int count);
/// Palette indices 0 .. count-1 for a width x height picture (row-major, top row first), the
/// neighbours of each pixel all different from it when count > 2.
std::vector<std::uint8_t> IndexPattern(int width, int height, int count);

}  // namespace qv::test
