// Tests of the batch tool's extended values, run in-process: torsion, the shear centre, section
// moduli and plastic moments, their block of the report and their JSON.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QByteArray>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>
#include <cmath>
#include <filesystem>
#include <numbers>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli_options.h"
#include "cli/run_cli.h"
#include "core/base/number_text.h"
#include "core/elastic/extended_report.h"
#include "core/picture/picture_reader.h"
#include "core/section/result_text.h"
#include "imaging/picture_image.h"
#include "rectangle_run.h"
#include "support/bmp_writer.h"
#include "support/cli_run.h"
#include "support/grid_builder.h"
#include "support/restricted_run.h"
#include "support/row_name.h"
#include "support/section_pictures.h"

namespace qv::test {
namespace {

class RunCliTorsionTest : public RectangleRunTest {};

// --- torsion, shear centre and section moduli ------------------------------------------------

TEST_F(RunCliTorsionTest, TorsionGivesGJOfARectangleWithinTheManualsAccuracy) {
  // 80 x 40 pixels at 1 mm: 40 pixels across the thin side, so within 0.2 % of the series.
  const std::string path =
      dir.WritePicture("plate.bmp", MakeGrid(90, 50, kWhite, {{5, 5, 84, 44, kRed}}));
  const CliRun run = RunTool({"analyse", path, "--width", "80", "--height", "40", "--use", "clRed",
                              "--material", "clRed@steel@210000@7850", "--torsion", "--json"});
  ASSERT_EQ(run.code, 0) << run.err;
  const QJsonObject json = ParseJson(run.out);
  const QJsonObject extended = json["extended"].toObject();
  const double G = 210000 / 2.6;
  EXPECT_NEAR(extended["gj"].toDouble() / (G * RectangleTorsionConstant(80, 40)), 1, 0.002);
  // A rectangle's shear centre is its middle, exactly. NC is the pixel of the mean (44.5, 24.5),
  // rounded half to even: (44, 24), whose centre lies 39.5 and 19.5 mm from UL.
  const QJsonObject centre = extended["shear_centre"].toObject();
  EXPECT_NEAR(centre["hor_mm"].toDouble(), 40, 1e-8);
  EXPECT_NEAR(centre["ver_mm"].toDouble(), 20, 1e-8);
  EXPECT_NEAR(centre["y_mm"].toDouble(), -(40 - 39.5), 1e-8);
  EXPECT_NEAR(centre["z_mm"].toDouble(), 20 - 19.5, 1e-8);
  // Radii of gyration of the 80 x 40 mm plate about its middle: b / sqrt(12) and h / sqrt(12).
  EXPECT_NEAR(extended["radius_y_mm"].toDouble(), 80 / std::sqrt(12.0), 1e-12);
  EXPECT_NEAR(extended["radius_z_mm"].toDouble(), 40 / std::sqrt(12.0), 1e-12);
  EXPECT_EQ(extended["torsion_pixel_mm"].toObject()["hor"].toDouble(), 1);
  EXPECT_EQ(extended["torsion_pixel_mm"].toObject()["ver"].toDouble(), 1);
  EXPECT_EQ(extended["torsion_coarsening"].toInt(), 1);
  EXPECT_EQ(extended["torsion_cells"].toInt(), 3200);
  EXPECT_EQ(extended["torsion_parts"].toInt(), 1);
  const QJsonObject estimate = extended["torsion_error_estimate"].toObject();
  EXPECT_FALSE(extended.contains("torsion_error_estimate_missing"));
  EXPECT_GT(estimate["gj"].toDouble(), 0);
  EXPECT_DOUBLE_EQ(estimate["gj_relative"].toDouble(),
                   estimate["gj"].toDouble() / extended["gj"].toDouble());
  // The estimate is of the same size as the true error (the series converges to 1e-15).
  const double error = std::abs(extended["gj"].toDouble() - G * RectangleTorsionConstant(80, 40));
  EXPECT_LT(estimate["gj"].toDouble(), 3 * error);
  EXPECT_GT(estimate["gj"].toDouble(), error / 3);

  const QJsonArray materials = extended["materials"].toArray();
  ASSERT_EQ(materials.size(), 1);
  const QJsonObject steel = materials[0].toObject();
  EXPECT_EQ(steel["label"].toString(), "clRed");
  EXPECT_EQ(steel["nu"].toDouble(), 0.3);
  EXPECT_DOUBLE_EQ(steel["g"].toDouble(), G);
  EXPECT_EQ(steel["pixels"].toInt(), 3200);
  // Fibres from the plate's middle (the elastic centre, between pixel centres) to its edges, y
  // positive to the left, and the stress per unit moment E c / (E b h^3 / 12).
  const QJsonObject fibres = steel["fibres_mm"].toObject();
  EXPECT_EQ(fibres["y"].toObject()["min"].toDouble(), -40);
  EXPECT_EQ(fibres["y"].toObject()["max"].toDouble(), 40);
  EXPECT_EQ(fibres["z"].toObject()["min"].toDouble(), -20);
  EXPECT_EQ(fibres["z"].toObject()["max"].toDouble(), 20);
  EXPECT_NEAR(steel["stress_per_moment"].toObject()["eizz"].toObject()["max"].toDouble(),
              20 / (80.0 * 40 * 40 * 40 / 12), 1e-18);
}

TEST_F(RunCliTorsionTest, TorsionAppendsItsBlockToTheUnchangedReport) {
  const CliRun plain = RunTool(Analyse());
  const CliRun torsion = RunTool(Analyse({"--torsion"}));
  ASSERT_EQ(torsion.code, 0) << torsion.err;
  EXPECT_EQ(torsion.err, "");
  ASSERT_EQ(torsion.out.substr(0, plain.out.size()), plain.out);
  const std::string block = torsion.out.substr(plain.out.size());
  EXPECT_EQ(block.rfind("\r\n" + std::string(kExtendedReportTitle) + "\r\n\r\n", 0), 0u) << block;
  for (const char* heading :
       {"\r\ntorsional stiffness:\r\n    GJ   = ",
        "\r\n\r\nshear centre SC at position:\r\n    hor  = 50.00 mm",
        "\r\n\r\nradii of gyration:\r\n", "\r\n\r\nsteel (clRed): E = 210000 N/mm^2, nu = 0.3, "}) {
    EXPECT_NE(block.find(heading), std::string::npos) << heading << "\n" << block;
  }
  EXPECT_EQ(block.substr(block.size() - 2), "\r\n");
  EXPECT_EQ(block.find('\n', 0), 1u);  // every line ends in CR LF
  EXPECT_EQ(std::count(block.begin(), block.end(), '\n'),
            std::count(block.begin(), block.end(), '\r'));
  // The GJ line carries the value of the JSON.
  const QJsonObject json = ParseJson(RunTool(Analyse({"--torsion", "--json"})).out);
  const QJsonObject extended = json["extended"].toObject();
  const std::string gj = FormatGeneral(extended["gj"].toDouble(), 5, 3);
  EXPECT_NE(block.find("    GJ   = " + gj + " Nmm^2\r\n"), std::string::npos) << block;
  // 40 pixels give no error estimate; the JSON says why in the block's words.
  EXPECT_TRUE(extended["torsion_error_estimate"].isNull());
  const std::string why = extended["torsion_error_estimate_missing"].toString().toStdString();
  EXPECT_EQ(why, "the section has too few pixels");
  EXPECT_NE(block.find("    no error estimate: " + why + "\r\n"), std::string::npos) << block;
}

// --- the cell cap ------------------------------------------------------------------------------

struct CellCapCase {
  const char* what;
  std::vector<std::string> cap;  // the options after --torsion
  int pixels;                    // per block side; 1: solved on every pixel
  int maxCells;                  // the cap the report names when coarsened
};
void PrintTo(const CellCapCase& c, std::ostream* os) { *os << c.what; }

class RunCliCellCapTest : public RunCliTorsionTest,
                          public ::testing::WithParamInterface<CellCapCase> {};

TEST_P(RunCliCellCapTest, ACoarsenedSolveSaysSoInTheReportAndTheJson) {
  const CellCapCase& c = GetParam();
  // 80 x 40 pixels: 3200 cells.
  const std::string path =
      dir.WritePicture("plate.bmp", MakeGrid(90, 50, kWhite, {{5, 5, 84, 44, kRed}}));
  const std::vector<std::string> args = Concat(
      {"analyse", path, "--width", "80", "--height", "40", "--use", "clRed", "--torsion"}, c.cap);
  const CliRun text = RunTool(args);
  ASSERT_EQ(text.code, 0) << text.err;
  const QJsonObject extended =
      ParseJson(RunTool(Concat(args, {"--json"})).out)["extended"].toObject();
  EXPECT_EQ(extended["torsion_coarsening"].toInt(), c.pixels);
  const std::string line = "    solved on blocks of " + std::to_string(c.pixels) + " x " +
                           std::to_string(c.pixels) + " pixels (above the cell cap of " +
                           std::to_string(c.maxCells) +
                           " cells): its values hold the picture only to about a block; "
                           "the batch tool's --max-cells raises the cap\r\n";
  if (c.pixels == 1) {
    EXPECT_TRUE(extended["torsion_blocks"].isNull());
    EXPECT_EQ(text.out.find("solved on blocks"), std::string::npos) << text.out;
  } else {
    const QJsonObject blocks = extended["torsion_blocks"].toObject();
    EXPECT_EQ(blocks["pixels"].toInt(), c.pixels);
    EXPECT_EQ(blocks["max_cells"].toInt(), c.maxCells);
    EXPECT_LE(extended["torsion_cells"].toInt(), c.maxCells);
    EXPECT_NE(text.out.find(line), std::string::npos) << text.out;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RunCliCellCapTest,
    ::testing::Values(
        // The default cap (about 5 million cells) takes the plate on its pixels.
        CellCapCase{"DefaultCap", {}, 1, 0},
        // A cap of exactly the plate's cells still solves every pixel.
        CellCapCase{"CapOfThePlate", {"--max-cells", "3200"}, 1, 0},
        // One cell fewer: blocks of 2 x 2 pixels, 800 cells.
        CellCapCase{"CapJustBelow", {"--max-cells", "3199"}, 2, 3199},
        // 100 cells: 5 x 5 blocks make 128, 6 x 6 blocks 98.
        CellCapCase{"SmallCap", {"--max-cells", "100"}, 6, 100}),
    RowName);

TEST_F(RunCliTorsionTest, WithoutTorsionNothingChangesNotEvenForABrokenRatio) {
  const std::string library = dir.File("lib.ini");
  const std::string text =
      "[properties]\r\nn=1\r\n1=1@clRed@steel@210000@7850\r\n[poisson]\r\nclRed=0.9\r\n";
  WriteAll(library, text);
  const std::vector<std::string> base = {"analyse", rect,    "--width", "100",       "--height",
                                         "40",      "--use", "clRed",   "--library", library};
  const CliRun withRatio = RunTool(base);
  WriteAll(library, "[properties]\r\nn=1\r\n1=1@clRed@steel@210000@7850\r\n");
  const CliRun without = RunTool(base);
  ASSERT_EQ(without.code, 0) << without.err;
  EXPECT_EQ(withRatio.code, 0);
  EXPECT_EQ(withRatio.out, without.out);
  EXPECT_EQ(withRatio.err, "");
  const CliRun json = RunTool(Concat(base, {"--json"}));
  EXPECT_FALSE(ParseJson(json.out).contains("extended"));
}

TEST_F(RunCliTorsionTest, RatiosComeFromTheLibraryAndNuOverridesThemForTheRun) {
  const std::string library = dir.File("lib.ini");
  const std::string text =
      "[properties]\r\nn=1\r\n1=1@clRed@steel@210000@7850\r\n[poisson]\r\nclred=0.1\r\n";
  WriteAll(library, text);
  const std::vector<std::string> base = {"analyse",   rect,    "--width",   "100",
                                         "--height",  "40",    "--use",     "clRed",
                                         "--library", library, "--torsion", "--json"};
  const auto nuOf = [](const CliRun& run) {
    return ParseJson(run.out)["extended"]
        .toObject()["materials"]
        .toArray()[0]
        .toObject()["nu"]
        .toDouble();
  };
  const CliRun fromFile = RunTool(base);
  ASSERT_EQ(fromFile.code, 0) << fromFile.err;
  EXPECT_EQ(nuOf(fromFile), 0.1);  // the file's keys match in any letter case
  const CliRun overridden = RunTool(Concat(base, {"--nu=clRed=0.2"}));
  ASSERT_EQ(overridden.code, 0) << overridden.err;
  EXPECT_EQ(nuOf(overridden), 0.2);
  EXPECT_EQ(ReadAll(library), text);  // never written
}

TEST_F(RunCliTorsionTest, NuChangesGAndMovesTheShearCentreOfATwoMaterialSection) {
  // Two plates side by side, of equal E: with equal G the section is mirror-symmetric, so the
  // shear centre lies in the middle; a softer right plate in shear moves it.
  const std::string path = dir.WritePicture(
      "pair.bmp", MakeGrid(70, 30, kWhite, {{5, 5, 34, 24, kRed}, {35, 5, 64, 24, kBlue}}));
  const std::vector<std::string> base = {"analyse",    path,
                                         "--width",    "60",
                                         "--height",   "20",
                                         "--use",      "clRed",
                                         "--use",      "clBlue",
                                         "--material", "clRed@a@100000@1",
                                         "--material", "clBlue@b@100000@1",
                                         "--torsion",  "--json",
                                         "--nu",       "clRed=0"};
  const QJsonObject same =
      ParseJson(RunTool(Concat(base, {"--nu", "clBlue=0"})).out)["extended"].toObject();
  const QJsonObject soft =
      ParseJson(RunTool(Concat(base, {"--nu", "clBlue=0.45"})).out)["extended"].toObject();
  EXPECT_NEAR(same["shear_centre"].toObject()["hor_mm"].toDouble(), 30, 1e-8);
  EXPECT_DOUBLE_EQ(soft["materials"].toArray()[1].toObject()["g"].toDouble(), 100000 / 2.9);
  EXPECT_EQ(soft["materials"].toArray()[0].toObject()["g"].toDouble(), 50000);
  EXPECT_LT(soft["gj"].toDouble(), same["gj"].toDouble());
  EXPECT_GT(std::abs(soft["shear_centre"].toObject()["hor_mm"].toDouble() - 30), 0.01);
  EXPECT_NEAR(soft["shear_centre"].toObject()["ver_mm"].toDouble(), 10, 1e-8);
}

TEST_F(RunCliTorsionTest, OverlayWithTorsionMarksTheShearCentre) {
  // A channel open to the right: its shear centre lies left of the web, outside the section.
  const std::string path = dir.WritePicture("channel.bmp", OpenChannel());
  const std::vector<std::string> base = {
      "analyse", path,    "--width", "120",        "--height",
      "200",     "--use", "clRed",   "--material", "clRed@steel@210000@7850"};
  const CliRun plain = RunTool(Concat(base, {"--overlay", dir.File("plain.png")}));
  const CliRun marked =
      RunTool(Concat(base, {"--torsion", "--json", "--overlay", dir.File("sc.png")}));
  ASSERT_EQ(plain.code, 0) << plain.err;
  ASSERT_EQ(marked.code, 0) << marked.err;
  const QJsonObject centre =
      ParseJson(marked.out)["extended"].toObject()["shear_centre"].toObject();
  const double hor = centre["hor_mm"].toDouble();
  ASSERT_LT(hor, 0);  // outside the web
  const int x = static_cast<int>(std::lround(150 + hor - 0.5));
  const int y = static_cast<int>(std::lround(100 + centre["ver_mm"].toDouble() - 0.5));
  const PixelGrid withMarker = ReadPng(dir.File("sc.png"));
  const PixelGrid without = ReadPng(dir.File("plain.png"));
  constexpr std::uint32_t kFuchsia = 0x00FF00FF;
  // The diamond's corners lie 8 pixels from the centre on the axes.
  EXPECT_TRUE(AnyPixel(withMarker, x + 7, y - 1, x + 9, y + 1, kFuchsia));
  EXPECT_TRUE(AnyPixel(withMarker, x - 1, y - 9, x + 1, y - 7, kFuchsia));
  EXPECT_FALSE(AnyPixel(without, 0, 0, 399, 399, kFuchsia));
  // Apart from the marker and its label the pictures are the same.
  int differing = 0;
  for (int py = 0; py < 400; ++py) {
    for (int px = 0; px < 400; ++px) {
      if (withMarker.At(px, py) != without.At(px, py)) {
        ++differing;
        EXPECT_EQ(withMarker.At(px, py), kFuchsia) << px << "," << py;
        if (differing > 3) break;
      }
    }
  }
  EXPECT_GT(differing, 0);
  EXPECT_EQ(marked.err, "");  // the marker is on the picture

  // The web on the picture's edge: the marker would be off it, so the tool says where SC is.
  const std::string edge = dir.WritePicture(
      "edge.bmp",
      MakeGrid(400, 400, kWhite,
               {{0, 100, 19, 299, kRed}, {20, 100, 119, 119, kRed}, {20, 280, 119, 299, kRed}}));
  const CliRun off =
      RunTool({"analyse", edge, "--width", "120", "--height", "200", "--use", "clRed", "--material",
               "clRed@steel@210000@7850", "--torsion", "--overlay", dir.File("edge.png")});
  ASSERT_EQ(off.code, 0) << off.err;
  EXPECT_EQ(off.err.rfind("quorvane-cli: note: The shear centre SC lies outside the picture, at "
                          "hor = -",
                          0),
            0u)
      << off.err;
}

// --- plastic moments -------------------------------------------------------------------------

TEST_F(RunCliTorsionTest, FyAddsThePlasticMomentsWithTheirKeysInBothForms) {
  // 80 x 40 pixels at 1 mm: Wpl = 80 * 40^2 / 4 = 32000 and 40 * 80^2 / 4 = 64000 mm^3.
  const std::string path =
      dir.WritePicture("plate.bmp", MakeGrid(90, 50, kWhite, {{5, 5, 84, 44, kRed}}));
  const std::string library = dir.File("lib.ini");
  const std::string text =
      "[properties]\r\nn=1\r\n1=1@clRed@steel@210000@7850\r\n[strength]\r\nclRed=235\r\n";
  WriteAll(library, text);
  const std::vector<std::string> base = {"analyse",   path,    "--width",   "80",
                                         "--height",  "40",    "--use",     "clRed",
                                         "--library", library, "--torsion", "--json"};
  const auto plasticOf = [](const CliRun& run) {
    return ParseJson(run.out)["extended"].toObject()["plastic"].toObject();
  };
  const CliRun fromFile = RunTool(base);
  ASSERT_EQ(fromFile.code, 0) << fromFile.err;
  EXPECT_NEAR(plasticOf(fromFile)["horizontal_axis"].toObject()["mpl_top_compressed"].toDouble(),
              235 * 32000.0, 1e-6);

  const QJsonObject one = plasticOf(RunTool(Concat(base, {"--fy", "clRed=355"})));
  const QJsonObject hor = one["horizontal_axis"].toObject();
  const QJsonObject ver = one["vertical_axis"].toObject();
  EXPECT_EQ(hor.keys(),
            QStringList({"mpl_bottom_compressed", "mpl_top_compressed", "shape_factor",
                         "ver_mm_bottom_compressed", "ver_mm_top_compressed", "wpl_mm3"}));
  EXPECT_EQ(ver.keys(),
            QStringList({"hor_mm_left_compressed", "hor_mm_right_compressed", "mpl_left_compressed",
                         "mpl_right_compressed", "shape_factor", "wpl_mm3"}));
  EXPECT_NEAR(hor["wpl_mm3"].toDouble(), 32000, 1e-9);
  EXPECT_NEAR(hor["mpl_bottom_compressed"].toDouble(), 355 * 32000.0, 1e-6);
  EXPECT_NEAR(hor["ver_mm_top_compressed"].toDouble(), 20, 1e-12);
  EXPECT_NEAR(ver["wpl_mm3"].toDouble(), 64000, 1e-9);
  EXPECT_NEAR(ver["hor_mm_right_compressed"].toDouble(), 40, 1e-12);

  // Two values: no Wpl and no shape factor. fc = 3 ft puts the axis at a quarter of the depth.
  const QJsonObject two = plasticOf(RunTool(Concat(base, {"--fy", "clRed=30/10"})));
  const QJsonObject hor2 = two["horizontal_axis"].toObject();
  EXPECT_FALSE(hor2.contains("wpl_mm3") || hor2.contains("shape_factor"));
  EXPECT_NEAR(hor2["ver_mm_top_compressed"].toDouble(), 10, 1e-12);
  EXPECT_NEAR(hor2["ver_mm_bottom_compressed"].toDouble(), 30, 1e-12);
  EXPECT_EQ(ReadAll(library), text);  // never written
}

TEST_F(RunCliTorsionTest, WithoutAStrengthPlasticIsNullWithTheReason) {
  const QJsonObject extended =
      ParseJson(RunTool(Analyse({"--torsion", "--json"})).out)["extended"].toObject();
  EXPECT_TRUE(extended["plastic"].isNull());
  EXPECT_EQ(extended["plastic_missing"].toString(), "no strength given for clRed");
  const CliRun text = RunTool(Analyse({"--torsion"}));
  EXPECT_NE(text.out.find("\r\n\r\nplastic moments: none, no strength given for clRed\r\n"),
            std::string::npos)
      << text.out;
}

TEST_F(RunCliTorsionTest, HugeStrengthsKeepTheAxisAndRefuseOnlyMomentsBeyondTheRange) {
  // The axis depends on the strengths' ratio alone: the test's rectangle, fc = 3 ft.
  const QJsonObject extended =
      ParseJson(
          RunTool(Analyse({"--torsion", "--fy", "clRed=3e300/1e300", "--json"})).out)["extended"]
          .toObject();
  const QJsonObject hor = extended["plastic"].toObject()["horizontal_axis"].toObject();
  EXPECT_NEAR(hor["ver_mm_top_compressed"].toDouble(), 10, 1e-12);
  // 1e300 N/mm^2 over the top quarter (100 x 10 mm, lever 20 mm) and ft over the rest (15 mm).
  EXPECT_NEAR(hor["mpl_top_compressed"].toDouble() / (3e300 * 1000 * 5 + 1e300 * 3000 * 15), 1,
              1e-12);
  // Beyond the largest double the moments are refused with the range; no NaN, no infinity.
  const CliRun beyond = RunTool(Analyse({"--torsion", "--fy", "clRed=1e308"}));
  ASSERT_EQ(beyond.code, 0) << beyond.err;
  EXPECT_NE(beyond.out.find("\r\n\r\nplastic moments: none, the moments lie beyond the range of "
                            "numbers with strengths up to 1E308 N/mm^2\r\n"),
            std::string::npos)
      << beyond.out;
  EXPECT_EQ(beyond.out.find("NAN"), std::string::npos);
}

TEST_F(RunCliTorsionTest, PlasticPartEndsTheBlockInNewtonMillimetresAndKilonewtonMetres) {
  // The test's 100 x 40 mm rectangle: Wpl = 100 * 40^2 / 4 = 40000 mm^3, Mpl = 14.2 kNm.
  const CliRun run = RunTool(Analyse({"--torsion", "--fy", "clRed=355"}));
  ASSERT_EQ(run.code, 0) << run.err;
  const std::string part =
      "\r\n\r\nplastic moments, rigid-plastic stress blocks:\r\n"
      "    strengths fc / ft [N/mm^2]: clRed 355 / 355\r\n"
      "    horizontal axis:\r\n"
      "      top    compressed: Mpl = 1.42E007 Nmm = 14.200 kNm, axis at ver = 20.00 mm from UL\r\n"
      "      bottom compressed: Mpl = 1.42E007 Nmm = 14.200 kNm, axis at ver = 20.00 mm from UL\r\n"
      "      Wpl = Mpl / fy = 40000 mm^3, shape factor Wpl / Wel = ";
  EXPECT_NE(run.out.find(part), std::string::npos) << run.out;
}

}  // namespace
}  // namespace qv::test
