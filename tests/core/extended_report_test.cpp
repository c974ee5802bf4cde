// The text block of the extended values, and the shear centre's marker on the overlay.
#include "core/elastic/extended_report.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <variant>

#include "core/section/overlay.h"
#include "support/row_name.h"

namespace qv::test {
namespace {

// A result as the solver could give it for a steel channel at 2 mm per pixel.
ElasticResult Channel() {
  ElasticResult r;
  r.GJ = 3.28115e12;
  r.ShearCentreHor = -31.25;
  r.ShearCentreVer = 325;
  r.ShearCentreY = 281.5;
  r.ShearCentreZ = -69;
  r.RadiusY = 187.894;
  r.RadiusZ = 190.4712;
  r.BetaZ = -123.449;
  r.Coarsening = 1;
  r.CellWidthMm = 2;
  r.CellHeightMm = 2;
  r.Cells = 21250;
  r.Parts = 1;
  r.Iterations = 12;
  r.HasErrorEstimate = true;
  r.GJErrorEstimate = 6.9e9;
  r.ShearCentreErrorEstimate = 0.0123;
  r.ObservedOrder = 1.96;
  r.EIw = 210000 * 8.1234e10;
  r.GAy = 210000 / 2.6 * 5210.5;
  r.GAz = 210000 / 2.6 * 3999.25;
  r.Moduli = SectionModuli{210000, 495000, 420000, 81000, 40500, 420000, 40500};
  MaterialModuli m;
  m.label = "clRed";
  m.name = "steel S235";
  m.E = 210000;
  m.nu = 0.3;
  m.G = 210000 / 2.6;
  m.pixels = 21250;
  m.y = {-250, 250};
  m.z = {-395.5, 254.5};
  m.axis1 = {-395.5, 254.5};
  m.axis2 = {-250, 250};
  m.stressY = {-7.0e-11, 7.0e-11};
  m.stressZ = {-1.078e-10, 6.936e-11};
  m.stress1 = {-1.078e-10, 6.936e-11};
  m.stress2 = {-7.0e-11, 7.0e-11};
  r.materials.push_back(m);
  return r;
}

TEST(ExtendedReportTest, BlockHasItsHeadingsAndValues) {
  const std::vector<std::string> lines = ExtendedReport(Channel(), SignConvention::DorvastPelkam);
  const std::vector<std::string> expected = {
      "EXTENDED SECTION VALUES : torsion, shear centre, section moduli",
      "",
      "torsional stiffness:",
      "    GJ   = 3.2812E012 Nmm^2",
      std::string("    error estimate 0.21 % (6.9E009 Nmm^2, observed order 2.0), against the ") +
          "pixels' staircase as the edge",
      "    solved on 21250 cells of 2 x 2 mm (1 pixel each), 1 part, 12 iterations",
      "",
      "shear centre SC at position:",
      "    hor  = -31.25 mm from upper left corner UL",
      "    ver  = 325.00 mm from upper left corner UL",
      "    y    = 281.50 mm from NC, positive to the left",
      "    z    = -69.00 mm from NC, positive downwards",
      "    error estimate 0.012 mm",
      "",
      "radii of gyration:",
      "    iy   = 187.89 mm = sqrt(EIyy / EA)",
      "    iz   = 190.47 mm = sqrt(EIzz / EA)",
      "",
      "monosymmetry constants for lateral-torsional buckling:",
      "    beta = 0.00 mm, bending about the horizontal axis",
      "    beta = -123.45 mm, bending about the vertical axis",
      "",
      "design values (areas and moduli where the section has one material):",
      "    EIw  = 1.7059E016 Nmm^4                  warping constant about SC",
      "    GAy  = 4.2085E008 N                      shear stiffness, shear along y",
      "    GAz  = 3.2302E008 N                      shear stiffness, shear along z",
      "    Iw   = 8.1234E010 mm^6 = 81234 cm^6      warping constant about SC",
      "    Ay   = 5210.5 mm^2 = 52.105 cm^2         shear area, shear along y",
      "    Az   = 3999.3 mm^2 = 39.992 cm^2         shear area, shear along z",
      "    Wel  = 4.2E005 mm^3 = 420 cm^3           elastic modulus about the horizontal axis",
      "    Wel  = 4.95E005 mm^3 = 495 cm^3            top fibre",
      "    Wel  = 4.2E005 mm^3 = 420 cm^3             bottom fibre",
      "    Wel  = 40500 mm^3 = 40.5 cm^3            elastic modulus about the vertical axis",
      "    Wel  = 81000 mm^3 = 81 cm^3                left fibre",
      "    Wel  = 40500 mm^3 = 40.5 cm^3              right fibre",
      "    Wel  = 4.2E005 mm^3 = 420 cm^3           elastic modulus of EI1",
      "    Wel  = 40500 mm^3 = 40.5 cm^3            elastic modulus of EI2",
      "",
      "extreme fibres from NC [mm] and stress per unit moment E c / EI [1/mm^3]:",
      "",
      "steel S235 (clRed): E = 210000 N/mm^2, nu = 0.3, G = 80769.2 N/mm^2, 21250 pixels",
      "    y    -250.00 .. 250.00           EIyy: -7E-011 .. 7E-011",
      "    z    -395.50 .. 254.50           EIzz: -1.078E-010 .. 6.936E-011",
      "    1    -395.50 .. 254.50           EI1:  -1.078E-010 .. 6.936E-011",
      "    2    -250.00 .. 250.00           EI2:  -7E-011 .. 7E-011",
  };
  EXPECT_EQ(lines, expected);
}

TEST(ExtendedReportTest, EuroCodeNamesTheStiffnessesAfterTheirAxes) {
  const std::vector<std::string> lines = ExtendedReport(Channel(), SignConvention::EuroCode);
  const auto has = [&](const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
  };
  // iy belongs to bending about y, which the EURO-code calls EIy: the value sqrt(EIzz / EA).
  EXPECT_TRUE(has("    iy   = 190.47 mm = sqrt(EIy / EA)"));
  EXPECT_TRUE(has("    iz   = 187.89 mm = sqrt(EIz / EA)"));
  EXPECT_TRUE(has("    y    -250.00 .. 250.00           EIz:  -7E-011 .. 7E-011"));
  EXPECT_TRUE(has("    z    -395.50 .. 254.50           EIy:  -1.078E-010 .. 6.936E-011"));
}

TEST(ExtendedReportTest, CoarsenedSolveWithoutEstimateSaysSo) {
  ElasticResult r = Channel();
  r.HasErrorEstimate = false;
  r.Coarsening = 3;
  r.Coarsened = true;
  r.CellWidthMm = 0.3;
  r.CellHeightMm = 0.45;
  r.Cells = 1;
  r.CellCap = 1;
  r.Parts = 2;
  r.Iterations = 1;
  const std::vector<std::string> lines = ExtendedReport(r, SignConvention::DorvastPelkam);
  EXPECT_EQ(lines[4], "    no error estimate: the section has too few pixels");
  EXPECT_EQ(lines[5],
            "    solved on 1 cell of 0.3 x 0.45 mm (3 x 3 pixels each, coarsened), 2 parts, "
            "1 iteration");
  EXPECT_EQ(lines[6],
            "    solved on blocks of 3 x 3 pixels (above the cell cap of 1 cell): its values hold "
            "the picture only to about a block; the batch tool's --max-cells raises the cap");
  // Without an estimate the shear centre has no estimate line either.
  EXPECT_EQ(lines[12], "    z    = -69.00 mm from NC, positive downwards");
  EXPECT_EQ(lines[13], "");
}

TEST(ExtendedReportTest, MissingEstimateNamesItsReason) {
  ElasticResult r = Channel();
  r.HasErrorEstimate = false;
  const auto line = [&](ElasticResult::NoEstimate why) {
    r.WhyNoEstimate = why;
    return ExtendedReport(r, SignConvention::DorvastPelkam)[4];
  };
  EXPECT_EQ(line(ElasticResult::NoEstimate::TooFewPixels),
            "    no error estimate: the section has too few pixels");
  EXPECT_EQ(line(ElasticResult::NoEstimate::Topology),
            "    no error estimate: cells twice the size would close a gap of the section");
  EXPECT_EQ(line(ElasticResult::NoEstimate::Irregular),
            "    no error estimate: the solves on coarser cells do not converge regularly");
}

TEST(ExtendedReportTest, CutCellsSayWhatTheEstimateMeasuresAndWhatWasExtrapolated) {
  ElasticResult r = Channel();
  r.CutCells = true;
  r.ObservedOrder = 0.3;
  EXPECT_EQ(ExtendedReport(r, SignConvention::DorvastPelkam)[3], "    GJ   = 3.2812E012 Nmm^2");
  EXPECT_EQ(ExtendedReport(r, SignConvention::DorvastPelkam)[4],
            "    error estimate 0.21 % (6.9E009 Nmm^2, the larger step between the solves), "
            "against the drawn edge");
  r.Extrapolated = true;
  r.ObservedOrder = 1.87;
  r.GJSolved = 3.27e12;
  const std::vector<std::string> lines = ExtendedReport(r, SignConvention::DorvastPelkam);
  EXPECT_EQ(lines[3],
            "    GJ   = 3.2812E012 Nmm^2, extrapolated to cells of no size (3.27E012 Nmm^2 as "
            "solved)");
  EXPECT_EQ(lines[4],
            "    error estimate 0.21 % (6.9E009 Nmm^2, the larger step between the solves; order "
            "1.9 extrapolated), against the drawn edge");
}

// --- the marker ------------------------------------------------------------------------------

struct MarkerCase {
  double hor, ver;  // mm from UL
  double dx, dy;    // mm per pixel
  PixelPoint pixel;
};
void PrintTo(const MarkerCase& c, std::ostream* os) {
  *os << "hor " << NumberLabel(c.hor) << " ver " << NumberLabel(c.ver) << " pixel "
      << NumberLabel(c.dx) << " x " << NumberLabel(c.dy);
}

class ShearCentreMarkerTest : public ::testing::TestWithParam<MarkerCase> {};

TEST_P(ShearCentreMarkerTest, DiamondSurroundsThePixelOfThePoint) {
  const MarkerCase c = GetParam();
  OverlayInput input;
  input.Width = 400;
  input.Height = 300;
  input.Bounds = {10, 20, 29, 59};
  const std::optional<PixelPoint> at = PixelOfPoint(input.Bounds, c.hor, c.ver, c.dx, c.dy);
  ASSERT_TRUE(at);
  EXPECT_EQ(*at, c.pixel);
  const OverlayOps ops = DrawShearCentre(input, c.hor, c.ver, c.dx, c.dy);
  ASSERT_EQ(ops.size(), 2u);
  const auto& diamond = std::get<PolylineOp>(ops[0]);
  const int x = c.pixel.x, y = c.pixel.y;
  EXPECT_EQ(diamond.Points,
            (std::vector<PixelPoint>{{x, y - 8}, {x + 8, y}, {x, y + 8}, {x - 8, y}, {x, y - 8}}));
  EXPECT_EQ(diamond.Colour, kShearCentreColour);
  EXPECT_EQ(diamond.PenWidth, 2);
  const auto& label = std::get<LabelOp>(ops[1]);
  EXPECT_EQ(label.Text, " SC ");
  EXPECT_EQ(label.Position, (PixelPoint{x + 10, y + 3}));
}

INSTANTIATE_TEST_SUITE_P(
    Points, ShearCentreMarkerTest,
    ::testing::Values(
        // the middle of the 20 x 40 pixel box at 1 mm: 10.0 pixels in lies on an edge, and the
        // half goes to the even pixel as NC's mean does
        MarkerCase{10, 20, 1, 1, {20, 40}},
        // inside the first pixel: its centre
        MarkerCase{0.4, 0.6, 1, 1, {10, 20}},
        // outside the box to the left (a channel's shear centre): still drawn
        MarkerCase{-6, 5, 2, 2, {6, 22}},
        // non-square pixels: 7.5 mm at 0.5 mm is 15 pixels, 7.5 mm at 2.5 mm is 3
        MarkerCase{7.5, 7.5, 0.5, 2.5, {24, 22}}),
    RowName);

TEST(ShearCentreMarkerTest, NoMarkerWithoutAScaleOrAFinitePoint) {
  OverlayInput input;
  input.Bounds = {0, 0, 9, 9};
  EXPECT_TRUE(DrawShearCentre(input, 5, 5, 0, 1).empty());
  EXPECT_TRUE(DrawShearCentre(input, 5, 5, 1, -1).empty());
  EXPECT_TRUE(DrawShearCentre(input, std::nan(""), 5, 1, 1).empty());
  EXPECT_FALSE(PixelOfPoint(input.Bounds, 5, 1e300, 1, 1e-300));
}

}  // namespace
}  // namespace qv::test
