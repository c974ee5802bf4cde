// PNG pictures read a few rows at a time: the rows equal the whole reader's picture in every
// colour type and however they are visited, damage that lies late in the file is refused in the
// whole reader's words with no row after it handed over, a file written over between two passes
// is refused, and the scans over such rows give what the scans of the decoded grid give.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "core/base/error.h"
#include "core/picture/picture_reader.h"
#include "core/picture/pixel_rows.h"
#include "core/scan/edge_smoothing.h"
#include "core/scan/inventory.h"
#include "core/scan/moments.h"
#include "core/session/session.h"
#include "support/grid_builder.h"
#include "support/material_library.h"
#include "support/png_writer.h"
#include "support/row_visits.h"

namespace qv::test {
namespace {

std::string ReaderFailure(const std::string& path) {
  try {
    ReadPicture(path);
  } catch (const Error& e) {
    return e.what();
  }
  return "none";
}

// 600 x 400 pixels: blocks of about a hundred rows, so a visit of all rows runs the decoding
// part beside the converting one. `kinds` colours: 2 (black and white), 4 or many (random).
PixelGrid Picture(int kinds) {
  PixelGrid g =
      MakeGrid(600, 400, kWhite, {{30, 20, 569, 59, kBlack}, {280, 60, 319, 379, kBlack}});
  if (kinds >= 4) {
    g.FillRect(30, 340, 569, 379, kRed);
    g.FillRect(0, 0, 9, 399, kBlue);
  }
  if (kinds > 4) {
    std::mt19937 rng(5);
    for (int y = 100; y < 399; y += 3) {
      for (int x = 0; x < 600; x += 7) g.Set(x, y, rng() & 0x00FFFFFFu);
    }
  }
  return g;
}

PngOptions Options(PngColour colour, int depth, std::optional<std::uint32_t> transparent = {}) {
  PngOptions o;
  o.colour = colour;
  o.depth = depth;
  o.transparent = transparent;
  return o;
}

TEST(PngRowsTest, RowsEqualTheWholeReadersPictureInEveryColourTypeHoweverVisited) {
  TempDir dir;
  struct Case {
    const char* label;
    int kinds;
    PngOptions options;
  };
  const std::vector<Case> cases = {
      {"grey 1", 2, Options(PngColour::kGrey, 1)},
      {"grey 2", 2, Options(PngColour::kGrey, 2)},
      {"grey 4", 2, Options(PngColour::kGrey, 4)},
      {"grey 8", 2, Options(PngColour::kGrey, 8)},
      {"grey 16", 2, Options(PngColour::kGrey, 16)},
      {"grey 8 keyed", 2, Options(PngColour::kGrey, 8, kBlack)},
      {"grey alpha 8", 2, Options(PngColour::kGreyAlpha, 8, kBlack)},
      {"grey alpha 16", 2, Options(PngColour::kGreyAlpha, 16)},
      {"palette 1", 2, Options(PngColour::kPalette, 1)},
      {"palette 2", 4, Options(PngColour::kPalette, 2)},
      {"palette 4", 4, Options(PngColour::kPalette, 4, kRed)},
      {"palette 8", 4, Options(PngColour::kPalette, 8)},
      {"rgb 8", 5, Options(PngColour::kRgb, 8)},
      {"rgb 8 keyed", 4, Options(PngColour::kRgb, 8, kRed)},
      {"rgb 16", 5, Options(PngColour::kRgb, 16)},
      {"rgba 8", 5, Options(PngColour::kRgba, 8, kBlue)},
      {"rgba 16", 5, Options(PngColour::kRgba, 16, kBlue)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    const std::string path = dir.File("picture.png");
    WriteAll(path, EncodePng(Picture(c.kinds), c.options));
    const PixelGrid decoded = ReadPicture(path);
    const std::unique_ptr<PixelRows> rows = OpenPictureRows(path);
    ASSERT_NE(rows, nullptr);
    EXPECT_TRUE(rows->InOrder());
    EXPECT_EQ(rows->Grid(), nullptr);
    ASSERT_EQ(rows->Width(), 600);
    ASSERT_EQ(rows->Height(), 400);
    // In one visit, again from the top, and in bands two threads visit by turns (each visit
    // above the decoder's row decodes from the top again).
    EXPECT_EQ(Collect(*rows, 1, 400), decoded);
    EXPECT_EQ(Collect(*rows, 1, 400), decoded);
    EXPECT_EQ(Collect(*rows, 2, 97), decoded);
    EXPECT_EQ(Failure(*rows), "none");
  }
  // One row, and a width whose blocks hold one row each.
  for (const PixelGrid& g :
       {MakeGrid(5, 1, kRed), MakeGrid(70001, 3, kWhite, {{5, 1, 9, 2, kRed}})}) {
    const std::string path = dir.File("odd.png");
    WriteAll(path, EncodePng(g));
    const std::unique_ptr<PixelRows> rows = OpenPictureRows(path);
    ASSERT_NE(rows, nullptr);
    EXPECT_EQ(Collect(*rows, 1, g.Height()), g);
    EXPECT_EQ(Failure(*rows), "none");
  }
}

TEST(PngRowsTest, InterlacedPicturesAreReadWholeAndHeadersAreRefusedAsByTheReader) {
  TempDir dir;
  PngOptions interlaced;
  interlaced.interlaced = true;
  WriteAll(dir.File("adam7.png"), EncodePng(Picture(4), interlaced));
  EXPECT_EQ(OpenPictureRows(dir.File("adam7.png")), nullptr);

  const std::string good = EncodePng(Picture(4));
  std::string twoPalettes = EncodePng(Picture(4), Options(PngColour::kPalette, 8));
  const std::size_t plte = ChunkIndex(twoPalettes, "PLTE");
  const PngChunk palette = PngChunks(twoPalettes).at(plte);
  twoPalettes =
      InsertChunk(twoPalettes, plte, twoPalettes.substr(palette.offset, 12 + palette.length));
  for (const std::string& damaged :
       {good.substr(0, 20), Flipped(good, 29), twoPalettes, std::string("\x89PNG\r\n\x1a\n", 8)}) {
    const std::string path = dir.File("bad.png");
    WriteAll(path, damaged);
    std::string byRows;
    try {
      OpenPictureRows(path);
    } catch (const Error& e) {
      byRows = e.what();
    }
    EXPECT_NE(ReaderFailure(path), "none");
    EXPECT_EQ(byRows, ReaderFailure(path));
  }
}

TEST(PngRowsTest, DamageLateInTheFileIsRefusedInTheReadersWordsAndNoRowAfterItIsHandedOver) {
  TempDir dir;
  const int w = 600, h = 400;
  // An 8-bit palette picture of three entries with two pixels beyond them, far down.
  RawPng raw;
  raw.width = w;
  raw.height = h;
  raw.colour = PngColour::kPalette;
  raw.palette = {kWhite, kRed, kBlue};
  raw.samples.assign(static_cast<std::size_t>(w) * h, 1);
  raw.samples[370 * w + 3] = 9;
  raw.samples[390 * w + 3] = 7;
  const std::string beyond = EncodeRawPng(raw);
  // A picture in many IDAT chunks: the last one's checksum is only checked at its end.
  const std::string split = SplitIdat(EncodePng(Picture(5)), 8192);
  const PngChunk lastIdat = [&] {
    PngChunk last;
    for (const PngChunk& c : PngChunks(split)) {
      if (c.type == "IDAT") last = c;
    }
    return last;
  }();
  struct Case {
    const char* label;
    std::string bytes;
    std::string reason;
    int lastRowHanded;  // no row below it may be handed over
  };
  const std::vector<Case> cases = {
      {"palette", beyond, "a pixel refers to palette entry 9, but the palette has 3 entries", 369},
      {"cut in the pixel data", split.substr(0, lastIdat.offset + 100), "", h - 2},
      {"last IDAT damaged", Flipped(split, lastIdat.offset + 8 + lastIdat.length),
       "a chunk is damaged (its checksum does not match)", h - 1},
      {"no end chunk", split.substr(0, split.size() - 12),
       "the file ends before its end chunk (IEND)", h - 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    const std::string path = dir.File("late.png");
    WriteAll(path, c.bytes);
    const std::string byReader = ReaderFailure(path);
    ASSERT_NE(byReader, "none");
    if (!c.reason.empty()) {
      EXPECT_EQ(byReader, "Cannot read picture " + path + ": " + c.reason);
    }
    const std::unique_ptr<PixelRows> rows = OpenPictureRows(path);
    ASSERT_NE(rows, nullptr);
    int handedEnd = 0;
    rows->Visit(0, 0, h, [&](const RowBlock& block) {
      EXPECT_EQ(block.first, handedEnd);
      handedEnd = block.end;
    });
    EXPECT_LE(handedEnd - 1, c.lastRowHanded);
    EXPECT_EQ(Failure(*rows), byReader);
    // The session keeping the file lists nothing and says what the reader says.
    SectionSession session;
    session.SetPictureStreaming(true);
    ASSERT_TRUE(session.AcceptPicture(path));
    try {
      session.ColourInventory();
      ADD_FAILURE() << "listed";
    } catch (const Error& e) {
      EXPECT_EQ(e.what(), byReader);
    }
    EXPECT_FALSE(session.InventoryDone());
    EXPECT_TRUE(session.FoundLabels().empty());
  }
}

TEST(PngRowsTest, AFileWrittenOverBetweenTwoPassesIsRefused) {
  TempDir dir;
  const PixelGrid a = MakeGrid(2000, 300, kWhite, {{100, 0, 1899, 299, kRed}});
  const PixelGrid b = MakeGrid(2000, 300, kWhite, {{0, 0, 999, 299, kRed}});
  std::string pngA = EncodePng(a), pngB = EncodePng(b);
  const std::size_t size = std::max(pngA.size(), pngB.size());
  pngA.resize(size, '\0');
  pngB.resize(size, '\0');
  const std::string path = dir.File("s.png");
  WriteAll(path, pngA);
  const std::unique_ptr<PixelRows> rows = OpenPictureRows(path);
  ASSERT_NE(rows, nullptr);
  EXPECT_EQ(Collect(*rows, 1, 300), a);
  EXPECT_EQ(Failure(*rows), "none");
  // Written in place, its times set back: the pieces read again differ from the first pass's.
  struct stat before {};
  ASSERT_EQ(::stat(path.c_str(), &before), 0);
  const int fd = ::open(path.c_str(), O_WRONLY);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::pwrite(fd, pngB.data(), pngB.size(), 0), static_cast<ssize_t>(pngB.size()));
  ::close(fd);
  const timespec old[2] = {before.st_atim, before.st_mtim};
  ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), old, 0), 0);
  Collect(*rows, 1, 300, false);
  EXPECT_EQ(Failure(*rows), path + " changed while it was read");
}

TEST(PngRowsTest, ScansOfPngRowsEqualScansOfTheGrid) {
  TempDir dir;
  // Colours met first in various orders, a colour in two places, runs across block edges.
  PixelGrid grid = MakeGrid(1201, 700, kWhite,
                            {{10, 5, 1190, 40, kRed},
                             {540, 41, 560, 620, kBlue},
                             {10, 621, 1190, 650, kRed},
                             {0, 100, 3, 699, kLime},
                             {200, 60, 200, 60, kBlack}});
  for (int x = 0; x < 1201; x += 7) grid.Set(x, 698, static_cast<std::uint32_t>(x));
  const std::string path = dir.File("section.png");
  WriteAll(path, EncodePng(grid));
  const TPROPClass library =
      LibraryOf({{"clRed", 210000, 7850}, {"clBlue", 11000, 500, false}, {"clLime", 30000, 2400}});
  for (int threads : {1, 2}) {
    SCOPED_TRACE(threads);
    const std::unique_ptr<PixelRows> rows = OpenPictureRows(path);
    ASSERT_NE(rows, nullptr);
    MomentsTally tally(MaterialsOfColours(library), BandWorkers(rows->Height(), threads));
    std::vector<std::int64_t> progress;
    const std::optional<std::vector<ColourBounds>> found = ScanColourBounds(
        *rows, false, [&](std::int64_t done, std::int64_t) { progress.push_back(done); }, threads,
        [&](int worker, const RowBlock& block) { tally.Add(worker, block); });
    ASSERT_TRUE(found.has_value());
    // Progress rises to the whole, a band's worth of rows at a time.
    ASSERT_GE(progress.size(), 2u);
    EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
    EXPECT_EQ(progress.back(), std::int64_t{1201} * 700);
    const std::vector<ColourBounds> expected = ScanColourBounds(grid, false, {}, threads);
    ASSERT_EQ(found->size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
      EXPECT_EQ((*found)[i].value, expected[i].value);
      EXPECT_EQ((*found)[i].xmin, expected[i].xmin);
      EXPECT_EQ((*found)[i].xmax, expected[i].xmax);
      EXPECT_EQ((*found)[i].ymin, expected[i].ymin);
      EXPECT_EQ((*found)[i].ymax, expected[i].ymax);
    }
    const std::optional<SectionMoments> gathered = MomentsInUseFrom(tally.Result(), library);
    const SectionMoments streamed = ScanMoments(*rows, library, {}, threads);
    const SectionMoments scanned = ScanMoments(grid, library, {}, threads);
    ASSERT_TRUE(gathered.has_value());
    for (const SectionMoments* m : {&*gathered, &streamed}) {
      ASSERT_EQ(m->materials.size(), scanned.materials.size());
      for (std::size_t i = 0; i < scanned.materials.size(); ++i) {
        const MaterialMoments &x = m->materials[i], &y = scanned.materials[i];
        EXPECT_EQ(x.count, y.count);
        EXPECT_TRUE(x.sumX == y.sumX && x.sumY == y.sumY && x.sumXX == y.sumXX &&
                    x.sumYY == y.sumYY && x.sumXY == y.sumXY);
      }
    }
    EXPECT_EQ(Failure(*rows), "none");
  }
  // The smoothing check's two passes over the file find what they find in memory.
  const PixelGrid smoothed = SmoothedDiagonal(700);
  WriteAll(path, EncodePng(smoothed));
  const std::unique_ptr<PixelRows> rows = OpenPictureRows(path);
  ASSERT_NE(rows, nullptr);
  const EdgeSmoothing fromFile = FindEdgeSmoothing(*rows);
  const EdgeSmoothing inMemory = FindEdgeSmoothing(smoothed);
  ASSERT_EQ(inMemory.smoothed.size(), 2u);
  ASSERT_EQ(fromFile.smoothed.size(), 2u);
  EXPECT_EQ(fromFile.inBetweenColours, inMemory.inBetweenColours);
  EXPECT_EQ(fromFile.inBetweenPixels, inMemory.inBetweenPixels);
  for (std::size_t i = 0; i < 2; ++i) {
    EXPECT_EQ(fromFile.smoothed[i].value, inMemory.smoothed[i].value);
    EXPECT_EQ(fromFile.smoothed[i].edgePixels, inMemory.smoothed[i].edgePixels);
    EXPECT_EQ(fromFile.smoothed[i].touchingPixels, inMemory.smoothed[i].touchingPixels);
  }
}

}  // namespace
}  // namespace qv::test
