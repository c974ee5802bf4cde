// Tests of the overlay geometry: exact positions, pen widths, label resolution, suppression.
#include "core/section/overlay.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>
#include <string>
#include <vector>

#include "support/row_name.h"

namespace qv::test {
namespace {

constexpr ColourValue kAxes = 0x00FF0000;
constexpr ColourValue kMass = 0x0000FF00;
constexpr ColourValue kPrincipal = 0x000000FF;

double Degrees(double d) { return d * std::numbers::pi / 180.0; }

// The picture of the worked example: 400 x 400, section 100..299 x 50..349, NC (200, 200),
// MC (200, 210), tolerance 1 degree, default convention. Distinct colours catch mix-ups.
OverlayInput Example(double alpha) {
  OverlayInput in;
  in.Width = 400;
  in.Height = 400;
  in.Bounds = {100, 50, 299, 349};
  in.NC = {200, 200};
  in.MC = {200, 210};
  in.Alpha = alpha;
  in.AxesColour = kAxes;
  in.MassCentreColour = kMass;
  in.PrincipalAxesColour = kPrincipal;
  in.AngleTolerance = 1.0;
  in.SignConvention = SignConvention::DorvastPelkam;
  return in;
}

DrawOp Line(ColourValue colour, std::vector<PixelPoint> points, int pen = 2) {
  return PolylineOp{std::move(points), colour, pen};
}
DrawOp Circle(ColourValue colour, PixelPoint centre, int pen = 2) {
  return EllipseOp{{centre.x - 5, centre.y - 5}, {centre.x + 5, centre.y + 5}, colour, pen};
}
DrawOp Label(ColourValue colour, PixelPoint at, const std::string& text, int dpi = 96) {
  return LabelOp{at, text, colour, GraphicsFont{}, dpi};
}

// Everything up to the principal axes is the same for both angles of the example.
std::vector<DrawOp> ExampleWithoutPrincipalAxes() {
  return {
      Circle(kAxes, {200, 200}),
      Circle(kMass, {200, 210}),
      Label(kMass, {210, 200}, " MC "),
      Line(kAxes, {{200, 200}, {200, 361}, {196, 361}, {200, 379}, {204, 361}, {200, 361}}),
      Label(kAxes, {200, 379}, " z "),
      Line(kAxes, {{200, 200}, {83, 200}, {83, 197}, {70, 200}, {83, 203}, {83, 200}}),
      Label(kAxes, {50, 200}, " y "),
      Line(kAxes, {{95, 50}, {105, 50}}),
      Line(kAxes, {{100, 45}, {100, 55}}),
      Label(kAxes, {110, 30}, " UL-corner "),
  };
}

std::vector<const PolylineOp*> Polylines(const OverlayOps& ops) {
  std::vector<const PolylineOp*> lines;
  for (const DrawOp& op : ops)
    if (const auto* line = std::get_if<PolylineOp>(&op)) lines.push_back(line);
  return lines;
}

std::vector<const LabelOp*> Labels(const OverlayOps& ops) {
  std::vector<const LabelOp*> labels;
  for (const DrawOp& op : ops)
    if (const auto* label = std::get_if<LabelOp>(&op)) labels.push_back(label);
  return labels;
}

TEST(OverlayTest, WorkedExampleSmallAngleComesOutPointForPoint) {
  std::vector<DrawOp> expected = ExampleWithoutPrincipalAxes();
  expected.push_back(
      Line(kPrincipal, {{200, 200}, {83, 236}, {82, 233}, {70, 240}, {84, 239}, {83, 236}}));
  expected.push_back(Label(kPrincipal, {50, 240}, " (1) "));
  expected.push_back(
      Line(kPrincipal, {{200, 200}, {250, 361}, {246, 362}, {255, 379}, {254, 360}, {250, 361}}));
  expected.push_back(Label(kPrincipal, {255, 379}, " (2) "));
  EXPECT_EQ(DrawResultOverlay(Example(0.3)), expected);
}

TEST(OverlayTest, WorkedExampleSteepAngleEndsOnLowerAndRightMargins) {
  std::vector<DrawOp> expected = ExampleWithoutPrincipalAxes();
  expected.push_back(
      Line(kPrincipal, {{200, 200}, {137, 361}, {133, 360}, {130, 379}, {141, 362}, {137, 361}}));
  expected.push_back(Label(kPrincipal, {110, 379}, " (1) "));
  expected.push_back(
      Line(kPrincipal, {{200, 200}, {316, 245}, {315, 248}, {329, 250}, {317, 242}, {316, 245}}));
  expected.push_back(Label(kPrincipal, {329, 250}, " (2) "));
  EXPECT_EQ(DrawResultOverlay(Example(1.2)), expected);
}

TEST(OverlayTest, RoundEvenSendsHalvesToTheEvenNeighbour) {
  EXPECT_EQ(RoundEven(12.5), 12);
  EXPECT_EQ(RoundEven(13.5), 14);
  EXPECT_EQ(RoundEven(-2.5), -2);
  EXPECT_EQ(RoundEven(-3.5), -4);
  EXPECT_EQ(RoundEven(2.6), 3);
  EXPECT_EQ(RoundEven(-2.6), -3);
  // Degenerate inputs stay defined: saturation and NaN.
  EXPECT_EQ(RoundEven(1e300), std::numeric_limits<int>::max());
  EXPECT_EQ(RoundEven(-1e300), std::numeric_limits<int>::min());
  EXPECT_EQ(RoundEven(std::nan("")), 0);
}

struct PenCase {
  int width;
  int height;
  int pen;
};
void PrintTo(const PenCase& c, std::ostream* os) { *os << c.width << " x " << c.height; }

class OverlayPenTest : public ::testing::TestWithParam<PenCase> {};

TEST_P(OverlayPenTest, EveryLineAndMarkerUsesThePenOfThePictureHeight) {
  const PenCase c = GetParam();
  OverlayInput in = Example(0.3);
  in.Width = c.width;
  in.Height = c.height;
  const OverlayOps ops = DrawResultOverlay(in);
  int stroked = 0;
  for (const DrawOp& op : ops) {
    if (const auto* line = std::get_if<PolylineOp>(&op)) {
      EXPECT_EQ(line->PenWidth, c.pen);
      ++stroked;
    } else if (const auto* ellipse = std::get_if<EllipseOp>(&op)) {
      EXPECT_EQ(ellipse->PenWidth, c.pen);
      ++stroked;
    }
  }
  EXPECT_GE(stroked, 6);
}

INSTANTIATE_TEST_SUITE_P(, OverlayPenTest,
                         ::testing::Values(PenCase{400, 599, 2},    // just below the first step
                                           PenCase{400, 600, 3},    // first step
                                           PenCase{400, 999, 3},    // just below the second
                                           PenCase{400, 1000, 4},   // second step
                                           PenCase{5000, 400, 2}),  // width plays no part
                         RowName);

TEST(OverlayTest, LabelResolutionGrowsOnlyForPicturesTallerThanTheirBox) {
  EXPECT_EQ(LabelDpiFor(400, 401, 96), 96);
  EXPECT_EQ(LabelDpiFor(401, 401, 96), 96);
  EXPECT_EQ(LabelDpiFor(2005, 401, 96), 480);
  EXPECT_EQ(LabelDpiFor(402, 401, 120), 120);  // 120.299 rounds down
  // A collapsed view must not divide by zero.
  EXPECT_EQ(LabelDpiFor(2005, 0, 96), 96);
}

TEST(OverlayTest, EveryLabelOfATallPictureCarriesTheEnlargedResolution) {
  OverlayInput in = Example(0.3);
  in.Height = 2005;
  in.Font = {"Courier", 9, kFontBold | kFontItalic};
  // The labels point into the drawing, so it must outlive them.
  const OverlayOps ops = DrawResultOverlay(in);
  const auto labels = Labels(ops);
  ASSERT_EQ(labels.size(), 6u);
  for (const LabelOp* label : labels) {
    EXPECT_EQ(label->FontDpi, 480) << label->Text;
    EXPECT_EQ(label->Font, in.Font) << label->Text;
  }
}

struct AxesCase {
  double alpha;
  SignConvention convention;
  std::vector<DrawOp> expected;
};
void PrintTo(const AxesCase& c, std::ostream* os) {
  *os << NumberLabel(std::round(c.alpha * 1800 / std::numbers::pi) / 10) << " degrees "
      << (c.convention == SignConvention::DorvastPelkam ? "DorvastPelkam"
          : c.convention == SignConvention::EuroCode
              ? "EuroCode"
              : "convention " + std::to_string(static_cast<int>(c.convention)));
}

class OverlayPrincipalAxesTest : public ::testing::TestWithParam<AxesCase> {};

TEST_P(OverlayPrincipalAxesTest, BranchAndLabelsFollowAngleAndConvention) {
  const AxesCase& c = GetParam();
  OverlayInput in = Example(c.alpha);
  in.SignConvention = c.convention;
  OverlayDrawing drawing(in);
  drawing.DrawPrincipalAxes();
  EXPECT_EQ(drawing.Ops(), c.expected);
}

// Near a quarter turn: up to (200, 125) half way to the top, left to (150, 200) half way to
// the left side; labels at (+20, 0) and (0, -20). The shaft of the upward arrow ends at
// 200 + r(-67.5) = 132: the half goes to the even neighbour.
const DrawOp kUp =
    Line(kPrincipal, {{200, 200}, {200, 132}, {201, 132}, {200, 125}, {199, 132}, {200, 132}});
const DrawOp kLeft =
    Line(kPrincipal, {{200, 200}, {155, 200}, {155, 199}, {150, 200}, {155, 201}, {155, 200}});

INSTANTIATE_TEST_SUITE_P(
    , OverlayPrincipalAxesTest,
    ::testing::Values(
        // Within the tolerance of the y-axis: nothing.
        AxesCase{Degrees(0.9), SignConvention::DorvastPelkam, {}},
        AxesCase{Degrees(-0.9), SignConvention::EuroCode, {}},
        // Just beyond it: both arrows, nearly along y and z.
        AxesCase{
            Degrees(1.1),
            SignConvention::DorvastPelkam,
            {Line(kPrincipal, {{200, 200}, {83, 202}, {83, 199}, {70, 202}, {83, 205}, {83, 202}}),
             Label(kPrincipal, {50, 202}, " (1) "),
             Line(kPrincipal,
                  {{200, 200}, {203, 361}, {199, 361}, {203, 379}, {207, 361}, {203, 361}}),
             Label(kPrincipal, {203, 379}, " (2) ")}},
        // Near a quarter turn, default convention: up is (1), left is (2).
        AxesCase{Degrees(89.5),
                 SignConvention::DorvastPelkam,
                 {kUp, Label(kPrincipal, {220, 125}, " (1) "), kLeft,
                  Label(kPrincipal, {150, 180}, " (2) ")}},
        // The same in the engineering convention: labels swapped, arrows unchanged.
        AxesCase{Degrees(89.5),
                 SignConvention::EuroCode,
                 {kUp, Label(kPrincipal, {220, 125}, " (2) "), kLeft,
                  Label(kPrincipal, {150, 180}, " (1) ")}},
        // The negative quarter turn takes the same branch.
        AxesCase{Degrees(-89.5),
                 SignConvention::DorvastPelkam,
                 {kUp, Label(kPrincipal, {220, 125}, " (1) "), kLeft,
                  Label(kPrincipal, {150, 180}, " (2) ")}},
        // A convention value from a hand-edited file: arrows without labels.
        AxesCase{Degrees(89.5), static_cast<SignConvention>(7), {kUp, kLeft}},
        // Negative angle: the first arrow rises to the left and is cut at the top margin, the
        // second runs down to the left and is cut at the left margin.
        AxesCase{
            -1.2,
            SignConvention::DorvastPelkam,
            {Line(kPrincipal, {{200, 200}, {137, 38}, {141, 37}, {130, 20}, {133, 39}, {137, 38}}),
             Label(kPrincipal, {110, 20}, " (1) "),
             Line(kPrincipal, {{200, 200}, {83, 246}, {82, 243}, {70, 251}, {84, 249}, {83, 246}}),
             Label(kPrincipal, {70, 251}, " (2) ")}}),
    RowName);

TEST(OverlayTest, NegativeToleranceAtAQuarterTurnStaysOnTheMargins) {
  // tan(-pi/2) is about -1.6e16: the first end saturates and is cut back to the top margin, the
  // second to the left margin, instead of overflowing into arbitrary positions.
  OverlayInput in = Example(-std::numbers::pi / 2);
  in.AngleTolerance = -1;
  OverlayDrawing drawing(in);
  drawing.DrawPrincipalAxes();
  const auto lines = Polylines(drawing.Ops());
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0]->Points[3], (PixelPoint{200, 20}));
  EXPECT_EQ(lines[1]->Points[3], (PixelPoint{70, 200}));
}

TEST(OverlayTest, NaNAngleDrawsNoPrincipalAxes) {
  OverlayDrawing drawing(Example(std::nan("")));
  drawing.DrawPrincipalAxes();
  EXPECT_TRUE(drawing.Ops().empty());
}

TEST(OverlayTest, NegativePointsSuppressLinesAndArrowsButNotMarkersOrLabels) {
  OverlayDrawing drawing(Example(0));
  drawing.DrawLine({-1, 5}, {10, 5}, kAxes);
  drawing.DrawLine({0, 5}, {10, -1}, kAxes);
  drawing.DrawArrow({20, 20}, {-3, 20}, kAxes);
  drawing.DrawArrow({20, -20}, {3, 20}, kAxes);
  EXPECT_TRUE(drawing.Ops().empty());

  drawing.DrawLine({0, 0}, {10, 0}, kAxes);  // zero is on the picture
  drawing.DrawMarker({-2, 3}, kAxes, MarkerKind::Cross);
  drawing.DrawMarker({3, -2}, kAxes, MarkerKind::Circle);
  drawing.DrawLabel({-40, -5}, " y ", kAxes);
  const OverlayOps expected = {
      Line(kAxes, {{0, 0}, {10, 0}}),   Line(kAxes, {{-7, 3}, {3, 3}}),
      Line(kAxes, {{-2, -2}, {-2, 8}}), Circle(kAxes, {3, -2}),
      Label(kAxes, {-40, -5}, " y "),
  };
  EXPECT_EQ(drawing.Ops(), expected);
}

TEST(OverlayTest, SectionNearTheLeftEdgeLosesTheYArrowButKeepsItsLabel) {
  OverlayInput in = Example(0);
  in.Bounds.xmin = 20;  // 20 - r(30) = -10
  const OverlayOps ops = DrawResultOverlay(in);
  int arrows = 0;
  for (const PolylineOp* line : Polylines(ops)) {
    if (line->Points.size() != 6) continue;
    ++arrows;
    EXPECT_EQ(line->Points[3], (PixelPoint{200, 379})) << "only the z-axis arrow is left";
  }
  EXPECT_EQ(arrows, 1);
  bool yLabel = false;
  for (const LabelOp* label : Labels(ops))
    if (label->Text == " y ") {
      EXPECT_EQ(label->Position, (PixelPoint{-30, 200}));
      yLabel = true;
    }
  EXPECT_TRUE(yLabel);
}

TEST(OverlayTest, SectionFrameRunsAroundTheBounds) {
  const OverlayOps expected = {
      Line(kAxes, {{100, 50}, {299, 50}}),
      Line(kAxes, {{299, 50}, {299, 349}}),
      Line(kAxes, {{299, 349}, {100, 349}}),
      Line(kAxes, {{100, 349}, {100, 50}}),
  };
  EXPECT_EQ(DrawSectionFrame(Example(0)), expected);
}

TEST(OverlayTest, SectionFrameWithUnsetBoundsDrawsNothing) {
  OverlayInput in = Example(0);
  in.Bounds = SectionBounds{};
  EXPECT_TRUE(DrawSectionFrame(in).empty());
}

struct ShearLabelCase {
  const char* name;
  PixelPoint sc;     // the shear centre's pixel
  PixelPoint label;  // where its label goes
};
void PrintTo(const ShearLabelCase& c, std::ostream* os) { *os << c.name; }

class ShearCentreLabelTest : public ::testing::TestWithParam<ShearLabelCase> {};

// In the example, MC's label starts at (210, 200); a label line of the default 14-point font at
// 96 dpi is ceil(14 * 96 / 72 * 1.4) = 27 pixels high.
TEST_P(ShearCentreLabelTest, GoesBelowAndRightWithoutCoveringTheMassCentresLabel) {
  const ShearLabelCase& c = GetParam();
  const OverlayInput in = Example(0);
  ASSERT_EQ(LabelLineHeight(in), 27);
  // Pixel x covers x .. x + 1 from the box's left edge at column 100.
  const OverlayOps ops = DrawShearCentre(in, c.sc.x - 99.5, c.sc.y - 49.5, 1.0, 1.0);
  const std::vector<const LabelOp*> labels = Labels(ops);
  ASSERT_EQ(labels.size(), 1u);
  EXPECT_EQ(labels[0]->Text, " SC ");
  EXPECT_EQ(labels[0]->Position, c.label);
}

INSTANTIATE_TEST_SUITE_P(, ShearCentreLabelTest,
                         ::testing::Values(
                             // A section symmetric both ways: SC on MC, its label goes under MC's.
                             ShearLabelCase{"OnTheMassCentre", {200, 210}, {210, 227}},
                             ShearLabelCase{"OnTheNormalForceCentre", {200, 200}, {210, 227}},
                             // Clear of MC's label: the usual place, 2.5 % right and 1 % below.
                             ShearLabelCase{"FarBelow", {200, 300}, {210, 304}},
                             ShearLabelCase{"FarRight", {320, 210}, {330, 214}}),
                         RowName);

TEST(OverlayTest, AShearCentreOffThePictureIsNamedWithItsPosition) {
  const SectionBounds box{100, 50, 299, 349};
  EXPECT_EQ(ShearCentreOffPictureNote(400, 400, box, 100, 100, 1, 1), std::nullopt);
  // Beyond the left edge (a channel opening to the right, drawn at the edge), and below.
  EXPECT_EQ(ShearCentreOffPictureNote(400, 400, box, -150, 100, 1, 1),
            "The shear centre SC lies outside the picture, at hor = -150.00 mm, ver = 100.00 mm "
            "from upper left corner UL.");
  EXPECT_EQ(ShearCentreOffPictureNote(400, 400, box, 20, 700, 2, 2),
            "The shear centre SC lies outside the picture, at hor = 20.00 mm, ver = 700.00 mm "
            "from upper left corner UL.");
  // The last column is still on the picture; no pixel at all gives no note either.
  EXPECT_EQ(ShearCentreOffPictureNote(400, 400, box, 299.6, 100, 1, 1), std::nullopt);
  EXPECT_EQ(ShearCentreOffPictureNote(400, 400, box, std::nan(""), 100, 1, 1), std::nullopt);
}

TEST(OverlayTest, ViewPositionsGiveThePictureRowAndColumnHalvesToEven) {
  // 401 view pixels over 400 picture pixels, and a small picture stretched 5 times.
  EXPECT_EQ(PictureOfView(0, 401, 400), 0);
  EXPECT_EQ(PictureOfView(400, 401, 400), 399);
  EXPECT_EQ(PictureOfView(25, 400, 80), 5);
  EXPECT_EQ(PictureOfView(12.5, 400, 80), 2);  // 2.5
  EXPECT_EQ(PictureOfView(17.5, 400, 80), 4);  // 3.5
}

}  // namespace
}  // namespace qv::test
