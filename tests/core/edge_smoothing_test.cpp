// Tests of the recognition of smoothed (anti-aliased) drawings: which colours count as blends,
// the 1 % threshold on a material's edge, and the note's wording.
#include "core/scan/edge_smoothing.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "support/grid_builder.h"
#include "support/row_name.h"

namespace qv::test {
namespace {

constexpr std::uint32_t kPink = 0x008080FF;   // between red and white
constexpr std::uint32_t kRose = 0x005555FF;   // nearer red
constexpr std::uint32_t kBlush = 0x00AAAAFF;  // nearer white
constexpr std::uint32_t kGreen = 0x0000FF00;

struct Expected {
  std::uint32_t colour;
  std::int64_t edgePixels;
  std::int64_t touchingPixels;
};

struct SmoothingCase {
  const char* comment;
  std::function<PixelGrid()> make;
  std::vector<Expected> smoothed;
  std::int64_t inBetweenColours;
};
void PrintTo(const SmoothingCase& c, std::ostream* os) { *os << c.comment; }

// A 100 x 100 red square at (10, 10) on a white 120 x 120 picture, with `blends` pink pixels
// just above its top edge, each touching one red edge pixel and three white pixels.
PixelGrid SquareWithBlends(int blends) {
  PixelGrid g = MakeGrid(120, 120, kWhite, {{10, 10, 109, 109, kRed}});
  for (int i = 0; i < blends; ++i) g.Set(20 + 10 * i, 9, kPink);
  return g;
}

// The rows of a grid handed over a few at a time, as rows read from a file are: each block is a
// copy that is overwritten once its call returns, so no row may be used after its block.
class ChoppedRows final : public PixelRows {
 public:
  ChoppedRows(const PixelGrid& grid, int blockRows) : mGrid(grid), mBlockRows(blockRows) {}
  int Width() const override { return mGrid.Width(); }
  int Height() const override { return mGrid.Height(); }
  const PixelGrid* Grid() const override { return nullptr; }
  void Visit(int, int first, int end, const std::function<void(const RowBlock&)>& use) override {
    for (int top = first; top < end; top += mBlockRows) {
      const int bottom = std::min(end, top + mBlockRows);
      mBuffer.assign(mGrid.Row(top), mGrid.Row(top) + std::ptrdiff_t{bottom - top} * Width());
      use(RowBlock{top, bottom, Width(), mBuffer.data()});
      std::fill(mBuffer.begin(), mBuffer.end(), 0x00ABCDEFu);
    }
  }

 private:
  const PixelGrid& mGrid;
  int mBlockRows;
  std::vector<std::uint32_t> mBuffer;
};

// Rows of a file that is rewritten between the two passes: the second reads `later`.
class RewrittenRows final : public PixelRows {
 public:
  RewrittenRows(const PixelGrid& first, const PixelGrid& later) : mFirst(first), mLater(later) {}
  int Width() const override { return mFirst.Width(); }
  int Height() const override { return mFirst.Height(); }
  const PixelGrid* Grid() const override { return nullptr; }
  void Visit(int, int first, int end, const std::function<void(const RowBlock&)>& use) override {
    if (first == 0) ++mPasses;
    const PixelGrid& grid = mPasses > 1 ? mLater : mFirst;
    use(RowBlock{first, end, Width(), grid.Row(first)});
  }

 private:
  const PixelGrid& mFirst;
  const PixelGrid& mLater;
  int mPasses = 0;
};

class EdgeSmoothingTest : public testing::TestWithParam<SmoothingCase> {};

TEST_P(EdgeSmoothingTest, FindsTheSmoothedMaterialColours) {
  const PixelGrid picture = GetParam().make();
  const auto check = [&](const EdgeSmoothing& found) {
    std::vector<Expected> smoothed;
    for (const SmoothedColour& s : found.smoothed) {
      smoothed.push_back({static_cast<std::uint32_t>(s.value), s.edgePixels, s.touchingPixels});
    }
    ASSERT_EQ(smoothed.size(), GetParam().smoothed.size());
    for (std::size_t i = 0; i < smoothed.size(); ++i) {
      EXPECT_EQ(smoothed[i].colour, GetParam().smoothed[i].colour) << i;
      EXPECT_EQ(smoothed[i].edgePixels, GetParam().smoothed[i].edgePixels) << i;
      EXPECT_EQ(smoothed[i].touchingPixels, GetParam().smoothed[i].touchingPixels) << i;
    }
    EXPECT_EQ(found.inBetweenColours, smoothed.empty() ? 0 : GetParam().inBetweenColours);
  };
  check(FindEdgeSmoothing(picture));
  // The same from rows that come a block at a time, the blocks' edges anywhere.
  for (int blockRows : {1, 2, 3, 7}) {
    SCOPED_TRACE(blockRows);
    ChoppedRows rows(picture, blockRows);
    check(FindEdgeSmoothing(rows));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Pictures, EdgeSmoothingTest,
    testing::Values(
        SmoothingCase{"flat colours", [] { return SquareWithBlends(0); }, {}, 0},
        SmoothingCase{"one colour", [] { return MakeGrid(5, 4, kRed); }, {}, 0},
        // 3 of the square's 396 edge pixels touch a blend: 0.76 %, not more than 1 %; the white
        // around the blends has 400 edge pixels, 9 of them at a blend
        SmoothingCase{"three blends", [] { return SquareWithBlends(3); }, {{kWhite, 400, 9}}, 1},
        // 4 of 396: 1.01 %; the red square has more pixels and comes first
        SmoothingCase{"four blends",
                      [] { return SquareWithBlends(4); },
                      {{kRed, 396, 4}, {kWhite, 400, 12}},
                      1},
        // a smoothed diagonal: below it red, above it white, on it blends of three strengths
        SmoothingCase{"smoothed diagonal",
                      [] { return SmoothedDiagonal(30); },
                      // 435 pixels each, so the lower value first; the edge pixels are those
                      // at x = y - 1 and x = y + 1, 29 of each colour
                      {{kRed, 29, 29}, {kWhite, 29, 29}},
                      3},
        // two columns of blends between a red and a white half, each blend between its
        // neighbours
        SmoothingCase{"blend chain",
                      [] {
                        return MakeGrid(
                            20, 10, kWhite,
                            {{0, 0, 8, 9, kRed}, {9, 0, 9, 9, kRose}, {10, 0, 10, 9, kBlush}});
                      },
                      {{kRed, 10, 10}, {kWhite, 10, 10}},
                      2},
        // a wall one pixel thick on the background touches the background alone
        SmoothingCase{"thin line",
                      [] {
                        return MakeGrid(40, 20, kWhite, {{0, 10, 39, 10, kBlack}});
                      },
                      {},
                      0},
        // a thin line of a colour of its own between two materials is no blend of them
        SmoothingCase{"glue line",
                      [] {
                        return MakeGrid(
                            30, 10, kWhite,
                            {{0, 0, 13, 9, kRed}, {14, 0, 14, 9, kGreen}, {15, 0, 29, 9, kBlue}});
                      },
                      {},
                      0},
        // noise: no colour has an inside, so there is no material to be smoothed
        SmoothingCase{"noise",
                      [] {
                        PixelGrid g(40, 40);
                        for (std::size_t i = 0; i < g.Size(); ++i) {
                          g.Data()[i] = static_cast<std::uint32_t>(i * 2654435761u) & 0x00FFFFFF;
                        }
                        return g;
                      },
                      {},
                      0},
        // beyond kMaxEdgeColours colours the picture is not examined, smoothed or not
        SmoothingCase{"photograph",
                      [] {
                        PixelGrid g = SquareWithBlends(50);
                        PixelGrid big(600, 600);
                        for (std::size_t i = 0; i < big.Size(); ++i) {
                          big.Data()[i] = static_cast<std::uint32_t>(i);
                        }
                        for (int y = 0; y < 120; ++y) {
                          for (int x = 0; x < 120; ++x) big.Set(x, y, g.At(x, y));
                        }
                        return big;
                      },
                      {},
                      0}),
    RowName);

TEST(EdgeSmoothingTest, AFileRewrittenBetweenThePassesEndsTheCheck) {
  // The second pass meets colours the first never saw, blends among them: the check ends with
  // what it can tell, rather than looking for facts it does not have.
  const PixelGrid first = SquareWithBlends(4);
  PixelGrid later = SmoothedDiagonal(120);
  later.FillRect(0, 0, 119, 5, kGreen);
  for (int x = 0; x < 120; x += 2) later.Set(x, 6, 0x00123456u + static_cast<std::uint32_t>(x));
  RewrittenRows rows(first, later);
  const EdgeSmoothing found = FindEdgeSmoothing(rows);
  EXPECT_EQ(found.inBetweenColours, 1);
  for (const SmoothedColour& s : found.smoothed) {
    EXPECT_TRUE(s.value == kRed || s.value == kWhite) << s.value;
  }
}

TEST(EdgeSmoothingTest, NoteNamesUpToThreeColours) {
  EdgeSmoothing found;
  EXPECT_EQ(EdgeSmoothingNote(found), std::nullopt);
  found.inBetweenColours = 1;
  found.inBetweenPixels = 1;
  found.smoothed = {{static_cast<ColourValue>(kRed), 10, 1}};
  EXPECT_EQ(EdgeSmoothingNote(found),
            "the picture looks smoothed (anti-aliased): 1 colour with 1 pixel lies only along the "
            "edges of clRed and belong to no material; save the drawing without smoothing (see "
            "\"Drawing a section\" in the manual)");
  found.inBetweenColours = 212;
  found.inBetweenPixels = 1830;
  found.smoothed.push_back({static_cast<ColourValue>(kWhite), 10, 1});
  EXPECT_EQ(EdgeSmoothingNote(found),
            "the picture looks smoothed (anti-aliased): 212 colours with 1830 pixels lie only "
            "along the edges of clRed and clWhite and belong to no material; save the drawing "
            "without smoothing (see \"Drawing a section\" in the manual)");
  found.smoothed.push_back({static_cast<ColourValue>(kBlue), 10, 1});
  found.smoothed.push_back({static_cast<ColourValue>(0x00123456), 10, 1});
  found.smoothed.push_back({static_cast<ColourValue>(kBlack), 10, 1});
  EXPECT_NE(EdgeSmoothingNote(found)->find("edges of clRed, clWhite, clBlue and 2 more and"),
            std::string::npos);
}

TEST(EdgeSmoothingTest, TheWindowsNoteOffersToReadTheEdgesAsCoverage) {
  EdgeSmoothing found;
  EXPECT_EQ(EdgeSmoothingNote(found, EdgeSmoothingHint::CoverageSetting), std::nullopt);
  found.inBetweenColours = 212;
  found.inBetweenPixels = 1830;
  found.smoothed = {{static_cast<ColourValue>(kRed), 10, 1}};
  EXPECT_EQ(EdgeSmoothingNote(found, EdgeSmoothingHint::CoverageSetting),
            "Smoothed edges: 1830 blended pixels belong to no material; tick \"read smoothed "
            "edges as coverage\" in Info > About ... settings");
  found.inBetweenPixels = 1;
  EXPECT_EQ(EdgeSmoothingNote(found, EdgeSmoothingHint::CoverageSetting),
            "Smoothed edges: 1 blended pixel belongs to no material; tick \"read smoothed edges "
            "as coverage\" in Info > About ... settings");
  found.inBetweenPixels = 1830;
  EXPECT_EQ(EdgeSmoothingNote(found, EdgeSmoothingHint::SaveWithoutSmoothing),
            EdgeSmoothingNote(found));
}

}  // namespace
}  // namespace qv::test
