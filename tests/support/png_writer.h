// Test-only PNG encoder on libspng's encoder (every colour type, bit depth, interlacing,
// palette and tRNS), plus chunk-level helpers to build odd and damaged files afterwards.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/picture/pixel_grid.h"

namespace qv::test {

/// PNG colour types.
enum class PngColour { kGrey = 0, kRgb = 2, kPalette = 3, kGreyAlpha = 4, kRgba = 6 };

/// How EncodePng stores a grid.
struct PngOptions {
  PngColour colour = PngColour::kRgb;
  int depth = 8;
  bool interlaced = false;
  /// zlib level 0..9; -1 for libspng's default.
  int compression = -1;
  /// Pixels of this colour are stored transparent: with alpha 0 (and colour `hiddenColour`) in
  /// the alpha types, as a palette entry of alpha 0 (colour `hiddenColour`), or, for grey and
  /// RGB, by a tRNS colour key equal to `hiddenColour` (which the grid must then not use).
  std::optional<std::uint32_t> transparent;
  std::uint32_t hiddenColour = 0x00563412;
};

/// The PNG file of `grid` in the colour type and depth of `options`. The grid's colours must
/// be representable: grey levels that are multiples of 255 / (2^depth - 1) for grey types,
/// at most 2^depth colours for palette types. 16-bit samples are written as v * 257.
std::string EncodePng(const PixelGrid& grid, const PngOptions& options = {});

/// A PNG file from raw samples as the format stores them (rows top first, packed, 16-bit
/// samples in host order), with an optional palette (0x00BBGGRR) and tRNS chunk.
struct RawPng {
  int width = 0;
  int height = 0;
  PngColour colour = PngColour::kRgb;
  int depth = 8;
  bool interlaced = false;
  int compression = -1;
  std::vector<unsigned char> samples;
  std::vector<std::uint32_t> palette;
  std::vector<std::uint8_t> paletteAlpha;              // tRNS of a palette picture; empty for none
  std::optional<std::uint16_t> keyGrey;                // tRNS of a grey picture
  std::optional<std::array<std::uint16_t, 3>> keyRgb;  // tRNS of an RGB picture
};
std::string EncodeRawPng(const RawPng& raw);

/// One chunk of a PNG file: where it starts (its length field) and what it holds.
struct PngChunk {
  std::size_t offset = 0;
  std::uint32_t length = 0;
  std::string type;
};

/// The chunks of a well-formed PNG file, in order.
std::vector<PngChunk> PngChunks(const std::string& png);
/// The index in PngChunks of the first chunk of `type`; throws when there is none.
std::size_t ChunkIndex(const std::string& png, const std::string& type);
/// A complete chunk (length, type, data, checksum).
std::string MakeChunk(const std::string& type, const std::string& data);
/// `png` with `chunk` (from MakeChunk) inserted before chunk number `index`.
std::string InsertChunk(const std::string& png, std::size_t index, const std::string& chunk);
/// `png` without chunk number `index`.
std::string RemoveChunk(const std::string& png, std::size_t index);
/// `png` with its IDAT data (the zlib stream) cut into IDAT chunks of `piece` bytes, and a
/// zero-length IDAT after every one when `emptyBetween`.
std::string SplitIdat(const std::string& png, std::size_t piece, bool emptyBetween = false);
/// The concatenated data of all IDAT chunks.
std::string IdatStream(const std::string& png);
/// `png` with its IDAT chunks replaced by one holding `stream`.
std::string WithIdatStream(const std::string& png, const std::string& stream);
/// `png` with byte `at` xor-ed with `mask`, the checksums left as they were.
std::string Flipped(std::string png, std::size_t at, unsigned char mask = 0x01);
/// The zlib stream (level `level`) of `data`.
std::string Deflate(const std::string& data, int level = 6);
/// Writes a big-endian 32-bit value into `bytes` at `offset`.
void PutBigEndian32(std::string& bytes, std::size_t offset, std::uint32_t value);
/// Recomputes the checksum of the chunk that starts at `offset`.
void FixChunkCrc(std::string& png, std::size_t offset);

}  // namespace qv::test
