// Torsion and warping of drawings on their exact coverage: the cut cells' edges make GJ and EIw
// converge at second order in the cell size, checked against closed-form and converged values.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <numbers>
#include <ostream>
#include <string>
#include <vector>

#include "core/elastic/cut_cells.h"
#include "core/elastic/multigrid.h"
#include "core/session/session.h"
#include "core/session/session_report.h"
#include "support/grid_builder.h"
#include "support/material_library.h"
#include "support/outline_sections.h"
#include "support/row_name.h"
#include "support/section_analysis.h"
#include "support/section_pictures.h"

namespace qv::test {
namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kE = 210000;
constexpr double kG = kE / 2.6;
constexpr std::uint32_t kRed = 0x0000FF;

OutlineLoop Circle(double r) { return {{{-r, 0, 1}, {r, 0, 1}}}; }

// A b x t rectangle turned by `degrees` about its centre.
OutlineLoop TurnedRectangle(double b, double t, double degrees) {
  const double c = std::cos(degrees * kPi / 180), s = std::sin(degrees * kPi / 180);
  OutlineLoop loop;
  for (const auto& [x, y] :
       {std::pair{-b / 2, -t / 2}, {b / 2, -t / 2}, {b / 2, t / 2}, {-b / 2, t / 2}}) {
    loop.vertices.push_back({x * c - y * s, x * s + y * c, 0});
  }
  return loop;
}

// St Venant's series for the torsion constant of a b x t rectangle (b >= t).
double RectangleTorsion(double b, double t) {
  double sum = 0;
  for (int n = 1; n < 200; n += 2) sum += std::tanh(n * kPi * b / (2 * t)) / std::pow(n, 5);
  return b * t * t * t / 3 * (1 - 192 / std::pow(kPi, 5) * t / b * sum);
}

struct ConvergenceCase {
  const char* comment;
  OutlineDrawing drawing;
  double j;                   // mm^4
  std::vector<double> cells;  // mm, halving from the coarsest
  double finest;              // the solved GJ's error on the finest cells is below this
};
void PrintTo(const ConvergenceCase& c, std::ostream* os) { *os << c.comment; }

class CutCellTorsionTest : public ::testing::TestWithParam<ConvergenceCase> {
 protected:
  void SetUp() override {
    session.SetLibrary(std::make_unique<TPROPClass>(LibraryOf({{"clRed", kE, 7850}}, {})));
  }
  ElasticResult Solve(const OutlineDrawing& drawing, double cell) {
    const std::string path = dir.File("section.dxf");
    WriteAll(path, DxfOf(drawing));
    session.SetDrawingCellSize(cell);
    EXPECT_TRUE(session.AcceptPicture(path));
    session.ColourInventory();
    EXPECT_TRUE(session.AddColourToMaterialList("clRed"));
    EXPECT_EQ(session.Analyse(SectionSize{}), SectionSession::AnalyseOutcome::Done);
    EXPECT_EQ(session.ComputeElastic(), SectionSession::ElasticOutcome::Done);
    return session.Elastic() ? *session.Elastic() : ElasticResult{};
  }
  TempDir dir;
  SectionSession session;
};

// Averaged over the halvings, the solved GJ's error falls at an order of at least 1.5 (a
// stiffness averaged over the cut cells gives 1), the finest is within the case's bound, the
// value reported is within the estimate, and the estimate speaks of the drawn edge.
TEST_P(CutCellTorsionTest, GJConvergesAtSecondOrder) {
  const ConvergenceCase& c = GetParam();
  std::vector<ElasticResult> solved;
  for (const double cell : c.cells) solved.push_back(Solve(c.drawing, cell));
  const auto error = [&](double gj) { return gj / (kG * c.j) - 1; };
  const double first = std::abs(error(solved.front().GJSolved));
  const double last = std::abs(error(solved.back().GJSolved));
  const double halvings = static_cast<double>(c.cells.size() - 1);
  EXPECT_GT(std::log2(first / last) / halvings, 1.5) << first << " " << last;
  EXPECT_LT(last, c.finest);
  const ElasticResult& finest = solved.back();
  ASSERT_TRUE(finest.HasErrorEstimate);
  EXPECT_TRUE(finest.CutCells);
  EXPECT_LE(std::abs(finest.GJ - kG * c.j), finest.GJErrorEstimate);
}

INSTANTIATE_TEST_SUITE_P(
    Sections, CutCellTorsionTest,
    ::testing::Values(
        ConvergenceCase{"Disc",
                        OutlineDrawing{{{0x0000FF, {Circle(50)}}}},
                        kPi* std::pow(50, 4) / 2,
                        {4, 2, 1, 0.5},
                        3e-5},
        ConvergenceCase{"Tube",
                        OutlineDrawing{{{0x0000FF, {Circle(50), Circle(30)}}}},
                        kPi*(std::pow(50, 4) - std::pow(30, 4)) / 2,
                        {4, 2, 1, 0.5},
                        3e-5},
        ConvergenceCase{"TurnedRectangle",
                        OutlineDrawing{{{0x0000FF, {TurnedRectangle(100, 50, 30)}}}},
                        RectangleTorsion(100, 50),
                        {4, 2, 1, 0.5},
                        1e-4},
        // A wall 10.3 mm thick: its edge cuts a row of cells at another share at each size,
        // and the faces' midpoints alone would take about 1/n^2 off on n cells across.
        ConvergenceCase{"Wall",
                        OutlineDrawing{{{0x0000FF, {TurnedRectangle(100, 10.3, 0)}}}},
                        RectangleTorsion(100, 10.3),
                        {2, 1, 0.5},
                        4e-4},
        // J of the rolled I (h 300, b 150, tw 7.1, tf 10.7, r 15) from P2 elements converged
        // on the exact outline: 19.753 cm^4. Its walls' edges cut the cells at another share
        // at each size; the error still falls at second order, from below 1e-3 at 1 mm.
        ConvergenceCase{"RolledI",
                        OutlineDrawing{{{0x0000FF, {RolledILoop()}}}},
                        197530,
                        {1, 0.5, 0.25},
                        1e-4}),
    RowName);

// Where the three solves show second order, GJ is extrapolated, closer to the exact value than
// the finest solve, and the JSON says which value is which and what the estimate measures.
TEST_F(CutCellTorsionTest, AnEstablishedOrderIsExtrapolated) {
  const ElasticResult r = Solve(OutlineDrawing{{{0x0000FF, {TurnedRectangle(100, 50, 30)}}}}, 1);
  const double exact = kG * RectangleTorsion(100, 50);
  ASSERT_TRUE(r.Extrapolated) << r.ObservedOrder;
  EXPECT_LT(std::abs(r.GJ - exact), 0.5 * std::abs(r.GJSolved - exact));
  const std::string json = AnalysisJsonText(session, SectionSize{});
  for (const char* member : {"\"torsion_extrapolated\": true", "\"from\": \"largest_step\"",
                             "\"against\": \"drawn_edge\"", "\"gj_solved\": "}) {
    EXPECT_NE(json.find(member), std::string::npos) << member;
  }
}

// GJ of a wall whose lower edge cuts its cells does not depend on where the pole lies: a block
// drawn far below it (on whole cells) moves the pole but adds only its own GJ.
TEST_F(CutCellTorsionTest, APartFarAwayAddsOnlyItsOwnTorsion) {
  const auto moved = [](OutlineLoop loop, double dy) {
    for (OutlineVertex& v : loop.vertices) v.y += dy;
    return loop;
  };
  const OutlineLoop wall = TurnedRectangle(150, 10.7, 0);
  const OutlineLoop block = moved(TurnedRectangle(100, 100, 0), -249.65);
  const double alone = Solve(OutlineDrawing{{{0x0000FF, {wall}}}}, 0.5).GJSolved;
  const double both = Solve(OutlineDrawing{{{0x0000FF, {wall, block}}}}, 0.5).GJSolved;
  const double blockAlone = Solve(OutlineDrawing{{{0x0000FF, {block}}}}, 0.5).GJSolved;
  EXPECT_NEAR((both - blockAlone) / alone, 1, 1e-6);
  EXPECT_NEAR(alone / (kG * RectangleTorsion(150, 10.7)), 1, 2e-4);
}

// Concrete over steel, each 100 wide, the interface 20.5 below the top: on 1 mm cells it runs
// through the middle of a row of cells, on 0.25 mm cells along their faces. The row's faces
// across it join its two halves in series: GJ on 1 mm cells is within 1e-3 of that on 0.25 mm
// (the cells' mean G across the interface gave 2.3e-3). Turned upright, the same in columns.
TEST_F(CutCellTorsionTest, AnInterfaceInsideTheCellsJoinsItsHalvesInSeries) {
  session.SetLibrary(
      std::make_unique<TPROPClass>(LibraryOf({{"clRed", kE, 7850}, {"clGray", 33000, 2500}}, {})));
  for (const bool upright : {false, true}) {
    const auto placed = [&](OutlineLoop loop, double dy) {
      for (OutlineVertex& v : loop.vertices) {
        v.y += dy;
        if (upright) v = {-v.y, v.x, v.bulge};
      }
      return loop;
    };
    const OutlineDrawing layers{{{0x808080, {placed(TurnedRectangle(100, 20.5, 0), 19.75)}},
                                 {0x0000FF, {placed(TurnedRectangle(100, 19.5, 0), -0.25)}}}};
    const std::string path = dir.File(upright ? "upright.dxf" : "layers.dxf");
    WriteAll(path, DxfOf(layers));
    const auto gj = [&](double cell) {
      session.SetDrawingCellSize(cell);
      EXPECT_TRUE(session.AcceptPicture(path));
      session.ColourInventory();
      EXPECT_TRUE(session.AddColourToMaterialList("clRed"));
      EXPECT_TRUE(session.AddColourToMaterialList("clGray"));
      EXPECT_EQ(session.Analyse(SectionSize{}), SectionSession::AnalyseOutcome::Done);
      EXPECT_EQ(session.ComputeElastic(), SectionSession::ElasticOutcome::Done);
      return session.Elastic() ? session.Elastic()->GJSolved : 0.0;
    };
    EXPECT_NEAR(gj(1) / gj(0.25), 1, 1e-3) << upright;
  }
}

// The warping constant and the shear stiffnesses come from the same cut faces.
TEST_F(CutCellTorsionTest, WarpingAndShearConvergeOnTheCutFacesToo) {
  // Iw of the rolled I, converged: E Iw = 2.60939E16 N mm^4.
  EXPECT_NEAR(Solve(OutlineDrawing{{{0x0000FF, {RolledILoop()}}}}, 0.5).EIw / 2.60939e16, 1, 2e-5);
  // On the turned rectangle, each halving takes off about a quarter of the last step.
  std::vector<double> eiw, gay;
  for (const double cell : {4.0, 2.0, 1.0}) {
    const ElasticResult r =
        Solve(OutlineDrawing{{{0x0000FF, {TurnedRectangle(100, 50, 30)}}}}, cell);
    eiw.push_back(r.EIw);
    gay.push_back(r.GAy);
  }
  EXPECT_GT((eiw[0] - eiw[1]) / (eiw[1] - eiw[2]), 3);
  EXPECT_GT((gay[0] - gay[1]) / (gay[1] - gay[2]), 3);
}

// A straight edge across a grid of cells, each holding its exact share: the faces between cut
// cells carry about their exact wetted share, each cell's own edge placed from its neighbours.
TEST(CutCellFacesTest, FacesAlongAStraightEdgeHoldTheirWettedShare) {
  for (const double degrees : {0.0, 20.0, 45.0, 70.0}) {
    // Material where x cos(a) + y sin(a) <= offset, on 16 x 16 unit cells.
    const double nx = std::cos(degrees * kPi / 180), ny = std::sin(degrees * kPi / 180);
    const double offset = 8.37 * (nx + ny);
    const auto inside = [&](double x, double y) { return x * nx + y * ny <= offset; };
    CellLevel level;
    level.nx = 16;
    level.ny = 16;
    std::vector<float> solid;
    constexpr int kSamples = 64;
    for (int y = 0; y < 16; ++y) {
      for (int x = 0; x < 16; ++x) {
        int in = 0;
        for (int j = 0; j < kSamples; ++j) {
          for (int i = 0; i < kSamples; ++i) {
            in += inside(x + (i + 0.5) / kSamples, y + (j + 0.5) / kSamples) ? 1 : 0;
          }
        }
        if (in == 0) continue;
        level.cellX.push_back(x);
        level.cellY.push_back(y);
        solid.push_back(static_cast<float>(in) / (kSamples * kSamples));
      }
    }
    level.Link();
    const CutFaces faces = CutCellFaces(level, solid);
    // The wetted length of the face from (x0, y0) to (x1, y1).
    const auto wetted = [&](double x0, double y0, double x1, double y1) {
      const double f0 = offset - (x0 * nx + y0 * ny), f1 = offset - (x1 * nx + y1 * ny);
      if (f0 >= 0 && f1 >= 0) return 1.0;
      if (f0 < 0 && f1 < 0) return 0.0;
      return f0 >= 0 ? f0 / (f0 - f1) : f1 / (f1 - f0);
    };
    int checked = 0;
    for (std::size_t i = 0; i < solid.size(); ++i) {
      const int x = level.cellX[i], y = level.cellY[i];
      // Away from the grid's border, where the shares about a cell are all known.
      if (x < 2 || y < 2 || x > 12 || y > 12) continue;
      if (const std::int32_t e = level.East(i); e >= 0 && solid[i] < 1 && solid[e] < 1) {
        EXPECT_NEAR(faces.Of(i).eastShare, wetted(x + 1, y, x + 1, y + 1), 0.05) << degrees;
        ++checked;
      }
      if (const std::int32_t s = level.South(i); s >= 0 && solid[i] < 1 && solid[s] < 1) {
        EXPECT_NEAR(faces.Of(i).southShare, wetted(x, y + 1, x + 1, y + 1), 0.05) << degrees;
        ++checked;
      }
    }
    EXPECT_GT(checked, 4) << degrees;
    // Only the cells along the edge keep an entry.
    for (std::size_t i = 0; i < solid.size(); ++i) {
      const double from = (level.cellX[i] + 0.5) * nx + (level.cellY[i] + 0.5) * ny - offset;
      if (std::abs(from) > 2.5) {
        EXPECT_LT(faces.index[i], 0) << degrees;
      }
    }
  }
}

// The edge through a cut cell, from its share and the normal out of its material, and where
// its material's centroid lies.
struct WetCase {
  const char* comment;
  double solid, mx, my;
  std::array<WetFace, 4> faces;  // east, south, west, north
  std::array<double, 2> centroid;
};
void PrintTo(const WetCase& c, std::ostream* os) { *os << c.comment; }

class WetFacesTest : public ::testing::TestWithParam<WetCase> {};

TEST_P(WetFacesTest, FacesHoldTheMaterialsPartOfThem) {
  const WetCase& c = GetParam();
  const std::array<WetFace, 4> got = WetFaces(c.solid, c.mx, c.my);
  for (std::size_t k = 0; k < 4; ++k) {
    EXPECT_NEAR(got[k].share, c.faces[k].share, 1e-12) << k;
    EXPECT_NEAR(got[k].shift, c.faces[k].shift, 1e-12) << k;
  }
  const std::array<double, 2> centroid = WetCentroid(c.solid, c.mx, c.my);
  EXPECT_NEAR(centroid[0], c.centroid[0], 1e-12);
  EXPECT_NEAR(centroid[1], c.centroid[1], 1e-12);
}

INSTANTIATE_TEST_SUITE_P(
    Edges, WetFacesTest,
    ::testing::Values(
        // The left half: material towards smaller X.
        WetCase{
            "LeftHalf", 0.5, 1, 0, {{{0, -0.5}, {0.5, -0.25}, {1, 0}, {0.5, -0.25}}}, {-0.25, 0}},
        // A quarter of the bottom: the faces across the edge hold a quarter, from the bottom.
        WetCase{"BottomQuarter",
                0.25,
                0,
                -1,
                {{{0.25, 0.375}, {1, 0}, {0.25, 0.375}, {0, -0.5}}},
                {0, 0.375}},
        // The corner triangle of an eighth at the upper left (the diagonal at 45 degrees).
        WetCase{"UpperLeftCorner",
                0.125,
                1,
                1,
                {{{0, -0.5}, {0, -0.5}, {0.5, -0.25}, {0.5, -0.25}}},
                {-1.0 / 3, -1.0 / 3}},
        // Seven eighths: the triangle missing at the lower right.
        WetCase{"LowerRightMissing",
                0.875,
                1,
                1,
                {{{0.5, -0.25}, {0.5, -0.25}, {1, 0}, {1, 0}}},
                {-1.0 / 21, -1.0 / 21}},
        // A full cell and a cell whose neighbours tell no direction.
        WetCase{"Full", 1, 1, 0, {{{1, 0}, {1, 0}, {1, 0}, {1, 0}}}, {0, 0}},
        WetCase{"NoDirection", 0.3, 0, 0, {{{0.3, 0}, {0.3, 0}, {0.3, 0}, {0.3, 0}}}, {0, 0}}),
    RowName);

// The rolled I as a paint program draws it with smoothing (each pixel the mean of 8 x 8 points),
// read as coverage: J within 3e-3 of the converged value at 0.5 mm per pixel and within 1e-3 at
// 0.25 mm. Eight points a side carry the flanges' inner faces only to an eighth of a pixel:
// drawn, the flanges are 10.6875 mm thick, which takes 1.2e-3 off Iw at either size.
TEST(SmoothedRolledITest, JReachesItsGoals) {
  const TPROPClass lib = LibraryOf({{"clRed", kE, 7850}});
  for (const auto& [pixel, goal] : {std::pair{0.5, 3e-3}, {0.25, 1e-3}}) {
    const DrawnSection drawn =
        DrawSmoothedSection(150, 300, pixel, ISection(300, 150, 7.1, 10.7, 15, kRed), 3, 8);
    const BoxedAnalysis a = AnalyseAtPixelSize(drawn.grid, pixel, lib, EdgeMode::Coverage, true);
    ASSERT_TRUE(a.elastic);
    // Poisson's ratio 0: G = E / 2.
    EXPECT_NEAR(a.elastic->GJ / (kE / 2 * 197530), 1, goal);
    EXPECT_NEAR(a.elastic->EIw / (2.60939e16 * 10.6875 / 10.7), 1, 2e-4);
  }
}
}  // namespace
}  // namespace qv::test
