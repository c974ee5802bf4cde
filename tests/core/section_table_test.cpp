// The section-table line of the session: a rectangle's exact values whatever its pixels, its
// names under either convention, and the refusal of a section of several materials.
#include "core/elastic/section_table.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <optional>
#include <ostream>
#include <string>

#include "core/session/session.h"
#include "support/grid_builder.h"
#include "support/material_library.h"
#include "support/row_name.h"
#include "support/section_pictures.h"

namespace qv::test {
namespace {

struct RectangleCase {
  const char* name;
  int widthPixels, heightPixels;
  int widthMm, heightMm;
  std::optional<double> fy;  // the strength given, if any: Wpl is the shape's either way
};
void PrintTo(const RectangleCase& c, std::ostream* os) { *os << c.name; }

class SectionTableTest : public ::testing::Test {
 protected:
  void SetUp() override {
    session.SetLibrary(std::make_unique<TPROPClass>(LibraryOf(
        {{"clRed", 210000, 7850, false, "steel"}, {"clBlue", 70000, 2700, false, "aluminium"}})));
  }
  // Analyses `grid` at the given size with the colours `labels` and solves the extended values.
  void Solve(const PixelGrid& grid, std::initializer_list<const char*> labels, int widthMm,
             int heightMm) {
    ASSERT_TRUE(session.AcceptPicture(dir.WritePicture("section.bmp", grid)));
    session.ColourInventory();
    for (const char* label : labels) ASSERT_TRUE(session.AddColourToMaterialList(label));
    const std::string w = std::to_string(widthMm);
    const std::string h = std::to_string(heightMm);
    ASSERT_EQ(session.Analyse(SectionSize(widthMm, heightMm, w, h)),
              SectionSession::AnalyseOutcome::Done);
    ASSERT_EQ(session.ComputeElastic(), SectionSession::ElasticOutcome::Done);
  }

  TempDir dir;
  SectionSession session;
};

class RectangleTableTest : public SectionTableTest,
                           public ::testing::WithParamInterface<RectangleCase> {};

TEST_P(RectangleTableTest, IsTheRectanglesFormulas) {
  const RectangleCase& c = GetParam();
  const int w = c.widthPixels, h = c.heightPixels;
  session.SetPoissonRatio("clRed", 0);  // the shear areas are then 5/6 of the area
  if (c.fy) session.SetStrength("clRed", Strength{*c.fy, *c.fy});
  Solve(MakeGrid(w + 6, h + 6, kWhite, {{3, 3, w + 2, h + 2, kRed}}), {"clRed"}, c.widthMm,
        c.heightMm);
  ASSERT_TRUE(session.Table());
  ASSERT_TRUE(session.Table()->line) << session.Table()->missing;
  const SectionTableLine& t = *session.Table()->line;
  const double b = c.widthMm, d = c.heightMm;
  EXPECT_NEAR(t.area / (b * d), 1, 1e-12);
  EXPECT_NEAR(t.secondMomentHorizontal / (b * d * d * d / 12), 1, 1e-12);
  EXPECT_NEAR(t.secondMomentVertical / (d * b * b * b / 12), 1, 1e-12);
  EXPECT_NEAR(t.elasticHorizontal / (b * d * d / 6), 1, 1e-12);
  EXPECT_NEAR(t.elasticVertical / (d * b * b / 6), 1, 1e-12);
  EXPECT_NEAR(t.plasticHorizontal / (b * d * d / 4), 1, 1e-12);
  EXPECT_NEAR(t.plasticVertical / (d * b * b / 4), 1, 1e-12);
  EXPECT_NEAR(t.radiusHorizontal / (d / std::sqrt(12.0)), 1, 1e-12);
  EXPECT_NEAR(t.radiusVertical / (b / std::sqrt(12.0)), 1, 1e-12);
  // The series' It, to the solve's accuracy on 40 or more cells across the thin side.
  EXPECT_NEAR(t.torsion / RectangleTorsionConstant(b, d), 1, 0.003);
  EXPECT_NEAR(t.shearAreaY / (b * d), 5.0 / 6, 2e-3);
  EXPECT_NEAR(t.shearAreaZ / (b * d), 5.0 / 6, 2e-3);
  // The middle, from C itself (not from the rounded NC, half a pixel away on even counts).
  EXPECT_NEAR(t.shearCentreY, 0, 1e-8 * b);
  EXPECT_NEAR(t.shearCentreZ, 0, 1e-8 * d);
  EXPECT_NEAR(t.betaY, 0, 1e-8 * d);
  EXPECT_NEAR(t.betaZ, 0, 1e-8 * b);
  // The names follow the convention, the keys do not.
  const auto symbolOf = [&](SignConvention convention, std::string_view key) {
    for (const SectionTableEntry& e : SectionTableEntries(t, convention)) {
      if (e.key == key) return e.value.symbol;
    }
    return std::string("none");
  };
  EXPECT_EQ(symbolOf(SignConvention::EuroCode, "i_horizontal_axis_mm4"), "Iy");
  EXPECT_EQ(symbolOf(SignConvention::DorvastPelkam, "i_horizontal_axis_mm4"), "Iz");
  EXPECT_EQ(symbolOf(SignConvention::EuroCode, "wpl_vertical_axis_mm3"), "Wpl,z");
  EXPECT_NE(session.FullReportText().find("section table (one material"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(
    Rectangles, RectangleTableTest,
    ::testing::Values(
        // odd counts both ways: C on a pixel centre; no strength, so Wpl of a unit one
        RectangleCase{"Odd", 41, 81, 41, 81, std::nullopt},
        // even counts: C on a pixel corner, half a pixel from NC both ways
        RectangleCase{"Even", 80, 40, 80, 40, std::nullopt},
        // a strength given: Wpl = Mpl / fy of the plastic moments
        RectangleCase{"WithAStrength", 60, 40, 60, 40, 235.0},
        // pixels twice as tall as wide
        RectangleCase{"OblongPixels", 50, 41, 50, 82, std::nullopt}),
    RowName);

TEST_F(SectionTableTest, RefusesASectionOfSeveralMaterials) {
  Solve(MakeGrid(60, 30, kWhite, {{5, 5, 44, 24, kRed}, {45, 5, 54, 24, kBlue}}),
        {"clRed", "clBlue"}, 50, 20);
  ASSERT_TRUE(session.Table());
  EXPECT_FALSE(session.Table()->line);
  EXPECT_EQ(session.Table()->missing,
            "the section is made of several materials (clRed, clBlue): its area, second moments "
            "and moduli have no single-material meaning");
  EXPECT_EQ(session.FullReportText().find("section table"), std::string::npos);
}

}  // namespace
}  // namespace qv::test
