// DXF drawings written as text by the tests: the outlines, colours and units read from them,
// and the refusals.
#include "core/outline/dxf_reader.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "core/base/error.h"
#include "core/outline/outline_regions.h"
#include "support/row_name.h"

namespace qv::test {
namespace {

constexpr double kPi = std::numbers::pi;

// A DXF file of `entities` (group code and value lines) with $INSUNITS `units` and the layer
// "steel" of colour index 5.
std::string Dxf(const std::string& entities, int units = 4) {
  return "0\nSECTION\n2\nHEADER\n9\n$INSUNITS\n70\n" + std::to_string(units) +
         "\n0\nENDSEC\n0\nSECTION\n2\nTABLES\n0\nTABLE\n2\nLAYER\n0\nLAYER\n2\nsteel\n70\n0\n62\n5"
         "\n"
         "0\nENDTAB\n0\nENDSEC\n0\nSECTION\n2\nENTITIES\n" +
         entities + "0\nENDSEC\n0\nEOF\n";
}

std::string Rectangle(double x0, double y0, double x1, double y1, const std::string& colour) {
  std::ostringstream s;
  s << "0\nLWPOLYLINE\n8\n0\n" << colour << "90\n4\n70\n1\n";
  for (const auto& [x, y] :
       std::vector<std::pair<double, double>>{{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}}) {
    s << "10\n" << x << "\n20\n" << y << "\n";
  }
  return s.str();
}

std::string CircleEntity(double cx, double cy, double r, const std::string& colour) {
  std::ostringstream s;
  s << "0\nCIRCLE\n8\n0\n" << colour << "10\n" << cx << "\n20\n" << cy << "\n40\n" << r << "\n";
  return s.str();
}

std::string Line(double x0, double y0, double x1, double y1) {
  std::ostringstream s;
  s << "0\nLINE\n8\n0\n62\n2\n10\n"
    << x0 << "\n20\n"
    << y0 << "\n11\n"
    << x1 << "\n21\n"
    << y1 << "\n";
  return s.str();
}

OutlineDrawing Read(const std::string& text, std::int64_t maxVertices = kMaxOutlineVertices) {
  std::istringstream in(text);
  return ReadDxf(in, "test.dxf", maxVertices);
}

double AreaOf(const OutlineDrawing& drawing, std::uint32_t colour) {
  return RegionMoments(MaterialBoundaries(drawing, {colour})[0]).A;
}

struct DxfCase {
  const char* comment;
  std::string text;
  std::uint32_t colour;  ///< the material read
  double area;           ///< mm^2, by hand
  double tolerance;      ///< relative
  std::int64_t ignored;
};

void PrintTo(const DxfCase& c, std::ostream* os) { *os << c.comment; }

class DxfDrawings : public testing::TestWithParam<DxfCase> {};

TEST_P(DxfDrawings, ReadTheOutlinesColoursAndUnits) {
  const DxfCase& c = GetParam();
  const OutlineDrawing drawing = Read(c.text);
  EXPECT_NEAR(AreaOf(drawing, c.colour), c.area, c.tolerance * c.area);
  EXPECT_EQ(drawing.ignored, c.ignored);
}

INSTANTIATE_TEST_SUITE_P(
    Table, DxfDrawings,
    testing::Values(
        // Index 1 is red; the circle of the same colour inside is a hole.
        DxfCase{"a red plate with a hole",
                Dxf(Rectangle(0, 0, 200, 100, "62\n1\n") + CircleEntity(80, 60, 30, "62\n1\n")),
                0x0000FF, 200 * 100 - kPi * 900, 1e-12, 0},
        // Three lines and a half-circle arc (0 to 180 degrees) drawn in any order close a loop.
        DxfCase{"lines and an arc forming a loop",
                Dxf(Line(10, 0, 10, -20) + Line(-10, -20, -10, 0) + Line(10, -20, -10, -20) +
                    "0\nARC\n8\n0\n62\n2\n10\n0\n20\n0\n40\n10\n50\n0\n51\n180\n"),
                0x00FFFF, 20 * 20 + kPi * 100 / 2, 1e-12, 0},
        // The second plate's hole drawn after it, the first's after both: holes alike.
        DxfCase{"two plates with their holes drawn last",
                Dxf(Rectangle(0, 0, 100, 100, "62\n1\n") + Rectangle(200, 0, 300, 100, "62\n1\n") +
                    CircleEntity(250, 50, 20, "62\n1\n") + CircleEntity(50, 50, 20, "62\n1\n")),
                0x0000FF, 2 * (10000 - kPi * 400), 1e-12, 0},
        // An arc seen from below (extrusion 0, 0, -1): its centre (30, 0) is (-30, 0) in the
        // drawing, where the lines meet its ends.
        DxfCase{"a mirrored arc closing lines",
                Dxf(Line(-40, 0, -40, -20) + Line(-40, -20, -20, -20) + Line(-20, -20, -20, 0) +
                    "0\nARC\n8\n0\n62\n2\n10\n30\n20\n0\n40\n10\n210\n0\n220\n0\n230\n-1\n"
                    "50\n0\n51\n180\n"),
                0x00FFFF, 400 + kPi * 100 / 2, 1e-12, 0},
        // $INSUNITS 1: inches.
        DxfCase{"a square inch", Dxf(Rectangle(0, 0, 1, 1, "62\n3\n"), 1), 0x00FF00, 645.16, 1e-12,
                0},
        // $INSUNITS 6: metres.
        DxfCase{"a plate in metres", Dxf(Rectangle(0, 0, 0.3, 0.01, "62\n3\n"), 6), 0x00FF00, 3000,
                1e-12, 0},
        // True colour 0x123456 (red 0x12) is the pixel $00563412.
        DxfCase{"a true colour", Dxf(Rectangle(0, 0, 10, 10, "62\n1\n420\n1193046\n")), 0x563412,
                100, 1e-12, 0},
        // No colour of its own (256 is by layer): the layer's, index 5, blue.
        DxfCase{"the layer's colour",
                Dxf("0\nLWPOLYLINE\n8\nsteel\n62\n256\n90\n3\n70\n1\n10\n0\n20\n0\n10\n10\n20\n0\n"
                    "10\n0\n20\n10\n"),
                0xFF0000, 50, 1e-12, 0},
        // An ellipse of semi-axes 20 and 10, flattened within 1e-6 of its size.
        DxfCase{"a full ellipse",
                Dxf("0\nELLIPSE\n8\n0\n62\n1\n10\n0\n20\n0\n11\n20\n21\n0\n40\n0.5\n41\n0\n42\n"
                    "6.283185307179586\n"),
                0x0000FF, kPi * 20 * 10, 1e-5, 0},
        // A closed spline of degree 1 through the corners of a square.
        DxfCase{
            "a closed spline",
            Dxf("0\nSPLINE\n8\n0\n62\n1\n70\n1\n71\n1\n72\n6\n73\n4\n40\n0\n40\n0\n40\n1\n40\n"
                "2\n40\n3\n40\n3\n10\n0\n20\n0\n10\n30\n20\n0\n10\n30\n20\n30\n10\n0\n20\n30\n"),
            0x0000FF, 900, 1e-12, 0},
        // A solid hatch whose boundary is four line edges.
        DxfCase{"a hatch boundary",
                Dxf("0\nHATCH\n8\n0\n62\n1\n2\nSOLID\n70\n1\n71\n0\n91\n1\n92\n1\n93\n4\n"
                    "72\n1\n10\n0\n20\n0\n11\n40\n21\n0\n72\n1\n10\n40\n20\n0\n11\n40\n21\n10\n"
                    "72\n1\n10\n40\n20\n10\n11\n0\n21\n10\n72\n1\n10\n0\n20\n10\n11\n0\n21\n0\n"
                    "75\n0\n76\n1\n98\n0\n"),
                0x0000FF, 400, 1e-12, 0},
        // A hatch bounded by a half-circle arc edge (0 to 180 degrees) and its diameter.
        DxfCase{"a hatch with an arc edge",
                Dxf("0\nHATCH\n8\n0\n62\n1\n2\nSOLID\n70\n1\n71\n0\n91\n1\n92\n1\n93\n2\n"
                    "72\n2\n10\n0\n20\n0\n40\n10\n50\n0\n51\n180\n73\n1\n"
                    "72\n1\n10\n-10\n20\n0\n11\n10\n21\n0\n75\n0\n76\n1\n98\n0\n"),
                0x0000FF, kPi * 100 / 2, 1e-12, 0},
        // The older POLYLINE of VERTEX entities: a bulge of 1 on the top edge, a half circle.
        DxfCase{"a polyline of vertices with a bulge",
                Dxf("0\nPOLYLINE\n8\n0\n62\n1\n66\n1\n70\n1\n"
                    "0\nVERTEX\n8\n0\n10\n0\n20\n0\n0\nVERTEX\n8\n0\n10\n20\n20\n0\n"
                    "0\nVERTEX\n8\n0\n10\n20\n20\n10\n42\n1\n0\nVERTEX\n8\n0\n10\n0\n20\n10\n"
                    "0\nSEQEND\n8\n0\n"),
                0x0000FF, 200 + kPi * 100 / 2, 1e-12, 0},
        // Text and an open line are left out and counted.
        DxfCase{"text and an open line beside a plate",
                Dxf(Rectangle(0, 0, 10, 10, "62\n1\n") + Line(20, 0, 30, 0) +
                    "0\nTEXT\n8\n0\n10\n0\n20\n0\n40\n2.5\n1\nIPE\n"),
                0x0000FF, 100, 1e-12, 2}),
    RowName);

TEST(DxfReaderTest, PlateWithHoleGivesExactCentreAndSecondMoments) {
  const OutlineDrawing drawing =
      Read(Dxf(Rectangle(0, 0, 200, 100, "62\n1\n") + CircleEntity(80, 60, 30, "62\n1\n")));
  MaterialMoments steel;
  steel.colour = 0x0000FF;
  steel.E = 1;
  const OutlineSection s = OutlineSectionOf(drawing, {steel});
  // The plate less the disc, by the parallel-axis rule.
  const double ap = 20000;
  const double ad = kPi * 900;
  const double a = ap - ad;
  const double xc = (ap * 100 - ad * 80) / a;
  const double yc = (ap * 50 - ad * 60) / a;
  const double ixx = ap * (100 * 100 + 200 * 200 / 12.0) - ad * (80 * 80 + 900 / 4.0);
  const double iyy = ap * (50 * 50 + 100 * 100 / 12.0) - ad * (60 * 60 + 900 / 4.0);
  const double ixy = ap * 100 * 50 - ad * 80 * 60;
  EXPECT_NEAR(s.EA, a, 1e-9 * a);
  EXPECT_NEAR(s.centre.x, xc, 1e-9 * xc);
  EXPECT_NEAR(s.centre.y, yc, 1e-9 * yc);
  const double eiyy = ixx - a * xc * xc;
  const double eizz = iyy - a * yc * yc;
  EXPECT_NEAR(s.EIyy, eiyy, 1e-9 * eiyy);
  EXPECT_NEAR(s.EIzz, eizz, 1e-9 * eiyy);
  EXPECT_NEAR(s.EIyz, ixy - a * xc * yc, 1e-9 * eiyy);
}

TEST(DxfReaderTest, ExampleIpe300HasTheStandardArea) {
  const OutlineDrawing drawing = ReadDxfFile(std::filesystem::path(QV_TEST_DATA_DIR) / ".." / ".." /
                                             "examples" / "ipe300.dxf");
  const double a = 2 * 150 * 10.7 + (300 - 2 * 10.7) * 7.1 + (4 - kPi) * 15 * 15;
  EXPECT_NEAR(AreaOf(drawing, 0x0000FF), a, 1e-9 * a);
}

struct Refusal {
  const char* comment;
  std::string text;
  std::int64_t maxVertices;
  const char* reason;
};

void PrintTo(const Refusal& r, std::ostream* os) { *os << r.comment; }

class DxfRefusals : public testing::TestWithParam<Refusal> {};

TEST_P(DxfRefusals, NameTheReason) {
  const Refusal& r = GetParam();
  std::string text = r.text;
  if (const auto at = text.find("12345"); at != std::string::npos) text.replace(at, 5, "1e999");
  try {
    Read(text, r.maxVertices);
    FAIL() << "read";
  } catch (const Error& e) {
    EXPECT_EQ(std::string(e.what()), std::string("Cannot read drawing test.dxf: ") + r.reason);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table, DxfRefusals,
    testing::Values(
        Refusal{"open lines only", Dxf(Line(0, 0, 10, 0) + Line(10, 0, 10, 10)), 100,
                "it holds no closed outline"},
        Refusal{"no DXF at all", "hello\nworld\n", 100, "it holds no closed outline"},
        // The limit lowered to 3 stands for 10^7: the count is the same code.
        Refusal{"more corners than allowed", Dxf(Rectangle(0, 0, 1, 1, "62\n1\n")), 3,
                "it holds more than 3 outline corners"},
        // A bow tie: which side is inside changes where the edges cross.
        Refusal{"an outline crossing itself",
                Dxf("0\nLWPOLYLINE\n8\n0\n62\n1\n90\n4\n70\n1\n10\n0\n20\n0\n10\n10\n20\n10\n"
                    "10\n10\n20\n0\n10\n0\n20\n10\n"),
                100, "an outline crosses itself"},
        Refusal{"a unit of miles", Dxf(Rectangle(0, 0, 1, 1, "62\n1\n"), 3), 100,
                "its unit (INSUNITS 3) is no length of a section"},
        Refusal{"a unit of kilometres", Dxf(Rectangle(0, 0, 20, 1, "62\n1\n"), 7), 100,
                "its unit (INSUNITS 7) is no length of a section"},
        Refusal{"a coordinate beyond 10 km", Dxf(Rectangle(0, 0, 2e7, 1, "62\n1\n")), 100,
                "it reaches beyond 10 km from its origin"},
        // Beyond the range of a double: read as the largest number or as infinity.
        Refusal{"a coordinate beyond any number", Dxf(Rectangle(0, 0, 12345, 1, "62\n1\n")), 100,
                "it reaches beyond 10 km from its origin"}),
    RowName);

TEST(DxfReaderTest, RefusesAFileLargerThanTheLimitUnread) {
  const std::filesystem::path file =
      std::filesystem::temp_directory_path() / ("qv_large_" + std::to_string(::getpid()) + ".dxf");
  { std::ofstream(file) << "0\n"; }
  std::filesystem::resize_file(file, kMaxDxfBytes + 1);  // sparse: no disk is written
  try {
    ReadDxfFile(file);
    ADD_FAILURE() << "read";
  } catch (const Error& e) {
    EXPECT_EQ(std::string(e.what()),
              "Cannot read drawing " + file.filename().string() + ": it is larger than 256 MB");
  }
  std::filesystem::remove(file);
}

}  // namespace
}  // namespace qv::test
