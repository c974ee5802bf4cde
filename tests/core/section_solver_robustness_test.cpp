// The elastic solver's robustness: pixels that are not square, narrow gaps, moduli far from
// N/mm^2 and the refusals that name their cause, against the rectangle's series and the sum over
// separate plates.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>

#include "core/base/error.h"
#include "core/base/thread_pool.h"
#include "core/elastic/multigrid.h"
#include "core/elastic/section_solver.h"
#include "support/grid_builder.h"
#include "support/material_library.h"
#include "support/row_name.h"
#include "support/section_analysis.h"
#include "support/section_pictures.h"

namespace qv::test {
namespace {

// One material of E = 2 and nu = 0: G = 1, GJ = J, GA = A_s.
Analysis Rectangle(double widthMm, double heightMm, int widthPixels, int heightPixels,
                   const ElasticOptions& options = {}) {
  const PixelGrid grid = MakeGrid(widthPixels + 4, heightPixels + 4, kWhite,
                                  {{2, 2, widthPixels + 1, heightPixels + 1, kRed}});
  return Analyse(grid, {2, 2, widthPixels + 1, heightPixels + 1}, widthMm, heightMm,
                 LibraryOf({{"clRed", 2}}), ZeroPoisson({"clRed"}), options);
}

// --- pixel shape ------------------------------------------------------------------------------

struct PixelShapeCase {
  const char* what;
  double widthMm, heightMm;
  int widthPixels, heightPixels;
};
void PrintTo(const PixelShapeCase& c, std::ostream* os) { *os << c.what; }

class ElasticPixelShapeTest : public ::testing::TestWithParam<PixelShapeCase> {};

TEST_P(ElasticPixelShapeTest, GivesTheSeriesWithIterationsNearTheSquarePixels) {
  // The same 2:1 rectangle, 40 pixels across its short side, on square pixels.
  static const int squareIterations = Rectangle(20, 10, 80, 40).elastic->Iterations;
  const PixelShapeCase c = GetParam();
  const Analysis a = Rectangle(c.widthMm, c.heightMm, c.widthPixels, c.heightPixels);
  ASSERT_TRUE(a.elastic);
  EXPECT_NEAR(a.elastic->GJ / RectangleTorsionConstant(c.widthMm, c.heightMm), 1.0, 0.01);
  EXPECT_LE(a.elastic->Iterations, 2 * squareIterations) << squareIterations;
  // The shear functions of a rectangle are cubics: 5/6 of the area both ways.
  const double area = c.widthMm * c.heightMm;
  EXPECT_NEAR(a.elastic->GAy / area, 5.0 / 6, 1e-3);
  EXPECT_NEAR(a.elastic->GAz / area, 5.0 / 6, 1e-3);
}

INSTANTIATE_TEST_SUITE_P(
    Pixels, ElasticPixelShapeTest,
    ::testing::Values(PixelShapeCase{"square", 20, 10, 80, 40},
                      PixelShapeCase{"twice as tall as wide", 20, 10, 160, 40},
                      PixelShapeCase{"ten times as tall as wide", 20, 10, 800, 40},
                      PixelShapeCase{"twice as wide as tall", 10, 20, 40, 160},
                      PixelShapeCase{"ten times as wide as tall", 10, 20, 40, 800}),
    RowName);

// --- narrow gaps ------------------------------------------------------------------------------

// Two plates 101 and 100 pixels wide and 200 high at 0.1 mm, `gap` pixels apart: the gap starts at
// an odd column, so blocks of 2 x 2 pixels straddle it.
struct Plates {
  Analysis analysis;
  double exactGJ;
};
Plates TwoPlates(int gap) {
  const int second = 2 + 101 + gap;
  const PixelGrid grid = MakeGrid(second + 102, 204, kWhite,
                                  {{2, 2, 102, 201, kRed}, {second, 2, second + 99, 201, kRed}});
  const double width = (second + 100 - 2) * 0.1;
  return {Analyse(grid, {2, 2, second + 99, 201}, width, 20, LibraryOf({{"clRed", 2}}),
                  ZeroPoisson({"clRed"})),
          RectangleTorsionConstant(10.1, 20) + RectangleTorsionConstant(10, 20)};
}

TEST(ElasticGapTest, ANarrowGapCostsNoMoreIterationsAndNoFalseEstimate) {
  const Plates narrow = TwoPlates(2);
  const Plates wide = TwoPlates(9);
  ASSERT_TRUE(narrow.analysis.elastic && wide.analysis.elastic);
  const ElasticResult& n = *narrow.analysis.elastic;
  const ElasticResult& w = *wide.analysis.elastic;
  EXPECT_EQ(n.Parts, 2);
  EXPECT_LE(n.Iterations, 2 * w.Iterations);
  // Separate plates: the sum of the two, however close.
  EXPECT_NEAR(n.GJ / narrow.exactGJ, 1.0, 0.001);
  EXPECT_NEAR(n.GJ / w.GJ, 1.0, 1e-9);
  // Cells of 2 x 2 pixels would join the plates: no estimate, and the report says why.
  EXPECT_FALSE(n.HasErrorEstimate);
  EXPECT_EQ(n.WhyNoEstimate, ElasticResult::NoEstimate::Topology);
  // Nine pixels apart the coarser cells keep them apart, and the estimate is of the size of the
  // error against the series.
  ASSERT_TRUE(w.HasErrorEstimate);
  const double error = std::abs(w.GJ - wide.exactGJ);
  EXPECT_GT(w.GJErrorEstimate, 0.3 * error);
  EXPECT_LT(w.GJErrorEstimate, 3 * error);
}

// A level of cells on a size x size grid where `material` says so, red cells first, with the
// coefficients te and ts on every face.
CellLevel Level(int size, const std::function<bool(int, int)>& material, double te, double ts) {
  CellLevel c;
  c.nx = size;
  c.ny = size;
  for (const int colour : {0, 1}) {
    for (int y = 0; y < c.ny; ++y) {
      for (int x = 0; x < c.nx; ++x) {
        if (((x + y) & 1) == colour && material(x, y)) {
          c.cellX.push_back(x);
          c.cellY.push_back(y);
        }
      }
    }
  }
  c.Link();
  c.te.assign(c.cellX.size(), 0.0);
  c.ts.assign(c.cellX.size(), 0.0);
  for (std::size_t i = 0; i < c.cellX.size(); ++i) {
    if (c.East(i) >= 0) c.te[i] = te;
    if (c.South(i) >= 0) c.ts[i] = ts;
  }
  return c;
}

TEST(ElasticGapTest, CoarseCellsNeverSpanAGap) {
  // Two plates one cell apart, the left one with a slit one cell wide from its top to row 95;
  // blocks of 4 x 4 cells straddle both.
  const auto material = [](int x, int y) { return x != 62 && !(x == 33 && y < 96); };
  ThreadPool pool(2);
  const Multigrid grid(Level(128, material, 1, 1), 1, 1, pool);
  ASSERT_GE(grid.LevelCount(), 4);
  EXPECT_EQ(grid.PartCount(), 2);
  // Each cell's part, and which of left of the slit (1), right of it (2) and below its end (4)
  // its finer cells lie in.
  std::vector<int> part(static_cast<std::size_t>(grid.Fine().Cells()));
  for (std::size_t i = 0; i < part.size(); ++i) part[i] = grid.Part(i);
  std::vector<int> sides(part.size());
  for (std::size_t i = 0; i < sides.size(); ++i) {
    const int x = grid.Fine().cellX[i];
    sides[i] = grid.Fine().cellY[i] >= 96 ? 4 : x < 33 ? 1 : 2;
  }
  int mixedParts = 0;
  int slitSidesJoined = 0;
  for (const CoarseLevel& level : grid.Coarse()) {
    std::vector<int> coarsePart(static_cast<std::size_t>(level.Cells()), -1);
    std::vector<int> coarseSides(coarsePart.size(), 0);
    for (std::size_t i = 0; i < part.size(); ++i) {
      const auto p = static_cast<std::size_t>(level.parent[i]);
      if (coarsePart[p] >= 0 && coarsePart[p] != part[i]) ++mixedParts;
      coarsePart[p] = part[i];
      coarseSides[p] |= sides[i];
    }
    // The slit's two sides meet only in a cell that reaches below its end.
    for (const int s : coarseSides) {
      if ((s & 3) == 3 && (s & 4) == 0) ++slitSidesJoined;
    }
    part = coarsePart;
    sides = coarseSides;
  }
  EXPECT_EQ(mixedParts, 0);
  EXPECT_EQ(slitSidesJoined, 0);
}

TEST(ElasticGapTest, CellsLongAcrossTheirShortSideAreJoinedFirst) {
  // Cells eight times as tall as wide: the first coarser level joins four columns, the second
  // two, then the cells are square and the levels join 2 x 2.
  ThreadPool pool(1);
  const Multigrid grid(Level(
                           128, [](int, int) { return true; }, 8, 0.125),
                       1, 8, pool);
  ASSERT_GE(grid.Coarse().size(), 3u);
  EXPECT_EQ(grid.Coarse()[0].nx, 32);
  EXPECT_EQ(grid.Coarse()[0].ny, 128);
  EXPECT_EQ(grid.Coarse()[1].nx, 16);
  EXPECT_EQ(grid.Coarse()[1].ny, 128);
  EXPECT_EQ(grid.Coarse()[2].nx, 8);
  EXPECT_EQ(grid.Coarse()[2].ny, 64);
}

// --- moduli far from N/mm^2 -------------------------------------------------------------------

TEST(ElasticScaleTest, AnyPositiveModulusGivesTheSameValuesPerUnitE) {
  // One material, and two whose ratio stays that of steel to timber.
  const DrawnSection s = DrawSection(24, 16, 0.5, [](double u, double v) -> std::uint32_t {
    if (std::hypot(u - 3, v) < 3) return kWhite;
    return v < -4 ? kBlue : kRed;
  });
  for (const bool composite : {false, true}) {
    std::vector<ElasticResult> runs;
    for (const double e : {210000.0, 1e-250, 1e250}) {
      const TPROPClass lib =
          LibraryOf({{"clRed", e}, {"clBlue", composite ? e * (11000.0 / 210000) : e}});
      runs.push_back(*Analyse(s, lib, PoissonTable{}).elastic);
      runs.back().GJ /= e;
      runs.back().EIw /= e;
      runs.back().GAy /= e;
      runs.back().GAz /= e;
      runs.back().GJErrorEstimate /= e;
    }
    for (const ElasticResult& r : runs) {
      EXPECT_NEAR(r.GJ / runs[0].GJ, 1.0, 1e-12) << composite;
      EXPECT_NEAR(r.EIw / runs[0].EIw, 1.0, 1e-12) << composite;
      EXPECT_NEAR(r.GAy / runs[0].GAy, 1.0, 1e-12) << composite;
      EXPECT_NEAR(r.GAz / runs[0].GAz, 1.0, 1e-12) << composite;
      EXPECT_NEAR(r.ShearCentreHor, runs[0].ShearCentreHor, 1e-12 * s.widthMm) << composite;
      EXPECT_NEAR(r.ShearCentreVer, runs[0].ShearCentreVer, 1e-12 * s.heightMm) << composite;
      ASSERT_EQ(r.HasErrorEstimate, runs[0].HasErrorEstimate);
      if (r.HasErrorEstimate) {
        EXPECT_NEAR(r.GJErrorEstimate / runs[0].GJErrorEstimate, 1.0, 1e-9) << composite;
      }
      EXPECT_EQ(r.Iterations, runs[0].Iterations);
    }
  }
}

// --- refusals that name their cause -----------------------------------------------------------

struct TroubleCase {
  const char* what;
  std::function<PixelGrid()> picture;  // the section fills the picture less 2 pixels each side
  double red, blue;                    // E of the picture's two colours
  double widthMm, heightMm;
  const char* message;  // start of the error's text
  const char* cause;    // what else it must name
};
void PrintTo(const TroubleCase& c, std::ostream* os) { *os << c.what; }

class ElasticTroubleTest : public ::testing::TestWithParam<TroubleCase> {};

TEST_P(ElasticTroubleTest, RefusesNamingTheCause) {
  const TroubleCase& c = GetParam();
  const PixelGrid grid = c.picture();
  SectionResult section;
  try {
    ComputeElasticSection(grid, {2, 2, grid.Width() - 3, grid.Height() - 3},
                          LibraryOf({{"clRed", c.red}, {"clBlue", c.blue}}), PoissonTable{},
                          c.widthMm, c.heightMm, section);
    FAIL() << c.what;
  } catch (const Error& e) {
    EXPECT_EQ(std::string(e.what()).rfind(c.message, 0), 0u) << e.what();
    EXPECT_NE(std::string(e.what()).find(c.cause), std::string::npos) << e.what();
  }
}

PixelGrid Block() { return MakeGrid(44, 24, kWhite, {{2, 2, 41, 21, kRed}}); }
PixelGrid TwoLayers() {
  return MakeGrid(44, 24, kWhite, {{2, 2, 41, 11, kRed}, {2, 12, 41, 21, kBlue}});
}

INSTANTIATE_TEST_SUITE_P(
    Causes, ElasticTroubleTest,
    ::testing::Values(
        // a typed height 100 000 times the picture's proportion
        TroubleCase{"pixels far too tall", Block, 2, 2, 20, 1e6,
                    "The pixels are 1E5 times as tall as wide (0.5 x 5E4 mm); the torsion solver "
                    "takes pixels up to 1E4 times as long as wide",
                    "check the section's width and height"},
        // walls one pixel thick meeting in a corner: no loop, so the grid gives no J at all
        TroubleCase{"no closed loop",
                    [] {
                      return MakeGrid(44, 24, kWhite, {{2, 2, 41, 2, kRed}, {2, 2, 2, 21, kRed}});
                    },
                    2, 2, 20, 10, "The section has no closed loop of pixels",
                    "walls one pixel thick"},
        // layers whose stiffnesses no double resolves side by side: the residual stops halving
        TroubleCase{"moduli 1E30 apart", TwoLayers, 2, 2e-30, 20, 10,
                    "The torsion solve stalled after",
                    "the largest E in the section is 1E30 times the smallest"},
        // GJ of a 20 x 10 mm block beyond the largest number
        TroubleCase{"result beyond the range", Block, 1e308, 1e308, 20, 10,
                    "The extended values lie beyond the range of numbers", "E up to 1E308 N/mm^2"}),
    RowName);

}  // namespace
}  // namespace qv::test
