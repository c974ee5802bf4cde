// Tests of the batch tool's ultimate resistance, run in-process: its options' refusals, the keys
// of its JSON member, the [law] section of the library and the report's block.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonObject>
#include <QStringList>
#include <string>
#include <vector>

#include "cli/run_cli.h"
#include "core/section/resistance_diagram.h"
#include "rectangle_run.h"
#include "support/cli_run.h"
#include "support/grid_builder.h"

namespace qv::test {
namespace {

class RunCliResistanceTest : public RectangleRunTest {};

TEST_F(RunCliResistanceTest, OptionsAreRefusedWhereTheyWouldChangeNothingOrCannotBeRead) {
  struct Case {
    std::vector<std::string> more;
    int code;
    const char* message;
  };
  const std::vector<Case> cases = {
      // A strength or a law without any analysis that uses it is a forgotten option.
      {{"--fy", "clRed=355"}, 2, "option --fy needs --torsion"},
      {{"--law", "clRed=linear"}, 2, "option --law needs --resistance"},
      {{"--resistance", "--law", "clBlue=linear"},
       1,
       "--law 'clBlue=linear': clBlue is not a colour given with --use"},
      {{"--resistance", "--law", "clRed=linear", "--law", "clRed=no-tension"},
       1,
       "--law 'clRed=no-tension': clRed is given twice"},
      {{"--resistance", "--law", "clRed=elastic-plastic,eu=0"},
       1,
       "--law 'clRed=elastic-plastic,eu=0': eu must be above 0"},
      {{"--interaction", "1"}, 1, "--interaction: the interaction needs 2..10000 points"},
      {{"--interaction", "2.5"}, 1, "--interaction: the interaction needs 2..10000 points"},
      {{"--interaction-biaxial", "3"},
       1,
       "--interaction-biaxial: the biaxial interaction needs 4..3600 angles"},
      {{"--interaction-biaxial", "36.5"},
       1,
       "--interaction-biaxial: the biaxial interaction needs 4..3600 angles"},
      {{"--moment-curvature=1"}, 2, "option --moment-curvature takes no value"},
  };
  for (const Case& c : cases) {
    const CliRun run = RunTool(Analyse(c.more));
    EXPECT_EQ(run.code, c.code) << c.message;
    EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
  }
}

TEST_F(RunCliResistanceTest, JsonHasTheKeysAndTheLibrarysLawsApply) {
  const std::string library = dir.File("lib.ini");
  WriteAll(library,
           "[properties]\r\nn=1\r\n1=1@clRed@steel@210000@7850\r\n[strength]\r\nclRed=355\r\n"
           "[law]\r\nclRed=elastic-plastic,eu=0.01\r\n");
  const CliRun run =
      RunTool({"analyse", rect, "--width", "100", "--height", "40", "--use", "clRed", "--library",
               library, "--interaction", "5", "--action", "N=1000", "--json"});
  ASSERT_EQ(run.code, 0) << run.err;
  const QJsonObject r = At(ParseJson(run.out), "resistance");
  EXPECT_EQ(r.keys(), QStringList({"horizontal_axis", "interaction", "n", "n_compression",
                                   "n_tension", "vertical_axis"}));
  EXPECT_EQ(At(r, "horizontal_axis").keys(),
            QStringList({"m_bottom_compressed", "m_top_compressed",
                         "ver_mm_neutral_bottom_compressed", "ver_mm_neutral_top_compressed"}));
  EXPECT_EQ(At(r, "vertical_axis").keys(),
            QStringList({"hor_mm_neutral_left_compressed", "hor_mm_neutral_right_compressed",
                         "m_left_compressed", "m_right_compressed"}));
  EXPECT_EQ(r["n"].toDouble(), 1000);
  EXPECT_NEAR(r["n_tension"].toDouble(), 355 * 4000.0, 1e-6);
  const QJsonArray points = At(r, "interaction")["vertical_axis"].toArray();
  ASSERT_EQ(points.size(), 5);
  EXPECT_EQ(points[0].toArray()[0].toDouble(), r["n_compression"].toDouble());
  // Both edges at about eu = 0.01: the elastic core leaves Mpl (1 - (ey / eu)^2 / 3).
  const double ratio = 355 / 210000.0 / 0.01;
  EXPECT_NEAR(At(r, "horizontal_axis")["m_top_compressed"].toDouble() /
                  (355 * 100 * 40 * 40 / 4.0 * (1 - ratio * ratio / 3)),
              1, 1e-3);
}

TEST_F(RunCliResistanceTest, CurvesAndBiaxialListAreWrittenAndSummed) {
  const CliRun run = RunTool(
      Analyse({"--moment-curvature", "--interaction-biaxial", "8", "--fy", "clRed=355", "--json"}));
  ASSERT_EQ(run.code, 0) << run.err;
  const QJsonObject r = At(ParseJson(run.out), "resistance");
  const QJsonObject curves = At(r, "moment_curvature");
  EXPECT_EQ(curves.keys(), QStringList({"horizontal_axis", "vertical_axis"}));
  const QJsonArray hor = curves["horizontal_axis"].toArray();
  ASSERT_GT(hor.size(), 10);
  EXPECT_EQ(hor[0].toArray().size(), 2);
  const QJsonArray biaxial = r["biaxial"].toArray();
  ASSERT_EQ(biaxial.size(), 8);
  EXPECT_EQ(biaxial[2].toArray()[0].toDouble(), 90);
  EXPECT_NEAR(biaxial[0].toArray()[1].toDouble(),
              At(r, "horizontal_axis")["m_top_compressed"].toDouble(), 1e-6);
  const CliRun text = RunTool(Analyse({"--moment-curvature", "--fy", "clRed=355"}));
  ASSERT_EQ(text.code, 0) << text.err;
  EXPECT_NE(text.out.find("    moment-curvature at N, the top (left) side compressed:\r\n"
                          "      horizontal axis: 60 points\r\n        first yield: k = "),
            std::string::npos)
      << text.out;
}

TEST_F(RunCliResistanceTest, ReportEndsWithTheBlockAndAMissingStrengthIsSaid) {
  const CliRun run = RunTool(Analyse({"--resistance", "--fy", "clRed=355"}));
  ASSERT_EQ(run.code, 0) << run.err;
  EXPECT_NE(run.out.find("\r\n\r\nRESISTANCE\r\nultimate resistance"), std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("    pure tension:     N = 1.42E006 N = 1420.000 kN\r\n"),
            std::string::npos)
      << run.out;
  const CliRun missing = RunTool(Analyse({"--resistance", "--json"}));
  ASSERT_EQ(missing.code, 0) << missing.err;
  const QJsonObject json = ParseJson(missing.out);
  EXPECT_TRUE(json["resistance"].isNull());
  EXPECT_EQ(json["resistance_missing"].toString(), "no strength given for clRed");
}

// The interaction lists of the JSON member, as the diagram reads them.
std::vector<std::array<double, 3>> Interaction(const QJsonObject& r, const char* axis) {
  std::vector<std::array<double, 3>> list;
  for (const auto& point : At(r, "interaction")[axis].toArray()) {
    const QJsonArray p = point.toArray();
    list.push_back({p[0].toDouble(), p[1].toDouble(), p[2].toDouble()});
  }
  return list;
}

TEST_F(RunCliResistanceTest, InteractionPlotShowsTheCurveAndTheActionsPointBeyondIt) {
  const std::string plot = dir.File("plot.png");
  const CliRun run = RunTool(Analyse({"--fy", "clRed=355", "--interaction-plot", plot, "--action",
                                      "N=-200000", "--action", "Mz=1e9", "--json"}));
  ASSERT_EQ(run.code, 0) << run.err;
  const QJsonObject json = At(ParseJson(run.out), "resistance");
  ResistanceSection r;
  r.nCompression = json["n_compression"].toDouble();
  r.nTension = json["n_tension"].toDouble();
  r.horizontal.interaction = Interaction(json, "horizontal_axis");
  r.vertical.interaction = Interaction(json, "vertical_axis");
  ASSERT_EQ(r.horizontal.interaction.size(), std::size_t{kPlotInteractionPoints});
  ResistanceDiagramInput input;
  input.Actions = SectionActions{.N = -200000, .Mz = 1e9};
  const ResistanceDiagramLayout layout = LayoutResistanceDiagrams(r, input);

  const PixelGrid picture = ReadPng(plot);
  ASSERT_EQ(picture.Width(), kResistancePlotWidth);
  ASSERT_EQ(picture.Height(), kResistancePlotHeight);
  EXPECT_EQ(picture.At(1, 1), kWhite);
  // The curve through a point of the list's middle, top compressed on the right, bottom on the
  // left.
  const auto& mid = r.horizontal.interaction[kPlotInteractionPoints / 2];
  for (const double m : {mid[1], -mid[2]}) {
    const PixelPoint p = layout.Horizontal.ToPixel(m / 1e6, mid[0] / 1e3);
    EXPECT_TRUE(AnyPixel(picture, p.x - 1, p.y - 1, p.x + 1, p.y + 1, kDiagramFirstCurveColour))
        << p.x << ", " << p.y;
  }
  // 1000 kNm is far beyond the rectangle's 14 kNm: its mark is red, and within the panel.
  const PixelPoint mark = layout.Horizontal.ToPixel(1000, -200);
  EXPECT_LE(mark.x, layout.Horizontal.Right);
  EXPECT_EQ(picture.At(mark.x, mark.y), kDiagramOutsideColour);

  // Without the strength there is no curve to draw: the picture says why instead.
  const CliRun missing = RunTool(Analyse({"--interaction-plot", plot}));
  ASSERT_EQ(missing.code, 0) << missing.err;
  const PixelGrid reason = ReadPng(plot);
  EXPECT_FALSE(
      AnyPixel(reason, 0, 0, reason.Width() - 1, reason.Height() - 1, kDiagramFirstCurveColour));
  EXPECT_TRUE(AnyPixel(reason, 40, 40, 400, 80, 0x00000000));

  // Never over the drawing itself.
  const std::string drawing = ReadAll(rect);
  const CliRun over = RunTool(Analyse({"--fy", "clRed=355", "--interaction-plot", rect}));
  EXPECT_EQ(over.code, 1);
  EXPECT_EQ(over.err, "quorvane-cli: " + rect + " is the picture " + rect +
                          " itself; choose another file to write\n");
  EXPECT_EQ(ReadAll(rect), drawing);
}

}  // namespace
}  // namespace qv::test
