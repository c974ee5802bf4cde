// Decoding JPEG pictures with libjpeg, strictly: damaged data is an error, never a guessed picture.
#pragma once

#include <QByteArray>
#include <QImage>

namespace qv {

/// Decodes the JPEG file held in `data`. A greyscale JPEG gives a QImage::Format_Grayscale8
/// image, a colour (YCbCr or RGB) JPEG a QImage::Format_RGB888 image. Throws Error "The JPEG
/// picture cannot be read: <reason>" for empty, damaged or truncated data (libjpeg's warnings,
/// such as a premature end of the file, count as damage) and for JPEG colour spaces other than
/// greyscale and colour (CMYK).
QImage DecodeJpeg(const QByteArray& data);

}  // namespace qv
