// Stiffness integration: centres, stiffnesses and the principal angle from pixel moments.
#include "core/section/integration.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>

#include "core/base/colour_label.h"
#include "core/base/exact_sum.h"
#include "core/library/dd_props.h"
#include "support/grid_builder.h"
#include "support/material_library.h"

namespace qv::test {
namespace {

constexpr double kPi = std::numbers::pi;

SectionResult Analyse(const PixelGrid& g, const TPROPClass& lib, SectionBounds b, double w,
                      double h, int threads = 0) {
  SectionResult r;
  const SectionMoments m = ScanMoments(g, lib, {}, threads);
  ComputeCentres(m, b, w, h, r);
  ComputeStiffness(m, r);
  return r;
}

TEST(IntegrationTest, OnePixel) {
  PixelGrid g = MakeGrid(10, 10, kWhite, {{4, 6, 4, 6, kRed}});
  const auto lib = LibraryOf({{"clRed", 200, 7850}});
  const SectionResult r = Analyse(g, lib, {4, 6, 4, 6}, 3, 3);
  EXPECT_EQ(r.Dx, 3);
  EXPECT_EQ(r.RelevantPixels, 1);
  EXPECT_EQ(r.EA, 200 * 9);
  EXPECT_DOUBLE_EQ(r.Mass, 7850 * 9 / 1e9);
  EXPECT_EQ(r.NC, (PixelPoint{4, 6}));
  EXPECT_EQ(r.MC, (PixelPoint{4, 6}));
  EXPECT_EQ(r.EIyy, 0);
  EXPECT_EQ(r.EIzz, 0);
  EXPECT_EQ(r.EIyz, 0);
  EXPECT_TRUE(r.Iso);
  EXPECT_EQ(r.Alpha, 0);
  EXPECT_EQ(r.EI1, 0);
  EXPECT_EQ(r.EI2, 0);
}

TEST(IntegrationTest, PixelsCountAsPointsAboutTheRoundedCentre) {
  const auto lib = LibraryOf({{"clRed", 1, 1}});
  // Three pixels wide: 1 + 0 + 1, not the 2.25 of a continuous strip.
  SectionResult r = Analyse(MakeGrid(20, 3, kWhite, {{5, 1, 7, 1, kRed}}), lib, {5, 1, 7, 1}, 3, 1);
  EXPECT_EQ(r.EIyy, 2);
  EXPECT_EQ(r.EIzz, 0);
  EXPECT_EQ(r.EIyz, 0);
  EXPECT_EQ(r.Alpha, 0);
  EXPECT_EQ(r.EI1, 2);
  EXPECT_EQ(r.EI2, 0);
  // Four wide at columns 10..13: the mean 11.5 rounds to 12, so 4 + 1 + 0 + 1.
  r = Analyse(MakeGrid(20, 3, kWhite, {{10, 1, 13, 1, kRed}}), lib, {10, 1, 13, 1}, 4, 1);
  EXPECT_EQ(r.NC.x, 12);
  EXPECT_EQ(r.EIyy, 6);
}

TEST(IntegrationTest, PrincipalAngleBranches) {
  const auto lib = LibraryOf({{"clRed", 1, 1}});
  // A tall thin strip: EIyy = 0 < EIzz, so the axis of EI1 is turned to -pi/2.
  SectionResult r = Analyse(MakeGrid(5, 9, kWhite, {{2, 1, 2, 7, kRed}}), lib, {2, 1, 2, 7}, 1, 7);
  EXPECT_EQ(r.EIyy, 0);
  EXPECT_GT(r.EIzz, 0);
  EXPECT_DOUBLE_EQ(r.Alpha, -kPi / 2);
  // Diagonal from upper left to lower right: EIyz < 0, pi/4 turned to -pi/4.
  PixelGrid down = MakeGrid(6, 6, kWhite);
  PixelGrid up = MakeGrid(6, 6, kWhite);
  for (int i = 0; i < 5; ++i) {
    down.Set(i, i, kRed);
    up.Set(i, 4 - i, kRed);
  }
  r = Analyse(down, lib, {0, 0, 4, 4}, 5, 5);
  EXPECT_EQ(r.EIyy, r.EIzz);
  EXPECT_LT(r.EIyz, 0);
  EXPECT_DOUBLE_EQ(r.Alpha, -kPi / 4);
  r = Analyse(up, lib, {0, 0, 4, 4}, 5, 5);
  EXPECT_GT(r.EIyz, 0);
  EXPECT_DOUBLE_EQ(r.Alpha, kPi / 4);
  EXPECT_FALSE(r.Iso);
}

TEST(IntegrationTest, PrincipalAxesOfHugeStiffnessesDoNotOverflow) {
  // Each row: EIyy, EIzz, EIyz far beyond 1e154, where squares and products overflow.
  struct Row {
    double yy, zz, yz;
  };
  for (const Row& row :
       {Row{4e200, 1e200, 0}, Row{1e300, 1e300, 5e299}, Row{3e307, 1e307, -1e307}}) {
    SectionResult big;
    big.EIyy = row.yy;
    big.EIzz = row.zz;
    big.EIyz = row.yz;
    ComputePrincipalAxes(big);
    // The same section at a small scale: the angle is the same, the values scale exactly.
    SectionResult small;
    const double scale = std::ldexp(1.0, -900);
    small.EIyy = row.yy * scale;
    small.EIzz = row.zz * scale;
    small.EIyz = row.yz * scale;
    ComputePrincipalAxes(small);
    EXPECT_TRUE(std::isfinite(big.EI1) && std::isfinite(big.EI2)) << row.yy;
    EXPECT_EQ(big.Alpha, small.Alpha) << row.yy;
    EXPECT_EQ(big.Iso, small.Iso) << row.yy;
    EXPECT_EQ(big.EI1 * scale, small.EI1) << row.yy;
    EXPECT_EQ(big.EI2 * scale, small.EI2) << row.yy;
  }
  SectionResult equal;
  equal.EIyy = equal.EIzz = 1e300;
  ComputePrincipalAxes(equal);
  EXPECT_TRUE(equal.Iso);
  EXPECT_EQ(equal.EI1, 1e300);
}

TEST(IntegrationTest, ZeroWidthGivesZerosAndIso) {
  const auto lib = LibraryOf({{"clRed", 210000, 7850}});
  const SectionResult r =
      Analyse(MakeGrid(8, 8, kWhite, {{1, 1, 5, 6, kRed}}), lib, {1, 1, 5, 6}, 0, 100);
  EXPECT_EQ(r.Dx, 0);
  EXPECT_EQ(r.EA, 0);
  EXPECT_EQ(r.NC, (PixelPoint{0, 0}));
  EXPECT_EQ(r.MC, (PixelPoint{0, 0}));
  EXPECT_EQ(r.EIyy, 0);
  EXPECT_EQ(r.EIzz, 0);
  EXPECT_TRUE(r.Iso);
}

TEST(IntegrationTest, OnlyMaterialsInUseCount) {
  PixelGrid g =
      MakeGrid(10, 10, kWhite, {{0, 0, 4, 9, kRed}, {5, 0, 9, 9, kBlue}, {0, 0, 0, 0, kLime}});
  // Blue is known but not in use; lime has E = 0: it counts in pixels and mass only. An older
  // red entry not in use is shadowed by the newer one in use.
  const auto lib = LibraryOf(
      {{"clRed", 5, 1, false}, {"clBlue", 100, 100, false}, {"clLime", 0, 1000}, {"clRed", 10, 0}});
  const SectionResult r = Analyse(g, lib, {0, 0, 9, 9}, 10, 10);
  EXPECT_EQ(r.RelevantPixels, 50);
  EXPECT_EQ(r.EA, 10 * 49);
  EXPECT_DOUBLE_EQ(r.Mass, 1000 / 1e9);
  EXPECT_EQ(r.MC, (PixelPoint{0, 0}));  // all mass in the lime pixel
  EXPECT_EQ(r.NC.x, 2);
}

TEST(IntegrationTest, NewestEntryDecidesEvenWhenNotInUse) {
  PixelGrid g = MakeGrid(4, 4, kRed);
  const auto lib = LibraryOf({{"clRed", 5, 1, true}, {"clRed", 7, 1, false}});
  const SectionResult r = Analyse(g, lib, {0, 0, 3, 3}, 4, 4);
  EXPECT_EQ(r.RelevantPixels, 0);
}

TEST(IntegrationTest, ZeroDensityLeavesMassCentreAtOrigin) {
  const auto lib = LibraryOf({{"clRed", 3, 0}});
  const SectionResult r =
      Analyse(MakeGrid(9, 9, kWhite, {{3, 3, 5, 5, kRed}}), lib, {3, 3, 5, 5}, 3, 3);
  EXPECT_EQ(r.NC, (PixelPoint{4, 4}));
  EXPECT_EQ(r.MC, (PixelPoint{0, 0}));
  EXPECT_EQ(r.Mass, 0);
}

TEST(IntegrationTest, NegativeModulusGivesFiniteAngle) {
  const auto lib = LibraryOf({{"clRed", -210000, 1}});
  const SectionResult r =
      Analyse(MakeGrid(20, 20, kWhite, {{2, 2, 12, 5, kRed}}), lib, {2, 2, 12, 5}, 110, 40);
  EXPECT_LT(r.EA, 0);
  EXPECT_TRUE(std::isfinite(r.Alpha));
  EXPECT_TRUE(std::isfinite(r.EI1));
  EXPECT_TRUE(std::isfinite(r.EI2));
}

TEST(IntegrationTest, WeightedMeanTiesRoundToEvenExactly) {
  // E 0.5 at column 10 and E 1.5 at column 12: (5 + 18) / 2 = 11.5 -> 12; shifted one column
  // the mean is 12.5 -> 12 as well.
  for (int shift : {0, 1}) {
    PixelGrid g =
        MakeGrid(20, 1, kWhite,
                 {{10 + shift, 0, 10 + shift, 0, kRed}, {12 + shift, 0, 12 + shift, 0, kBlue}});
    const auto lib = LibraryOf({{"clRed", 0.5, 1}, {"clBlue", 1.5, 1}});
    EXPECT_EQ(Analyse(g, lib, {10, 0, 13, 0}, 4, 1).NC.x, 12) << shift;
  }
  // Weights far apart in magnitude: 2^-1000 and 3 * 2^-1000 tie exactly as well.
  ExactSum num, den;
  const double w = std::ldexp(1.0, -1000);
  num.AddProduct(w, 10);
  num.AddProduct(3 * w, 3 * 12);
  den.AddProduct(w, 1);
  den.AddProduct(3 * w, 3);
  // (10 + 36) / 4 = 11.5 -> 12
  EXPECT_EQ(ExactSum::RoundQuotientHalfEven(num, den), 12);
  ExactSum neg;
  neg.AddProduct(-1.0, 5);
  ExactSum two;
  two.AddProduct(2.0, 1);
  EXPECT_EQ(ExactSum::RoundQuotientHalfEven(neg, two), -2);  // -2.5 -> -2
}

TEST(IntegrationTest, ExactSumsSurviveHugeAndTinyWeights) {
  ExactSum s;
  s.AddProduct(1e308, 1);
  s.AddProduct(4.9406564584124654e-324, 1);
  s.AddProduct(-1e308, 1);
  EXPECT_EQ(s.ToDouble(), 4.9406564584124654e-324);
  ExactSum big;
  big.AddProduct(1e308, static_cast<Int128>(1) << 100);
  EXPECT_TRUE(std::isinf(big.ToDouble()));
}

// The literal per-pixel transcription of the formulas, column by column in long double.
SectionResult Literal(const PixelGrid& g, const TPROPClass& lib, SectionBounds b, double w,
                      double h) {
  SectionResult r;
  long double dx = w / (std::abs(b.xmax - b.xmin) + 1.0),
              dy = h / (std::abs(b.ymax - b.ymin) + 1.0);
  long double ea = 0, ex = 0, ey = 0;
  for (int x = 0; x < g.Width(); ++x) {
    for (int y = 0; y < g.Height(); ++y) {
      const TPROPRec* e = lib.FindByLabel(ColourToLabel(static_cast<ColourValue>(g.At(x, y))));
      if (!e || !e->inUse) continue;
      ea += e->prop.E * dx * dy;
      ex += x * dx * e->prop.E * dx * dy;
      ey += y * dy * e->prop.E * dx * dy;
    }
  }
  r.EA = static_cast<double>(ea);
  r.NC.x = static_cast<int>(std::nearbyint(ex / ea / dx));
  r.NC.y = static_cast<int>(std::nearbyint(ey / ea / dy));
  long double yy = 0, zz = 0, yz = 0;
  for (int x = 0; x < g.Width(); ++x) {
    for (int y = 0; y < g.Height(); ++y) {
      const TPROPRec* e = lib.FindByLabel(ColourToLabel(static_cast<ColourValue>(g.At(x, y))));
      if (!e || !e->inUse) continue;
      const long double yv = -dx * (x - r.NC.x), zv = (y - r.NC.y) * dy;
      yy += yv * yv * dx * dy * e->prop.E;
      zz += zv * zv * dx * dy * e->prop.E;
      yz += yv * zv * dx * dy * e->prop.E;
    }
  }
  r.EIyy = static_cast<double>(yy);
  r.EIzz = static_cast<double>(zz);
  r.EIyz = static_cast<double>(yz);
  return r;
}

TEST(IntegrationTest, AgreesWithTheLiteralFormulasOnACompositeSection) {
  std::mt19937 rng(11);
  PixelGrid g = MakeGrid(97, 131, kWhite);
  const std::uint32_t colours[] = {kRed, kBlue, kLime, 0x00123456};
  for (int i = 0; i < 40; ++i) {
    const int x0 = static_cast<int>(rng() % 90), y0 = static_cast<int>(rng() % 120);
    g.FillRect(x0, y0, x0 + static_cast<int>(rng() % 20), y0 + static_cast<int>(rng() % 30),
               colours[rng() % 4]);
  }
  const auto lib = LibraryOf({{"clRed", 210000, 7850},
                              {"clBlue", 30000.5, 2400},
                              {"$00123456", 11000, 600},
                              {"clLime", 1, 1, false}});
  const SectionBounds b{0, 0, 96, 130};
  const SectionResult fast = Analyse(g, lib, b, 500, 650, 1);
  const SectionResult literal = Literal(g, lib, b, 500, 650);
  EXPECT_EQ(fast.NC, literal.NC);
  EXPECT_NEAR(fast.EA, literal.EA, 1e-12 * std::abs(literal.EA));
  EXPECT_NEAR(fast.EIyy, literal.EIyy, 1e-12 * std::abs(literal.EIyy));
  EXPECT_NEAR(fast.EIzz, literal.EIzz, 1e-12 * std::abs(literal.EIzz));
  EXPECT_NEAR(fast.EIyz, literal.EIyz, 1e-11 * std::abs(literal.EIyy));
  // The split over threads does not change a single bit.
  const SectionResult split = Analyse(g, lib, b, 500, 650, 2);
  EXPECT_EQ(split.EA, fast.EA);
  EXPECT_EQ(split.EIyy, fast.EIyy);
  EXPECT_EQ(split.EIyz, fast.EIyz);
  EXPECT_EQ(split.Mass, fast.Mass);
  EXPECT_EQ(split.MC, fast.MC);
}

}  // namespace
}  // namespace qv::test
