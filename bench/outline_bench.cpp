// Exact coverage of an outline drawing on about 2 M cells against one scan of a picture of the
// same size, the work a picture of that section costs before any analysis.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "core/outline/dxf_reader.h"
#include "core/outline/outline_raster.h"
#include "core/picture/pixel_grid.h"
#include "core/scan/coverage.h"
#include "core/session/session.h"
#include "support/outline_sections.h"

namespace qv {
namespace {

// An I with root fillets under a slab over its top flange, a disc beside it.
OutlineDrawing SlabOverIAndDisc() {
  OutlineDrawing drawing = test::SlabOverI(0x0000FF, 0x808080);
  drawing.shapes.push_back({0x0000FF, {OutlineLoop{{{100, -100, 1}, {160, -100, 1}}}}});
  return drawing;
}

void BM_OutlineCoverage2M(benchmark::State& state) {
  const OutlineDrawing drawing = SlabOverIAndDisc();
  const double size = CellSizeFor(BoxOf(drawing));
  for (auto _ : state) {
    const CoverageRaster raster = RasteriseCoverage(drawing, {0x0000FF, 0x808080}, size);
    benchmark::DoNotOptimize(raster.areas.data());
  }
}
BENCHMARK(BM_OutlineCoverage2M)->Unit(benchmark::kMillisecond);

// A picture of the same cells read once for its colours and their moments.
void BM_PictureColours2M(benchmark::State& state) {
  const OutlineDrawing drawing = SlabOverIAndDisc();
  const CoverageRaster raster =
      RasteriseCoverage(drawing, {0x0000FF, 0x808080}, CellSizeFor(BoxOf(drawing)));
  PixelGrid grid(raster.grid.columns, raster.grid.rows, 0x00FFFFFF);
  for (std::size_t i = 0; i < grid.Size(); ++i) {
    if (raster.shares[0][i] * 2 > kCoverageUnit) grid.Data()[i] = 0x0000FF;
    if (raster.shares[1][i] * 2 > kCoverageUnit) grid.Data()[i] = 0x808080;
  }
  for (auto _ : state) {
    benchmark::DoNotOptimize(ScanPictureColours(grid, {}, 1));
  }
}
BENCHMARK(BM_PictureColours2M)->Unit(benchmark::kMillisecond);

// The example drawing read and its exact section values, no grid.
void BM_OutlineIpe300Dxf(benchmark::State& state) {
  const std::filesystem::path file =
      std::filesystem::path(QV_SOURCE_DIR) / "examples" / "ipe300.dxf";
  std::vector<MaterialMoments> steel(1);
  steel[0].colour = 0x0000FF;
  steel[0].E = 210000;
  steel[0].rho = 7850;
  for (auto _ : state) {
    benchmark::DoNotOptimize(OutlineSectionOf(ReadDxfFile(file), steel).EI1);
  }
}
BENCHMARK(BM_OutlineIpe300Dxf)->Unit(benchmark::kMicrosecond);

// The example drawing opened and analysed as the window and the batch tool do it: read, laid
// on about 2 M cells, its colours listed, its steel put on the list, analysed (no torsion).
void BM_OpenAndAnalyseIpe300Dxf(benchmark::State& state) {
  const std::string file =
      (std::filesystem::path(QV_SOURCE_DIR) / "examples" / "ipe300.dxf").string();
  for (auto _ : state) {
    SectionSession session;
    session.SetLibrary(std::make_unique<TPROPClass>());
    if (!session.AcceptPicture(file)) state.SkipWithError("no example drawing");
    session.ColourInventory();
    session.AddColourToMaterialList("clRed");
    session.Analyse(SectionSize{});
    benchmark::DoNotOptimize(session.Result().EI1);
  }
}
BENCHMARK(BM_OpenAndAnalyseIpe300Dxf)->Unit(benchmark::kMillisecond);

// The example drawing's torsion, shear centre, warping and shear areas on cells of 0.5 mm (the
// coarsest that carries J to 1e-3 of the converged value), with the error estimate's two
// coarser solves: what the batch tool's --torsion adds to the analysis.
void BM_TorsionIpe300DxfHalfMm(benchmark::State& state) {
  const std::string file =
      (std::filesystem::path(QV_SOURCE_DIR) / "examples" / "ipe300.dxf").string();
  SectionSession session;
  session.SetLibrary(std::make_unique<TPROPClass>());
  session.SetDrawingCellSize(0.5);
  if (!session.AcceptPicture(file)) state.SkipWithError("no example drawing");
  session.ColourInventory();
  session.AddColourToMaterialList("clRed");
  session.Analyse(SectionSize{});
  for (auto _ : state) {
    if (session.ComputeElastic() != SectionSession::ElasticOutcome::Done) {
      state.SkipWithError("no torsion");
    }
    benchmark::DoNotOptimize(session.Elastic()->GJ);
  }
}
BENCHMARK(BM_TorsionIpe300DxfHalfMm)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace qv
