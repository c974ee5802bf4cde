// Pictures between the core's pixel grid and Qt's QImage, and writing them to PNG or BMP files.
#pragma once

#include <QImage>
#include <string>

#include "core/picture/pixel_grid.h"

namespace qv {

/// The grid as a QImage::Format_RGB32 image (0xFFRRGGBB per pixel); a null image for an empty
/// grid. Throws Error "Not enough memory for the picture <pictureName> (W x H)" when the image
/// cannot be allocated.
QImage ToQImage(const PixelGrid& grid, const std::string& pictureName = "in memory");

/// A QImage::Format_RGBX8888 image on the grid's own memory (0x00BBGGRR is the bytes R, G, B, X
/// on this little-endian machine): nothing is copied. Valid while the grid lives and keeps its
/// size; painting on it changes the grid (and may set the padding byte).
QImage GridView(PixelGrid& grid);
QImage GridView(const PixelGrid& grid);

/// The colours of `image` as a grid of 0x00BBGGRR values. Images of other formats are converted
/// to RGB32 first; alpha is dropped, since the colours are the data. A null image gives an empty
/// grid.
PixelGrid FromQImage(const QImage& image);

/// Writes `image` as PNG or BMP, chosen by the extension of `path` (".png" or ".bmp", any letter
/// case), through a temporary file that replaces `path` only once every byte is written and
/// synced: on any failure (a full disk too) the old file is untouched and no temporary is left.
/// Throws Error "Unable to write to <path>" when the file cannot be written (RefuseUnsafeOutput's
/// texts for a pipe, a device or a folder) and "'<path>' is not a .png or .bmp file name" for any
/// other extension.
void SavePicture(const QImage& image, const std::string& path);
/// The same for a pixel grid, written from the grid's own memory.
void SavePicture(const PixelGrid& grid, const std::string& path);

/// Writes `grid` into the existing file `file`, a temporary that the caller puts in place as
/// `path` (OutputFiles), as PNG or BMP by the extension of `path`. Throws Error "Unable to write
/// to <path>" when it cannot be written, the texts of SavePicture otherwise.
void WritePictureInto(const PixelGrid& grid, const std::string& file, const std::string& path);

}  // namespace qv
