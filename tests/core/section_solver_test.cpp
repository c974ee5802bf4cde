// Elastic section solver: torsion against closed forms, the shear centre's position and sign,
// fibres and moduli, determinism, cancellation and the coarsened path.
#include "core/elastic/section_solver.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstring>
#include <limits>
#include <numbers>

#include "core/base/error.h"
#include "core/library/dd_props.h"
#include "core/section/integration.h"
#include "support/grid_builder.h"
#include "support/material_library.h"
#include "support/row_name.h"
#include "support/section_analysis.h"
#include "support/section_pictures.h"

namespace qv::test {
namespace {

constexpr double kPi = std::numbers::pi;

// --- torsion against closed forms ------------------------------------------------------------

struct RectangleCase {
  double widthMm, heightMm;
  int widthPixels, heightPixels;  // non-square pixels where the ratios differ
};
void PrintTo(const RectangleCase& c, std::ostream* os) {
  *os << NumberLabel(c.widthMm) << " x " << NumberLabel(c.heightMm) << " mm on " << c.widthPixels
      << " x " << c.heightPixels << " pixels";
}

class ElasticRectangleTest : public ::testing::TestWithParam<RectangleCase> {};

TEST_P(ElasticRectangleTest, GJMatchesTheExactSeriesWithinOnePercent) {
  const RectangleCase c = GetParam();
  const PixelGrid grid = MakeGrid(c.widthPixels + 4, c.heightPixels + 4, kWhite,
                                  {{2, 2, c.widthPixels + 1, c.heightPixels + 1, kRed}});
  const SectionBounds bounds{2, 2, c.widthPixels + 1, c.heightPixels + 1};
  const auto lib = LibraryOf({{"clRed", 210000}});
  const Analysis a = Analyse(grid, bounds, c.widthMm, c.heightMm, lib, ZeroPoisson({"clRed"}));
  ASSERT_TRUE(a.elastic);
  const double exact = 105000 * RectangleTorsionConstant(c.widthMm, c.heightMm);
  EXPECT_NEAR(a.elastic->GJ / exact, 1.0, 0.01);
  // A rectangle's shear centre is its middle, whatever the pixels' shape.
  EXPECT_NEAR(a.elastic->ShearCentreHor, c.widthMm / 2, 1e-9 * c.widthMm);
  EXPECT_NEAR(a.elastic->ShearCentreVer, c.heightMm / 2, 1e-9 * c.heightMm);
  EXPECT_EQ(a.elastic->Coarsening, 1);
  EXPECT_FALSE(a.elastic->Coarsened);
  EXPECT_EQ(a.elastic->Parts, 1);
}

INSTANTIATE_TEST_SUITE_P(Shapes, ElasticRectangleTest,
                         ::testing::Values(
                             // square, 40 x 40 pixels
                             RectangleCase{20, 20, 40, 40},
                             // 1:4 lying, 40 pixels across the thin side
                             RectangleCase{40, 10, 160, 40},
                             // 1:10 standing
                             RectangleCase{5, 50, 40, 400},
                             // 1:4 on pixels twice as high as wide (Dx = 0.05, Dy = 0.1 mm)
                             RectangleCase{8, 2, 160, 20 * 2},
                             // 1:4 standing on pixels twice as wide as high
                             RectangleCase{2, 8, 40, 160 * 2}),
                         RowName);

struct RoundCase {
  const char* what;
  double inner;       // radius of the inner circle / outer radius
  bool coreMaterial;  // the inner circle is a second material instead of a hole
};
void PrintTo(const RoundCase& c, std::ostream* os) { *os << c.what; }

class ElasticRoundTest : public ::testing::TestWithParam<RoundCase> {};

TEST_P(ElasticRoundTest, GJMatchesPolarMomentWithinTwoPercent) {
  const RoundCase c = GetParam();
  constexpr double kRadius = 25;  // mm, drawn at 0.25 mm per pixel: 100 pixels
  const double r = c.inner * kRadius;
  const DrawnSection s = DrawSection(2 * kRadius, 2 * kRadius, 0.25,
                                     Ring(kRadius, r, kRed, c.coreMaterial ? kBlue : kWhite));
  const auto lib = LibraryOf({{"clRed", 200000}, {"clBlue", 30000}});
  const Analysis a = Analyse(s, lib, ZeroPoisson({"clRed", "clBlue"}));
  ASSERT_TRUE(a.elastic);
  const double ringJ = kPi / 2 * (std::pow(kRadius, 4) - std::pow(r, 4));
  const double coreJ = c.coreMaterial ? kPi / 2 * std::pow(r, 4) : 0;
  const double exact = 100000 * ringJ + 15000 * coreJ;  // sum of G_k J_k
  EXPECT_NEAR(a.elastic->GJ / exact, 1.0, 0.02) << c.what;
  EXPECT_NEAR(a.elastic->ShearCentreHor, kRadius, 1e-9 * kRadius) << c.what;
  EXPECT_NEAR(a.elastic->ShearCentreVer, kRadius, 1e-9 * kRadius) << c.what;
}

INSTANTIATE_TEST_SUITE_P(Shapes, ElasticRoundTest,
                         ::testing::Values(
                             // solid disc
                             RoundCase{"disc", 0, false},
                             // circular tube, r = 0.6 R
                             RoundCase{"tube", 0.6, false},
                             // disc of G = 15000 in a ring of G = 100000: no slip between them
                             RoundCase{"disc in ring", 0.6, true}),
                         RowName);

TEST(ElasticSectionTest, PoissonsRatioScalesGJThroughGOnly) {
  const DrawnSection s = DrawSection(30, 12, 0.5, Rectangle(kRed));
  const auto lib = LibraryOf({{"clRed", 1000}});
  PoissonTable quarter;
  quarter.Set("clRed", 0.25);
  const Analysis zero = Analyse(s, lib, ZeroPoisson({"clRed"}));
  const Analysis withNu = Analyse(s, lib, quarter);
  EXPECT_NEAR(withNu.elastic->GJ / zero.elastic->GJ, 1 / 1.25, 1e-12);
  EXPECT_DOUBLE_EQ(withNu.elastic->materials[0].G, 400);
  EXPECT_DOUBLE_EQ(withNu.elastic->materials[0].nu, 0.25);
  // A library without ratios uses 0.3.
  const Analysis defaults = Analyse(s, lib, PoissonTable{});
  EXPECT_NEAR(defaults.elastic->GJ / zero.elastic->GJ, 1 / 1.3, 1e-12);
}

TEST(ElasticSectionTest, SeparatePartsAddUpAndTheirCentreIsTheMiddle) {
  const auto lib = LibraryOf({{"clRed", 2}});
  const PoissonTable poisson = ZeroPoisson({"clRed"});
  // One 40 x 80 plate, and two of them 10 pixels apart (no shared pixel edge).
  const PixelGrid one = MakeGrid(44, 84, kWhite, {{2, 2, 41, 81, kRed}});
  const PixelGrid two = MakeGrid(94, 84, kWhite, {{2, 2, 41, 81, kRed}, {52, 2, 91, 81, kRed}});
  const Analysis single = Analyse(one, {2, 2, 41, 81}, 40, 80, lib, poisson);
  const Analysis pair = Analyse(two, {2, 2, 91, 81}, 90, 80, lib, poisson);
  EXPECT_EQ(pair.elastic->Parts, 2);
  EXPECT_NEAR(pair.elastic->GJ / single.elastic->GJ, 2.0, 1e-9);
  EXPECT_NEAR(pair.elastic->ShearCentreHor, 45, 1e-9);
  EXPECT_NEAR(pair.elastic->ShearCentreVer, 40, 1e-9);
}

// --- shear centre --------------------------------------------------------------------------

TEST(ElasticSectionTest, ShearCentreOfADoublySymmetricPictureIsItsMiddle) {
  // Web faces at +-1.5 mm lie between pixel centres, so the picture mirrors exactly both ways.
  const DrawnSection s = DrawSection(30, 60, 0.25, ISection(60, 30, 3, 4, 3, kRed));
  const auto lib = LibraryOf({{"clRed", 210000}});
  const Analysis a = Analyse(s, lib, PoissonTable{});
  ASSERT_TRUE(a.elastic);
  EXPECT_NEAR(a.elastic->ShearCentreHor, s.widthMm / 2, 1e-8);
  EXPECT_NEAR(a.elastic->ShearCentreVer, s.heightMm / 2, 1e-8);
}

TEST(ElasticSectionTest, ShearCentreOfAMonosymmetricCompositeLiesOnItsAxis) {
  // A timber T: web of one material, flange of a stiffer one, symmetric about the vertical
  // axis only. The shear centre sits on the axis, near the stiff flange, not at the centroid.
  const PixelGrid grid = MakeGrid(70, 90, kWhite, {{5, 5, 64, 16, kBlue}, {29, 17, 40, 84, kRed}});
  const auto lib = LibraryOf({{"clRed", 11000}, {"clBlue", 200000}});
  const Analysis a = Analyse(grid, {5, 5, 64, 84}, 60, 80, lib, PoissonTable{});
  ASSERT_TRUE(a.elastic);
  EXPECT_NEAR(a.elastic->ShearCentreHor, 30, 1e-8);
  EXPECT_LT(a.elastic->ShearCentreVer, 12.0);  // within the flange (rows 0..12 mm)
  const double centroidVer = a.section.SumEVer / a.section.EA - (5 - 0.5);  // mm from the box top
  EXPECT_LT(a.elastic->ShearCentreVer, centroidVer - 1);
}

// An I of flanges 200 x 20 (top) and 100 x 20, web 10 x 360: its monosymmetry constant for
// bending about the horizontal axis against (1 / I) integral z (y^2 + z^2) dA - 2 z0 by
// rectangles about the centroid, z0 the shear centre of the flanges alone (thin-walled); about
// the vertical axis, an axis of symmetry, it is 0.
TEST(ElasticSectionTest, MonosymmetryConstantOfAnUnequalI) {
  struct Rect {
    double b, z1, z2;  // width, top and bottom from the section's top, mm
  };
  const Rect parts[] = {{200, 0, 20}, {10, 20, 380}, {100, 380, 400}};
  double a = 0, s = 0;
  for (const Rect& r : parts) {
    a += r.b * (r.z2 - r.z1);
    s += r.b * (r.z2 * r.z2 - r.z1 * r.z1) / 2;
  }
  const double c = s / a;  // centroid from the top
  double i = 0, third = 0;
  for (const Rect& r : parts) {
    const double z1 = r.z1 - c, z2 = r.z2 - c;
    i += r.b * (std::pow(z2, 3) - std::pow(z1, 3)) / 3;
    // z y^2 over the width, and z^3.
    third += std::pow(r.b, 3) / 12 * (z2 * z2 - z1 * z1) / 2 +
             r.b * (std::pow(z2, 4) - std::pow(z1, 4)) / 4;
  }
  const double top = 20 * std::pow(200, 3) / 12, bottom = 20 * std::pow(100, 3) / 12;
  const double z0 = 10 + 380 * bottom / (top + bottom) - c;  // downwards from the centroid
  const double beta = third / i - 2 * z0;
  const PixelGrid grid =
      MakeGrid(210, 410, kWhite,
               {{5, 5, 204, 24, kRed}, {100, 25, 109, 384, kRed}, {55, 385, 154, 404, kRed}});
  const Analysis r =
      Analyse(grid, {5, 5, 204, 404}, 200, 400, LibraryOf({{"clRed", 210000}}), PoissonTable{});
  ASSERT_TRUE(r.elastic);
  EXPECT_NEAR(r.elastic->BetaY / beta, 1, 0.03) << r.elastic->BetaY << " against " << beta;
  EXPECT_NEAR(r.elastic->BetaZ, 0, 1e-6);
}

// Channel of h = 100, b = 50, t = 4 mm: the thin-walled shear centre lies e = 3 b'^2 t /
// (6 b' t + h' t) = 18 mm from the web's centre line (b' = 48, h' = 96), on the side away from
// the flanges: 16 mm outside the web's outer face.
constexpr double kChannelThinWalled = 16.0;

double ChannelCentreOutside(double pixelMm, bool mirrored, Analysis* out = nullptr) {
  const DrawnSection s = DrawSection(50, 100, pixelMm, Channel(100, 50, 4, mirrored, kRed));
  const auto lib = LibraryOf({{"clRed", 210000}});
  Analysis a = Analyse(s, lib, PoissonTable{});
  const double outside =
      mirrored ? a.elastic->ShearCentreHor - s.widthMm : -a.elastic->ShearCentreHor;
  EXPECT_NEAR(a.elastic->ShearCentreVer, 50, 1e-8);
  if (out != nullptr) *out = std::move(a);
  return outside;
}

TEST(ElasticSectionTest, ChannelShearCentreLiesOutsideTheWebOnEitherSide) {
  Analysis left;
  Analysis right;
  const double webLeft = ChannelCentreOutside(0.25, false, &left);
  const double webRight = ChannelCentreOutside(0.25, true, &right);
  // Beyond the web, away from the flanges, either way round, mirrored exactly.
  EXPECT_GT(webLeft, 0);
  EXPECT_NEAR(webLeft, webRight, 1e-8);
  // In the section axes (y positive to the left of NC) the sign follows the web.
  EXPECT_GT(left.elastic->ShearCentreY, 0);
  EXPECT_LT(right.elastic->ShearCentreY, 0);
  // On the axis of symmetry; NC is the nearest pixel centre, at most half a pixel off it.
  EXPECT_NEAR(left.elastic->ShearCentreZ, 0, 0.125 + 1e-9);
  // Thick walls move it slightly inwards from the thin-walled value; the discretisation error
  // at 0.25 mm is a small fraction of that.
  EXPECT_NEAR(webLeft, kChannelThinWalled, 0.02 * kChannelThinWalled);
  const double reference = ChannelCentreOutside(0.125, false);
  EXPECT_NEAR(webLeft, reference, 0.005);
}

// --- moduli ---------------------------------------------------------------------------------

TEST(ElasticSectionTest, FibresAreTheOuterPixelEdgesFromTheElasticCentre) {
  // Steel plate 40 x 10 pixels on top of a concrete block 20 x 30, 1 mm per pixel: the elastic
  // centre C lies 3.67 mm below the plate's middle, between pixel centres, and the fibres, the
  // stresses per unit moment and the radii are taken about it, with the rectangles' exact EI.
  const PixelGrid grid = MakeGrid(50, 50, kWhite, {{5, 5, 44, 14, kRed}, {15, 15, 34, 44, kBlue}});
  const SectionBounds bounds{5, 5, 44, 44};
  const auto lib = LibraryOf({{"clRed", 200000}, {"clBlue", 30000}});
  const Analysis a = Analyse(grid, bounds, 40, 40, lib, PoissonTable{});
  ASSERT_TRUE(a.elastic);
  // In pixel corner units: the plate spans rows 5..15 and columns 5..45, the block 15..45 and
  // 15..35.
  const double ea = 200000.0 * 400 + 30000.0 * 600;
  const double cX = 25;
  const double cY = (200000.0 * 400 * 10 + 30000.0 * 600 * 30) / ea;
  const auto sq = [](double v) { return v * v; };
  const double eizz = 200000 * (40 * 1000 / 12.0 + 400 * sq(10 - cY)) +
                      30000 * (20 * 27000 / 12.0 + 600 * sq(30 - cY));
  const double eiyy = 200000.0 * 10 * 64000 / 12 + 30000.0 * 30 * 8000 / 12;
  const MaterialModuli& steel = a.elastic->materials[0];
  const MaterialModuli& concrete = a.elastic->materials[1];
  EXPECT_EQ(steel.label, "clRed");
  EXPECT_EQ(steel.pixels, 400);
  EXPECT_EQ(concrete.pixels, 600);
  const auto near = [](double got, double want) { EXPECT_NEAR(got, want, 1e-12 * std::abs(want)); };
  // y is positive to the left: the left edge of column 5 is at +(cX - 5).
  near(steel.y.max, cX - 5);
  near(steel.y.min, cX - 45);
  near(steel.z.min, 5 - cY);
  near(steel.z.max, 15 - cY);
  near(concrete.z.max, 45 - cY);
  near(concrete.y.max, cX - 15);
  near(steel.stressZ.min, 200000 * (5 - cY) / eizz);
  near(concrete.stressZ.max, 30000 * (45 - cY) / eizz);
  near(steel.stressY.max, 200000 * (cX - 5) / eiyy);
  near(a.elastic->RadiusY, std::sqrt(eiyy / ea));
  near(a.elastic->RadiusZ, std::sqrt(eizz / ea));
}

TEST(ElasticSectionTest, PrincipalFibresMatchEveryPixelCornerOfAnAngle) {
  // An unequal angle has tilted principal axes; the extremes along them must equal a brute
  // force over every corner of every pixel, about the centroid and along the principal axes of
  // the drawn area's second moments (each pixel's own, 1/12, included).
  const PixelGrid grid = MakeGrid(60, 90, kWhite, {{5, 5, 14, 84, kRed}, {15, 75, 54, 84, kRed}});
  const SectionBounds bounds{5, 5, 54, 84};
  const auto lib = LibraryOf({{"clRed", 210000}});
  const Analysis a = Analyse(grid, bounds, 25, 40, lib, PoissonTable{});
  const SectionResult& r = a.section;
  ASSERT_EQ(r.Dx, 0.5);
  ASSERT_EQ(r.Dy, 0.5);
  std::vector<std::pair<int, int>> red;
  double sumX = 0, sumY = 0;
  for (int py = 0; py < grid.Height(); ++py) {
    for (int px = 0; px < grid.Width(); ++px) {
      if (grid.At(px, py) != kRed) continue;
      red.emplace_back(px, py);
      sumX += px + 0.5;
      sumY += py + 0.5;
    }
  }
  const double n = static_cast<double>(red.size());
  const double cX = sumX / n, cY = sumY / n;
  double iyy = 0, izz = 0, iyz = 0;
  for (const auto& [px, py] : red) {
    const double y = -(px + 0.5 - cX) * 0.5, z = (py + 0.5 - cY) * 0.5;
    iyy += (y * y + 0.25 / 12) * 0.25;
    izz += (z * z + 0.25 / 12) * 0.25;
    iyz += y * z * 0.25;
  }
  double alpha = 0.5 * std::atan2(2 * iyz, iyy - izz);  // the direction of the larger value
  if (alpha >= kPi / 2) alpha -= kPi;
  ASSERT_GT(std::abs(alpha), 0.1);
  const double r1 = std::sqrt((iyy - izz) * (iyy - izz) + 4 * iyz * iyz);
  const double i1 = (iyy + izz + r1) / 2, i2 = (iyy + izz - r1) / 2;
  const double cosA = std::cos(alpha), sinA = std::sin(alpha);
  double min1 = 1e300, max1 = -1e300, min2 = 1e300, max2 = -1e300;
  for (const auto& [px, py] : red) {
    for (int cx = px; cx <= px + 1; ++cx) {
      for (int cy = py; cy <= py + 1; ++cy) {
        const double y = -(cx - cX) * 0.5, z = (cy - cY) * 0.5;
        min1 = std::min(min1, y * cosA + z * sinA);
        max1 = std::max(max1, y * cosA + z * sinA);
        min2 = std::min(min2, -y * sinA + z * cosA);
        max2 = std::max(max2, -y * sinA + z * cosA);
      }
    }
  }
  const MaterialModuli& m = a.elastic->materials[0];
  EXPECT_NEAR(m.axis1.min, min1, 1e-9);
  EXPECT_NEAR(m.axis1.max, max1, 1e-9);
  EXPECT_NEAR(m.axis2.min, min2, 1e-9);
  EXPECT_NEAR(m.axis2.max, max2, 1e-9);
  EXPECT_NEAR(m.stress1.max, 210000 * max1 / (210000 * i1), 1e-12);
  EXPECT_NEAR(m.stress2.min, 210000 * min2 / (210000 * i2), 1e-12);
}

// --- the solver as a program part ----------------------------------------------------------

DrawnSection CompositeTestSection() {
  // Two materials, a hole and a fillet-like curve: about 50 000 cells, enough to split.
  return DrawSection(60, 60, 0.25, [](double u, double v) -> std::uint32_t {
    const double r = std::hypot(u - 4, v + 3);
    if (r < 6) return kWhite;
    if (r < 12) return kBlue;
    return std::abs(u) <= 28 && std::abs(v) <= 25 ? kRed : kWhite;
  });
}

TEST(ElasticSectionTest, ResultsAreBitIdenticalOnRepeatAndForAnyThreadCount) {
  const DrawnSection s = CompositeTestSection();
  const auto lib = LibraryOf({{"clRed", 210000}, {"clBlue", 70000}});
  PoissonTable poisson;
  poisson.Set("clBlue", 0.33);
  std::vector<ElasticResult> runs;
  for (int threads : {1, 2, 2, 3}) {
    ElasticOptions options;
    options.threads = threads;
    runs.push_back(*Analyse(s, lib, poisson, options).elastic);
  }
  const auto bits = [](double v) {
    std::uint64_t u;
    std::memcpy(&u, &v, sizeof u);
    return u;
  };
  for (const ElasticResult& r : runs) {
    EXPECT_EQ(bits(r.GJ), bits(runs[0].GJ));
    EXPECT_EQ(bits(r.ShearCentreHor), bits(runs[0].ShearCentreHor));
    EXPECT_EQ(bits(r.ShearCentreVer), bits(runs[0].ShearCentreVer));
    EXPECT_EQ(bits(r.GJErrorEstimate), bits(runs[0].GJErrorEstimate));
    EXPECT_EQ(r.Iterations, runs[0].Iterations);
  }
  EXPECT_GT(runs[0].Cells, 40000);
}

TEST(ElasticSectionTest, CancelStopsTheSolveAndProgressRisesToTheEnd) {
  const DrawnSection s = CompositeTestSection();
  const auto lib = LibraryOf({{"clRed", 210000}, {"clBlue", 70000}});
  std::atomic<bool> cancel{false};
  ElasticOptions options;
  options.cancel = &cancel;
  int calls = 0;
  options.progress = [&](std::int64_t, std::int64_t) {
    if (++calls == 3) cancel = true;
  };
  EXPECT_FALSE(Analyse(s, lib, PoissonTable{}, options).elastic);
  EXPECT_EQ(calls, 3);

  // Uncancelled, the reports never fall and end at the total.
  cancel = false;
  std::int64_t last = -1;
  std::int64_t lastTotal = 0;
  options.progress = [&](std::int64_t done, std::int64_t total) {
    EXPECT_GE(done, last);
    last = done;
    lastTotal = total;
  };
  EXPECT_TRUE(Analyse(s, lib, PoissonTable{}, options).elastic);
  EXPECT_EQ(last, lastTotal);
}

TEST(ElasticSectionTest, SectionBeyondTheBudgetIsSolvedOnCoarserCells) {
  // A disc of 100 pixels radius (31 400 cells) with room for about a sixth of them.
  const DrawnSection s = DrawSection(50, 50, 0.25, Ring(25, 0, kRed));
  const auto lib = LibraryOf({{"clRed", 2}});
  const PoissonTable poisson = ZeroPoisson({"clRed"});
  ElasticOptions options;
  options.memoryBudget = 31400 * 160 / 6;
  const Analysis a = Analyse(s, lib, poisson, options);
  ASSERT_TRUE(a.elastic);
  const ElasticResult& r = *a.elastic;
  EXPECT_GE(r.Coarsening, 3);
  EXPECT_TRUE(r.Coarsened);
  EXPECT_DOUBLE_EQ(r.CellWidthMm, 0.25 * r.Coarsening);
  EXPECT_LE(r.Cells * 160, static_cast<std::int64_t>(options.memoryBudget));
  // The cap the report names is the budget's, and the disc's pixels lie above it.
  EXPECT_LE(r.CellCap * 160, static_cast<std::int64_t>(options.memoryBudget));
  EXPECT_GT(r.CellCap, r.Cells);
  EXPECT_LT(r.CellCap, 31400);
  // A cap of cells replaces the budget: the caller takes the memory.
  ElasticOptions capped = options;
  capped.maxCells = 40000;
  const Analysis pixels = Analyse(s, lib, poisson, capped);
  ASSERT_TRUE(pixels.elastic);
  EXPECT_EQ(pixels.elastic->Coarsening, 1);
  EXPECT_EQ(pixels.elastic->CellCap, 40000);
  // Blocks of 3 do not divide the 200 pixels evenly, so the coarse disc is a little lopsided.
  EXPECT_NEAR(r.ShearCentreHor, 25, 0.02 * r.CellWidthMm);

  // What the coarse cells cost is the distance to the solve on every pixel; the estimate must
  // be of that size, neither hiding it nor crying wolf.
  options = {};
  options.estimateError = false;
  const Analysis full = Analyse(s, lib, poisson, options);
  ASSERT_TRUE(r.HasErrorEstimate);
  const double error = std::abs(r.GJ - full.elastic->GJ);
  EXPECT_GT(error, 0);
  EXPECT_GT(r.GJErrorEstimate, 0.3 * error);
  EXPECT_LT(r.GJErrorEstimate, 3 * error);
  EXPECT_GE(r.ObservedOrder, 0.5);
  EXPECT_LE(r.ObservedOrder, 2.0);
  EXPECT_NEAR(r.GJ / full.elastic->GJ, 1.0, 0.01);

  // A forced factor is taken as it is.
  options = {};
  options.coarsening = 2;
  const Analysis two = Analyse(s, lib, poisson, options);
  EXPECT_EQ(two.elastic->Coarsening, 2);
  EXPECT_DOUBLE_EQ(two.elastic->CellHeightMm, 0.5);
}

struct RefusalCase {
  const char* what;
  double E;
  SectionBounds bounds;
  double widthMm;
  const char* message;  // start of the error's text
};
void PrintTo(const RefusalCase& c, std::ostream* os) { *os << c.what; }

class ElasticRefusalTest : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(ElasticRefusalTest, RefusesWithAClearMessage) {
  const RefusalCase c = GetParam();
  const PixelGrid grid = MakeGrid(20, 20, kWhite, {{5, 5, 14, 14, kRed}});
  const auto lib = LibraryOf({{"clRed", c.E}});
  SectionResult section;
  try {
    ComputeElasticSection(grid, c.bounds, lib, PoissonTable{}, c.widthMm, 10, section);
    FAIL() << c.what;
  } catch (const Error& e) {
    EXPECT_EQ(std::string(e.what()).rfind(c.message, 0), 0u) << e.what();
  }
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, ElasticRefusalTest,
    ::testing::Values(
        // a negative modulus would make the energy indefinite
        RefusalCase{"negative E", -5, {5, 5, 14, 14}, 10, "The torsion analysis needs a finite E"},
        // E = 0 everywhere leaves nothing to twist
        RefusalCase{"E = 0", 0, {5, 5, 14, 14}, 10, "The section has no pixel"},
        // a section never analysed
        RefusalCase{"unset bounds", 1, {-1, -1, -1, -1}, 10, "The section lies outside"},
        // bounds of another, larger picture
        RefusalCase{"bounds beyond", 1, {5, 5, 24, 14}, 10, "The section lies outside"},
        // a section size of zero
        RefusalCase{"zero width", 1, {5, 5, 14, 14}, 0, "The section needs a width"}),
    RowName);

// --- validation: rolled sections against catalogue values (slow: about 1 s each) ----------

struct RolledCase {
  const char* name;
  double h, b, tw, tf, r;
  double catalogueIt;  // cm^4
};
void PrintTo(const RolledCase& c, std::ostream* os) { *os << c.name; }

class ElasticRolledSectionSlowTest : public ::testing::TestWithParam<RolledCase> {};

TEST_P(ElasticRolledSectionSlowTest, LiesTwoToThreePercentBelowTheCatalogue) {
  const RolledCase c = GetParam();
  const DrawnSection s = DrawSection(c.b, c.h, 0.1, ISection(c.h, c.b, c.tw, c.tf, c.r, kRed));
  const auto lib = LibraryOf({{"clRed", 2}});
  ElasticOptions options;
  options.estimateError = false;
  const Analysis a = Analyse(s, lib, ZeroPoisson({"clRed"}), options);
  ASSERT_TRUE(a.elastic);
  EXPECT_EQ(a.elastic->Coarsening, 1);
  const double ratio = a.elastic->GJ / (c.catalogueIt * 1e4);
  EXPECT_GT(ratio, 0.965) << c.name;
  EXPECT_LT(ratio, 0.985) << c.name;
}

INSTANTIATE_TEST_SUITE_P(Catalogue, ElasticRolledSectionSlowTest,
                         ::testing::Values(
                             // IPE 300: about 538 000 pixels at 0.1 mm
                             RolledCase{"IPE300", 300, 150, 7.1, 10.7, 15, 20.12},
                             // HE 200 A
                             RolledCase{"HE200A", 190, 200, 6.5, 10, 18, 20.98}),
                         RowName);

}  // namespace
}  // namespace qv::test
