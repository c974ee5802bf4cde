// Pictures read a few rows at a time: the rows equal the decoded picture in every stored format,
// damaged pixels are refused in the reader's words, and the scans over such rows give what the
// scans of the decoded grid give.
#include "core/picture/pixel_rows.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "core/base/error.h"
#include "core/picture/picture_reader.h"
#include "core/scan/inventory.h"
#include "core/section/integration.h"
#include "support/bmp_writer.h"
#include "support/grid_builder.h"
#include "support/material_library.h"
#include "support/png_writer.h"
#include "support/row_visits.h"

namespace qv::test {
namespace {

PixelGrid RandomGrid(int width, int height, std::uint32_t seed) {
  std::mt19937 rng(seed);
  PixelGrid grid(width, height);
  for (std::size_t i = 0; i < grid.Size(); ++i) grid.Data()[i] = rng() & 0x00FFFFFFu;
  return grid;
}

TEST(PixelRowsTest, RowsReadFromTheFileEqualTheDecodedPictureInEveryStoredFormat) {
  TempDir dir;
  // Widths with and without row padding, one row, and a width whose blocks hold one row each.
  const PixelGrid wide = RandomGrid(70001, 3, 7);
  const PixelGrid tall = RandomGrid(37, 301, 8);
  struct Case {
    const char* label;
    std::string bytes;
  };
  BmpOptions topDown;
  topDown.topDown = true;
  BmpOptions bits32;
  bits32.bits = 32;
  bits32.filler = 0x5A;
  BmpOptions masks16;
  masks16.bits = 16;
  masks16.redMask = 0xF800, masks16.greenMask = 0x07E0, masks16.blueMask = 0x001F;
  BmpOptions masks32 = bits32;
  masks32.header = BmpHeader::kV5_124;
  masks32.redMask = 0x3FF00000, masks32.greenMask = 0x000FFC00, masks32.blueMask = 0x000003FF;
  BmpOptions palette8;
  palette8.bits = 8;
  BmpOptions palette4 = palette8;
  palette4.bits = 4;
  palette4.topDown = true;
  BmpOptions palette1 = palette8;
  palette1.bits = 1;
  palette1.header = BmpHeader::kCore12;
  const std::string padded = EncodeBmp24(RandomGrid(5, 9, 10));
  const std::vector<Case> cases = {
      {"24 bits, bottom-up", EncodeBmp(tall, BmpOptions{})},
      {"24 bits, top-down", EncodeBmp(tall, topDown)},
      {"24 bits, wide", EncodeBmp(wide, BmpOptions{})},
      {"24 bits, one row", EncodeBmp(RandomGrid(5, 1, 9), BmpOptions{})},
      {"24 bits, last padding cut", Truncated(padded, padded.size() - 1)},
      {"32 bits", EncodeBmp(tall, bits32)},
      {"16-bit masks", EncodeBmp(tall, masks16)},
      {"32-bit masks", EncodeBmp(tall, masks32)},
      {"8-bit palette",
       EncodeIndexedBmp(33, 40, IndexPattern(33, 40, 200), Palette(200), palette8)},
      {"4-bit palette", EncodeIndexedBmp(9, 40, IndexPattern(9, 40, 16), Palette(16), palette4)},
      {"1-bit palette", EncodeIndexedBmp(33, 17, IndexPattern(33, 17, 2), Palette(2), palette1)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    const std::string path = dir.File("picture.bmp");
    WriteAll(path, c.bytes);
    const PixelGrid decoded = ReadPicture(path);
    for (const auto& [workers, band] : {std::pair{1, 1000000}, {2, 1}, {3, 7}}) {
      const std::unique_ptr<PixelRows> rows = OpenPictureRows(path);
      ASSERT_NE(rows, nullptr);
      EXPECT_EQ(rows->Grid(), nullptr);
      EXPECT_EQ(Collect(*rows, workers, band), decoded) << workers << " workers";
      EXPECT_EQ(Failure(*rows), "none");
    }
  }
}

TEST(PixelRowsTest, CompressedAndPngPicturesAreReadWholeAndHeadersAreRefusedAsByTheReader) {
  TempDir dir;
  const std::vector<std::uint32_t> palette = Palette(4);
  WriteAll(dir.File("rle.bmp"),
           EncodeRleBmp(2, 1, 8, palette, RleStream(8).Run(2, 1).EndOfBitmap().Bytes()));
  EXPECT_EQ(OpenPictureRows(dir.File("rle.bmp")), nullptr);
  // A PNG picture is read in rows unless it is interlaced (png_rows_test.cpp).
  PngOptions interlaced;
  interlaced.interlaced = true;
  WriteAll(dir.File("png.bmp"), EncodePng(MakeGrid(4, 4, kRed), interlaced));
  EXPECT_EQ(OpenPictureRows(dir.File("png.bmp")), nullptr);

  const std::string bytes = EncodeBmp24(MakeGrid(40, 40, kRed));
  for (const std::string& damaged :
       {std::string("no picture"), Truncated(bytes, bytes.size() - 200)}) {
    WriteAll(dir.File("bad.bmp"), damaged);
    std::string byReader, byRows;
    try {
      ReadPicture(dir.File("bad.bmp"));
    } catch (const Error& e) {
      byReader = e.what();
    }
    try {
      OpenPictureRows(dir.File("bad.bmp"));
    } catch (const Error& e) {
      byRows = e.what();
    }
    EXPECT_FALSE(byReader.empty());
    EXPECT_EQ(byRows, byReader);
  }
  EXPECT_THROW(OpenPictureRows(dir.File("missing.bmp")), Error);
}

TEST(PixelRowsTest, DamagedPixelsAreRefusedInTheReadersWordsAndNeverHandedOver) {
  TempDir dir;
  const int w = 30, h = 50;
  std::vector<std::uint8_t> indices = IndexPattern(w, h, 5);
  // Two bad entries: the one nearer the start of the pixel data (the lower row, as the file is
  // stored bottom-up) is the one the reader names.
  indices[10 * w + 3] = 9;
  indices[40 * w + 3] = 7;
  BmpOptions options;
  options.bits = 8;
  const std::string path = dir.File("bad.bmp");
  WriteAll(path, EncodeIndexedBmp(w, h, indices, Palette(5), options));
  std::string byReader;
  try {
    ReadPicture(path);
  } catch (const Error& e) {
    byReader = e.what();
  }
  EXPECT_EQ(byReader, "Cannot read picture " + path +
                          ": a pixel refers to palette entry 7, but the palette has 5 entries");
  for (int workers : {1, 3}) {
    const std::unique_ptr<PixelRows> rows = OpenPictureRows(path);
    bool badRowHanded = false;
    std::vector<std::thread> threads;
    threads.reserve(static_cast<std::size_t>(workers));
    for (int t = 0; t < workers; ++t) {
      threads.emplace_back([&, t] {
        for (int first = t; first < h; first += workers) {
          rows->Visit(t, first, first + 1, [&](const RowBlock& block) {
            badRowHanded = badRowHanded || block.first == 10 || block.first == 40;
          });
        }
      });
    }
    for (std::thread& t : threads) t.join();
    EXPECT_FALSE(badRowHanded);
    EXPECT_EQ(Failure(*rows), byReader) << workers << " workers";
  }

  // A file that shrinks after it was opened.
  const std::string whole = EncodeBmp24(MakeGrid(20, 20, kBlue));
  WriteAll(path, whole);
  const std::unique_ptr<PixelRows> rows = OpenPictureRows(path);
  ASSERT_EQ(truncate(path.c_str(), static_cast<off_t>(whole.size() / 2)), 0);
  int handed = 0;
  rows->Visit(0, 0, 20, [&](const RowBlock& block) { handed += block.end - block.first; });
  EXPECT_LT(handed, 20);
  EXPECT_EQ(Failure(*rows), "Cannot read picture " + path + ": the pixel data ends early");
}

TEST(PixelRowsTest, ScansOfRowsReadFromTheFileEqualScansOfTheGrid) {
  TempDir dir;
  // Colours met first in various orders, a colour in two places, runs across band edges.
  PixelGrid grid = MakeGrid(301, 257, kWhite,
                            {{10, 5, 290, 40, kRed},
                             {140, 41, 160, 220, kBlue},
                             {10, 221, 290, 250, kRed},
                             {0, 100, 3, 256, kLime},
                             {200, 60, 200, 60, kBlack}});
  for (int x = 0; x < 301; x += 7) grid.Set(x, 255, 0x00000000u + static_cast<std::uint32_t>(x));
  const std::string path = dir.WritePicture("section.bmp", grid);
  TPROPClass library = LibraryOf({{"clRed", 210000, 7850},
                                  {"clBlue", 11000, 500, false},
                                  {"clLime", 30000, 2400},
                                  {"clAqua", 1, 1}});
  for (int threads : {1, 2, 3}) {
    SCOPED_TRACE(threads);
    const std::unique_ptr<PixelRows> rows = OpenPictureRows(path);
    MomentsTally tally(MaterialsOfColours(library), BandWorkers(rows->Height(), threads));
    const std::optional<std::vector<ColourBounds>> found =
        ScanColourBounds(*rows, false, {}, threads,
                         [&](int worker, const RowBlock& block) { tally.Add(worker, block); });
    ASSERT_TRUE(found.has_value());
    const std::vector<ColourBounds> expected = ScanColourBounds(grid, false, {}, threads);
    ASSERT_EQ(found->size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
      EXPECT_EQ((*found)[i].value, expected[i].value);
      EXPECT_EQ((*found)[i].xmin, expected[i].xmin);
      EXPECT_EQ((*found)[i].xmax, expected[i].xmax);
      EXPECT_EQ((*found)[i].ymin, expected[i].ymin);
      EXPECT_EQ((*found)[i].ymax, expected[i].ymax);
    }

    // The tap saw every pixel once: the moments of the colours in use taken from it are those
    // of a scan of the grid; the one not in use (blue) and the one not in the picture (aqua)
    // are there too, for a material list that changes later.
    const SectionMoments gathered = tally.Result();
    ASSERT_EQ(gathered.materials.size(), 4u);
    EXPECT_EQ(gathered.materials[1].count, 21 * 180);
    EXPECT_EQ(gathered.materials[3].count, 0);
    const std::optional<SectionMoments> inUse = MomentsInUseFrom(gathered, library);
    const SectionMoments scanned = ScanMoments(grid, library, {}, threads);
    const std::unique_ptr<PixelRows> again = OpenPictureRows(path);
    const SectionMoments streamed = ScanMoments(*again, library, {}, threads);
    ASSERT_TRUE(inUse.has_value());
    ASSERT_EQ(scanned.materials.size(), 3u);
    for (const SectionMoments* m : {&*inUse, &streamed}) {
      ASSERT_EQ(m->materials.size(), scanned.materials.size());
      for (std::size_t i = 0; i < scanned.materials.size(); ++i) {
        const MaterialMoments &a = m->materials[i], &b = scanned.materials[i];
        EXPECT_EQ(a.entry, b.entry);
        EXPECT_EQ(a.count, b.count);
        EXPECT_TRUE(a.sumX == b.sumX && a.sumY == b.sumY && a.sumXX == b.sumXX &&
                    a.sumYY == b.sumYY && a.sumXY == b.sumXY);
      }
    }
  }
  // A colour put in use that the gathering did not know.
  AddMaterial(library, {"clBlack", 5, 5});
  EXPECT_FALSE(MomentsInUseFrom(SectionMoments{MaterialsOfColours(LibraryOf({{"clRed"}}))}, library)
                   .has_value());
}

TEST(PixelRowsTest, MillionsOfColoursAreLeftToAScanOfTheWholeGrid) {
  TempDir dir;
  // Every pixel its own colour: their discovery order needs the picture in memory.
  PixelGrid grid(1100, 1000);
  for (std::size_t i = 0; i < grid.Size(); ++i) grid.Data()[i] = static_cast<std::uint32_t>(i);
  const std::string path = dir.WritePicture("noise.bmp", grid);
  const std::unique_ptr<PixelRows> rows = OpenPictureRows(path);
  EXPECT_FALSE(ScanColourBounds(*rows, false).has_value());
  GridRows inMemory(grid);
  const std::optional<std::vector<ColourBounds>> found = ScanColourBounds(inMemory, false);
  ASSERT_TRUE(found.has_value());
  EXPECT_EQ(found->size(), grid.Size());
}

}  // namespace
}  // namespace qv::test
