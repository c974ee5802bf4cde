// Stress maps and the session's stresses: the colour scales against their published values and
// their lightness, the view's sampling, the saved picture's layout, the text block, and the
// session's flow (no solve for bending, a solve kept for shear, cancellation, what drops them).
#include "core/elastic/stress_map.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <string>
#include <variant>
#include <vector>

#include "core/base/error.h"
#include "core/base/number_text.h"
#include "core/elastic/stress_report.h"
#include "core/session/session.h"
#include "support/grid_builder.h"
#include "support/material_library.h"
#include "support/row_name.h"

namespace qv::test {
namespace {

// --- colour scales ------------------------------------------------------------------------------

struct ScalePoint {
  const char* what;
  bool diverging;
  double t;
  int r, g, b;  // the published colour
};
void PrintTo(const ScalePoint& c, std::ostream* os) { *os << c.what; }

class ColourScaleTest : public ::testing::TestWithParam<ScalePoint> {};

TEST_P(ColourScaleTest, MatchesThePublishedColourWithinOneStep) {
  const ScalePoint& c = GetParam();
  const std::uint32_t v = c.diverging ? CoolWarmColour(c.t) : ViridisColour(c.t);
  EXPECT_NEAR(static_cast<int>(v & 0xFF), c.r, 1);
  EXPECT_NEAR(static_cast<int>((v >> 8) & 0xFF), c.g, 1);
  EXPECT_NEAR(static_cast<int>((v >> 16) & 0xFF), c.b, 1);
  EXPECT_EQ(v >> 24, 0U);
}

INSTANTIATE_TEST_SUITE_P(
    Published, ColourScaleTest,
    ::testing::Values(
        // viridis: #440154, #3b528b, #21918c, #5ec962, #fde725 at 0, 1/4, 1/2, 3/4, 1
        ScalePoint{"viridis 0", false, 0, 0x44, 0x01, 0x54},
        ScalePoint{"viridis 0.25", false, 0.25, 0x3b, 0x52, 0x8b},
        ScalePoint{"viridis 0.5", false, 0.5, 0x21, 0x91, 0x8c},
        ScalePoint{"viridis 0.75", false, 0.75, 0x5e, 0xc9, 0x62},
        ScalePoint{"viridis 1", false, 1, 0xfd, 0xe7, 0x25},
        ScalePoint{"viridis below 0 clamps", false, -3, 0x44, 0x01, 0x54},
        // cool to warm: (59, 76, 192), (221, 221, 221), (180, 4, 38)
        ScalePoint{"cool warm 0", true, 0, 59, 76, 192},
        ScalePoint{"cool warm 0.5", true, 0.5, 221, 221, 221},
        ScalePoint{"cool warm 1", true, 1, 180, 4, 38},
        ScalePoint{"cool warm above 1 clamps", true, 7, 180, 4, 38}),
    RowName);

// CIE L* of an sRGB colour.
double Lightness(std::uint32_t v) {
  const auto linear = [](std::uint32_t c) {
    const double s = c / 255.0;
    return s <= 0.04045 ? s / 12.92 : std::pow((s + 0.055) / 1.055, 2.4);
  };
  const double y = 0.2126 * linear(v & 0xFF) + 0.7152 * linear((v >> 8) & 0xFF) +
                   0.0722 * linear((v >> 16) & 0xFF);
  return y > 216.0 / 24389 ? 116 * std::cbrt(y) - 16 : 24389.0 / 27 * y;
}

TEST(ColourScaleTest, LightnessRisesEvenlyAlongViridisAndPeaksInTheMiddleOfTheDivergingScale) {
  // Perceptually uniform: equal steps of the value are near-equal steps of lightness.
  constexpr int kSteps = 16;
  const double span = Lightness(ViridisColour(1)) - Lightness(ViridisColour(0));
  for (int i = 0; i < kSteps; ++i) {
    const double step = Lightness(ViridisColour((i + 1.0) / kSteps)) -
                        Lightness(ViridisColour(static_cast<double>(i) / kSteps));
    EXPECT_NEAR(step, span / kSteps, 0.35 * span / kSteps) << i;
  }
  // Diverging: darkest at both ends, the same lightness either side of 0.
  for (int i = 0; i < kSteps / 2; ++i) {
    const double t = static_cast<double>(i) / kSteps;
    EXPECT_LT(Lightness(CoolWarmColour(t)), Lightness(CoolWarmColour(t + 1.0 / kSteps)));
    EXPECT_NEAR(Lightness(CoolWarmColour(t)), Lightness(CoolWarmColour(1 - t)), 3) << t;
  }
}

// --- a field to draw: a two-material plate in bending and shear --------------------------------

class StressMapTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // A red plate 40 x 20 pixels and a blue one 10 x 20 beside it, on a 100 x 50 picture.
    grid = MakeGrid(100, 50, kWhite, {{20, 10, 59, 29, kRed}, {60, 10, 69, 29, kBlue}});
    session.SetLibrary(std::make_unique<TPROPClass>(LibraryOf(
        {{"clRed", 210000, 7850, false, "steel"}, {"clBlue", 70000, 2700, false, "aluminium"}})));
    path = dir.WritePicture("plates.bmp", grid);
    ASSERT_TRUE(session.AcceptPicture(path));
    session.ColourInventory();
    ASSERT_TRUE(session.AddColourToMaterialList("clRed"));
    ASSERT_TRUE(session.AddColourToMaterialList("clBlue"));
    ASSERT_EQ(session.Analyse(size), SectionSession::AnalyseOutcome::Done);
    // The window's overlay, which no stress may see.
    session.DrawOnPicture([](PixelGrid& picture) { picture.FillRect(0, 0, 99, 49, kRed); });
  }

  TempDir dir;
  SectionSession session;
  PixelGrid grid;
  std::string path;
  const SectionSize size{50, 20, "50", "20"};
};

TEST_F(StressMapTest, ScalesSpanTheFieldAndSigmasIsCentredOnZero) {
  ASSERT_EQ(session.ComputeStresses({1e4, 0, 2e5, 0, 3000, 0}),
            SectionSession::StressOutcome::Done);
  const StressField& f = *session.Stresses();
  const StressScale sigma = ScaleOf(f, StressKind::Sigma);
  EXPECT_TRUE(sigma.diverging);
  EXPECT_EQ(sigma.low, -sigma.high);
  EXPECT_EQ(sigma.high, std::max(-f.Overall().sigmaMin.value, f.Overall().sigmaMax.value));
  EXPECT_EQ(sigma.Colour(0), CoolWarmColour(0.5));
  const StressScale tau = ScaleOf(f, StressKind::Tau);
  EXPECT_FALSE(tau.diverging);
  EXPECT_EQ(tau.low, 0);
  EXPECT_EQ(tau.high, f.Overall().tauMax.value);
  EXPECT_EQ(tau.Colour(tau.high), ViridisColour(1));
  EXPECT_EQ(ScaleOf(f, StressKind::VonMises).high, f.Overall().vonMisesMax.value);
}

TEST_F(StressMapTest, ViewShowsThePicturePixelUnderEachViewPixelsCentre) {
  EXPECT_EQ(PictureOfViewPixel(0, 401, 401), 0);
  EXPECT_EQ(PictureOfViewPixel(400, 401, 401), 400);
  EXPECT_EQ(PictureOfViewPixel(7, 401, 4010), 75);  // the middle of ten
  EXPECT_EQ(PictureOfViewPixel(400, 401, 100), 99);
  ASSERT_EQ(session.ComputeStresses({0, 0, 3e5, 0, 0, 0}), SectionSession::StressOutcome::Done);
  const StressField& f = *session.Stresses();
  const StressScale scale = ScaleOf(f, StressKind::Sigma);
  const StressDrawing view = DrawStressView(f, scale, 100, 50, 401, 401, {}, 96);
  ASSERT_EQ(view.picture.Width(), 401);
  ASSERT_EQ(view.picture.Height(), 401);
  // The section spans picture columns 20..69: the bar goes to the right, where there is room.
  int checked = 0;
  for (int y = 0; y < 401; ++y) {
    for (int x = 0; x < 300; ++x) {
      const int px = PictureOfViewPixel(x, 401, 100), py = PictureOfViewPixel(y, 401, 50);
      const PixelStress p = f.At(px, py);
      const std::uint32_t expected = p.material >= 0 ? scale.Colour(p.sigma) : 0x00FFFFFF;
      ASSERT_EQ(view.picture.At(x, y), expected) << x << ", " << y;
      checked += p.material >= 0;
    }
  }
  EXPECT_GT(checked, 401 * 401 / 5);
  // The bar's top is the scale's high end, its values written beside it.
  bool top = false;
  for (int x = 300; x < 401; ++x)
    top = top || view.picture.At(x, 401 / 5) == scale.Colour(scale.high);
  EXPECT_TRUE(top);
  std::vector<std::string> labels;
  for (const DrawOp& op : view.ops) {
    if (const auto* label = std::get_if<LabelOp>(&op)) labels.push_back(label->Text);
  }
  EXPECT_EQ(labels, (std::vector<std::string>{StressValueText(scale.high), "0",
                                              StressValueText(scale.low), "N/mm^2"}));
}

// The view's colour bar lies beside the section's box; with no room there the map is smaller.
struct ViewCase {
  const char* comment;
  int size;                // of the square picture
  Rect section;            // red on white
  bool squeezed, onRight;  // the map shown smaller; the bar on the right
};
void PrintTo(const ViewCase& c, std::ostream* os) { *os << c.comment; }

class StressViewLayoutTest : public ::testing::TestWithParam<ViewCase> {};

TEST_P(StressViewLayoutTest, BarNeverCoversTheSection) {
  const ViewCase& c = GetParam();
  TempDir dir;
  SectionSession session;
  session.SetLibrary(std::make_unique<TPROPClass>(LibraryOf({{"clRed", 210000, 0, false, ""}})));
  ASSERT_TRUE(session.AcceptPicture(
      dir.WritePicture("s.bmp", MakeGrid(c.size, c.size, kWhite, {c.section}))));
  session.ColourInventory();
  ASSERT_TRUE(session.AddColourToMaterialList("clRed"));
  ASSERT_EQ(session.Analyse({c.size, c.size, "w", "h"}), SectionSession::AnalyseOutcome::Done);
  ASSERT_EQ(session.ComputeStresses({0, 0, 3e5, 0, 0, 0}), SectionSession::StressOutcome::Done);
  const StressField& f = *session.Stresses();
  const StressScale scale = ScaleOf(f, StressKind::Sigma);
  const StressDrawing view = DrawStressView(f, scale, c.size, c.size, 401, 401, {}, 96);
  const StressViewLayout l = LayOutStressView(f.Bounds(), c.size, c.size, 401, 401, 96);
  EXPECT_EQ(l.mapWidth < 401, c.squeezed);
  EXPECT_EQ(l.barLeft > 200, c.onRight);
  EXPECT_EQ(l.mapHeight, l.mapWidth);  // in the picture's proportions
  // Every section pixel on the map has its colour: nothing of the legend lies over it.
  for (int y = 0; y < 401; ++y) {
    for (int x = 0; x < 401; ++x) {
      const std::optional<PixelPoint> p = l.PictureAt(x, y, c.size, c.size);
      if (!p || f.At(p->x, p->y).material < 0) continue;
      ASSERT_EQ(view.picture.At(x, y), scale.Colour(f.At(p->x, p->y).sigma)) << x << ", " << y;
    }
  }
  EXPECT_EQ(view.picture.At(l.barLeft + 1, l.barTop), scale.Colour(scale.high));
}

INSTANTIATE_TEST_SUITE_P(
    Stress, StressViewLayoutTest,
    ::testing::Values(
        ViewCase{"room on the right", 100, {20, 10, 69, 29, kRed}, false, true},
        ViewCase{"room on the left", 100, {40, 10, 95, 29, kRed}, false, false},
        // the example channel's walls lie 75 of 400 pixels from either edge
        ViewCase{"near both edges", 400, {75, 20, 324, 344, kRed}, true, true},
        ViewCase{"more room left, too little", 400, {60, 20, 379, 344, kRed}, true, false}),
    RowName);

TEST_F(StressMapTest, SavedPictureHasTheMapThePanelAndTheMarkedExtremes) {
  const SectionActions actions{0, 0, 3e5, 0, 4000, 0};
  ASSERT_EQ(session.ComputeStresses(actions), SectionSession::StressOutcome::Done);
  const StressField& f = *session.Stresses();
  const StressScale scale = ScaleOf(f, StressKind::VonMises);
  const StressMapText text{"plates.bmp", ActionTexts(actions, SignConvention::EuroCode)};
  const StressDrawing d = DrawStressPicture(f, scale, 100, 50, text, {});
  // The picture's width and a panel beside it; small pictures get room for the panel's lines.
  ASSERT_GT(d.picture.Width(), 100 + 200);
  ASSERT_GT(d.picture.Height(), 50);
  for (int y = 0; y < 50; ++y) {
    for (int x = 0; x < 100; ++x) {
      const PixelStress p = f.At(x, y);
      const std::uint32_t expected = p.material >= 0 ? scale.Colour(p.vonMises) : 0x00FFFFFF;
      ASSERT_EQ(d.picture.At(x, y), expected) << x << ", " << y;
    }
  }
  std::vector<std::string> labels;
  std::vector<EllipseOp> circles;
  for (const DrawOp& op : d.ops) {
    if (const auto* label = std::get_if<LabelOp>(&op)) labels.push_back(label->Text);
    if (const auto* circle = std::get_if<EllipseOp>(&op)) circles.push_back(*circle);
  }
  const auto has = [&](const std::string& t) {
    return std::find(labels.begin(), labels.end(), t) != labels.end();
  };
  EXPECT_TRUE(has("plates.bmp"));
  EXPECT_TRUE(has("von Mises stress [N/mm^2]"));
  EXPECT_TRUE(has("My = 300000 Nmm")) << "the EURO-code's name of the formal Mz";
  EXPECT_TRUE(has("max " + StressValueText(f.Overall().vonMisesMax.value)));
  // One circle, round the maximum's point.
  ASSERT_EQ(circles.size(), 1U);
  const double cx = (circles[0].TopLeft.x + circles[0].BottomRight.x) / 2.0;
  const double cy = (circles[0].TopLeft.y + circles[0].BottomRight.y) / 2.0;
  EXPECT_NEAR(cx, 20 + f.Overall().vonMisesMax.at.Hor / f.Dx(), 0.5);
  EXPECT_NEAR(cy, 10 + f.Overall().vonMisesMax.at.Ver / f.Dy(), 0.5);
}

// --- the text block -----------------------------------------------------------------------------

TEST_F(StressMapTest, ReportListsActionsExtremesAndJoints) {
  ASSERT_EQ(session.ComputeStresses({0, 0, 0, 0, 4000, 0}), SectionSession::StressOutcome::Done);
  const std::vector<std::string> lines =
      StressReport(*session.Stresses(), SignConvention::DorvastPelkam);
  ASSERT_GT(lines.size(), 20U);
  EXPECT_EQ(lines[0], kStressReportTitle);
  EXPECT_EQ(lines[4], "    N = 0 N");
  EXPECT_EQ(lines[8], "    Vz = 4000 N");
  const auto find = [&](const std::string& start) {
    for (const std::string& line : lines) {
      if (line.rfind(start, 0) == 0) return line;
    }
    return std::string("none");
  };
  EXPECT_EQ(find("whole section"), "whole section, 1000 pixels:");
  EXPECT_EQ(find("steel"), "steel (clRed): E = 210000 N/mm^2, 800 pixels:");
  EXPECT_EQ(find("    clRed / clBlue").substr(0, 42), "    clRed / clBlue: length 20.00 mm, flow ");
  const StressExtreme& tau = session.Stresses()->Overall().tauMax;
  EXPECT_EQ(find("    tau max"), "    tau max       = " + FormatGeneral(tau.value, 5, 1) +
                                     std::string(14 - FormatGeneral(tau.value, 5, 1).size(), ' ') +
                                     "at hor = " + FormatFixed(tau.at.Hor, 8, 2) +
                                     " mm, ver = " + FormatFixed(tau.at.Ver, 8, 2) + " mm");
}

TEST_F(StressMapTest, PointerTextGivesTheShownFieldFirstThenTheOthersTheMaterialAndThePoint) {
  ASSERT_EQ(session.ComputeStresses({0, 0, 3e5, 0, 0, 0}), SectionSession::StressOutcome::Done);
  const StressField& f = *session.Stresses();
  const PixelStress p = f.At(25, 12);
  const std::string sigma = FormatGeneral(p.sigma, 4, 1);
  const std::string vonMises = FormatGeneral(p.vonMises, 4, 1);
  EXPECT_EQ(StressAtText(f, 25, 12, StressKind::Sigma),
            "sigma = " + sigma + " N/mm^2 (tau = 0, von Mises = " + vonMises +
                ") in steel (clRed) at hor = 5.50 mm, ver = 2.50 mm");
  EXPECT_EQ(StressAtText(f, 25, 12, StressKind::VonMises),
            "von Mises = " + vonMises + " N/mm^2 (sigma = " + sigma +
                ", tau = 0) in steel (clRed) at hor = 5.50 mm, ver = 2.50 mm");
  EXPECT_EQ(StressAtText(f, 0, 0, StressKind::Tau), "no stress here: not a pixel of the section");
}

TEST_F(StressMapTest, InKNcmTheBlockThePointerAndTheMapWriteTheNmmValuesConverted) {
  ASSERT_EQ(session.ComputeStresses({0, 0, 3e5, 0, 4000, 0}), SectionSession::StressOutcome::Done);
  const StressField& f = *session.Stresses();
  const std::vector<std::string> lines =
      StressReport(f, SignConvention::DorvastPelkam, UnitSystem::KNcm);
  EXPECT_EQ(lines[0], "STRESSES under the given actions [kN/cm^2]");
  EXPECT_EQ(lines[4], "    N = 0 N") << "the actions as they were given";
  const auto joint = std::find_if(lines.begin(), lines.end(), [](const std::string& line) {
    return line.rfind("    clRed / clBlue", 0) == 0;
  });
  ASSERT_NE(joint, lines.end());
  ASSERT_EQ(f.Joints().size(), 1U);
  EXPECT_EQ(joint->substr(0, joint->find(", mean")),
            "    clRed / clBlue: length 2.000 cm, flow " +
                FormatGeneral(f.Joints()[0].flow / 100, 5, 1) + " kN/cm");
  const PixelStress p = f.At(25, 12);
  EXPECT_EQ(StressAtText(f, 25, 12, StressKind::Sigma, UnitSystem::KNcm),
            "sigma = " + FormatGeneral(p.sigma / 10, 4, 1) +
                " kN/cm^2 (tau = " + FormatGeneral(p.tau / 10, 4, 1) +
                ", von Mises = " + FormatGeneral(p.vonMises / 10, 4, 1) +
                ") in steel (clRed) at hor = 0.550 cm, ver = 0.250 cm");
  const StressMapText text{"plates.bmp", {}, UnitSystem::KNcm};
  const StressDrawing d = DrawStressPicture(f, ScaleOf(f, StressKind::VonMises), 100, 50, text, {});
  std::vector<std::string> labels;
  for (const DrawOp& op : d.ops) {
    if (const auto* label = std::get_if<LabelOp>(&op)) labels.push_back(label->Text);
  }
  for (const std::string& label :
       {std::string("von Mises stress [kN/cm^2]"), std::string("kN/cm^2"),
        "max " + StressValueText(f.Overall().vonMisesMax.value / 10)}) {
    EXPECT_NE(std::find(labels.begin(), labels.end(), label), labels.end()) << label;
  }
}

// --- the session's flow -------------------------------------------------------------------------

TEST_F(StressMapTest, BendingNeedsNoSolveAndShearKeepsTheSolvesFields) {
  ASSERT_EQ(session.ComputeStresses({1e4, 1e5, 0, 0, 0, 0}), SectionSession::StressOutcome::Done);
  EXPECT_FALSE(session.Elastic()) << "sigma alone needs no torsion solve";
  ASSERT_TRUE(session.Stresses());
  EXPECT_EQ(session.Stresses()->Overall().tauMax.value, 0);
  // The file's own pixels, not the overlay drawn over them.
  EXPECT_EQ(session.Stresses()->Overall().pixels, 1000);

  ASSERT_EQ(session.ComputeElastic(), SectionSession::ElasticOutcome::Done);
  EXPECT_FALSE(session.Elastic()->Fields);
  ASSERT_EQ(session.ComputeStresses({0, 0, 0, 0, 0, 1e4}), SectionSession::StressOutcome::Done);
  ASSERT_TRUE(session.Elastic());
  EXPECT_TRUE(session.Elastic()->Fields) << "solved again, keeping the fields";
  EXPECT_GT(session.Stresses()->Overall().tauMax.value, 0);
  // The same field as from the file's pixels directly.
  StressInput input;
  input.grid = &grid;
  input.bounds = session.Bounds();
  input.library = session.MaterialLibrary();
  input.section = &session.Result();
  input.elastic = &*session.Elastic();
  const StressField direct(input, {0, 0, 0, 0, 0, 1e4});
  EXPECT_EQ(direct.Overall().tauMax.value, session.Stresses()->Overall().tauMax.value);

  // A changed ratio drops them with the extended values; a new analysis too.
  session.SetPoissonRatio("clBlue", 0.1);
  EXPECT_FALSE(session.Stresses());
  ASSERT_EQ(session.ComputeStresses({0, 0, 0, 0, 10, 0}), SectionSession::StressOutcome::Done);
  ASSERT_EQ(session.Analyse(size), SectionSession::AnalyseOutcome::Done);
  EXPECT_FALSE(session.Stresses());
}

TEST_F(StressMapTest, CancelledSolveLeavesNoStresses) {
  std::atomic<bool> cancel{false};
  const auto outcome = session.ComputeStresses(
      {0, 0, 0, 0, 100, 0}, [&](std::int64_t, std::int64_t) { cancel = true; }, &cancel);
  EXPECT_EQ(outcome, SectionSession::StressOutcome::Cancelled);
  EXPECT_FALSE(session.Stresses());
  EXPECT_FALSE(session.Elastic());
}

TEST_F(StressMapTest, RefusesWithoutAnAnalysisOrForASectionChangedSince) {
  session.EditLibrary().FindByLabel("clBlue")->prop.E = 1;
  EXPECT_THROW(session.ComputeStresses({1, 0, 0, 0, 0, 0}), Error);
  EXPECT_FALSE(session.Stresses());
  SectionSession fresh;
  EXPECT_THROW(fresh.ComputeStresses({1, 0, 0, 0, 0, 0}), Error);
}

}  // namespace
}  // namespace qv::test
