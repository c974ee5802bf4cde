// Exact coverage of outlines on cells: shares that add up to the regions' areas, and pixel
// values that converge to the outline values as the cells shrink.
#include "core/outline/outline_raster.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <numbers>
#include <ostream>
#include <vector>

#include "core/base/error.h"
#include "core/scan/coverage.h"
#include "core/section/integration.h"
#include "support/outline_sections.h"
#include "support/row_name.h"

namespace qv::test {
namespace {

constexpr std::uint32_t kRed = 0x0000FF;
constexpr std::uint32_t kBlue = 0xFF0000;

OutlineLoop Box(double x0, double y0, double x1, double y1) {
  return {{{x0, y0, 0}, {x1, y0, 0}, {x1, y1, 0}, {x0, y1, 0}}};
}

OutlineDrawing SlabOverI() { return test::SlabOverI(kRed, kBlue); }

struct AreaCase {
  const char* comment;
  std::function<OutlineDrawing()> drawing;
  std::vector<std::uint32_t> colours;
  double size;
};

void PrintTo(const AreaCase& c, std::ostream* os) { *os << c.comment; }

class OutlineCoverageAreas : public testing::TestWithParam<AreaCase> {};

TEST_P(OutlineCoverageAreas, SharesAddUpToTheRegionAreas) {
  const AreaCase& c = GetParam();
  const OutlineDrawing drawing = c.drawing();
  const CoverageRaster raster = RasteriseCoverage(drawing, c.colours, c.size);
  const auto boundaries = MaterialBoundaries(drawing, c.colours);
  const double cell = c.size * c.size;
  for (std::size_t m = 0; m < c.colours.size(); ++m) {
    const double exact = RegionMoments(boundaries[m]).A;
    std::int64_t sum = 0;
    double partial = 0;
    for (const std::int32_t s : raster.shares[m]) {
      sum += s;
      partial += s > 0 && s < kCoverageUnit ? 1 : 0;
    }
    // Arcs are flattened within a quarter unit of a cell's share, and each partial cell rounds
    // its share by at most half a unit.
    const double unit = cell / kCoverageUnit;
    EXPECT_NEAR(raster.areas[m], exact, 0.25 * partial * unit) << m;
    const double rounded = static_cast<double>(sum) * unit;
    EXPECT_NEAR(rounded, exact, (0.75 * partial + 1) * unit) << m;
  }
  for (std::size_t i = 0; i < raster.shares[0].size(); ++i) {
    std::int64_t sum = 0;
    for (const auto& plane : raster.shares) sum += plane[i];
    ASSERT_LE(sum, kCoverageUnit) << i;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table, OutlineCoverageAreas,
    testing::Values(
        // Edges on cell lines and across them, a circle through many cells.
        AreaCase{
            "a plate with a hole on 0.7 mm cells",
            [] {
              return OutlineDrawing{{{kRed, {Box(0, 0, 200, 100), {{{50, 50, 1}, {110, 50, 1}}}}}}};
            },
            {kRed},
            0.7},
        // Two materials sharing a boundary: a shared cell holds both shares.
        AreaCase{"a slab over an I on 0.9 mm cells", SlabOverI, {kRed, kBlue}, 0.9},
        // A cell larger than the web: the web is only partial cells.
        AreaCase{"a slab over an I on 11 mm cells", SlabOverI, {kRed, kBlue}, 11}),
    RowName);

TEST(OutlineCoverageTest, CellAlignedRectangleHasWholeAndHalfShares) {
  // 10 x 5 mm on 1 mm cells from x = 0.5: the first and last columns are half covered.
  const OutlineDrawing drawing{{{kRed, {Box(0.5, 0, 10.5, 5)}}, {kBlue, {Box(0, 0, 0.5, 5)}}}};
  const CoverageRaster raster = RasteriseCoverage(drawing, {kRed}, 1);
  ASSERT_EQ(raster.grid.columns, 11);
  ASSERT_EQ(raster.grid.rows, 5);
  for (int y = 0; y < 5; ++y) {
    for (int x = 0; x < 11; ++x) {
      const std::int32_t expected = x == 0 || x == 10 ? kCoverageUnit / 2 : kCoverageUnit;
      EXPECT_EQ(raster.shares[0][y * 11 + x], expected) << x << ", " << y;
    }
  }
}

TEST(OutlineCoverageTest, PixelValuesConvergeToTheOutlineValues) {
  const OutlineDrawing drawing = SlabOverI();
  std::vector<MaterialMoments> materials(2);
  materials[0].colour = kRed;
  materials[0].E = 210000;
  materials[1].colour = kBlue;
  materials[1].E = 30000;
  const OutlineSection exact = OutlineSectionOf(drawing, materials);
  double previous = 1;
  for (const double size : {8.0, 4.0, 2.0, 1.0}) {
    const CoverageRaster raster = RasteriseCoverage(drawing, {kRed, kBlue}, size);
    const SectionMoments moments = MomentsOfRaster(raster, materials);
    SectionResult result;
    const SectionBounds bounds{0, 0, raster.grid.columns - 1, raster.grid.rows - 1};
    ComputeCentres(moments, bounds, raster.grid.columns * size, raster.grid.rows * size, result);
    ComputeStiffness(moments, result);
    const auto centre = ElasticCentreOf(result);
    ASSERT_TRUE(centre.has_value());
    const double errorEA = std::abs(result.EA / exact.EA - 1);
    const double errorEI =
        std::max(std::abs(centre->EIzz / exact.EIzz - 1), std::abs(centre->EIyy / exact.EIyy - 1));
    EXPECT_LT(errorEA, 1e-5) << size;  // the shares' rounding only
    EXPECT_LT(errorEI, previous) << size;
    previous = errorEI;
  }
  EXPECT_LT(previous, 1e-4);
}

TEST(OutlineCoverageTest, FlatPictureOfTheOutlinesConvergesToTheOutlineValues) {
  // Each cell whole of the material holding at least half of it: the picture a paint program
  // draws without smoothing, read flat.
  const OutlineDrawing drawing = SlabOverI();
  std::vector<MaterialMoments> materials(2);
  materials[0].colour = kRed;
  materials[0].E = 210000;
  materials[1].colour = kBlue;
  materials[1].E = 30000;
  const OutlineSection exact = OutlineSectionOf(drawing, materials);
  std::vector<double> errors;
  for (const double size : {4.0, 1.0, 0.25}) {
    const CoverageRaster raster = RasteriseCoverage(drawing, {kRed, kBlue}, size);
    SectionMoments flat;
    flat.materials = materials;
    for (std::size_t m = 0; m < 2; ++m) {
      for (int y = 0; y < raster.grid.rows; ++y) {
        for (int x = 0; x < raster.grid.columns; ++x) {
          if (2 * raster.shares[m][static_cast<std::size_t>(y) * raster.grid.columns + x] <
              kCoverageUnit) {
            continue;
          }
          AddRunMoments(flat.materials[m], y, x, x);
        }
      }
    }
    SectionResult result;
    const SectionBounds bounds{0, 0, raster.grid.columns - 1, raster.grid.rows - 1};
    ComputeCentres(flat, bounds, raster.grid.columns * size, raster.grid.rows * size, result);
    ComputeStiffness(flat, result);
    const auto centre = ElasticCentreOf(result);
    ASSERT_TRUE(centre.has_value());
    errors.push_back(
        std::max({std::abs(result.EA / exact.EA - 1), std::abs(centre->EIzz / exact.EIzz - 1),
                  std::abs(centre->EIyy / exact.EIyy - 1)}));
  }
  EXPECT_LT(errors[1], errors[0]);
  EXPECT_LT(errors[2], errors[1]);
  // The 7.1 mm web is 28.4 cells of 0.25 mm, drawn as 28.
  EXPECT_LT(errors[2], 3e-3);
}

TEST(OutlineCoverageTest, SectionResultGivesBackTheExactCentreAndStiffnesses) {
  const OutlineDrawing drawing = SlabOverI();
  std::vector<MaterialMoments> materials(2);
  materials[0].colour = kRed;
  materials[0].E = 210000;
  materials[0].rho = 7850;
  materials[1].colour = kBlue;
  materials[1].E = 30000;
  materials[1].rho = 2400;
  const OutlineSection exact = OutlineSectionOf(drawing, materials);
  const CoverageRaster raster = RasteriseCoverage(drawing, {kRed, kBlue}, 0.5);
  const SectionMoments moments = MomentsOfRaster(raster, materials);
  const SectionResult outline = SectionResultOf(exact, materials, raster.grid, 1);
  // The scan of the raster's cells finds the same centre cells and nearly the same sums.
  SectionResult scanned;
  const SectionBounds bounds{0, 0, raster.grid.columns - 1, raster.grid.rows - 1};
  ComputeCentres(moments, bounds, raster.grid.columns * 0.5, raster.grid.rows * 0.5, scanned);
  EXPECT_EQ(outline.NC, scanned.NC);
  EXPECT_EQ(outline.MC, scanned.MC);
  EXPECT_NEAR(outline.SumEHor, scanned.SumEHor, 1e-5 * std::abs(scanned.SumEHor));
  EXPECT_NEAR(outline.SumEVer, scanned.SumEVer, 1e-5 * std::abs(scanned.SumEVer));
  EXPECT_NEAR(outline.SumRhoVer, scanned.SumRhoVer, 1e-5 * std::abs(scanned.SumRhoVer));
  // The stiffnesses are the exact ones, about the exact centre, where the solvers take them.
  EXPECT_EQ(outline.EIyy, exact.EIyy);
  EXPECT_EQ(outline.EIzz, exact.EIzz);
  const auto centre = ElasticCentreOf(outline);
  ASSERT_TRUE(centre.has_value());
  EXPECT_NEAR(centre->EIyy, exact.EIyy, 1e-12 * exact.EIzz);
  EXPECT_NEAR(centre->EIzz, exact.EIzz, 1e-12 * exact.EIzz);
  EXPECT_NEAR(centre->EIyz, exact.EIyz, 1e-12 * exact.EIzz);
}

TEST(OutlineCoverageTest, RefusesCellSizesThatMakeNoGrid) {
  const OutlineDrawing drawing{{{kRed, {Box(0, 0, 100, 100)}}}};
  EXPECT_THROW(RasteriseCoverage(drawing, {kRed}, 0), Error);
  EXPECT_THROW(RasteriseCoverage(drawing, {kRed}, std::nan("")), Error);
  EXPECT_THROW(RasteriseCoverage(drawing, {kRed}, 1e-4), Error);
  EXPECT_THROW(RasteriseCoverage(OutlineDrawing{}, {kRed}, 1), Error);
}

}  // namespace
}  // namespace qv::test
