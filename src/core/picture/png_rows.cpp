// The samples of a decoded PNG row to colours over white, and the row sink's conversion.
#include "core/picture/png_rows.h"

#include <bit>

#include "core/picture/picture_file.h"

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace qv::png {
namespace {

// Adam7: where the pixels of each pass lie.
constexpr int kPassX0[7] = {0, 4, 0, 2, 0, 1, 0};
constexpr int kPassDx[7] = {8, 8, 4, 4, 2, 2, 1};

}  // namespace

// The hot loop of the most common pictures, RGB at 8 bits: four pixels per byte shuffle where
// the processor has one (checked at run time; the build targets plain x86-64). Returns the
// pixels done; the caller does the rest.
#if defined(__x86_64__)
__attribute__((target("ssse3"))) std::size_t WidenRgbShuffled(const unsigned char* s, std::size_t n,
                                                              std::uint32_t* out) {
  const __m128i spread = _mm_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1);
  std::size_t k = 0;
  // Each step reads 16 bytes and uses 12: k + 6 <= n keeps the read inside the row.
  for (; k + 6 <= n; k += 4) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 3 * k));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + k), _mm_shuffle_epi8(v, spread));
  }
  return k;
}

bool CanShuffle() {
  static const bool kShuffle = __builtin_cpu_supports("ssse3");
  return kShuffle;
}

std::size_t WidenRgb(const unsigned char* s, std::size_t n, std::uint32_t* out) {
  return CanShuffle() ? WidenRgbShuffled(s, n, out) : 0;
}
#else
bool CanShuffle() { return false; }
std::size_t WidenRgb(const unsigned char*, std::size_t, std::uint32_t*) { return 0; }
#endif

static_assert(std::endian::native == std::endian::little);

Converter ConverterFor(int colourType, int depth, const spng_trns* trns, const spng_plte* plte) {
  Converter c;
  c.depth = depth;
  const bool haveTrns = trns != nullptr;
  const spng_trns noTrns{};
  const spng_trns& key = haveTrns ? *trns : noTrns;
  const std::uint32_t sampleMask = depth == 16 ? 0xFFFFu : (1u << depth) - 1;
  switch (colourType) {
    case SPNG_COLOR_TYPE_INDEXED: {
      c.kind = Kind::kIndexed;
      c.valid = std::min<unsigned>(plte->n_entries, 256);
      for (unsigned i = 0; i < c.valid; ++i) {
        const std::uint32_t a = haveTrns && i < key.n_type3_entries ? key.type3_alpha[i] : 255;
        const spng_plte_entry& e = plte->entries[i];
        c.lut[i] = Pack(Blend8(e.red, a), Blend8(e.green, a), Blend8(e.blue, a));
      }
      break;
    }
    case SPNG_COLOR_TYPE_GRAYSCALE:
      c.keyed = haveTrns;
      c.keyGrey = key.gray & sampleMask;
      if (depth == 16) {
        c.kind = Kind::kGrey16;
      } else {
        c.kind = Kind::kIndexed;
        for (std::uint32_t v = 0; v <= sampleMask; ++v) {
          c.lut[v] = c.keyed && v == c.keyGrey ? kWhite : (v * 255 / sampleMask) * 0x010101u;
        }
      }
      break;
    case SPNG_COLOR_TYPE_TRUECOLOR:
      c.kind = depth == 16 ? Kind::kRgb16 : Kind::kRgb8;
      c.keyed = haveTrns;
      c.keyRed = key.red & sampleMask;
      c.keyGreen = key.green & sampleMask;
      c.keyBlue = key.blue & sampleMask;
      break;
    case SPNG_COLOR_TYPE_GRAYSCALE_ALPHA:
      c.kind = depth == 16 ? Kind::kGreyAlpha16 : Kind::kGreyAlpha8;
      break;
    default:
      c.kind = depth == 16 ? Kind::kRgba16 : Kind::kRgba8;
      break;
  }
  return c;
}

// Converts `count` pixels of a row of samples to every `step`-th grid position from `out`;
// returns the largest palette index (or grey value) met.
template <bool kStrided>
unsigned ConvertRow(const Converter& c, const unsigned char* s, int count, std::uint32_t* out,
                    int step) {
  const std::size_t n = static_cast<std::size_t>(count);
  const std::size_t dx = kStrided ? static_cast<std::size_t>(step) : 1;
  unsigned top = 0;
  switch (c.kind) {
    case Kind::kIndexed:
      if (c.depth == 8) {
        for (std::size_t k = 0; k < n; ++k) {
          const unsigned index = s[k];
          top = std::max(top, index);
          out[k * dx] = c.lut[index];
        }
      } else {
        const unsigned bits = static_cast<unsigned>(c.depth);
        const unsigned mask = (1u << bits) - 1;
        for (std::size_t k = 0; k < n; ++k) {
          const std::size_t bit = k * bits;
          const unsigned index = (s[bit >> 3] >> (8 - bits - (bit & 7))) & mask;
          top = std::max(top, index);
          out[k * dx] = c.lut[index];
        }
      }
      break;
    case Kind::kGrey16:
      for (std::size_t k = 0; k < n; ++k) {
        const std::uint32_t v = Load16(s + 2 * k);
        out[k * dx] = c.keyed && v == c.keyGrey ? kWhite : Reduce16(v) * 0x010101u;
      }
      break;
    case Kind::kRgb8:
      if (!c.keyed) {
        std::size_t k = 0;
        if constexpr (!kStrided) k = WidenRgb(s, n, out);
        // A four-byte load per pixel, R G B x -> 0x00BBGGRR; the last pixel is done bytewise
        // so that no load reaches past the row.
        for (; k + 1 < n; ++k) out[k * dx] = Load32(s + 3 * k) & 0x00FFFFFFu;
        for (; k < n; ++k) out[k * dx] = Pack(s[3 * k], s[3 * k + 1], s[3 * k + 2]);
      } else {
        for (std::size_t k = 0; k < n; ++k) {
          const unsigned char* p = s + 3 * k;
          const bool transparent = p[0] == c.keyRed && p[1] == c.keyGreen && p[2] == c.keyBlue;
          out[k * dx] = transparent ? kWhite : Pack(p[0], p[1], p[2]);
        }
      }
      break;
    case Kind::kRgb16:
      for (std::size_t k = 0; k < n; ++k) {
        const unsigned char* p = s + 6 * k;
        const std::uint32_t r = Load16(p), g = Load16(p + 2), b = Load16(p + 4);
        const bool transparent = c.keyed && r == c.keyRed && g == c.keyGreen && b == c.keyBlue;
        out[k * dx] = transparent ? kWhite : Pack(Reduce16(r), Reduce16(g), Reduce16(b));
      }
      break;
    case Kind::kGreyAlpha8:
      for (std::size_t k = 0; k < n; ++k) {
        out[k * dx] = Blend8(s[2 * k], s[2 * k + 1]) * 0x010101u;
      }
      break;
    case Kind::kGreyAlpha16:
      for (std::size_t k = 0; k < n; ++k) {
        out[k * dx] = Blend16(Load16(s + 4 * k), Load16(s + 4 * k + 2)) * 0x010101u;
      }
      break;
    case Kind::kRgba8:
      for (std::size_t k = 0; k < n; ++k) {
        const unsigned char* p = s + 4 * k;
        const std::uint32_t a = p[3];
        out[k * dx] = a == 255 ? Pack(p[0], p[1], p[2])
                               : Pack(Blend8(p[0], a), Blend8(p[1], a), Blend8(p[2], a));
      }
      break;
    case Kind::kRgba16:
      for (std::size_t k = 0; k < n; ++k) {
        const unsigned char* p = s + 8 * k;
        const std::uint32_t a = Load16(p + 6);
        out[k * dx] =
            Pack(Blend16(Load16(p), a), Blend16(Load16(p + 2), a), Blend16(Load16(p + 4), a));
      }
      break;
  }
  return top;
}

template unsigned ConvertRow<false>(const Converter&, const unsigned char*, int, std::uint32_t*,
                                    int);
template unsigned ConvertRow<true>(const Converter&, const unsigned char*, int, std::uint32_t*,
                                   int);

unsigned ConvertAt(const Converter& c, const unsigned char* s, PixelGrid& grid, bool interlaced,
                   int y, int pass) {
  const int width = grid.Width();
  if (!interlaced) return ConvertRow<false>(c, s, width, grid.Row(y), 1);
  const int x0 = kPassX0[pass], dx = kPassDx[pass];
  if (x0 >= width) return 0;
  return ConvertRow<true>(c, s, (width - x0 + dx - 1) / dx, grid.Row(y) + x0, dx);
}

}  // namespace qv::png
