// The exact section values of outlines against hand compositions of rectangles, discs and
// fillet spandrels by the parallel-axis rule.
#include "core/outline/outline_regions.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <numbers>
#include <ostream>
#include <vector>

#include "support/outline_sections.h"
#include "support/row_name.h"

namespace qv::test {
namespace {

constexpr double kPi = std::numbers::pi;
constexpr std::uint32_t kRed = 0x0000FF;
constexpr std::uint32_t kBlue = 0xFF0000;
constexpr std::uint32_t kWhite = 0xFFFFFF;
// A quarter arc's bulge: tan(pi / 8).

struct Part {
  double E = 0;
  double A = 0;
  double Sx = 0;
  double Sy = 0;
  double Ixx = 0;
  double Iyy = 0;
  double Ixy = 0;
};

Part Rect(double E, double x0, double y0, double x1, double y1) {
  const double w = x1 - x0;
  const double h = y1 - y0;
  const double a = w * h;
  const double cx = 0.5 * (x0 + x1);
  const double cy = 0.5 * (y0 + y1);
  return {E,          a, a * cx, a * cy, a * (cx * cx + w * w / 12), a * (cy * cy + h * h / 12),
          a * cx * cy};
}

Part Disc(double E, double cx, double cy, double r) {
  const double a = kPi * r * r;
  return {E, a, a * cx, a * cy, a * (cx * cx + r * r / 4), a * (cy * cy + r * r / 4), a * cx * cy};
}

Part Negative(Part p) {
  p.A = -p.A;
  p.Sx = -p.Sx;
  p.Sy = -p.Sy;
  p.Ixx = -p.Ixx;
  p.Iyy = -p.Iyy;
  p.Ixy = -p.Ixy;
  return p;
}

// The square r x r at the corner (x0, y0), reaching sx, sy, less the quarter disc of radius r
// centred at its far corner: a root fillet's material.
Part Spandrel(double E, double x0, double y0, double sx, double sy, double r) {
  const double a = r * r * (1 - kPi / 4);
  const double q = r * r * r * (5.0 / 6 - kPi / 4);
  const double i = r * r * r * r * (1 - 5 * kPi / 16);
  const double iuv = r * r * r * r * (19.0 / 24 - kPi / 4);
  return {E,
          a,
          x0 * a + sx * q,
          y0 * a + sy * q,
          x0 * x0 * a + 2 * x0 * sx * q + i,
          y0 * y0 * a + 2 * y0 * sy * q + i,
          x0 * y0 * a + (x0 * sy + y0 * sx) * q + sx * sy * iuv};
}

OutlineLoop Box(double x0, double y0, double x1, double y1) {
  return {{{x0, y0, 0}, {x1, y0, 0}, {x1, y1, 0}, {x0, y1, 0}}};
}

OutlineLoop Circle(double cx, double cy, double r) { return {{{cx - r, cy, 1}, {cx + r, cy, 1}}}; }

// A regular polygon of n corners on the circle of radius r about the origin.
OutlineLoop Polygon(int n, double r) {
  OutlineLoop loop;
  for (int i = 0; i < n; ++i) {
    const double angle = 2 * kPi * i / n;
    loop.vertices.push_back({r * std::cos(angle), r * std::sin(angle), 0});
  }
  return loop;
}

// Its area n/2 r^2 sin(2 pi / n) and second moment n r^4 / 24 sin(2 pi / n) (2 + cos(2 pi / n)).
Part RegularPolygon(double E, int n, double r) {
  const double t = 2 * kPi / n;
  const double a = n / 2.0 * r * r * std::sin(t);
  const double i = n * r * r * r * r / 24 * std::sin(t) * (2 + std::cos(t));
  return {E, a, 0, 0, i, i, 0};
}

// IPE 300 with root fillets, centred on the origin, counter-clockwise.
constexpr double kH = 300;
constexpr double kB = 150;
constexpr double kTw = 7.1;
constexpr double kTf = 10.7;
constexpr double kR = 15;

OutlineLoop Ipe300() { return RolledILoop(); }

// The IPE's web and fillets (both flanges left out).
std::vector<Part> IpeCore(double E) {
  const double w = kTw / 2;
  const double f = kH / 2 - kTf;
  return {Rect(E, -w, -f, w, f), Spandrel(E, w, f, 1, -1, kR), Spandrel(E, -w, f, -1, -1, kR),
          Spandrel(E, w, -f, 1, 1, kR), Spandrel(E, -w, -f, -1, 1, kR)};
}

struct Case {
  const char* comment;
  std::function<OutlineDrawing()> drawing;
  std::vector<MaterialMoments> materials;
  std::function<std::vector<Part>()> parts;
  double tolerance = 1e-9;  ///< relative
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.comment; }

MaterialMoments Material(std::uint32_t colour, double e, double rho) {
  MaterialMoments m;
  m.colour = colour;
  m.E = e;
  m.rho = rho;
  return m;
}

class OutlineSectionTable : public testing::TestWithParam<Case> {};

TEST_P(OutlineSectionTable, MatchesTheHandComposition) {
  const Case& c = GetParam();
  const OutlineSection s = OutlineSectionOf(c.drawing(), c.materials);
  double ea = 0;
  double sx = 0;
  double sy = 0;
  double ixx = 0;
  double iyy = 0;
  double ixy = 0;
  for (const Part& p : c.parts()) {
    ea += p.E * p.A;
    sx += p.E * p.Sx;
    sy += p.E * p.Sy;
    ixx += p.E * p.Ixx;
    iyy += p.E * p.Iyy;
    ixy += p.E * p.Ixy;
  }
  const double xc = sx / ea;
  const double yc = sy / ea;
  const double eiyy = ixx - ea * xc * xc;
  const double eizz = iyy - ea * yc * yc;
  const double eiyz = ixy - ea * xc * yc;
  const double scale = std::max(eiyy, eizz);
  const double t = c.tolerance;
  EXPECT_NEAR(s.EA, ea, t * ea);
  EXPECT_NEAR(s.centre.x, xc, t * std::sqrt(scale / ea));
  EXPECT_NEAR(s.centre.y, yc, t * std::sqrt(scale / ea));
  EXPECT_NEAR(s.EIyy, eiyy, t * scale);
  EXPECT_NEAR(s.EIzz, eizz, t * scale);
  EXPECT_NEAR(s.EIyz, eiyz, t * scale);
  EXPECT_GE(s.EI1, s.EI2);
  EXPECT_NEAR(s.EI1 + s.EI2, eiyy + eizz, t * scale);
}

INSTANTIATE_TEST_SUITE_P(
    Table, OutlineSectionTable,
    testing::Values(
        // A plate with a hole off its middle: the circle stays two exact half arcs.
        Case{"a rectangle with a circular hole",
             [] {
               return OutlineDrawing{{{kRed, {Box(10, 5, 210, 105), Circle(80, 60, 30)}}}};
             },
             {Material(kRed, 1, 0)},
             [] {
               return std::vector<Part>{Rect(1, 10, 5, 210, 105), Negative(Disc(1, 80, 60, 30))};
             }},
        // One loop of lines and quarter arcs; the area is 2 b tf + (h - 2 tf) tw + (4 - pi) r^2.
        Case{"IPE 300 with root fillets",
             [] {
               return OutlineDrawing{{{kRed, {Ipe300()}}}};
             },
             {Material(kRed, 210000, 7850)},
             [] {
               std::vector<Part> p = IpeCore(210000);
               p.push_back(Rect(210000, -kB / 2, -kH / 2, kB / 2, -kH / 2 + kTf));
               p.push_back(Rect(210000, -kB / 2, kH / 2 - kTf, kB / 2, kH / 2));
               return p;
             }},
        // A slab painted over the top flange: the flange is the slab's; the fillets under it,
        // whose ends touch the slab, stay exact arcs.
        Case{"a slab over the top flange of an IPE 300",
             [] {
               return OutlineDrawing{
                   {{kRed, {Ipe300()}}, {kBlue, {Box(-200, kH / 2 - kTf, 200, kH / 2 + 100)}}}};
             },
             {Material(kRed, 210000, 7850), Material(kBlue, 30000, 2400)},
             [] {
               std::vector<Part> p = IpeCore(210000);
               p.push_back(Rect(210000, -kB / 2, -kH / 2, kB / 2, -kH / 2 + kTf));
               p.push_back(Rect(30000, -200, kH / 2 - kTf, 200, kH / 2 + 100));
               return p;
             }},
        // A colour of no material still covers what lies under it.
        Case{"a background rectangle over half of a material",
             [] {
               return OutlineDrawing{
                   {{kRed, {Box(0, 0, 100, 60)}}, {kWhite, {Box(50, -10, 120, 70)}}}};
             },
             {Material(kRed, 1, 0)},
             [] { return std::vector<Part>{Rect(1, 0, 0, 50, 60)}; }},
        // Two shapes of one colour sharing an edge are one material: the shared edge is no
        // boundary; clockwise legs count as counter-clockwise ones.
        Case{"an angle of two rectangles of one colour",
             [] {
               OutlineLoop leg = Box(0, 10, 10, 100);
               std::reverse(leg.vertices.begin(), leg.vertices.end());
               return OutlineDrawing{{{kRed, {Box(0, 0, 80, 10)}}, {kRed, {leg}}}};
             },
             {Material(kRed, 1, 0)},
             [] {
               return std::vector<Part>{Rect(1, 0, 0, 80, 10), Rect(1, 0, 10, 10, 100)};
             }},
        // Loops of one colour alternate solid and hole; another colour in the hole is its own.
        Case{"a tube filled with another material",
             [] {
               return OutlineDrawing{
                   {{kRed, {Circle(0, 0, 50), Circle(0, 0, 40)}}, {kBlue, {Circle(0, 0, 40)}}}};
             },
             {Material(kRed, 210000, 0), Material(kBlue, 30000, 0)},
             [] {
               return std::vector<Part>{Disc(210000, 0, 0, 50), Negative(Disc(210000, 0, 0, 40)),
                                        Disc(30000, 0, 0, 40)};
             }},
        // Regular 500-gons, their inside tested by the ray through one band of their edges;
        // the inner polygon drawn again in another colour lies on the first, edge for edge.
        Case{"a tube of 500-gons filled with another material",
             [] {
               return OutlineDrawing{
                   {{kRed, {Polygon(500, 50), Polygon(500, 40)}}, {kBlue, {Polygon(500, 40)}}}};
             },
             {Material(kRed, 210000, 0), Material(kBlue, 30000, 0)},
             [] {
               return std::vector<Part>{RegularPolygon(210000, 500, 50),
                                        Negative(RegularPolygon(210000, 500, 40)),
                                        RegularPolygon(30000, 500, 40)};
             }},
        // A rectangle across a disc: the cut arcs are flattened within 1e-6 of the size, so the
        // disc's values hold to a few 1e-6 (the slivers between chords and arcs).
        Case{"a bar painted across a disc",
             [] {
               return OutlineDrawing{{{kRed, {Circle(0, 0, 50)}}, {kBlue, {Box(-60, -5, 60, 5)}}}};
             },
             {Material(kRed, 1, 0), Material(kBlue, 2, 0)},
             [] {
               // The disc less the band |y| < 5: the band's part of the disc, by integration.
               const double r = 50;
               const double h = 5;
               const double w = std::sqrt(r * r - h * h);
               const double a = 2 * (h * w + r * r * std::asin(h / r));
               // Integral of y^2 over the band inside the disc: 2 * int y^2 sqrt(r^2 - y^2).
               const auto f = [&](double y) {
                 const double s = std::sqrt(r * r - y * y);
                 return y * (2 * y * y - r * r) * s / 8 + std::pow(r, 4) / 8 * std::asin(y / r);
               };
               const double iyy = 2 * 2 * f(h);
               // Integral of x^2: 2/3 int (r^2 - y^2)^(3/2) over the band.
               const auto g = [&](double y) {
                 const double s = std::sqrt(r * r - y * y);
                 return y * (5 * r * r - 2 * y * y) * s / 8 +
                        3 * std::pow(r, 4) / 8 * std::asin(y / r);
               };
               const double ixx = 2.0 / 3 * 2 * g(h);
               const Part band{1, a, 0, 0, ixx, iyy, 0};
               return std::vector<Part>{Disc(1, 0, 0, r), Negative(band), Rect(2, -60, -5, 60, 5)};
             },
             1e-5}),
    RowName);

TEST(OutlineSectionTest, IpeAreaIsTheStandardFigure) {
  const OutlineSection s = OutlineSectionOf({{{kRed, {Ipe300()}}}}, {Material(kRed, 1, 7850)});
  const double a = 2 * kB * kTf + (kH - 2 * kTf) * kTw + (4 - kPi) * kR * kR;
  EXPECT_NEAR(s.regions[0].A, a, 1e-9 * a);
  EXPECT_NEAR(a, 5381.2, 0.05);
  EXPECT_NEAR(s.Mass, 7850 * a / 1e9, 1e-9 * s.Mass);
}

}  // namespace
}  // namespace qv::test
