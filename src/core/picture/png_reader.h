// Strict reader of PNG pictures into a PixelGrid, on libspng: the colours are the data, so a
// damaged file is refused rather than guessed at.
//
// Accepted: every colour type and bit depth of the format (palette 1/2/4/8 bits, grey
// 1/2/4/8/16 bits, grey with alpha, RGB and RGBA at 8 and 16 bits), interlaced (Adam7) or not.
//
// Decisions a reader of the code should know:
// - The stored sample values are the colours: gAMA, cHRM, iCCP, sRGB and sBIT are ignored, as
//   are every other ancillary chunk and bytes after the IEND chunk.
// - Grey samples of 1, 2 and 4 bits are widened to 8 bits by v * 255 / (2^bits - 1) (exact:
//   4-bit 15 -> 255). 16-bit samples are reduced by rounding, (v * 255 + 32767) / 65535, so a
//   16-bit file written from 8-bit values (v * 257) gives back exactly those values.
// - Alpha is composited over white, as image viewers show it: with colour c and alpha a at 8
//   bits a channel becomes round((c * a + 255 * (255 - a)) / 255); at 16 bits the same is done
//   exactly on the 16-bit values and the result reduced to 8 bits in one rounding,
//   round((c * a + 65535 * (65535 - a)) * 255 / 65535^2). Halves cannot occur in either. A fully
//   opaque pixel keeps its colour, a fully transparent one becomes white (0x00FFFFFF).
// - tRNS: palette entries get their alpha from it (entries beyond it are opaque); for grey and
//   RGB pictures the pixels equal to its colour key become white. A key is compared with the
//   samples at the picture's bit depth (its bits above that depth are dropped).
// - A pixel that refers to an entry beyond the palette refuses the whole file, as in the BMP
//   reader: inventing a colour would invent a material.
// - Damage is refused: a checksum error in any chunk (critical or not: tRNS is ancillary yet
//   changes colours, and a damaged chunk is rarely the only damage), a file that ends anywhere
//   before its IEND chunk, an inflate error, compressed pixel data that ends before the last
//   row, an unknown critical chunk. An ancillary chunk whose contents do not follow the format
//   (but whose checksum is right) is skipped, as libspng and other decoders do.
//
// Limits: the declared width and height are checked against kMaxPictureSide and
// kMaxPicturePixels (picture_file.h) before anything is allocated, and so is the file size:
// deflate cannot shrink data more than about 1032 : 1, so a file too small to hold the declared
// pixels is refused at once (a few bytes claiming a gigapixel). Ancillary chunks (text, colour
// profiles, Exif) may use kMaxPngChunkBytes each and kMaxPngMetadataBytes in all once
// decompressed; more refuses the file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "core/picture/picture_file.h"
#include "core/picture/pixel_grid.h"
#include "core/picture/pixel_rows.h"

namespace qv {

/// Largest ancillary chunk, once decompressed, that the PNG reader keeps (bytes).
constexpr std::size_t kMaxPngChunkBytes = std::size_t{16} << 20;
/// Largest total of ancillary chunks, once decompressed, that the PNG reader keeps (bytes).
constexpr std::size_t kMaxPngMetadataBytes = std::size_t{64} << 20;
/// Most text and other extra chunks a picture may hold, whatever their size.
constexpr std::size_t kMaxPngExtraChunks = 1000;

/// True when the `size` bytes at `data` begin with the 8-byte PNG signature.
bool HasPngSignature(const unsigned char* data, std::size_t size);

/// Reads the PNG picture `file`. Throws qv::Error with a text such as "Cannot read picture
/// /x/y.png: the pixel data ends early" for every failure; never returns a partial picture.
/// Decodes into the memory of `reuse` when it has the picture's size (its pixels are
/// overwritten; on failure it is gone).
PixelGrid ReadPngFile(const OpenedPicture& file, PixelGrid&& reuse);

/// The PNG picture `file` as rows decoded while they are visited, for scans that need no picture
/// in memory: the rows come in order from the top (PixelRows::InOrder), a few blocks at a time,
/// whatever the picture's size. The header and every chunk before the pixel data are checked as
/// ReadPngFile checks them (and refused with its messages); a refusal of the pixels, or of the
/// file's end, comes from the rows' ThrowIfFailed with ReadPngFile's text, and no row after it is
/// handed over. nullptr for an interlaced picture, whose rows are whole only after its last
/// pass: the caller reads that one whole.
std::unique_ptr<PixelRows> OpenPngRows(std::unique_ptr<OpenedPicture> file);

/// Decodes the PNG file held in `data` (`size` bytes). `nameForMessages` stands for the file in
/// the error texts, which are the same as those of ReadPngFile.
PixelGrid DecodePng(const unsigned char* data, std::size_t size,
                    const std::string& nameForMessages);

}  // namespace qv
