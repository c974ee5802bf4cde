// The rules of an analysis request: each refusal in the core's words, and a request that keeps
// them all taken.
#include "core/analysis/analysis_check.h"

#include <gtest/gtest.h>

#include <functional>
#include <limits>

#include "core/base/error.h"
#include "support/row_name.h"

namespace qv::test {
namespace {

AnalysisRequest Sound() {
  AnalysisRequest r;
  r.size = {500, 650, "500", "650"};
  r.uses = {"clRed", "clBlue"};
  r.torsion = true;
  r.materials = {{"clRed", "steel", 210000, 7850}};
  r.nus = {{"clRed", 0.3}};
  r.strengths = {{"clBlue", {17, 0}}};
  r.laws = {{"clRed", ReadMaterialLaw("elastic-plastic,eu=0.02")}};
  r.resistance = true;
  r.interaction = 60;
  r.actions = {{ActionKind::N, 1e5}, {ActionKind::Vz, 2e4}};
  r.outputs.stressMap = true;
  return r;
}

struct RefusalCase {
  const char* name;
  std::function<void(AnalysisRequest&)> change;
  const char* message;
};
void PrintTo(const RefusalCase& c, std::ostream* os) { *os << c.name; }

class CheckRequestTest : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(CheckRequestTest, RefusesInTheCoresWords) {
  AnalysisRequest r = Sound();
  GetParam().change(r);
  try {
    CheckRequest(r);
    FAIL() << "taken";
  } catch (const Error& e) {
    EXPECT_STREQ(e.what(), GetParam().message);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Rules, CheckRequestTest,
    ::testing::Values(
        RefusalCase{"a width of 0", [](auto& r) { r.size.widthMm = 0; },
                    "width: a section of 0 mm cannot be analysed"},
        RefusalCase{"a height above the limit", [](auto& r) { r.size.heightMm = 100001; },
                    "height: the size must be 1..100000 mm"},
        RefusalCase{"a width with a fraction below the smallest",
                    [](auto& r) { r.size.widthDecimalMm = 0.0005; },
                    "width: the size must be 0.001..100000 mm"},
        RefusalCase{"a negative pixel size", [](auto& r) { r.size.pixelSizeMm = -1; },
                    "the pixel size must be above 0 and at most 100000 mm"},
        // Ratios, strengths, shear forces and torque change nothing without the torsion solve.
        RefusalCase{"ratios without torsion", [](auto& r) { r.torsion = false; },
                    "Poisson's ratios are used by the torsion analysis only"},
        RefusalCase{"strengths without torsion or resistance",
                    [](auto& r) {
                      r.torsion = false;
                      r.nus.clear();
                      r.resistance = false;
                      r.interaction = 0;
                    },
                    "strengths are used by the torsion analysis only"},
        // Laws serve the resistance alone; the interaction asks for it too.
        RefusalCase{"laws without the resistance",
                    [](auto& r) {
                      r.resistance = false;
                      r.interaction = 0;
                    },
                    "stress-strain laws are used by the resistance only"},
        RefusalCase{"an interaction of one point", [](auto& r) { r.interaction = 1; },
                    "the interaction needs 2..10000 points"},
        // Fewer than four directions cannot close the biaxial diagram round the turn.
        RefusalCase{"a biaxial list of three angles", [](auto& r) { r.biaxial = 3; },
                    "the biaxial interaction needs 4..3600 angles"},
        RefusalCase{"a law of a colour outside the section",
                    [](auto& r) { r.laws[0].first = "clLime"; },
                    "clLime is not a colour of the section"},
        RefusalCase{"a shear force without torsion",
                    [](auto& r) {
                      r.torsion = false;
                      r.nus.clear();
                      r.strengths.clear();
                    },
                    "the action Vz needs the torsion analysis"},
        RefusalCase{"a map without actions", [](auto& r) { r.actions.clear(); },
                    "a stress map needs actions"},
        // The cracked section is found under N, My and Mz, and maps sigma alone.
        RefusalCase{"a cracked section under a shear force alone",
                    [](auto& r) {
                      r.cracked = true;
                      r.actions = {{ActionKind::Vz, 2e4}};
                    },
                    "the cracked section needs actions: N, My or Mz"},
        RefusalCase{"a map of von Mises with the cracked section",
                    [](auto& r) { r.cracked = true; },
                    "the cracked section's map shows sigma only: tau and von Mises are those of "
                    "the uncracked section"},
        RefusalCase{
            "a negative precision", [](auto& r) { r.eps = -1; },
            "Number exceeds user defined range. The angle precision must lie in 0..90 degrees, "
            "not -1."},
        RefusalCase{"a name with the separator", [](auto& r) { r.materials[0].name = "st@el"; },
                    "A material name must not contain '@'."},
        RefusalCase{"a material without a label", [](auto& r) { r.materials[0].label.clear(); },
                    "the colour label is empty"},
        RefusalCase{"a ratio of a colour outside the section",
                    [](auto& r) { r.nus[0].first = "clLime"; },
                    "clLime is not a colour of the section"},
        RefusalCase{"a ratio of 0.5", [](auto& r) { r.nus[0].second = 0.5; },
                    "The Poisson's ratio of clRed must be at least 0 and below 0.5, not 0.5."},
        RefusalCase{"two strengths of one colour",
                    [](auto& r) { r.strengths.push_back(r.strengths[0]); },
                    "clBlue is given twice"},
        RefusalCase{"a negative tension strength",
                    [](auto& r) { r.strengths[0].second.tension = -1; },
                    "The strength of clBlue must be at least 0 N/mm^2, not -1."},
        RefusalCase{"a moment given twice in EURO-code names",
                    [](auto& r) {
                      r.convention = SignConvention::EuroCode;
                      r.actions = {{ActionKind::My, 1}, {ActionKind::My, 2}};
                    },
                    "Mz is given twice"},
        RefusalCase{"an infinite force",
                    [](auto& r) { r.actions[0].second = std::numeric_limits<double>::infinity(); },
                    "an action must be a finite number"}),
    RowNameGenerator());

TEST(CheckRequestTest, TakesASoundRequestAndJoinsItsActions) {
  const AnalysisRequest r = Sound();
  EXPECT_NO_THROW(CheckRequest(r));
  // The resistance takes strengths and laws without the torsion.
  AnalysisRequest resistance = r;
  resistance.torsion = false;
  resistance.nus.clear();
  resistance.actions = {{ActionKind::N, -1e5}};
  resistance.outputs.stressMap = false;
  resistance.resistance = false;
  EXPECT_NO_THROW(CheckRequest(resistance));
  // So does the cracked section, alone.
  AnalysisRequest cracked = resistance;
  cracked.interaction = 0;
  cracked.cracked = true;
  EXPECT_NO_THROW(CheckRequest(cracked));
  const std::optional<SectionActions> actions = ActionsOf(r);
  ASSERT_TRUE(actions);
  EXPECT_EQ(actions->N, 1e5);
  EXPECT_EQ(actions->Vz, 2e4);
  EXPECT_EQ(actions->My, 0);
  EXPECT_FALSE(ActionsOf(AnalysisRequest{}));
}

TEST(CheckRequestTest, ReadsValuesByTheirNames) {
  EXPECT_EQ(SectionSizeOf("0x1F"), 31);
  EXPECT_THROW(SectionSizeOf("12a"), Error);
  EXPECT_EQ(SignConventionOf(1), SignConvention::EuroCode);
  EXPECT_THROW(SignConventionOf(2), Error);
  EXPECT_EQ(EdgeModeOfName("coverage"), EdgeMode::Coverage);
  EXPECT_THROW(EdgeModeOfName("Coverage"), Error);
  EXPECT_EQ(StressKindOfName("tau"), StressKind::Tau);
  // My in EURO-code names is the formal Mz.
  EXPECT_EQ(ActionOfNameChecked("My", SignConvention::EuroCode), ActionKind::Mz);
  EXPECT_THROW(ActionOfNameChecked("X", SignConvention::DorvastPelkam), Error);
}

}  // namespace
}  // namespace qv::test
