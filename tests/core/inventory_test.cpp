// Colour inventory: discovery order, bounding boxes and unnamed colours.
#include "core/scan/inventory.h"

#include <gtest/gtest.h>

#include <map>
#include <random>

#include "core/base/colour_label.h"
#include "core/base/thread_pool.h"
#include "core/library/dd_props.h"
#include "core/scan/found_colours.h"
#include "core/section/integration.h"
#include "support/grid_builder.h"
#include "support/material_library.h"
#include "support/restricted_run.h"

namespace qv::test {
namespace {

// The literal scan: column by column, every pixel looked up by label.
std::vector<FoundColour> ColumnMajorScan(const PixelGrid& g, bool ignoreDollar) {
  std::vector<FoundColour> out;
  std::map<std::string, std::size_t> at;
  for (int x = 0; x < g.Width(); ++x) {
    for (int y = 0; y < g.Height(); ++y) {
      const std::string label = ColourToLabel(static_cast<ColourValue>(g.At(x, y)));
      auto it = at.find(label);
      if (it == at.end()) {
        if (ignoreDollar && label[0] == '$') continue;
        it = at.emplace(label, out.size()).first;
        out.push_back(FoundColour{g.At(x, y), label, x, x, y, y});
      }
      FoundColour& f = out[it->second];
      f.xmin = std::min(f.xmin, x);
      f.xmax = std::max(f.xmax, x);
      f.ymin = std::min(f.ymin, y);
      f.ymax = std::max(f.ymax, y);
    }
  }
  return out;
}

void ExpectSame(const std::vector<FoundColour>& a, const std::vector<FoundColour>& b) {
  ASSERT_EQ(a.size(), b.size());
  for (std::size_t i = 0; i < a.size(); ++i) {
    EXPECT_EQ(a[i].label, b[i].label) << i;
    EXPECT_EQ(a[i].xmin, b[i].xmin) << a[i].label;
    EXPECT_EQ(a[i].xmax, b[i].xmax) << a[i].label;
    EXPECT_EQ(a[i].ymin, b[i].ymin) << a[i].label;
    EXPECT_EQ(a[i].ymax, b[i].ymax) << a[i].label;
  }
}

TEST(InventoryTest, OneColourSpansThePicture) {
  const auto found = ScanColours(MakeGrid(7, 5, kWhite), true);
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0].label, "clWhite");  // white is listed like any colour
  EXPECT_EQ(found[0].xmin, 0);
  EXPECT_EQ(found[0].xmax, 6);
  EXPECT_EQ(found[0].ymin, 0);
  EXPECT_EQ(found[0].ymax, 4);
}

TEST(InventoryTest, DiscoveryOrderIsColumnByColumn) {
  // Red first met at (0, 5), blue at (1, 0): red comes first although blue is in the top row.
  PixelGrid g = MakeGrid(4, 8, kWhite, {{0, 5, 0, 5, kRed}, {1, 0, 3, 0, kBlue}});
  const auto found = ScanColours(g, true);
  ASSERT_EQ(found.size(), 3u);
  EXPECT_EQ(found[0].label, "clWhite");
  EXPECT_EQ(found[1].label, "clRed");
  EXPECT_EQ(found[2].label, "clBlue");
  // A colour only in column 0 has xmin = xmax = 0.
  EXPECT_EQ(found[1].xmin, 0);
  EXPECT_EQ(found[1].xmax, 0);
}

TEST(InventoryTest, UnnamedColoursFollowTheOption) {
  PixelGrid g = MakeGrid(3, 3, 0x00FEFFFF, {{1, 1, 1, 1, kRed}});
  const auto ignoring = ScanColours(g, true);
  ASSERT_EQ(ignoring.size(), 1u);
  EXPECT_EQ(ignoring[0].label, "clRed");
  const auto all = ScanColours(g, false);
  ASSERT_EQ(all.size(), 2u);
  EXPECT_EQ(all[0].label, "$00FEFFFF");
  EXPECT_TRUE(ScanColours(MakeGrid(2, 2, 0x00123456), true).empty());

  // How many were left out, and the note when that left nothing to list.
  LeftOutColours leftOut{99, 99};
  EXPECT_EQ(ScanColourBounds(g, true, {}, 0, &leftOut).size(), 1u);
  EXPECT_EQ(leftOut.colours, 1u);
  EXPECT_EQ(leftOut.pixels, 8u);
  EXPECT_EQ(UnnamedColoursNote(1, leftOut, UnnamedColoursHint::AllOption), std::nullopt);
  const PixelGrid unnamed = MakeGrid(4, 4, 0x00123456, {{1, 1, 2, 2, 0x00654321}});
  EXPECT_TRUE(ScanColourBounds(unnamed, true, {}, 0, &leftOut).empty());
  EXPECT_EQ(leftOut.colours, 2u);
  EXPECT_EQ(UnnamedColoursNote(0, leftOut, UnnamedColoursHint::SettingsDialog),
            "All 2 colours of the picture are unnamed (\"$\" labels) and left out of the list; "
            "switch off \"ignore color names starting with $\" under Info > About ... settings "
            "to list them.");
  EXPECT_EQ(UnnamedColoursNote(0, {1, 4}, UnnamedColoursHint::AllOption),
            "The one colour of the picture is unnamed (\"$\" labels) and left out of the list; "
            "--all lists them.");
  EXPECT_TRUE(ScanColourBounds(unnamed, false, {}, 0, &leftOut).size() == 2u &&
              leftOut.colours == 0u && leftOut.pixels == 0u);
}

TEST(InventoryTest, ColoursLeftOutBesideNamedOnesAreCountedInTheirPixels) {
  // A section painted a shade off red on white: 12 pixels of $000000FE, one of $00FFFFFE.
  const PixelGrid g = MakeGrid(8, 6, kWhite, {{1, 1, 4, 3, 0x000000FE}, {7, 5, 7, 5, 0x00FFFFFE}});
  LeftOutColours leftOut;
  EXPECT_EQ(ScanColourBounds(g, true, {}, 0, &leftOut).size(), 1u);
  EXPECT_EQ(UnnamedColoursNote(1, leftOut, UnnamedColoursHint::AllOption), std::nullopt);
  EXPECT_EQ(LeftOutColoursNote(1, leftOut, UnnamedColoursHint::AllOption),
            "13 pixels in 2 unnamed colours (\"$\" labels) are left out of the list; --all lists "
            "them.");
  EXPECT_EQ(LeftOutColoursNote(1, {1, 1}, UnnamedColoursHint::AllArgument),
            "1 pixel in 1 unnamed colour (\"$\" labels) is left out of the list; all=True lists "
            "them.");
  // Nothing listed is UnnamedColoursNote's to tell; nothing left out, nothing to tell.
  EXPECT_EQ(LeftOutColoursNote(0, leftOut, UnnamedColoursHint::AllOption), std::nullopt);
  EXPECT_EQ(LeftOutColoursNote(3, {}, UnnamedColoursHint::AllOption), std::nullopt);
  // Listed all, the most pixels first.
  const std::vector<ColourBounds> all = ScanColourBounds(g, false);
  EXPECT_EQ(UnnamedColoursText(all, 5), "$000000FE (12 pixels), $00FFFFFE (1 pixel)");
  EXPECT_EQ(UnnamedColoursText(all, 1), "$000000FE (12 pixels), and 1 more");
  EXPECT_EQ(UnnamedColoursText(ScanColourBounds(MakeGrid(2, 2, kRed), false), 5), "");
}

// Every colour's pixel count is the literal count, whichever path the scan takes.
void ExpectPixelCounts(const PixelGrid& g, int threads) {
  std::map<std::uint32_t, std::uint64_t> expected;
  for (int y = 0; y < g.Height(); ++y) {
    for (int x = 0; x < g.Width(); ++x) ++expected[g.At(x, y)];
  }
  const std::vector<ColourBounds> found = ScanColourBounds(g, false, {}, threads);
  ASSERT_EQ(found.size(), expected.size());
  for (const ColourBounds& c : found) ASSERT_EQ(c.pixels, expected[c.value]) << c.value;
}

TEST(InventoryTest, MatchesTheColumnScanOnRandomPictures) {
  std::mt19937 rng(7);
  for (int round = 0; round < 6; ++round) {
    const int w = 1 + static_cast<int>(rng() % 150);
    const int h = 1 + static_cast<int>(rng() % 300);
    PixelGrid g(w, h);
    const std::uint32_t palette[] = {kWhite, kRed, kBlue, 0x00FEFFFF, 0x00000001, kBlack};
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) g.Set(x, y, palette[rng() % (round % 2 ? 6 : 3)]);
    }
    for (bool ignore : {true, false}) {
      const auto expected = ColumnMajorScan(g, ignore);
      ExpectSame(ScanColours(g, ignore, {}, 1), expected);
      ExpectSame(ScanColours(g, ignore, {}, 2), expected);
    }
    ExpectPixelCounts(g, 1);
    ExpectPixelCounts(g, 2);
  }
}

TEST(InventoryTest, ManyDistinctColoursAndProgress) {
  PixelGrid g(300, 300);
  for (int y = 0; y < 300; ++y) {
    for (int x = 0; x < 300; ++x) g.Set(x, y, static_cast<std::uint32_t>(x * 300 + y + 100));
  }
  std::int64_t last = -1, total = 0;
  const auto found = ScanColours(g, false, [&](std::int64_t done, std::int64_t all) {
    EXPECT_GE(done, last);
    last = done;
    total = all;
  });
  ASSERT_EQ(found.size(), 90000u);
  EXPECT_EQ(last, 90000);
  EXPECT_EQ(total, 90000);
  for (std::size_t i = 0; i < found.size(); ++i) {
    ASSERT_EQ(found[i].value, i + 100);  // column-major numbering
  }
}

TEST(InventoryTest, MillionsOfColoursTakeThePartitionedPathWithTheSameResult) {
  // More distinct colours than the hash tables take: numbered column by column, so the
  // discovery order is the numbering; a few repeats make boxes larger than one pixel.
  const int w = 1100, h = 1000;
  for (std::uint32_t top : {0x00000000u, 0x7F000000u}) {  // the second cannot be partitioned
    PixelGrid g(w, h);
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) g.Set(x, y, top | static_cast<std::uint32_t>(x * h + y));
    }
    g.Set(w - 1, h - 1, top | 5u);  // colour 5 (first at (0, 5)) again at the far corner
    for (int threads : {1, 2}) {
      std::int64_t last = -1;
      const auto found = ScanColours(
          g, false,
          [&](std::int64_t done, std::int64_t) {
            EXPECT_GE(done, last);
            last = done;
          },
          threads);
      ASSERT_EQ(found.size(), static_cast<std::size_t>(w * h - 1)) << threads;
      EXPECT_EQ(last, static_cast<std::int64_t>(w) * h);
      bool ordered = true;
      for (std::size_t i = 0; i + 1 < found.size() && ordered; ++i)
        ordered = found[i].value < found[i + 1].value;
      EXPECT_TRUE(ordered);
      EXPECT_EQ(found[5].value, top | 5u);
      EXPECT_EQ(found[5].xmax, w - 1);
      EXPECT_EQ(found[5].ymax, h - 1);
      EXPECT_EQ(found[5].ymin, 5);
      EXPECT_EQ(found[5].label, ColourToLabel(static_cast<ColourValue>(top | 5u)));
    }
    ExpectPixelCounts(g, 2);
  }
}

TEST(InventoryTest, MillionsOfRandomColoursMatchTheColumnScan) {
  // Random 24-bit colours with repeats, more than the hash tables take: the partitioned path's
  // boxes and their order must be the literal scan's, with and without unnamed colours.
  const int w = 1200, h = 1100;
  std::mt19937 rng(11);
  PixelGrid g(w, h);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      // Every eighth pixel repeats one of a few named colours; the rest are random.
      g.Set(x, y, rng() % 8 == 0 ? (rng() % 2 ? kRed : kBlue) : (rng() & 0x00FFFFFFu));
    }
  }
  for (bool ignore : {false, true}) {
    const auto expected = ColumnMajorScan(g, ignore);
    if (!ignore) {
      ASSERT_GT(expected.size(), std::size_t{1} << 20);
    }
    ExpectSame(ScanColours(g, ignore, {}, 2), expected);
  }
  ExpectPixelCounts(g, 2);
}

TEST(InventoryTest, FoundColoursGiveEntriesWithIdsInOrderAndFindByExactLabel) {
  const FoundColours found(ScanColourBounds(MakeGrid(4, 4, kWhite, {{2, 1, 3, 2, kRed}}), true));
  ASSERT_EQ(found.Size(), 2u);
  EXPECT_EQ(found.Labels(), (std::vector<std::string>{"clWhite", "clRed"}));
  EXPECT_EQ(found.Find("clRed"), 1u);
  EXPECT_EQ(found.Find("clred"), std::nullopt);      // labels match byte for byte
  EXPECT_EQ(found.Find("$000000FF"), std::nullopt);  // the name is the label, not the number
  EXPECT_EQ(found.Find("clBlue"), std::nullopt);
  const TPROPRec red = found.Entry(1);
  EXPECT_EQ(red.id, 2);
  EXPECT_EQ(red.prop.colorlabel, "clRed");
  EXPECT_EQ(red.prop.xmin, 2);
  EXPECT_EQ(red.prop.xmax, 3);
  EXPECT_EQ(red.prop.ymin, 1);
  EXPECT_EQ(red.prop.ymax, 2);
  EXPECT_EQ(red.prop.E, 1);
  EXPECT_FALSE(red.inUse);
  // As a container, for the data window: ids in order and MaxId set.
  const TPROPClass list = found.AsContainer();
  ASSERT_EQ(list.Count(), 2);
  EXPECT_EQ(list.FindByLabel("clWhite")->id, 1);
  EXPECT_EQ(list.MaxId(), 2);
}

TEST(InventoryTest, ScansAndTheSolversPoolDoAllOnTheCallersThreadWhenNoThreadCanBeStarted) {
  // No helper starts, and every result is the one of four threads.
  PixelGrid grid =
      MakeGrid(300, 200, kWhite, {{10, 10, 280, 60, kRed}, {100, 61, 140, 190, kBlue}});
  for (int x = 0; x < 300; x += 3) grid.Set(x, 199, 0x00010000u + static_cast<std::uint32_t>(x));
  const TPROPClass library = LibraryOf({{"clRed", 210000, 7850}, {"clBlue", 11000, 500}});
  const std::vector<ColourBounds> colours = ScanColourBounds(grid, false, {}, 4);
  const SectionMoments moments = ScanMoments(grid, library, {}, 4);
  RunWithoutNewThreads([&] {
    const std::vector<ColourBounds> again = ScanColourBounds(grid, false, {}, 4);
    ASSERT_EQ(again.size(), colours.size());
    for (std::size_t i = 0; i < colours.size(); ++i) {
      EXPECT_EQ(again[i].value, colours[i].value);
      EXPECT_EQ(again[i].xmin, colours[i].xmin);
      EXPECT_EQ(again[i].ymax, colours[i].ymax);
    }
    const SectionMoments m = ScanMoments(grid, library, {}, 4);
    ASSERT_EQ(m.materials.size(), 2u);
    for (std::size_t i = 0; i < 2; ++i) {
      EXPECT_EQ(m.materials[i].count, moments.materials[i].count);
      EXPECT_TRUE(m.materials[i].sumXY == moments.materials[i].sumXY);
    }
    ThreadPool pool(4);
    EXPECT_EQ(pool.Parts(), 1);
    std::int64_t covered = 0;
    pool.ForRange(100000, [&](std::int64_t begin, std::int64_t end) { covered += end - begin; });
    EXPECT_EQ(covered, 100000);
  });
}

}  // namespace
}  // namespace qv::test
