// Strict BMP decoding: header checks against the file size, palette and colour-mask set-up,
// row conversion straight into the grid, and the two RLE encodings.
#include "core/picture/bmp_reader.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <bit>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <new>
#include <string_view>
#include <vector>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "core/base/error.h"
#include "core/base/number_text.h"
#include "core/base/thread_pool.h"
#include "core/picture/picture_file.h"

namespace qv {
namespace {

// Everything the header parse looks at (file header, largest info header, four masks, 256
// four-byte palette entries) lies within this many leading bytes.
constexpr std::size_t kHeadBytes = 14 + 124 + 16 + 256 * 4;

// Below this many pixels a second thread costs more than it saves.
constexpr std::uint64_t kParallelPixels = std::uint64_t{1} << 21;

// Grids from this size on are larger than any processor cache.
constexpr std::size_t kStreamGridBytes = std::size_t{64} << 20;

// Each reading thread converts its rows from a buffer of about this size, small enough to stay
// in the cache between the read and the conversion.
constexpr std::uint64_t kChunkBytes = std::uint64_t{1} << 20;

[[noreturn]] void Fail(const std::string& name, const std::string& reason) {
  FailPicture(name, reason);
}

std::uint16_t U16(const unsigned char* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }
std::uint32_t U32(const unsigned char* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
std::int32_t I32(const unsigned char* p) { return static_cast<std::int32_t>(U32(p)); }

enum class Kind {
  kPalette1,
  kPalette4,
  kPalette8,
  kMask16,
  kBgr24,
  kBgrx32,
  kMask32,
  kRle4,
  kRle8
};

// One colour channel of a bit-field format, reduced to at most 8 significant bits.
struct Channel {
  unsigned shift = 0;
  std::uint32_t mask = 0;  // after the shift
  std::array<std::uint8_t, 256> widen{};
};

// Bit replication: the channel's top value maps to 255 and 0 to 0, the steps stay even.
bool MakeChannel(std::uint32_t fileMask, Channel& channel) {
  if (fileMask == 0) return false;
  unsigned shift = static_cast<unsigned>(std::countr_zero(fileMask));
  std::uint32_t run = fileMask >> shift;
  if ((run & (run + 1)) != 0) return false;  // holes in the mask
  int bits = std::popcount(run);
  if (bits > 8) {
    shift += static_cast<unsigned>(bits - 8);
    bits = 8;
  }
  channel.shift = shift;
  channel.mask = (1u << bits) - 1;
  for (std::uint32_t v = 0; v <= channel.mask; ++v) {
    std::uint32_t out = 0;
    for (int filled = 0; filled < 8; filled += bits) {
      int s = 8 - filled - bits;
      out |= s >= 0 ? v << s : v >> -s;
    }
    channel.widen[v] = static_cast<std::uint8_t>(out);
  }
  return true;
}

struct Layout {
  int width = 0;
  int height = 0;
  bool topDown = false;
  int bits = 0;
  Kind kind = Kind::kBgr24;
  std::uint64_t offset = 0;                  // of the pixel data
  std::uint64_t stride = 0;                  // bytes per stored row, padding included
  std::uint64_t rowBytes = 0;                // bytes per stored row that carry pixels
  std::array<std::uint32_t, 256> palette{};  // unused entries stay 0 so no index reads outside
  unsigned paletteCount = 0;
  Channel red, green, blue;
  std::vector<std::uint32_t> lut16;  // colour of every 16-bit value
};

std::uint32_t Compose(const Channel& r, const Channel& g, const Channel& b, std::uint32_t p) {
  return static_cast<std::uint32_t>(r.widen[(p >> r.shift) & r.mask]) |
         (static_cast<std::uint32_t>(g.widen[(p >> g.shift) & g.mask]) << 8) |
         (static_cast<std::uint32_t>(b.widen[(p >> b.shift) & b.mask]) << 16);
}

void SetUpMasks(Layout& layout, std::uint32_t r, std::uint32_t g, std::uint32_t b,
                const std::string& name) {
  const std::uint64_t limit = layout.bits == 16 ? 0xFFFF : 0xFFFFFFFF;
  bool valid = MakeChannel(r, layout.red) && MakeChannel(g, layout.green) &&
               MakeChannel(b, layout.blue) && (r & g) == 0 && (r & b) == 0 && (g & b) == 0 &&
               r <= limit && g <= limit && b <= limit;
  if (!valid) Fail(name, "the colour masks are not valid");
  if (layout.bits == 16) {
    layout.kind = Kind::kMask16;
    layout.lut16.resize(65536);
    for (std::uint32_t p = 0; p < 65536; ++p) {
      layout.lut16[p] = Compose(layout.red, layout.green, layout.blue, p);
    }
  } else if (r == 0x00FF0000 && g == 0x0000FF00 && b == 0x000000FF) {
    layout.kind = Kind::kBgrx32;
  } else {
    layout.kind = Kind::kMask32;
  }
}

// What a file that does not begin as a BMP picture is, in words that name the formats read:
// files reach this reader unless they begin with the PNG signature.
std::string NoBmpReason(const unsigned char* head, std::uint64_t size) {
  static constexpr unsigned char kPng[] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  const auto begins = [&](std::string_view start) {
    return size >= start.size() && std::memcmp(head, start.data(), start.size()) == 0;
  };
  if (size >= sizeof kPng) {
    // A transfer that turned line ends around, or a flipped bit: all but a byte or two match.
    int same = 0;
    for (std::size_t i = 0; i < sizeof kPng; ++i) same += head[i] == kPng[i] ? 1 : 0;
    if (same >= 6) return "damaged PNG signature (the file begins almost as a PNG picture does)";
  }
  const char* other = nullptr;
  if (begins("GIF87a") || begins("GIF89a")) other = "a GIF picture";
  if (begins("\xFF\xD8\xFF")) other = "a JPEG picture";
  if (begins(std::string_view("II*\0", 4)) || begins(std::string_view("MM\0*", 4))) {
    other = "a TIFF picture";
  }
  if (begins("RIFF") && size >= 12 && std::memcmp(head + 8, "WEBP", 4) == 0) {
    other = "a WebP picture";
  }
  if (other != nullptr) return std::string("the file is ") + other + ", not a BMP or PNG picture";
  return "the file is neither a BMP nor a PNG picture";
}

// Checks the headers of a file of `fileSize` bytes whose first min(fileSize, kHeadBytes) bytes
// are at `head`; throws before the caller allocates anything for the pixels.
Layout ParseHeader(const unsigned char* head, std::uint64_t fileSize, const std::string& name) {
  if (fileSize == 0) Fail(name, "the file is empty");
  static constexpr unsigned char kPng[] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  if (fileSize >= sizeof kPng && std::memcmp(head, kPng, sizeof kPng) == 0) {
    Fail(name, "the file is a PNG picture, not a BMP picture");
  }
  if (fileSize < 2 || head[0] != 'B' || head[1] != 'M') Fail(name, NoBmpReason(head, fileSize));
  if (fileSize < 18) Fail(name, "the header ends early");

  const std::uint32_t headerSize = U32(head + 14);
  switch (headerSize) {
    case 12:
    case 16:
    case 40:
    case 52:
    case 56:
    case 64:
    case 108:
    case 124:
      break;
    default:
      Fail(name, "the header size " + IntegerText(headerSize) + " is not supported");
  }
  if (14 + std::uint64_t{headerSize} > fileSize) Fail(name, "the header ends early");
  const bool core = headerSize == 12;
  const bool os2 = core || headerSize == 16 || headerSize == 64;

  Layout layout;
  std::int64_t width, height;
  std::uint32_t compression = 0, colourCount = 0;
  if (core) {
    width = U16(head + 18);
    height = U16(head + 20);
    layout.bits = U16(head + 24);
  } else {
    // OS/2 2.x sizes are unsigned: those files have no top-down form.
    width = os2 ? std::int64_t{U32(head + 18)} : I32(head + 18);
    height = os2 ? std::int64_t{U32(head + 22)} : I32(head + 22);
    layout.bits = U16(head + 28);
    if (headerSize >= 40) {
      compression = U32(head + 30);
      colourCount = U32(head + 46);
    }
  }
  if (width <= 0) Fail(name, "the width " + IntegerText(width) + " is not valid");
  if (height == 0 || height == INT32_MIN)
    Fail(name, "the height " + IntegerText(height) + " is not valid");
  layout.topDown = height < 0;
  if (height < 0) height = -height;
  CheckPictureLimits(name, width, height);
  layout.width = static_cast<int>(width);
  layout.height = static_cast<int>(height);

  const int bits = layout.bits;
  if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) {
    Fail(name, "the bit depth " + IntegerText(bits) + " is not supported");
  }

  std::uint64_t tableStart = 14 + std::uint64_t{headerSize};  // masks or palette follow here
  bool paletted = bits <= 8;
  if (os2 && compression == 3) Fail(name, "OS/2 Huffman compression is not supported");
  if (os2 && compression == 4) Fail(name, "OS/2 RLE24 compression is not supported");
  if (os2 && compression > 2) {
    Fail(name, "the compression method " + IntegerText(compression) + " is not supported");
  }
  switch (compression) {
    case 0:
      if (bits == 1) layout.kind = Kind::kPalette1;
      if (bits == 4) layout.kind = Kind::kPalette4;
      if (bits == 8) layout.kind = Kind::kPalette8;
      if (bits == 16) SetUpMasks(layout, 0x7C00, 0x03E0, 0x001F, name);
      if (bits == 24) layout.kind = Kind::kBgr24;
      if (bits == 32) layout.kind = Kind::kBgrx32;
      break;
    case 1:
    case 2: {
      const int needed = compression == 1 ? 8 : 4;
      const char* method = compression == 1 ? "RLE8" : "RLE4";
      if (bits != needed) {
        Fail(name, std::string(method) + " compression needs " + IntegerText(needed) +
                       " bits per pixel, not " + IntegerText(bits));
      }
      if (layout.topDown) Fail(name, "a compressed picture cannot be stored top-down");
      layout.kind = compression == 1 ? Kind::kRle8 : Kind::kRle4;
      break;
    }
    case 3:
    case 6: {
      if (bits != 16 && bits != 32) {
        Fail(name, "colour masks need 16 or 32 bits per pixel, not " + IntegerText(bits));
      }
      std::uint64_t maskStart = 54;
      if (headerSize == 40) {
        tableStart += compression == 3 ? 12 : 16;
        if (tableStart > fileSize) Fail(name, "the colour masks end early");
      }
      SetUpMasks(layout, U32(head + maskStart), U32(head + maskStart + 4),
                 U32(head + maskStart + 8), name);
      break;
    }
    case 4:
      Fail(name, "JPEG compression inside a BMP file is not supported");
    case 5:
      Fail(name, "PNG compression inside a BMP file is not supported");
    default:
      Fail(name, "the compression method " + IntegerText(compression) + " is not supported");
  }

  layout.offset = U32(head + 10);
  if (layout.offset >= fileSize) {
    Fail(name, "the pixel data offset " + IntegerText(layout.offset) + " lies outside the file");
  }
  if (layout.offset < tableStart) {
    Fail(name, "the pixel data offset " + IntegerText(layout.offset) + " lies inside the header");
  }

  if (paletted) {
    const unsigned capacity = 1u << bits;
    const unsigned entrySize = core ? 3 : 4;
    const std::uint64_t room = (layout.offset - tableStart) / entrySize;
    unsigned count;
    if (core) {
      // These headers have no count; some writers store fewer entries than the bit depth allows.
      count = static_cast<unsigned>(std::min<std::uint64_t>(capacity, room));
    } else {
      count = colourCount == 0 ? capacity : std::min<std::uint32_t>(colourCount, capacity);
      if (count > room) {
        Fail(name, "the palette of " + IntegerText(count) + " entries overlaps the pixel data");
      }
    }
    if (count == 0) Fail(name, "the palette is missing");
    for (unsigned i = 0; i < count; ++i) {
      const unsigned char* e = head + tableStart + std::uint64_t{i} * entrySize;
      layout.palette[i] = static_cast<std::uint32_t>(e[2]) |
                          (static_cast<std::uint32_t>(e[1]) << 8) |
                          (static_cast<std::uint32_t>(e[0]) << 16);
    }
    layout.paletteCount = count;
  }

  if (layout.kind != Kind::kRle4 && layout.kind != Kind::kRle8) {
    const std::uint64_t rowBits = static_cast<std::uint64_t>(width) * static_cast<unsigned>(bits);
    layout.stride = (rowBits + 31) / 32 * 4;
    layout.rowBytes = (rowBits + 7) / 8;
    const std::uint64_t end =
        layout.offset + layout.stride * static_cast<std::uint64_t>(height - 1) + layout.rowBytes;
    if (end > fileSize) Fail(name, "the pixel data ends early");
  }
  return layout;
}

// 24-bit pixels B G R -> 0x00BBGGRR for the first pixels of a row, 16 at a time, on processors
// with byte shuffles; returns how many were done (the caller does the rest). Never reads past
// the row's n * 3 bytes. With `stream`, the pixels go to memory past the cache: a picture-sized
// grid is not read again soon, and its lines need not be fetched before they are overwritten,
// which on fresh pages the kernel has just cleared costs as much as the conversion.
#if defined(__x86_64__)
template <bool kStream>
__attribute__((target("ssse3"))) std::size_t ShuffleBgr24(const unsigned char* s,
                                                          std::uint32_t* out, std::size_t n) {
  const __m128i order = _mm_setr_epi8(2, 1, 0, -1, 5, 4, 3, -1, 8, 7, 6, -1, 11, 10, 9, -1);
  std::size_t x = 0;
  if constexpr (kStream) {
    // Streaming stores need 16-byte aligned targets.
    for (; x < n && (reinterpret_cast<std::uintptr_t>(out + x) & 15) != 0; ++x) {
      out[x] = (static_cast<std::uint32_t>(s[3 * x]) << 16) |
               (static_cast<std::uint32_t>(s[3 * x + 1]) << 8) | s[3 * x + 2];
    }
  }
  // The last load of a step reads 4 bytes beyond its 12: two pixels of room keep it in the row.
  for (; x + 18 <= n; x += 16) {
    const unsigned char* p = s + 3 * x;
    for (int k = 0; k < 4; ++k) {
      const __m128i in = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 12 * k));
      auto* to = reinterpret_cast<__m128i*>(out + x + 4 * static_cast<std::size_t>(k));
      if constexpr (kStream) {
        _mm_stream_si128(to, _mm_shuffle_epi8(in, order));
      } else {
        _mm_storeu_si128(to, _mm_shuffle_epi8(in, order));
      }
    }
  }
  return x;
}

std::size_t FastBgr24(const unsigned char* s, std::uint32_t* out, std::size_t n, bool stream) {
  static const bool shuffles = __builtin_cpu_supports("ssse3");
  if (!shuffles) return 0;
  return stream ? ShuffleBgr24<true>(s, out, n) : ShuffleBgr24<false>(s, out, n);
}

// Makes streaming stores of this thread visible to others before it reports its rows done.
void FinishStreaming() { _mm_sfence(); }
#else
std::size_t FastBgr24(const unsigned char*, std::uint32_t*, std::size_t, bool) { return 0; }
void FinishStreaming() {}
#endif

// Converts one stored row; returns the largest palette index met (0 for formats without one).
unsigned ConvertRow(const Layout& layout, const unsigned char* s, std::uint32_t* out, bool stream) {
  const std::size_t n = static_cast<std::size_t>(layout.width);
  const std::uint32_t* palette = layout.palette.data();
  unsigned top = 0;
  switch (layout.kind) {
    case Kind::kBgr24: {
      // A four-byte load per pixel, byte-swapped: B G R x -> 0x00BBGGRR. The last pixel of the
      // row is done bytewise so that no load reaches past the row.
      std::size_t x = FastBgr24(s, out, n, stream);
      for (; x + 1 < n; ++x) out[x] = __builtin_bswap32(Load32(s + 3 * x)) >> 8;
      for (; x < n; ++x) {
        out[x] = (static_cast<std::uint32_t>(s[3 * x]) << 16) |
                 (static_cast<std::uint32_t>(s[3 * x + 1]) << 8) | s[3 * x + 2];
      }
      break;
    }
    case Kind::kBgrx32:
      for (std::size_t x = 0; x < n; ++x) out[x] = __builtin_bswap32(Load32(s + 4 * x)) >> 8;
      break;
    case Kind::kMask32:
      for (std::size_t x = 0; x < n; ++x) {
        out[x] = Compose(layout.red, layout.green, layout.blue, Load32(s + 4 * x));
      }
      break;
    case Kind::kMask16: {
      const std::uint32_t* lut = layout.lut16.data();
      for (std::size_t x = 0; x < n; ++x) out[x] = lut[Load16(s + 2 * x)];
      break;
    }
    case Kind::kPalette8:
      for (std::size_t x = 0; x < n; ++x) {
        const unsigned index = s[x];
        top = std::max(top, index);
        out[x] = palette[index];
      }
      break;
    case Kind::kPalette4:
      for (std::size_t x = 0; x < n; ++x) {
        const unsigned index = (x & 1) ? (s[x >> 1] & 0x0F) : (s[x >> 1] >> 4);
        top = std::max(top, index);
        out[x] = palette[index];
      }
      break;
    case Kind::kPalette1:
      for (std::size_t x = 0; x < n; ++x) {
        const unsigned index = (s[x >> 3] >> (7 - (x & 7))) & 1;
        top |= index;
        out[x] = palette[index];
      }
      break;
    case Kind::kRle4:
    case Kind::kRle8:
      break;
  }
  return top;
}

// Converts `count` stored rows starting with stored row `first` into out(y), the memory of
// picture row y; returns the failure reason or "". `stream` as for ShuffleBgr24: for rows that
// go into a picture-sized grid rather than a buffer about to be scanned.
template <typename RowOut>
std::string ConvertRows(const Layout& layout, const unsigned char* rows, int first, int count,
                        RowOut out, bool stream) {
  struct Fence {
    bool on;
    ~Fence() {
      if (on) FinishStreaming();
    }
  } fence{stream};
  const bool checkIndex = layout.bits <= 8 && layout.paletteCount < (1u << layout.bits);
  for (int i = 0; i < count; ++i) {
    const int stored = first + i;
    const int y = layout.topDown ? stored : layout.height - 1 - stored;
    const unsigned top =
        ConvertRow(layout, rows + layout.stride * static_cast<unsigned>(i), out(y), stream);
    if (checkIndex && top >= layout.paletteCount) return PaletteReason(top, layout.paletteCount);
  }
  return {};
}

// Runs work(firstRow, rowCount) over all stored rows, split over the cores for big pictures; the
// reason of the lowest failing part wins so the message does not depend on timing. Each part
// stops at its first failing row, so that reason is the first failing row's, however many parts
// the pool could start.
std::string SplitRows(const Layout& layout, const std::function<std::string(int, int)>& work) {
  const std::uint64_t pixels =
      static_cast<std::uint64_t>(layout.width) * static_cast<std::uint64_t>(layout.height);
  int threads = 1;
  if (pixels >= kParallelPixels) threads = std::min({ThreadPool::Cores(), 4, layout.height});
  ThreadPool pool(threads);
  std::vector<std::string> reasons(static_cast<std::size_t>(pool.Parts()));
  pool.Run([&](int part) {
    const auto [begin, end] = ThreadPool::Slice(layout.height, part, pool.Parts());
    std::string& reason = reasons[static_cast<std::size_t>(part)];
    try {
      reason = work(static_cast<int>(begin), static_cast<int>(end - begin));
    } catch (const std::bad_alloc&) {
      reason = "there is not enough memory";
    } catch (const std::exception& e) {
      reason = e.what();
    }
  });
  for (const std::string& reason : reasons) {
    if (!reason.empty()) return reason;
  }
  return {};
}

PixelGrid MakeGrid(const Layout& layout, const std::string& name, PixelGrid* reuse = nullptr) {
  // Pixels an RLE stream skips are palette entry 0; every other format overwrites them all.
  const bool rle = layout.kind == Kind::kRle4 || layout.kind == Kind::kRle8;
  const std::uint32_t fill = layout.paletteCount > 0 ? layout.palette[0] : 0;
  return MakePictureGrid(layout.width, layout.height, name, reuse,
                         rle ? std::optional<std::uint32_t>(fill) : std::nullopt);
}

// The RLE stream as the decoder sees it: Take(n) hands out the next n bytes or nullptr at the
// end of the data.
class MemoryStream {
 public:
  MemoryStream(const unsigned char* data, std::size_t size) : mData(data), mLeft(size) {}
  const unsigned char* Take(std::size_t n) {
    if (n > mLeft) return nullptr;
    const unsigned char* p = mData;
    mData += n;
    mLeft -= n;
    return p;
  }

 private:
  const unsigned char* mData;
  std::size_t mLeft;
};

class FileStream {
 public:
  FileStream(const OpenedPicture& file, std::uint64_t offset, std::uint64_t end)
      : mFile(file), mPos(offset), mEnd(end), mBuffer(std::size_t{1} << 16) {}
  const unsigned char* Take(std::size_t n) {
    if (mHave - mUsed < n) {
      std::memmove(mBuffer.data(), mBuffer.data() + mUsed, mHave - mUsed);
      mHave -= mUsed;
      mUsed = 0;
      while (mHave < n && mPos < mEnd) {
        const std::size_t want =
            static_cast<std::size_t>(std::min<std::uint64_t>(mBuffer.size() - mHave, mEnd - mPos));
        const std::int64_t got = mFile.ReadAt(mBuffer.data() + mHave, want, mPos);
        if (got <= 0) return nullptr;
        mHave += static_cast<std::size_t>(got);
        mPos += static_cast<std::uint64_t>(got);
      }
      if (mHave < n) return nullptr;
    }
    const unsigned char* p = mBuffer.data() + mUsed;
    mUsed += n;
    return p;
  }

 private:
  const OpenedPicture& mFile;
  std::uint64_t mPos, mEnd;
  std::vector<unsigned char> mBuffer;  // larger than the longest piece asked for (2 + 256 bytes)
  std::size_t mHave = 0, mUsed = 0;
};

// Stored row r is picture row height-1-r: compressed pictures are always bottom-up.
template <typename Stream>
void DecodeRle(const Layout& layout, Stream& stream, PixelGrid& grid, const std::string& name) {
  const bool four = layout.kind == Kind::kRle4;
  const unsigned count = layout.paletteCount;
  const std::uint32_t* palette = layout.palette.data();
  const int width = layout.width, height = layout.height;
  const char* pastEnd = "the compressed pixel data ends before its end-of-bitmap mark";
  const char* pastPicture = "the compressed pixel data writes past the picture";
  int x = 0, r = 0;
  auto check = [&](unsigned index) {
    if (index >= count) Fail(name, PaletteReason(index, count));
  };
  auto room = [&](unsigned pixels) {
    if (r >= height || static_cast<unsigned>(width - x) < pixels) Fail(name, pastPicture);
  };
  for (;;) {
    const unsigned char* op = stream.Take(2);
    if (op == nullptr) Fail(name, pastEnd);
    const unsigned n = op[0], value = op[1];
    if (n > 0) {
      room(n);
      const unsigned hi = four ? value >> 4 : value, lo = four ? value & 0x0F : value;
      check(hi);
      if (n > 1) check(lo);
      std::uint32_t* out = grid.Row(height - 1 - r) + x;
      for (unsigned i = 0; i < n; ++i) out[i] = palette[(i & 1) ? lo : hi];
      x += static_cast<int>(n);
    } else if (value == 0) {  // end of line
      if (r >= height) Fail(name, pastPicture);
      ++r;
      x = 0;
    } else if (value == 1) {  // end of bitmap
      return;
    } else if (value == 2) {  // delta
      const unsigned char* d = stream.Take(2);
      if (d == nullptr) Fail(name, pastEnd);
      x += d[0];
      r += d[1];
      if (x > width || r >= height) Fail(name, pastPicture);
    } else {  // absolute run of `value` pixels, padded to a 16-bit boundary
      const std::size_t bytes = four ? (value + 1) / 2 : value;
      const unsigned char* s = stream.Take(bytes + (bytes & 1));
      if (s == nullptr) Fail(name, pastEnd);
      room(value);
      std::uint32_t* out = grid.Row(height - 1 - r) + x;
      for (unsigned i = 0; i < value; ++i) {
        const unsigned index = four ? ((i & 1) ? s[i >> 1] & 0x0F : s[i >> 1] >> 4) : s[i];
        check(index);
        out[i] = palette[index];
      }
      x += static_cast<int>(value);
    }
  }
}

// The header of `file`, checked against the file's size.
Layout ReadLayout(const OpenedPicture& file) {
  const std::string& path = file.Path();
  const std::uint64_t fileSize = file.Size();
  std::array<unsigned char, kHeadBytes> head{};
  const std::uint64_t headSize = std::min<std::uint64_t>(fileSize, kHeadBytes);
  const std::int64_t got = file.ReadAt(head.data(), headSize, 0);
  if (got < 0) Fail(path, "reading the file failed (" + SystemErrorText(errno) + ")");
  // A file that shrank since fstat is judged by what is really there.
  const std::uint64_t headGot = static_cast<std::uint64_t>(got);
  return ParseHeader(head.data(), headGot < headSize ? headGot : fileSize, path);
}

// Reads `rows` stored rows from stored row `first` on into `buffer` (room for rows * stride
// bytes); returns the failure reason or "".
std::string ReadStoredRows(const OpenedPicture& file, const Layout& layout, int first, int rows,
                           unsigned char* buffer) {
  const std::uint64_t fileSize = file.Size();
  const std::uint64_t start = layout.offset + layout.stride * static_cast<unsigned>(first);
  // The last stored row may lack its padding.
  const std::uint64_t need = layout.stride * static_cast<unsigned>(rows - 1) + layout.rowBytes;
  const std::uint64_t want = std::min<std::uint64_t>(layout.stride * static_cast<unsigned>(rows),
                                                     fileSize - std::min(fileSize, start));
  const std::int64_t read = file.ReadAt(buffer, std::max(want, need), start);
  if (read < 0) return "reading the file failed (" + SystemErrorText(errno) + ")";
  if (static_cast<std::uint64_t>(read) < need) return "the pixel data ends early";
  return {};
}

// A checksum of one stored row's bytes, to tell whether a second pass reads what the first read.
// Four running sums and four sums of sums over 8-byte words: position-dependent, so a moved or
// changed pixel changes it, and cheap enough to run at memory speed beside the conversion.
std::uint64_t RowChecksum(const unsigned char* bytes, std::size_t size) {
  std::uint64_t a[4] = {1, 2, 3, 4};
  std::uint64_t b[4] = {0, 0, 0, 0};
  std::size_t i = 0;
  for (; i + 32 <= size; i += 32) {
    for (std::size_t lane = 0; lane < 4; ++lane) {
      std::uint64_t word;
      std::memcpy(&word, bytes + i + 8 * lane, sizeof word);
      a[lane] += word;
      b[lane] += a[lane];
    }
  }
  std::uint64_t tail = 0;
  for (std::size_t shift = 0; i < size; ++i, shift += 8) {
    tail ^= static_cast<std::uint64_t>(bytes[i]) << (shift % 64);
  }
  std::uint64_t sum = tail * 0x9E3779B97F4A7C15u;
  for (std::size_t lane = 0; lane < 4; ++lane) {
    sum = (sum ^ a[lane]) * 0xFF51AFD7ED558CCDu;
    sum = (sum ^ b[lane]) * 0xC4CEB9FE1A85EC53u;
  }
  // 0 marks a row not read yet.
  return sum | 1;
}

// Converted rows of a block stay in the cache between the read and the scan that uses them.
constexpr std::uint64_t kBlockPixelBytes = std::uint64_t{1} << 18;

// An uncompressed BMP file read a block of rows at a time into each worker's own buffers.
class BmpRows final : public PixelRows {
 public:
  BmpRows(std::unique_ptr<OpenedPicture> file, const Layout& layout)
      : mFile(std::move(file)),
        mLayout(layout),
        mBlockRows(static_cast<int>(std::clamp<std::uint64_t>(
            kBlockPixelBytes / (std::uint64_t{4} * static_cast<unsigned>(layout.width)), 1,
            static_cast<unsigned>(layout.height)))) {}

  int Width() const override { return mLayout.width; }
  int Height() const override { return mLayout.height; }
  const PixelGrid* Grid() const override { return nullptr; }

  void Visit(int worker, int first, int end,
             const std::function<void(const RowBlock&)>& use) override {
    Buffers& buffers = BuffersOf(worker);
    const auto width = static_cast<std::size_t>(mLayout.width);
    for (int top = first; top < end; top += mBlockRows) {
      const int bottom = std::min(end, top + mBlockRows);
      const int rows = bottom - top;
      // Picture rows [top, bottom) are one run of stored rows either way round.
      const int stored = mLayout.topDown ? top : mLayout.height - bottom;
      std::string reason = ReadStoredRows(*mFile, mLayout, stored, rows, buffers.bytes.data());
      if (reason.empty() && !SameAsBefore(buffers.bytes.data(), stored, rows)) {
        mChanged.store(true, std::memory_order_relaxed);
        return;
      }
      if (reason.empty()) {
        std::uint32_t* pixels = buffers.pixels.data();
        reason = ConvertRows(
            mLayout, buffers.bytes.data(), stored, rows,
            [&](int y) { return pixels + static_cast<std::size_t>(y - top) * width; }, false);
      }
      if (!reason.empty()) {
        Note(stored, std::move(reason));
        return;
      }
      use(RowBlock{top, bottom, mLayout.width, buffers.pixels.data()});
    }
  }

  void ThrowIfFailed() const override {
    {
      // As in a whole read, a failure of the reads themselves (a file cut short) is named first.
      const std::lock_guard<std::mutex> lock(mMutex);
      if (mFailedAt >= 0) Fail(mFile->Path(), mFailure);
    }
    // Rows of two versions of the file are no picture.
    if (mChanged.load(std::memory_order_relaxed)) FailChangedWhileRead(mFile->Path());
    mFile->CheckUnchanged();
  }

 private:
  struct Buffers {
    std::vector<unsigned char> bytes;
    std::vector<std::uint32_t> pixels;
  };

  Buffers& BuffersOf(int worker) {
    const std::lock_guard<std::mutex> lock(mMutex);
    const auto index = static_cast<std::size_t>(worker);
    if (index >= mBuffers.size()) mBuffers.resize(index + 1);
    if (!mBuffers[index]) {
      auto made = std::make_unique<Buffers>();
      made->bytes.resize(mLayout.stride * static_cast<unsigned>(mBlockRows));
      made->pixels.resize(static_cast<std::size_t>(mLayout.width) *
                          static_cast<std::size_t>(mBlockRows));
      mBuffers[index] = std::move(made);
    }
    return *mBuffers[index];
  }

  // Every pass reads the bytes the first one read: each stored row's checksum is kept at its
  // first read and compared at every later one. Workers visit disjoint rows, and passes follow
  // one another, so no row's entry is touched by two threads at once.
  bool SameAsBefore(const unsigned char* bytes, int stored, int rows) {
    bool same = true;
    for (int r = 0; r < rows; ++r) {
      const std::uint64_t sum =
          RowChecksum(bytes + mLayout.stride * static_cast<unsigned>(r), mLayout.rowBytes);
      std::uint64_t& kept =
          mRowSums[static_cast<std::size_t>(stored) + static_cast<std::size_t>(r)];
      if (kept == 0) {
        kept = sum;
      } else if (kept != sum) {
        same = false;
      }
    }
    return same;
  }

  // Of several failures the one nearest the start of the pixel data counts, as in a whole read.
  void Note(int stored, std::string reason) {
    const std::lock_guard<std::mutex> lock(mMutex);
    if (mFailedAt >= 0 && mFailedAt <= stored) return;
    mFailedAt = stored;
    mFailure = std::move(reason);
  }

  std::unique_ptr<OpenedPicture> mFile;
  Layout mLayout;
  int mBlockRows;
  mutable std::mutex mMutex;
  std::vector<std::unique_ptr<Buffers>> mBuffers;
  int mFailedAt = -1;
  std::string mFailure;
  std::vector<std::uint64_t> mRowSums =
      std::vector<std::uint64_t>(static_cast<std::size_t>(mLayout.height), 0);
  std::atomic<bool> mChanged{false};
};

}  // namespace

PixelGrid DecodeBmp(const unsigned char* data, std::size_t size,
                    const std::string& nameForMessages) {
  const Layout layout = ParseHeader(data, size, nameForMessages);
  PixelGrid grid = MakeGrid(layout, nameForMessages);
  if (layout.kind == Kind::kRle4 || layout.kind == Kind::kRle8) {
    MemoryStream stream(data + layout.offset, size - layout.offset);
    DecodeRle(layout, stream, grid, nameForMessages);
    return grid;
  }
  const std::string reason = SplitRows(layout, [&](int first, int count) {
    return ConvertRows(
        layout, data + layout.offset + layout.stride * static_cast<unsigned>(first), first, count,
        [&grid](int y) { return grid.Row(y); }, false);
  });
  if (!reason.empty()) Fail(nameForMessages, reason);
  return grid;
}

PixelGrid ReadBmpFile(const OpenedPicture& file, PixelGrid&& reuse) {
  const std::string& path = file.Path();
  const Layout layout = ReadLayout(file);
  // Memory already mapped in is written past the cache when the picture is larger than any
  // cache; fresh pages are not, since the kernel has just cleared them into the cache.
  const bool pastCache = reuse.Width() == layout.width && reuse.Height() == layout.height &&
                         reuse.Size() * sizeof(std::uint32_t) >= kStreamGridBytes;
  PixelGrid grid = MakeGrid(layout, path, &reuse);

  if (layout.kind == Kind::kRle4 || layout.kind == Kind::kRle8) {
    FileStream stream(file, layout.offset, file.Size());
    DecodeRle(layout, stream, grid, path);
    return grid;
  }
  const std::string reason = SplitRows(layout, [&](int first, int count) -> std::string {
    const int chunkRows = static_cast<int>(
        std::clamp<std::uint64_t>(kChunkBytes / layout.stride, 1, static_cast<unsigned>(count)));
    std::vector<unsigned char> buffer(layout.stride * static_cast<unsigned>(chunkRows));
    for (int done = 0; done < count; done += chunkRows) {
      const int rows = std::min(chunkRows, count - done);
      std::string rowsReason = ReadStoredRows(file, layout, first + done, rows, buffer.data());
      if (rowsReason.empty()) {
        rowsReason = ConvertRows(
            layout, buffer.data(), first + done, rows, [&grid](int y) { return grid.Row(y); },
            pastCache);
      }
      if (!rowsReason.empty()) return rowsReason;
    }
    return {};
  });
  if (!reason.empty()) Fail(path, reason);
  return grid;
}

std::unique_ptr<PixelRows> OpenBmpRows(std::unique_ptr<OpenedPicture> file) {
  const Layout layout = ReadLayout(*file);
  if (layout.kind == Kind::kRle4 || layout.kind == Kind::kRle8) return nullptr;
  return std::make_unique<BmpRows>(std::move(file), layout);
}

}  // namespace qv
