// The report's text cut into blocks and rows for the PDF, and its pictures made small.
#include "core/analysis/report_document.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace qv::test {
namespace {

// Each kind of line the text report writes, with the row it becomes.
struct LineCase {
  const char* line;
  ReportRow row;
};

const LineCase kLines[] = {
    // A value with its unit and no words of its own: the meaning comes from its name.
    {"    EA   = 1.785E010 N", {"EA", "1.785E010", "N", "axial stiffness", false}},
    // The words after the unit are its meaning.
    {"    hor  = 250.00 mm from upper left corner UL",
     {"hor", "250.00", "mm", "from upper left corner UL", false}},
    // A second unit after "=" stays in the meaning, as written.
    {"    Iw   = 1.4253E014 mm^6 = 1.4253E008 cm^6  warping constant about SC",
     {"Iw", "1.4253E014", "mm^6", "= 1.4253E008 cm^6  warping constant about SC", false}},
    // The units of the other systems.
    {"    GJ   = 1.3167E004 kNm^2", {"GJ", "1.3167E004", "kNm^2", "torsional stiffness", false}},
    {"    sigma max = 1.5 kN/cm^2 at hor = 2.000 cm",
     {"sigma max", "1.5", "kN/cm^2", "at hor = 2.000 cm", false}},
    // A comma after the unit ends the value.
    {"    beta = 43.15 mm, bending about the horizontal axis",
     {"beta", "43.15", "mm", "bending about the horizontal axis", false}},
    // A word that is no unit starts the meaning.
    {"    width  = 250 equals to 500 mm", {"width", "250", "", "equals to 500 mm", false}},
    // A name of two words, a negative value and no unit.
    {"    sigma min     = -20.386       at hor = 0.00 mm, ver = 0.00 mm",
     {"sigma min", "-20.386", "", "at hor = 0.00 mm, ver = 0.00 mm", false}},
    // Lines of another shape stay whole, tabs as a terminal shows them.
    {"    error estimate 0.33 % (1.9E010 Nmm^2, observed order 1.4)",
     {"error estimate 0.33 % (1.9E010 Nmm^2, observed order 1.4)", "", "", "", true}},
    {"\tsteel S235\tclRed", {"steel S235      clRed", "", "", "", true}},
};

TEST(ReportDocumentTest, LinesBecomeRowsOfSymbolValueUnitAndMeaning) {
  for (const LineCase& c : kLines) {
    const std::vector<ReportBlock> blocks = ReportBlocks(std::string("heading:\n") + c.line);
    ASSERT_EQ(blocks.size(), 1U) << c.line;
    ASSERT_EQ(blocks[0].groups.size(), 1U) << c.line;
    ASSERT_EQ(blocks[0].groups[0].rows.size(), 1U) << c.line;
    EXPECT_EQ(blocks[0].groups[0].rows[0], c.row) << c.line;
  }
}

TEST(ReportDocumentTest, TitlesInCapitalsAndThePlasticGroupStartBlocks) {
  const std::string report =
      "QUORVANE RESULTS : a.bmp\r\n\r\nSectional boundaries:\r\n    width  = 250 equals to 500 "
      "mm\r\n\r\nEXTENDED SECTION VALUES : torsion\r\n\r\ntorsional stiffness:\r\n    GJ   = "
      "5.6763E012 Nmm^2\r\nradii of gyration:\r\n    iy   = 204.96 mm = sqrt(EIyy / EA)\r\n\r\n"
      "plastic moments, rigid-plastic stress blocks:\r\n    horizontal axis:\r\n";
  const std::vector<ReportBlock> blocks = ReportBlocks(report);
  ASSERT_EQ(blocks.size(), 3U);
  EXPECT_EQ(blocks[0].title, "QUORVANE RESULTS : a.bmp");
  EXPECT_EQ(blocks[1].title, "EXTENDED SECTION VALUES : torsion");
  ASSERT_EQ(blocks[1].groups.size(), 2U);
  EXPECT_EQ(blocks[1].groups[0].heading, "torsional stiffness:");
  EXPECT_EQ(blocks[1].groups[0].rows[0].meaning, "torsional stiffness");
  EXPECT_EQ(blocks[1].groups[1].rows[0].meaning, "= sqrt(EIyy / EA)");
  EXPECT_EQ(blocks[2].title, "");
  EXPECT_EQ(blocks[2].groups[0].heading, "plastic moments, rigid-plastic stress blocks:");
}

TEST(ReportDocumentTest, ShrunkPictureKeepsFlatColoursAndScalesTheOverlay) {
  // 10 x 7 pixels, columns coloured by their index: a longest side of 4 takes every third.
  PixelGrid picture(10, 7);
  for (int y = 0; y < 7; ++y) {
    for (int x = 0; x < 10; ++x) picture.Set(x, y, static_cast<std::uint32_t>(x));
  }
  const OverlayOps ops = {PolylineOp{{{0, 0}, {9, 6}}, 0, 6}, EllipseOp{{3, 3}, {6, 6}, 0, 2},
                          LabelOp{{9, 3}, "NC", 0, {}, 96}};
  const ReportPicture small = ShrinkForReport(picture, ops, 4, "c");
  EXPECT_EQ(small.reduction, 3);
  ASSERT_EQ(small.pixels.Width(), 3);
  ASSERT_EQ(small.pixels.Height(), 2);
  for (int x = 0; x < 3; ++x)
    EXPECT_EQ(small.pixels.At(x, 1), static_cast<std::uint32_t>(3 * x + 1));
  const OverlayOps expected = {PolylineOp{{{0, 0}, {3, 2}}, 0, 2}, EllipseOp{{1, 1}, {2, 2}, 0, 1},
                               LabelOp{{3, 1}, "NC", 0, {}, 32}};
  EXPECT_EQ(small.ops, expected);
  // Small enough already: as it is.
  const ReportPicture same = ShrinkForReport(picture, ops, 10, "c");
  EXPECT_EQ(same.reduction, 1);
  EXPECT_EQ(same.pixels.At(9, 6), 9U);
  EXPECT_EQ(same.ops, ops);
}

}  // namespace
}  // namespace qv::test
