// SVG drawings written by the tests: the outlines, colours, units and transforms read from them
// against areas and second moments by hand, and the refusals.
#include "imaging/svg_reader.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <ostream>
#include <string>

#include "core/base/error.h"
#include "core/outline/outline_regions.h"
#include "support/row_name.h"

namespace qv::test {
namespace {

constexpr double kPi = std::numbers::pi;
constexpr std::uint32_t kRed = 0x0000FF;   // #ff0000 as a pixel, 0x00BBGGRR
constexpr std::uint32_t kBlue = 0xFF0000;  // #0000ff
constexpr std::uint32_t kGrey = 0x808080;

// The IPE 300: depth, width, web, flanges, root radius (mm).
constexpr double kH = 300;
constexpr double kB = 150;
constexpr double kTw = 7.1;
constexpr double kTf = 10.7;
constexpr double kR = 15;
// Its outline from the top left corner (x0, y0), clockwise on the page, the root fillets as arcs.
const char* const kIpePath =
    "M0,0 H150 V10.7 H93.55 A15,15 0 0 0 78.55,25.7 V274.3 A15,15 0 0 0 93.55,289.3 H150 V300 "
    "H0 V289.3 H56.45 A15,15 0 0 0 71.45,274.3 V25.7 A15,15 0 0 0 56.45,10.7 H0 Z";

// A drawing of `body` on a page of `size` (width, height and viewBox attributes).
std::string Svg(const std::string& body,
                const std::string& size = R"(width="200mm" height="100mm" viewBox="0 0 200 100")") {
  return R"(<svg xmlns="http://www.w3.org/2000/svg" )" + size + ">" + body + "</svg>";
}

OutlineDrawing Read(const std::string& text) {
  return ReadSvg(QByteArray::fromStdString(text), "test.svg");
}

double AreaOf(const OutlineDrawing& drawing, std::uint32_t colour) {
  return RegionMoments(MaterialBoundaries(drawing, {colour})[0]).A;
}

// Moments of the IPE about its centre, by parts: flanges, web, and four fillet spandrels (a
// square r x r less a quarter disc), each spandrel's moments taken about its corner first.
struct IpeMoments {
  double A = 0;
  double strong = 0;  // about the horizontal axis
  double weak = 0;    // about the vertical axis
};

IpeMoments Ipe() {
  const double r = kR;
  const double as = (1 - kPi / 4) * r * r;               // spandrel area
  const double ss = (5.0 / 6.0 - kPi / 4) * r * r * r;   // its first moment from the corner
  const double is = (1 - 5 * kPi / 16) * r * r * r * r;  // its second moment from the corner
  const double web = kH - 2 * kTf;
  const double c = kH / 2 - kTf;  // corner to the horizontal axis
  const double d = kTw / 2;       // corner to the vertical axis
  IpeMoments m;
  m.A = 2 * kB * kTf + web * kTw + 4 * as;
  m.strong = 2 * (kB * kTf * kTf * kTf / 12 + kB * kTf * std::pow(kH / 2 - kTf / 2, 2)) +
             kTw * web * web * web / 12 + 4 * (c * c * as - 2 * c * ss + is);
  m.weak =
      2 * kTf * kB * kB * kB / 12 + web * kTw * kTw * kTw / 12 + 4 * (d * d * as + 2 * d * ss + is);
  return m;
}

// The area of a unit circle drawn as four cubic Bezier quarters of handle length k.
double BezierCircle(double k) { return 2 + 12 * k / 5 - 3 * k * k / 5; }

struct SvgCase {
  const char* comment;
  std::string text;
  std::uint32_t colour;  ///< the material read
  double area;           ///< mm^2, by hand
  double tolerance;      ///< relative
  std::int64_t ignored;
};

void PrintTo(const SvgCase& c, std::ostream* os) { *os << c.comment; }

class SvgDrawings : public testing::TestWithParam<SvgCase> {};

TEST_P(SvgDrawings, ReadTheShapesColoursAndUnits) {
  const SvgCase& c = GetParam();
  const OutlineDrawing drawing = Read(c.text);
  EXPECT_NEAR(AreaOf(drawing, c.colour), c.area, c.tolerance * c.area);
  EXPECT_EQ(drawing.ignored, c.ignored);
}

INSTANTIATE_TEST_SUITE_P(
    Table, SvgDrawings,
    testing::Values(
        SvgCase{"a rectangle", Svg(R"(<rect x="10" y="20" width="100.5" height="30" fill="red"/>)"),
                kRed, 100.5 * 30, 1e-12, 0},
        // Qt's rounded corners are Bezier quarter circles of a 10-digit kappa: read as arcs.
        SvgCase{"a rectangle with round corners",
                Svg(R"(<rect width="100" height="50" rx="10" fill="red"/>)"), kRed,
                100 * 50 - (4 - kPi) * 100, 1e-12, 0},
        SvgCase{"a circle", Svg(R"(<circle cx="50" cy="50" r="20" fill="#0000ff"/>)"), kBlue,
                kPi * 400, 1e-12, 0},
        // Flattened within 1e-6 of the drawing's size.
        SvgCase{"an ellipse", Svg(R"(<ellipse cx="50" cy="50" rx="40" ry="10" fill="red"/>)"), kRed,
                kPi * 400, 1e-5, 0},
        SvgCase{"a polygon", Svg(R"(<polygon points="0,0 60,0 0,40" fill="red"/>)"), kRed, 1200,
                1e-12, 0},
        SvgCase{"a hole under the even-odd rule",
                Svg(R"(<path fill-rule="evenodd" fill="red" d="M0,0 H100 V100 H0 Z )"
                    R"(M25,25 H75 V75 H25 Z"/>)"),
                kRed, 10000 - 2500, 1e-12, 0},
        // The inner loop runs the other way: the winding there is 0.
        SvgCase{"a hole under the non-zero rule",
                Svg(R"(<path fill="red" d="M0,0 H100 V100 H0 Z M25,25 V75 H75 V25 Z"/>)"), kRed,
                10000 - 2500, 1e-12, 0},
        // Both loops the same way: the winding inside is 2, still filled.
        SvgCase{"no hole under the non-zero rule",
                Svg(R"(<path fill="red" d="M0,0 H100 V100 H0 Z M25,25 H75 V75 H25 Z"/>)"), kRed,
                10000, 1e-12, 0},
        SvgCase{"a circular hole by arcs under the non-zero rule",
                Svg(R"(<path fill="red" d="M0,0 H100 V100 H0 Z M30,50 A20,20 0 0 0 70,50 )"
                    R"(A20,20 0 0 0 30,50 Z"/>)"),
                kRed, 10000 - kPi * 400, 1e-12, 0},
        // The blue square drawn later covers a quarter of the red one.
        SvgCase{"a later shape over an earlier one",
                Svg(R"(<rect width="40" height="40" fill="red"/>)"
                    R"(<rect x="20" y="20" width="40" height="40" fill="blue"/>)"),
                kRed, 1600 - 400, 1e-12, 0},
        SvgCase{"a page in centimetres",
                Svg(R"(<rect width="2" height="3" fill="red"/>)",
                    R"(width="10cm" height="10cm" viewBox="0 0 10 10")"),
                kRed, 600, 1e-12, 0},
        SvgCase{"a page in inches",
                Svg(R"(<rect width="1" height="1" fill="red"/>)",
                    R"(width="2in" height="1in" viewBox="0 0 2 1")"),
                kRed, 645.16, 1e-12, 0},
        // No unit: one user unit is one mm, whatever the page's width in pixels.
        SvgCase{"a page without units",
                Svg(R"(<rect width="10" height="10" fill="red"/>)",
                    R"(width="800" height="400" viewBox="0 0 200 100")"),
                kRed, 100, 1e-12, 0},
        // A physical size without a viewBox: the user unit is the CSS pixel, 96 to the inch.
        SvgCase{
            "a page in mm without a viewBox",
            Svg(R"(<rect width="96" height="96" fill="red"/>)", R"(width="50mm" height="50mm")"),
            kRed, 645.16, 1e-12, 0},
        // Scaled by 2, rotated by 30 degrees and moved: a circle stays a circle.
        SvgCase{"a circle in a transformed group",
                Svg(R"x(<g transform="translate(100,50) rotate(30) scale(2)">)x"
                    R"(<circle r="10" fill="red"/><rect x="20" width="10" height="5" fill="red"/>)"
                    R"(</g>)"),
                kRed, 4 * (kPi * 100 + 50), 1e-12, 0},
        // Scaled in x only: the circle is an ellipse of semi-axes 30 and 10.
        SvgCase{
            "a circle stretched into an ellipse",
            Svg(R"x(<g transform="translate(50,50) scale(3,1)"><circle r="10" fill="red"/></g>)x"),
            kRed, kPi * 300, 1e-5, 0},
        // An arc stretched by the group is no circular arc any more: its Bezier curves (Qt's
        // quarter circles, k = 4/3 tan(pi/8)) are flattened, and their area is
        // 2 r^2 (2 + 12 k / 5 - 3 k^2 / 5), not 2 pi r^2.
        SvgCase{"an arc stretched by its group",
                Svg(R"x(<g transform="scale(2,1)"><path fill="red" d="M10,50 A20,20 0 0 1 50,50 )x"
                    R"(A20,20 0 0 1 10,50 Z"/></g>)"),
                kRed, 2 * 400 * BezierCircle(4.0 / 3 * std::tan(kPi / 8)), 1e-5, 0},
        // A line, a stroke-only rectangle and a text (painted in runs) are counted once each;
        // the stroke of the filled rectangle is part of it.
        SvgCase{"strokes and text beside a filled shape",
                Svg(R"(<rect width="10" height="10" fill="red" stroke="black"/>)"
                    R"(<line x1="0" y1="50" x2="90" y2="50" stroke="black"/>)"
                    R"(<rect x="50" width="10" height="10" fill="none" stroke="black"/>)"
                    R"(<text x="20" y="80" font-size="8">IPE 300 and a slab</text>)"),
                kRed, 100, 1e-12, 3},
        // Qt fills a polyline as a polygon, then strokes it as an open line: one shape.
        SvgCase{"a filled polyline with its stroke",
                Svg(R"(<polyline points="0,0 60,0 0,40" fill="red" stroke="black"/>)"), kRed, 1200,
                1e-12, 0},
        // A gradient has no one colour: counted and left out.
        SvgCase{"a gradient fill",
                Svg(R"(<defs><linearGradient id="g"><stop offset="0" stop-color="red"/>)"
                    R"(<stop offset="1" stop-color="blue"/></linearGradient></defs>)"
                    R"(<rect width="10" height="10" fill="red"/>)"
                    R"x(<rect x="50" width="10" height="10" fill="url(#g)"/>)x"),
                kRed, 100, 1e-12, 1}),
    RowName);

TEST(SvgReaderTest, IpeWithRootFilletsIsExact) {
  const OutlineDrawing drawing =
      Read(Svg(std::string(R"(<path fill="red" d=")") + kIpePath + R"("/>)",
               R"(width="150mm" height="300mm" viewBox="0 0 150 300")"));
  MaterialMoments steel;
  steel.colour = kRed;
  steel.E = 1;
  const OutlineSection s = OutlineSectionOf(drawing, {steel});
  const IpeMoments ipe = Ipe();
  EXPECT_NEAR(ipe.A, 5381.2, 0.05);  // the tables' value
  EXPECT_NEAR(s.EA, ipe.A, 1e-9 * ipe.A);
  EXPECT_NEAR(s.centre.x, 75, 1e-9 * 75);
  EXPECT_NEAR(s.centre.y, 150, 1e-9 * 150);
  EXPECT_NEAR(s.EIzz, ipe.strong, 1e-9 * ipe.strong);
  EXPECT_NEAR(s.EIyy, ipe.weak, 1e-9 * ipe.weak);
  EXPECT_NEAR(s.EIyz, 0, 1e-9 * ipe.weak);
}

// The example: the slab (centre 375 mm above the page's foot) over the IPE (centre at 150).
TEST(SvgReaderTest, ExampleCompositeGivesEAAndEIByHand) {
  const OutlineDrawing drawing = ReadSvgFile(
      (std::filesystem::path(QV_TEST_DATA_DIR) / ".." / ".." / "examples" / "composite.svg")
          .string());
  MaterialMoments concrete;
  concrete.colour = kGrey;
  concrete.E = 30000;
  MaterialMoments steel;
  steel.colour = kRed;
  steel.E = 210000;
  const OutlineSection s = OutlineSectionOf(drawing, {concrete, steel});
  const IpeMoments ipe = Ipe();
  const double slabA = 1000 * 150;
  const double ea = concrete.E * slabA + steel.E * ipe.A;
  const double yc = (concrete.E * slabA * 375 + steel.E * ipe.A * 150) / ea;
  const double ei = concrete.E * (1000 * std::pow(150, 3) / 12 + slabA * std::pow(375 - yc, 2)) +
                    steel.E * (ipe.strong + ipe.A * std::pow(150 - yc, 2));
  const double eiWeak = concrete.E * 150 * std::pow(1000, 3) / 12 + steel.E * ipe.weak;
  EXPECT_NEAR(s.EA, ea, 1e-9 * ea);
  EXPECT_NEAR(s.centre.x, 500, 1e-9 * 500);
  EXPECT_NEAR(s.centre.y, yc, 1e-9 * yc);
  EXPECT_NEAR(s.EIzz, ei, 1e-9 * ei);
  EXPECT_NEAR(s.EIyy, eiWeak, 1e-9 * eiWeak);
}

struct Refusal {
  const char* comment;
  std::string text;
  SvgLimits limits;
  const char* reason;
};

void PrintTo(const Refusal& r, std::ostream* os) { *os << r.comment; }

class SvgRefusals : public testing::TestWithParam<Refusal> {};

// Through a file, as the programs read drawings.
TEST_P(SvgRefusals, NameTheReason) {
  const Refusal& r = GetParam();
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("qv_svg_" + std::to_string(::getpid()));
  std::filesystem::create_directories(folder);
  const std::filesystem::path file = folder / "test.svg";
  { std::ofstream(file, std::ios::binary) << r.text; }
  try {
    ReadSvgFile(file.string(), r.limits);
    ADD_FAILURE() << "read";
  } catch (const Error& e) {
    EXPECT_EQ(std::string(e.what()), std::string("Cannot read drawing test.svg: ") + r.reason);
  }
  std::filesystem::remove_all(folder);
}

const std::string kSquare = R"(<rect width="10" height="10" fill="red"/>)";

// A strip whose top edge is `n` Bezier waves: more than Qt SVG reads of one path.
std::string Waves(int n) {
  std::string d = "M0,0";
  for (int i = 0; i < n; ++i) {
    d += " c3,5 7,-5 10,0";
  }
  return Svg(R"(<path fill="red" d=")" + d + R"( v100 H0 Z"/>)", R"(viewBox="0 0 1 1")");
}

INSTANTIATE_TEST_SUITE_P(
    Table, SvgRefusals,
    testing::Values(
        Refusal{"malformed XML",
                "<svg xmlns=\"http://www.w3.org/2000/svg\">\n<rect>\n</svg>",
                {},
                "its XML is malformed at line 3: Opening and ending tag mismatch."},
        Refusal{"no SVG at all", "<html><body/></html>", {}, "it is no SVG drawing"},
        Refusal{"a script",
                Svg(kSquare + "<script>alert(1)</script>"),
                {},
                "it holds an element <script>, which is not read"},
        Refusal{"a foreign object",
                Svg(kSquare + "<foreignObject/>"),
                {},
                "it holds an element <foreignObject>, which is not read"},
        Refusal{"an image",
                Svg(kSquare + R"(<image href="#x" width="1" height="1"/>)"),
                {},
                "it holds an element <image>, which is not read"},
        Refusal{"a use of another file",
                Svg(kSquare + R"(<use xmlns:xlink="http://www.w3.org/1999/xlink" )"
                              R"(xlink:href="other.svg#part"/>)"),
                {},
                "it refers to a file outside it"},
        Refusal{"a fill from another file",
                Svg(R"x(<rect width="10" height="10" fill="url(http://example.org/g.svg#g)"/>)x"),
                {},
                "it refers to a file outside it"},
        Refusal{"an entity declaration",
                "<!DOCTYPE svg [<!ENTITY e \"x\">]>" + Svg(kSquare),
                {},
                "it declares entities"},
        Refusal{"a width of a million km",
                Svg(kSquare, R"(width="1e12mm" height="10mm" viewBox="0 0 10 10")"),
                {},
                "its width \"1e12mm\" is no size of a section"},
        Refusal{"a negative height",
                Svg(kSquare, R"(width="10mm" height="-10mm" viewBox="0 0 10 10")"),
                {},
                "its height \"-10mm\" is no size of a section"},
        Refusal{"a width in font sizes",
                Svg(kSquare, R"(width="3em" height="10mm" viewBox="0 0 10 10")"),
                {},
                "its width \"3em\" is no size"},
        Refusal{"an empty viewBox",
                Svg(kSquare, R"(viewBox="0 0 0 10")"),
                {},
                "its viewBox \"0 0 0 10\" is no area"},
        Refusal{"a coordinate beyond 10 km",
                Svg(R"(<rect width="2e7" height="10" fill="red"/>)"),
                {},
                "it reaches beyond 10 km from its origin"},
        Refusal{"strokes only",
                Svg(R"(<line x2="10" y2="10" stroke="red"/>)"),
                {},
                "it holds no closed outline"},
        // A plus sign of two bars: whether the middle is filled twice depends on the rule.
        Refusal{"crossing loops under the non-zero rule",
                Svg(R"(<path fill="red" d="M0,40 H100 V60 H0 Z M40,0 H60 V100 H40 Z"/>)"),
                {},
                "a shape filled by the non-zero rule has loops that cross each other"},
        Refusal{"an outline crossing itself",
                Svg(R"(<polygon fill="red" fill-rule="evenodd" points="0,0 10,10 10,0 0,10"/>)"),
                {},
                "an outline crosses itself"},
        // Qt SVG draws a path up to where it stops reading it, and only warns.
        Refusal{"a path Qt SVG reads in part",
                Waves(20000),
                {},
                "Qt SVG reads it only in part (Invalid path data; path truncated.)"},
        // The limits lowered stand for the real ones: the checks are the same code.
        Refusal{"more corners than allowed",
                Svg(kSquare),
                {kMaxSvgBytes, 3},
                "it holds more than 3 outline corners"},
        Refusal{"a file larger than allowed",
                Svg(kSquare),
                {100, kMaxOutlineVertices},
                "it is larger than 100 bytes"}),
    RowName);

}  // namespace
}  // namespace qv::test
