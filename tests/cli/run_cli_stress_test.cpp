// The batch tool's stresses: --action, the block after the report, the JSON member "stress", the
// map picture and the refusals.
#include <gtest/gtest.h>

#include <QByteArray>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cmath>
#include <filesystem>
#include <numbers>
#include <string>
#include <vector>

#include "cli/run_cli.h"
#include "core/elastic/stress_map.h"
#include "core/elastic/stress_report.h"
#include "imaging/picture_image.h"
#include "rectangle_run.h"
#include "support/cli_run.h"
#include "support/grid_builder.h"
#include "support/row_name.h"
#include "support/section_pictures.h"

namespace qv::test {
namespace {

// The rectangle's I: a moment M gives M * 20 / I at the top and bottom edges.
class StressCliTest : public RectangleRunTest {
 protected:
  static constexpr double kI = 100.0 * 40 * 40 * 40 / 12;
};

TEST_F(StressCliTest, BendingGivesMCOverIAtTheEdgesInTheJson) {
  const CliRun run = RunTool(Analyse({"--action", "Mz=1e6", "--action", "N=4000", "--json"}));
  ASSERT_EQ(run.code, 0) << run.err;
  const QJsonObject stress = At(ParseJson(run.out), "stress");
  const double bending = 1e6 * 20 / kI, axial = 4000.0 / 4000;
  EXPECT_NEAR(At(stress, "sigma")["max"].toDouble(), axial + bending, 1e-12);
  EXPECT_NEAR(At(stress, "sigma")["min"].toDouble(), axial - bending, 1e-12);
  // Sagging Mz: tension at the bottom edge (z downwards), compression at the top.
  EXPECT_EQ(At(At(stress, "sigma"), "max_at")["ver_mm"].toDouble(), 40);
  EXPECT_EQ(At(At(stress, "sigma"), "min_at")["ver_mm"].toDouble(), 0);
  EXPECT_EQ(At(stress, "tau")["max"].toDouble(), 0);
  EXPECT_NEAR(At(stress, "von_mises")["max"].toDouble(), axial + bending, 1e-12);
  EXPECT_EQ(At(stress, "actions")["Mz"].toDouble(), 1e6);
  EXPECT_EQ(At(stress, "elastic_centre")["ver_mm"].toDouble(), 20);
  const QJsonArray materials = stress["materials"].toArray();
  ASSERT_EQ(materials.size(), 1);
  EXPECT_EQ(materials[0].toObject()["label"].toString(), "clRed");
  EXPECT_EQ(materials[0].toObject()["pixels"].toInt(), 40);
  EXPECT_NEAR(At(materials[0].toObject(), "sigma")["max"].toDouble(), axial + bending, 1e-12);
  EXPECT_TRUE(stress["joints"].toArray().isEmpty());
  // Without --action there is no member, and nothing else changes.
  const QJsonObject plain = ParseJson(RunTool(Analyse({"--json"})).out);
  EXPECT_FALSE(plain.contains("stress"));
  QJsonObject withoutStress = ParseJson(run.out);
  withoutStress.remove("stress");
  EXPECT_EQ(withoutStress, plain);
}

TEST_F(StressCliTest, EuroCodeNamesTheMomentAfterItsAxis) {
  const auto sigmaMax = [&](const std::vector<std::string>& more) {
    const CliRun run = RunTool(Analyse(Concat(more, {"--json"})));
    EXPECT_EQ(run.code, 0) << run.err;
    return At(At(ParseJson(run.out), "stress"), "sigma")["max"].toDouble();
  };
  // My of the EURO-code is the formal Mz: the stresses grow downwards.
  EXPECT_EQ(sigmaMax({"--convention", "1", "--action", "My=1e6"}),
            sigmaMax({"--action", "Mz=1e6"}));
  EXPECT_EQ(sigmaMax({"--convention", "1", "--action", "Mz=1e6"}),
            sigmaMax({"--action", "My=1e6"}));
  // The formal My bends about the vertical axis: 1e6 * 50 / (40 * 100^3 / 12).
  EXPECT_NEAR(sigmaMax({"--action", "My=1e6"}), 1e6 * 50 / (40.0 * 100 * 100 * 100 / 12), 1e-12);
}

TEST_F(StressCliTest, BlockFollowsTheUnchangedReportAndTheExtendedBlock) {
  const CliRun plain = RunTool(Analyse({"--torsion"}));
  const CliRun run = RunTool(Analyse({"--torsion", "--action", "Vz=3000", "--action", "T=1e5"}));
  ASSERT_EQ(run.code, 0) << run.err;
  EXPECT_EQ(run.err, "");
  ASSERT_EQ(run.out.substr(0, plain.out.size()), plain.out);
  const std::string block = run.out.substr(plain.out.size());
  EXPECT_EQ(block.substr(0, 2 + kStressReportTitle.size() + 4),
            "\r\n" + std::string(kStressReportTitle) + "\r\n\r\n");
  EXPECT_NE(block.find("\r\n    Vz = 3000 N\r\n    T = 100000 Nmm\r\n"), std::string::npos);
  EXPECT_NE(block.find("\r\nwhole section, 40 pixels:\r\n    sigma min     = 0 "),
            std::string::npos)
      << block;
  EXPECT_EQ(block.substr(block.size() - 2), "\r\n");
  // With --json the extended values come as before and the stresses beside them.
  const QJsonObject json = ParseJson(
      RunTool(Analyse({"--torsion", "--action", "Vz=3000", "--action", "T=1e5", "--json"})).out);
  EXPECT_TRUE(json.contains("extended"));
  EXPECT_GT(At(At(json, "stress"), "tau")["max"].toDouble(), 0);
}

TEST_F(StressCliTest, MapShowsTheFieldInItsScaleBesideAPanel) {
  const std::string out = dir.File("map.png");
  const CliRun run =
      RunTool(Analyse({"--action", "Mz=1e6", "--stress-map", out, "--stress-field", "sigma"}));
  ASSERT_EQ(run.code, 0) << run.err;
  const QImage map(QString::fromStdString(out));
  ASSERT_FALSE(map.isNull());
  EXPECT_GT(map.width(), 20);
  EXPECT_GE(map.height(), 10);
  const PixelGrid grid = FromQImage(map);
  // sigma at a pixel's centre: -M z / I with z of the top row's centre -15 mm, on -m .. m.
  const double m = 1e6 * 20 / kI;
  const StressScale scale{StressKind::Sigma, -m, m, true};
  EXPECT_EQ(grid.At(2, 3), scale.Colour(-1e6 * 15 / kI));
  EXPECT_EQ(grid.At(11, 6), scale.Colour(1e6 * 15 / kI));
  EXPECT_EQ(grid.At(0, 0), 0x00FFFFFFU) << "the rest of the picture is white";
  // The map changes with the field, and the default is von Mises.
  const std::string vonMises = dir.File("vm.png");
  ASSERT_EQ(RunTool(Analyse({"--action", "Mz=1e6", "--stress-map", vonMises})).code, 0);
  const PixelGrid vm = FromQImage(QImage(QString::fromStdString(vonMises)));
  EXPECT_EQ(vm.At(2, 3), ViridisColour(0.75));
}

struct FailureCase {
  const char* name;
  std::vector<std::string> more;
  int code;
  std::string message;
};
void PrintTo(const FailureCase& c, std::ostream* os) { *os << c.name; }

class StressCliFailureTest : public StressCliTest,
                             public ::testing::WithParamInterface<FailureCase> {};

TEST_P(StressCliFailureTest, FailsWithOneClearLineAndWritesNothing) {
  const FailureCase& c = GetParam();
  std::vector<std::string> more;
  for (std::string arg : c.more) {
    if (arg == "{map}") arg = dir.File("map.png");
    if (arg == "{picture}") arg = rect;
    more.push_back(arg);
  }
  const CliRun run = RunTool(Analyse(more));
  EXPECT_EQ(run.code, c.code);
  EXPECT_EQ(run.out, "");
  std::string message = "quorvane-cli: " + c.message;
  for (std::size_t at; (at = message.find("{picture}")) != std::string::npos;) {
    message.replace(at, 9, rect);
  }
  EXPECT_EQ(run.err.substr(0, message.size()), message) << run.err;
  EXPECT_FALSE(std::filesystem::exists(dir.File("map.png")));
}

INSTANTIATE_TEST_SUITE_P(
    Actions, StressCliFailureTest,
    ::testing::Values(
        FailureCase{"ShearWithoutTorsion",
                    {"--action", "Vz=10"},
                    2,
                    "option --action Vz needs --torsion\n"},
        FailureCase{
            "TorqueWithoutTorsion", {"--action", "T=0"}, 2, "option --action T needs --torsion\n"},
        FailureCase{"MapWithoutActions",
                    {"--stress-map", "{map}"},
                    2,
                    "option --stress-map needs --action\n"},
        FailureCase{"FieldWithoutMap",
                    {"--action", "N=1", "--stress-field", "tau"},
                    2,
                    "option --stress-field needs --stress-map\n"},
        FailureCase{"UnknownAction",
                    {"--action", "Mx=1"},
                    1,
                    "--action 'Mx=1': the action must be N, My, Mz, Vy, Vz or T\n"},
        FailureCase{"ActionTwice",
                    {"--action", "N=1", "--action", "N=2"},
                    1,
                    "--action 'N=2': N is given twice\n"},
        FailureCase{
            "ActionWithoutValue", {"--action", "N"}, 1, "--action 'N': expected NAME=VALUE\n"},
        FailureCase{"ActionNotANumber",
                    {"--action", "N=1kN"},
                    1,
                    "--action 'N=1kN': '1kN' is not a valid floating point value\n"},
        FailureCase{"UnknownField",
                    {"--action", "N=1", "--stress-map", "{map}", "--stress-field", "mises"},
                    1,
                    "--stress-field 'mises': the field must be sigma, tau or von_mises\n"},
        FailureCase{"MapOfAnotherKind",
                    {"--action", "N=1", "--stress-map", "map.jpg"},
                    1,
                    "'map.jpg' is not a .png or .bmp file name\n"},
        // Finite, but its stresses are not.
        FailureCase{"MomentBeyondTheRange",
                    {"--action", "Mz=1e300", "--stress-map", "{map}"},
                    1,
                    "The stresses lie beyond the range of numbers with actions up to Mz = 1E300 "
                    "Nmm.\n"},
        FailureCase{"MapOverThePicture",
                    {"--action", "N=1", "--stress-map", "{picture}"},
                    1,
                    "{picture} is the picture {picture} itself; choose another file to write\n"}),
    RowName);

// --- the shear stress on edges drawn as curves -------------------------------------------------

// A torque on a disc and on an ellipse, drawn flat and smoothed, at 1 mm per pixel: the largest
// shear stress is the outline's, T R / J for the disc (J from the run's own GJ) and
// 2 T / (pi a b^2) for the ellipse, and converges as the drawing gets finer. At the steps of the
// staircase the cells' own stresses rise without bound (+9 % at a radius of 200 pixels, +11 %
// on the ellipse, once).
struct CurveCase {
  const char* name;
  double width, height;  // mm, at 1 mm per pixel
  ShapeFn shape;
  bool smoothed;
  bool disc;  // T R / J with R = width / 2; otherwise the ellipse's formula
  double tolerance;
};
void PrintTo(const CurveCase& c, std::ostream* os) { *os << c.name; }

class StressOnCurvesTest : public ::testing::TestWithParam<CurveCase> {
 protected:
  TempDir dir;
};

TEST_P(StressOnCurvesTest, ConvergeToTheOutlinesValue) {
  const CurveCase& c = GetParam();
  const DrawnSection s = c.smoothed ? DrawSmoothedSection(c.width, c.height, 1, c.shape)
                                    : DrawSection(c.width, c.height, 1, c.shape);
  const std::string picture = dir.WritePicture("curve.bmp", s.grid);
  std::vector<std::string> args = {"analyse",    picture,
                                   "--width",    std::to_string(static_cast<int>(s.widthMm)),
                                   "--height",   std::to_string(static_cast<int>(s.heightMm)),
                                   "--use",      "clRed",
                                   "--material", "clRed@steel@210000@7850",
                                   "--torsion",  "--nu",
                                   "clRed=0.3",  "--action",
                                   "T=1e6",      "--json"};
  if (c.smoothed) args.insert(args.end(), {"--edges", "coverage"});
  const CliRun run = RunTool(args);
  ASSERT_EQ(run.code, 0) << run.err;
  const QJsonObject json = ParseJson(run.out);
  const double G = 210000 / 2.6;
  const double J = At(json, "extended")["gj"].toDouble() / G;
  const double a = c.width / 2, b = c.height / 2;
  const double expected = c.disc ? 1e6 * a / J : 2e6 / (std::numbers::pi * a * b * b);
  const double tau = At(At(json, "stress"), "tau")["max"].toDouble();
  EXPECT_NEAR(tau / expected, 1, c.tolerance) << tau << " against " << expected;
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, StressOnCurvesTest,
    ::testing::Values(
        CurveCase{"FlatDiscRadius50", 100, 100, Ring(50, 0, kRed), false, true, 0.03},
        CurveCase{"FlatDiscRadius100", 200, 200, Ring(100, 0, kRed), false, true, 0.03},
        CurveCase{"FlatDiscRadius200", 400, 400, Ring(200, 0, kRed), false, true, 0.03},
        // read as coverage, the edge is known to a fraction of a pixel
        CurveCase{"SmoothedDiscRadius50", 100, 100, Ring(50, 0, kRed), true, true, 0.01},
        CurveCase{"SmoothedDiscRadius200", 400, 400, Ring(200, 0, kRed), true, true, 0.01},
        // an ellipse 400 x 200, its largest stress at the ends of the short axis
        CurveCase{"FlatEllipse", 400, 200, Ellipse(200, 100, kRed), false, false, 0.02}),
    RowName);

TEST(StressOnCornersTest, AnInnerCornerKeepsItsPeak) {
  // An angle of two legs 120 x 30 pixels: the stress at its inner corner is the outline's own
  // (it rises without bound as the corner is resolved), so the largest stress stays there.
  TempDir dir;
  const std::string picture = dir.WritePicture(
      "angle.bmp", MakeGrid(126, 126, kWhite, {{3, 3, 32, 122, kRed}, {3, 93, 122, 122, kRed}}));
  const CliRun run = RunTool({"analyse", picture, "--width", "120", "--height", "120", "--use",
                              "clRed", "--material", "clRed@steel@210000@7850", "--torsion", "--nu",
                              "clRed=0.3", "--action", "T=1e6", "--json"});
  ASSERT_EQ(run.code, 0) << run.err;
  const QJsonObject json = ParseJson(run.out);
  const QJsonObject tau = At(At(json, "stress"), "tau");
  const QJsonObject at = At(tau, "max_at");
  // The corner lies at 30 mm from the left and 90 mm from the top of the box.
  EXPECT_LT(std::hypot(at["hor_mm"].toDouble() - 30, at["ver_mm"].toDouble() - 90), 4)
      << at["hor_mm"].toDouble() << ", " << at["ver_mm"].toDouble();
  // Well above the legs' own T t / J.
  const double J = At(json, "extended")["gj"].toDouble() / (210000 / 2.6);
  EXPECT_GT(tau["max"].toDouble(), 1.4 * 1e6 * 30 / J);
}

}  // namespace
}  // namespace qv::test
