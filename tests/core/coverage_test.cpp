// Smoothed edges read as partial coverage: which colours are blends and of what, the scan's
// facts, the integration's self terms, and sections drawn smoothed against their exact values.
#include "core/scan/coverage.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include "core/scan/edge_smoothing.h"
#include "core/section/integration.h"
#include "core/section/plastic.h"
#include "support/grid_builder.h"
#include "support/material_library.h"
#include "support/row_name.h"
#include "support/section_analysis.h"
#include "support/section_pictures.h"

namespace qv::test {
namespace {

constexpr double kPi = std::numbers::pi;

// ---------------------------------------------------------------------------------------------
// Exact values of sections made of parts, about a point

// A part of a section: its modulus (negative to cut a hole from the part under it), area,
// centre and second moments about the centre, in mm, u to the right and v downwards.
struct Part {
  double E = 0;
  double area = 0;
  double u = 0;
  double v = 0;
  double iuu = 0;  // integral of (u - centre)^2
  double ivv = 0;
  double iuv = 0;
};

Part Disc(double E, double r, double u, double v) {
  const double i = kPi * r * r * r * r / 4;
  return {E, kPi * r * r, u, v, i, i, 0};
}

// An a x b rectangle turned by theta from u towards v.
Part TurnedRectangle(double E, double a, double b, double degrees) {
  const double t = degrees * kPi / 180;
  const double area = a * b;
  const double c = std::cos(t);
  const double s = std::sin(t);
  return {E,
          area,
          0,
          0,
          area * (a * a * c * c + b * b * s * s) / 12,
          area * (a * a * s * s + b * b * c * c) / 12,
          area * (a * a - b * b) * s * c / 12};
}

struct Exact {
  double EA = 0;
  double EIyy = 0;
  double EIzz = 0;
  double EIyz = 0;
};

// The values about the point (u0, v0): y = -(u - u0), z = v - v0.
Exact About(const std::vector<Part>& parts, double u0, double v0) {
  Exact x;
  for (const Part& p : parts) {
    const double du = p.u - u0;
    const double dv = p.v - v0;
    x.EA += p.E * p.area;
    x.EIyy += p.E * (p.iuu + p.area * du * du);
    x.EIzz += p.E * (p.ivv + p.area * dv * dv);
    x.EIyz -= p.E * (p.iuv + p.area * du * dv);
  }
  return x;
}

// ---------------------------------------------------------------------------------------------
// The colours' facts

PictureColour Colour(std::uint32_t value, bool inside, std::int64_t pixels = 100) {
  PictureColour c;
  c.value = value;
  c.inside = inside;
  c.xmin = c.ymin = 0;
  c.xmax = c.ymax = 9;
  c.moments.colour = value;
  c.moments.count = pixels;
  return c;
}

std::uint32_t Rgb(int r, int g, int b) {
  return static_cast<std::uint32_t>(r) | (static_cast<std::uint32_t>(g) << 8) |
         (static_cast<std::uint32_t>(b) << 16);
}

// A colour of `picture` and the shares of the materials the table should give it.
struct ShareCase {
  const char* comment;
  std::vector<PictureColour> picture;
  std::vector<std::uint32_t> materials;
  std::uint32_t colour;
  std::vector<CoverageShare> shares;  // largest first
};
void PrintTo(const ShareCase& c, std::ostream* os) { *os << c.comment; }

class CoverageShares : public testing::TestWithParam<ShareCase> {};

TEST_P(CoverageShares, AreTheBlendsLeastSquaresShare) {
  const ShareCase& c = GetParam();
  const CoverageTable table(PictureColours{c.picture}, c.materials);
  const std::span<const CoverageShare> shares = table.Shares(c.colour);
  ASSERT_EQ(shares.size(), c.shares.size());
  std::int64_t total = 0;
  for (std::size_t i = 0; i < shares.size(); ++i) {
    EXPECT_EQ(shares[i].material, c.shares[i].material) << i;
    EXPECT_EQ(shares[i].weight, c.shares[i].weight) << i;
    total += shares[i].weight;
  }
  EXPECT_LE(total, kCoverageUnit);
}

constexpr std::int64_t kQ = kCoverageUnit;
// The weight of a share t, as the table rounds it.
std::int64_t W(double t) { return std::llround(t * static_cast<double>(kQ)); }

const PictureColour kWhiteInside = Colour(kWhite, true, 10000);
const PictureColour kRedInside = Colour(kRed, true);
const PictureColour kBlueInside = Colour(kBlue, true);

INSTANTIATE_TEST_SUITE_P(
    Table, CoverageShares,
    testing::Values(
        ShareCase{"a material colour is wholly the material",
                  {kWhiteInside, kRedInside},
                  {kRed},
                  kRed,
                  {{0, kQ}}},
        ShareCase{"the background is no material", {kWhiteInside, kRedInside}, {kRed}, kWhite, {}},
        // Red 255,0,0 to white 255,255,255: only green and blue tell, 1 - 64/255 of red.
        ShareCase{"a blend of red and white counts its red part",
                  {kWhiteInside, kRedInside, Colour(Rgb(255, 64, 64), false)},
                  {kRed},
                  Rgb(255, 64, 64),
                  {{0, W(1 - 64.0 / 255)}}},
        ShareCase{"a blend one level off the segment still fits",
                  {kWhiteInside, kRedInside, Colour(Rgb(254, 128, 129), false)},
                  {kRed},
                  Rgb(254, 128, 129),
                  {{0, W(1 - 128.5 / 255)}}},
        ShareCase{"a colour three levels off every blend is unknown",
                  {kWhiteInside, kRedInside, Colour(Rgb(252, 128, 128), false)},
                  {kRed},
                  Rgb(252, 128, 128),
                  {}},
        ShareCase{"a colour with a pixel inside is flat, not a blend",
                  {kWhiteInside, kRedInside, Colour(Rgb(255, 128, 128), true)},
                  {kRed},
                  Rgb(255, 128, 128),
                  {}},
        // Red to blue: the blend 3/4 red has red 191.25, blue 63.75.
        ShareCase{"a blend of two materials is all material, split",
                  {kWhiteInside, kRedInside, kBlueInside, Colour(Rgb(191, 0, 64), false)},
                  {kRed, kBlue},
                  Rgb(191, 0, 64),
                  {{0, W((191 * 255.0 + (255 - 64) * 255.0) / (2 * 255.0 * 255.0))},
                   {1, kQ - W((191 * 255.0 + (255 - 64) * 255.0) / (2 * 255.0 * 255.0))}}},
        ShareCase{"a blend of a material and a flat colour left off the list",
                  {kWhiteInside, kRedInside, kBlueInside, Colour(Rgb(128, 0, 127), false)},
                  {kBlue},
                  Rgb(128, 0, 127),
                  {{0, W((127 * 255.0 + (255 - 128) * 255.0) / (2 * 255.0 * 255.0))}}},
        // White, grey 128 and black in a row: a light grey blends white and the grey beside
        // it, though it lies on the way to black too.
        ShareCase{"on a line of colours the nearest two blend",
                  {kWhiteInside, Colour(Rgb(128, 128, 128), true), Colour(kBlack, true),
                   Colour(Rgb(192, 192, 192), false)},
                  {Rgb(128, 128, 128)},
                  Rgb(192, 192, 192),
                  {{0, W(63.0 / 127)}}},
        // Where red, blue and white meet: 1/2 white, 1/4 red, 1/4 blue rounds to 191, 128, 191,
        // whose least-squares weights are 191/765 red and blue; no pair comes near it.
        ShareCase{"a corner of three colours splits three ways",
                  {kWhiteInside, kRedInside, kBlueInside, Colour(Rgb(191, 128, 191), false)},
                  {kRed, kBlue},
                  Rgb(191, 128, 191),
                  {{0, W(191.0 / 765)}, {1, W(191.0 / 765)}}},
        ShareCase{"a material drawn only as edges is still wholly the material",
                  {kWhiteInside, Colour(kRed, false)},
                  {kRed},
                  kRed,
                  {{0, kQ}}},
        ShareCase{"without materials in use nothing counts",
                  {kWhiteInside, kRedInside, Colour(Rgb(255, 64, 64), false)},
                  {},
                  Rgb(255, 64, 64),
                  {}}),
    RowNameGenerator());

TEST(CoverageTableTest, TheBoxHoldsEveryPixelWithAShare) {
  // White, a red square 10..19, blends of red and white round it on three sides and one
  // unknown colour farther out.
  PixelGrid g = MakeGrid(40, 40, kWhite, {{10, 10, 19, 19, kRed}});
  for (int i = 10; i < 20; ++i) {
    g.Set(i, 9, Rgb(255, 200, 200));
    g.Set(20, i, Rgb(255, 100, 100));
  }
  g.Set(25, 30, Rgb(10, 200, 30));
  const std::optional<PictureColours> colours = ScanPictureColours(g);
  ASSERT_TRUE(colours);
  const CoverageTable table(*colours, {kRed});
  EXPECT_EQ(table.Box().xmin, 10);
  EXPECT_EQ(table.Box().ymin, 9);
  EXPECT_EQ(table.Box().xmax, 20);
  EXPECT_EQ(table.Box().ymax, 19);
  EXPECT_EQ(table.BlendColours(), 2);
  EXPECT_EQ(table.BlendPixels(), 20);
  EXPECT_TRUE(table.Shares(Rgb(10, 200, 30)).empty());
}

// ---------------------------------------------------------------------------------------------
// The scan

TEST(PictureColoursTest, EachColoursMomentsBoxAndInsideMatchItsOwnScan) {
  PixelGrid g = SmoothedDiagonal(60);
  g.FillRect(0, 0, 5, 0, kBlue);    // a line along the top: its pixels touch other colours
  g.FillRect(40, 2, 42, 4, kLime);  // 3 x 3: one pixel inside
  for (const int threads : {1, 2, 3}) {
    const std::optional<PictureColours> colours = ScanPictureColours(g, {}, threads);
    ASSERT_TRUE(colours);
    std::vector<std::uint32_t> values;
    for (const PictureColour& c : colours->colours) values.push_back(c.value);
    ASSERT_TRUE(std::is_sorted(values.begin(), values.end()));
    for (const PictureColour& c : colours->colours) {
      // The colour alone, as the flat scan counts a material, and its box by brute force.
      MaterialMoments alone;
      alone.colour = c.value;
      MomentsTally tally({alone}, 1);
      tally.Add(0, RowBlock{0, g.Height(), g.Width(), g.Data()});
      const MaterialMoments m = tally.Result().materials[0];
      EXPECT_EQ(c.moments.count, m.count);
      EXPECT_TRUE(c.moments.sumX == m.sumX && c.moments.sumY == m.sumY &&
                  c.moments.sumXX == m.sumXX && c.moments.sumYY == m.sumYY &&
                  c.moments.sumXY == m.sumXY);
      int xmin = g.Width(), xmax = -1, ymin = g.Height(), ymax = -1;
      bool inside = false;
      for (int y = 0; y < g.Height(); ++y) {
        for (int x = 0; x < g.Width(); ++x) {
          if (g.At(x, y) != c.value) continue;
          xmin = std::min(xmin, x);
          xmax = std::max(xmax, x);
          ymin = std::min(ymin, y);
          ymax = std::max(ymax, y);
          const bool same = (x == 0 || g.At(x - 1, y) == c.value) &&
                            (x + 1 == g.Width() || g.At(x + 1, y) == c.value) &&
                            (y == 0 || g.At(x, y - 1) == c.value) &&
                            (y + 1 == g.Height() || g.At(x, y + 1) == c.value);
          inside = inside || same;
        }
      }
      EXPECT_EQ(c.xmin, xmin);
      EXPECT_EQ(c.xmax, xmax);
      EXPECT_EQ(c.ymin, ymin);
      EXPECT_EQ(c.ymax, ymax);
      EXPECT_EQ(c.inside, inside) << c.value;
    }
  }
}

// Rows fed to PictureColoursScan: blocks [first, end) by `worker`, in this order.
struct FedBlock {
  int worker = 0;
  int first = 0;
  int end = 0;
};

struct FedCase {
  const char* comment;
  std::vector<FedBlock> blocks;
};
void PrintTo(const FedCase& c, std::ostream* os) { *os << c.comment; }

class PictureColoursFed : public testing::TestWithParam<FedCase> {};

// The lime square's one pixel that is not an edge pixel lies on row 3: the scan fed in spans must
// find it from the rows of the spans beside it, whichever worker had them and when.
TEST_P(PictureColoursFed, GiveWhatTheScanOfTheWholePictureGives) {
  PixelGrid g = SmoothedDiagonal(24);
  g.FillRect(16, 2, 18, 4, kLime);
  PictureColoursScan scan(g.Width(), g.Height(), 3);
  for (const FedBlock& b : GetParam().blocks) {
    scan.Feed(b.worker, RowBlock{b.first, b.end, g.Width(), g.Row(b.first)});
  }
  const std::optional<PictureColours> fed = scan.Result();
  const std::optional<PictureColours> whole = ScanPictureColours(g, {}, 1);
  ASSERT_TRUE(fed && whole);
  ASSERT_EQ(fed->colours.size(), whole->colours.size());
  for (std::size_t i = 0; i < whole->colours.size(); ++i) {
    const PictureColour& a = fed->colours[i];
    const PictureColour& b = whole->colours[i];
    EXPECT_EQ(a.value, b.value);
    EXPECT_EQ(a.inside, b.inside) << b.value;
    EXPECT_TRUE(a.xmin == b.xmin && a.ymin == b.ymin && a.xmax == b.xmax && a.ymax == b.ymax);
    EXPECT_TRUE(a.moments.count == b.moments.count && a.moments.sumX == b.moments.sumX &&
                a.moments.sumYY == b.moments.sumYY && a.moments.sumXY == b.moments.sumXY);
  }
}

// One-row blocks from `from` towards `to` (not included), taken in turn by `workers` workers.
std::vector<FedBlock> RowByRow(int from, int to, int workers) {
  std::vector<FedBlock> blocks;
  for (int y = from; y != to; y += from < to ? 1 : -1) blocks.push_back({y % workers, y, y + 1});
  return blocks;
}

INSTANTIATE_TEST_SUITE_P(
    Table, PictureColoursFed,
    testing::Values(
        // As a PNG file's decoding hands a small picture over.
        FedCase{"one block", {{0, 0, 24}}},
        // Each row is looked at when the next arrives, from the copies of the block before.
        FedCase{"one span of one-row blocks", RowByRow(0, 24, 1)},
        // The square's inside row ends a span, or starts one fed before the span above it.
        FedCase{"a span ends on the inside row", {{0, 0, 4}, {1, 4, 24}}},
        FedCase{"a span starts on it, fed first", {{1, 3, 24}, {0, 0, 3}}},
        // A span of that row alone; the worker above goes on below it with a span of its own.
        FedCase{"a span of that row alone", {{0, 0, 3}, {1, 3, 4}, {0, 4, 10}, {0, 10, 24}}},
        // Nothing follows on: every row a span, taken bottom up by three workers.
        FedCase{"rows bottom up on three workers", RowByRow(23, -1, 3)}),
    RowNameGenerator{});

TEST(PictureColoursTest, TooManyColoursAreNotRead) {
  PixelGrid g(1024, 257);
  for (std::size_t i = 0; i < g.Size(); ++i) g.Data()[i] = static_cast<std::uint32_t>(i);
  EXPECT_FALSE(ScanPictureColours(g, {}, 2));  // 263168 colours
  PixelGrid fewer(1024, 256);
  for (std::size_t i = 0; i < fewer.Size(); ++i) fewer.Data()[i] = static_cast<std::uint32_t>(i);
  EXPECT_TRUE(ScanPictureColours(fewer, {}, 2));  // exactly kMaxEdgeColours
  // Fed in two spans, neither of which has too many on its own.
  PictureColoursScan fed(g.Width(), g.Height(), 2);
  fed.Feed(1, RowBlock{128, 257, g.Width(), g.Row(128)});
  fed.Feed(0, RowBlock{0, 128, g.Width(), g.Row(0)});
  EXPECT_FALSE(fed.Result());
}

// ---------------------------------------------------------------------------------------------
// Integration

TEST(CoverageIntegrationTest, WholePixelsAddTheirOwnSecondMoment) {
  // A 7 x 5 rectangle of whole pixels, read as coverage, has the continuous rectangle's exact
  // values: b h^3 / 12 about its centre, the centre pixel's. Flat, each pixel is a point.
  const PixelGrid g = MakeGrid(20, 20, kWhite, {{3, 4, 9, 8, kRed}});
  const auto lib = LibraryOf({{"clRed", 3, 1}});
  const BoxedAnalysis flat = AnalyseAtPixelSize(g, 2.0, lib, EdgeMode::Flat);
  const BoxedAnalysis cover = AnalyseAtPixelSize(g, 2.0, lib, EdgeMode::Coverage);
  EXPECT_EQ(cover.bounds, flat.bounds);
  EXPECT_EQ(cover.section.NC, (PixelPoint{6, 6}));
  EXPECT_EQ(cover.section.EA, 3 * 14.0 * 10);
  EXPECT_DOUBLE_EQ(cover.section.EIyy, 3 * 10 * 14.0 * 14 * 14 / 12);
  EXPECT_DOUBLE_EQ(cover.section.EIzz, 3 * 14 * 10.0 * 10 * 10 / 12);
  EXPECT_EQ(cover.section.EIyz, 0);
  EXPECT_EQ(cover.section.RelevantPixels, 35);
  EXPECT_TRUE(cover.section.Coverage);
  EXPECT_FALSE(flat.section.Coverage);
  // The flat reading misses exactly the pixels' own terms: E A h^2 / 12.
  EXPECT_DOUBLE_EQ(cover.section.EIyy - flat.section.EIyy, 3 * 140.0 * 4 / 12);
  EXPECT_EQ(cover.section.Mass, flat.section.Mass);
}

// ---------------------------------------------------------------------------------------------
// Validation: sections drawn smoothed at 1 mm per pixel

struct Validation {
  const char* comment;
  double drawWidth;  // the drawing's box, mm
  double drawHeight;
  ShapeFn shape;
  std::vector<Part> parts;  // the exact section
  std::vector<Material> materials;
  double eaTolerance;  // relative, read as coverage
  double eiTolerance;
  double angleTolerance;  // degrees; 0: no principal angle to check
  double expectedAlpha;   // degrees
};
void PrintTo(const Validation& v, std::ostream* os) { *os << v.comment; }

class SmoothedSections : public testing::TestWithParam<Validation> {};

TEST_P(SmoothedSections, ReadAsCoverageComeCloseToTheExactValues) {
  const Validation& c = GetParam();
  const DrawnSection drawn = DrawSmoothedSection(c.drawWidth, c.drawHeight, 1.0, c.shape);
  const TPROPClass lib = LibraryOf(c.materials);
  // Shape coordinates of the index position p: the drawing box's centre is at margin + w / 2
  // pixel edges, and index p is the pixel whose centre lies at p + 0.5.
  const double centreX = drawn.bounds.xmin + drawn.widthMm / 2 - 0.5;
  const double centreY = drawn.bounds.ymin + drawn.heightMm / 2 - 0.5;
  for (const EdgeMode edges : {EdgeMode::Flat, EdgeMode::Coverage}) {
    const BoxedAnalysis a = AnalyseAtPixelSize(drawn.grid, 1.0, lib, edges);
    const SectionResult& r = a.section;
    const Exact x = About(c.parts, r.NC.x - centreX, r.NC.y - centreY);
    const double ea = r.EA / x.EA - 1;
    const double eiyy = r.EIyy / x.EIyy - 1;
    const double eizz = r.EIzz / x.EIzz - 1;
    const double alpha = r.Alpha * 180 / kPi;
    if (edges == EdgeMode::Flat) {
      // Every blended pixel drops out: the section loses area all round.
      EXPECT_LT(ea, -c.eaTolerance);
      continue;
    }
    EXPECT_NEAR(ea, 0, c.eaTolerance);
    EXPECT_NEAR(eiyy, 0, c.eiTolerance);
    EXPECT_NEAR(eizz, 0, c.eiTolerance);
    EXPECT_NEAR(r.EIyz / x.EIyy, x.EIyz / x.EIyy, c.eiTolerance);
    if (c.angleTolerance > 0) {
      EXPECT_NEAR(alpha, c.expectedAlpha, c.angleTolerance);
    }
  }
}

constexpr double kShiftU = 0.37;  // off the pixel grid
constexpr double kShiftV = -0.21;

INSTANTIATE_TEST_SUITE_P(
    Validation, SmoothedSections,
    testing::Values(
        Validation{"a disc of radius 40.3",
                   90,
                   90,
                   Shifted(Ring(40.3, 0, kRed), kShiftU, kShiftV),
                   {Disc(1, 40.3, kShiftU, kShiftV)},
                   {{"clRed", 1, 1}},
                   0.0005,
                   0.001,
                   0,
                   0},
        Validation{"a rectangle 120 x 40 turned by 30 degrees",
                   130,
                   100,
                   Turned(Box(120, 40, kRed), 30),
                   {TurnedRectangle(1, 120, 40, 30)},
                   {{"clRed", 1, 1}},
                   0.0005,
                   0.001,
                   0.05,
                   -30},
        Validation{"a tube 5 thick of radius 40.3",
                   90,
                   90,
                   Shifted(Ring(40.3, 35.3, kRed), kShiftU, kShiftV),
                   {Disc(1, 40.3, kShiftU, kShiftV), Disc(-1, 35.3, kShiftU, kShiftV)},
                   {{"clRed", 1, 1}},
                   0.001,
                   0.001,
                   0,
                   0},
        // A blue disc in a red square on whole pixels: every blend is one of red and blue.
        Validation{
            "a disc inlaid in a square of another material",
            100,
            100,
            [](double u, double v) {
              return std::hypot(u - kShiftU, v - kShiftV) < 30.3 ? kBlue : kRed;
            },
            {TurnedRectangle(210000, 100, 100, 0), Disc(30000 - 210000, 30.3, kShiftU, kShiftV)},
            {{"clRed", 210000, 7850}, {"clBlue", 30000, 2500}},
            0.0002,
            0.0002,
            0,
            0}),
    RowNameGenerator());

// The torsion and the plastic moments of the smoothed disc: the solver's cells and the
// plastic strips take the coverage shares too. GJ's estimate covers its error without
// overstating it much.
TEST(SmoothedDiscTest, TorsionAndPlasticMomentsReadAsCoverage) {
  constexpr double r = 40.3;
  const DrawnSection drawn =
      DrawSmoothedSection(90, 90, 1.0, Shifted(Ring(r, 0, kRed), kShiftU, kShiftV));
  const TPROPClass lib = LibraryOf({{"clRed", 1000, 1}});
  const BoxedAnalysis a = AnalyseAtPixelSize(drawn.grid, 1.0, lib, EdgeMode::Coverage, true);
  ASSERT_TRUE(a.elastic);
  // Poisson's ratio 0: G = E / 2; J = pi r^4 / 2.
  const double gj = 500 * kPi * r * r * r * r / 2;
  const double error = a.elastic->GJ / gj - 1;
  EXPECT_NEAR(error, 0, 0.02);
  EXPECT_GE(a.elastic->GJErrorEstimate / a.elastic->GJ, std::abs(error));
  EXPECT_LE(a.elastic->GJErrorEstimate / a.elastic->GJ, 3 * std::abs(error));
  // The shear centre of a disc is its centre: 5 pixels of margin less the box's first column.
  const double centre = 45 + kShiftU - (a.bounds.xmin - 3);
  EXPECT_NEAR(a.elastic->ShearCentreHor, centre, 0.05);
  // Wpl of a solid disc: (2 r)^3 / 6.
  StrengthTable strengths;
  strengths.Set("clRed", {235, 235});
  const CoverageTable table(*ScanPictureColours(drawn.grid), {kRed});
  const PlasticOutcome plastic =
      ComputePlasticSection(drawn.grid, a.bounds, lib, strengths, a.section, &table);
  ASSERT_TRUE(plastic.values);
  const double wpl = 8 * r * r * r / 6;
  EXPECT_NEAR(*plastic.values->horizontal.wpl / wpl, 1, 0.001);
  EXPECT_NEAR(*plastic.values->vertical.wpl / wpl, 1, 0.001);
}

}  // namespace
}  // namespace qv::test
