// The cracked section against hand calculations: the transformed section of a reinforced beam,
// the linear stresses where nothing cracks, equilibrium of a biaxial case integrated pixel by
// pixel here, and the refusal where no strain plane carries the actions.
#include "core/section/cracked.h"

#include <gtest/gtest.h>

#include <cmath>

#include "core/elastic/stress_field.h"
#include "core/library/material_law.h"
#include "core/section/integration.h"
#include "support/grid_builder.h"
#include "support/material_library.h"
#include "support/section_analysis.h"
#include "support/section_pictures.h"

namespace qv::test {
namespace {

constexpr double kEc = 30000;
constexpr double kEs = 200000;

class CrackedSectionTest : public ::testing::Test {
 protected:
  CrackedOutcome Cracked(const DrawnSection& s, const SectionActions& actions,
                         const char* concreteLaw, std::optional<Strength> concrete = {}) {
    LawTable laws;
    if (concreteLaw != nullptr) laws.Set("clBlue", ReadMaterialLaw(concreteLaw));
    StrengthTable strengths;
    if (concrete) strengths.Set("clBlue", *concrete);
    return ComputeCracked(s.grid, s.bounds, lib, strengths, laws, SectionValues(s, lib), actions);
  }

  // The linear stresses of the analysis, as the stress field computes them.
  StressField Linear(const DrawnSection& s, const SectionActions& actions) {
    section = SectionValues(s, lib);
    StressInput input;
    input.grid = &s.grid;
    input.bounds = s.bounds;
    input.library = &lib;
    input.section = &section;
    return {input, actions};
  }

  const TPROPClass lib = LibraryOf({{"clBlue", kEc}, {"clRed", kEs}});
  SectionResult section;
};

TEST_F(CrackedSectionTest, ReinforcedBeamMatchesTheTransformedSection) {
  const double m = 100e6;  // Nmm, stretching the bottom: Mz in the formal names
  const CrackedOutcome out = Cracked(ReinforcedBeam(false), {.Mz = m}, "no-tension");
  ASSERT_TRUE(out.values) << out.missing;
  const CrackedSection& c = *out.values;
  // b x^2 / 2 = alpha As (d - x), the bars' own second moment in I_cr.
  const double b = 300, as = 3 * 20 * 20, d = 450, alpha = kEs / kEc;
  const double x = (-alpha * as + std::sqrt(alpha * as * (alpha * as + 2 * b * d))) / b;
  const double icr = b * x * x * x / 3 + alpha * (as * (d - x) * (d - x) + 3 * 20.0 * 8000 / 12);
  ASSERT_TRUE(c.neutralAxis);
  EXPECT_NEAR((*c.neutralAxis)[0].Ver, x, 1e-6);
  EXPECT_NEAR((*c.neutralAxis)[1].Ver, x, 1e-6);
  EXPECT_NEAR(std::abs((*c.neutralAxis)[1].Hor - (*c.neutralAxis)[0].Hor), 300, 1e-6);
  // The concrete's top edge and the bars' bottom edge at depth 460.
  ASSERT_EQ(c.materials.size(), 2U);
  EXPECT_TRUE(c.materials[0].cracks);
  EXPECT_NEAR(c.materials[0].sigma->min / (-m * x / icr), 1, 1e-9);
  EXPECT_EQ(c.materials[0].sigma->max, 0);
  EXPECT_NEAR(c.materials[1].sigma->max / (alpha * m * (460 - x) / icr), 1, 1e-9);
  EXPECT_NEAR(c.sigma.min / (-m * x / icr), 1, 1e-9);
  // About the neutral axis, which is the carrying part's elastic centre without N.
  EXPECT_NEAR(c.EIzz / (kEc * icr), 1, 1e-9);
  EXPECT_NEAR(c.EA / (kEc * (b * x + alpha * as)), 1, 1e-9);
  EXPECT_NEAR(c.crackedCentre.Ver, x, 1e-6);
  EXPECT_GT(c.iterations, 0);
}

struct LinearCase {
  const char* name;
  const char* concreteLaw;  // null: none given
  std::optional<Strength> concrete;
  SectionActions actions;
};
void PrintTo(const LinearCase& c, std::ostream* os) { *os << c.name; }

class CrackedLinearTest : public CrackedSectionTest,
                          public ::testing::WithParamInterface<LinearCase> {};

TEST_P(CrackedLinearTest, WhereNothingCracksTheStressesAreTheLinearOnes) {
  const LinearCase& p = GetParam();
  const DrawnSection s = ReinforcedBeam(true);
  const CrackedOutcome out = Cracked(s, p.actions, p.concreteLaw, p.concrete);
  ASSERT_TRUE(out.values) << out.missing;
  const CrackedSection& c = *out.values;
  const StressField linear = Linear(s, p.actions);
  EXPECT_EQ(c.iterations, 0);
  for (std::size_t i = 0; i < 2; ++i) {
    const StressExtremes& e = linear.Materials()[i].extremes;
    const double scale = std::max(std::abs(e.sigmaMin.value), std::abs(e.sigmaMax.value));
    EXPECT_NEAR(c.materials[i].sigma->min, e.sigmaMin.value, 1e-12 * scale);
    EXPECT_NEAR(c.materials[i].sigma->max, e.sigmaMax.value, 1e-12 * scale);
  }
  EXPECT_NEAR(c.EA / section.EA, 1, 1e-12);
  EXPECT_NEAR(c.EIyy / linear.EIyy(), 1, 1e-9);
  EXPECT_NEAR(c.EIzz / linear.EIzz(), 1, 1e-9);
  EXPECT_NEAR(c.EIyz, linear.EIyz(), 1e-9 * linear.EIyy());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CrackedLinearTest,
    ::testing::Values(
        // No law without tension and no strength: every material linear, tension and all.
        LinearCase{"NoCrackingMaterial", nullptr, std::nullopt, {.N = 2e5, .My = 3e7, .Mz = 8e7}},
        // Concrete without tension, but a compression large enough that none of it stretches.
        LinearCase{"CompressedThroughout", "no-tension", std::nullopt, {.N = -4e6, .Mz = 5e7}},
        // A tension strength of 0 makes the default law crack: compressed throughout too.
        LinearCase{"StrengthWithoutTension", nullptr, Strength{17, 0}, {.N = -4e6, .My = 4e7}}));

TEST_F(CrackedSectionTest, BiaxialBendingBalancesTheActionsOnAnInclinedAxis) {
  // Bars at all four corners: symmetric both ways, bent about both axes at once.
  const DrawnSection s = ReinforcedBeam(true);
  const SectionActions actions{.N = -2e5, .My = 40e6, .Mz = 90e6};
  const CrackedOutcome out = Cracked(s, actions, "no-tension");
  ASSERT_TRUE(out.values) << out.missing;
  const CrackedSection& c = *out.values;
  ASSERT_TRUE(c.neutralAxis);
  const auto& [a, b] = *c.neutralAxis;
  EXPECT_GT(std::abs(a.Ver - b.Ver), 10) << "the neutral axis is not inclined";
  // The stresses integrated here over 8 x 8 points of each pixel: exact but at the pixels the
  // neutral axis cuts.
  const std::optional<ElasticCentre> centre = ElasticCentreOf(SectionValues(s, lib));
  ASSERT_TRUE(centre);
  const double ch = centre->x - s.bounds.xmin + 0.5;
  const double cv = centre->y - s.bounds.ymin + 0.5;
  double n = 0, my = 0, mz = 0;
  constexpr int kSub = 8;
  for (int py = s.bounds.ymin; py <= s.bounds.ymax; ++py) {
    for (int px = s.bounds.xmin; px <= s.bounds.xmax; ++px) {
      const std::uint32_t colour = s.grid.Row(py)[px];
      if (colour != kBlue && colour != kRed) continue;
      for (int i = 0; i < kSub; ++i) {
        for (int j = 0; j < kSub; ++j) {
          const double y = -((px - s.bounds.xmin) + (i + 0.5) / kSub - ch);
          const double z = (py - s.bounds.ymin) + (j + 0.5) / kSub - cv;
          const double eps = c.plane.eps0 + c.plane.ky * y + c.plane.kz * z;
          const double sigma = colour == kRed ? kEs * eps : kEc * std::min(eps, 0.0);
          const double da = 1.0 / (kSub * kSub);
          n += sigma * da;
          my += sigma * y * da;
          mz += sigma * z * da;
        }
      }
    }
  }
  EXPECT_NEAR(n, actions.N, 1e-4 * std::abs(actions.N));
  EXPECT_NEAR(my, actions.My, 1e-4 * actions.My);
  EXPECT_NEAR(mz, actions.Mz, 1e-4 * actions.Mz);
}

TEST_F(CrackedSectionTest, NoNeutralAxisWhereOnlyAnEmptyCornerOfTheBoxWouldBeStretched) {
  // An L of legs 50 mm thick in a 200 x 200 box, under the plane eps = g (hor - ver - 120): its
  // zero line crosses the box's empty upper right corner, where hor - ver > 50 of any point of
  // the L.
  const DrawnSection s{
      MakeGrid(206, 206, kWhite, {{3, 3, 52, 202, kBlue}, {3, 153, 202, 202, kBlue}}),
      {3, 3, 202, 202},
      200,
      200};
  const std::optional<ElasticCentre> c = ElasticCentreOf(SectionValues(s, lib));
  ASSERT_TRUE(c);
  const double g = 1e-5;
  const double ch = c->x - s.bounds.xmin + 0.5;
  const double cv = c->y - s.bounds.ymin + 0.5;
  const SectionResult values = SectionValues(s, lib);
  // eps = g (ch - y - cv - z - 120): ky = kz = -g about the elastic centre.
  const SectionActions actions{.N = values.EA * g * (ch - cv - 120),
                               .My = -g * (c->EIyy + c->EIyz),
                               .Mz = -g * (c->EIyz + c->EIzz)};
  const CrackedOutcome out = Cracked(s, actions, "no-tension");
  ASSERT_TRUE(out.values) << out.missing;
  EXPECT_EQ(out.values->iterations, 0);
  EXPECT_NEAR(out.values->sigma.max, kEc * g * (50 - 120), 1e-9);
  EXPECT_FALSE(out.values->neutralAxis);
}

TEST_F(CrackedSectionTest, SectionWithoutTensionCannotCarryAMomentAlone) {
  const DrawnSection s = DrawSection(100, 200, 1, Rectangle(kBlue));
  for (const SectionActions& actions : {SectionActions{.Mz = 1e6}, SectionActions{.N = 1e4}}) {
    const CrackedOutcome out = Cracked(s, actions, "no-tension");
    EXPECT_FALSE(out.values);
    EXPECT_EQ(out.missing, "the cracked section cannot carry the actions");
  }
  // Compressed within the section's middle third as well as beyond it: carried.
  for (const double e : {20.0, 60.0}) {
    const CrackedOutcome out = Cracked(s, {.N = -1e5, .Mz = 1e5 * e}, "no-tension");
    ASSERT_TRUE(out.values) << out.missing;
    // Beyond the kern the compressed depth is 3 (h/2 - e), the edge stress 2 N / (b depth).
    if (e > 200.0 / 6) {
      EXPECT_EQ(out.values->sigma.max, 0);
      EXPECT_NEAR(out.values->sigma.min / (-2e5 / (100 * 3 * (100 - e))), 1, 1e-9);
    }
  }
}

}  // namespace
}  // namespace qv::test
