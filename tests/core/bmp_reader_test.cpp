// Tests of the strict BMP reader: every accepted variant decodes to exact colours, every damaged
// or hostile file is refused with a message that names it.
#include "core/picture/bmp_reader.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "core/base/error.h"
#include "core/picture/picture_reader.h"
#include "support/bmp_writer.h"
#include "support/grid_builder.h"
#include "support/restricted_run.h"
#include "support/row_name.h"

namespace qv::test {
namespace {

const std::string kName = "beam.bmp";

// An exact-size heap copy, so that a sanitizer build catches any read past the end.
PixelGrid Decode(const std::string& bytes) {
  const std::vector<unsigned char> copy(bytes.begin(), bytes.end());
  return DecodeBmp(copy.data(), copy.size(), kName);
}

// The reader's message for `bytes`, or "accepted" when it decodes.
std::string Refusal(const std::string& bytes) {
  try {
    Decode(bytes);
  } catch (const Error& e) {
    return e.what();
  }
  return "accepted";
}

std::string FileRefusal(const std::string& path) {
  try {
    ReadPicture(path);
  } catch (const Error& e) {
    return e.what();
  }
  return "accepted";
}

// A picture whose neighbouring pixels all differ, drawn from `colours`.
PixelGrid Pattern(int width, int height, const std::vector<std::uint32_t>& colours) {
  PixelGrid grid(width, height);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) grid.Set(x, y, colours[(x * 3 + y * 5) % colours.size()]);
  }
  return grid;
}

PixelGrid Resolve(int width, int height, const std::vector<std::uint8_t>& indices,
                  const std::vector<std::uint32_t>& palette) {
  PixelGrid grid(width, height);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) grid.Set(x, y, palette[indices[y * width + x]]);
  }
  return grid;
}

const std::vector<std::uint32_t> kRich = {0x00123456, 0x00FEDCBA, 0x00FFFFFF, 0x00000000,
                                          0x0000FF7F, 0x00808080, 0x00010203, 0x00FF0000};
// Full and empty channels survive any mask width.
const std::vector<std::uint32_t> kExtremes = {0x00FFFFFF, 0x00000000, 0x000000FF, 0x0000FF00,
                                              0x00FF0000, 0x00FFFF00, 0x00FF00FF, 0x0000FFFF};

struct TrueColourCase {
  const char* label;
  BmpOptions options;
  int width, height;
  const std::vector<std::uint32_t>* colours;
};
void PrintTo(const TrueColourCase& c, std::ostream* os) { *os << c.label; }

class BmpReaderTrueColourTest : public testing::TestWithParam<TrueColourCase> {};

TEST_P(BmpReaderTrueColourTest, DecodesExactColours) {
  const TrueColourCase& c = GetParam();
  const PixelGrid grid = Pattern(c.width, c.height, *c.colours);
  EXPECT_EQ(Decode(EncodeBmp(grid, c.options)), grid);
}

BmpOptions Opt(BmpHeader header, int bits, bool topDown = false, std::uint32_t r = 0,
               std::uint32_t g = 0, std::uint32_t b = 0, std::uint32_t a = 0) {
  BmpOptions o;
  o.header = header;
  o.bits = bits;
  o.topDown = topDown;
  o.redMask = r, o.greenMask = g, o.blueMask = b, o.alphaMask = a;
  return o;
}

BmpOptions WithFiller(BmpOptions o, std::uint8_t filler) {
  o.filler = filler;
  return o;
}

BmpOptions WithGap(BmpOptions o, std::uint32_t gap) {
  o.gap = gap;
  return o;
}

using H = BmpHeader;
INSTANTIATE_TEST_SUITE_P(
    Variants, BmpReaderTrueColourTest,
    testing::Values(
        // a single pixel
        TrueColourCase{"px24", Opt(H::kInfo40, 24), 1, 1, &kRich},
        // one column: every row is padded from 3 to 4 bytes
        TrueColourCase{"column24", Opt(H::kInfo40, 24), 1, 9, &kRich},
        // one row
        TrueColourCase{"row24", Opt(H::kInfo40, 24), 9, 1, &kRich},
        // odd widths need 3, 2 and 1 padding bytes
        TrueColourCase{"w5", Opt(H::kInfo40, 24), 5, 4, &kRich},
        TrueColourCase{"w6", Opt(H::kInfo40, 24), 6, 3, &kRich},
        TrueColourCase{"w7", Opt(H::kInfo40, 24), 7, 2, &kRich},
        TrueColourCase{"topDown24", Opt(H::kInfo40, 24, true), 7, 5, &kRich},
        // the old headers
        TrueColourCase{"core24", Opt(H::kCore12, 24), 5, 3, &kRich},
        TrueColourCase{"os2short24", Opt(H::kOs2Short16, 24), 5, 3, &kRich},
        TrueColourCase{"os2full24", Opt(H::kOs2Full64, 24), 5, 3, &kRich},
        TrueColourCase{"v4Header24", Opt(H::kV4_108, 24), 5, 3, &kRich},
        TrueColourCase{"v5Header24", Opt(H::kV5_124, 24, true), 5, 3, &kRich},
        // the data offset skips bytes after the header
        TrueColourCase{"gap24", WithGap(Opt(H::kInfo40, 24), 7), 3, 3, &kRich},
        // 32 bits: the fourth byte is not alpha and is ignored
        TrueColourCase{"x32", WithFiller(Opt(H::kInfo40, 32), 0xAB), 3, 4, &kRich},
        TrueColourCase{"x32TopDown", WithFiller(Opt(H::kV5_124, 32, true), 0x7F), 3, 4, &kRich},
        // 32 bits with masks, alpha given and ignored; 6 = masks with alpha after a 40-byte header
        TrueColourCase{"bitfields32", Opt(H::kInfo40, 32, false, 0xFF0000, 0xFF00, 0xFF), 4, 2,
                       &kRich},
        TrueColourCase{"alphaBitfields32",
                       Opt(H::kInfo40, 32, false, 0xFF0000, 0xFF00, 0xFF, 0xFF000000), 4, 2,
                       &kRich},
        TrueColourCase{"rgba32V5", Opt(H::kV5_124, 32, false, 0xFF000000, 0xFF0000, 0xFF00, 0xFF),
                       4, 2, &kRich},
        TrueColourCase{"bgr32V3", Opt(H::kV3_56, 32, false, 0xFF, 0xFF00, 0xFF0000), 4, 2, &kRich},
        // 10-bit channels keep their top 8 bits
        TrueColourCase{"ten32V2", Opt(H::kV2_52, 32, false, 0x3FF00000, 0xFFC00, 0x3FF), 4, 2,
                       &kRich},
        // 16 bits: default 5-5-5, masks 5-6-5, 4-4-4 and 1-bit channels; odd widths pad rows
        TrueColourCase{"x555", Opt(H::kInfo40, 16), 3, 3, &kExtremes},
        TrueColourCase{"x555TopDown", Opt(H::kV4_108, 16, true), 5, 3, &kExtremes},
        TrueColourCase{"r565", Opt(H::kInfo40, 16, false, 0xF800, 0x07E0, 0x001F), 3, 3,
                       &kExtremes},
        TrueColourCase{"r565V3", Opt(H::kV3_56, 16, false, 0xF800, 0x07E0, 0x001F), 8, 2,
                       &kExtremes},
        TrueColourCase{"a444", Opt(H::kInfo40, 16, false, 0x0F00, 0x00F0, 0x000F, 0xF000), 3, 3,
                       &kExtremes},
        TrueColourCase{"bits1", Opt(H::kV5_124, 16, false, 0x4, 0x2, 0x1), 3, 3, &kExtremes}),
    RowName);

TEST(BmpReaderTest, NarrowChannelsAreWidenedByBitReplication) {
  // 5-bit 16 = 10000 -> 10000100; 6-bit 32 = 100000 -> 10000010
  const PixelGrid grey555 = MakeGrid(1, 1, 0x00848484);
  EXPECT_EQ(Decode(EncodeBmp(grey555, Opt(H::kInfo40, 16))).At(0, 0), 0x00848484u);
  const PixelGrid grey565 = MakeGrid(1, 1, 0x00848284);
  EXPECT_EQ(Decode(EncodeBmp(grey565, Opt(H::kInfo40, 16, false, 0xF800, 0x07E0, 0x001F))).At(0, 0),
            0x00848284u);
  // A pixel that is white in 5-5-5 stays pure white, never 0x00F8F8F8.
  std::string bytes = EncodeBmp(MakeGrid(1, 1, kBlack), Opt(H::kInfo40, 16));
  PutU16(bytes, bytes.size() - 4, 0x7FFF);
  EXPECT_EQ(Decode(bytes).At(0, 0), kWhite);
}

TEST(BmpReaderTest, TopDownAndBottomUpGiveTheSamePicture) {
  const PixelGrid grid = Pattern(6, 5, kRich);
  const std::string up = EncodeBmp24(grid);
  const std::string down = EncodeBmp(grid, Opt(H::kInfo40, 24, true));
  ASSERT_NE(up, down);
  EXPECT_EQ(Decode(up), Decode(down));
  EXPECT_EQ(Decode(down).At(0, 0), grid.At(0, 0));
}

TEST(BmpReaderTest, LastRowWithoutPaddingIsAccepted) {
  const PixelGrid grid = Pattern(5, 3, kRich);  // 15 bytes per row, 1 byte padding
  const std::string bytes = EncodeBmp24(grid);
  EXPECT_EQ(Decode(Truncated(bytes, bytes.size() - 1)), grid);
  EXPECT_NE(Refusal(Truncated(bytes, bytes.size() - 2)).find("the pixel data ends early"),
            std::string::npos);
}

TEST(BmpReaderTest, EveryRowWidthDecodesExactColoursWithoutReadingPastTheData) {
  // Wide rows are converted in blocks of pixels with a tail done one by one; every width up to
  // a few blocks, random colours, and the last row's padding cut off so that a sanitizer build
  // sees any read past the pixel data.
  std::mt19937 rng(24);
  for (int w = 1; w <= 70; ++w) {
    PixelGrid grid(w, 3);
    for (std::size_t i = 0; i < grid.Size(); ++i) grid.Data()[i] = rng() & 0x00FFFFFFu;
    const std::string bytes = EncodeBmp24(grid);
    const std::size_t padding = (4 - static_cast<std::size_t>(w) * 3 % 4) % 4;
    EXPECT_EQ(Decode(Truncated(bytes, bytes.size() - padding)), grid) << w;
  }
}

struct IndexedCase {
  const char* label;
  BmpHeader header;
  int bits;
  int width, height;
  int paletteSize;
  bool topDown;
  std::int64_t declared;  // -1: the real count
};
void PrintTo(const IndexedCase& c, std::ostream* os) { *os << c.label; }

class BmpReaderIndexedTest : public testing::TestWithParam<IndexedCase> {};

TEST_P(BmpReaderIndexedTest, DecodesPaletteColours) {
  const IndexedCase& c = GetParam();
  const std::vector<std::uint32_t> palette = Palette(c.paletteSize);
  const std::vector<std::uint8_t> indices = IndexPattern(c.width, c.height, c.paletteSize);
  BmpOptions options = Opt(c.header, c.bits, c.topDown);
  options.declaredColours = c.declared;
  const PixelGrid decoded = Decode(EncodeIndexedBmp(c.width, c.height, indices, palette, options));
  EXPECT_EQ(decoded, Resolve(c.width, c.height, indices, palette));
}

INSTANTIATE_TEST_SUITE_P(
    Variants, BmpReaderIndexedTest,
    testing::Values(IndexedCase{"one1x1", H::kInfo40, 1, 1, 1, 2, false, -1},
                    // 33 pixels: five bytes of bits plus three padding bytes per row
                    IndexedCase{"one33", H::kInfo40, 1, 33, 3, 2, false, -1},
                    IndexedCase{"one1xN", H::kInfo40, 1, 1, 7, 2, true, -1},
                    // a count of 0 means all 2^bits entries
                    IndexedCase{"four", H::kInfo40, 4, 7, 3, 16, false, 0},
                    IndexedCase{"fourOdd", H::kV5_124, 4, 9, 4, 5, true, -1},
                    IndexedCase{"eight", H::kInfo40, 8, 5, 5, 256, false, 0},
                    IndexedCase{"eightFew", H::kV4_108, 8, 3, 4, 7, false, -1},
                    // a count beyond 2^bits is cut to 2^bits when the entries are there
                    IndexedCase{"eightClamped", H::kInfo40, 8, 4, 4, 256, false, 1000},
                    IndexedCase{"core1", H::kCore12, 1, 9, 2, 2, false, -1},
                    IndexedCase{"core8", H::kCore12, 8, 5, 3, 256, false, -1},
                    // an OS/2 1.x palette shorter than 2^bits, sized by the data offset
                    IndexedCase{"core8Short", H::kCore12, 8, 5, 3, 6, false, -1},
                    IndexedCase{"os2short4", H::kOs2Short16, 4, 5, 3, 16, false, -1},
                    IndexedCase{"os2full8", H::kOs2Full64, 8, 5, 3, 9, false, -1}),
    RowName);

TEST(BmpReaderTest, PixelBeyondThePaletteIsRefused) {
  // Three entries; index 5 appears once, in the middle row.
  std::vector<std::uint8_t> indices(12, 1);
  indices[5] = 5;
  const std::string bytes = EncodeIndexedBmp(4, 3, indices, Palette(3), Opt(H::kInfo40, 8));
  EXPECT_EQ(Refusal(bytes),
            "Cannot read picture beam.bmp: a pixel refers to palette entry 5, but the palette has "
            "3 entries");
  std::vector<std::uint8_t> ones(9, 1);
  EXPECT_NE(Refusal(EncodeIndexedBmp(9, 1, ones, Palette(1), Opt(H::kInfo40, 1))), "accepted");
}

const std::vector<std::uint32_t> kRlePalette = {0x00AAAAAA, 0x000000FF, 0x0000FF00, 0x00FF0000};

TEST(BmpReaderTest, Rle8SkippedPixelsTakePaletteEntryZero) {
  RleStream s(8);
  s.Run(3, 1)       // bottom row: 1 1 1, then skipped by the delta
      .Delta(2, 1)  // to x = 5 on the next row up
      .Run(1, 2)
      .EndOfLine()          // the rest of that row is skipped
      .Absolute({1, 2, 3})  // odd length: one padding byte
      .Run(2, 3)
      .EndOfBitmap();  // the top row is never written
  const PixelGrid grid = Decode(EncodeRleBmp(6, 4, 8, kRlePalette, s.Bytes()));
  const std::uint32_t o = kRlePalette[0], r = kRlePalette[1], g = kRlePalette[2],
                      b = kRlePalette[3];
  PixelGrid expected(6, 4, o);
  expected.Set(0, 3, r), expected.Set(1, 3, r), expected.Set(2, 3, r);
  expected.Set(5, 2, g);
  expected.Set(0, 1, r), expected.Set(1, 1, g), expected.Set(2, 1, b);
  expected.Set(3, 1, b), expected.Set(4, 1, b);
  EXPECT_EQ(grid, expected);
}

TEST(BmpReaderTest, Rle4AlternatesNibblesAndPadsAbsoluteRuns) {
  RleStream s(4);
  s.Run(5, 1, 2)  // 1 2 1 2 1
      .EndOfLine()
      .Delta(1, 0)
      .Absolute({3, 2, 1, 0, 3})  // three bytes and one padding byte
      .EndOfLine()
      .Absolute({1, 2, 3})  // two bytes, no padding
      .EndOfBitmap();
  const PixelGrid grid = Decode(EncodeRleBmp(6, 3, 4, kRlePalette, s.Bytes()));
  auto row = [&](int y) {
    std::vector<std::uint32_t> colours;
    colours.reserve(6);
    for (int x = 0; x < 6; ++x) colours.push_back(grid.At(x, y));
    return colours;
  };
  const std::uint32_t o = kRlePalette[0], r = kRlePalette[1], g = kRlePalette[2],
                      b = kRlePalette[3];
  EXPECT_EQ(row(2), (std::vector<std::uint32_t>{r, g, r, g, r, o}));
  EXPECT_EQ(row(1), (std::vector<std::uint32_t>{o, b, g, r, o, b}));
  EXPECT_EQ(row(0), (std::vector<std::uint32_t>{r, g, b, o, o, o}));
}

TEST(BmpReaderTest, RleEncodedPicturesRoundTrip) {
  for (int bits : {4, 8}) {
    const int w = 301, h = 7, colours = bits == 4 ? 16 : 200;
    std::vector<std::uint8_t> indices = IndexPattern(w, h, colours);
    for (int x = 20; x < 290; ++x) indices[3 * w + x] = 9;  // long runs split at 255
    const std::vector<std::uint32_t> palette = Palette(colours);
    const std::string stream = RleEncode(w, h, bits, indices);
    EXPECT_EQ(Decode(EncodeRleBmp(w, h, bits, palette, stream)), Resolve(w, h, indices, palette))
        << bits;
    EXPECT_EQ(Decode(EncodeRleBmp(w, h, bits, palette, stream, H::kOs2Full64)),
              Resolve(w, h, indices, palette))
        << bits;
  }
}

// A valid 24-bit picture of 5 x 4 pixels to damage.
std::string Good24() { return EncodeBmp24(Pattern(5, 4, kRich)); }

std::string With32(std::size_t at, std::uint32_t value, std::string bytes = Good24()) {
  PutU32(bytes, at, value);
  return bytes;
}

std::string Masked(std::uint32_t r, std::uint32_t g, std::uint32_t b) {
  return EncodeBmp(Pattern(2, 2, kExtremes), Opt(H::kV3_56, 16, false, r, g, b));
}

std::string Png() {
  return std::string("\x89PNG\r\n\x1A\n\0\0\0\rIHDR\0\0\0\1\0\0\0\1\x08\x02\0\0\0", 29);
}

std::string Rle(const RleStream& s, int width = 4, int height = 2) {
  return EncodeRleBmp(width, height, 8, kRlePalette, s.Bytes());
}

struct HostileCase {
  const char* label;
  std::string bytes;
  const char* reason;  // the text after "Cannot read picture beam.bmp: "
};
void PrintTo(const HostileCase& c, std::ostream* os) { *os << c.label; }

class BmpReaderHostileTest : public testing::TestWithParam<HostileCase> {};

TEST_P(BmpReaderHostileTest, IsRefusedWithReason) {
  EXPECT_EQ(Refusal(GetParam().bytes),
            "Cannot read picture beam.bmp: " + std::string(GetParam().reason));
}

INSTANTIATE_TEST_SUITE_P(
    Files, BmpReaderHostileTest,
    testing::Values(
        HostileCase{"empty", "", "the file is empty"},
        HostileCase{"magicOnly", "BM", "the header ends early"},
        // Other files are named by what they are, and the formats read are named.
        HostileCase{"gif", "GIF89a........................",
                    "the file is a GIF picture, not a BMP or PNG picture"},
        HostileCase{"text", "[properties]\r\nn=0\r\n",
                    "the file is neither a BMP nor a PNG picture"},
        HostileCase{"tiff", std::string("II*\0........", 12),
                    "the file is a TIFF picture, not a BMP or PNG picture"},
        // Line ends turned around in a transfer: all but one byte of the PNG signature match.
        HostileCase{"pngSignatureDamaged", std::string("\x89PNG\n\n\x1A\n....", 12),
                    "damaged PNG signature (the file begins almost as a PNG picture does)"},
        // a PNG file renamed to .bmp
        HostileCase{"png", Png(), "the file is a PNG picture, not a BMP picture"},
        HostileCase{"jpeg", "\xFF\xD8\xFF\xE0 JFIF",
                    "the file is a JPEG picture, not a BMP or PNG picture"},
        HostileCase{"cutInfoHeader", Truncated(Good24(), 30), "the header ends early"},
        HostileCase{"headerSize41", With32(kHeaderSizeAt, 41),
                    "the header size 41 is not supported"},
        HostileCase{"cutPixels", Truncated(Good24(), Good24().size() - 5),
                    "the pixel data ends early"},
        HostileCase{"offsetPastEnd", With32(kDataOffsetAt, 100000),
                    "the pixel data offset 100000 lies outside the file"},
        HostileCase{"offsetInHeader", With32(kDataOffsetAt, 20),
                    "the pixel data offset 20 lies inside the header"},
        HostileCase{"offsetTooLate", With32(kDataOffsetAt, 60), "the pixel data ends early"},
        HostileCase{"width0", With32(kWidthAt, 0), "the width 0 is not valid"},
        HostileCase{"widthNegative", With32(kWidthAt, 0xFFFFFFFB), "the width -5 is not valid"},
        HostileCase{"height0", With32(kHeightAt, 0), "the height 0 is not valid"},
        HostileCase{"heightMin", With32(kHeightAt, 0x80000000),
                    "the height -2147483648 is not valid"},
        // declared sizes that must be refused before any allocation
        HostileCase{"huge", With32(kHeightAt, 100000, With32(kWidthAt, 100000)),
                    "the picture size 100000x100000 exceeds the limit of 1073741824 pixels"},
        HostileCase{"widthMax", With32(kWidthAt, 0x7FFFFFFF),
                    "the width 2147483647 exceeds the limit of 1048576 pixels"},
        HostileCase{"heightMax", With32(kHeightAt, 0x7FFFFFFF),
                    "the height 2147483647 exceeds the limit of 1048576 pixels"},
        HostileCase{"topDownMax", With32(kHeightAt, 0x80000001),
                    "the height 2147483647 exceeds the limit of 1048576 pixels"},
        // within the limits but far more than the file holds
        HostileCase{"bigButShort", With32(kHeightAt, 30000, With32(kWidthAt, 30000)),
                    "the pixel data ends early"},
        // OS/2 2.x sizes are unsigned, so this is no top-down picture
        HostileCase{
            "os2Negative",
            With32(kHeightAt, 0xFFFFFFFD, EncodeBmp(Pattern(2, 3, kRich), Opt(H::kOs2Full64, 24))),
            "the height 4294967293 exceeds the limit of 1048576 pixels"},
        HostileCase{"bits2", With32(kBitsAt, 2), "the bit depth 2 is not supported"},
        HostileCase{"bits64", With32(kBitsAt, 64), "the bit depth 64 is not supported"},
        HostileCase{"jpegInside", With32(kCompressionAt, 4),
                    "JPEG compression inside a BMP file is not supported"},
        HostileCase{"pngInside", With32(kCompressionAt, 5),
                    "PNG compression inside a BMP file is not supported"},
        HostileCase{"cmyk", With32(kCompressionAt, 11),
                    "the compression method 11 is not supported"},
        HostileCase{"masks24", With32(kCompressionAt, 3),
                    "colour masks need 16 or 32 bits per pixel, not 24"},
        HostileCase{"rle8On24", With32(kCompressionAt, 1),
                    "RLE8 compression needs 8 bits per pixel, not 24"},
        HostileCase{
            "huffman",
            With32(kCompressionAt, 3, EncodeBmp(Pattern(2, 2, kRich), Opt(H::kOs2Full64, 24))),
            "OS/2 Huffman compression is not supported"},
        HostileCase{"masksZero", Masked(0, 0x3E0, 0x1F), "the colour masks are not valid"},
        HostileCase{"masksOverlap", Masked(0x7C00, 0x07E0, 0x1F), "the colour masks are not valid"},
        HostileCase{"masksHoles", Masked(0x7C01, 0x03E0, 0x1E), "the colour masks are not valid"},
        HostileCase{"masksWide", Masked(0x1F0000, 0x03E0, 0x1F), "the colour masks are not valid"},
        HostileCase{"cutMasks",
                    Truncated(EncodeBmp(Pattern(1, 1, kRich),
                                        Opt(H::kInfo40, 32, false, 0xFF, 0xFF00, 0xFF0000)),
                              60),
                    "the colour masks end early"},
        // palette counts that do not fit between the header and the pixel data
        HostileCase{"paletteCount",
                    With32(kColoursAt, 200,
                           EncodeIndexedBmp(2, 2, {0, 1, 1, 0}, Palette(2), Opt(H::kInfo40, 8))),
                    "the palette of 200 entries overlaps the pixel data"},
        HostileCase{"paletteCountMax",
                    With32(kColoursAt, 0xFFFFFFFF,
                           EncodeIndexedBmp(2, 2, {0, 1, 1, 0}, Palette(16), Opt(H::kInfo40, 8))),
                    "the palette of 256 entries overlaps the pixel data"},
        HostileCase{"paletteMissing",
                    With32(kDataOffsetAt, 26,
                           EncodeIndexedBmp(2, 2, {0, 1, 1, 0}, Palette(2), Opt(H::kCore12, 8))),
                    "the palette is missing"},
        // RLE streams
        HostileCase{"rleNoEnd", Rle(RleStream(8).Run(4, 1).EndOfLine().Run(4, 2)),
                    "the compressed pixel data ends before its end-of-bitmap mark"},
        HostileCase{"rleCutAbsolute", Rle(RleStream(8).Raw(std::string("\0\6\1\2", 4))),
                    "the compressed pixel data ends before its end-of-bitmap mark"},
        HostileCase{"rleCutDelta", Rle(RleStream(8).Raw(std::string("\0\2\1", 3))),
                    "the compressed pixel data ends before its end-of-bitmap mark"},
        HostileCase{"rleRunPastRow", Rle(RleStream(8).Run(5, 1).EndOfBitmap()),
                    "the compressed pixel data writes past the picture"},
        HostileCase{"rleAbsolutePastRow", Rle(RleStream(8).Run(2, 1).Absolute({1, 2, 3})),
                    "the compressed pixel data writes past the picture"},
        HostileCase{"rleDeltaPastTop", Rle(RleStream(8).Delta(0, 2).EndOfBitmap()),
                    "the compressed pixel data writes past the picture"},
        HostileCase{"rleDeltaPastRow", Rle(RleStream(8).Delta(5, 0).EndOfBitmap()),
                    "the compressed pixel data writes past the picture"},
        HostileCase{"rleRowsPastTop",
                    Rle(RleStream(8).EndOfLine().EndOfLine().Run(1, 1).EndOfBitmap()),
                    "the compressed pixel data writes past the picture"},
        HostileCase{"rleIndex", Rle(RleStream(8).Run(2, 7).EndOfBitmap()),
                    "a pixel refers to palette entry 7, but the palette has 4 entries"},
        HostileCase{"rle4SecondNibble",
                    EncodeRleBmp(4, 2, 4, kRlePalette, RleStream(4).Run(2, 1, 7).Bytes()),
                    "a pixel refers to palette entry 7, but the palette has 4 entries"},
        HostileCase{"rleTopDown", With32(kHeightAt, 0xFFFFFFFE, Rle(RleStream(8).EndOfBitmap())),
                    "a compressed picture cannot be stored top-down"}),
    RowName);

TEST(BmpReaderTest, ReadsFilesBigEnoughToSplitOverThreads) {
  TempDir dir;
  // Over two million pixels with rows of 6303 bytes: several threads and buffer refills.
  const PixelGrid grid = Pattern(2101, 1001, kRich);
  EXPECT_EQ(ReadPicture(dir.WritePicture("big.bmp", grid)), grid);

  const int w = 1500, h = 1400;
  std::vector<std::uint8_t> indices = IndexPattern(w, h, 40);
  const std::vector<std::uint32_t> palette = Palette(40);
  const std::string indexed = EncodeIndexedBmp(w, h, indices, palette, Opt(H::kInfo40, 8));
  WriteAll(dir.File("indexed.bmp"), indexed);
  EXPECT_EQ(ReadPicture(dir.File("indexed.bmp")), Resolve(w, h, indices, palette));

  // A bad index near the top of the picture, far from the first thread's rows.
  indices[5 * w + 77] = 41;
  WriteAll(dir.File("bad.bmp"), EncodeIndexedBmp(w, h, indices, palette, Opt(H::kInfo40, 8)));
  EXPECT_EQ(FileRefusal(dir.File("bad.bmp")),
            "Cannot read picture " + dir.File("bad.bmp") +
                ": a pixel refers to palette entry 41, but the palette has 40 entries");

  WriteAll(dir.File("short.bmp"), Truncated(indexed, indexed.size() - 1000));
  EXPECT_EQ(FileRefusal(dir.File("short.bmp")),
            "Cannot read picture " + dir.File("short.bmp") + ": the pixel data ends early");
}

TEST(BmpReaderTest, AReloadIntoTheMemoryOfALargePictureWritesEveryPixel) {
  // Larger than any cache, so the reload writes past it; an odd width starts the rows at every
  // alignment.
  TempDir dir;
  const int w = 4099, h = 4099;
  std::mt19937 rng(11);
  PixelGrid first(w, h), second(w, h);
  for (std::size_t i = 0; i < first.Size(); ++i) {
    first.Data()[i] = rng() & 0x00FFFFFFu;
    second.Data()[i] = first.Data()[i] ^ 0x00A5A5A5u;
  }
  PixelGrid read = ReadPicture(dir.WritePicture("first.bmp", first));
  ASSERT_EQ(read, first);
  const std::uint32_t* memory = read.Data();
  read = ReadPicture(dir.WritePicture("second.bmp", second), std::move(read));
  EXPECT_EQ(read.Data(), memory);
  EXPECT_EQ(read, second);
}

TEST(BmpReaderTest, ReadsLongRleStreamsFromFiles) {
  TempDir dir;
  // Absolute runs only: the stream is far longer than one read buffer.
  const int w = 997, h = 300;
  const std::vector<std::uint8_t> indices = IndexPattern(w, h, 200);
  const std::vector<std::uint32_t> palette = Palette(200);
  const std::string bytes = EncodeRleBmp(w, h, 8, palette, RleEncode(w, h, 8, indices));
  ASSERT_GT(bytes.size(), 200000u);
  WriteAll(dir.File("rle.bmp"), bytes);
  EXPECT_EQ(ReadPicture(dir.File("rle.bmp")), Resolve(w, h, indices, palette));
  WriteAll(dir.File("cut.bmp"), Truncated(bytes, bytes.size() - 2));  // no end-of-bitmap mark
  EXPECT_EQ(FileRefusal(dir.File("cut.bmp")),
            "Cannot read picture " + dir.File("cut.bmp") +
                ": the compressed pixel data ends before its end-of-bitmap mark");
}

TEST(BmpReaderTest, RefusesWhatIsNotARegularReadableFile) {
  TempDir dir;
  const std::string prefix = "Cannot read picture ";
  EXPECT_EQ(FileRefusal(dir.File("none.bmp")),
            prefix + dir.File("none.bmp") + ": the file does not exist");
  std::filesystem::create_directory(dir.File("x.bmp"));
  EXPECT_EQ(FileRefusal(dir.File("x.bmp")),
            prefix + dir.File("x.bmp") + ": it is a folder, not a file");
  // Opening a FIFO without a writer would block; the reader must not even try.
  ASSERT_EQ(mkfifo(dir.File("pipe.bmp").c_str(), 0600), 0);
  EXPECT_EQ(FileRefusal(dir.File("pipe.bmp")),
            prefix + dir.File("pipe.bmp") + ": it is not a regular file");
  EXPECT_EQ(FileRefusal("/dev/null"), prefix + "/dev/null: it is not a regular file");
  WriteAll(dir.File("empty.bmp"), "");
  EXPECT_EQ(FileRefusal(dir.File("empty.bmp")),
            prefix + dir.File("empty.bmp") + ": the file is empty");
}

TEST(BmpReaderTest, RefusesAFileWithoutReadPermission) {
  RunUnprivileged([] {
    TempDir dir;
    WriteAll(dir.File("locked.bmp"), Good24());
    ASSERT_EQ(chmod(dir.File("locked.bmp").c_str(), 0200), 0);
    EXPECT_EQ(FileRefusal(dir.File("locked.bmp")), "Cannot read picture " + dir.File("locked.bmp") +
                                                       ": permission to read it is denied");
  });
}

TEST(BmpReaderTest, APictureTooLargeForTheMemoryLeftIsRefusedWithItsSize) {
  // 16384 x 16384 pixels need 1 GiB of grid; run-length coded, the file is a few bytes.
  TempDir dir;
  const std::string path = dir.File("huge.bmp");
  WriteAll(path, EncodeRleBmp(16384, 16384, 8, {kWhite}, std::string("\0\1", 2)));
  RunWithMemoryLimit(std::uint64_t{256} << 20, [&] {
    try {
      ReadPicture(path);
      ADD_FAILURE() << "read";
    } catch (const Error& e) {
      EXPECT_EQ(std::string(e.what()),
                "Not enough memory for the picture " + path + " (16384 x 16384)");
    }
  });
}

}  // namespace
}  // namespace qv::test
