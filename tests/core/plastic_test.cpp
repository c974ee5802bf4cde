// Plastic moments against exact solutions and catalogue values: rectangles (with the neutral
// axis cutting a pixel row), discs and tubes, a rolled I-section, a T whose plastic and elastic
// axes differ, a composite slab on a steel beam, and the refusal without a strength.
#include "core/section/plastic.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "core/library/dd_props.h"
#include "core/section/integration.h"
#include "support/grid_builder.h"
#include "support/material_library.h"
#include "support/row_name.h"
#include "support/section_analysis.h"
#include "support/section_pictures.h"

namespace qv::test {
namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kFy = 355;  // N/mm^2

PlasticOutcome Plastic(const DrawnSection& s, const TPROPClass& lib, const StrengthTable& table) {
  return ComputePlasticSection(s.grid, s.bounds, lib, table, SectionValues(s, lib));
}

StrengthTable Strengths(std::initializer_list<std::pair<const char*, Strength>> entries) {
  StrengthTable table;
  for (const auto& [label, strength] : entries) table.Set(label, strength);
  return table;
}

// --- rectangles: Wpl = b h^2 / 4 and Wel = b h^2 / 6 exactly ---------------------------------

struct RectangleCase {
  double widthMm, heightMm;
  double pixelMm;
};
void PrintTo(const RectangleCase& c, std::ostream* os) {
  *os << NumberLabel(c.widthMm) << " x " << NumberLabel(c.heightMm) << " mm at "
      << NumberLabel(c.pixelMm) << " mm";
}

class PlasticRectangleTest : public ::testing::TestWithParam<RectangleCase> {};

TEST_P(PlasticRectangleTest, WplIsAQuarterOfBHSquaredInBothDirections) {
  const RectangleCase c = GetParam();
  const DrawnSection s = DrawSection(c.widthMm, c.heightMm, c.pixelMm, Rectangle(kRed));
  const PlasticOutcome out =
      Plastic(s, LibraryOf({{"clRed", 210000}}), Strengths({{"clRed", {kFy, kFy}}}));
  ASSERT_TRUE(out.values) << out.missing;
  const double b = s.widthMm;
  const double h = s.heightMm;
  struct Axis {
    const PlasticAxis& values;
    double exactWpl, middle;
  };
  for (const Axis& a : {Axis{out.values->horizontal, b * h * h / 4, h / 2},
                        Axis{out.values->vertical, h * b * b / 4, b / 2}}) {
    ASSERT_TRUE(a.values.wpl);
    EXPECT_NEAR(*a.values.wpl / a.exactWpl, 1, 1e-12);
    EXPECT_NEAR(a.values.mplFirstCompressed / (kFy * a.exactWpl), 1, 1e-12);
    EXPECT_NEAR(a.values.mplSecondCompressed / (kFy * a.exactWpl), 1, 1e-12);
    EXPECT_NEAR(a.values.axisFirstCompressed, a.middle, 1e-12 * a.middle);
    EXPECT_NEAR(a.values.axisSecondCompressed, a.middle, 1e-12 * a.middle);
  }
}

INSTANTIATE_TEST_SUITE_P(Sizes, PlasticRectangleTest,
                         ::testing::Values(
                             // 41 x 81 pixels: the axis cuts the middle row in two
                             RectangleCase{20.5, 40.5, 0.5},
                             // 3 x 7 pixels: few rows, still exact
                             RectangleCase{3, 7, 1},
                             // 40 x 80 pixels: the axis on a row edge
                             RectangleCase{20, 40, 0.5}),
                         RowName);

struct ShapeCase {
  int widthPixels, heightPixels;
  double tolerance;
};
void PrintTo(const ShapeCase& c, std::ostream* os) {
  *os << c.widthPixels << " x " << c.heightPixels << " pixels";
}

class PlasticShapeFactorTest : public ::testing::TestWithParam<ShapeCase> {};

TEST_P(PlasticShapeFactorTest, RectangleHasOneAndAHalf) {
  // Wel is the drawn area's EI about the elastic centre over the farthest fibre from it: b h^2 / 6
  // exactly, whether the middle falls on a pixel centre (odd counts) or between two (even).
  const ShapeCase c = GetParam();
  const int w = c.widthPixels;
  const int h = c.heightPixels;
  DrawnSection s{MakeGrid(w + 4, h + 4, kWhite, {{2, 2, w + 1, h + 1, kRed}}),
                 {2, 2, w + 1, h + 1},
                 w * 0.5,
                 h * 0.5};
  const PlasticOutcome out =
      Plastic(s, LibraryOf({{"clRed", 210000}}), Strengths({{"clRed", {kFy, kFy}}}));
  ASSERT_TRUE(out.values);
  ASSERT_TRUE(out.values->horizontal.shapeFactor && out.values->vertical.shapeFactor);
  EXPECT_NEAR(*out.values->horizontal.shapeFactor, 1.5, c.tolerance);
  EXPECT_NEAR(*out.values->vertical.shapeFactor, 1.5, c.tolerance);
}

INSTANTIATE_TEST_SUITE_P(Sizes, PlasticShapeFactorTest,
                         ::testing::Values(
                             // the middle on a pixel centre
                             ShapeCase{101, 201, 1e-12},
                             // the middle between two pixels (1.507 and 1.515 once)
                             ShapeCase{100, 200, 1e-12},
                             // one of each
                             ShapeCase{100, 51, 1e-12}),
                         RowName);

TEST(PlasticStrengthsTest, UnequalStrengthsOnNonSquarePixels) {
  // 30 x 50 pixels of 0.4 x 1.2 mm: b = 12, h = 60 mm. With fc = 3 ft the compressed block is a
  // quarter of the depth (fc b a = ft b (h - a) gives a = h / 4 = 15 mm, inside the 13th row),
  // and about the axis Mpl = fc b a^2 / 2 + ft b (h - a)^2 / 2.
  DrawnSection s{MakeGrid(34, 54, kWhite, {{2, 2, 31, 51, kRed}}), {2, 2, 31, 51}, 12, 60};
  const PlasticOutcome out =
      Plastic(s, LibraryOf({{"clRed", 30000}}), Strengths({{"clRed", {30, 10}}}));
  ASSERT_TRUE(out.values);
  const double b = 12, h = 60, a = h / 4;
  const PlasticAxis& hor = out.values->horizontal;
  EXPECT_NEAR(hor.axisFirstCompressed, a, 1e-12 * h);
  EXPECT_NEAR(hor.axisSecondCompressed, h - a, 1e-12 * h);
  const double mpl = 30 * b * a * a / 2 + 10 * b * (h - a) * (h - a) / 2;
  EXPECT_NEAR(hor.mplFirstCompressed / mpl, 1, 1e-12);
  EXPECT_NEAR(hor.mplSecondCompressed / mpl, 1, 1e-12);
  EXPECT_FALSE(hor.wpl);
  EXPECT_FALSE(hor.shapeFactor);
  EXPECT_FALSE(out.values->fy);
}

// --- discs and tubes: Wpl = 4 (R^3 - r^3) / 3 ------------------------------------------------

struct RoundCase {
  const char* what;
  double inner;  // hole radius over outer radius
  // A hole drawn in a colour of E = 0 carries nothing and needs no strength.
  bool holeInColour;
};
void PrintTo(const RoundCase& c, std::ostream* os) { *os << c.what; }

class PlasticRoundTest : public ::testing::TestWithParam<RoundCase> {};

TEST_P(PlasticRoundTest, WplMatchesTheClosedFormWithinAQuarterPercent) {
  const RoundCase c = GetParam();
  constexpr double kRadius = 50;  // mm, 200 pixels across at 0.5 mm
  const double r = c.inner * kRadius;
  const DrawnSection s = DrawSection(2 * kRadius, 2 * kRadius, 0.5,
                                     Ring(kRadius, r, kRed, c.holeInColour ? kBlue : kWhite));
  const PlasticOutcome out =
      Plastic(s, LibraryOf({{"clRed", 210000}, {"clBlue", 0}}), Strengths({{"clRed", {kFy, kFy}}}));
  ASSERT_TRUE(out.values) << out.missing;
  const double wpl = 4 * (std::pow(kRadius, 3) - std::pow(r, 3)) / 3;
  const double wel = kPi * (std::pow(kRadius, 4) - std::pow(r, 4)) / (4 * kRadius);
  // The stepped outline of 200 pixels across changes areas and levers by about 1/400 of each
  // (the disc comes out 0.06 % high, the tube 0.11 %). The shape factor is 0.5 % high besides:
  // Wel's fibre is measured from NC's pixel centre, half a pixel off the middle of 200.
  for (const PlasticAxis* a : {&out.values->horizontal, &out.values->vertical}) {
    ASSERT_TRUE(a->wpl);
    EXPECT_NEAR(*a->wpl / wpl, 1, 0.0025) << c.what;
    EXPECT_NEAR(a->axisFirstCompressed, kRadius, 1e-9) << c.what;
    ASSERT_TRUE(a->shapeFactor);
    EXPECT_NEAR(*a->shapeFactor / (wpl / wel), 1, 0.01) << c.what;
  }
}

INSTANTIATE_TEST_SUITE_P(Shapes, PlasticRoundTest,
                         ::testing::Values(RoundCase{"solid disc", 0, false},
                                           RoundCase{"tube", 0.8, false},
                                           RoundCase{"tube with a hole in a colour", 0.8, true}),
                         RowName);

// --- a rolled I-section against the catalogue ------------------------------------------------

TEST(PlasticRolledSectionTest, IPE300MatchesTheCatalogueWithinATenthOfAPercent) {
  // IPE 300 drawn with its root fillets r = 15 mm at 0.1 mm per pixel; the catalogue gives
  // Wpl,y = 628.4 cm^3 and Wpl,z = 125.2 cm^3 to four figures (0.04 % for the second). The
  // drawn fillets' steps add less than that: 628.38 and 125.22 cm^3.
  const DrawnSection s = DrawSection(150, 300, 0.1, ISection(300, 150, 7.1, 10.7, 15, kRed));
  const PlasticOutcome out =
      Plastic(s, LibraryOf({{"clRed", 210000}}), Strengths({{"clRed", {235, 235}}}));
  ASSERT_TRUE(out.values);
  ASSERT_TRUE(out.values->horizontal.wpl && out.values->vertical.wpl);
  EXPECT_NEAR(*out.values->horizontal.wpl / 628.4e3, 1, 0.001);
  EXPECT_NEAR(*out.values->vertical.wpl / 125.2e3, 1, 0.001);
  // Wel,y = 557.1 and Wel,z = 80.50 cm^3 in the same table; the program's Wel is taken about
  // NC's pixel centre, half a pixel (0.03 % and 0.07 %) off the middle.
  EXPECT_NEAR(*out.values->horizontal.shapeFactor / (628.4 / 557.1), 1, 0.002);
  EXPECT_NEAR(*out.values->vertical.shapeFactor / (125.2 / 80.5), 1, 0.002);
}

// --- a T: the plastic axis halves the area, the elastic one passes through the centroid --------

TEST(PlasticTeeTest, PlasticAxisHalvesTheAreaAwayFromTheCentroid) {
  // Flange 100 x 20 mm on top of a web 20 x 80 mm, 0.5 mm per pixel.
  // Area 2000 + 1600 = 3600 mm^2; half of it, 1800 mm^2, lies above the depth 18 mm (in the
  // flange), while the centroid lies at (2000 * 10 + 1600 * 60) / 3600 = 32.22 mm.
  // Wpl = 100 * 18 * 9 + 100 * 2 * 1 + 1600 * (2 + 40) = 16200 + 200 + 67200 = 83600 mm^3.
  // I = 100 * 20^3 / 12 + 2000 * 22.222^2 + 20 * 80^3 / 12 + 1600 * 27.778^2 = 3.1422e6 mm^4,
  // Wel = I / (100 - 32.222) = 46361 mm^3, shape factor 1.803 (the program's Wel is taken about
  // NC's pixel centre, 0.03 mm off the centroid: 0.1 %).
  // About the vertical axis: Wpl = 20 * 100^2 / 4 + 80 * 20^2 / 4 = 58000 mm^3.
  DrawnSection s{MakeGrid(204, 204, kWhite, {{2, 2, 201, 41, kRed}, {82, 42, 121, 201, kRed}}),
                 {2, 2, 201, 201},
                 100,
                 100};
  const PlasticOutcome out =
      Plastic(s, LibraryOf({{"clRed", 210000}}), Strengths({{"clRed", {kFy, kFy}}}));
  ASSERT_TRUE(out.values);
  const PlasticAxis& hor = out.values->horizontal;
  EXPECT_NEAR(hor.axisFirstCompressed, 18, 1e-12);
  EXPECT_NEAR(hor.axisSecondCompressed, 18, 1e-12);
  EXPECT_NEAR(*hor.wpl / 83600, 1, 1e-12);
  EXPECT_NEAR(hor.mplSecondCompressed / (kFy * 83600), 1, 1e-12);
  EXPECT_NEAR(*hor.shapeFactor / (83600 / 46361.0), 1, 0.002);
  EXPECT_NEAR(*out.values->vertical.wpl / 58000, 1, 1e-12);
  EXPECT_NEAR(out.values->vertical.axisFirstCompressed, 50, 1e-12);
}

// --- composite: a concrete slab without tension on a steel I-beam -----------------------------

TEST(PlasticCompositeTest, SaggingAxisInTheSlabAndHoggingOnTheSteelAlone) {
  // Slab 1000 x 150 mm, fc = 17, ft = 0; below it, centred, a welded steel I 150 wide and 300
  // deep, flanges 10 mm, web 6 mm, fy = 355; 1 mm per pixel.
  // Sagging (top compressed): the steel yields in tension, As fy = 4680 * 355 = 1661400 N, less
  // than the slab's 1000 * 150 * 17 = 2550000 N, so the axis lies in the slab at
  // a = As fy / (b fc) = 97.729 mm (cutting a pixel row), and
  // Mpl = As fy (ds - a / 2) with the steel's centroid ds = 150 + 150 = 300 mm.
  // Hogging (bottom compressed): the slab carries nothing in tension; the symmetric steel alone
  // has its axis at mid-depth, 300 mm, and Mpl = fy Wpl,steel with
  // Wpl,steel = 2 * 150 * 10 * 145 + 2 * 6 * 140 * 70 = 552600 mm^3.
  const DrawnSection s = SlabOnWeldedI();
  const PlasticOutcome out = Plastic(s, LibraryOf({{"clRed", 210000}, {"clBlue", 33000}}),
                                     Strengths({{"clRed", {kFy, kFy}}, {"clBlue", {17, 0}}}));
  ASSERT_TRUE(out.values);
  const PlasticAxis& hor = out.values->horizontal;
  const double force = 4680 * kFy;
  const double a = force / (1000 * 17);
  EXPECT_NEAR(hor.axisFirstCompressed, a, 1e-9);
  EXPECT_NEAR(hor.mplFirstCompressed / (force * (300 - a / 2)), 1, 1e-12);
  EXPECT_NEAR(hor.axisSecondCompressed, 300, 1e-9);
  EXPECT_NEAR(hor.mplSecondCompressed / (kFy * 552600), 1, 1e-12);
  EXPECT_FALSE(hor.wpl);
  // Symmetric about the vertical middle: the two directions mirror each other.
  const PlasticAxis& ver = out.values->vertical;
  EXPECT_NEAR(ver.axisFirstCompressed + ver.axisSecondCompressed, 1000, 1e-9);
  EXPECT_NEAR(ver.mplFirstCompressed / ver.mplSecondCompressed, 1, 1e-12);
}

// --- without strengths -----------------------------------------------------------------------

TEST(PlasticMissingTest, AMaterialWithoutStrengthLeavesNoValuesAndSaysWhich) {
  DrawnSection s{
      MakeGrid(24, 24, kWhite, {{2, 2, 21, 11, kRed}, {2, 12, 21, 21, kBlue}, {8, 8, 9, 9, kLime}}),
      {2, 2, 21, 21},
      20,
      20};
  const TPROPClass lib = LibraryOf({{"clRed", 210000}, {"clBlue", 30000}, {"clLime", 0}});
  PlasticOutcome out = Plastic(s, lib, Strengths({{"clRed", {kFy, kFy}}}));
  EXPECT_FALSE(out.values);
  // clLime has E = 0: it carries nothing and needs no strength.
  EXPECT_EQ(out.missing, "no strength given for clBlue");
  out = Plastic(s, lib, {});
  EXPECT_EQ(out.missing, "no strength given for clRed, clBlue");
  out = Plastic(s, lib, Strengths({{"clRed", {kFy, kFy}}, {"clBlue", {kFy, kFy}}}));
  EXPECT_TRUE(out.values);
  EXPECT_TRUE(out.missing.empty());
}

}  // namespace
}  // namespace qv::test
