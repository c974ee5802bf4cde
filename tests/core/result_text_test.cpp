// Tests of the result-box texts, the angle-precision rule and the report.
#include "core/section/result_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>
#include <string>
#include <vector>

#include "core/base/number_text.h"
#include "core/library/dd_props.h"
#include "core/section/integration.h"
#include "support/material_library.h"
#include "support/row_name.h"

namespace qv::test {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

TEST(ResultTextTest, CentreTextsMeasureFromUpperLeftCorner) {
  SectionResult result;
  result.RelevantPixels = 1234;
  result.EA = 210000.0 * 1000;
  result.Mass = 0.0785;
  result.Dx = 0.5;
  result.Dy = 0.25;
  result.NC = {13, 25};
  result.MC = {7, 21};  // left of xmin: the distance is still positive
  const SectionBounds bounds{10, 20, 30, 40};

  const CentreTexts texts = FormatCentreTexts(result, bounds);
  EXPECT_EQ(texts.relevantPixels, "1234");
  EXPECT_EQ(texts.ea, "2.1E008");
  EXPECT_EQ(texts.mass, "78.5");
  EXPECT_EQ(texts.ncHor, "1.50");
  EXPECT_EQ(texts.ncVer, "1.25");
  EXPECT_EQ(texts.mcHor, "1.50");
  EXPECT_EQ(texts.mcVer, "0.25");
}

TEST(ResultTextTest, LargeMassSwitchesToExponentForm) {
  SectionResult result;
  result.Mass = 123.456;
  EXPECT_EQ(FormatCentreTexts(result, SectionBounds{0, 0, 1, 1}).mass, "1.2346E5");
}

TEST(ResultTextTest, NonFiniteCentreValuesShowAsText) {
  SectionResult result;
  result.EA = kInf;
  result.Mass = kNaN;
  result.Dx = kNaN;
  result.Dy = kInf;
  result.NC = {5, 5};
  const CentreTexts texts = FormatCentreTexts(result, SectionBounds{0, 0, 9, 9});
  EXPECT_EQ(texts.ea, "INF");
  EXPECT_EQ(texts.mass, "NAN");
  EXPECT_EQ(texts.ncHor, "NAN");
  EXPECT_EQ(texts.ncVer, "INF");
  EXPECT_EQ(texts.mcVer, "NAN");  // zero distance times infinity
}

struct ScaleCase {
  double eiyy, eizz, eiyz;
  const char* textYY;
  const char* textZZ;
  const char* textYZ;
};
void PrintTo(const ScaleCase& c, std::ostream* os) {
  *os << "EIyy " << NumberLabel(c.eiyy) << " EIzz " << NumberLabel(c.eizz) << " EIyz "
      << NumberLabel(c.eiyz);
}

class StiffnessScaleTest : public ::testing::TestWithParam<ScaleCase> {};

TEST_P(StiffnessScaleTest, SharesOneScaleForAllTerms) {
  const ScaleCase& c = GetParam();
  SectionResult result;
  result.EIyy = c.eiyy;
  result.EIzz = c.eizz;
  result.EIyz = c.eiyz;
  result.Alpha = 1;  // outside the tolerance: EI1 and EI2 stay as given
  result.EI1 = c.eiyy;
  result.EI2 = c.eizz;
  const StiffnessTexts texts = FormatStiffnessTexts(result);
  EXPECT_EQ(texts.eiyy, c.textYY);
  EXPECT_EQ(texts.eizz, c.textZZ);
  EXPECT_EQ(texts.eiyz, c.textYZ);
  // The principal values use the same scale.
  EXPECT_EQ(texts.ei1, c.textYY);
  EXPECT_EQ(texts.ei2, c.textZZ);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StiffnessScaleTest,
    ::testing::Values(
        // 10^6 exactly is still written in full.
        ScaleCase{1e6, 0, 0, "1000000", "0", "0"},
        ScaleCase{123.25, -0.5, 1e-7, "123.25", "-0.5", "1E-7"},
        // Just above 10^6: scale 10^5.
        ScaleCase{1000001, 0, 0, "10.000E5", "0.000E5", "0.000E5"},
        ScaleCase{3.4567891e12, 1.2e12, -2.5e9, "34.568E11", "12.000E11", "-0.025E11"},
        // A small negative term rounds to a zero without sign.
        ScaleCase{3.4567891e12, 1.2e12, -4e7, "34.568E11", "12.000E11", "0.000E11"},
        // The largest magnitude may be a negative term or the product term.
        ScaleCase{1e3, -2e7, 5, "0.001E6", "-20.000E6", "0.000E6"},
        ScaleCase{1, 1, -5e8, "0.000E7", "0.000E7", "-50.000E7"},
        // Beyond 10^17 the scale stops at 10^15.
        ScaleCase{1e20, 1e15, 0, "100000.000E15", "1.000E15", "0.000E15"},
        // Non-finite terms show as such and leave the others' scale alone.
        ScaleCase{kNaN, 5e12, kInf, "NAN", "50.000E11", "INF"},
        ScaleCase{-kInf, kNaN, 42, "-INF", "NAN", "42"}),
    RowName);

struct RuleCase {
  double alpha;
  double tolerance;
  double eiyy, eizz, ei1, ei2;
  double expectedEI1, expectedEI2;
  const char* angle;
};
void PrintTo(const RuleCase& c, std::ostream* os) {
  *os << "alpha " << NumberLabel(c.alpha) << " tolerance " << NumberLabel(c.tolerance) << " EIyy "
      << NumberLabel(c.eiyy) << " EIzz " << NumberLabel(c.eizz);
}

class PrecisionRuleTest : public ::testing::TestWithParam<RuleCase> {};

TEST_P(PrecisionRuleTest, WritesPrincipalValuesBack) {
  const RuleCase& c = GetParam();
  SectionResult result;
  result.Alpha = c.alpha;
  result.EIyy = c.eiyy;
  result.EIzz = c.eizz;
  result.EIyz = 7;
  result.EI1 = c.ei1;
  result.EI2 = c.ei2;
  ApplyAngleTolerance(result, c.tolerance);
  const StiffnessTexts texts = FormatStiffnessTexts(result);
  EXPECT_EQ(result.EI1, c.expectedEI1);
  EXPECT_EQ(result.EI2, c.expectedEI2);
  if (std::isnan(c.alpha)) {
    EXPECT_TRUE(std::isnan(result.Alpha));
  } else {
    EXPECT_EQ(result.Alpha, c.alpha);
  }
  EXPECT_EQ(texts.alpha, c.angle);
  EXPECT_EQ(texts.hintEI1, FormatNumber(c.expectedEI1));
  EXPECT_EQ(texts.hintEI2, FormatNumber(c.expectedEI2));
  EXPECT_EQ(texts.ei1, FormatNumber(c.expectedEI1));
}

constexpr double kOneDegree = std::numbers::pi * 1.0 / 180;

INSTANTIATE_TEST_SUITE_P(
    Cases, PrecisionRuleTest,
    ::testing::Values(
        // 0.57 degrees within 1 degree: the larger axis term becomes EI1.
        RuleCase{0.01, 1, 100, 300, 310, 90, 300, 100, "0.6"},
        RuleCase{0.01, 1, 300, 100, 310, 90, 300, 100, "0.6"},
        RuleCase{-0.01, 1, 300, 100, 310, 90, 300, 100, "-0.6"},
        // Equal terms take EIzz first.
        RuleCase{0, 1, 200, 200, 250, 150, 200, 200, "0.0"},
        // The tolerance itself still counts as within.
        RuleCase{kOneDegree, 1, 100, 300, 310, 90, 300, 100, "1.0"},
        RuleCase{std::nextafter(kOneDegree, 1.0), 1, 100, 300, 310, 90, 310, 90, "1.0"},
        // A quarter turn is far outside: the computed values stay.
        RuleCase{-std::numbers::pi / 2, 1, 100, 300, 310, 90, 310, 90, "-90.0"},
        // Zero tolerance still catches an angle of exactly zero.
        RuleCase{0, 0, 100, 300, 310, 90, 300, 100, "0.0"},
        RuleCase{1e-9, 0, 100, 300, 310, 90, 310, 90, "0.0"},
        // A NaN angle is never within the tolerance.
        RuleCase{kNaN, 1, 100, 300, 310, 90, 310, 90, "NAN"}),
    RowName);

TEST(ResultTextTest, IsoSectionHasNoAngle) {
  SectionResult result;
  result.Iso = true;
  result.Alpha = 0;
  result.EIyy = result.EIzz = result.EI1 = result.EI2 = 5e6;
  const StiffnessTexts texts = FormatStiffnessTexts(result);
  EXPECT_EQ(texts.alpha, "iso");
  EXPECT_EQ(texts.ei1, "50.000E5");
}

TEST(ResultTextTest, HintsAreFullPrecision) {
  SectionResult result;
  result.EA = 210000.0 * 1000;
  result.EIyy = 3.4567891e12;
  result.EIzz = 1.2e12;
  result.EIyz = -2.5e9;
  result.Alpha = 1;
  result.EI1 = 3.5e12;
  result.EI2 = 1.1e12;
  const StiffnessTexts texts = FormatStiffnessTexts(result);
  EXPECT_EQ(texts.hintEA, "210000000");
  EXPECT_EQ(texts.hintEIyy, "3456789100000");
  EXPECT_EQ(texts.hintEIzz, "1200000000000");
  EXPECT_EQ(texts.hintEIyz, "-2500000000");
  EXPECT_EQ(texts.hintEI1, "3500000000000");
  EXPECT_EQ(texts.hintEI2, "1100000000000");
  EXPECT_EQ(texts.ei1, "35.000E11");
  EXPECT_EQ(texts.ei2, "11.000E11");
}

class SectionReportTest : public ::testing::Test {
 protected:
  SectionReportTest() {
    centre.relevantPixels = "2000";
    centre.ea = "2.1E008";
    centre.ncHor = "12.50";
    centre.ncVer = "7.00";
    centre.mass = "78.5";
    centre.mcHor = "12.40";
    centre.mcVer = "7.10";
    stiffness.eiyy = "34.568E11";
    stiffness.eizz = "12.000E11";
    stiffness.eiyz = "-0.025E11";
    stiffness.alpha = "-0.1";
    stiffness.ei1 = "34.570E11";
    stiffness.ei2 = "11.998E11";
    input.picturePath = "C:\\pictures\\old/beam.bmp";
    input.widthPixels = "100";
    input.heightPixels = "50";
    input.widthField = "200";
    input.heightField = "100.5";
    input.library = &library;
  }

  std::vector<std::string> Expected(std::vector<std::string> stiffnessLines,
                                    std::vector<std::string> materialLines) const {
    std::vector<std::string> lines = {
        "QUORVANE RESULTS : beam.bmp",
        "",
        "Sectional boundaries:",
        "    width  = 100 equals to 200 mm",
        "    height = 50 equals to 100.5 mm",
        "",
        "material properties:",
        "",
        "name\t\tcolor\tE [N/mm^2]\trho [kg/m^3]",
        "--------------------------------------------------------------"};
    lines.insert(lines.end(), materialLines.begin(), materialLines.end());
    for (const char* line :
         {"", "normal center NC at position:", "    hor  = 12.50 mm from upper left corner UL",
          "    ver  = 7.00 mm from upper left corner UL", "",
          "mass center MC at position:", "    hor  = 12.40 mm from upper left corner UL",
          "    ver  = 7.10 mm from upper left corner UL", "    mass = 78.5 kg/m", "",
          "Cross sectional stiffness components:", "    EA   = 2.1E008 N"}) {
      lines.push_back(line);
    }
    lines.insert(lines.end(), stiffnessLines.begin(), stiffnessLines.end());
    for (const char* line : {"", "Principal data:", "    alpha= -0.1 degrees",
                             "    EI1  = 34.570E11 Nmm^2", "    EI2  = 11.998E11 Nmm^2"}) {
      lines.push_back(line);
    }
    return lines;
  }

  const std::vector<std::string> kMaterialLines = {"steel\t\tclRed\t210000\t\t7850",
                                                   "\t\t$000080FF\t1\t\t1"};

  TPROPClass library = LibraryOf({{"clRed", 210000, 7850, true, "steel"},
                                  {"clBlue", 5, 6, false, "unused"},
                                  {"$000080FF", 1, 1, true}});
  CentreTexts centre;
  StiffnessTexts stiffness;
  ReportInput input;
};

TEST_F(SectionReportTest, FormalConventionNamesTermsByDefinition) {
  input.signConvention = SignConvention::DorvastPelkam;
  EXPECT_EQ(SectionReport(centre, stiffness, input),
            Expected({"    EIyy = 34.568E11 Nmm^2", "    EIzz = 12.000E11 Nmm^2",
                      "    EIyz = -0.025E11 Nmm^2"},
                     kMaterialLines));
}

TEST_F(SectionReportTest, EuroCodeConventionRenamesWithoutRecomputing) {
  input.signConvention = SignConvention::EuroCode;
  EXPECT_EQ(SectionReport(centre, stiffness, input),
            Expected({"    EIy  = 12.000E11 Nmm^2", "    EIz  = 34.568E11 Nmm^2",
                      "    EIyz = -0.025E11 Nmm^2"},
                     kMaterialLines));
}

TEST_F(SectionReportTest, UnknownConventionOmitsStiffnessLines) {
  input.signConvention = static_cast<SignConvention>(7);
  EXPECT_EQ(SectionReport(centre, stiffness, input), Expected({}, kMaterialLines));
}

TEST_F(SectionReportTest, NoMaterialInUseLeavesNoMaterialLines) {
  for (TPROPRec& entry : library) entry.inUse = false;
  EXPECT_EQ(SectionReport(centre, stiffness, input),
            Expected({"    EIyy = 34.568E11 Nmm^2", "    EIzz = 12.000E11 Nmm^2",
                      "    EIyz = -0.025E11 Nmm^2"},
                     {}));
}

TEST_F(SectionReportTest, MaterialValuesUseFullPrecision) {
  library.Clear();
  AddMaterial(library, {"clGray", 1.0 / 3, 2.5e20, true, "concrete"});
  const std::vector<std::string> lines = SectionReport(centre, stiffness, input);
  EXPECT_EQ(lines[10], "concrete\t\tclGray\t0.333333333333333\t\t2.5E20");
}

TEST_F(SectionReportTest, IsoAngleLine) {
  stiffness.alpha = "iso";
  const std::vector<std::string> lines = SectionReport(centre, stiffness, input);
  EXPECT_EQ(lines[lines.size() - 3], "    alpha= iso degrees");
}

TEST_F(SectionReportTest, WithoutLibraryOnlyTitle) {
  input.library = nullptr;
  EXPECT_EQ(SectionReport(centre, stiffness, input),
            (std::vector<std::string>{"QUORVANE RESULTS : beam.bmp", ""}));
}

TEST_F(SectionReportTest, FileNameAfterTheLastSlash) {
  input.library = nullptr;
  // Only "/" separates folders; a backslash belongs to the file's name.
  for (const auto& [path, name] :
       std::vector<std::pair<std::string, std::string>>{{"/home/u/a\\b.bmp", "a\\b.bmp"},
                                                        {"/home/user/a b.bmp", "a b.bmp"},
                                                        {"plain.bmp", "plain.bmp"},
                                                        {"", ""}}) {
    input.picturePath = path;
    EXPECT_EQ(SectionReport(centre, stiffness, input)[0], "QUORVANE RESULTS : " + name) << path;
  }
}

TEST(ResultTextTest, JoinCrLfEndsEveryLine) {
  EXPECT_EQ(JoinCrLf({"QUORVANE RESULTS : a.bmp", "", "x"}),
            "QUORVANE RESULTS : a.bmp\r\n\r\nx\r\n");
  EXPECT_EQ(JoinCrLf({}), "");
}

}  // namespace
}  // namespace qv::test
