// Section sizes with a fraction of a mm and sizes from a pixel size: how their texts read, and a
// rectangle whose stiffness is known in closed form.
#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <string>

#include "core/analysis/analysis_check.h"
#include "core/base/error.h"
#include "core/session/session.h"
#include "support/grid_builder.h"
#include "support/material_library.h"
#include "support/row_name.h"

namespace qv::test {
namespace {

struct SizeTextCase {
  const char* name;
  const char* text;
  double mm;            // the size analysed when taken
  const char* message;  // the refusal, or nullptr when taken
};
void PrintTo(const SizeTextCase& c, std::ostream* os) { *os << c.name; }

class SectionSizeTextTest : public ::testing::TestWithParam<SizeTextCase> {};

TEST_P(SectionSizeTextTest, ReadsAsTheSizeAnalysedOrIsRefusedInTheCoresWords) {
  const SizeTextCase& c = GetParam();
  SectionSize size;
  try {
    ReadSectionSize(c.text, size.widthMm, size.widthDecimalMm);
  } catch (const Error& e) {
    ASSERT_NE(c.message, nullptr) << e.what();
    EXPECT_STREQ(e.what(), c.message);
    return;
  }
  ASSERT_EQ(c.message, nullptr) << "taken";
  EXPECT_EQ(size.Width(), c.mm);
  // A whole number keeps to the integer path, whose results are those of the window's fields.
  EXPECT_EQ(size.widthDecimalMm.has_value(), c.mm != std::floor(c.mm));
}

INSTANTIATE_TEST_SUITE_P(
    Texts, SectionSizeTextTest,
    ::testing::Values(
        SizeTextCase{"fraction", "300.5", 300.5, nullptr},
        SizeTextCase{"smallest", "0.001", 0.001, nullptr},
        SizeTextCase{"blanks, sign and no integer digits", "  +.25", 0.25, nullptr},
        // Whole numbers written with a fraction read as the whole number.
        SizeTextCase{"largest with zero fraction", "100000.000", 100000, nullptr},
        SizeTextCase{"hexadecimal stays", "$1F", 31, nullptr},
        SizeTextCase{"zero", "0.0", 0, "a section of 0 mm cannot be analysed"},
        SizeTextCase{"below the smallest", "0.0009", 0, "the size must be 0.001..100000 mm"},
        SizeTextCase{"above the largest", "100000.5", 0, "the size must be 0.001..100000 mm"},
        SizeTextCase{"negative", "-1.5", 0, "the size must be 0.001..100000 mm"},
        // An exponent would hide how many mm are meant.
        SizeTextCase{"exponent", "1.5e2", 0, "'1.5e2' is not a valid floating point value"},
        SizeTextCase{"point without fraction", "100.", 0,
                     "'100.' is not a valid floating point value"},
        SizeTextCase{"two points", "1.2.3", 0, "'1.2.3' is not a valid floating point value"},
        SizeTextCase{"trailing blank", "1.5 ", 0, "'1.5 ' is not a valid floating point value"},
        SizeTextCase{"not a number", "abc", 0, "'abc' is not a valid floating point value"}),
    RowName);

// An 11 x 9 pixel red rectangle read as coverage: each pixel adds its own second moment, and
// with an odd count each way the centre is the middle pixel, so the sums are b h^3 / 12 exactly.
class SectionSizeRectangleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    session.SetLibrary(std::make_unique<TPROPClass>(LibraryOf({{"clRed", kE, 7850}}, {})));
    ProgramSettings settings = session.Settings();
    settings.Edges = EdgeMode::Coverage;
    session.ChangeSettings(settings);
    ASSERT_TRUE(session.AcceptPicture(
        dir.WritePicture("rect.bmp", MakeGrid(20, 15, kWhite, {{2, 3, 12, 11, kRed}}))));
    session.ColourInventory();
    ASSERT_TRUE(session.AddColourToMaterialList("clRed"));
  }
  void Analyse(const SectionSize& size) {
    ASSERT_TRUE(session.AnalyseOffered(size));
    ASSERT_EQ(session.Analyse(size), SectionSession::AnalyseOutcome::Done);
  }

  static constexpr double kE = 210000;
  TempDir dir;
  SectionSession session;
};

TEST_F(SectionSizeRectangleTest, DecimalSizesGiveTheClosedFormStiffness) {
  const double b = 100.5;
  const double h = 200.25;
  SectionSize size;
  size.widthDecimalMm = b;
  size.heightDecimalMm = h;
  size.widthText = "100.5";
  size.heightText = "200.25";
  Analyse(size);
  const SectionResult& r = session.Result();
  EXPECT_NEAR(r.EA / (kE * b * h), 1, 1e-15);
  // EIyy bends about the vertical axis: its fibres lie across the width.
  EXPECT_NEAR(r.EIyy / (kE * h * b * b * b / 12), 1, 1e-12);
  EXPECT_NEAR(r.EIzz / (kE * b * h * h * h / 12), 1, 1e-12);
  EXPECT_EQ(r.EIyz, 0);
  EXPECT_EQ(r.NC, (PixelPoint{7, 7}));  // the middle pixel of 2..12 and 3..11
  EXPECT_EQ(session.Report()[3], "    width  = 11 equals to 100.5 mm");
  EXPECT_EQ(session.Report()[4], "    height = 9 equals to 200.25 mm");
}

TEST_F(SectionSizeRectangleTest, APixelSizeIsTheWidthAndHeightItGivesTheBox) {
  SectionSize typed;
  typed.widthDecimalMm = 11 * 0.75;
  typed.heightDecimalMm = 9 * 0.75;
  Analyse(typed);
  const SectionResult byWidth = session.Result();
  SectionSize pixel;
  pixel.pixelSizeMm = 0.75;
  EXPECT_EQ(session.ScaleText(pixel), "0.75 x 0.75 mm/px");
  Analyse(pixel);
  const SectionResult& r = session.Result();
  EXPECT_EQ(r.Dx, byWidth.Dx);
  EXPECT_EQ(r.Dy, byWidth.Dy);
  EXPECT_EQ(r.EA, byWidth.EA);
  EXPECT_EQ(r.EIyy, byWidth.EIyy);
  EXPECT_EQ(r.EIzz, byWidth.EIzz);
  EXPECT_EQ(session.Report()[3], "    width  = 11 equals to 8.25 mm");
  EXPECT_EQ(session.Report()[4], "    height = 9 equals to 6.75 mm");
  EXPECT_EQ(session.Report()[5], "    pixel size = 0.75 mm");
  // A size it would give beyond the range of the fields offers no analysis.
  pixel.pixelSizeMm = 10000;
  EXPECT_FALSE(session.AnalyseOffered(pixel));
}

}  // namespace
}  // namespace qv::test
