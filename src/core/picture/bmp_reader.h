// Strict reader of Windows and OS/2 BMP pictures into a PixelGrid: the colours are the data, so a
// damaged file is refused rather than guessed at.
//
// Accepted: the 12-byte OS/2 1.x header, the 16- and 64-byte OS/2 2.x headers and the 40, 52, 56,
// 108 and 124-byte Windows headers; 1, 4 and 8 bits with a palette (uncompressed, RLE4 for 4 bits,
// RLE8 for 8 bits), 16 bits (5-5-5 by default, any colour masks with bit fields), 24 bits and 32
// bits (X8R8G8B8 by default, any colour masks with bit fields); bottom-up and top-down rows.
//
// Decisions a reader of the code should know:
// - Alpha is ignored: every pixel becomes its 0x00BBGGRR colour.
// - Channels narrower than 8 bits are widened by bit replication (5-bit 31 -> 255), wider ones keep
//   their top 8 bits, so white stays 0x00FFFFFF in every format.
// - A palette count of 0 means 2^bits entries; a larger count than 2^bits is cut to 2^bits (the
//   extra entries can never be addressed). A pixel that refers to an entry beyond the palette makes
//   the whole file refused: inventing a colour would invent a material.
// - Pixels that an RLE stream skips (delta, early end of line, end of bitmap) get palette entry 0.
//   An RLE stream must end with its end-of-bitmap mark inside the file; a run that would leave its
//   row or the picture refuses the file. Compressed pictures must be stored bottom-up.
// - The padding of the last row may be missing; every byte that carries a pixel must be present.
// - JPEG, PNG, OS/2 Huffman and RLE24 compression, CMYK and bit depths other than the above are
//   refused.
//
// Limits: width and height at most kMaxPictureSide (1 << 20) each and at most kMaxPicturePixels
// (1 << 30, about 1.07 gigapixels, 4 GiB of grid) in all (picture_file.h); checked, together
// with the file size, before anything is allocated.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "core/picture/picture_file.h"
#include "core/picture/pixel_grid.h"
#include "core/picture/pixel_rows.h"

namespace qv {

/// Reads the BMP picture `file` (whatever its first bytes are: a file that is no BMP picture is
/// refused as such). Throws qv::Error with a text such as "Cannot read picture /x/y.bmp: the
/// pixel data ends early" for every failure; never returns a partial picture. Decodes into the
/// memory of `reuse` when it has the picture's size (its pixels are overwritten; on failure it
/// is gone), which spares the page faults of a fresh grid on reloads.
PixelGrid ReadBmpFile(const OpenedPicture& file, PixelGrid&& reuse);

/// The BMP picture `file` as rows read from the file while they are visited, for scans that
/// need no picture in memory. The header is checked as ReadBmpFile checks it (and refused with
/// its messages); the pixels are checked as they are read, and a refusal of theirs comes from
/// the rows' ThrowIfFailed with ReadBmpFile's text. nullptr for a compressed (RLE) picture, whose
/// rows cannot be found without decoding all before them: the caller reads that one whole.
std::unique_ptr<PixelRows> OpenBmpRows(std::unique_ptr<OpenedPicture> file);

/// Decodes the BMP file held in `data` (`size` bytes). `nameForMessages` stands for the file in
/// the error texts, which are the same as those of ReadBmpFile.
PixelGrid DecodeBmp(const unsigned char* data, std::size_t size,
                    const std::string& nameForMessages);

}  // namespace qv
