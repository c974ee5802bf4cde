// The moment-curvature and the biaxial failure moments against hand formulas: the elastic-plastic
// rectangle's curve, the end at the ultimate strain, a symmetric section's symmetries, a picture
// turned by a quarter, and an L angle's moments about the inclined plastic neutral axis.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <vector>

#include "core/library/material_law.h"
#include "core/scan/coverage.h"
#include "core/section/resistance.h"
#include "support/grid_builder.h"
#include "support/material_library.h"
#include "support/section_analysis.h"
#include "support/section_pictures.h"

namespace qv::test {
namespace {

constexpr double kE = 210000;
constexpr double kF = 355;

ResistanceSection Curves(const DrawnSection& s, const TPROPClass& lib, const StrengthTable& fy,
                         const LawTable& laws, int angles, double n = 0) {
  const ResistanceOutcome out =
      ComputeResistance({&s.grid}, s.bounds, lib, fy, laws, SectionValues(s, lib), n,
                        {.momentCurvature = true, .biaxialAngles = angles});
  EXPECT_TRUE(out.values) << out.missing;
  return out.values.value_or(ResistanceSection{});
}

StrengthTable Steel(const char* label) {
  StrengthTable table;
  table.Set(label, {kF, kF});
  return table;
}

LawTable LawOf(const char* label, const char* text) {
  LawTable table;
  table.Set(label, ReadMaterialLaw(text));
  return table;
}

// Rows: the curve of each axis of a 100 x 200 rectangle; b across the axis, h along it.
struct CurveCase {
  bool horizontal;
  double b;
  double h;
};
void PrintTo(const CurveCase& c, std::ostream* os) { *os << (c.horizontal ? "hor" : "ver"); }

class ResistanceCurvesTest : public ::testing::TestWithParam<CurveCase> {};

TEST_P(ResistanceCurvesTest, ElasticPlasticRectangleFollowsTheClosedForm) {
  const CurveCase c = GetParam();
  const DrawnSection s = DrawSection(100, 200, 1, Rectangle(kRed));
  const TPROPClass lib = LibraryOf({{"clRed", kE}});
  const ResistanceSection r = Curves(s, lib, Steel("clRed"), LawTable(), 0);
  const ResistanceAxis& axis = c.horizontal ? r.horizontal : r.vertical;
  // M = E I k up to k_y = 2 f / (E h), Mpl (1 - (k_y / k)^2 / 3) after it; no limit, so the
  // list ends at 30 k_y.
  const double ky = 2 * kF / (kE * c.h);
  const double mpl = kF * c.b * c.h * c.h / 4;
  ASSERT_GE(axis.momentCurvature.size(), 50U);
  EXPECT_NEAR(axis.momentCurvature.back()[0] / ky, 30, 1e-9);
  EXPECT_FALSE(axis.curveEndsAtFailure);
  ASSERT_TRUE(axis.firstYield);
  EXPECT_NEAR((*axis.firstYield)[0] / ky, 1, 1e-9);
  EXPECT_EQ(axis.momentCurvature.front()[0], 0);
  for (const auto& [k, m] : axis.momentCurvature) {
    const double expected =
        k <= ky ? kE * c.b * c.h * c.h * c.h / 12 * k : mpl * (1 - (ky / k) * (ky / k) / 3);
    EXPECT_NEAR(m, expected, 1e-9 * mpl) << "at k / k_y = " << k / ky;
  }
}

INSTANTIATE_TEST_SUITE_P(Axes, ResistanceCurvesTest,
                         ::testing::Values(CurveCase{true, 100, 200}, CurveCase{false, 200, 100}));

TEST(ResistanceCurvesEndTest, CurveEndsWhereTheExtremeFibreReachesEu) {
  const DrawnSection s = DrawSection(100, 200, 1, Rectangle(kRed));
  const TPROPClass lib = LibraryOf({{"clRed", kE}});
  const ResistanceSection r =
      Curves(s, lib, Steel("clRed"), LawOf("clRed", "elastic-plastic,eu=0.01"), 0);
  // Symmetric at N = 0: the extreme fibre's strain is k h / 2.
  ASSERT_FALSE(r.horizontal.momentCurvature.empty());
  EXPECT_TRUE(r.horizontal.curveEndsAtFailure);
  EXPECT_NEAR(r.horizontal.momentCurvature.back()[0] * 200 / 2, 0.01, 1e-12);
  EXPECT_EQ(r.horizontal.momentCurvature.back()[1], *r.horizontal.mFirstCompressed);
  // Beyond the resistances there is no curve and no biaxial list.
  const ResistanceSection beyond = Curves(s, lib, Steel("clRed"), LawTable(), 8, 1e9);
  EXPECT_TRUE(beyond.horizontal.momentCurvature.empty());
  EXPECT_TRUE(beyond.biaxial.empty());
}

TEST(ResistanceBiaxialTest, SymmetricSectionMeetsTheAxesAndMirrors) {
  // Concrete 300 x 500 with four 20 x 20 bars at its corners: symmetric both ways.
  const DrawnSection s = {MakeGrid(304, 504, kWhite,
                                   {{2, 2, 301, 501, kBlue},
                                    {42, 42, 61, 61, kRed},
                                    {242, 42, 261, 61, kRed},
                                    {42, 442, 61, 461, kRed},
                                    {242, 442, 261, 461, kRed}}),
                          {2, 2, 301, 501},
                          300,
                          500};
  const TPROPClass lib = LibraryOf({{"clBlue", 30000}, {"clRed", 200000}});
  StrengthTable fy;
  fy.Set("clBlue", {20, 0});
  fy.Set("clRed", {435, 435});
  const ResistanceSection r = Curves(s, lib, fy, LawTable(), 24, -300e3);
  ASSERT_EQ(r.biaxial.size(), 24U);
  const double scale = *r.horizontal.mFirstCompressed;
  const auto near = [&](double a, double b) { return std::abs(a - b) <= 1e-7 * scale; };
  // At the quarter turns the uniaxial moments, the other component 0.
  EXPECT_PRED2(near, r.biaxial[0][1], *r.horizontal.mFirstCompressed);
  EXPECT_PRED2(near, r.biaxial[0][2], 0);
  EXPECT_PRED2(near, r.biaxial[6][2], *r.vertical.mFirstCompressed);
  EXPECT_PRED2(near, r.biaxial[12][1], -*r.horizontal.mSecondCompressed);
  EXPECT_PRED2(near, r.biaxial[18][2], -*r.vertical.mSecondCompressed);
  for (std::size_t i = 0; i < 24; ++i) {
    EXPECT_DOUBLE_EQ(r.biaxial[i][0], 15.0 * static_cast<double>(i));
    // Mirrored left to right the angle turns back, Mz changes sign; top to bottom the angle
    // goes to 180 - angle and My changes sign.
    const auto& p = r.biaxial[i];
    const auto& lr = r.biaxial[(24 - i) % 24];
    const auto& tb = r.biaxial[(36 - i) % 24];
    EXPECT_PRED2(near, lr[1], p[1]) << p[0];
    EXPECT_PRED2(near, lr[2], -p[2]) << p[0];
    EXPECT_PRED2(near, tb[1], -p[1]) << p[0];
    EXPECT_PRED2(near, tb[2], p[2]) << p[0];
  }
}

TEST(ResistanceBiaxialTest, QuarterTurnedPictureTurnsTheList) {
  const DrawnSection s = SlabOnWeldedI();
  // Turned anticlockwise on the screen: the top edge becomes the left one.
  const int w = s.grid.Width();
  const int h = s.grid.Height();
  PixelGrid turned(h, w);
  for (int y = 0; y < w; ++y) {
    for (int x = 0; x < h; ++x) turned.Set(x, y, s.grid.At(w - 1 - y, x));
  }
  const DrawnSection t = {
      turned,
      {s.bounds.ymin, w - 1 - s.bounds.xmax, s.bounds.ymax, w - 1 - s.bounds.xmin},
      s.heightMm,
      s.widthMm};
  const TPROPClass lib = LibraryOf({{"clRed", 210000}, {"clBlue", 33000}});
  StrengthTable fy;
  fy.Set("clRed", {355, 355});
  fy.Set("clBlue", {17, 0});
  const ResistanceSection a = Curves(s, lib, fy, LawTable(), 12, -1e6);
  const ResistanceSection b = Curves(t, lib, fy, LawTable(), 12, -1e6);
  ASSERT_EQ(a.biaxial.size(), 12U);
  ASSERT_EQ(b.biaxial.size(), 12U);
  const double scale = *a.horizontal.mFirstCompressed;
  for (std::size_t i = 0; i < 12; ++i) {
    const auto& p = a.biaxial[i];
    const auto& q = b.biaxial[(i + 3) % 12];
    EXPECT_NEAR(q[2], p[1], 1e-7 * scale) << p[0];
    EXPECT_NEAR(q[1], -p[2], 1e-7 * scale) << p[0];
  }
}

// An L angle, 1 mm pixels: a 20 x 100 leg on the left and a 80 x 20 leg along the bottom.
DrawnSection AngleSection() {
  return {MakeGrid(104, 104, kWhite, {{2, 2, 21, 101, kRed}, {22, 82, 101, 101, kRed}}),
          {2, 2, 101, 101},
          100,
          100};
}

// The moments of +-f on either side of the line of equal areas across direction u = (sin a,
// cos a), by sampling each pixel n x n times: the rigid-plastic limit of a steel without eu.
std::array<double, 2> SampledPlasticMoments(const DrawnSection& s, double degrees, int n) {
  const double a = degrees * std::numbers::pi / 180;
  std::vector<std::array<double, 3>> points;  // x, y, depth
  double cx = 0;
  double cy = 0;
  for (int y = s.bounds.ymin; y <= s.bounds.ymax; ++y) {
    for (int x = s.bounds.xmin; x <= s.bounds.xmax; ++x) {
      if (s.grid.At(x, y) != kRed) continue;
      for (int i = 0; i < n; ++i) {
        for (int j = 0; j < n; ++j) {
          const double px = x + (i + 0.5) / n;
          const double py = y + (j + 0.5) / n;
          points.push_back({px, py, px * std::sin(a) + py * std::cos(a)});
          cx += px;
          cy += py;
        }
      }
    }
  }
  cx /= static_cast<double>(points.size());
  cy /= static_cast<double>(points.size());
  std::vector<double> depths;
  depths.reserve(points.size());
  for (const auto& p : points) depths.push_back(p[2]);
  std::nth_element(depths.begin(), depths.begin() + static_cast<long>(depths.size() / 2),
                   depths.end());
  const double line = depths[depths.size() / 2];
  const double area = 1.0 / (n * n);
  std::array<double, 2> m = {0, 0};
  for (const auto& p : points) {
    const double sigma = p[2] < line ? -kF : kF;
    m[0] += sigma * (p[1] - cy) * area;
    m[1] += sigma * (p[0] - cx) * area;
  }
  return m;
}

TEST(ResistanceBiaxialTest, AngleMeetsThePlasticMomentsAboutInclinedAxes) {
  const DrawnSection s = AngleSection();
  const TPROPClass lib = LibraryOf({{"clRed", kE}});
  // 30 and 120 degrees: off the angle's diagonal of symmetry, so that both components count.
  const ResistanceSection r = Curves(s, lib, Steel("clRed"), LawTable(), 12);
  ASSERT_EQ(r.biaxial.size(), 12U);
  const double mpl = kF * 3600 * 30;  // of the order of the moments, for the tolerance
  for (const std::size_t i : {0U, 1U, 4U}) {
    const std::array<double, 2> m = SampledPlasticMoments(s, r.biaxial[i][0], 16);
    EXPECT_NEAR(r.biaxial[i][1], m[0], 2e-3 * mpl) << r.biaxial[i][0];
    EXPECT_NEAR(r.biaxial[i][2], m[1], 2e-3 * mpl) << r.biaxial[i][0];
  }
  // Not symmetric: at angle 0 the stresses also bend about the vertical axis.
  EXPECT_GT(std::abs(r.biaxial[0][2]), 0.05 * mpl);
}

TEST(ResistanceBiaxialTest, CoverageReadEdgesMeetTheAxesToo) {
  const DrawnSection drawn = DrawSmoothedSection(60, 90, 1, Ellipse(30, 45, kRed));
  const TPROPClass lib = LibraryOf({{"clRed", kE}});
  const BoxedAnalysis a = AnalyseAtPixelSize(drawn.grid, 1, lib, EdgeMode::Coverage);
  const CoverageTable table(*ScanPictureColours(drawn.grid), {kRed});
  const ResistanceOutcome out =
      ComputeResistance({.grid = &drawn.grid, .coverage = &table}, a.bounds, lib, Steel("clRed"),
                        LawTable(), a.section, 0, {.biaxialAngles = 4});
  ASSERT_TRUE(out.values) << out.missing;
  const ResistanceSection& r = *out.values;
  ASSERT_EQ(r.biaxial.size(), 4U);
  EXPECT_NEAR(r.biaxial[0][1], *r.horizontal.mFirstCompressed,
              1e-7 * *r.horizontal.mFirstCompressed);
  EXPECT_NEAR(r.biaxial[1][2], *r.vertical.mFirstCompressed, 1e-7 * *r.vertical.mFirstCompressed);
}

}  // namespace
}  // namespace qv::test
