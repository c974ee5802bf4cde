// Plastic moments from outlines against hand solutions: stress blocks of rectangles, discs, an
// I with root fillets (composed by hand and as published), a T whose axis runs in its flange, a
// slab over a steel I with a concrete that takes no tension, and the gap between two parts.
#include "core/outline/outline_plastic.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <numbers>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "core/library/dd_props.h"
#include "core/outline/outline_regions.h"
#include "core/scan/moments.h"
#include "core/section/plastic.h"
#include "support/material_library.h"
#include "support/row_name.h"
#include "support/section_analysis.h"
#include "support/section_pictures.h"

namespace qv::test {
namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kUnset = std::numeric_limits<double>::quiet_NaN();
constexpr std::uint32_t kRed = 0x0000FF;
constexpr std::uint32_t kBlue = 0xFF0000;
constexpr std::uint32_t kLime = 0x00FF00;
constexpr double kFy = 355;
const double kQuarter = std::sqrt(2.0) - 1;  // a quarter arc's bulge, tan(pi / 8)

OutlineLoop Box(double x0, double y0, double x1, double y1) {
  return {{{x0, y0, 0}, {x1, y0, 0}, {x1, y1, 0}, {x0, y1, 0}}};
}

OutlineLoop Circle(double cx, double cy, double r) { return {{{cx - r, cy, 1}, {cx + r, cy, 1}}}; }

// IPE 300 with root fillets, its lower left corner at the origin.
constexpr double kH = 300;
constexpr double kB = 150;
constexpr double kTw = 7.1;
constexpr double kTf = 10.7;
constexpr double kR = 15;

OutlineLoop Ipe300() {
  const double m = kB / 2;
  const double w = kTw / 2;
  const double r = kR;
  return {{{0, 0, 0},
           {kB, 0, 0},
           {kB, kTf, 0},
           {m + w + r, kTf, -kQuarter},
           {m + w, kTf + r, 0},
           {m + w, kH - kTf - r, -kQuarter},
           {m + w + r, kH - kTf, 0},
           {kB, kH - kTf, 0},
           {kB, kH, 0},
           {0, kH, 0},
           {0, kH - kTf, 0},
           {m - w - r, kH - kTf, -kQuarter},
           {m - w, kH - kTf - r, 0},
           {m - w, kTf + r, -kQuarter},
           {m - w - r, kTf, 0},
           {0, kTf, 0}}};
}

// A root fillet's material, the square r x r less its quarter disc: area and first moment about
// the face it stands on.
const double kFilletA = kR * kR * (1 - kPi / 4);
const double kFilletQ = kR * kR * kR * (5.0 / 6 - kPi / 4);

// Twice the first moment of a half section about the middle.
const double kIpeWply = 2 * (kB * kTf * (kH - kTf) / 2 + kTw * (kH / 2 - kTf) * (kH / 2 - kTf) / 2 +
                             2 * (kFilletA * (kH / 2 - kTf) - kFilletQ));
const double kIpeWplz =
    kTf * kB * kB / 2 + (kH - 2 * kTf) * kTw * kTw / 4 + 4 * (kFilletA * kTw / 2 + kFilletQ);

// A T: flange 200 x 20 on a web 10 x 180. Half its area, 2900, lies in the flange's top 14.5.
const double kTWply = 200 * 14.5 * 14.5 / 2 + 200 * 5.5 * 5.5 / 2 + 1800 * (5.5 + 90);
// Its elastic centre 238000 / 5800 below the top, the farthest fibre the web's foot.
double TShapeFactor() {
  const double centre = (4000.0 * 10 + 1800.0 * 110) / 5800;
  const double i = 200.0 * 20 * 20 * 20 / 12 + 4000 * (centre - 10) * (centre - 10) +
                   10.0 * 180 * 180 * 180 / 12 + 1800 * (110 - centre) * (110 - centre);
  return kTWply / (i / (200 - centre));
}

// Concrete 1000 x 150 (fc 20, no tension) over a welded steel I 150 x 300, flanges 10, web 6.
// Compressed from above, the steel's 4680 mm^2 pull as hard as the slab's top d pushes.
constexpr double kSteelArea = 2 * 150 * 10 + 6 * 280;
constexpr double kSlabDepth = kFy * kSteelArea / (20 * 1000);
constexpr double kSlabMpl = kFy * kSteelArea * (kSlabDepth / 2 + (450 - kSlabDepth - 150));
// Compressed from below, the slab is in tension and carries nothing: the steel's own Wpl.
constexpr double kSteelWpl = 2 * (150 * 10 * 145 + 6 * 140 * 140 / 2.0);

struct Axis {
  double mplFirst = kUnset;  ///< N mm; unset: this axis is not checked
  double mplSecond = kUnset;
  double atFirst = kUnset;  ///< mm from the box's top (left) edge
  double atSecond = kUnset;
  double wpl = kUnset;    ///< unset: there must be none
  double shape = kUnset;  ///< unset: not checked
};

struct Case {
  const char* comment;
  std::function<OutlineDrawing()> drawing;
  std::vector<Material> materials;
  std::vector<std::pair<const char*, Strength>> strengths;
  Axis horizontal;
  Axis vertical;
  std::string missing;
  double tolerance = 1e-12;  ///< relative to the moments, and to the depth for the axis
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.comment; }

Axis OneStrength(double wpl, double at, double shape = kUnset) {
  return {kFy * wpl, kFy * wpl, at, at, wpl, shape};
}

class OutlinePlasticTest : public testing::TestWithParam<Case> {
 protected:
  static TPROPClass Library(const Case& c) { return LibraryOf(c.materials); }

  static StrengthTable Strengths(const Case& c) {
    StrengthTable table;
    for (const auto& [label, strength] : c.strengths) table.Set(label, strength);
    return table;
  }

  // The section values as an analysis reports them: its stiffnesses about NC rounded to a whole
  // cell (1 mm cells here, counted down from y = 0), read as coverage (no cell's own moment).
  static SectionResult Stiffnesses(const OutlineDrawing& drawing, const TPROPClass& library) {
    const OutlineSection s = OutlineSectionOf(drawing, MaterialsInUse(library));
    SectionResult section;
    section.Dx = 1;
    section.Dy = 1;
    section.Coverage = true;
    section.EA = s.EA;
    section.SumEHor = s.EA * s.centre.x;
    section.SumEVer = -s.EA * s.centre.y;
    section.NC = {static_cast<int>(std::lround(s.centre.x)),
                  static_cast<int>(std::lround(-s.centre.y))};
    const double y = s.centre.x - section.NC.x;
    const double z = -s.centre.y - section.NC.y;
    section.EIyy = s.EIyy + s.EA * y * y;
    section.EIzz = s.EIzz + s.EA * z * z;
    section.EIyz = s.EIyz - s.EA * y * z;
    return section;
  }

  static PlasticOutcome Outcome(const Case& c) {
    const OutlineDrawing drawing = c.drawing();
    const TPROPClass library = Library(c);
    const OutlineBox box = BoxOf(drawing);
    return OutlinePlasticSection(drawing, library, Strengths(c), Stiffnesses(drawing, library),
                                 box.xmin, box.ymax);
  }
};

void ExpectAxis(const PlasticAxis& got, const Axis& want, double depth, double tolerance) {
  if (std::isnan(want.mplFirst)) return;
  EXPECT_NEAR(got.mplFirstCompressed, want.mplFirst, tolerance * want.mplFirst);
  EXPECT_NEAR(got.mplSecondCompressed, want.mplSecond, tolerance * want.mplSecond);
  EXPECT_NEAR(got.axisFirstCompressed, want.atFirst, tolerance * depth);
  EXPECT_NEAR(got.axisSecondCompressed, want.atSecond, tolerance * depth);
  ASSERT_EQ(got.wpl.has_value(), !std::isnan(want.wpl));
  if (got.wpl) {
    EXPECT_NEAR(*got.wpl, want.wpl, tolerance * want.wpl);
  }
  if (!std::isnan(want.shape)) {
    ASSERT_TRUE(got.shapeFactor);
    EXPECT_NEAR(*got.shapeFactor, want.shape, tolerance * want.shape);
  }
}

TEST_P(OutlinePlasticTest, MatchesTheHandSolution) {
  const Case& c = GetParam();
  const PlasticOutcome out = Outcome(c);
  EXPECT_EQ(out.missing, c.missing);
  ASSERT_EQ(out.values.has_value(), c.missing.empty());
  if (!out.values) return;
  const OutlineBox box = BoxOf(c.drawing());
  ExpectAxis(out.values->horizontal, c.horizontal, box.ymax - box.ymin, c.tolerance);
  ExpectAxis(out.values->vertical, c.vertical, box.xmax - box.xmin, c.tolerance);
}

INSTANTIATE_TEST_SUITE_P(
    Table, OutlinePlasticTest,
    testing::Values(
        // b h^2 / 4 about the middle, away from the origin; Wel = b h^2 / 6.
        Case{"a rectangle 40 x 100",
             [] {
               return OutlineDrawing{{{kRed, {Box(10, 20, 50, 120)}}}};
             },
             {{"clRed", 210000}},
             {{"clRed", {kFy, kFy}}},
             OneStrength(40.0 * 100 * 100 / 4, 50, 1.5),
             OneStrength(100.0 * 40 * 40 / 4, 20, 1.5),
             ""},
        // fc = 3 ft: the compressed block is a quarter of the depth, Mpl = 3/8 ft b h^2.
        Case{"a rectangle with fc three times ft",
             [] {
               return OutlineDrawing{{{kRed, {Box(0, 0, 40, 100)}}}};
             },
             {{"clRed", 30000}},
             {{"clRed", {30, 10}}},
             {3.0 / 8 * 10 * 40 * 100 * 100, 3.0 / 8 * 10 * 40 * 100 * 100, 25, 75},
             {3.0 / 8 * 10 * 100 * 40 * 40, 3.0 / 8 * 10 * 100 * 40 * 40, 10, 30},
             ""},
        // 4/3 r^3 both ways, the axes cutting the half arcs at their ends and in their middles;
        // Wel = pi r^3 / 4.
        Case{"a disc of radius 30",
             [] {
               return OutlineDrawing{{{kRed, {Circle(100, -40, 30)}}}};
             },
             {{"clRed", 210000}},
             {{"clRed", {kFy, kFy}}},
             OneStrength(4.0 / 3 * 30 * 30 * 30, 30, 16 / (3 * kPi)),
             OneStrength(4.0 / 3 * 30 * 30 * 30, 30, 16 / (3 * kPi)),
             ""},
        // A hole painted in a colour of E = 0 carries nothing: (B H^2 - b h^2) / 4.
        Case{"a box 100 x 200 with a hole 60 x 140 of E 0",
             [] {
               return OutlineDrawing{
                   {{kRed, {Box(0, 0, 100, 200)}}, {kLime, {Box(20, 30, 80, 170)}}}};
             },
             {{"clRed", 210000}, {"clLime", 0}},
             {{"clRed", {kFy, kFy}}},
             OneStrength((100.0 * 200 * 200 - 60.0 * 140 * 140) / 4, 100),
             OneStrength((200.0 * 100 * 100 - 140.0 * 60 * 60) / 4, 50),
             ""},
        // Flanges, web and four fillet spandrels composed by hand.
        Case{"IPE 300 by hand",
             [] {
               return OutlineDrawing{{{kRed, {Ipe300()}}}};
             },
             {{"clRed", 210000}},
             {{"clRed", {kFy, kFy}}},
             OneStrength(kIpeWply, kH / 2),
             OneStrength(kIpeWplz, kB / 2),
             ""},
        // The tables' Wpl,y 628.4e3 and Wpl,z 125.2e3 mm^3, to their last digit.
        Case{"IPE 300 as published",
             [] {
               return OutlineDrawing{{{kRed, {Ipe300()}}}};
             },
             {{"clRed", 210000}},
             {{"clRed", {kFy, kFy}}},
             OneStrength(628.4e3, kH / 2),
             OneStrength(125.2e3, kB / 2),
             "",
             4e-4},
        // The axis in the flange, far from the elastic centre; the web's foot yields first.
        Case{"a T with its axis in the flange",
             [] {
               return OutlineDrawing{{{kRed, {Box(-100, 180, 100, 200), Box(-5, 0, 5, 180)}}}};
             },
             {{"clRed", 210000}},
             {{"clRed", {kFy, kFy}}},
             OneStrength(kTWply, 14.5, TShapeFactor()),
             OneStrength(20.0 * 200 * 200 / 4 + 180.0 * 10 * 10 / 4, 100),
             ""},
        // Two strengths: the axis in the slab one way, at the steel's middle the other.
        Case{"a concrete slab over a steel I",
             [] {
               return OutlineDrawing{
                   {{kBlue, {Box(-500, 300, 500, 450)}},
                    {kRed, {Box(-75, 0, 75, 10), Box(-3, 10, 3, 290), Box(-75, 290, 75, 300)}}}};
             },
             {{"clBlue", 30000}, {"clRed", 210000}},
             {{"clBlue", {20, 0}}, {"clRed", {kFy, kFy}}},
             {kSlabMpl, kFy* kSteelWpl, kSlabDepth, 300},
             {},
             ""},
        // Equal areas 2000 above and below a 40 mm gap: the axis in the gap's middle.
        Case{
            "two plates with a gap between them",
            [] {
              return OutlineDrawing{{{kRed, {Box(0, 80, 100, 100)}}, {kRed, {Box(25, 0, 75, 40)}}}};
            },
            {{"clRed", 210000}},
            {{"clRed", {kFy, kFy}}},
            OneStrength(2000.0 * 30 + 2000.0 * 40, 40),
            OneStrength(20.0 * 100 * 100 / 4 + 40.0 * 50 * 50 / 4, 50),
            ""},
        // Every material with E above 0 and no strength is named; E = 0 needs none.
        Case{"a material without a strength",
             [] {
               return OutlineDrawing{{{kRed, {Box(0, 0, 10, 10)}},
                                      {kBlue, {Box(0, 10, 10, 20)}},
                                      {kLime, {Box(2, 2, 8, 8)}}}};
             },
             {{"clRed", 210000}, {"clBlue", 30000}, {"clLime", 0}},
             {{"clRed", {kFy, kFy}}},
             {},
             {},
             "no strength given for clBlue"},
        // Only a colour of E = 0 in the drawing.
        Case{"nothing carrying",
             [] {
               return OutlineDrawing{{{kLime, {Box(0, 0, 10, 10)}}}};
             },
             {{"clRed", 210000}, {"clLime", 0}},
             {{"clRed", {kFy, kFy}}},
             {},
             {},
             "no material with E above 0 in the section"}),
    RowName);

// A picture of the same section, drawn finer, gives the outlines' values in the limit: the pixel
// staircase and the box rounded up to whole pixels are its only differences.
TEST_F(OutlinePlasticTest, PicturesConvergeToTheOutlines) {
  struct Shape {
    OutlineDrawing drawing;
    ShapeFn picture;
    double width, height;
  };
  const Shape shapes[] = {{{{{kRed, {Box(0, 0, 40.3, 100.7)}}}}, Rectangle(kRed), 40.3, 100.7},
                          {{{{kRed, {Ipe300()}}}}, ISection(kH, kB, kTw, kTf, kR, kRed), kB, kH}};
  const TPROPClass library = LibraryOf({{"clRed", 210000}});
  StrengthTable strengths;
  strengths.Set("clRed", {kFy, kFy});
  for (const Shape& shape : shapes) {
    const PlasticOutcome exact = OutlinePlasticSection(
        shape.drawing, library, strengths, Stiffnesses(shape.drawing, library), 0, shape.height);
    ASSERT_TRUE(exact.values);
    double previous = 1;
    for (const double pixel : {1.0, 0.3, 0.07}) {
      const DrawnSection s = DrawSection(shape.width, shape.height, pixel, shape.picture);
      const PlasticOutcome drawn =
          ComputePlasticSection(s.grid, s.bounds, library, strengths, SectionValues(s, library));
      ASSERT_TRUE(drawn.values);
      const double error =
          std::max(std::abs(*drawn.values->horizontal.wpl / *exact.values->horizontal.wpl - 1),
                   std::abs(*drawn.values->vertical.wpl / *exact.values->vertical.wpl - 1));
      EXPECT_LT(error, previous) << pixel << " mm";
      previous = error;
    }
    EXPECT_LT(previous, 2e-3);
  }
}

}  // namespace
}  // namespace qv::test
