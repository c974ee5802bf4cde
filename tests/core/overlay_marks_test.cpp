// Tests of the marks a view draws at its own scale: mm <-> picture mapping and the axes, centres
// and names, checked against the picture overlay and the window's centre texts.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>
#include <ostream>
#include <string>

#include "core/base/number_text.h"
#include "core/elastic/section_solver.h"
#include "core/section/overlay.h"
#include "core/section/result_text.h"
#include "support/row_name.h"

namespace qv::test {
namespace {

struct MappingCase {
  SectionBounds bounds;
  double hor, ver, dx, dy;
  double x, y;  // the expected picture point
};

void PrintTo(const MappingCase& c, std::ostream* os) {
  *os << NumberLabel(c.hor) << " by " << NumberLabel(c.ver) << " mm at " << NumberLabel(c.dx)
      << " by " << NumberLabel(c.dy) << " from " << c.bounds.xmin << " " << c.bounds.ymin;
}

class SectionMappingTest : public ::testing::TestWithParam<MappingCase> {};

TEST_P(SectionMappingTest, MmAndPictureMapBothWaysAndAgreeWithTheNearestPixel) {
  const MappingCase& c = GetParam();
  const std::optional<PicturePoint> at = PictureOfPoint(c.bounds, c.hor, c.ver, c.dx, c.dy);
  ASSERT_TRUE(at.has_value());
  EXPECT_DOUBLE_EQ(at->x, c.x);
  EXPECT_DOUBLE_EQ(at->y, c.y);
  const std::optional<SectionPoint> back = PointOfPicture(c.bounds, *at, c.dx, c.dy);
  ASSERT_TRUE(back.has_value());
  EXPECT_NEAR(back->Hor, c.hor, 1e-9);
  EXPECT_NEAR(back->Ver, c.ver, 1e-9);
  // The marker's pixel is the one the point falls in (no row lands on a pixel edge).
  const std::optional<PixelPoint> pixel = PixelOfPoint(c.bounds, c.hor, c.ver, c.dx, c.dy);
  ASSERT_TRUE(pixel.has_value());
  EXPECT_EQ(*pixel,
            (PixelPoint{static_cast<int>(std::floor(c.x)), static_cast<int>(std::floor(c.y))}));
}

INSTANTIATE_TEST_SUITE_P(
    , SectionMappingTest,
    ::testing::Values(
        // The corner itself is the left edge of the first column and the top edge of its row.
        MappingCase{{10, 20, 50, 60}, 0.25, 0.25, 1, 1, 10.25, 20.25},
        // Unequal scales: 0.5 mm wide, 2 mm high pixels.
        MappingCase{{100, 50, 299, 349}, 25.2, 10.6, 0.5, 2, 150.4, 55.3},
        // Left of and above the box (a shear centre outside a channel).
        MappingCase{{150, 100, 269, 299}, -17.3, 99.9, 1, 1, 132.7, 199.9}),
    RowName);

TEST(SectionPointTest, NoPointWithoutAScaleOrFromInfinity) {
  const SectionBounds b{0, 0, 9, 9};
  EXPECT_FALSE(PictureOfPoint(b, 1, 1, 0, 1));
  EXPECT_FALSE(PictureOfPoint(b, 1, 1, 1, -1));
  EXPECT_FALSE(PictureOfPoint(b, std::numeric_limits<double>::quiet_NaN(), 1, 1, 1));
  EXPECT_FALSE(PictureOfPoint(b, 1e300, 1, 1e-300, 1));
  EXPECT_FALSE(PointOfPicture(b, {1, 1}, 0, 0));
  EXPECT_FALSE(PointOfPicture(b, {std::numeric_limits<double>::infinity(), 1}, 1, 1));
}

SectionResult Analysed(double alpha) {
  SectionResult r;
  r.Dx = 0.5;
  r.Dy = 1.5;
  r.EA = 1e6;
  r.Mass = 0.01;
  r.NC = {200, 200};
  r.MC = {200, 210};
  r.Alpha = alpha;
  return r;
}

TEST(SectionMarksTest, CentresAreWhereTheOverlayDrawsThemAndReadAsTheWindowsTexts) {
  const SectionBounds bounds{103, 51, 299, 349};
  const SectionResult result = Analysed(0);
  const SectionMarks marks = MakeSectionMarks(bounds, result, ProgramSettings{}, std::nullopt);
  EXPECT_EQ(marks.NC, (PicturePoint{200, 200}));
  ASSERT_TRUE(marks.MC.has_value());
  EXPECT_EQ(*marks.MC, (PicturePoint{200, 210}));
  // The pointer on a mark reads the numbers the window shows for that centre.
  const CentreTexts texts = FormatCentreTexts(result, bounds);
  const auto nc = PointOfPicture(bounds, marks.NC, result.Dx, result.Dy);
  const auto mc = PointOfPicture(bounds, *marks.MC, result.Dx, result.Dy);
  EXPECT_EQ(FormatFixed(nc->Hor, 8, 2), texts.ncHor);
  EXPECT_EQ(FormatFixed(nc->Ver, 8, 2), texts.ncVer);
  EXPECT_EQ(FormatFixed(mc->Hor, 8, 2), texts.mcHor);
  EXPECT_EQ(FormatFixed(mc->Ver, 8, 2), texts.mcVer);
  EXPECT_EQ(marks.Y, (SectionAxis{{-1, 0}, "y"}));
  EXPECT_EQ(marks.Z, (SectionAxis{{0, 1}, "z"}));
  EXPECT_TRUE(marks.Principal.empty());  // alpha 0: the y/z-axes are principal
  EXPECT_FALSE(marks.SC.has_value());

  // Materials without density leave no mass centre to mark.
  SectionResult massless = result;
  massless.Mass = 0;
  EXPECT_FALSE(MakeSectionMarks(bounds, massless, ProgramSettings{}, std::nullopt).MC.has_value());

  // A computed shear centre sits where its mm put it.
  const SectionMarks withSc =
      MakeSectionMarks(bounds, result, ProgramSettings{}, SectionPoint{-10, 30});
  ASSERT_TRUE(withSc.SC.has_value());
  EXPECT_EQ(*withSc.SC, (PicturePoint{83, 71}));
}

struct PrincipalCase {
  double degrees;
  SignConvention convention;
};

void PrintTo(const PrincipalCase& c, std::ostream* os) {
  *os << NumberLabel(c.degrees) << " degrees convention " << static_cast<int>(c.convention);
}

class SectionMarksPrincipalTest : public ::testing::TestWithParam<PrincipalCase> {};

// The overlay's arrows are rounded to pixels; the view's axes must point the same ways and carry
// the same names.
TEST_P(SectionMarksPrincipalTest, AxesPointAndAreNamedAsTheOverlaysArrows) {
  const PrincipalCase& c = GetParam();
  const double alpha = c.degrees * std::numbers::pi / 180;
  ProgramSettings settings;
  settings.SignConvention = c.convention;
  const SectionBounds bounds{100, 50, 299, 349};
  const SectionMarks marks = MakeSectionMarks(bounds, Analysed(alpha), settings, std::nullopt);

  OverlayInput in;
  in.Width = in.Height = 400;
  in.Bounds = bounds;
  in.NC = {200, 200};
  in.Alpha = alpha;
  in.SignConvention = c.convention;
  OverlayDrawing drawing(in);
  drawing.DrawPrincipalAxes();
  std::vector<PicturePoint> arrows;
  std::vector<std::string> names;
  for (const DrawOp& op : drawing.Ops()) {
    if (const auto* line = std::get_if<PolylineOp>(&op)) {
      const PixelPoint tip = line->Points[3];  // p, S, B, q: the head's point
      const double length = std::hypot(tip.x - 200.0, tip.y - 200.0);
      arrows.push_back({(tip.x - 200) / length, (tip.y - 200) / length});
    } else if (const auto* label = std::get_if<LabelOp>(&op)) {
      names.push_back(label->Text.substr(1, label->Text.size() - 2));
    }
  }
  ASSERT_EQ(marks.Principal.size(), arrows.size());
  for (std::size_t i = 0; i < arrows.size(); ++i) {
    EXPECT_NEAR(marks.Principal[i].Direction.x, arrows[i].x, 0.02) << "axis " << i;
    EXPECT_NEAR(marks.Principal[i].Direction.y, arrows[i].y, 0.02) << "axis " << i;
    EXPECT_NEAR(std::hypot(marks.Principal[i].Direction.x, marks.Principal[i].Direction.y), 1,
                1e-12);
    EXPECT_EQ(marks.Principal[i].Name, names.empty() ? "" : names[i]) << "axis " << i;
  }
}

INSTANTIATE_TEST_SUITE_P(, SectionMarksPrincipalTest,
                         ::testing::Values(PrincipalCase{0.5, SignConvention::DorvastPelkam},
                                           PrincipalCase{17.2, SignConvention::DorvastPelkam},
                                           PrincipalCase{17.2, SignConvention::EuroCode},
                                           PrincipalCase{-68.8, SignConvention::DorvastPelkam},
                                           PrincipalCase{89.5, SignConvention::EuroCode},
                                           PrincipalCase{-89.5, SignConvention::DorvastPelkam},
                                           PrincipalCase{45, static_cast<SignConvention>(7)}),
                         RowName);

}  // namespace
}  // namespace qv::test
