// Test-only PNG encoder on libspng and chunk-level helpers for odd and damaged files.
#include "support/png_writer.h"

#include <spng.h>
#include <zlib.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>
#include <stdexcept>

namespace qv::test {
namespace {

std::uint32_t ReadBigEndian32(const std::string& bytes, std::size_t at) {
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data()) + at;
  return (static_cast<std::uint32_t>(p[0]) << 24) | (static_cast<std::uint32_t>(p[1]) << 16) |
         (static_cast<std::uint32_t>(p[2]) << 8) | p[3];
}

std::string BigEndian32(std::uint32_t v) {
  std::string s(4, '\0');
  PutBigEndian32(s, 0, v);
  return s;
}

int Samples(PngColour colour) {
  switch (colour) {
    case PngColour::kGrey:
    case PngColour::kPalette:
      return 1;
    case PngColour::kGreyAlpha:
      return 2;
    case PngColour::kRgb:
      return 3;
    case PngColour::kRgba:
      return 4;
  }
  return 0;
}

// Writes samples of any depth into rows of packed bytes.
class SampleWriter {
 public:
  SampleWriter(int width, int height, int samplesPerPixel, int depth)
      : mDepth(depth),
        mRowBytes((static_cast<std::size_t>(width) * samplesPerPixel * depth + 7) / 8),
        mBytes(mRowBytes * static_cast<std::size_t>(height), 0) {}
  void Put(int y, std::size_t sampleIndex, std::uint32_t value) {
    unsigned char* row = mBytes.data() + mRowBytes * static_cast<std::size_t>(y);
    if (mDepth == 16) {
      const auto v = static_cast<std::uint16_t>(value);
      std::memcpy(row + 2 * sampleIndex, &v, 2);  // host order, as libspng takes them
    } else if (mDepth == 8) {
      row[sampleIndex] = static_cast<unsigned char>(value);
    } else {
      const std::size_t bit = sampleIndex * static_cast<std::size_t>(mDepth);
      row[bit / 8] |= static_cast<unsigned char>(value << (8 - mDepth - bit % 8));
    }
  }
  std::vector<unsigned char> Take() { return std::move(mBytes); }

 private:
  int mDepth;
  std::size_t mRowBytes;
  std::vector<unsigned char> mBytes;
};

std::uint32_t Channel(std::uint32_t colour, int shift) { return (colour >> shift) & 0xFF; }

// An 8-bit value as a sample of `depth` bits; it must be exact.
std::uint32_t Scale(std::uint32_t v8, int depth) {
  if (depth == 16) return v8 * 257;
  const std::uint32_t max = (1u << depth) - 1;
  if (v8 * max % 255 != 0) throw std::invalid_argument("a grey level the depth cannot hold");
  return v8 * max / 255;
}

}  // namespace

std::string EncodePng(const PixelGrid& grid, const PngOptions& options) {
  RawPng raw;
  raw.width = grid.Width();
  raw.height = grid.Height();
  raw.colour = options.colour;
  raw.depth = options.depth;
  raw.interlaced = options.interlaced;
  raw.compression = options.compression;
  const int d = options.depth;
  const std::uint32_t opaque = d == 16 ? 65535 : 255;
  SampleWriter writer(raw.width, raw.height, Samples(options.colour), d);
  std::map<std::uint32_t, std::uint32_t> index;  // colour -> palette index
  if (options.colour == PngColour::kPalette) {
    if (options.transparent) {
      index[*options.transparent] = 0;
      raw.palette.push_back(options.hiddenColour);
      raw.paletteAlpha.push_back(0);
    }
    for (std::size_t i = 0; i < grid.Size(); ++i) {
      if (index.emplace(grid.Data()[i], raw.palette.size()).second) {
        raw.palette.push_back(grid.Data()[i]);
      }
    }
    if (raw.palette.size() > (std::size_t{1} << d)) {
      throw std::invalid_argument("more colours than the palette depth holds");
    }
  }
  if (options.transparent && options.colour == PngColour::kGrey) {
    raw.keyGrey = static_cast<std::uint16_t>(Scale(Channel(*options.transparent, 0), d));
  }
  if (options.transparent && options.colour == PngColour::kRgb) {
    const std::uint32_t t = *options.transparent;
    raw.keyRgb = std::array<std::uint16_t, 3>{static_cast<std::uint16_t>(Scale(Channel(t, 0), d)),
                                              static_cast<std::uint16_t>(Scale(Channel(t, 8), d)),
                                              static_cast<std::uint16_t>(Scale(Channel(t, 16), d))};
  }
  for (int y = 0; y < raw.height; ++y) {
    for (int x = 0; x < raw.width; ++x) {
      const std::uint32_t c = grid.At(x, y);
      const bool hidden = options.transparent && c == *options.transparent;
      const std::uint32_t shown = hidden ? options.hiddenColour : c;
      const std::size_t px = static_cast<std::size_t>(x);
      switch (options.colour) {
        case PngColour::kPalette:
          writer.Put(y, px, index.at(c));
          break;
        case PngColour::kGrey:
          if (Channel(c, 0) != Channel(c, 8) || Channel(c, 0) != Channel(c, 16)) {
            throw std::invalid_argument("a colour in a grey picture");
          }
          writer.Put(y, px, Scale(Channel(c, 0), d));
          break;
        case PngColour::kGreyAlpha:
          writer.Put(y, 2 * px, Scale(Channel(shown, 0), d));
          writer.Put(y, 2 * px + 1, hidden ? 0 : opaque);
          break;
        case PngColour::kRgb:
          for (int ch = 0; ch < 3; ++ch) writer.Put(y, 3 * px + ch, Scale(Channel(c, 8 * ch), d));
          break;
        case PngColour::kRgba:
          for (int ch = 0; ch < 3; ++ch) {
            writer.Put(y, 4 * px + ch, Scale(Channel(shown, 8 * ch), d));
          }
          writer.Put(y, 4 * px + 3, hidden ? 0 : opaque);
          break;
      }
    }
  }
  raw.samples = writer.Take();
  return EncodeRawPng(raw);
}

std::string EncodeRawPng(const RawPng& raw) {
  spng_ctx* ctx = spng_ctx_new(SPNG_CTX_ENCODER);
  if (ctx == nullptr) throw std::runtime_error("spng_ctx_new failed");
  auto check = [&](int error, const char* what) {
    if (error != 0) {
      spng_ctx_free(ctx);
      throw std::runtime_error(std::string(what) + ": " + spng_strerror(error));
    }
  };
  check(spng_set_option(ctx, SPNG_ENCODE_TO_BUFFER, 1), "buffer");
  if (raw.compression >= 0) {
    check(spng_set_option(ctx, SPNG_IMG_COMPRESSION_LEVEL, raw.compression), "level");
  }
  spng_ihdr ihdr{};
  ihdr.width = static_cast<std::uint32_t>(raw.width);
  ihdr.height = static_cast<std::uint32_t>(raw.height);
  ihdr.bit_depth = static_cast<std::uint8_t>(raw.depth);
  ihdr.color_type = static_cast<std::uint8_t>(raw.colour);
  ihdr.interlace_method = raw.interlaced ? 1 : 0;
  check(spng_set_ihdr(ctx, &ihdr), "ihdr");
  if (!raw.palette.empty()) {
    spng_plte plte{};
    plte.n_entries = static_cast<std::uint32_t>(raw.palette.size());
    for (std::size_t i = 0; i < raw.palette.size(); ++i) {
      plte.entries[i].red = static_cast<std::uint8_t>(Channel(raw.palette[i], 0));
      plte.entries[i].green = static_cast<std::uint8_t>(Channel(raw.palette[i], 8));
      plte.entries[i].blue = static_cast<std::uint8_t>(Channel(raw.palette[i], 16));
      plte.entries[i].alpha = 255;
    }
    check(spng_set_plte(ctx, &plte), "plte");
  }
  if (!raw.paletteAlpha.empty() || raw.keyGrey || raw.keyRgb) {
    spng_trns trns{};
    trns.n_type3_entries = static_cast<std::uint32_t>(raw.paletteAlpha.size());
    std::copy(raw.paletteAlpha.begin(), raw.paletteAlpha.end(), trns.type3_alpha);
    if (raw.keyGrey) trns.gray = *raw.keyGrey;
    if (raw.keyRgb) {
      trns.red = (*raw.keyRgb)[0];
      trns.green = (*raw.keyRgb)[1];
      trns.blue = (*raw.keyRgb)[2];
    }
    check(spng_set_trns(ctx, &trns), "trns");
  }
  check(spng_encode_image(ctx, raw.samples.data(), raw.samples.size(), SPNG_FMT_PNG,
                          SPNG_ENCODE_FINALIZE),
        "encode");
  std::size_t length = 0;
  int error = 0;
  void* buffer = spng_get_png_buffer(ctx, &length, &error);
  check(error, "buffer");
  std::string png(static_cast<const char*>(buffer), length);
  std::free(buffer);
  spng_ctx_free(ctx);
  return png;
}

std::vector<PngChunk> PngChunks(const std::string& png) {
  std::vector<PngChunk> chunks;
  std::size_t at = 8;
  while (at + 12 <= png.size()) {
    PngChunk chunk;
    chunk.offset = at;
    chunk.length = ReadBigEndian32(png, at);
    chunk.type = png.substr(at + 4, 4);
    chunks.push_back(chunk);
    at += 12 + std::size_t{chunk.length};
  }
  return chunks;
}

std::size_t ChunkIndex(const std::string& png, const std::string& type) {
  const std::vector<PngChunk> chunks = PngChunks(png);
  for (std::size_t i = 0; i < chunks.size(); ++i) {
    if (chunks[i].type == type) return i;
  }
  throw std::invalid_argument("no " + type + " chunk");
}

std::string MakeChunk(const std::string& type, const std::string& data) {
  std::string chunk = BigEndian32(static_cast<std::uint32_t>(data.size())) + type + data;
  const auto crc = crc32(0, reinterpret_cast<const Bytef*>(chunk.data()) + 4,
                         static_cast<uInt>(chunk.size() - 4));
  return chunk + BigEndian32(static_cast<std::uint32_t>(crc));
}

std::string InsertChunk(const std::string& png, std::size_t index, const std::string& chunk) {
  const std::vector<PngChunk> chunks = PngChunks(png);
  const std::size_t at = index < chunks.size() ? chunks[index].offset : png.size();
  return png.substr(0, at) + chunk + png.substr(at);
}

std::string RemoveChunk(const std::string& png, std::size_t index) {
  const PngChunk chunk = PngChunks(png).at(index);
  return png.substr(0, chunk.offset) + png.substr(chunk.offset + 12 + chunk.length);
}

std::string IdatStream(const std::string& png) {
  std::string stream;
  for (const PngChunk& c : PngChunks(png)) {
    if (c.type == "IDAT") stream += png.substr(c.offset + 8, c.length);
  }
  return stream;
}

namespace {

// `png` with its IDAT chunks replaced by `stream` in pieces of `piece` bytes (0: one chunk).
std::string RebuildIdat(const std::string& png, const std::string& stream, std::size_t piece,
                        bool emptyBetween) {
  std::string out = png.substr(0, 8);
  bool placed = false;
  for (const PngChunk& c : PngChunks(png)) {
    if (c.type != "IDAT") {
      out += png.substr(c.offset, 12 + std::size_t{c.length});
      continue;
    }
    if (placed) continue;
    placed = true;
    const std::size_t step = piece == 0 ? std::max<std::size_t>(stream.size(), 1) : piece;
    for (std::size_t at = 0; at < stream.size(); at += step) {
      out += MakeChunk("IDAT", stream.substr(at, step));
      if (emptyBetween) out += MakeChunk("IDAT", "");
    }
  }
  return out;
}

}  // namespace

std::string WithIdatStream(const std::string& png, const std::string& stream) {
  return RebuildIdat(png, stream, 0, false);
}

std::string SplitIdat(const std::string& png, std::size_t piece, bool emptyBetween) {
  return RebuildIdat(png, IdatStream(png), piece, emptyBetween);
}

std::string Flipped(std::string png, std::size_t at, unsigned char mask) {
  png.at(at) = static_cast<char>(png.at(at) ^ mask);
  return png;
}

std::string Deflate(const std::string& data, int level) {
  uLongf size = compressBound(static_cast<uLong>(data.size()));
  std::string out(size, '\0');
  if (compress2(reinterpret_cast<Bytef*>(out.data()), &size,
                reinterpret_cast<const Bytef*>(data.data()), static_cast<uLong>(data.size()),
                level) != Z_OK) {
    throw std::runtime_error("compress2 failed");
  }
  out.resize(size);
  return out;
}

void PutBigEndian32(std::string& bytes, std::size_t offset, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) {
    bytes.at(offset + static_cast<std::size_t>(i)) = static_cast<char>(value >> (24 - 8 * i));
  }
}

void FixChunkCrc(std::string& png, std::size_t offset) {
  const std::uint32_t length = ReadBigEndian32(png, offset);
  const auto crc = crc32(0, reinterpret_cast<const Bytef*>(png.data()) + offset + 4, length + 4);
  PutBigEndian32(png, offset + 8 + length, static_cast<std::uint32_t>(crc));
}

}  // namespace qv::test
