// Stress-strain laws and the ultimate resistance against hand calculations: a rectangle of one
// elastic-plastic material, a reinforced concrete beam with the parabola-rectangle block worked
// out by hand, a composite slab on a steel beam against its plastic moments, and symmetry.
#include "core/section/resistance.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>

#include "core/base/error.h"
#include "core/base/thread_pool.h"
#include "core/library/material_law.h"
#include "core/picture/pixel_rows.h"
#include "core/scan/moments.h"
#include "core/scan/scan_support.h"
#include "core/section/plastic.h"
#include "support/grid_builder.h"
#include "support/material_library.h"
#include "support/section_analysis.h"
#include "support/section_pictures.h"

namespace qv::test {
namespace {

LawTable Laws(std::initializer_list<std::pair<const char*, const char*>> entries) {
  LawTable table;
  for (const auto& [label, text] : entries) table.Set(label, ReadMaterialLaw(text));
  return table;
}

StrengthTable Strengths(std::initializer_list<std::pair<const char*, Strength>> entries) {
  StrengthTable table;
  for (const auto& [label, strength] : entries) table.Set(label, strength);
  return table;
}

ResistanceOutcome Resistance(const DrawnSection& s, const TPROPClass& lib,
                             const StrengthTable& strengths, const LawTable& laws, double n = 0,
                             int points = 0) {
  return ComputeResistance({&s.grid}, s.bounds, lib, strengths, laws, SectionValues(s, lib), n,
                           {.interactionPoints = points});
}

// --- the laws --------------------------------------------------------------------------------

struct SigmaCase {
  const char* law;
  double eps;
  double sigma;  // by hand, E = 200000, strength 20 / 10
};
void PrintTo(const SigmaCase& c, std::ostream* os) { *os << c.law << " at " << c.eps; }

class MaterialLawSigmaTest : public ::testing::TestWithParam<SigmaCase> {};

TEST_P(MaterialLawSigmaTest, StressFollowsTheFormula) {
  const SigmaCase c = GetParam();
  const LawOfMaterial law(ReadMaterialLaw(c.law), 200000, {20, 10});
  EXPECT_NEAR(law.Sigma(c.eps), c.sigma, 1e-12) << MaterialLawText(law.Law());
}

INSTANTIATE_TEST_SUITE_P(
    Laws, MaterialLawSigmaTest,
    ::testing::Values(
        // E eps without limit either way.
        SigmaCase{"linear", -0.01, -2000},
        // Elastic below the strengths, flat at them: compression 20, tension 10.
        SigmaCase{"elastic-plastic", -0.00005, -10}, SigmaCase{"elastic-plastic", -0.01, -20},
        SigmaCase{"elastic-plastic,eu=0.02", 0.01, 10},
        // fc (1 - (1 - eps/ec2)^n): at half of ec2 three quarters of fc for n = 2.
        SigmaCase{"parabola-rectangle", -0.001, -15}, SigmaCase{"parabola-rectangle", -0.003, -20},
        SigmaCase{"parabola-rectangle", 0.001, 0},
        // n = 1 makes the rising part a straight line.
        SigmaCase{"parabola-rectangle,n=1,ec2=0.004,ecu=0.005", -0.001, -5},
        SigmaCase{"no-tension", -0.0001, -20}, SigmaCase{"no-tension", 0.0001, 0},
        // Linear between the points, nothing outside them.
        SigmaCase{"points:-0.002/-30;0/0;0.001/5", -0.0015, -22.5},
        SigmaCase{"points:-0.002/-30;0/0;0.001/5", 0.0005, 2.5},
        SigmaCase{"points: -0.002 / -30 ; 0/0", -0.003, 0}));

struct LawTextCase {
  const char* text;
  const char* written;  // empty when refused
  const char* refusal;
};
void PrintTo(const LawTextCase& c, std::ostream* os) { *os << c.text; }

class MaterialLawTextTest : public ::testing::TestWithParam<LawTextCase> {};

TEST_P(MaterialLawTextTest, ReadsBackWhatItWritesAndRefusesTheRest) {
  const LawTextCase c = GetParam();
  if (*c.written == '\0') {
    try {
      ReadMaterialLaw(c.text);
      FAIL() << "accepted";
    } catch (const Error& e) {
      EXPECT_EQ(std::string(e.what()), c.refusal);
    }
    return;
  }
  const MaterialLaw law = ReadMaterialLaw(c.text);
  EXPECT_EQ(MaterialLawText(law), c.written);
  EXPECT_EQ(ReadMaterialLaw(MaterialLawText(law)), law);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, MaterialLawTextTest,
    ::testing::Values(
        // Parameters at their defaults are not written back.
        LawTextCase{"parabola-rectangle,ec2=0.002", "parabola-rectangle", ""},
        LawTextCase{" elastic-plastic , eu=0.0225", "elastic-plastic,eu=0.0225", ""},
        LawTextCase{"points:0/0;0.1/5", "points:0/0;0.1/5", ""},
        LawTextCase{"plastic", "",
                    "the law must be linear, elastic-plastic, parabola-rectangle, no-tension or "
                    "points:STRAIN/STRESS;..., not 'plastic'"},
        LawTextCase{"linear,eu=1", "", "linear takes no parameters"},
        LawTextCase{"elastic-plastic,ecu=1", "",
                    "a parameter of elastic-plastic must be eu=VALUE, not 'ecu=1'"},
        LawTextCase{"elastic-plastic,eu=-1", "", "eu must be above 0"},
        LawTextCase{"elastic-plastic,eu=1,eu=2", "", "eu is given twice"},
        LawTextCase{"parabola-rectangle,ecu=0.001", "", "ecu must be at least ec2"},
        LawTextCase{"points:0/0;0/1", "",
                    "the strains of a points law must increase from point to point"},
        LawTextCase{"points:0/0", "", "a points law needs at least two points"},
        LawTextCase{"points:0/x;1/1", "", "a stress must be a number, not 'x'"}));

TEST(MaterialLawDefaultTest, TensionStrengthZeroIsConcreteBothWaysIsSteel) {
  EXPECT_EQ(DefaultLaw(Strength{17, 0}).kind, LawKind::kParabolaRectangle);
  EXPECT_EQ(DefaultLaw(Strength{355, 355}).kind, LawKind::kElasticPlastic);
  EXPECT_EQ(DefaultLaw(std::nullopt).kind, LawKind::kLinear);
}

// --- a rectangle of one elastic-plastic material: f b h^2 / 4 at large strains -----------------

TEST(ResistanceRectangleTest, ElasticPlasticMeetsTheRigidPlasticMoment) {
  const DrawnSection s = DrawSection(100, 200, 1, Rectangle(kRed));
  const ResistanceOutcome out =
      Resistance(s, LibraryOf({{"clRed", 210000}}), Strengths({{"clRed", {355, 355}}}), LawTable());
  ASSERT_TRUE(out.values) << out.missing;
  const ResistanceSection& r = *out.values;
  EXPECT_NEAR(r.nTension, 355.0 * 100 * 200, 1e-6);
  EXPECT_NEAR(r.nCompression, -355.0 * 100 * 200, 1e-6);
  EXPECT_NEAR(*r.horizontal.mFirstCompressed / (355.0 * 100 * 200 * 200 / 4), 1, 1e-6);
  EXPECT_NEAR(*r.horizontal.mSecondCompressed / (355.0 * 100 * 200 * 200 / 4), 1, 1e-6);
  EXPECT_NEAR(*r.vertical.mFirstCompressed / (355.0 * 200 * 100 * 100 / 4), 1, 1e-6);
  EXPECT_NEAR(*r.horizontal.axisFirstCompressed, 100, 1e-6);
}

// --- reinforced concrete 300 x 500, three 20 x 20 bars at depth 450 ---------------------------

struct BlockCase {
  double n;          // the parabola's exponent
  double tolerance;  // relative, on the moment
};
void PrintTo(const BlockCase& c, std::ostream* os) { *os << "n = " << c.n; }

class ResistanceReinforcedTest : public ::testing::TestWithParam<BlockCase> {};

TEST_P(ResistanceReinforcedTest, ParabolaRectangleBlockAndPivotMatchTheHandCalculation) {
  const double n = GetParam().n;
  const DrawnSection s = ReinforcedBeam(false);
  const TPROPClass lib = LibraryOf({{"clBlue", 30000}, {"clRed", 200000}});
  const std::string concrete = "parabola-rectangle,n=" + std::to_string(n);
  const ResistanceOutcome out =
      Resistance(s, lib, Strengths({{"clBlue", {20, 0}}, {"clRed", {435, 435}}}),
                 Laws({{"clRed", "elastic-plastic,eu=0.0225"}, {"clBlue", concrete.c_str()}}));
  ASSERT_TRUE(out.values) << out.missing;
  // The steel yields (its strain is checked below); the concrete's top fibre is at ecu. Of the
  // compressed depth x the part a = x ec2/ecu next to the axis is the parabola: its stress block
  // a n/(n+1) fcd, with the moment a^2 (1/2 - 1/((n+1)(n+2))) fcd about the axis; the rest is
  // the rectangle at fcd.
  const double steel = 1200 * 435.0;
  const double parabolaShare = 4.0 / 7 * n / (n + 1);
  const double x = steel / (20 * 300 * (3.0 / 7 + parabolaShare));
  const double a = x * 4 / 7;
  const double r = x - a;
  const double aboutAxis = a * a * (0.5 - 1 / ((n + 1) * (n + 2)));
  const double lever = (r * (x - r / 2) + aboutAxis) / (r + a * n / (n + 1));  // below the top
  const double fromTop = x - lever;
  EXPECT_GT(0.0035 * (440 - x) / x, 435 / 200000.0);
  const ResistanceAxis& hor = out.values->horizontal;
  EXPECT_NEAR(*hor.axisFirstCompressed, x, x * GetParam().tolerance);
  EXPECT_NEAR(*hor.mFirstCompressed / (steel * (450 - fromTop)), 1, GetParam().tolerance);
  // Wholly compressed, the pivot holds every fibre at ec2: the steel at 0.002 * 200000 = 400.
  EXPECT_NEAR(out.values->nCompression, -(20 * (150000 - 1200) + 400 * 1200.0), 1e-6);
  EXPECT_NEAR(out.values->nTension, steel, 1e-6);
}

INSTANTIATE_TEST_SUITE_P(
    Exponents, ResistanceReinforcedTest,
    ::testing::Values(
        // The design curve of normal concrete: 0.8095 fcd b x acting at 0.416 x; exact.
        BlockCase{2, 1e-9},
        // Not a polynomial: integrated strip by strip, within the Gauss rule's error.
        BlockCase{1.5, 1e-6}));

// --- composite: the plastic moments at large strains, the interaction through m at N ------------

TEST(ResistanceCompositeTest, RigidPlasticLikeLawsMeetThePlasticMoments) {
  const DrawnSection s = SlabOnWeldedI();
  const TPROPClass lib = LibraryOf({{"clRed", 210000}, {"clBlue", 33000}});
  const StrengthTable strengths = Strengths({{"clRed", {355, 355}}, {"clBlue", {17, 0}}});
  const PlasticOutcome plastic =
      ComputePlasticSection(s.grid, s.bounds, lib, strengths, SectionValues(s, lib));
  ASSERT_TRUE(plastic.values);
  const ResistanceOutcome out =
      Resistance(s, lib, strengths, Laws({{"clBlue", "elastic-plastic"}}), 0, 9);
  ASSERT_TRUE(out.values) << out.missing;
  const PlasticAxis& p = plastic.values->horizontal;
  const ResistanceAxis& hor = out.values->horizontal;
  EXPECT_NEAR(*hor.mFirstCompressed / p.mplFirstCompressed, 1, 1e-5);
  EXPECT_NEAR(*hor.mSecondCompressed / p.mplSecondCompressed, 1, 1e-5);
  EXPECT_NEAR(*out.values->vertical.mFirstCompressed / plastic.values->vertical.mplFirstCompressed,
              1, 1e-5);
  // A point of the diagram is the ultimate moment at its force.
  ASSERT_EQ(hor.interaction.size(), 9U);
  const std::array<double, 3> point = hor.interaction[3];
  const ResistanceOutcome at =
      Resistance(s, lib, strengths, Laws({{"clBlue", "elastic-plastic"}}), point[0]);
  EXPECT_NEAR(*at.values->horizontal.mFirstCompressed, point[1], 1e-9 * std::abs(point[1]));
  EXPECT_NEAR(*at.values->horizontal.mSecondCompressed, point[2], 1e-9 * std::abs(point[2]));
  EXPECT_EQ(hor.interaction.front()[0], out.values->nCompression);
  EXPECT_EQ(hor.interaction.back()[0], out.values->nTension);

  // The runs a streamed scan keeps (on two workers, so their blocks interleave) bin the section
  // as the picture does; beyond their limit none are kept.
  const auto keptRuns = [&](std::size_t limit) {
    MomentsTally tally(MaterialsOfColours(lib), 2);
    tally.KeepRuns(limit);
    GridRows rows(s.grid);
    ThreadPool pool(2);
    ForEachRowBlock(pool, rows, {}, [&](int worker, const RowBlock& b) { tally.Add(worker, b); });
    return tally.Runs();
  };
  const std::optional<std::vector<PixelRun>> runs = keptRuns(1000000);
  ASSERT_TRUE(runs);
  EXPECT_TRUE(std::is_sorted(runs->begin(), runs->end(),
                             [](const PixelRun& a, const PixelRun& b) { return a.y < b.y; }));
  const ResistanceOutcome fromRuns = ComputeResistance(
      {.runs = &*runs}, s.bounds, lib, strengths, Laws({{"clBlue", "elastic-plastic"}}),
      SectionValues(s, lib), 0, {.interactionPoints = 9});
  ASSERT_TRUE(fromRuns.values);
  EXPECT_EQ(fromRuns.values->horizontal.interaction, hor.interaction);
  EXPECT_EQ(fromRuns.values->vertical.interaction, out.values->vertical.interaction);
  // The rectangles the biaxial list integrates are merged from the runs as from the picture.
  const auto rects = [&](const SectionPixels& pixels) {
    std::vector<PixelRect> merged;
    CountStrips(pixels, s.bounds, {0x000000FF, 0x00FF0000}, {0, 1}, &merged);
    return merged;
  };
  EXPECT_EQ(rects({.runs = &*runs}), rects({&s.grid}));
  EXPECT_FALSE(keptRuns(runs->size() / 4));

  // A cancelled computation leaves no values.
  const std::atomic<bool> stop = true;
  const ResistanceOutcome cancelled =
      ComputeResistance({&s.grid}, s.bounds, lib, strengths, Laws({{"clBlue", "elastic-plastic"}}),
                        SectionValues(s, lib), 0, {.interactionPoints = 9}, &stop);
  EXPECT_FALSE(cancelled.values);
  EXPECT_EQ(cancelled.missing, "cancelled");
}

TEST(ResistanceSymmetryTest, DoublySymmetricSectionHasASymmetricDiagram) {
  const DrawnSection s = ReinforcedBeam(true);
  const TPROPClass lib = LibraryOf({{"clBlue", 30000}, {"clRed", 200000}});
  const ResistanceOutcome out = Resistance(
      s, lib, Strengths({{"clBlue", {20, 0}}, {"clRed", {435, 435}}}), LawTable(), 0, 12);
  ASSERT_TRUE(out.values) << out.missing;
  for (const ResistanceAxis* axis : {&out.values->horizontal, &out.values->vertical}) {
    for (const auto& [n, first, second] : axis->interaction) {
      EXPECT_NEAR(first, second, 1e-7 * std::max(1.0, std::abs(first))) << "at N = " << n;
    }
  }
}

TEST(ResistanceMissingTest, LawsWithoutStrengthOrBoundSayWhich) {
  const DrawnSection s = ReinforcedBeam(false);
  const TPROPClass lib = LibraryOf({{"clBlue", 30000}, {"clRed", 200000}});
  EXPECT_EQ(Resistance(s, lib, Strengths({{"clRed", {435, 435}}}), LawTable()).missing,
            "no strength given for clBlue");
  EXPECT_EQ(Resistance(s, lib, Strengths({{"clBlue", {20, 0}}, {"clRed", {435, 435}}}),
                       Laws({{"clRed", "linear"}}))
                .missing,
            "the law of clRed (linear) bounds no stress");
  // A table needs no strength; beyond the resistances there is no moment.
  const ResistanceOutcome beyond =
      Resistance(s, lib, Strengths({{"clBlue", {20, 0}}}),
                 Laws({{"clRed", "points:-0.01/-400;0/0;0.01/400"}}), 1e9);
  ASSERT_TRUE(beyond.values) << beyond.missing;
  EXPECT_FALSE(beyond.values->horizontal.mFirstCompressed);
}

}  // namespace
}  // namespace qv::test
