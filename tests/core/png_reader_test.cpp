// Tests of the strict PNG reader: every colour type, depth and interlacing gives the colours the
// BMP reader gives for the same section, the rounding and compositing rules hold exactly,
// odd but valid files load, and every damaged or hostile file is refused with its reason.
#include "core/picture/png_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "core/base/error.h"
#include "core/picture/bmp_reader.h"
#include "core/picture/picture_reader.h"
#include "support/bmp_writer.h"
#include "support/grid_builder.h"
#include "support/png_writer.h"
#include "support/row_name.h"

namespace qv::test {
namespace {

const std::string kName = "beam.png";

// An exact-size heap copy, so that a sanitizer build catches any read past the end.
PixelGrid Decode(const std::string& bytes) {
  const std::vector<unsigned char> copy(bytes.begin(), bytes.end());
  return DecodePng(copy.data(), copy.size(), kName);
}

// The reader's reason for refusing `bytes` (the text after "Cannot read picture beam.png: "),
// or "accepted" when it decodes.
std::string Refusal(const std::string& bytes) {
  try {
    Decode(bytes);
  } catch (const Error& e) {
    const std::string prefix = "Cannot read picture " + kName + ": ";
    const std::string what = e.what();
    return what.starts_with(prefix) ? what.substr(prefix.size()) : "no prefix: " + what;
  }
  return "accepted";
}

constexpr std::uint32_t kGrey85 = 0x00555555;
constexpr std::uint32_t kGrey170 = 0x00AAAAAA;
constexpr std::uint32_t kGrey17 = 0x00111111;

// A section with a frame, an off-centre block and single pixels at the edges, so that sub-byte
// packing, row ends and every Adam7 pass carry something. Only the colours of `colours` are used.
PixelGrid Section(int width, int height, const std::vector<std::uint32_t>& colours) {
  const auto c = [&](std::size_t i) { return colours[i % colours.size()]; };
  PixelGrid grid = MakeGrid(width, height, c(0),
                            {{1, 1, width - 2, 2, c(1)},
                             {width / 3, height / 4, width - 3, height - 2, c(2)},
                             {2, height / 2, width / 2, height / 2 + 1, c(3)}});
  grid.Set(width - 1, 0, c(1));
  grid.Set(0, height - 1, c(2));
  grid.Set(width - 1, height - 1, c(3));
  return grid;
}

const std::vector<std::uint32_t> kColours = {kWhite, kRed, 0x00123456, 0x00FEDCBA};
const std::vector<std::uint32_t> kTwoGreys = {kWhite, kBlack};
const std::vector<std::uint32_t> kFourGreys = {kWhite, kBlack, kGrey85, kGrey170};
const std::vector<std::uint32_t> kSixteenGreys = {kWhite, kGrey17, kGrey170, kBlack};
const std::vector<std::uint32_t> kAnyGreys = {kWhite, 0x00010101, 0x007F7F7F, 0x00FEFEFE};

struct FormatCase {
  const char* label;
  PngColour colour;
  int depth;
  const std::vector<std::uint32_t>* colours;
};
void PrintTo(const FormatCase& c, std::ostream* os) { *os << c.label; }

// Rows stored one after another, or spread over the seven passes of Adam7.
enum class Scan { kPlain, kAdam7 };
void PrintTo(Scan scan, std::ostream* os) { *os << (scan == Scan::kAdam7 ? "Adam7" : "plain"); }

struct PictureSize {
  int width, height;
};
void PrintTo(const PictureSize& size, std::ostream* os) {
  *os << "at " << size.width << " x " << size.height;
}

// Every colour type and depth, each plain and interlaced, at sizes that leave Adam7 passes empty
// and rows ending inside a byte.
class PngFormatTest : public testing::TestWithParam<std::tuple<FormatCase, Scan, PictureSize>> {};

TEST_P(PngFormatTest, GivesTheColoursOfTheSameSectionAsBmp) {
  const auto& [format, scan, size] = GetParam();
  const PixelGrid section = Section(size.width, size.height, *format.colours);
  PngOptions options;
  options.colour = format.colour;
  options.depth = format.depth;
  options.interlaced = scan == Scan::kAdam7;
  const std::string bmp = EncodeBmp24(section);
  const PixelGrid fromBmp =
      DecodeBmp(reinterpret_cast<const unsigned char*>(bmp.data()), bmp.size(), "beam.bmp");
  ASSERT_EQ(fromBmp, section);
  EXPECT_EQ(Decode(EncodePng(section, options)), fromBmp);
}

INSTANTIATE_TEST_SUITE_P(
    Formats, PngFormatTest,
    testing::Combine(
        testing::Values(FormatCase{"palette1", PngColour::kPalette, 1, &kTwoGreys},
                        FormatCase{"palette2", PngColour::kPalette, 2, &kColours},
                        FormatCase{"palette4", PngColour::kPalette, 4, &kColours},
                        FormatCase{"palette8", PngColour::kPalette, 8, &kColours},
                        // grey levels each depth holds exactly: 255 / (2^bits - 1) steps
                        FormatCase{"grey1", PngColour::kGrey, 1, &kTwoGreys},
                        FormatCase{"grey2", PngColour::kGrey, 2, &kFourGreys},
                        FormatCase{"grey4", PngColour::kGrey, 4, &kSixteenGreys},
                        FormatCase{"grey8", PngColour::kGrey, 8, &kAnyGreys},
                        FormatCase{"grey16", PngColour::kGrey, 16, &kAnyGreys},
                        FormatCase{"greyAlpha8", PngColour::kGreyAlpha, 8, &kAnyGreys},
                        FormatCase{"greyAlpha16", PngColour::kGreyAlpha, 16, &kAnyGreys},
                        FormatCase{"rgb8", PngColour::kRgb, 8, &kColours},
                        FormatCase{"rgb16", PngColour::kRgb, 16, &kColours},
                        FormatCase{"rgba8", PngColour::kRgba, 8, &kColours},
                        FormatCase{"rgba16", PngColour::kRgba, 16, &kColours}),
        testing::Values(Scan::kPlain, Scan::kAdam7),
        // 1 x 1 has only the first pass; 9 x 10 ends rows mid-byte at 1, 2 and 4 bits
        testing::Values(PictureSize{1, 1}, PictureSize{3, 2}, PictureSize{9, 10},
                        PictureSize{37, 23})),
    RowName);

struct TransparentCase {
  const char* label;
  PngColour colour;
  int depth;
};
void PrintTo(const TransparentCase& c, std::ostream* os) { *os << c.label; }

// A section drawn on a transparent background reads as the same section on white.
class PngTransparencyTest : public testing::TestWithParam<TransparentCase> {};

TEST_P(PngTransparencyTest, TransparentBackgroundBecomesWhite) {
  const TransparentCase& c = GetParam();
  const bool grey = c.colour == PngColour::kGrey || c.colour == PngColour::kGreyAlpha;
  constexpr std::uint32_t kBackground = 0x00333333;  // stored, then hidden
  const PixelGrid drawn =
      Section(31, 17,
              grey ? std::vector<std::uint32_t>{kBackground, kBlack, 0x00777777, kGrey170}
                   : std::vector<std::uint32_t>{kBackground, kRed, 0x00123456, kBlack});
  PngOptions options;
  options.colour = c.colour;
  options.depth = c.depth;
  options.transparent = kBackground;
  PixelGrid expected = drawn;
  for (std::size_t i = 0; i < expected.Size(); ++i) {
    if (expected.Data()[i] == kBackground) expected.Data()[i] = kWhite;
  }
  EXPECT_EQ(Decode(EncodePng(drawn, options)), expected);
  options.interlaced = true;
  EXPECT_EQ(Decode(EncodePng(drawn, options)), expected);
}

INSTANTIATE_TEST_SUITE_P(Kinds, PngTransparencyTest,
                         testing::Values(
                             // alpha 0 under a colour that must not show through
                             TransparentCase{"rgba8", PngColour::kRgba, 8},
                             TransparentCase{"rgba16", PngColour::kRgba, 16},
                             TransparentCase{"greyAlpha8", PngColour::kGreyAlpha, 8},
                             TransparentCase{"greyAlpha16", PngColour::kGreyAlpha, 16},
                             // a palette entry with tRNS alpha 0
                             TransparentCase{"palette8", PngColour::kPalette, 8},
                             TransparentCase{"palette2", PngColour::kPalette, 2},
                             // tRNS colour keys
                             TransparentCase{"rgbKey8", PngColour::kRgb, 8},
                             TransparentCase{"rgbKey16", PngColour::kRgb, 16},
                             TransparentCase{"greyKey8", PngColour::kGrey, 8},
                             TransparentCase{"greyKey16", PngColour::kGrey, 16}),
                         RowName);

struct SampleCase {
  const char* comment;
  RawPng raw;  // one pixel
  std::uint32_t expected;
};
void PrintTo(const SampleCase& c, std::ostream* os) { *os << c.comment; }

RawPng OnePixel(PngColour colour, int depth, const std::vector<std::uint16_t>& samples) {
  RawPng raw;
  raw.width = raw.height = 1;
  raw.colour = colour;
  raw.depth = depth;
  for (std::uint16_t s : samples) {
    if (depth == 16) {
      raw.samples.push_back(static_cast<unsigned char>(s & 0xFF));  // host order
      raw.samples.push_back(static_cast<unsigned char>(s >> 8));
    } else {
      raw.samples.push_back(static_cast<unsigned char>(s << (8 - depth)));
    }
  }
  return raw;
}

RawPng WithPalette(RawPng raw, std::vector<std::uint32_t> palette,
                   std::vector<std::uint8_t> alpha) {
  raw.palette = std::move(palette);
  raw.paletteAlpha = std::move(alpha);
  return raw;
}

RawPng WithGreyKey(RawPng raw, std::uint16_t key) {
  raw.keyGrey = key;
  return raw;
}

// The arithmetic of widening, reducing and compositing, value by value (worked out by hand).
class PngSampleTest : public testing::TestWithParam<SampleCase> {};

TEST_P(PngSampleTest, ConvertsExactly) {
  EXPECT_EQ(Decode(EncodeRawPng(GetParam().raw)).At(0, 0), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Values, PngSampleTest,
    testing::Values(
        // 2-bit grey 1 and 4-bit grey 7 widen to 85 and 119
        SampleCase{"grey2", OnePixel(PngColour::kGrey, 2, {1}), 0x00555555},
        SampleCase{"grey4", OnePixel(PngColour::kGrey, 4, {7}), 0x00777777},
        // 16 bits: 128 * 255 + 32767 < 65535 -> 0; 129 -> 1; 257 * v -> v; 65535 -> 255
        SampleCase{"grey16low", OnePixel(PngColour::kGrey, 16, {128}), 0x00000000},
        SampleCase{"grey16justOver", OnePixel(PngColour::kGrey, 16, {129}), 0x00010101},
        SampleCase{"grey16of8bit", OnePixel(PngColour::kGrey, 16, {200 * 257}), 0x00C8C8C8},
        SampleCase{"rgb16", OnePixel(PngColour::kRgb, 16, {65535, 32767, 32768}), 0x00807FFF},
        // 32767 * 255 / 65535 = 127.498 and 32768 * 255 / 65535 = 127.502
        SampleCase{"rgb16half", OnePixel(PngColour::kRgb, 16, {32767, 32768, 0}), 0x0000807F},
        // alpha over white at 8 bits: (c * a + 255 * (255 - a)) / 255 rounded
        // at alpha 200: 100 -> 34025 / 255 = 133.43 -> 133, 0 -> 55, 255 -> 255; 0 at 1: 254
        SampleCase{"rgba8", OnePixel(PngColour::kRgba, 8, {100, 0, 255, 200}), 0x00FF3785},
        SampleCase{"rgba8almostClear", OnePixel(PngColour::kRgba, 8, {0, 0, 0, 1}), 0x00FEFEFE},
        SampleCase{"rgba8clear", OnePixel(PngColour::kRgba, 8, {0, 77, 255, 0}), kWhite},
        SampleCase{"rgba8opaque", OnePixel(PngColour::kRgba, 8, {1, 2, 3, 255}), 0x00030201},
        // 0 at 128: 32385 / 255 = 127 exactly
        SampleCase{"greyAlpha8", OnePixel(PngColour::kGreyAlpha, 8, {0, 128}), 0x007F7F7F},
        // 16 bits exactly, one rounding: 0 at 32768: 65535 * 32767 * 255 / 65535^2 = 127.498
        SampleCase{"greyAlpha16", OnePixel(PngColour::kGreyAlpha, 16, {0, 32768}), 0x007F7F7F},
        // 0 at 32767: 32768 * 255 / 65535 = 127.502 -> 128
        SampleCase{"greyAlpha16other", OnePixel(PngColour::kGreyAlpha, 16, {0, 32767}), 0x00808080},
        // 8-bit values written at 16 bits (v * 257, alpha 65535) give back exactly v
        SampleCase{"rgba16opaque",
                   OnePixel(PngColour::kRgba, 16, {18 * 257, 52 * 257, 86 * 257, 65535}),
                   0x00563412},
        SampleCase{"rgba16clear", OnePixel(PngColour::kRgba, 16, {0, 0, 0, 0}), kWhite},
        // palette alpha 128 over white: (200, 100, 0) -> (227, 177, 127)
        SampleCase{
            "paletteAlpha",
            WithPalette(OnePixel(PngColour::kPalette, 8, {1}), {kBlack, 0x000064C8}, {255, 128}),
            0x007FB1E3},
        // entries beyond a short tRNS are opaque
        SampleCase{"paletteShortTrns",
                   WithPalette(OnePixel(PngColour::kPalette, 8, {1}), {kBlack, 0x000064C8}, {0}),
                   0x000064C8},
        // a key with bits above the depth: only the low bits count (0x0180 -> 0x80)
        SampleCase{"greyKeyHighBits", WithGreyKey(OnePixel(PngColour::kGrey, 8, {0x80}), 0x0180),
                   kWhite},
        SampleCase{"greyKeyOther", WithGreyKey(OnePixel(PngColour::kGrey, 8, {0x81}), 0x80),
                   0x00818181},
        SampleCase{"greyKey2bit", WithGreyKey(OnePixel(PngColour::kGrey, 2, {2}), 2), kWhite}),
    RowName);

// A 24 x 10 RGB picture to damage, with its chunks: IHDR, a tEXt, IDAT, IEND.
PixelGrid GoodGrid() { return Section(24, 10, kColours); }
std::string Good() {
  const std::string png = EncodePng(GoodGrid());
  return InsertChunk(png, 1, MakeChunk("tEXt", std::string("Title\0beam", 10)));
}
std::string Palette8() {
  PngOptions options;
  options.colour = PngColour::kPalette;
  return EncodePng(GoodGrid(), options);
}
// The same in stored deflate blocks (no compression): one row is 73 bytes of the stream.
std::string Stored() {
  PngOptions options;
  options.compression = 0;
  return EncodePng(GoodGrid(), options);
}
// Byte `at` of the data of chunk number `index`.
std::size_t InChunk(const std::string& png, std::size_t index, std::size_t at) {
  return PngChunks(png).at(index).offset + 8 + at;
}
// Byte `at` of the data of the first chunk of `type` (negative: of its checksum, from the end).
std::size_t In(const std::string& png, const std::string& type, long at) {
  const PngChunk c = PngChunks(png).at(ChunkIndex(png, type));
  return at >= 0 ? c.offset + 8 + static_cast<std::size_t>(at)
                 : c.offset + 12 + c.length - static_cast<std::size_t>(-at);
}
std::string WithIhdrField(std::size_t at, std::uint32_t value, bool big = true,
                          std::string png = Good()) {
  if (big) {
    PutBigEndian32(png, 16 + at, value);
  } else {
    png[16 + at] = static_cast<char>(value);
  }
  FixChunkCrc(png, 8);
  return png;
}
std::string WithStream(const std::string& png, const std::string& stream) {
  return WithIdatStream(png, stream);
}
// The rows of GoodGrid as filtered scanlines (filter byte 0 each).
std::string RawRows(int rows, unsigned char filter = 0) {
  const PixelGrid g = GoodGrid();
  std::string raw;
  for (int y = 0; y < rows; ++y) {
    raw += static_cast<char>(filter);
    for (int x = 0; x < g.Width(); ++x) {
      const std::uint32_t c = g.At(x, y);
      raw += static_cast<char>(c & 0xFF);
      raw += static_cast<char>((c >> 8) & 0xFF);
      raw += static_cast<char>((c >> 16) & 0xFF);
    }
  }
  return raw;
}
std::string Truncated(const std::string& png, std::size_t keep) { return png.substr(0, keep); }
std::string CutAfter(const std::string& png, const std::string& type, long extra = 0) {
  const PngChunk c = PngChunks(png).at(ChunkIndex(png, type));
  return png.substr(0,
                    static_cast<std::size_t>(static_cast<long>(c.offset + 12 + c.length) + extra));
}
std::string Declaring(std::uint32_t width, std::uint32_t height) {
  return WithIhdrField(4, height, true, WithIhdrField(0, width));
}

// The bytes are made when the row runs, not when the table is registered: every process that
// lists or runs one test would otherwise deflate the bombs first.
struct HostileCase {
  const char* label;
  std::function<std::string()> bytes;
  std::string reason;
};
void PrintTo(const HostileCase& c, std::ostream* os) { *os << c.label; }

class PngHostileTest : public testing::TestWithParam<HostileCase> {};

TEST_P(PngHostileTest, IsRefusedWithReason) {
  EXPECT_EQ(Refusal(GetParam().bytes()), GetParam().reason);
}

const std::string kCrc = "a chunk is damaged (its checksum does not match)";

INSTANTIATE_TEST_SUITE_P(
    Files, PngHostileTest,
    testing::Values(
        HostileCase{"empty", [] { return ""; }, "the file is empty"},
        // the signature's line-end bytes mangled, as a text-mode transfer does
        HostileCase{"badSignature", [] { return Flipped(Good(), 4, 0x07); },
                    "the file is not a PNG picture"},
        HostileCase{"signatureOnly", [] { return Truncated(Good(), 8); }, "the header ends early"},
        HostileCase{"cutIhdr", [] { return Truncated(Good(), 20); }, "the header ends early"},
        HostileCase{"noIhdrFirst",
                    [] {
                      return InsertChunk(Good(), 0,
                                         MakeChunk("gAMA", std::string("\0\0\xB1\x8F", 4)));
                    },
                    "the file does not begin with its header chunk (IHDR)"},
        // checksum errors in critical chunks and, by decision, in ancillary ones
        HostileCase{"crcIhdr", [] { return Flipped(Good(), 29); }, kCrc},
        HostileCase{"crcIhdrData", [] { return Flipped(Good(), 19); }, kCrc},
        // stored deflate blocks: inflate takes any bytes, the chunk's checksum finds the damage
        HostileCase{"crcIdat",
                    [] {
                      return Flipped(SplitIdat(Stored(), 73),
                                     InChunk(SplitIdat(Stored(), 73), 4, 40));
                    },
                    kCrc},
        HostileCase{"crcIdatSum", [] { return Flipped(Good(), In(Good(), "IDAT", -1)); }, kCrc},
        HostileCase{"crcPlte", [] { return Flipped(Palette8(), In(Palette8(), "PLTE", 2)); }, kCrc},
        HostileCase{"crcText", [] { return Flipped(Good(), In(Good(), "tEXt", 1)); }, kCrc},
        HostileCase{"crcIend", [] { return Flipped(Good(), Good().size() - 1); }, kCrc},
        // truncation at several points
        HostileCase{"cutAfterIhdr", [] { return CutAfter(Good(), "IHDR"); }, "the file ends early"},
        HostileCase{"cutInText", [] { return CutAfter(Good(), "tEXt", -6); },
                    "the file ends early"},
        HostileCase{"cutInIdat", [] { return Truncated(Good(), In(Good(), "IDAT", 20)); },
                    "the file ends early"},
        HostileCase{"cutInLaterIdat",
                    [] {
                      return Truncated(SplitIdat(Stored(), 73),
                                       InChunk(SplitIdat(Stored(), 73), 6, 20));
                    },
                    "the pixel data ends early"},
        HostileCase{"cutBeforeIend", [] { return CutAfter(Good(), "IDAT"); },
                    "the file ends before its end chunk (IEND)"},
        HostileCase{"cutIendChecksum", [] { return Truncated(Good(), Good().size() - 4); },
                    "the file ends before its end chunk (IEND)"},
        HostileCase{"cutInIend", [] { return Truncated(Good(), Good().size() - 2); },
                    "the file ends before its end chunk (IEND)"},
        HostileCase{
            "iendReplaced",
            [] { return CutAfter(Good(), "IDAT") + MakeChunk("tEXt", std::string("a\0b", 3)); },
            "the file ends before its end chunk (IEND)"},
        // declared sizes refused before anything is allocated
        HostileCase{"width0", [] { return WithIhdrField(0, 0); }, "the width 0 is not valid"},
        HostileCase{"height2pow31", [] { return WithIhdrField(4, 0x80000000u); },
                    "the height 2147483648 is not valid"},
        HostileCase{"wide", [] { return WithIhdrField(0, 2000000); },
                    "the width 2000000 exceeds the limit of 1048576 pixels"},
        HostileCase{"tall", [] { return WithIhdrField(4, 1048577); },
                    "the height 1048577 exceeds the limit of 1048576 pixels"},
        HostileCase{"huge", [] { return Declaring(100000, 100000); },
                    "the picture size 100000x100000 exceeds the limit of 1073741824 pixels"},
        // a decompression bomb: within the limits, but no deflate stream this short holds it
        HostileCase{"bomb", [] { return Declaring(30000, 30000); },
                    "the file is too small to hold a picture of 30000x30000 pixels"},
        // IHDR fields the format does not have
        HostileCase{"rgbDepth4", [] { return WithIhdrField(8, 4, false); },
                    "the bit depth 4 is not valid for colour type 2"},
        HostileCase{"colourType5", [] { return WithIhdrField(9, 5, false); },
                    "the colour type 5 is not valid"},
        HostileCase{"compression1", [] { return WithIhdrField(10, 1, false); },
                    "the compression method 1 is not supported"},
        HostileCase{"interlace2", [] { return WithIhdrField(12, 2, false); },
                    "the interlace method 2 is not supported"},
        // the pixel data
        HostileCase{"inflateError",
                    [] {
                      std::string stream = IdatStream(Good());
                      stream[2] = static_cast<char>(stream[2] | 0x06);  // block type 3
                      return WithStream(Good(), stream);
                    },
                    "the compressed pixel data is damaged"},
        HostileCase{"adlerOnlyStream",
                    [] { return WithStream(Good(), std::string("\x78\x9C", 2)); },
                    "the pixel data ends early"},
        HostileCase{"streamEndsEarly", [] { return WithStream(Good(), Deflate(RawRows(7))); },
                    "the pixel data ends early"},
        HostileCase{"unknownFilter", [] { return WithStream(Good(), Deflate(RawRows(10, 7))); },
                    "the pixel data is damaged (a row has an unknown filter type)"},
        HostileCase{"idatMissing", [] { return RemoveChunk(Good(), ChunkIndex(Good(), "IDAT")); },
                    "the chunks are not in a valid order"},
        HostileCase{"idatSplitByText",
                    [] {
                      return InsertChunk(SplitIdat(Stored(), 73), ChunkIndex(Stored(), "IDAT") + 1,
                                         MakeChunk("tEXt", std::string("a\0b", 3)));
                    },
                    "the pixel data ends early"},
        HostileCase{"unknownCritical",
                    [] { return InsertChunk(Good(), 1, MakeChunk("ABCD", "data")); },
                    "the file holds a critical chunk of an unknown type"},
        // palettes
        HostileCase{"paletteMissing",
                    [] { return RemoveChunk(Palette8(), ChunkIndex(Palette8(), "PLTE")); },
                    "the palette is missing"},
        // a second, different palette would silently recolour the picture
        HostileCase{"paletteTwice",
                    [] {
                      const std::string png = Palette8();
                      const PngChunk plte = PngChunks(png)[ChunkIndex(png, "PLTE")];
                      std::string other = png.substr(plte.offset + 8, plte.length);
                      std::reverse(other.begin(), other.end());
                      return InsertChunk(png, ChunkIndex(png, "PLTE") + 1,
                                         MakeChunk("PLTE", other));
                    },
                    "the palette is stored twice"},
        HostileCase{"paletteIndex",
                    [] {
                      RawPng raw = OnePixel(PngColour::kPalette, 8, {5});
                      raw.width = 1;
                      raw.palette = {kBlack, kWhite};
                      return EncodeRawPng(raw);
                    },
                    "a pixel refers to palette entry 5, but the palette has 2 entries"},
        HostileCase{"paletteIndex1bit",
                    [] {
                      RawPng raw = OnePixel(PngColour::kPalette, 1, {1});
                      raw.palette = {kBlack};
                      return EncodeRawPng(raw);
                    },
                    "a pixel refers to palette entry 1, but the palette has 1 entry"},
        // a zTXt chunk that inflates beyond the limit for extra chunks
        HostileCase{"textBomb",
                    [] {
                      return InsertChunk(
                          Good(), 1,
                          MakeChunk("zTXt",
                                    std::string("Comment\0\0", 9) +
                                        Deflate(std::string(kMaxPngChunkBytes + 1, ' '), 9)));
                    },
                    "its text, colour profile or other extra chunks are larger than the reader "
                    "accepts"},
        // many small text chunks, 100 KB in all: their number is what is refused
        HostileCase{"thousandsOfTextChunks",
                    [] {
                      std::string png = Good();
                      const std::string text = MakeChunk("tEXt", std::string("a\0b", 3));
                      std::string many;
                      for (int i = 0; i < 1500; ++i) many += text;
                      return InsertChunk(png, 1, many);
                    },
                    "it holds too many chunks: more than 1000 text or other extra chunks"}),
    RowName);

struct OddCase {
  const char* comment;
  std::function<std::string()> bytes;
};
void PrintTo(const OddCase& c, std::ostream* os) { *os << c.comment; }

// Files that are unusual but follow the format: they load with the colours of GoodGrid.
class PngOddTest : public testing::TestWithParam<OddCase> {};

TEST_P(PngOddTest, LoadsTheSection) { EXPECT_EQ(Decode(GetParam().bytes()), GoodGrid()); }

INSTANTIATE_TEST_SUITE_P(
    Files, PngOddTest,
    testing::Values(
        // about one IDAT chunk per row
        OddCase{"oneIdatPerRow", [] { return SplitIdat(Stored(), 73); }},
        OddCase{"oneIdatPerByte", [] { return SplitIdat(Good(), 1); }},
        OddCase{"zeroLengthIdats", [] { return SplitIdat(Good(), 30, true); }},
        OddCase{
            "zeroLengthIdatFirst",
            [] { return InsertChunk(Good(), ChunkIndex(Good(), "IDAT"), MakeChunk("IDAT", "")); }},
        OddCase{"unknownAncillaryBefore",
                [] { return InsertChunk(Good(), 1, MakeChunk("quUx", "anything")); }},
        OddCase{
            "unknownAncillaryAfter",
            [] { return InsertChunk(Good(), ChunkIndex(Good(), "IEND"), MakeChunk("quUx", "x")); }},
        OddCase{
            "bigUnknownAncillary",
            [] { return InsertChunk(Good(), 1, MakeChunk("quUx", std::string(3 << 20, 'q'))); }},
        // colour management is ignored: the stored samples are the colours
        OddCase{"colourManagement",
                [] {
                  return InsertChunk(
                      InsertChunk(
                          InsertChunk(Good(), 1, MakeChunk("gAMA", std::string("\0\0\x27\x10", 4))),
                          1, MakeChunk("sRGB", std::string("\1", 1))),
                      1, MakeChunk("iCCP", std::string("icc\0\0", 5) + Deflate("profile bytes")));
                }},
        OddCase{"sbit", [] { return InsertChunk(Good(), 1, MakeChunk("sBIT", "\4\4\4")); }},
        // an ancillary chunk whose contents break the format but whose checksum is right
        OddCase{"gammaZero",
                [] { return InsertChunk(Good(), 1, MakeChunk("gAMA", std::string(4, '\0'))); }},
        OddCase{"textAfterPixels",
                [] {
                  return InsertChunk(
                      Good(), ChunkIndex(Good(), "IEND"),
                      MakeChunk("zTXt", std::string("Comment\0\0", 9) + Deflate("after")));
                }},
        // data after IEND belongs to no chunk
        OddCase{"bytesAfterIend", [] { return Good() + "trailing bytes"; }},
        // the zlib stream ends inside an IDAT followed by more, empty of pixels
        OddCase{
            "streamThenEmptyIdat",
            [] { return InsertChunk(Good(), ChunkIndex(Good(), "IEND"), MakeChunk("IDAT", "")); }}),
    RowName);

TEST(PngReaderTest, PngNamedBmpLoadsAsPng) {
  TempDir dir;
  WriteAll(dir.File("section.bmp"), Good());
  EXPECT_EQ(ReadPicture(dir.File("section.bmp")), GoodGrid());
  // and its damage is told in the PNG reader's words
  WriteAll(dir.File("cut.bmp"), CutAfter(Good(), "IDAT"));
  try {
    ReadPicture(dir.File("cut.bmp"));
    FAIL() << "accepted";
  } catch (const Error& e) {
    EXPECT_EQ(std::string(e.what()), "Cannot read picture " + dir.File("cut.bmp") +
                                         ": the file ends before its end chunk (IEND)");
  }
}

TEST(PngReaderTest, FileThatIsNeitherGetsTheBmpReadersWords) {
  TempDir dir;
  WriteAll(dir.File("a.png"), Flipped(Good(), 1));
  try {
    ReadPicture(dir.File("a.png"));
    FAIL() << "accepted";
  } catch (const Error& e) {
    EXPECT_EQ(std::string(e.what()),
              "Cannot read picture " + dir.File("a.png") +
                  ": damaged PNG signature (the file begins almost as a PNG picture does)");
  }
  std::string png = Good();
  const std::vector<unsigned char> bytes(png.begin(), png.end());
  EXPECT_EQ(DecodePicture(bytes.data(), bytes.size(), kName), GoodGrid());
}

TEST(PngReaderTest, LargeFileReadInManyPiecesAndIntoAReusedGrid) {
  // Stored deflate blocks: some megabytes, read through many refills of the reader's buffer.
  TempDir dir;
  const PixelGrid grid = Section(1500, 700, kColours);
  PngOptions options;
  options.compression = 0;
  options.interlaced = true;
  WriteAll(dir.File("big.png"), EncodePng(grid, options));
  PixelGrid spare(1500, 700, kBlack);
  const std::uint32_t* memory = spare.Data();
  const PixelGrid read = ReadPicture(dir.File("big.png"), std::move(spare));
  EXPECT_EQ(read, grid);
  EXPECT_EQ(read.Data(), memory);
}

TEST(PngReaderTest, LargePicturesAreRefusedAsSmallOnesAre) {
  // Large enough to be converted on a second thread while the rows are inflated.
  RawPng raw;
  raw.width = 1200;
  raw.height = 1000;
  raw.colour = PngColour::kPalette;
  raw.samples.assign(1200 * 1000, 1);
  raw.samples[1200 * 990 + 7] = 9;
  raw.palette = {kBlack, kWhite};
  const std::string badIndex = EncodeRawPng(raw);
  EXPECT_EQ(Refusal(badIndex), "a pixel refers to palette entry 9, but the palette has 2 entries");
  raw.samples[1200 * 990 + 7] = 0;
  raw.interlaced = true;
  raw.compression = 0;
  const std::string good = SplitIdat(EncodeRawPng(raw), 1 << 16);
  PixelGrid expected(1200, 1000, kWhite);
  expected.Set(7, 990, kBlack);
  EXPECT_EQ(Decode(good), expected);
  EXPECT_EQ(Refusal(Truncated(good, good.size() / 2)), "the pixel data ends early");
}

}  // namespace
}  // namespace qv::test
