// Tests of the batch tool, run in-process: report, colour listing, JSON, failures, overlay.
#include "cli/run_cli.h"

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
#include "core/base/number_text.h"
#include "core/elastic/extended_report.h"
#include "core/picture/picture_reader.h"
#include "core/section/result_text.h"
#include "imaging/picture_image.h"
#include "rectangle_run.h"
#include "support/bmp_writer.h"
#include "support/cli_run.h"
#include "support/grid_builder.h"
#include "support/outline_sections.h"
#include "support/restricted_run.h"
#include "support/row_name.h"
#include "support/section_pictures.h"

namespace qv::test {
namespace {

std::set<std::string> FilesIn(const std::string& folder) {
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    names.insert(entry.path().filename().string());
  }
  return names;
}

class RunCliTest : public RectangleRunTest {};

TEST_F(RunCliTest, ReportMatchesTheWindowsClipboardText) {
  // NC and MC: mean pixel (6.5, 4.5) rounds half-even to (6, 4), 4 and 1 pixels from UL.
  // EA = 210000 * 40 px * 100 mm^2; mass 7850 * 4000 mm^2 / 1e9 * 1000 = 31.4 kg/m.
  // About NC, E A Dx^2 = 2.1e9: EIyy = 2.1e9 * 4 * (16+9+4+1+0+1+4+9+16+25) = 7.14e11,
  // EIzz = 2.1e9 * 10 * (1+0+1+4) = 1.26e11, EIyz = -2.1e9 * 5 * 2 = -2.1e10; largest 7.14e11
  // gives the scale E10. alpha = atan(2 EIyz / (EIyy - EIzz)) / 2 = -2.04 degrees,
  // EI1/2 = (8.4e11 +- sqrt(5.88e11^2 + 4 * 2.1e10^2)) / 2 = 71.4749e10 and 12.5251e10.
  const std::string expected =
      "QUORVANE RESULTS : rect.bmp\r\n"
      "\r\n"
      "Sectional boundaries:\r\n"
      "    width  = 10 equals to 100 mm\r\n"
      "    height = 4 equals to 40 mm\r\n"
      "\r\n"
      "material properties:\r\n"
      "\r\n"
      "name\t\tcolor\tE [N/mm^2]\trho [kg/m^3]\r\n"
      "--------------------------------------------------------------\r\n"
      "steel\t\tclRed\t210000\t\t7850\r\n"
      "\r\n"
      "normal center NC at position:\r\n"
      "    hor  = 40.00 mm from upper left corner UL\r\n"
      "    ver  = 10.00 mm from upper left corner UL\r\n"
      "\r\n"
      "mass center MC at position:\r\n"
      "    hor  = 40.00 mm from upper left corner UL\r\n"
      "    ver  = 10.00 mm from upper left corner UL\r\n"
      "    mass = 31.4 kg/m\r\n"
      "\r\n"
      "Cross sectional stiffness components:\r\n"
      "    EA   = 8.4E008 N\r\n"
      "    EIyy = 71.400E10 Nmm^2\r\n"
      "    EIzz = 12.600E10 Nmm^2\r\n"
      "    EIyz = -2.100E10 Nmm^2\r\n"
      "\r\n"
      "Principal data:\r\n"
      "    alpha= -2.0 degrees\r\n"
      "    EI1  = 71.475E10 Nmm^2\r\n"
      "    EI2  = 12.525E10 Nmm^2\r\n";
  const CliRun run = RunTool(Analyse());
  EXPECT_EQ(run.code, 0);
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.out, expected);
}

TEST_F(RunCliTest, EuroCodeConventionRenamesTheStiffnessLines) {
  const CliRun run = RunTool(Analyse({"--convention", "1"}));
  ASSERT_EQ(run.code, 0) << run.err;
  EXPECT_NE(run.out.find("    EIy  = 12.600E10 Nmm^2\r\n    EIz  = 71.400E10 Nmm^2\r\n"
                         "    EIyz = -2.100E10 Nmm^2\r\n"),
            std::string::npos)
      << run.out;
}

TEST_F(RunCliTest, UnitsChangeTheReportButNotTheJson) {
  // The values of ReportMatchesTheWindowsClipboardText in kN and cm: EA 8.4e8 N = 8.4e5 kN,
  // EIyy 7.14e11 Nmm^2 = 7.14e6 kNcm^2 on the scale E5; NC 40 mm = 4 cm.
  const CliRun run = RunTool(Analyse({"--units", "kN-cm"}));
  ASSERT_EQ(run.code, 0) << run.err;
  EXPECT_NE(run.out.find("    hor  = 4.000 cm from upper left corner UL\r\n"
                         "    ver  = 1.000 cm from upper left corner UL\r\n"),
            std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("    EA   = 8.4E005 kN\r\n"
                         "    EIyy = 71.400E5 kNcm^2\r\n"
                         "    EIzz = 12.600E5 kNcm^2\r\n"
                         "    EIyz = -2.100E5 kNcm^2\r\n"),
            std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("    EI1  = 71.475E5 kNcm^2\r\n"), std::string::npos) << run.out;
  // The sizes and the materials stay as typed.
  EXPECT_NE(run.out.find("    width  = 10 equals to 100 mm\r\n"), std::string::npos);
  EXPECT_EQ(RunTool(Analyse({"--units", "N-mm"})).out, RunTool(Analyse()).out);
  const CliRun json = RunTool(Analyse({"--units", "kN-cm", "--json"}));
  ASSERT_EQ(json.code, 0) << json.err;
  EXPECT_EQ(json.out, RunTool(Analyse({"--json"})).out);
}

TEST_F(RunCliTest, EpsAboveTheAngleKeepsThePrincipalValuesOnTheAxes) {
  // alpha is -2.04 degrees: a precision of 3 degrees puts EI1 and EI2 on the axes, the larger
  // (EIyy) first; the angle text stays as it was.
  const CliRun run = RunTool(Analyse({"--eps", "3", "--json"}));
  ASSERT_EQ(run.code, 0) << run.err;
  const QJsonObject json = ParseJson(run.out);
  EXPECT_EQ(json["ei1"].toDouble(), 7.14e11);
  EXPECT_EQ(json["ei2"].toDouble(), 1.26e11);
  EXPECT_EQ(json["texts"].toObject()["ei1"].toString(), "71.400E10");
  EXPECT_EQ(json["texts"].toObject()["alpha"].toString(), "-2.0");
  EXPECT_EQ(json["eps"].toDouble(), 3.0);
}

TEST_F(RunCliTest, ColoursListsDollarColoursOnlyWithAll) {
  // Discovery runs column by column: white at x 0, the unnamed colour at x 1, red at x 3.
  const std::string path = dir.WritePicture(
      "colours.bmp", MakeGrid(10, 8, kWhite, {{1, 5, 2, 6, 0x00123456}, {3, 1, 6, 2, kRed}}));

  const CliRun named = RunTool({"colours", path});
  EXPECT_EQ(named.code, 0);
  EXPECT_EQ(named.out, "clWhite\t0\t9\t0\t7\nclRed\t3\t6\t1\t2\n");
  // The colour left out is said in its pixels: a shade off a named one must not vanish unsaid.
  EXPECT_EQ(named.err,
            "quorvane-cli: note: 4 pixels in 1 unnamed colour (\"$\" labels) are left out of the "
            "list; --all lists them.\n");

  const CliRun all = RunTool({"colours", path, "--all"});
  EXPECT_EQ(all.code, 0);
  EXPECT_EQ(all.out, "clWhite\t0\t9\t0\t7\n$00123456\t1\t2\t5\t6\nclRed\t3\t6\t1\t2\n");
  EXPECT_EQ(all.err, "");

  // Nothing but unnamed colours: the list stays empty, and standard error says why.
  const std::string unnamed =
      dir.WritePicture("unnamed.bmp", MakeGrid(10, 8, 0x00123456, {{1, 1, 2, 2, 0x00654321}}));
  const CliRun none = RunTool({"colours", unnamed});
  EXPECT_EQ(none.code, 0);
  EXPECT_EQ(none.out, "");
  EXPECT_EQ(none.err,
            "quorvane-cli: note: All 2 colours of the picture are unnamed (\"$\" labels) and left "
            "out of the list; --all lists them.\n");
  EXPECT_EQ(RunTool({"colours", unnamed, "--all"}).err, "");
}

TEST_F(RunCliTest, AnalysesAPictureWhosePixelGridWouldNotFitTheMemoryLeft) {
  // 16384 x 8192 pixels at one bit each: a 16 MB file whose grid would take 512 MB. A red
  // rectangle of 8000 x 4000 pixels on white.
  const int w = 16384, h = 8192;
  BmpOptions oneBit;
  oneBit.bits = 1;
  std::string bytes =
      EncodeIndexedBmp(w, 1, std::vector<std::uint8_t>(w, 0), {kWhite, kRed}, oneBit);
  const std::size_t stride = w / 8;
  bytes.resize(bytes.size() - stride);
  PutU32(bytes, 2, static_cast<std::uint32_t>(bytes.size() + stride * h));
  PutU32(bytes, 22, h);
  for (int stored = 0; stored < h; ++stored) {
    const int y = h - 1 - stored;
    std::string row(stride, '\0');
    if (y >= 2000 && y < 6000) std::fill(row.begin() + 125, row.begin() + 1125, '\xFF');
    bytes += row;
  }
  const std::string path = dir.File("large.bmp");
  WriteAll(path, bytes);
  bytes.clear();
  bytes.shrink_to_fit();

  const std::vector<std::string> args = {
      "analyse", path,         "--width",         "8000",  "--height", "4000", "--use",
      "clRed",   "--material", "clRed@steel@1@1", "--json"};
  RunWithMemoryLimit(std::uint64_t{96} << 20, [&] {
    const CliRun run = RunTool(args);
    ASSERT_EQ(run.code, 0) << run.err;
    const QJsonObject json = ParseJson(run.out);
    EXPECT_EQ(json["relevant_pixels"].toInt(), 8000 * 4000);
    EXPECT_EQ(json["width_px"].toInt(), 8000);
    EXPECT_EQ(json["height_px"].toInt(), 4000);
    EXPECT_EQ(json["ea"].toDouble(), 3.2e7);
    // With an overlay to draw, the picture must be held, and the same memory refuses it.
    std::vector<std::string> withOverlay = args;
    withOverlay.push_back("--overlay");
    withOverlay.push_back(dir.File("large-results.png"));
    const CliRun held = RunTool(withOverlay);
    EXPECT_EQ(held.code, 1);
    EXPECT_EQ(held.err,
              "quorvane-cli: Not enough memory for the picture " + path + " (16384 x 8192)\n");
  });
}

TEST_F(RunCliTest, EdgesReadAsCoverageAddEachPixelsOwnSecondMomentAndSaySo) {
  // The rectangle has no blended pixel: read as coverage its area is the same, and each pixel
  // adds E A Dx^2 / 12 = 210000 * 4000 * 100 / 12 = 7e9 to EIyy, E A Dy^2 / 12 to EIzz.
  const CliRun flat = RunTool(Analyse());
  ASSERT_EQ(flat.code, 0) << flat.err;
  EXPECT_EQ(RunTool(Analyse({"--edges", "flat"})).out, flat.out);
  const CliRun coverage = RunTool(Analyse({"--edges", "coverage"}));
  ASSERT_EQ(coverage.code, 0) << coverage.err;
  const std::string line = std::string(kCoverageReportLine) + "\r\n";
  ASSERT_GT(coverage.out.size(), line.size());
  EXPECT_EQ(coverage.out.substr(coverage.out.size() - line.size() - 2), "\r\n" + line);
  EXPECT_NE(coverage.out.find("    EIyy = 72.100E10 Nmm^2\r\n"), std::string::npos) << coverage.out;
  EXPECT_NE(flat.out.find("    EIyy = 71.400E10 Nmm^2\r\n"), std::string::npos);
  EXPECT_EQ(flat.out.find("coverage"), std::string::npos);

  const QJsonObject json = ParseJson(RunTool(Analyse({"--edges", "coverage", "--json"})).out);
  EXPECT_EQ(json["edges"].toString(), "coverage");
  EXPECT_EQ(json["ea"].toDouble(), 8.4e8);
  EXPECT_EQ(json["eiyy"].toDouble(), 7.14e11 + 7e9);
  EXPECT_EQ(json["relevant_pixels"].toInt(), 40);
  const QJsonObject steel = json["materials"].toArray()[0].toObject();
  EXPECT_EQ(steel["pixels"].toInt(), 40);
  EXPECT_EQ(steel["coverage_pixels"].toDouble(), 40.0);
  EXPECT_EQ(steel["area_mm2"].toDouble(), 4000.0);
  const QJsonObject flatJson = ParseJson(RunTool(Analyse({"--json"})).out);
  EXPECT_FALSE(flatJson.contains("edges"));
  EXPECT_FALSE(flatJson["materials"].toArray()[0].toObject().contains("coverage_pixels"));
}

TEST_F(RunCliTest, ASmoothedDiscReadAsCoverageKeepsItsArea) {
  // A disc of radius 20.3 mm drawn smoothed at 1 mm per pixel; its box, every pixel it
  // touches, is 41 x 42 pixels (see the session's test of the same disc).
  const DrawnSection drawn =
      DrawSmoothedSection(50, 50, 1.0, Shifted(Ring(20.3, 0, kRed), 0.37, -0.21));
  const std::string disc = dir.WritePicture("disc.bmp", drawn.grid);
  const std::vector<std::string> args = {"analyse",  disc,        "--width", "41",       "--height",
                                         "42",       "--use",     "clRed",   "--json",   "--edges",
                                         "coverage", "--torsion", "--fy",    "clRed=235"};
  const CliRun run = RunTool(args);
  ASSERT_EQ(run.code, 0) << run.err;
  const QJsonObject json = ParseJson(run.out);
  EXPECT_EQ(json["width_px"].toInt(), 41);
  EXPECT_EQ(json["height_px"].toInt(), 42);
  const double area = std::numbers::pi * 20.3 * 20.3;
  EXPECT_NEAR(json["ea"].toDouble() / area, 1, 0.001);  // E = 1
  const QJsonObject steel = json["materials"].toArray()[0].toObject();
  EXPECT_NEAR(steel["coverage_pixels"].toDouble() / area, 1, 0.001);
  EXPECT_GT(steel["pixels"].toInt(), steel["coverage_pixels"].toDouble());
  // The plastic modulus of a solid disc, (2 r)^3 / 6.
  const QJsonObject plastic =
      json["extended"].toObject()["plastic"].toObject()["horizontal_axis"].toObject();
  EXPECT_NEAR(plastic["wpl_mm3"].toDouble() / (8 * 20.3 * 20.3 * 20.3 / 6), 1, 0.002);
}

TEST_F(RunCliTest, JsonCarriesFullPrecisionValuesTextsAndHints) {
  const CliRun run = RunTool(Analyse({"--json"}));
  ASSERT_EQ(run.code, 0) << run.err;
  const QJsonObject json = ParseJson(run.out);
  EXPECT_EQ(json["picture"].toString(), "rect.bmp");
  EXPECT_EQ(json["width_text"].toString(), "100");
  EXPECT_EQ(json["section_bounds"].toObject()["xmax"].toInt(), 11);
  EXPECT_EQ(json["width_px"].toInt(), 10);
  EXPECT_EQ(json["height_px"].toInt(), 4);
  EXPECT_EQ(json["dx"].toDouble(), 10.0);
  EXPECT_EQ(json["relevant_pixels"].toInt(), 40);
  EXPECT_EQ(json["ea"].toDouble(), 8.4e8);
  EXPECT_DOUBLE_EQ(json["mass_per_m"].toDouble(), 31.4);
  const QJsonObject nc = json["nc"].toObject();
  EXPECT_EQ(nc["x_px"].toInt(), 6);
  EXPECT_EQ(nc["y_px"].toInt(), 4);
  EXPECT_EQ(nc["hor_mm"].toDouble(), 40.0);
  EXPECT_EQ(json["eiyy"].toDouble(), 7.14e11);
  EXPECT_EQ(json["eiyz"].toDouble(), -2.1e10);
  EXPECT_NEAR(json["alpha_deg"].toDouble(), -2.0428083899874383, 1e-12);
  EXPECT_FALSE(json["iso"].toBool());
  EXPECT_EQ(json["convention"].toInt(), 0);
  EXPECT_EQ(json["texts"].toObject()["ea"].toString(), "8.4E008");
  EXPECT_EQ(json["texts"].toObject()["ei2"].toString(), "12.525E10");
  EXPECT_EQ(json["hints"].toObject()["ea"].toString(), "840000000");
  EXPECT_EQ(json["hints"].toObject()["eiyy"].toString(), "714000000000");

  const QJsonArray materials = json["materials"].toArray();
  ASSERT_EQ(materials.size(), 1);
  const QJsonObject steel = materials[0].toObject();
  EXPECT_EQ(steel["label"].toString(), "clRed");
  EXPECT_EQ(steel["pixels"].toInt(), 40);
  EXPECT_EQ(steel["area_mm2"].toDouble(), 4000.0);
  EXPECT_EQ(steel["ea"].toDouble(), json["ea"].toDouble());
  EXPECT_EQ(steel["mass_per_m"].toDouble(), json["mass_per_m"].toDouble());
}

TEST_F(RunCliTest, JsonNumbersRoundTripExactly) {
  // The principal values and the angle need all 17 digits; the JSON text must give back the
  // very doubles of the principal-axes formulas applied to the exact moments.
  const CliRun run = RunTool(Analyse({"--json"}));
  ASSERT_EQ(run.code, 0) << run.err;
  const QJsonObject json = ParseJson(run.out);
  const double yy = 7.14e11, zz = 1.26e11, yz = -2.1e10;
  const double r = std::sqrt((yy - zz) * (yy - zz) + 4 * yz * yz);
  EXPECT_EQ(json["ei1"].toDouble(), ((yy + zz) + r) * 0.5);
  EXPECT_EQ(json["ei2"].toDouble(), ((yy + zz) - r) * 0.5);
  EXPECT_EQ(json["alpha_rad"].toDouble(), 0.5 * std::atan(2 * yz / (yy - zz)));
}

TEST_F(RunCliTest, JsonStringsSurviveQuotesBackslashesControlsAndUtf8) {
  // Control characters come only from a library file: --material refuses them.
  const std::string name = "Stahl \"S355\" \\ \t\x01 \xC3\xBC \xE2\x82\xAC";
  const std::string library = dir.File("controls.ini");
  WriteAll(library, "[properties]\r\nn=1\r\n1=1@clRed@" + name + "@210000@7850\r\n");
  const CliRun run = RunTool({"analyse", rect, "--width", "100", "--height", "40", "--use", "clRed",
                              "--library", library, "--json"});
  ASSERT_EQ(run.code, 0) << run.err;
  const QJsonObject json = ParseJson(run.out);
  EXPECT_EQ(json["materials"].toArray()[0].toObject()["name"].toString().toStdString(), name);

  // A byte that is no UTF-8 (a library in another encoding) still gives valid JSON.
  const CliRun latin = RunTool(Analyse({"--material", "clRed@Gu\xDF@210000@7850", "--json"}));
  ASSERT_EQ(latin.code, 0) << latin.err;
  EXPECT_EQ(ParseJson(latin.out)["materials"].toArray()[0].toObject()["name"].toString(),
            QString::fromUtf8("Gu\xEF\xBF\xBD"));
}

TEST_F(RunCliTest, NonFiniteValuesBecomeNull) {
  // E near the largest double over 40 pixels of 1e8 mm^2 each overflows EA. --material refuses
  // such an E; a library file holds what it holds.
  const std::string library = dir.File("absurd.ini");
  WriteAll(library, "[properties]\r\nn=1\r\n1=1@clRed@absurd@1e308@1\r\n");
  const CliRun run = RunTool({"analyse", rect, "--width", "100000", "--height", "40000", "--use",
                              "clRed", "--library", library, "--json"});
  ASSERT_EQ(run.code, 0) << run.err;
  const QJsonObject json = ParseJson(run.out);
  EXPECT_TRUE(json["ea"].isNull());
  EXPECT_TRUE(json["materials"].toArray()[0].toObject()["ea"].isNull());
  EXPECT_EQ(json["texts"].toObject()["ea"].toString(), "INF");
}

TEST_F(RunCliTest, MaterialOptionsOverrideTheLibraryAndAddEntries) {
  const std::string library = dir.File("properties.ini");
  const std::string libraryText =
      "[properties]\r\nn=2\r\n1=1@clRed@steel@210000@7850\r\n2=2@clBlue@concrete@33000@2500\r\n";
  WriteAll(library, libraryText);
  const std::string path = dir.WritePicture(
      "mixed.bmp", MakeGrid(30, 10, kWhite,
                            {{0, 0, 9, 9, kRed}, {10, 0, 19, 9, kLime}, {20, 0, 29, 9, kBlack}}));
  const CliRun run =
      RunTool({"analyse", path, "--width", "300", "--height", "100", "--library", library,
               "--material", "clRed@S355@200000@7800", "--material", "clLime@timber@1.1e4@420",
               "--use", "clLime", "--use", "clRed", "--use", "clBlack", "--json"});
  ASSERT_EQ(run.code, 0) << run.err;
  // Library order, not --use order; clBlue is not in use; clBlack is new with E = rho = 1.
  const QJsonArray materials = ParseJson(run.out)["materials"].toArray();
  ASSERT_EQ(materials.size(), 3);
  const QJsonObject red = materials[0].toObject();
  EXPECT_EQ(red["id"].toInt(), 1);
  EXPECT_EQ(red["name"].toString(), "S355");
  EXPECT_EQ(red["e"].toDouble(), 200000.0);
  EXPECT_EQ(red["rho"].toDouble(), 7800.0);
  const QJsonObject lime = materials[1].toObject();
  EXPECT_EQ(lime["id"].toInt(), 3);
  EXPECT_EQ(lime["label"].toString(), "clLime");
  EXPECT_EQ(lime["e"].toDouble(), 11000.0);
  EXPECT_EQ(lime["ea"].toDouble(), 11000.0 * 100 * 100.0);
  const QJsonObject black = materials[2].toObject();
  EXPECT_EQ(black["id"].toInt(), 4);
  EXPECT_EQ(black["name"].toString(), "");
  EXPECT_EQ(black["e"].toDouble(), 1.0);
  EXPECT_EQ(black["rho"].toDouble(), 1.0);
  // The library is read only.
  EXPECT_EQ(ReadAll(library), libraryText);
  EXPECT_EQ(FilesIn(dir.Path()),
            (std::set<std::string>{"rect.bmp", "mixed.bmp", "properties.ini"}));
}

// --- the size fields -------------------------------------------------------------------------

struct SizeCase {
  std::string text;
  bool accepted;
  const char* label = nullptr;  // where the text alone would name no row or another's
};
void PrintTo(const SizeCase& c, std::ostream* os) { *os << (c.label ? c.label : c.text); }

class RunCliSizeTest : public RunCliTest, public ::testing::WithParamInterface<SizeCase> {};

TEST_P(RunCliSizeTest, WidthTakesWhatTheWindowsSizeFieldTakes) {
  const SizeCase& c = GetParam();
  const CliRun run = RunTool({"analyse", rect, "--width", c.text, "--height", "40", "--use",
                              "clRed", "--material", "clRed@steel@210000@7850"});
  if (c.accepted) {
    ASSERT_EQ(run.code, 0) << run.err;
    // The text appears as typed; the value is 100 mm in every accepted spelling.
    EXPECT_NE(run.out.find("    width  = 10 equals to " + c.text + " mm\r\n"), std::string::npos);
    EXPECT_NE(run.out.find("    hor  = 40.00 mm"), std::string::npos);
  } else {
    EXPECT_EQ(run.code, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err.rfind("quorvane-cli: --width '" + c.text + "': ", 0), 0u) << run.err;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Texts, RunCliSizeTest,
    ::testing::Values(SizeCase{"100", true},   // plain decimal
                      SizeCase{"+100", true},  // a plus sign
                      SizeCase{"  100", true, "leading blanks"},
                      SizeCase{"$64", true},         // hexadecimal with "$"
                      SizeCase{"0x64", true},        // ... with "0x"
                      SizeCase{"0X64", true},        // ... with "0X"
                      SizeCase{"x64", true},         // ... with "x" alone
                      SizeCase{"00100", true},       // leading zeros are still decimal
                      SizeCase{"0", false},          // the window offers no analysis
                      SizeCase{"100001", false},     // above the field's range
                      SizeCase{"-5", false},         // below it
                      SizeCase{"$FFFFFFFF", false},  // the 32-bit pattern -1
                      SizeCase{"12a", false},        // not a number
                      SizeCase{"1e2", false},        // no exponent in an integer field
                      SizeCase{"100.0", true},       // a fraction of nothing is whole mm
                      SizeCase{"100.", false},       // a point wants its fraction
                      SizeCase{"0.0009", false},     // below the smallest fraction of a mm
                      SizeCase{"100000.5", false},   // above the range
                      SizeCase{"100 ", false, "trailing blank"},
                      SizeCase{"-0x10", false},  // no sign before hexadecimal
                      SizeCase{"$", false, "prefix without digits"},
                      SizeCase{"$123456789", false},   // nine hexadecimal digits
                      SizeCase{"99999999999", false},  // beyond 32 bits
                      SizeCase{"", false, "empty"}),
    RowName);

// A pixel size is the width and height it gives the box: 10 x 4 pixels of 0.25 mm.
TEST_F(RunCliTest, PixelSizeGivesWhatItsDecimalWidthAndHeightGive) {
  const auto run = [this](const std::vector<std::string>& size, bool json) {
    std::vector<std::string> args =
        Concat(Concat({"analyse", rect}, size),
               {"--use", "clRed", "--material", "clRed@steel@210000@7850"});
    if (json) args.emplace_back("--json");
    return RunTool(args);
  };
  const CliRun typed = run({"--width", "2.5", "--height", "1"}, false);
  const CliRun pixel = run({"--pixel-size", "0.25"}, false);
  ASSERT_EQ(pixel.code, 0) << pixel.err;
  const std::string named = "    height = 4 equals to 1 mm\r\n";
  std::string expected = typed.out;
  expected.insert(expected.find(named) + named.size(), "    pixel size = 0.25 mm\r\n");
  EXPECT_EQ(pixel.out, expected);

  QJsonObject byPixel = ParseJson(run({"--pixel-size", "0.25"}, true).out);
  EXPECT_EQ(byPixel.take("pixel_size_mm").toDouble(), 0.25);
  EXPECT_EQ(byPixel, ParseJson(run({"--width", "2.5", "--height", "1"}, true).out));
  EXPECT_FALSE(
      ParseJson(run({"--width", "2.5", "--height", "1"}, true).out).contains("pixel_size_mm"));
}

TEST_F(RunCliTest, ADrawingIsAnalysedFromItsOutlinesInItsOwnSize) {
  // A plate 100.5 x 40.25 mm with an open line beside it, which is left out and said so.
  std::string dxf = DxfOf(OutlineDrawing{
      {{kRed, {OutlineLoop{{{0, 0, 0}, {100.5, 0, 0}, {100.5, 40.25, 0}, {0, 40.25, 0}}}}}}});
  dxf.insert(dxf.find("0\nENDSEC"), "0\nLINE\n8\n0\n10\n0\n20\n50\n11\n10\n21\n60\n");
  const std::string plate = dir.File("plate.dxf");
  WriteAll(plate, dxf);
  const std::vector<std::string> use = {"--use", "clRed", "--material", "clRed@steel@210000@7850"};

  const CliRun colours = RunTool({"colours", plate});
  EXPECT_EQ(colours.code, 0);
  EXPECT_EQ(colours.out.substr(0, 6), "clRed\t");
  EXPECT_NE(colours.err.find("1 entity of the drawing is no closed filled outline"),
            std::string::npos)
      << colours.err;

  const CliRun own = RunTool(Concat({"analyse", plate, "--json"}, use));
  ASSERT_EQ(own.code, 0) << own.err;
  const QJsonObject json = ParseJson(own.out);
  EXPECT_EQ(json["geometry"].toString(), "outline");
  EXPECT_NEAR(json["eizz"].toDouble() / (210000 * 100.5 * std::pow(40.25, 3) / 12), 1, 1e-12);
  EXPECT_NEAR(json["eiyy"].toDouble() / (210000 * 40.25 * std::pow(100.5, 3) / 12), 1, 1e-12);
  EXPECT_GT(json["pixel_size_mm"].toDouble(), 0);
  // Sizes that agree change nothing; a pixel size sets the cells.
  const CliRun sized = RunTool(Concat({"analyse", plate, "--json", "--width", "100.45"}, use));
  EXPECT_EQ(ParseJson(sized.out)["eizz"], json["eizz"]);
  const CliRun cells = RunTool(Concat({"analyse", plate, "--json", "--pixel-size", "0.25"}, use));
  EXPECT_EQ(ParseJson(cells.out)["dx"].toDouble(), 0.25);
  EXPECT_EQ(ParseJson(cells.out)["width_px"].toInt(), 402);
  EXPECT_EQ(ParseJson(cells.out)["eizz"], json["eizz"]);
  const CliRun report = RunTool(Concat({"analyse", plate}, use));
  EXPECT_NE(report.out.find(kOutlineReportLine), std::string::npos);
}

// --- failures --------------------------------------------------------------------------------

struct FailureCase {
  const char* what;
  std::vector<std::string> args;  // "{dir}" stands for the test folder
  int code;
  std::string message;  // the start of standard error
};
void PrintTo(const FailureCase& c, std::ostream* os) { *os << c.what; }

class RunCliFailureTest : public RunCliTest, public ::testing::WithParamInterface<FailureCase> {
 protected:
  void SetUp() override {
    RunCliTest::SetUp();
    WriteAll(dir.File("notes.txt"), "not a picture\n");
    dir.WritePicture("line.bmp", MakeGrid(20, 10, kWhite, {{4, 1, 4, 8, kRed}}));
    WriteAll(dir.File("bad.ini"), "[properties]\r\nn=1\r\n1=1@clRed@steel@2l0000@7850\r\n");
    WriteAll(dir.File("badnu.ini"), "[properties]\r\nn=0\r\n[poisson]\r\nclRed=x\r\n");
    WriteAll(dir.File("badfy.ini"), "[properties]\r\nn=0\r\n[strength]\r\nclRed=-5\r\n");
    std::filesystem::create_directory(dir.File("folder.png"));
    // A section painted a shade off red, (254, 0, 0): no clRed.
    dir.WritePicture("near.bmp", MakeGrid(20, 10, kWhite, {{2, 3, 11, 6, 0x000000FE}}));
    // Outputs that are no regular files, and a link to an output of yesterday.
    ASSERT_EQ(::mkfifo(dir.File("pipe.png").c_str(), 0644), 0);
    std::filesystem::create_symlink(dir.File("pipe.png"), dir.File("topipe.bmp"));
    WriteAll(dir.File("old.png"), "the overlay of yesterday");
    std::filesystem::create_symlink(dir.File("old.png"), dir.File("alias.png"));
    // A sound header over a pixel beyond the palette, found only when the pixels are read.
    std::vector<std::uint8_t> indices(20 * 10, 1);
    indices[55] = 7;
    BmpOptions eightBits;
    eightBits.bits = 8;
    WriteAll(dir.File("badpixel.bmp"),
             EncodeIndexedBmp(20, 10, indices, {kWhite, kRed, kBlue}, eightBits));
    // Drawings: a red plate 100 x 40 mm, and one of lines that close nothing.
    WriteAll(dir.File("plate.dxf"),
             DxfOf(OutlineDrawing{
                 {{kRed, {OutlineLoop{{{0, 0, 0}, {100, 0, 0}, {100, 40, 0}, {0, 40, 0}}}}}}}));
    WriteAll(dir.File("script.svg"),
             "<svg xmlns='http://www.w3.org/2000/svg' width='10mm' height='10mm'>"
             "<script>alert(1)</script><rect width='10' height='10' fill='red'/></svg>");
    WriteAll(dir.File("lines.dxf"),
             "0\nSECTION\n2\nENTITIES\n0\nLINE\n10\n0\n20\n0\n11\n5\n21\n5\n0\nENDSEC\n0\nEOF\n");
  }
  std::string WithFolder(std::string text) const {
    for (std::size_t at; (at = text.find("{dir}")) != std::string::npos;) {
      text.replace(at, 5, dir.Path());
    }
    return text;
  }
};

TEST_P(RunCliFailureTest, FailsWithOneClearLineAndWritesNothing) {
  const FailureCase& c = GetParam();
  std::vector<std::string> args;
  for (const std::string& arg : c.args) args.push_back(WithFolder(arg));
  const std::set<std::string> before = FilesIn(dir.Path());
  const CliRun run = RunTool(args);
  EXPECT_EQ(run.code, c.code);
  EXPECT_EQ(run.out, "");
  const std::string message = "quorvane-cli: " + WithFolder(c.message);
  EXPECT_EQ(run.err.substr(0, message.size()), message) << run.err;
  if (c.code == 1) {
    EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << run.err;
  } else {
    EXPECT_NE(run.err.find("usage: quorvane-cli colours PICTURE"), std::string::npos);
  }
  EXPECT_EQ(FilesIn(dir.Path()), before);  // no overlay, no temporary file left behind
}

const std::vector<std::string> kGood = {"--width", "100",   "--height",  "40",
                                        "--use",   "clRed", "--overlay", "{dir}/out.png"};

INSTANTIATE_TEST_SUITE_P(
    Cases, RunCliFailureTest,
    ::testing::Values(
        FailureCase{"MissingPicture", Concat({"analyse", "{dir}/none.bmp"}, kGood), 1,
                    "Cannot read picture {dir}/none.bmp: no such file"},
        // One pixel size gives both sizes; either size beside it would go unread.
        FailureCase{
            "PixelSizeWithAWidth",
            {"analyse", "{dir}/rect.bmp", "--pixel-size", "1", "--width", "10", "--use", "clRed"},
            2,
            "option --pixel-size cannot go with --width or --height\n"},
        FailureCase{"NoSizeAtAll",
                    {"analyse", "{dir}/rect.bmp", "--use", "clRed"},
                    2,
                    "option --width is required\n"},
        FailureCase{"PixelSizeOfZero",
                    {"analyse", "{dir}/rect.bmp", "--pixel-size", "0", "--use", "clRed"},
                    1,
                    "--pixel-size '0': the pixel size must be above 0 and at most 100000 mm\n"},
        FailureCase{"PixelSizeNotANumber",
                    {"analyse", "{dir}/rect.bmp", "--pixel-size", "0.1mm", "--use", "clRed"},
                    1,
                    "--pixel-size '0.1mm': '0.1mm' is not a valid floating point value\n"},
        FailureCase{"PixelSizeMakingTheBoxTooWide",
                    {"analyse", "{dir}/rect.bmp", "--pixel-size", "20000", "--use", "clRed",
                     "--overlay", "{dir}/out.png"},
                    1,
                    "pixel size 20000 mm gives a width of 200000 mm: the size must be "
                    "1..100000 mm\n"},
        FailureCase{"NotAPicture", Concat({"analyse", "{dir}/notes.txt"}, kGood), 1,
                    "Cannot read picture"},
        // A drawing has its own size: one given must agree with it.
        FailureCase{"DrawingOfAnotherWidth",
                    {"analyse", "{dir}/plate.dxf", "--width", "101", "--use", "clRed", "--overlay",
                     "{dir}/out.png"},
                    1,
                    "the drawing's section is 100 mm wide, not 101 mm: a size given for a "
                    "drawing must agree with it within 0.1 %\n"},
        // Nothing in a drawing is ever run or fetched.
        FailureCase{"DrawingWithAScript",
                    {"analyse", "{dir}/script.svg", "--use", "clRed", "--overlay", "{dir}/out.png"},
                    1,
                    "Cannot read drawing script.svg: "},
        FailureCase{"DrawingWithoutAClosedOutline",
                    {"analyse", "{dir}/lines.dxf", "--use", "clRed", "--overlay", "{dir}/out.png"},
                    1,
                    "Cannot read drawing lines.dxf: "},
        FailureCase{
            "PixelBeyondThePalette",
            {"analyse", "{dir}/badpixel.bmp", "--width", "100", "--height", "40", "--use", "clRed"},
            1,
            "Cannot read picture {dir}/badpixel.bmp: a pixel refers to palette entry 7, "
            "but the palette has 3 entries\n"},
        FailureCase{"PixelBeyondThePaletteWithOverlay",
                    Concat({"analyse", "{dir}/badpixel.bmp"}, kGood), 1,
                    "Cannot read picture {dir}/badpixel.bmp: a pixel refers to palette entry 7, "
                    "but the palette has 3 entries\n"},
        FailureCase{"MissingLibrary",
                    Concat({"analyse", "{dir}/rect.bmp", "--library", "{dir}/none.ini"}, kGood), 1,
                    "Cannot read library file {dir}/none.ini: no such file"},
        FailureCase{"LibraryWithABadNumber",
                    Concat({"analyse", "{dir}/rect.bmp", "--library", "{dir}/bad.ini"}, kGood), 1,
                    "Cannot read library file {dir}/bad.ini: '2l0000' is not a valid floating "
                    "point value"},
        FailureCase{"LibraryIsAFolder",
                    Concat({"analyse", "{dir}/rect.bmp", "--library", "{dir}"}, kGood), 1,
                    "Cannot read library file {dir}: not a regular file"},
        FailureCase{
            "BadE",
            Concat({"analyse", "{dir}/rect.bmp", "--material", "clRed@steel@2,1E5@7850"}, kGood), 1,
            "--material 'clRed@steel@2,1E5@7850': '2,1E5' is not a valid floating "
            "point value"},
        FailureCase{
            "MaterialWithoutRho",
            Concat({"analyse", "{dir}/rect.bmp", "--material", "clRed@steel@210000"}, kGood), 1,
            "--material 'clRed@steel@210000': expected LABEL@NAME@E@RHO"},
        FailureCase{"BadEps", Concat({"analyse", "{dir}/rect.bmp", "--eps", "one"}, kGood), 1,
                    "--eps: 'one' is not a valid floating point value"},
        FailureCase{"ConventionTwo",
                    Concat({"analyse", "{dir}/rect.bmp", "--convention", "2"}, kGood), 1,
                    "--convention '2': the sign convention must be 0 or 1"},
        FailureCase{"EdgesOfAnotherKind",
                    Concat({"analyse", "{dir}/rect.bmp", "--edges", "smooth"}, kGood), 1,
                    "--edges 'smooth': the edges are read flat or as coverage\n"},
        FailureCase{"EdgesInCapitals",
                    Concat({"analyse", "{dir}/rect.bmp", "--edges=Coverage"}, kGood), 1,
                    "--edges 'Coverage': the edges are read flat or as coverage\n"},
        FailureCase{"UnitsOfAnotherSystem",
                    Concat({"analyse", "{dir}/rect.bmp", "--units", "kN-mm"}, kGood), 1,
                    "--units 'kN-mm': the units are N-mm, kN-m or kN-cm\n"},
        FailureCase{"UnitsInOtherCapitals",
                    Concat({"analyse", "{dir}/rect.bmp", "--units=kn-cm"}, kGood), 1,
                    "--units 'kn-cm': the units are N-mm, kN-m or kN-cm\n"},
        FailureCase{"EdgesAreNoColoursOption",
                    {"colours", "{dir}/rect.bmp", "--edges", "coverage"},
                    2,
                    "unknown option '--edges' for colours\n"},
        FailureCase{"NoUse",
                    {"analyse", "{dir}/rect.bmp", "--width", "100", "--height", "40", "--overlay",
                     "{dir}/out.png"},
                    1,
                    "No material selected.\n"},
        FailureCase{"UseOfAColourNotInThePicture",
                    Concat({"analyse", "{dir}/rect.bmp", "--use", "clBlue"}, kGood), 1,
                    "'clBlue' is not a colour of rect.bmp\n"},
        FailureCase{"UseInTheWrongLetterCase",
                    Concat({"analyse", "{dir}/rect.bmp", "--use", "clred"}, kGood), 1,
                    "'clred' is not a colour of rect.bmp\n"},
        FailureCase{"SectionOnePixelWide", Concat({"analyse", "{dir}/line.bmp"}, kGood), 1,
                    "the section is only one pixel wide"},
        FailureCase{"OverlayIntoAMissingFolder",
                    {"analyse", "{dir}/rect.bmp", "--width", "100", "--height", "40", "--use",
                     "clRed", "--overlay", "{dir}/no/out.png"},
                    1,
                    "Unable to write to {dir}/no/out.png\n"},
        FailureCase{"OverlayOverAFolder",
                    {"analyse", "{dir}/rect.bmp", "--width", "100", "--height", "40", "--use",
                     "clRed", "--overlay", "{dir}/folder.png"},
                    1,
                    "Unable to write to {dir}/folder.png\n"},
        FailureCase{"OverlayOfAnotherType",
                    {"analyse", "{dir}/rect.bmp", "--width", "100", "--height", "40", "--use",
                     "clRed", "--overlay", "{dir}/out.jpg"},
                    1,
                    "'{dir}/out.jpg' is not a .png or .bmp file name\n"},
        FailureCase{"UnknownOption", Concat({"analyse", "{dir}/rect.bmp", "--colour", "x"}, kGood),
                    2, "unknown option '--colour' for analyse\n"},
        FailureCase{"JsonIsNoColoursOption",
                    {"colours", "{dir}/rect.bmp", "--json"},
                    2,
                    "unknown option '--json' for colours\n"},
        FailureCase{"MissingValueAtTheEnd",
                    Concat({"analyse", "{dir}/rect.bmp"}, {"--width", "100", "--height"}), 2,
                    "option --height needs a value\n"},
        FailureCase{"OptionInPlaceOfAValue",
                    Concat({"analyse", "{dir}/rect.bmp", "--use", "--json"}, kGood), 2,
                    "option --use needs a value\n"},
        FailureCase{"WidthGivenTwice", Concat({"analyse", "{dir}/rect.bmp", "--width=50"}, kGood),
                    2, "option --width given twice\n"},
        FailureCase{"MissingWidth",
                    {"analyse", "{dir}/rect.bmp", "--height", "40", "--use", "clRed"},
                    2,
                    "option --width is required\n"},
        FailureCase{"TwoPictures", Concat({"analyse", "{dir}/rect.bmp", "{dir}/rect.bmp"}, kGood),
                    2, "unexpected argument"},
        FailureCase{"NoPicture", {"colours"}, 2, "no PICTURE given\n"},
        FailureCase{
            "UnknownCommand", {"analyze", "{dir}/rect.bmp"}, 2, "unknown command 'analyze'\n"},
        FailureCase{"NoArguments", {}, 2, "no command given\n"}),
    RowName);

// What the window's fields would not take is not taken here either; each value once.
INSTANTIATE_TEST_SUITE_P(
    Inputs, RunCliFailureTest,
    ::testing::Values(
        FailureCase{
            "NegativeE",
            Concat({"analyse", "{dir}/rect.bmp", "--material", "clRed@steel@-210000@7850"}, kGood),
            1,
            "--material 'clRed@steel@-210000@7850': Number exceeds user defined range. E must lie "
            "in 0..1000000 N/mm^2, not -210000.\n"},
        FailureCase{
            "EAboveTheField",
            Concat({"analyse", "{dir}/rect.bmp", "--material", "clRed@steel@2e9@7850"}, kGood), 1,
            "--material 'clRed@steel@2e9@7850': Number exceeds user defined range. E must "
            "lie in 0..1000000 N/mm^2, not 2000000000.\n"},
        FailureCase{
            "RhoAboveTheField",
            Concat({"analyse", "{dir}/rect.bmp", "--material", "clRed@steel@210000@1e9"}, kGood), 1,
            "--material 'clRed@steel@210000@1e9': Number exceeds user defined range. rho must lie "
            "in 0..100000 kg/m^3, not 1000000000.\n"},
        // A line break would forge a report line "EA = 0"; the refusal itself stays one line.
        FailureCase{
            "NameWithALineBreak",
            Concat({"analyse", "{dir}/rect.bmp", "--material", "clRed@steel\r\nEA = 0@210000@7850"},
                   kGood),
            1,
            "--material 'clRed@steel\\r\\nEA = 0@210000@7850': A material name must not "
            "contain line breaks.\n"},
        FailureCase{
            "NameWithATerminalEscape",
            Concat({"analyse", "{dir}/rect.bmp", "--material", "clRed@\x1B[2J@210000@7850"}, kGood),
            1,
            "--material 'clRed@\\x1B[2J@210000@7850': A material name must not contain "
            "control characters.\n"},
        FailureCase{"NameOf300Characters",
                    Concat({"analyse", "{dir}/rect.bmp", "--material",
                            "clRed@" + std::string(300, 'x') + "@210000@7850"},
                           kGood),
                    1,
                    "--material 'clRed@" + std::string(300, 'x') +
                        "@210000@7850': A material name must not be longer than 255 "
                        "characters.\n"},
        FailureCase{"NegativeEps", Concat({"analyse", "{dir}/rect.bmp", "--eps", "-1"}, kGood), 1,
                    "--eps: Number exceeds user defined range. The angle precision must lie in "
                    "0..90 degrees, not -1.\n"},
        FailureCase{"EpsAboveTheField",
                    Concat({"analyse", "{dir}/rect.bmp", "--eps", "90.5"}, kGood), 1,
                    "--eps: Number exceeds user defined range. The angle precision must lie in "
                    "0..90 degrees, not 90.5.\n"},
        FailureCase{"NuGivenTwice",
                    Concat({"analyse", "{dir}/rect.bmp", "--torsion", "--nu", "clRed=0.2", "--nu",
                            "clRed=0.3"},
                           kGood),
                    1, "--nu 'clRed=0.3': clRed is given twice\n"},
        FailureCase{"FyGivenTwice",
                    Concat({"analyse", "{dir}/rect.bmp", "--torsion", "--fy", "clRed=355", "--fy",
                            "clRed=235/0"},
                           kGood),
                    1, "--fy 'clRed=235/0': clRed is given twice\n"},
        // The colour meant is there under a "$" label: named with its pixels.
        FailureCase{"UseOfANearlyNamedColour", Concat({"analyse", "{dir}/near.bmp"}, kGood), 1,
                    "'clRed' is not a colour of near.bmp; its unnamed colours are $000000FE (40 "
                    "pixels)\n"}),
    RowName);

// Pictures go only to regular files or new names, each to its own, and only when the run
// succeeds whole: a failure leaves no output of it (the fixture's check of the folder).
INSTANTIATE_TEST_SUITE_P(
    Outputs, RunCliFailureTest,
    ::testing::Values(
        FailureCase{"OverlayIntoANamedPipe",
                    {"analyse", "{dir}/rect.bmp", "--width", "100", "--height", "40", "--use",
                     "clRed", "--overlay", "{dir}/pipe.png"},
                    1,
                    "Unable to write to {dir}/pipe.png: it is not a regular file\n"},
        FailureCase{"MapThroughALinkToAPipe",
                    Concat({"analyse", "{dir}/rect.bmp", "--action", "N=1000", "--stress-map",
                            "{dir}/topipe.bmp"},
                           kGood),
                    1, "Unable to write to {dir}/topipe.bmp: it is not a regular file\n"},
        FailureCase{"OverlayAndMapIntoOneFile",
                    Concat({"analyse", "{dir}/rect.bmp", "--action", "N=1000", "--stress-map",
                            "{dir}/out.png"},
                           kGood),
                    1, "{dir}/out.png and {dir}/out.png name one file\n"},
        FailureCase{
            "MapThroughALinkToTheOverlay",
            {"analyse", "{dir}/rect.bmp", "--width", "100", "--height", "40", "--use", "clRed",
             "--overlay", "{dir}/old.png", "--action", "N=1000", "--stress-map", "{dir}/alias.png"},
            1,
            "{dir}/alias.png and {dir}/old.png name one file\n"},
        FailureCase{"InteractionPlotIntoANamedPipe",
                    Concat({"analyse", "{dir}/rect.bmp", "--fy", "clRed=355", "--interaction-plot",
                            "{dir}/pipe.png"},
                           kGood),
                    1, "Unable to write to {dir}/pipe.png: it is not a regular file\n"},
        FailureCase{"InteractionPlotOverTheMap",
                    Concat({"analyse", "{dir}/rect.bmp", "--action", "N=1000", "--stress-map",
                            "{dir}/plot.png", "--interaction-plot", "{dir}/plot.png"},
                           kGood),
                    1, "{dir}/plot.png and {dir}/plot.png name one file\n"},
        FailureCase{"MapIntoAMissingFolderBesideAnOverlay",
                    Concat({"analyse", "{dir}/rect.bmp", "--action", "N=1000", "--stress-map",
                            "{dir}/no/map.png"},
                           kGood),
                    1, "Unable to write to {dir}/no/map.png\n"}),
    RowName);

TEST_F(RunCliTest, HelpPrintsTheUsage) {
  const CliRun run = RunTool({"analyse", "--help"});
  EXPECT_EQ(run.code, 0);
  EXPECT_EQ(run.out, CliUsage());
  EXPECT_EQ(run.err, "");
  EXPECT_NE(run.out.find("null"), std::string::npos);  // the usage tells about non-finite values
}

// --- overlay ---------------------------------------------------------------------------------

TEST_F(RunCliTest, OverlayDrawsTheCentresAsTheWindowDoes) {
  // Stiff red on the left, heavy lime on the right: NC sits in the red part at (150, 200), MC
  // in the lime part at (240, 200) -- (1000 * 149.5 + 10000 * 249.5) / 11000 = 240.4.
  const std::string path = dir.File("two.bmp");
  const PixelGrid picture =
      MakeGrid(400, 400, kWhite, {{100, 50, 199, 349, kRed}, {200, 50, 299, 349, kLime}});
  WriteAll(path, EncodeBmp24(picture));
  const std::vector<std::string> base = {"analyse",    path,
                                         "--width",    "200",
                                         "--height",   "300",
                                         "--use",      "clRed",
                                         "--use",      "clLime",
                                         "--material", "clRed@stiff@210000@1000",
                                         "--material", "clLime@heavy@1000@10000",
                                         "--json"};
  const CliRun png = RunTool(Concat(base, {"--overlay", dir.File("out.png")}));
  ASSERT_EQ(png.code, 0) << png.err;
  const QJsonObject json = ParseJson(png.out);
  ASSERT_EQ(json["nc"].toObject()["x_px"].toInt(), 150);
  ASSERT_EQ(json["nc"].toObject()["y_px"].toInt(), 200);
  ASSERT_EQ(json["mc"].toObject()["x_px"].toInt(), 240);

  const PixelGrid drawn = ReadPng(dir.File("out.png"));
  ASSERT_EQ(drawn.Width(), 400);
  ASSERT_EQ(drawn.Height(), 400);
  // Right of NC only the NC circle is drawn (the axes run left and down, the principal axes up
  // and left): axes colour, blue, where the picture is red.
  EXPECT_FALSE(AnyPixel(picture, 153, 199, 157, 201, kBlue));
  EXPECT_TRUE(AnyPixel(drawn, 153, 199, 157, 201, kBlue));
  // Left of MC its white circle, on lime.
  EXPECT_TRUE(AnyPixel(drawn, 233, 199, 237, 201, kWhite));
  // The z-axis arrow ends 7.5 % of the height below the section: (150, 379).
  EXPECT_TRUE(AnyPixel(drawn, 148, 360, 152, 378, kBlue));
  // Far from every drawing the picture is unchanged.
  EXPECT_EQ(drawn.At(395, 5), kWhite);
  EXPECT_EQ(drawn.At(280, 300), kLime);

  const CliRun bmp = RunTool(Concat(base, {"--overlay", dir.File("OUT.BMP")}));
  ASSERT_EQ(bmp.code, 0) << bmp.err;
  EXPECT_EQ(bmp.out, png.out);
  const PixelGrid drawnBmp = ReadPicture(dir.File("OUT.BMP"));
  EXPECT_TRUE(drawnBmp == drawn);
  EXPECT_EQ(FilesIn(dir.Path()),
            (std::set<std::string>{"rect.bmp", "two.bmp", "out.png", "OUT.BMP"}));
}

TEST_F(RunCliTest, OverlayOnAFullDiskFailsAndKeepsTheOldFile) {
  const std::string path =
      dir.WritePicture("two.bmp", MakeGrid(600, 600, kWhite, {{100, 50, 499, 549, kRed}}));
  const std::string out = dir.File("out.bmp");
  WriteAll(out, "the overlay of yesterday");
  const std::set<std::string> before = FilesIn(dir.Path());
  CliRun run;
  // A BMP of 600 x 600 needs about 1 MB; the disk has 64 KB left.
  RunWithFileSizeLimit(64 * 1024, [&] {
    run = RunTool(
        {"analyse", path, "--width", "200", "--height", "300", "--use", "clRed", "--overlay", out});
  });
  EXPECT_EQ(run.code, 1);
  EXPECT_EQ(run.err, "quorvane-cli: Unable to write to " + out + "\n");
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(ReadAll(out), "the overlay of yesterday");
  EXPECT_EQ(FilesIn(dir.Path()), before);
}

TEST_F(RunCliTest, PicturesStayUnwrittenWhenStandardOutputFails) {
  // A full disk under standard output (> /dev/full): no results, so no pictures either.
  std::ostream full(nullptr);
  std::ostringstream err;
  const int code = RunCli(Analyse({"--action", "N=1000", "--stress-map", dir.File("map.png"),
                                   "--overlay", dir.File("overlay.bmp")}),
                          full, err);
  EXPECT_EQ(code, 1);
  EXPECT_EQ(err.str(), "quorvane-cli: the results could not be written\n");
  EXPECT_EQ(FilesIn(dir.Path()), std::set<std::string>{"rect.bmp"});
}

TEST_F(RunCliTest, ColoursWithoutAMaterialAreAnalysedAsTheWindowMakesThemAndSaidSo) {
  const std::string path = dir.WritePicture(
      "two.bmp", MakeGrid(20, 10, kWhite, {{2, 3, 11, 6, kRed}, {12, 3, 15, 6, kLime}}));
  const CliRun run = RunTool({"analyse", path, "--width", "140", "--height", "40", "--use", "clRed",
                              "--use", "clLime", "--use", "clRed", "--json"});
  ASSERT_EQ(run.code, 0) << run.err;
  // E = rho = 1 over 56 pixels of 100 mm^2.
  EXPECT_EQ(ParseJson(run.out)["ea"].toDouble(), 5600.0);
  EXPECT_EQ(run.err,
            "quorvane-cli: note: clRed has no material in the library; it is analysed with E = 1 "
            "N/mm^2 and rho = 1 kg/m^3\n"
            "quorvane-cli: note: clLime has no material in the library; it is analysed with E = 1 "
            "N/mm^2 and rho = 1 kg/m^3\n");
  // One given a material says nothing.
  EXPECT_EQ(RunTool(Analyse()).err, "");
}

TEST_F(RunCliTest, OverlayOverTheInputPictureIsRefusedThroughAnyPathOrLink) {
  const std::string drawing = ReadAll(rect);
  std::filesystem::create_symlink(rect, dir.File("link.png"));
  std::filesystem::create_hard_link(rect, dir.File("hard.bmp"));
  std::filesystem::create_directory(dir.File("sub"));
  for (const std::string& out :
       {rect, dir.Path() + "/sub/../rect.bmp", dir.File("link.png"), dir.File("hard.bmp")}) {
    const CliRun run = RunTool(Analyse({"--overlay", out}));
    EXPECT_EQ(run.code, 1) << out;
    EXPECT_EQ(run.err, "quorvane-cli: " + out + " is the picture " + rect +
                           " itself; choose another file to write\n");
    EXPECT_EQ(run.out, "");
  }
  EXPECT_EQ(ReadAll(rect), drawing);
  // The picture given through the link is the same drawing as well.
  const CliRun viaLink = RunTool({"analyse", dir.File("link.png"), "--width", "100", "--height",
                                  "40", "--use", "clRed", "--overlay", rect});
  EXPECT_EQ(viaLink.code, 1);
  EXPECT_EQ(ReadAll(rect), drawing);
}

INSTANTIATE_TEST_SUITE_P(
    Torsion, RunCliFailureTest,
    ::testing::Values(
        FailureCase{"NuWithoutTorsion",
                    Concat({"analyse", "{dir}/rect.bmp", "--nu", "clRed=0.2"}, kGood), 2,
                    "option --nu needs --torsion\n"},
        FailureCase{"TorsionIsNoColoursOption",
                    {"colours", "{dir}/rect.bmp", "--torsion"},
                    2,
                    "unknown option '--torsion' for colours\n"},
        FailureCase{"NuOfHalf",
                    Concat({"analyse", "{dir}/rect.bmp", "--torsion", "--nu", "clRed=0.5"}, kGood),
                    1,
                    "--nu 'clRed=0.5': The Poisson's ratio of clRed must be at least 0 and "
                    "below 0.5, not 0.5.\n"},
        FailureCase{"NegativeNu",
                    Concat({"analyse", "{dir}/rect.bmp", "--torsion", "--nu", "clRed=-0.1"}, kGood),
                    1,
                    "--nu 'clRed=-0.1': The Poisson's ratio of clRed must be at least 0 and "
                    "below 0.5, not -0.1.\n"},
        FailureCase{"NuNotANumber",
                    Concat({"analyse", "{dir}/rect.bmp", "--torsion", "--nu", "clRed=0,3"}, kGood),
                    1, "--nu 'clRed=0,3': '0,3' is not a valid floating point value\n"},
        FailureCase{"NuWithoutValue",
                    Concat({"analyse", "{dir}/rect.bmp", "--torsion", "--nu", "clRed"}, kGood), 1,
                    "--nu 'clRed': expected LABEL=VALUE\n"},
        FailureCase{"NuOfAColourNotInUse",
                    Concat({"analyse", "{dir}/rect.bmp", "--torsion", "--nu", "clBlue=0.2"}, kGood),
                    1, "--nu 'clBlue=0.2': clBlue is not a colour given with --use\n"},
        FailureCase{
            "LibraryWithABadRatio",
            Concat({"analyse", "{dir}/rect.bmp", "--torsion", "--library", "{dir}/badnu.ini"},
                   kGood),
            1,
            "The Poisson's ratio of clRed in {dir}/badnu.ini cannot be read: 'x' is not "
            "a valid floating point value\n"},
        // A cap that would change nothing is more likely a forgotten --torsion.
        FailureCase{"MaxCellsWithoutTorsion",
                    Concat({"analyse", "{dir}/rect.bmp", "--max-cells", "1000"}, kGood), 2,
                    "option --max-cells needs --torsion\n"},
        // No cells at all, or fewer: nothing could be solved.
        FailureCase{"MaxCellsOfNone",
                    Concat({"analyse", "{dir}/rect.bmp", "--torsion", "--max-cells", "0"}, kGood),
                    1, "--max-cells: the cell cap must be a whole number of 1..1073741823 cells\n"},
        FailureCase{"NegativeMaxCells",
                    Concat({"analyse", "{dir}/rect.bmp", "--torsion", "--max-cells", "-5"}, kGood),
                    1, "--max-cells: the cell cap must be a whole number of 1..1073741823 cells\n"},
        FailureCase{
            "MaxCellsNotANumber",
            Concat({"analyse", "{dir}/rect.bmp", "--torsion", "--max-cells", "1e3.5"}, kGood), 1,
            "--max-cells: '1e3.5' is not a valid floating point value\n"},
        FailureCase{
            "MaxCellsWithAFraction",
            Concat({"analyse", "{dir}/rect.bmp", "--torsion", "--max-cells", "2500.5"}, kGood), 1,
            "--max-cells: the cell cap must be a whole number of 1..1073741823 cells\n"},
        // Cells are numbered in 32 bits, with room for the coarse levels.
        FailureCase{
            "MaxCellsBeyondTheNumbering",
            Concat({"analyse", "{dir}/rect.bmp", "--torsion", "--max-cells", "1073741824"}, kGood),
            1, "--max-cells: the cell cap must be a whole number of 1..1073741823 cells\n"}),
    RowName);

INSTANTIATE_TEST_SUITE_P(
    Plastic, RunCliFailureTest,
    ::testing::Values(
        FailureCase{"FyWithoutTorsion",
                    Concat({"analyse", "{dir}/rect.bmp", "--fy", "clRed=355"}, kGood), 2,
                    "option --fy needs --torsion\n"},
        FailureCase{
            "NegativeFy",
            Concat({"analyse", "{dir}/rect.bmp", "--torsion", "--fy", "clRed=17/-1"}, kGood), 1,
            "--fy 'clRed=17/-1': The strength of clRed must be at least 0 N/mm^2, not "
            "-1.\n"},
        FailureCase{"FyNotANumber",
                    Concat({"analyse", "{dir}/rect.bmp", "--torsion", "--fy", "clRed=S355"}, kGood),
                    1,
                    "--fy 'clRed=S355': The strength of clRed cannot be read: 'S355' is not a "
                    "valid floating point value\n"},
        FailureCase{"FyWithoutValue",
                    Concat({"analyse", "{dir}/rect.bmp", "--torsion", "--fy", "355"}, kGood), 1,
                    "--fy '355': expected LABEL=VALUE or LABEL=COMPRESSION/TENSION\n"},
        FailureCase{
            "FyOfAColourNotInUse",
            Concat({"analyse", "{dir}/rect.bmp", "--torsion", "--fy", "clBlue=17/0"}, kGood), 1,
            "--fy 'clBlue=17/0': clBlue is not a colour given with --use\n"},
        FailureCase{
            "LibraryWithABadStrength",
            Concat({"analyse", "{dir}/rect.bmp", "--torsion", "--library", "{dir}/badfy.ini"},
                   kGood),
            1, "The strength of clRed must be at least 0 N/mm^2, not -5. ({dir}/badfy.ini)\n"}),
    RowName);

}  // namespace
}  // namespace qv::test
