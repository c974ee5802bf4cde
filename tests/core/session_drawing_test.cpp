// Drawings opened as the session's picture: their cells stand for their exact shares, the
// analysis gives the outlines' own values, the solvers run on the cells, and reloads, cell sizes
// and refusals behave as for pictures.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <ostream>
#include <string>
#include <vector>

#include "core/base/error.h"
#include "core/outline/drawing_picture.h"
#include "core/session/session.h"
#include "support/grid_builder.h"
#include "support/material_library.h"
#include "support/outline_sections.h"
#include "support/row_name.h"

namespace qv::test {
namespace {

constexpr double kPi = std::numbers::pi;
constexpr std::uint32_t kSlab = 0x808080;

OutlineLoop Rect(double x0, double y0, double x1, double y1) {
  return {{{x0, y0, 0}, {x1, y0, 0}, {x1, y1, 0}, {x0, y1, 0}}};
}
OutlineLoop Disc(double cx, double cy, double r) { return {{{cx - r, cy, 1}, {cx + r, cy, 1}}}; }

class SessionDrawingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    session.SetLibrary(std::make_unique<TPROPClass>(
        LibraryOf({{"clRed", 210000, 7850}, {"clGray", 30000, 2500}}, {})));
  }
  // Opens `drawing` as a DXF file and puts `labels` on the material list.
  void Open(const OutlineDrawing& drawing, const std::vector<std::string>& labels,
            double cell = 0) {
    const std::string path = dir.File("section.dxf");
    WriteAll(path, DxfOf(drawing));
    session.SetDrawingCellSize(cell);
    ASSERT_TRUE(session.AcceptPicture(path));
    session.ColourInventory();
    for (const std::string& label : labels) ASSERT_TRUE(session.AddColourToMaterialList(label));
    ASSERT_EQ(session.Analyse(SectionSize{}), SectionSession::AnalyseOutcome::Done);
  }

  TempDir dir;
  SectionSession session;
};

// Section values from the outlines, checked by hand formulas; centres in mm from the section
// box's upper-left corner.
struct ExactCase {
  const char* comment;
  OutlineDrawing drawing;
  std::vector<std::string> labels;
  double ea;    // N
  double eiyy;  // N mm^2, about the vertical axis through the elastic centre
  double eizz;  // about the horizontal axis
  double ncHor;
  double ncVer;
};
void PrintTo(const ExactCase& c, std::ostream* os) { *os << c.comment; }

class SessionDrawingExactTest : public SessionDrawingTest,
                                public ::testing::WithParamInterface<ExactCase> {};

TEST_P(SessionDrawingExactTest, TheAnalysisGivesTheOutlinesOwnValues) {
  const ExactCase& c = GetParam();
  Open(c.drawing, c.labels);
  const SectionResult& r = session.Result();
  EXPECT_NEAR(r.EA / c.ea, 1, 1e-12);
  EXPECT_NEAR(r.EIyy / c.eiyy, 1, 1e-12);
  EXPECT_NEAR(r.EIzz / c.eizz, 1, 1e-12);
  EXPECT_NEAR(r.EIyz, 0, 1e-9 * c.eizz);
  // NC lies in the cell holding the exact centre.
  const SectionBounds& b = session.Bounds();
  EXPECT_NEAR((r.NC.x - b.xmin + 0.5) * r.Dx, c.ncHor, r.Dx);
  EXPECT_NEAR((r.NC.y - b.ymin + 0.5) * r.Dy, c.ncVer, r.Dy);
  EXPECT_TRUE(r.Coverage);
  EXPECT_EQ(session.Report().back(), kOutlineReportLine);
}

constexpr double kE = 210000;
const double kIpeA = 2 * 150 * 10.7 + (300 - 2 * 10.7) * 7.1 + (4 - kPi) * 15 * 15;

INSTANTIATE_TEST_SUITE_P(
    Cases, SessionDrawingExactTest,
    ::testing::Values(
        // A decimal rectangle: b h^3 / 12 with no pixel's rounding in it.
        ExactCase{"Rectangle",
                  OutlineDrawing{{{0x0000FF, {Rect(0, 0, 100.5, 200.25)}}}},
                  {"clRed"},
                  kE * 100.5 * 200.25,
                  kE * 200.25 * std::pow(100.5, 3) / 12,
                  kE * 100.5 * std::pow(200.25, 3) / 12,
                  50.25,
                  100.125},
        // A plate 200 x 100 with a hole of r 30 centred 20 mm right of its middle: one colour,
        // nested loops, the hole by the even-odd rule.
        ExactCase{"PlateWithHole",
                  OutlineDrawing{{{0x0000FF, {Rect(0, 0, 200, 100), Disc(120, 50, 30)}}}},
                  {"clRed"},
                  kE*(20000 - kPi * 900),
                  [] {
                    const double a = 20000 - kPi * 900;
                    const double xc = (20000 * 100 - kPi * 900 * 120) / a;
                    return kE * (100 * std::pow(200, 3) / 12 + 20000 * std::pow(100 - xc, 2) -
                                 kPi * std::pow(30, 4) / 4 - kPi * 900 * std::pow(120 - xc, 2));
                  }(),
                  kE*(200 * std::pow(100, 3) / 12 - kPi * std::pow(30, 4) / 4),
                  (20000 * 100 - kPi * 900 * 120) / (20000 - kPi * 900),
                  50}),
    RowName);

TEST_F(SessionDrawingTest, TheRolledIHasItsAreaExactlyAndTheTablesSecondMoments) {
  Open(OutlineDrawing{{{0x0000FF, {RolledILoop()}}}}, {"clRed"});
  EXPECT_NEAR(session.Result().EA / (kE * kIpeA), 1, 1e-12);
  EXPECT_NEAR(session.Result().EIzz / kE / 8356e4, 1, 1e-4);
  EXPECT_NEAR(session.Result().EIyy / kE / 604e4, 1, 1e-3);
  EXPECT_NEAR(session.Result().Mass * 1000 / (kIpeA * 7850 / 1e6), 1, 1e-12);
}

TEST_F(SessionDrawingTest, EdgeCellsStandForTheirExactShares) {
  const OutlineDrawing drawing = SlabOverI(0x0000FF, kSlab);
  Open(drawing, {"clRed", "clGray"}, 2.0);
  const DrawingPicture& picture = *session.Drawing();
  const CoverageRaster& raster = picture.raster;
  const std::optional<CoverageTable> table = session.PictureCoverage();
  ASSERT_TRUE(table.has_value());
  int edgeCells = 0;
  for (int y = 0; y < picture.grid.Height(); ++y) {
    for (int x = 0; x < picture.grid.Width(); ++x) {
      const std::size_t i = static_cast<std::size_t>(y) * picture.grid.Width() + x;
      std::int64_t expected[2] = {raster.shares[0][i], raster.shares[1][i]};
      std::int64_t got[2] = {0, 0};
      for (const CoverageShare& s : table->Shares(picture.grid.At(x, y)))
        got[s.material] += s.weight;
      ASSERT_EQ(got[0], expected[0]) << x << "," << y;
      ASSERT_EQ(got[1], expected[1]) << x << "," << y;
      edgeCells += (expected[0] + expected[1]) % kCoverageUnit != 0 ? 1 : 0;
    }
  }
  EXPECT_GT(edgeCells, 100);
  // The colours listed are the drawing's own, not its edge cells'.
  EXPECT_EQ(session.FoundLabels(), (std::vector<std::string>{"clRed", "clGray"}));
}

TEST_F(SessionDrawingTest, HidingTheOtherColoursLeavesTheOneKeptWithItsEdges) {
  Open(SlabOverI(0x0000FF, kSlab), {"clRed", "clGray"}, 2.0);
  ASSERT_EQ(session.ReloadPictureIfDrawnOn(), SectionSession::PictureReload::Reloaded);
  session.HideColoursBut("clRed");
  ASSERT_EQ(session.Analyse(SectionSize{}), SectionSession::AnalyseOutcome::Done);
  // The steel as seen: the I less its top flange, under the slab.
  EXPECT_NEAR(session.Result().EA / (kE * (kIpeA - 150 * 10.7)), 1, 1e-12);
  EXPECT_EQ(session.Moments().materials[1].count, 0);
  // Its edge cells keep their shares: the cells' area is the steel's to the shares' rounding.
  const std::int64_t cells = session.Moments().materials[0].count;
  EXPECT_NEAR(static_cast<double>(cells) / kCoverageUnit * 4, kIpeA - 150 * 10.7, 0.01);
  // A reload brings the slab back.
  ASSERT_EQ(session.ReloadPictureIfDrawnOn(), SectionSession::PictureReload::Reloaded);
  ASSERT_EQ(session.Analyse(SectionSize{}), SectionSession::AnalyseOutcome::Done);
  EXPECT_GT(session.Result().EA, kE * kIpeA);
}

TEST_F(SessionDrawingTest, TorsionRunsOnTheExactCoverageOfTheCells) {
  // A disc of r 50 on 1 mm cells: GJ within 2 % of G pi r^4 / 2 (a ring of edge cells lost
  // would cost 8 %).
  Open(OutlineDrawing{{{0x0000FF, {Disc(0, 0, 50)}}}}, {"clRed"}, 1.0);
  ASSERT_EQ(session.ComputeElastic(), SectionSession::ElasticOutcome::Done);
  const double g = kE / (2 * 1.3);
  EXPECT_NEAR(session.Elastic()->GJ / (g * kPi * std::pow(50, 4) / 2), 1, 2e-2);
}

TEST_F(SessionDrawingTest, DrawingsOverTheCellsAreWipedAndACellSizeLaysItOutAnew) {
  Open(OutlineDrawing{{{0x0000FF, {Rect(0, 0, 100, 50)}}}}, {"clRed"}, 1.0);
  const PixelGrid cells = session.Picture();
  session.DrawOnPicture([](PixelGrid& g) { g.Set(0, 0, 0x00FF00); });
  ASSERT_EQ(session.ReloadPictureIfDrawnOn(), SectionSession::PictureReload::Reloaded);
  EXPECT_TRUE(session.Picture() == cells);
  session.SetDrawingCellSize(0.5);
  ASSERT_TRUE(session.LoadPicture());
  EXPECT_EQ(session.PictureWidth(), 200);
  EXPECT_EQ(session.PictureHeight(), 100);
}

TEST_F(SessionDrawingTest, ADrawingThatCannotBeReadLeavesThePictureAsItWas) {
  Open(OutlineDrawing{{{0x0000FF, {Rect(0, 0, 100, 50)}}}}, {"clRed"}, 1.0);
  const std::string bad = dir.File("open.dxf");
  WriteAll(bad,
           "0\nSECTION\n2\nENTITIES\n0\nLINE\n10\n0\n20\n0\n11\n5\n21\n5\n0\nENDSEC\n0\nEOF\n");
  EXPECT_THROW(session.AcceptPicture(bad), Error);
  EXPECT_EQ(session.PictureFile(), dir.File("section.dxf"));
  EXPECT_EQ(session.PictureWidth(), 100);
  EXPECT_TRUE(session.HasResults());
}

}  // namespace
}  // namespace qv::test
