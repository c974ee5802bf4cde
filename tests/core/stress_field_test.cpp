// Stresses under given actions against exact solutions and the beam theory's formulas: composite
// bending and axial force against the linear distribution of rectangles computed by hand, torsion
// of a square and a tube, shear of a tall rectangle, and the shear flow across the joint of two
// materials against V Q / I.
#include "core/elastic/stress_field.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <numbers>
#include <optional>
#include <string>
#include <vector>

#include "core/base/error.h"
#include "core/library/dd_props.h"
#include "support/grid_builder.h"
#include "support/material_library.h"
#include "support/row_name.h"
#include "support/section_analysis.h"
#include "support/section_pictures.h"

namespace qv::test {
namespace {

constexpr double kPi = std::numbers::pi;
constexpr int kMargin = 2;

// --- sections of rectangles, their exact properties computed by hand ---------------------------

/// A rectangle of pixels [x0, x1] x [y0, y1] of the box (inclusive) in one material.
struct Block {
  int x0, y0, x1, y1;
  std::uint32_t colour;
};

struct Composite {
  const char* what;
  double pixelMm;
  int width, height;  // the box, pixels
  std::vector<Block> blocks;
};

struct Exact {
  double EA = 0, hc = 0, vc = 0;  // centre, mm from the box's upper-left corner
  double EIyy = 0, EIzz = 0, EIyz = 0;
};

const TPROPClass& Library() {
  static const TPROPClass lib =
      LibraryOf({{"clRed", 210000}, {"clBlue", 11000}, {"clLime", 30000}});
  return lib;
}

double EOf(std::uint32_t colour) {
  return colour == kRed ? 210000 : colour == kBlue ? 11000 : 30000;
}

PoissonTable Poisson() { return ZeroPoisson({"clRed", "clBlue", "clLime"}); }

// Textbook integrals of rectangles: A, the centroid, b h^3 / 12 plus the parallel-axis terms.
Exact ExactOf(const Composite& c) {
  Exact e;
  const double p = c.pixelMm;
  double sh = 0, sv = 0;
  for (const Block& b : c.blocks) {
    const double w = (b.x1 - b.x0 + 1) * p, h = (b.y1 - b.y0 + 1) * p;
    const double E = EOf(b.colour);
    e.EA += E * w * h;
    sh += E * w * h * (b.x0 * p + w / 2);
    sv += E * w * h * (b.y0 * p + h / 2);
  }
  e.hc = sh / e.EA;
  e.vc = sv / e.EA;
  for (const Block& b : c.blocks) {
    const double w = (b.x1 - b.x0 + 1) * p, h = (b.y1 - b.y0 + 1) * p;
    const double E = EOf(b.colour);
    const double y = -(b.x0 * p + w / 2 - e.hc), z = b.y0 * p + h / 2 - e.vc;
    e.EIyy += E * (h * w * w * w / 12 + w * h * y * y);
    e.EIzz += E * (w * h * h * h / 12 + w * h * z * z);
    e.EIyz += E * w * h * y * z;
  }
  return e;
}

struct Solved {
  Analysis analysis;
  std::optional<StressField> field;
  SectionBounds bounds;
};

Solved Solve(const PixelGrid& grid, const SectionBounds& bounds, double widthMm, double heightMm,
             const SectionActions& actions, int threads = 0, const TPROPClass& lib = Library()) {
  Solved s;
  s.bounds = bounds;
  ElasticOptions options;
  options.keepFields = true;
  options.estimateError = false;
  options.threads = threads;
  s.analysis = Analyse(grid, bounds, widthMm, heightMm, lib, Poisson(), options);
  StressInput input;
  input.grid = &grid;
  input.bounds = bounds;
  input.library = &lib;
  input.section = &s.analysis.section;
  input.elastic = s.analysis.elastic ? &*s.analysis.elastic : nullptr;
  input.threads = threads;
  s.field.emplace(input, actions);
  return s;
}

PixelGrid GridOf(const Composite& c) {
  PixelGrid grid(c.width + 2 * kMargin, c.height + 2 * kMargin, kWhite);
  for (const Block& b : c.blocks) {
    grid.FillRect(b.x0 + kMargin, b.y0 + kMargin, b.x1 + kMargin, b.y1 + kMargin, b.colour);
  }
  return grid;
}

SectionBounds BoxOf(const Composite& c) {
  return {kMargin, kMargin, kMargin + c.width - 1, kMargin + c.height - 1};
}

// A timber beam with a steel plate at the bottom, symmetric about the vertical axis.
const Composite kPlated{"timber 100 x 200 with a 100 x 10 steel plate",
                        1.0,
                        100,
                        210,
                        {{0, 0, 99, 199, kBlue}, {0, 200, 99, 209, kRed}}};
// An angle of two materials: a concrete leg and a steel leg, no axis of symmetry (EIyz != 0).
const Composite kAngle{"angle of a concrete leg 20 x 120 and a steel leg 80 x 10",
                       0.5,
                       160,
                       240,
                       {{0, 0, 39, 239, kLime}, {40, 220, 159, 239, kRed}}};
// Three layers: steel faces on a timber core, the joints across the whole width.
const Composite kSandwich{"sandwich of 4 mm steel faces on a 60 mm core",
                          0.5,
                          80,
                          136,
                          {{0, 0, 79, 7, kRed}, {0, 8, 79, 127, kBlue}, {0, 128, 79, 135, kRed}}};

// --- normal stress: the exact linear distribution ---------------------------------------------

struct BendingCase {
  const Composite* section;
  SectionActions actions;
  const char* what;
};
void PrintTo(const BendingCase& c, std::ostream* os) { *os << c.section->what << ", " << c.what; }

class LinearStressTest : public ::testing::TestWithParam<BendingCase> {};

TEST_P(LinearStressTest, EveryPixelFollowsTheExactPlaneAndTheExtremesLieAtTheCorners) {
  const BendingCase& c = GetParam();
  const Composite& s = *c.section;
  const PixelGrid grid = GridOf(s);
  const Solved solved = Solve(grid, BoxOf(s), s.width * s.pixelMm, s.height * s.pixelMm, c.actions);
  const StressField& f = *solved.field;
  const Exact e = ExactOf(s);

  // The centre and the stiffnesses of the drawn rectangles, exactly as on paper.
  EXPECT_NEAR(f.Centre().Hor, e.hc, 1e-9 * s.width * s.pixelMm);
  EXPECT_NEAR(f.Centre().Ver, e.vc, 1e-9 * s.height * s.pixelMm);
  EXPECT_NEAR(f.EIyy() / e.EIyy, 1, 1e-12);
  EXPECT_NEAR(f.EIzz() / e.EIzz, 1, 1e-12);
  EXPECT_NEAR(f.EIyz(), e.EIyz, 1e-12 * std::sqrt(e.EIyy * e.EIzz));

  // The plane from the hand-computed system: N alone stretches, the moments alone bend.
  const double det = e.EIyy * e.EIzz - e.EIyz * e.EIyz;
  const SectionActions& a = c.actions;
  const double eps0 = a.N / e.EA;
  const double ky = (e.EIzz * a.My - e.EIyz * a.Mz) / det;
  const double kz = (e.EIyy * a.Mz - e.EIyz * a.My) / det;
  const auto sigma = [&](double E, double hor, double ver) {
    return E * (eps0 + ky * -(hor - e.hc) + kz * (ver - e.vc));
  };
  double scale = 0, low = 1e300, high = -1e300;
  for (const Block& b : s.blocks) {
    for (const int x : {b.x0, b.x1 + 1}) {
      for (const int y : {b.y0, b.y1 + 1}) {
        const double v = sigma(EOf(b.colour), x * s.pixelMm, y * s.pixelMm);
        low = std::min(low, v);
        high = std::max(high, v);
        scale = std::max(scale, std::abs(v));
      }
    }
  }
  double worst = 0;
  double sumN = 0, sumMy = 0, sumMz = 0;
  const double area = s.pixelMm * s.pixelMm;
  for (int y = 0; y < s.height; ++y) {
    for (int x = 0; x < s.width; ++x) {
      const PixelStress p = f.At(x + kMargin, y + kMargin);
      const double hor = (x + 0.5) * s.pixelMm, ver = (y + 0.5) * s.pixelMm;
      if (grid.At(x + kMargin, y + kMargin) == kWhite) {
        EXPECT_EQ(p.material, -1);
        continue;
      }
      const double E = EOf(grid.At(x + kMargin, y + kMargin));
      ASSERT_GE(p.material, 0);
      worst = std::max(worst, std::abs(p.sigma - sigma(E, hor, ver)));
      EXPECT_EQ(p.tau, 0);
      EXPECT_EQ(p.vonMises, std::abs(p.sigma));
      // The integrals over the pixel of sigma, y sigma and z sigma: sigma is linear over it.
      const double yc = -(hor - e.hc), zc = ver - e.vc;
      sumN += p.sigma * area;
      sumMy += (yc * p.sigma + E * ky * s.pixelMm * s.pixelMm / 12) * area;
      sumMz += (zc * p.sigma + E * kz * s.pixelMm * s.pixelMm / 12) * area;
    }
  }
  EXPECT_LE(worst, 1e-9 * scale);
  // The scale of the sums: every action, N at the section's size.
  const double force = std::max({std::abs(a.N), 1.0});
  const double moment = std::max({std::abs(a.My), std::abs(a.Mz), std::abs(a.N) * s.height, 1.0});
  EXPECT_NEAR(sumN, a.N, 1e-9 * force);
  EXPECT_NEAR(sumMy, a.My, 1e-9 * moment);
  EXPECT_NEAR(sumMz, a.Mz, 1e-9 * moment);
  // The extremes of the drawn area are the extreme corners of its rectangles.
  EXPECT_NEAR(f.Overall().sigmaMax.value, high, 1e-9 * scale);
  EXPECT_NEAR(f.Overall().sigmaMin.value, low, 1e-9 * scale);
  EXPECT_NEAR(f.Overall().vonMisesMax.value, std::max(std::abs(low), std::abs(high)), 1e-9 * scale);
  EXPECT_EQ(f.Overall().tauMax.value, 0);
  // The point given lies on a pixel (at its corner where sigma changes both ways) where the
  // plane takes that value.
  const SectionPoint point = f.Overall().sigmaMax.at;
  bool found = false;
  for (int y = 0; y < s.height; ++y) {
    for (int x = 0; x < s.width; ++x) {
      const std::uint32_t colour = grid.At(x + kMargin, y + kMargin);
      const bool on = point.Hor >= x * s.pixelMm - 1e-9 &&
                      point.Hor <= (x + 1) * s.pixelMm + 1e-9 &&
                      point.Ver >= y * s.pixelMm - 1e-9 && point.Ver <= (y + 1) * s.pixelMm + 1e-9;
      if (on && colour != kWhite &&
          std::abs(sigma(EOf(colour), point.Hor, point.Ver) - high) <= 1e-9 * scale) {
        found = true;
      }
    }
  }
  EXPECT_TRUE(found) << "the maximum's point lies on a pixel that reaches it";
  std::int64_t drawn = 0;
  for (const Block& b : s.blocks) drawn += (b.x1 - b.x0 + 1) * (b.y1 - b.y0 + 1);
  EXPECT_EQ(f.Overall().pixels, drawn);
}

INSTANTIATE_TEST_SUITE_P(
    Composites, LinearStressTest,
    ::testing::Values(
        // N alone: each material at E N / EA, no bending.
        BendingCase{&kPlated, {1e5, 0, 0, 0, 0, 0}, "tension"},
        BendingCase{&kAngle, {-2e5, 0, 0, 0, 0, 0}, "compression"},
        // Moments alone, about both axes, and everything at once on the unsymmetric angle.
        BendingCase{&kPlated, {0, 0, 3e7, 0, 0, 0}, "sagging Mz"},
        BendingCase{&kPlated, {0, -2e6, 0, 0, 0, 0}, "My"},
        BendingCase{&kAngle, {0, 5e6, 0, 0, 0, 0}, "My on the angle"},
        BendingCase{&kAngle, {3e4, -4e6, 7e6, 0, 0, 0}, "N My Mz on the angle"}),
    RowName);

TEST(StressFieldTest, AxialForceAloneGivesEachMaterialEOverEA) {
  const PixelGrid grid = GridOf(kAngle);
  const Solved s = Solve(grid, BoxOf(kAngle), 80, 120, {5e4, 0, 0, 0, 0, 0});
  const Exact e = ExactOf(kAngle);
  ASSERT_EQ(s.field->Materials().size(), 3U);
  for (const MaterialStress& m : s.field->Materials()) {
    if (m.extremes.pixels == 0) continue;
    EXPECT_NEAR(m.extremes.sigmaMin.value, m.E * 5e4 / e.EA, 1e-12 * m.E * 5e4 / e.EA) << m.label;
    EXPECT_NEAR(m.extremes.sigmaMax.value, m.E * 5e4 / e.EA, 1e-12 * m.E * 5e4 / e.EA) << m.label;
  }
  EXPECT_EQ(s.field->Materials()[1].extremes.pixels, 0) << "timber is not in this picture";
}

// --- shear stresses: resultants, torsion and shear against closed forms ------------------------

struct Resultant {
  double Vy = 0, Vz = 0, T = 0;  // about the shear centre, in the report's axes
};

// Sums tau dA over the picture's pixels: y = -hor, tau_y = -tauHor.
Resultant ResultantOf(const Solved& s, double dx, double dy) {
  Resultant r;
  const ElasticResult& el = *s.analysis.elastic;
  for (int y = s.bounds.ymin; y <= s.bounds.ymax; ++y) {
    for (int x = s.bounds.xmin; x <= s.bounds.xmax; ++x) {
      const PixelStress p = s.field->At(x, y);
      if (p.material < 0) continue;
      const double ty = -p.tauHor, tz = p.tauVer;
      const double yy = -((x - s.bounds.xmin + 0.5) * dx - el.ShearCentreHor);
      const double zz = (y - s.bounds.ymin + 0.5) * dy - el.ShearCentreVer;
      r.Vy += ty * dx * dy;
      r.Vz += tz * dx * dy;
      r.T += (yy * tz - zz * ty) * dx * dy;
    }
  }
  return r;
}

TEST(StressFieldTest, ShearStressesAddUpToTheActionsOnAChannel) {
  // A channel: its shear centre lies outside the web, so a shear force through the centroid
  // would twist it; through the shear centre it does not.
  const DrawnSection s = DrawSection(50, 100, 0.5, Channel(100, 50, 4, false, kRed));
  const SectionActions actions{0, 0, 0, 3000, -8000, 2e5};
  const Solved solved = Solve(s.grid, s.bounds, s.widthMm, s.heightMm, actions);
  const Resultant r = ResultantOf(solved, 0.5, 0.5);
  // The cells' values balance the actions as the solve does, up to the pixels' own second
  // moments, which the bending system counts and the cells' sums do not.
  EXPECT_NEAR(r.Vy, actions.Vy, 0.001 * 8000);
  EXPECT_NEAR(r.Vz, actions.Vz, 0.001 * 8000);
  EXPECT_NEAR(r.T, actions.T, 0.001 * actions.T);
  // Each action alone: the shear forces carry no torque about the shear centre.
  const Solved shearOnly = Solve(s.grid, s.bounds, s.widthMm, s.heightMm, {0, 0, 0, 0, -8000, 0});
  const Resultant v = ResultantOf(shearOnly, 0.5, 0.5);
  EXPECT_NEAR(v.T, 0, 0.001 * 8000 * 50) << "a shear force through the shear centre does not twist";
  EXPECT_NEAR(v.Vy, 0, 0.001 * 8000);
}

struct ShearCase {
  const char* what;
  double widthMm, heightMm, pixelMm;
  SectionActions actions;
  double exactTauMax;
  double tolerance;  // relative
};
void PrintTo(const ShearCase& c, std::ostream* os) { *os << c.what; }

class ShearClosedFormTest : public ::testing::TestWithParam<ShearCase> {};

TEST_P(ShearClosedFormTest, LargestShearStressMatches) {
  const ShearCase& c = GetParam();
  const DrawnSection s = DrawSection(c.widthMm, c.heightMm, c.pixelMm, Rectangle(kRed));
  const Solved solved = Solve(s.grid, s.bounds, s.widthMm, s.heightMm, c.actions);
  const double tau = solved.field->Overall().tauMax.value;
  EXPECT_NEAR(tau / c.exactTauMax, 1, c.tolerance) << tau << " against " << c.exactTauMax;
  EXPECT_DOUBLE_EQ(solved.field->Overall().vonMisesMax.value, std::sqrt(3.0) * tau);
}

constexpr double kSquareA = 40;  // mm
INSTANTIATE_TEST_SUITE_P(
    Rectangles, ShearClosedFormTest,
    ::testing::Values(
        // Torsion of a square: tau max = T / (0.2081 a^3) in the middle of each side.
        ShearCase{"torsion of a square",
                  kSquareA,
                  kSquareA,
                  0.5,
                  {0, 0, 0, 0, 0, 1e6},
                  1e6 / (0.2081 * kSquareA * kSquareA * kSquareA),
                  0.02},
        // Shear of a tall rectangle: tau max = 1.5 V / A at the centroid, either sign.
        ShearCase{"vertical shear of a tall rectangle",
                  10,
                  60,
                  0.25,
                  {0, 0, 0, 0, 6000, 0},
                  1.5 * 6000 / 600,
                  0.005},
        ShearCase{"upward shear of a tall rectangle",
                  10,
                  60,
                  0.25,
                  {0, 0, 0, 0, -6000, 0},
                  1.5 * 6000 / 600,
                  0.005},
        // And of a wide one, sideways.
        ShearCase{"horizontal shear of a wide rectangle",
                  60,
                  10,
                  0.25,
                  {0, 0, 0, 4000, 0, 0},
                  1.5 * 4000 / 600,
                  0.005}),
    RowName);

TEST(StressFieldTest, TorsionOfATubeMatchesTROverJ) {
  constexpr double kOuter = 25, kInner = 15;  // mm, at 0.25 mm per pixel
  const DrawnSection s = DrawSection(2 * kOuter, 2 * kOuter, 0.25, Ring(kOuter, kInner, kRed));
  const double T = 2e6;
  const Solved solved = Solve(s.grid, s.bounds, s.widthMm, s.heightMm, {0, 0, 0, 0, 0, T});
  const double J = kPi / 2 * (std::pow(kOuter, 4) - std::pow(kInner, 4));
  const double exact = T * kOuter / J;
  const StressExtreme& tau = solved.field->Overall().tauMax;
  // The pixel circle steps along the outline; next to each inner step the cells' stress rises
  // above the smooth circle's, and the extremes come from the field beneath the staircase. What
  // is left is mostly the drawn tube's own J, 1.1 % below the exact one at this size.
  EXPECT_NEAR(tau.value / exact, 1, 0.03) << tau.value << " against " << exact;
  // The largest stress lies on the outer edge.
  const double r = std::hypot(tau.at.Hor - kOuter, tau.at.Ver - kOuter);
  EXPECT_GT(r, kOuter - 1);
}

// A 20 x 20 mm steel core in a 60 x 60 mm block of foam, 0.25 mm pixels, under T = 1E6 Nmm: the
// core's largest shear stress lies on its faces, and a foam that carries almost nothing leaves it
// as the bare core has it (T / (0.2081 a^3) = 600.7). Taken on the cells next to the joint, it lay
// half a pixel inside the steel, 1.2 % below the bare core's next to the realistic foam.
TEST(StressFieldTest, TheShearStressNextToASoftMaterialIsTakenOnTheJoint) {
  const DrawnSection bare = DrawSection(20, 20, 0.25, Rectangle(kRed));
  const Solved core =
      Solve(bare.grid, bare.bounds, bare.widthMm, bare.heightMm, {0, 0, 0, 0, 0, 1e6});
  const double tauBare = core.field->Overall().tauMax.value;
  EXPECT_NEAR(tauBare / 600.7, 1, 0.02);
  const DrawnSection embedded = DrawSection(60, 60, 0.25, [](double u, double v) {
    return std::abs(u) < 10 && std::abs(v) < 10 ? kRed : kBlue;
  });
  for (const double foam : {210000e-12, 21.0}) {
    const TPROPClass lib = LibraryOf({{"clRed", 210000}, {"clBlue", foam}});
    const Solved s = Solve(embedded.grid, embedded.bounds, 60, 60, {0, 0, 0, 0, 0, 1e6}, 0, lib);
    const StressExtreme& steel = s.field->Materials()[0].extremes.tauMax;
    // The realistic foam (E 21) takes about 0.2 % of the torque.
    EXPECT_NEAR(steel.value / tauBare, 1, 0.01) << foam;
    // On a face of the core: 10 mm from its centre across, at most 10 along.
    const double across = std::max(std::abs(steel.at.Hor - 30), std::abs(steel.at.Ver - 30));
    EXPECT_NEAR(across, 10, 1e-9) << foam;
  }
}

TEST(StressFieldTest, ShearOnARolledSectionCostsLessThanItsSolve) {
  // The web's straight faces run into the root fillets without a corner, so the staircase's
  // period there is the whole face; the cells the edge values cap must still be those about the
  // edge, not every cell within a face's length of it.
  const DrawnSection s = DrawSection(150, 300, 0.25, ISection(300, 150, 7.1, 10.7, 15, kRed));
  using Clock = std::chrono::steady_clock;
  const Clock::time_point start = Clock::now();
  const Solved plain = Solve(s.grid, s.bounds, s.widthMm, s.heightMm, {0, 0, 1e7, 0, 0, 0});
  const Clock::time_point bent = Clock::now();
  const Solved sheared = Solve(s.grid, s.bounds, s.widthMm, s.heightMm, {0, 0, 0, 0, 1e5, 2e6});
  const Clock::time_point done = Clock::now();
  EXPECT_LT(done - bent, 3 * (bent - start) + std::chrono::seconds(2));
  // A vertical shear force alone: the web's largest stress is V S / (I tw) at the axis, with
  // I = 8356 cm^4 and S = 314 cm^3, the tables' values of this section.
  const Solved vertical = Solve(s.grid, s.bounds, s.widthMm, s.heightMm, {0, 0, 0, 0, 1e5, 0});
  EXPECT_NEAR(vertical.field->Overall().tauMax.value / (1e5 * 314e3 / (8356e4 * 7.1)), 1, 0.03);
  EXPECT_EQ(plain.field->Overall().tauMax.value, 0);
}

// --- the joint between two materials: V Q / I -------------------------------------------------

struct JointCase {
  const char* what;
  const Composite* section;
  int jointRow;            // first pixel row below the joint
  int jointFrom, jointTo;  // pixel columns of the joint
  bool evenAcross;         // the joint spans the section's width
};
void PrintTo(const JointCase& c, std::ostream* os) { *os << c.what; }

class JointShearTest : public ::testing::TestWithParam<JointCase> {};

TEST_P(JointShearTest, ShearFlowIsVQOverI) {
  const JointCase& c = GetParam();
  const Composite& s = *c.section;
  const PixelGrid grid = GridOf(s);
  constexpr double kV = 50000;
  const Solved solved =
      Solve(grid, BoxOf(s), s.width * s.pixelMm, s.height * s.pixelMm, {0, 0, 0, 0, kV, 0});
  const Exact e = ExactOf(s);
  // Q: the E-weighted first moment of everything above the joint about the centre.
  double Q = 0;
  for (const Block& b : s.blocks) {
    const int y1 = std::min(b.y1, c.jointRow - 1);
    if (y1 < b.y0) continue;
    const double w = (b.x1 - b.x0 + 1) * s.pixelMm, h = (y1 - b.y0 + 1) * s.pixelMm;
    Q += EOf(b.colour) * w * h * (b.y0 * s.pixelMm + h / 2 - e.vc);
  }
  const double q = kV * std::abs(Q) / e.EIzz;
  ASSERT_GE(solved.field->Joints().size(), 1U);
  const JointStress& joint = solved.field->Joints().front();
  const double width = (c.jointTo - c.jointFrom + 1) * s.pixelMm;
  EXPECT_NEAR(joint.lengthMm, width, 1e-9);
  EXPECT_NEAR(joint.flow / q, 1, 1e-6) << joint.flow << " against V Q / I = " << q;
  EXPECT_NEAR(joint.tauMax.at.Ver, c.jointRow * s.pixelMm, 1e-9);
  EXPECT_NEAR(joint.mean * width / q, 1, 1e-6);
  if (c.evenAcross) {
    // Across a joint the whole width, the stress is even: q / b.
    EXPECT_NEAR(joint.tauMax.value * width / q, 1, 1e-3);
  } else {
    // A web under a wider flange takes the flow with peaks at the inner corners.
    EXPECT_GT(joint.tauMax.value * width / q, 1.1);
  }
}

// A T: a concrete flange on a steel web, the joint as wide as the web.
const Composite kTee{"concrete flange 80 x 15 on a steel web 6 x 60",
                     0.5,
                     160,
                     150,
                     {{0, 0, 159, 29, kLime}, {74, 30, 85, 149, kRed}}};

INSTANTIATE_TEST_SUITE_P(
    Joints, JointShearTest,
    ::testing::Values(JointCase{"sandwich upper face", &kSandwich, 8, 0, 79, true},
                      JointCase{"concrete flange on a steel web", &kTee, 30, 74, 85, false}),
    RowName);

// --- conventions, determinism and refusals ----------------------------------------------------

struct NameCase {
  SignConvention convention;
  const char* name;
  ActionKind kind;
};
void PrintTo(const NameCase& c, std::ostream* os) {
  *os << (c.convention == SignConvention::EuroCode ? "EURO-code " : "formal ") << c.name;
}

class ActionNameTest : public ::testing::TestWithParam<NameCase> {};

TEST_P(ActionNameTest, NamesFollowTheConvention) {
  const NameCase& c = GetParam();
  EXPECT_EQ(ActionOfName(c.name, c.convention), c.kind);
  EXPECT_EQ(ActionName(c.kind, c.convention), c.name);
}

INSTANTIATE_TEST_SUITE_P(
    Conventions, ActionNameTest,
    ::testing::Values(NameCase{SignConvention::DorvastPelkam, "My", ActionKind::My},
                      NameCase{SignConvention::DorvastPelkam, "Mz", ActionKind::Mz},
                      NameCase{SignConvention::EuroCode, "My", ActionKind::Mz},
                      NameCase{SignConvention::EuroCode, "Mz", ActionKind::My},
                      NameCase{SignConvention::EuroCode, "Vz", ActionKind::Vz},
                      NameCase{SignConvention::EuroCode, "T", ActionKind::T},
                      NameCase{SignConvention::EuroCode, "N", ActionKind::N}),
    RowName);

TEST(StressFieldTest, ActionTextsListTheUsersNames) {
  const SectionActions a{1000, 2e6, 3e6, 0, 0, 0};
  const std::vector<std::string> formal = ActionTexts(a, SignConvention::DorvastPelkam);
  const std::vector<std::string> euro = ActionTexts(a, SignConvention::EuroCode);
  EXPECT_EQ(formal[1], "My = 2000000 Nmm");
  EXPECT_EQ(euro[1], "My = 3000000 Nmm");
  EXPECT_EQ(euro[0], "N = 1000 N");
  EXPECT_FALSE(ActionOfName("Mx", SignConvention::EuroCode).has_value());
}

TEST(StressFieldTest, ResultsDoNotDependOnTheThreads) {
  const DrawnSection s = DrawSection(50, 100, 0.5, Channel(100, 50, 4, false, kRed));
  const SectionActions actions{1e4, 2e6, -5e6, 3000, -8000, 2e5};
  const Solved one = Solve(s.grid, s.bounds, s.widthMm, s.heightMm, actions, 1);
  const Solved two = Solve(s.grid, s.bounds, s.widthMm, s.heightMm, actions, 2);
  const auto same = [](const StressExtreme& a, const StressExtreme& b) {
    return a.value == b.value && a.at == b.at;
  };
  const StressExtremes& a = one.field->Overall();
  const StressExtremes& b = two.field->Overall();
  EXPECT_TRUE(same(a.sigmaMin, b.sigmaMin) && same(a.sigmaMax, b.sigmaMax));
  EXPECT_TRUE(same(a.tauMax, b.tauMax) && same(a.vonMisesMax, b.vonMisesMax));
}

TEST(StressFieldTest, ShearWithoutTheSolvedFieldsIsRefused) {
  const PixelGrid grid = GridOf(kPlated);
  Analysis a = Analyse(grid, BoxOf(kPlated), 100, 210, Library(), Poisson());  // no fields kept
  StressInput input;
  input.grid = &grid;
  input.bounds = BoxOf(kPlated);
  input.library = &Library();
  input.section = &a.section;
  input.elastic = &*a.elastic;
  EXPECT_THROW(StressField(input, {0, 0, 0, 0, 100, 0}), Error);
  EXPECT_THROW(StressField(input, {0, 0, 0, 0, 0, 100}), Error);
  // Bending needs no solve.
  input.elastic = nullptr;
  EXPECT_NO_THROW(StressField(input, {100, 1e5, 0, 0, 0, 0}));
}

}  // namespace
}  // namespace qv::test
