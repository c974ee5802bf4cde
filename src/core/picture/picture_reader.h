// The one entry for reading pictures: the file's first bytes choose the reader, not its name, so
// a PNG picture named .bmp loads as PNG. Every file that does not begin with the PNG signature
// goes to the BMP reader, which refuses what is no BMP picture in its own words ("the file is
// neither a BMP nor a PNG picture", "the file is a JPEG picture, not a BMP or PNG picture").
#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "core/picture/pixel_grid.h"
#include "core/picture/pixel_rows.h"

namespace qv {

/// Reads the BMP or PNG picture at `path`. Only a regular, readable file is opened (a folder, a
/// FIFO or a device is refused without blocking). Throws qv::Error with a text such as "Cannot
/// read picture /x/y.bmp: the pixel data ends early" for every failure; never returns a partial
/// picture.
PixelGrid ReadPicture(const std::string& path);

/// The same, decoding into the memory of `reuse` when it has the picture's size (its pixels are
/// overwritten; on failure it is gone). Spares the page faults of a fresh grid on reloads.
PixelGrid ReadPicture(const std::string& path, PixelGrid&& reuse);

/// The picture at `path` as rows read from the file a few at a time while a scan visits them,
/// when its format allows that (an uncompressed BMP picture, a PNG picture that is not
/// interlaced); nullptr when it must be read whole with ReadPicture. Throws qv::Error as
/// ReadPicture does for a file it cannot open or whose header it refuses; a refusal of the pixels
/// comes from the rows' ThrowIfFailed.
std::unique_ptr<PixelRows> OpenPictureRows(const std::string& path);

/// Decodes the BMP or PNG file held in `data` (`size` bytes), chosen as ReadPicture chooses.
/// `nameForMessages` stands for the file in the error texts.
PixelGrid DecodePicture(const unsigned char* data, std::size_t size,
                        const std::string& nameForMessages);

}  // namespace qv
