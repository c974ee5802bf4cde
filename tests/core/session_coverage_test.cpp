// The session with smoothed edges read as coverage: the section's box, the analysis, the report's
// line, the change of reading and the extended values, on a picture file drawn smoothed.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "core/base/error.h"
#include "core/elastic/stress_field.h"
#include "core/session/session.h"
#include "support/grid_builder.h"
#include "support/material_library.h"
#include "support/section_pictures.h"

namespace qv::test {
namespace {

class SessionCoverageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    session.SetLibrary(std::make_unique<TPROPClass>(LibraryOf({{"clRed", 200, 1000}}, {})));
    // A red disc of radius 20.3 mm at 1 mm per pixel, smoothed, on white: 50 x 50 pixels inside
    // a margin of 3; its rim is a ring of blends of red and white.
    drawn = DrawSmoothedSection(50, 50, 1.0, Shifted(Ring(20.3, 0, kRed), 0.37, -0.21));
    ASSERT_TRUE(session.AcceptPicture(dir.WritePicture("disc.bmp", drawn.grid)));
  }
  void Read(EdgeMode edges) {
    ProgramSettings settings = session.Settings();
    settings.Edges = edges;
    session.ChangeSettings(settings);
  }
  // The box of the pixels wholly red.
  SectionBounds RedBox() const {
    SectionBounds box;
    for (int y = 0; y < drawn.grid.Height(); ++y) {
      for (int x = 0; x < drawn.grid.Width(); ++x) {
        if (drawn.grid.At(x, y) == kRed) box.Grow(x, y, x, y);
      }
    }
    return box;
  }

  DrawnSection drawn;
  TempDir dir;
  SectionSession session;
};

TEST_F(SessionCoverageTest, TheBoxHoldsTheBlendsAndTheReportSaysHowEdgesWereRead) {
  Read(EdgeMode::Coverage);
  session.ColourInventory();
  ASSERT_TRUE(session.AddColourToMaterialList("clRed"));
  const SectionBounds box = session.Bounds();
  // The disc's centre lies at 3 + 25 + 0.37 = 28.37 across and 3 + 25 - 0.21 = 27.79 down, in
  // pixel edges; it reaches from 8.07 to 48.67 and from 7.49 to 48.09, and every pixel it
  // touches is in the box.
  EXPECT_EQ(box, (SectionBounds{8, 7, 48, 48}));
  EXPECT_EQ(session.WidthPixelsText(), "41");
  EXPECT_EQ(session.HeightPixelsText(), "42");
  ASSERT_EQ(session.Analyse(SectionSize{41, 42, "41", "42"}), SectionSession::AnalyseOutcome::Done);
  EXPECT_TRUE(session.Result().Coverage);
  EXPECT_EQ(session.Result().Dx, 1);
  EXPECT_EQ(session.Result().Dy, 1);
  EXPECT_NEAR(session.Result().EA / (200 * std::numbers::pi * 20.3 * 20.3), 1, 0.001);
  ASSERT_GE(session.Report().size(), 2u);
  EXPECT_EQ(session.Report().back(), kCoverageReportLine);
  EXPECT_EQ(session.Report()[session.Report().size() - 2], "");

  // Read flat, the box is the red pixels' and the report ends as it always did.
  Read(EdgeMode::Flat);
  EXPECT_FALSE(session.ElasticOffered());
  const SectionBounds flat = session.Bounds();
  EXPECT_EQ(flat, RedBox());
  EXPECT_EQ(session.WidthPixelsText(), std::to_string(flat.WidthPixels()));
  const int w = flat.WidthPixels();
  const int h = flat.HeightPixels();
  ASSERT_EQ(session.Analyse(SectionSize{w, h, std::to_string(w), std::to_string(h)}),
            SectionSession::AnalyseOutcome::Done);
  EXPECT_FALSE(session.Result().Coverage);
  EXPECT_EQ(session.Report().back().rfind("    EI2  = ", 0), 0u);
  EXPECT_LT(session.Result().EA / (200 * std::numbers::pi * 20.3 * 20.3), 0.97);

  // Back to coverage: the same box again.
  Read(EdgeMode::Coverage);
  EXPECT_EQ(session.Bounds(), box);
}

TEST_F(SessionCoverageTest, TheExtendedValuesInsistOnTheReadingAnalysed) {
  Read(EdgeMode::Coverage);
  session.ColourInventory();
  ASSERT_TRUE(session.AddColourToMaterialList("clRed"));
  ASSERT_EQ(session.Analyse(SectionSize{41, 42, "41", "42"}), SectionSession::AnalyseOutcome::Done);
  ASSERT_EQ(session.ComputeElastic(), SectionSession::ElasticOutcome::Done);
  ASSERT_TRUE(session.Elastic());
  // nu 0.3: G = 200 / 2.6; J = pi r^4 / 2, within the solver's stepped boundary.
  const double gj = 200 / 2.6 * std::numbers::pi * std::pow(20.3, 4) / 2;
  EXPECT_NEAR(session.Elastic()->GJ / gj, 1, 0.04);
  EXPECT_NEAR(session.Elastic()->GJ / gj, 1, 1.5 * session.Elastic()->GJErrorEstimate / gj);
  // Another reading since: the solve would describe another section.
  Read(EdgeMode::Flat);
  Read(EdgeMode::Coverage);
  EXPECT_FALSE(session.ElasticOffered());
  EXPECT_THROW(session.ComputeElastic(), Error);
}

TEST_F(SessionCoverageTest, StressesOfTheSmoothedDiscAreThoseOfTheExactDisc) {
  // Bending: sigma = M z / (pi r^4 / 4) at the extreme's own depth below the disc's centre
  // (27.79 pixel edges down). Read as coverage the stiffness is the exact disc's; read flat the
  // blended rim is missing and the stresses come out some 6 % high.
  constexpr double kM = 1e6;
  const auto ratio = [&](EdgeMode edges) {
    Read(edges);
    session.ColourInventory();
    EXPECT_TRUE(session.AddColourToMaterialList("clRed"));
    const int w = session.Bounds().WidthPixels();
    const int h = session.Bounds().HeightPixels();
    EXPECT_EQ(session.Analyse(SectionSize{w, h, std::to_string(w), std::to_string(h)}),
              SectionSession::AnalyseOutcome::Done);
    EXPECT_EQ(session.ComputeStresses(SectionActions{0, 0, kM}),
              SectionSession::StressOutcome::Done);
    const StressExtreme& top = session.Stresses()->Overall().sigmaMax;
    const double z = top.at.Ver - (27.79 - session.Bounds().ymin);
    return top.value / (kM * z / (std::numbers::pi * std::pow(20.3, 4) / 4));
  };
  EXPECT_NEAR(ratio(EdgeMode::Coverage), 1, 0.002);
  EXPECT_GT(ratio(EdgeMode::Flat), 1.04);
}

TEST_F(SessionCoverageTest, AFlatAnalysisIsUnchangedByTheReadingBeingOfferedAtAll) {
  // The same analysis twice in the flat reading, once after a round trip through coverage: the
  // flat reading's results and report are those it always gave.
  session.ColourInventory();
  ASSERT_TRUE(session.AddColourToMaterialList("clRed"));
  ASSERT_EQ(session.Analyse(SectionSize{40, 41, "40", "41"}), SectionSession::AnalyseOutcome::Done);
  const std::string report = session.ReportText();
  const double eiyy = session.Result().EIyy;
  Read(EdgeMode::Coverage);
  Read(EdgeMode::Flat);
  ASSERT_EQ(session.Analyse(SectionSize{40, 41, "40", "41"}), SectionSession::AnalyseOutcome::Done);
  EXPECT_EQ(session.ReportText(), report);
  EXPECT_EQ(session.Result().EIyy, eiyy);
  EXPECT_EQ(session.Bounds(), RedBox());
}

TEST(SessionCoverageTooManyColoursTest, AnalysingSaysWhyAndChangesNothing) {
  // 1024 x 257 pixels of as many colours, a red block among them: no drawing.
  PixelGrid g(1024, 257);
  for (std::size_t i = 0; i < g.Size(); ++i) g.Data()[i] = static_cast<std::uint32_t>(i) << 4;
  g.FillRect(10, 10, 40, 40, kRed);
  TempDir dir;
  SectionSession session;
  session.SetLibrary(std::make_unique<TPROPClass>());
  ProgramSettings settings = session.Settings();
  settings.Edges = EdgeMode::Coverage;
  session.ChangeSettings(settings);
  ASSERT_TRUE(session.AcceptPicture(dir.WritePicture("photo.bmp", g)));
  session.ColourInventory();
  ASSERT_TRUE(session.AddColourToMaterialList("clRed"));
  // The box falls back to the flat rule: the red block's.
  EXPECT_EQ(session.Bounds(), (SectionBounds{10, 10, 40, 40}));
  try {
    session.Analyse(SectionSize{31, 31, "31", "31"});
    FAIL() << "analysed";
  } catch (const Error& e) {
    EXPECT_EQ(std::string(e.what()),
              "The picture photo.bmp has more than 262144 colours, which is no drawing: its "
              "edges cannot be read as coverage, only flat.");
  }
  EXPECT_TRUE(session.Report().empty());
  EXPECT_FALSE(session.ElasticOffered());
}

// A wall 10.3 mm thick drawn smoothed on pixels twice as wide as high (its edges cut the first
// and last rows), and on square pixels: the cut cells' unknowns at their centroids and the long
// pixels' strip together give its GJ within 1e-3 of the exact value either way.
TEST(SessionCoverageLongPixelsTest, AWallOnPixelsTwiceAsWideAsHigh) {
  SectionSession session;
  session.SetLibrary(std::make_unique<TPROPClass>(LibraryOf({{"clRed", 200, 1000}}, {})));
  const TempDir dir;
  // 100 x 20.6 pixels of red centred in 100 x 21: read as 100 x 10.5 mm, 1 x 0.5 mm each.
  const DrawnSection drawn = DrawSmoothedSection(100, 21, 1.0, Box(100, 20.6, kRed));
  ASSERT_TRUE(session.AcceptPicture(dir.WritePicture("wall.bmp", drawn.grid)));
  ProgramSettings settings = session.Settings();
  settings.Edges = EdgeMode::Coverage;
  session.ChangeSettings(settings);
  session.ColourInventory();
  ASSERT_TRUE(session.AddColourToMaterialList("clRed"));
  SectionSize size{100, 11, "100", "10.5"};
  size.heightDecimalMm = 10.5;
  ASSERT_EQ(session.Analyse(size), SectionSession::AnalyseOutcome::Done);
  ASSERT_EQ(session.ComputeElastic(), SectionSession::ElasticOutcome::Done);
  const double longPixels = session.Elastic()->GJSolved;
  // The same wall on square pixels of 0.5 mm.
  const DrawnSection square = DrawSmoothedSection(100, 10.5, 0.5, Box(100, 10.3, kRed));
  ASSERT_TRUE(session.AcceptPicture(dir.WritePicture("square.bmp", square.grid)));
  session.ColourInventory();
  ASSERT_TRUE(session.AddColourToMaterialList("clRed"));
  size = SectionSize{100, 11, "100", "10.5"};
  size.heightDecimalMm = 10.5;
  ASSERT_EQ(session.Analyse(size), SectionSession::AnalyseOutcome::Done);
  ASSERT_EQ(session.ComputeElastic(), SectionSession::ElasticOutcome::Done);
  const double squarePixels = session.Elastic()->GJSolved;
  // nu 0.3: G = 200 / 2.6; 16 points a side draw the wall 10.3125 thick.
  const double exact = 200 / 2.6 * RectangleTorsionConstant(100, 10.3125);
  EXPECT_NEAR(longPixels / exact, 1, 1e-3);
  EXPECT_NEAR(squarePixels / exact, 1, 1e-3);
}

}  // namespace
}  // namespace qv::test
