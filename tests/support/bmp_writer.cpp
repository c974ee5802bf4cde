// Test-only BMP encoder and damage helpers.
#include "support/bmp_writer.h"

#include <algorithm>
#include <bit>
#include <stdexcept>

namespace qv::test {
namespace {

void AddU16(std::string& out, std::uint32_t v) {
  out += static_cast<char>(v & 0xFF);
  out += static_cast<char>((v >> 8) & 0xFF);
}
void AddU32(std::string& out, std::uint32_t v) {
  AddU16(out, v & 0xFFFF);
  AddU16(out, v >> 16);
}

// Everything of a file but the pixel bytes.
struct Frame {
  BmpHeader header = BmpHeader::kInfo40;
  int width = 0;
  int height = 0;  // negative for top-down
  int bits = 24;
  std::uint32_t compression = 0;
  std::uint32_t masks[4] = {0, 0, 0, 0};
  std::vector<std::uint32_t> palette;
  std::int64_t declaredColours = -1;
  std::uint32_t gap = 0;
};

std::string Assemble(const Frame& f, const std::string& pixels) {
  const bool core = f.header == BmpHeader::kCore12;
  const std::uint32_t headerSize = HeaderSize(f.header);
  std::string info;
  AddU32(info, headerSize);
  if (core) {
    AddU16(info, static_cast<std::uint32_t>(f.width));
    AddU16(info, static_cast<std::uint32_t>(f.height));
    AddU16(info, 1);
    AddU16(info, static_cast<std::uint32_t>(f.bits));
  } else {
    AddU32(info, static_cast<std::uint32_t>(f.width));
    AddU32(info, static_cast<std::uint32_t>(f.height));
    AddU16(info, 1);
    AddU16(info, static_cast<std::uint32_t>(f.bits));
    if (headerSize >= 40) {
      AddU32(info, f.compression);
      AddU32(info, static_cast<std::uint32_t>(pixels.size()));
      AddU32(info, 2835);  // 72 dpi
      AddU32(info, 2835);
      AddU32(info, static_cast<std::uint32_t>(f.declaredColours >= 0 ? f.declaredColours
                                                                     : f.palette.size()));
      AddU32(info, 0);
    }
    if (headerSize >= 52 && headerSize != 64) {
      for (int i = 0; i < 3; ++i) AddU32(info, f.masks[i]);
    }
    if (headerSize >= 56 && headerSize != 64) AddU32(info, f.masks[3]);
    if (headerSize >= 108 && headerSize != 64) AddU32(info, 0x73524742);  // 'sRGB'
    info.resize(headerSize, '\0');
  }
  if (headerSize == 40 && (f.compression == 3 || f.compression == 6)) {
    for (int i = 0; i < (f.compression == 6 ? 4 : 3); ++i) AddU32(info, f.masks[i]);
  }
  for (std::uint32_t c : f.palette) {
    info += static_cast<char>((c >> 16) & 0xFF);
    info += static_cast<char>((c >> 8) & 0xFF);
    info += static_cast<char>(c & 0xFF);
    if (!core) info += '\0';
  }
  info.append(f.gap, '\xEE');

  std::string out = "BM";
  const std::uint32_t offset = static_cast<std::uint32_t>(14 + info.size());
  AddU32(out, static_cast<std::uint32_t>(offset + pixels.size()));
  AddU32(out, 0);
  AddU32(out, offset);
  return out + info + pixels;
}

std::size_t Stride(int width, int bits) {
  return (static_cast<std::size_t>(width) * static_cast<std::size_t>(bits) + 31) / 32 * 4;
}

// Stored row order: bottom row first unless top-down.
int PictureRow(int stored, int height, bool topDown) {
  return topDown ? stored : height - 1 - stored;
}

// An 8-bit channel cut (or stretched) to the width of `mask`, placed under it.
std::uint32_t Place(std::uint32_t value, std::uint32_t mask) {
  if (mask == 0) return 0;
  const int shift = std::countr_zero(mask);
  const int bits = std::popcount(mask);
  const std::uint32_t v = bits >= 8 ? value << (bits - 8) : value >> (8 - bits);
  return (v << shift) & mask;
}

}  // namespace

std::uint32_t HeaderSize(BmpHeader header) {
  switch (header) {
    case BmpHeader::kCore12:
      return 12;
    case BmpHeader::kOs2Short16:
      return 16;
    case BmpHeader::kOs2Full64:
      return 64;
    case BmpHeader::kInfo40:
      return 40;
    case BmpHeader::kV2_52:
      return 52;
    case BmpHeader::kV3_56:
      return 56;
    case BmpHeader::kV4_108:
      return 108;
    case BmpHeader::kV5_124:
      return 124;
  }
  return 40;
}

std::string EncodeBmp(const PixelGrid& grid, const BmpOptions& options) {
  const int w = grid.Width(), h = grid.Height(), bits = options.bits;
  if (bits != 16 && bits != 24 && bits != 32)
    throw std::invalid_argument("not a true-colour depth");
  Frame f;
  f.header = options.header;
  f.width = w;
  f.height = options.topDown ? -h : h;
  f.bits = bits;
  f.gap = options.gap;
  f.declaredColours = options.declaredColours;
  const bool masked = options.redMask != 0 || options.greenMask != 0 || options.blueMask != 0;
  std::uint32_t r = 0x7C00, g = 0x03E0, b = 0x001F, a = 0;
  if (bits == 32) r = 0x00FF0000, g = 0x0000FF00, b = 0x000000FF, a = 0;
  if (masked) {
    r = options.redMask, g = options.greenMask, b = options.blueMask, a = options.alphaMask;
    f.compression = options.alphaMask != 0 && options.header == BmpHeader::kInfo40 ? 6 : 3;
  }
  f.masks[0] = r, f.masks[1] = g, f.masks[2] = b, f.masks[3] = a;

  const std::size_t stride = Stride(w, bits);
  std::string pixels(stride * static_cast<std::size_t>(h), '\0');
  for (int stored = 0; stored < h; ++stored) {
    const int y = PictureRow(stored, h, options.topDown);
    char* row = pixels.data() + stride * static_cast<std::size_t>(stored);
    for (int x = 0; x < w; ++x) {
      const std::uint32_t c = grid.At(x, y);
      const std::uint32_t red = c & 0xFF, green = (c >> 8) & 0xFF, blue = (c >> 16) & 0xFF;
      if (bits == 24) {
        row[3 * x] = static_cast<char>(blue);
        row[3 * x + 1] = static_cast<char>(green);
        row[3 * x + 2] = static_cast<char>(red);
        continue;
      }
      std::uint32_t p = Place(red, r) | Place(green, g) | Place(blue, b) | a;
      if (bits == 32 && !masked) p |= static_cast<std::uint32_t>(options.filler) << 24;
      for (int i = 0; i < bits / 8; ++i) row[bits / 8 * x + i] = static_cast<char>(p >> (8 * i));
    }
  }
  return Assemble(f, pixels);
}

std::string EncodeBmp24(const PixelGrid& grid) { return EncodeBmp(grid, BmpOptions{}); }

std::string EncodeIndexedBmp(int width, int height, const std::vector<std::uint8_t>& indices,
                             const std::vector<std::uint32_t>& palette, const BmpOptions& options) {
  const int bits = options.bits;
  if (bits != 1 && bits != 4 && bits != 8) throw std::invalid_argument("not a palette depth");
  Frame f;
  f.header = options.header;
  f.width = width;
  f.height = options.topDown ? -height : height;
  f.bits = bits;
  f.palette = palette;
  f.declaredColours = options.declaredColours;
  f.gap = options.gap;
  const std::size_t stride = Stride(width, bits);
  std::string pixels(stride * static_cast<std::size_t>(height), '\0');
  const int perByte = 8 / bits;
  for (int stored = 0; stored < height; ++stored) {
    const int y = PictureRow(stored, height, options.topDown);
    unsigned char* row =
        reinterpret_cast<unsigned char*>(pixels.data()) + stride * static_cast<std::size_t>(stored);
    for (int x = 0; x < width; ++x) {
      const unsigned index = indices[static_cast<std::size_t>(y) * width + x];
      const int shift = 8 - bits * (x % perByte + 1);
      row[x / perByte] = static_cast<unsigned char>(row[x / perByte] | (index << shift));
    }
  }
  return Assemble(f, pixels);
}

RleStream& RleStream::Run(int count, int first, int second) {
  mBytes += static_cast<char>(count);
  if (second < 0) second = first;
  mBytes += static_cast<char>(mBits == 4 ? (first << 4) | second : first);
  return *this;
}

RleStream& RleStream::Absolute(const std::vector<std::uint8_t>& indices) {
  mBytes += '\0';
  mBytes += static_cast<char>(indices.size());
  std::string data;
  for (std::size_t i = 0; i < indices.size(); ++i) {
    if (mBits == 8) {
      data += static_cast<char>(indices[i]);
    } else if (i % 2 == 0) {
      data += static_cast<char>(indices[i] << 4);
    } else {
      data.back() = static_cast<char>(data.back() | indices[i]);
    }
  }
  if (data.size() % 2 != 0) data += '\0';
  mBytes += data;
  return *this;
}

RleStream& RleStream::EndOfLine() { return Raw(std::string("\0\0", 2)); }
RleStream& RleStream::EndOfBitmap() { return Raw(std::string("\0\1", 2)); }

RleStream& RleStream::Delta(int dx, int dy) {
  mBytes += std::string("\0\2", 2);
  mBytes += static_cast<char>(dx);
  mBytes += static_cast<char>(dy);
  return *this;
}

RleStream& RleStream::Raw(const std::string& bytes) {
  mBytes += bytes;
  return *this;
}

std::string EncodeRleBmp(int width, int height, int bits, const std::vector<std::uint32_t>& palette,
                         const std::string& stream, BmpHeader header) {
  Frame f;
  f.header = header;
  f.width = width;
  f.height = height;
  f.bits = bits;
  f.compression = bits == 8 ? 1 : 2;
  f.palette = palette;
  return Assemble(f, stream);
}

std::string RleEncode(int width, int height, int bits, const std::vector<std::uint8_t>& indices) {
  RleStream stream(bits);
  for (int y = height - 1; y >= 0; --y) {
    const std::uint8_t* row = indices.data() + static_cast<std::size_t>(y) * width;
    int x = 0;
    std::vector<std::uint8_t> literal;
    auto flush = [&] {
      // An absolute run needs at least 3 pixels; shorter leftovers become runs of one.
      if (literal.size() >= 3) {
        stream.Absolute(literal);
      } else {
        for (std::uint8_t i : literal) stream.Run(1, i);
      }
      literal.clear();
    };
    while (x < width) {
      int same = 1;
      while (x + same < width && same < 255 && row[x + same] == row[x]) ++same;
      if (same >= 3) {
        flush();
        stream.Run(same, row[x]);
        x += same;
      } else {
        literal.push_back(row[x++]);
        if (literal.size() == 255) flush();
      }
    }
    flush();
    if (y > 0) stream.EndOfLine();
  }
  stream.EndOfBitmap();
  return stream.Bytes();
}

void PutU16(std::string& bytes, std::size_t offset, std::uint16_t value) {
  bytes[offset] = static_cast<char>(value & 0xFF);
  bytes[offset + 1] = static_cast<char>(value >> 8);
}

void PutU32(std::string& bytes, std::size_t offset, std::uint32_t value) {
  PutU16(bytes, offset, static_cast<std::uint16_t>(value & 0xFFFF));
  PutU16(bytes, offset + 2, static_cast<std::uint16_t>(value >> 16));
}

std::string Truncated(const std::string& bytes, std::size_t keep) {
  return bytes.substr(0, std::min(keep, bytes.size()));
}

std::vector<std::uint32_t> Palette(int count) {
  std::vector<std::uint32_t> palette;
  palette.reserve(static_cast<std::size_t>(std::max(count, 0)));
  for (int i = 0; i < count; ++i) {
    palette.push_back((static_cast<std::uint32_t>(i) * 0x00030507u + 0x00102030u) & 0x00FFFFFF);
  }
  return palette;
}

std::vector<std::uint8_t> IndexPattern(int width, int height, int count) {
  std::vector<std::uint8_t> indices;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      indices.push_back(static_cast<std::uint8_t>((x + 2 * y) % count));
    }
  }
  return indices;
}

}  // namespace qv::test
