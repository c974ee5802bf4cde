// Hands a picture file to the reader its first bytes ask for.
#include "core/picture/picture_reader.h"

#include <array>

#include "core/picture/bmp_reader.h"
#include "core/picture/picture_file.h"
#include "core/picture/png_reader.h"

namespace qv {
namespace {

// The file begins with the PNG signature. A read that fails here fails again in the BMP reader,
// which says so in its words.
bool IsPngFile(const OpenedPicture& file) {
  std::array<unsigned char, 8> signature{};
  const std::int64_t got = file.ReadAt(signature.data(), signature.size(), 0);
  return got > 0 && HasPngSignature(signature.data(), static_cast<std::size_t>(got));
}

}  // namespace

PixelGrid ReadPicture(const std::string& path) {
  PixelGrid none;
  return ReadPicture(path, std::move(none));
}

PixelGrid ReadPicture(const std::string& path, PixelGrid&& reuse) {
  const OpenedPicture file(path);
  PixelGrid grid =
      IsPngFile(file) ? ReadPngFile(file, std::move(reuse)) : ReadBmpFile(file, std::move(reuse));
  // A picture written over while it was read would be parts of two pictures.
  file.CheckUnchanged();
  return grid;
}

std::unique_ptr<PixelRows> OpenPictureRows(const std::string& path) {
  auto file = std::make_unique<OpenedPicture>(path);
  if (IsPngFile(*file)) return OpenPngRows(std::move(file));
  return OpenBmpRows(std::move(file));
}

PixelGrid DecodePicture(const unsigned char* data, std::size_t size,
                        const std::string& nameForMessages) {
  if (HasPngSignature(data, size)) return DecodePng(data, size, nameForMessages);
  return DecodeBmp(data, size, nameForMessages);
}

}  // namespace qv
