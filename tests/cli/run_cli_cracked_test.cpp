// Tests of the batch tool's cracked section, run in-process: its refusals, the keys of its JSON
// member, the report's block and the map of the cracked sigma.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonObject>
#include <QStringList>
#include <string>
#include <vector>

#include "cli/run_cli.h"
#include "core/elastic/stress_map.h"
#include "rectangle_run.h"
#include "support/cli_run.h"
#include "support/grid_builder.h"

namespace qv::test {
namespace {

// Concrete (clBlue) 10 x 8 pixels at x 2..11, y 2..9, a steel row (clRed) at y 8 inside it: at
// 100 x 80 mm each pixel is 10 x 10 mm.
class RunCliCrackedTest : public ::testing::Test {
 protected:
  void SetUp() override {
    beam = dir.WritePicture("beam.bmp",
                            MakeGrid(20, 12, kWhite, {{2, 2, 11, 9, kBlue}, {3, 8, 10, 8, kRed}}));
  }
  std::vector<std::string> Analyse(const std::vector<std::string>& more) const {
    return Concat(
        {"analyse", beam, "--width", "100", "--height", "80", "--use", "clBlue", "--use", "clRed",
         "--material", "clBlue@concrete@30000@2400", "--material", "clRed@steel@200000@7850"},
        more);
  }

  TempDir dir;
  std::string beam;
};

TEST_F(RunCliCrackedTest, RefusedWithoutBendingActionsOrWithAMapOfAnotherField) {
  struct Case {
    std::vector<std::string> more;
    int code;
    const char* message;
  };
  const std::vector<Case> cases = {
      {{"--cracked"}, 2, "option --cracked needs --action"},
      {{"--cracked", "--torsion", "--action", "Vy=1000"},
       1,
       "the cracked section needs actions: N, My or Mz"},
      {{"--cracked", "--action", "Mz=1e6", "--stress-map", dir.File("m.png"), "--stress-field",
        "tau"},
       1,
       "the cracked section's map shows sigma only"},
  };
  for (const Case& c : cases) {
    const CliRun run = RunTool(Analyse(c.more));
    EXPECT_EQ(run.code, c.code) << c.message;
    EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
  }
}

TEST_F(RunCliCrackedTest, JsonHasTheKeysAndTheReportTheBlock) {
  const CliRun run = RunTool(Analyse(
      {"--cracked", "--fy", "clBlue=17/0", "--action", "Mz=1e7", "--resistance", "--json"}));
  ASSERT_EQ(run.code, 0) << run.err;
  const QJsonObject json = ParseJson(run.out);
  const QJsonObject c = At(json, "cracked");
  EXPECT_EQ(c.keys(), QStringList({"cracked_centre", "ea", "eiyy", "eiyz", "eizz", "iterations",
                                   "materials", "neutral_axis", "sigma", "strain"}));
  const QJsonArray axis = c["neutral_axis"].toArray();
  ASSERT_EQ(axis.size(), 2);
  // A horizontal axis across the whole box: from hor 0 to hor 100 at one depth.
  EXPECT_NEAR(axis[0].toArray()[1].toDouble(), axis[1].toArray()[1].toDouble(), 1e-9);
  EXPECT_NEAR(std::abs(axis[0].toArray()[0].toDouble() - axis[1].toArray()[0].toDouble()), 100,
              1e-9);
  const QJsonArray materials = c["materials"].toArray();
  ASSERT_EQ(materials.size(), 2);
  EXPECT_EQ(materials[0].toObject()["label"].toString(), "clBlue");
  EXPECT_TRUE(materials[0].toObject()["cracks"].toBool());
  EXPECT_EQ(At(materials[0].toObject(), "sigma")["max"].toDouble(), 0);
  EXPECT_GT(At(materials[1].toObject(), "sigma")["max"].toDouble(), 0);
  EXPECT_LT(c["eizz"].toDouble(), json["eizz"].toDouble());

  const CliRun text =
      RunTool(Analyse({"--cracked", "--law", "clBlue=no-tension", "--action", "Mz=1e7"}));
  ASSERT_EQ(text.code, 0) << text.err;
  EXPECT_NE(text.out.find("\r\n\r\nCRACKED SECTION\r\ncracked service analysis, no tension in "
                          "clBlue, the other materials linear:\r\n"),
            std::string::npos)
      << text.out;
  // Concrete alone cannot carry a moment without an axial force.
  const CliRun plain =
      RunTool({"analyse", beam, "--width", "100", "--height", "80", "--use", "clBlue", "--law",
               "clBlue=no-tension", "--cracked", "--action", "Mz=1e6", "--json"});
  ASSERT_EQ(plain.code, 0) << plain.err;
  EXPECT_TRUE(ParseJson(plain.out)["cracked"].isNull());
  EXPECT_EQ(ParseJson(plain.out)["cracked_missing"].toString(),
            "the cracked section cannot carry the actions");
}

TEST_F(RunCliCrackedTest, MapShowsNoStressInTheCrackedConcrete) {
  const std::string cracked = dir.File("cracked.png");
  const std::string linear = dir.File("linear.png");
  ASSERT_EQ(RunTool(Analyse({"--cracked", "--law", "clBlue=no-tension", "--action", "Mz=1e7",
                             "--stress-map", cracked}))
                .code,
            0);
  ASSERT_EQ(
      RunTool(Analyse({"--action", "Mz=1e7", "--stress-map", linear, "--stress-field", "sigma"}))
          .code,
      0);
  const PixelGrid c = ReadPng(cracked);
  const PixelGrid l = ReadPng(linear);
  // The concrete just above the steel is stretched: 0 when cracked, the middle of the scale.
  const std::uint32_t zero = StressScale{StressKind::Sigma, -1, 1, true}.Colour(0);
  EXPECT_EQ(c.At(5, 7), zero);
  EXPECT_NE(l.At(5, 7), zero);
  // The compressed top still carries: not the colour of 0.
  EXPECT_NE(c.At(5, 2), zero);
}

}  // namespace
}  // namespace qv::test
