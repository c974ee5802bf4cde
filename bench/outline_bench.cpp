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
#include "support/grid_builder.h"
#include "support/material_library.h"
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

// The example drawing from its file to its torsion, shear centre, warping and shear areas on
// cells of 1 mm (the coarsest that carries J to 1e-3 of the converged value), with the error
// estimate's two coarser solves: read, laid on the cells, analysed and solved, as the finite
// elements' time runs from their exact shape through meshing to the solved J. The argument is
// the threads (0: one per core).
void BM_TorsionIpe300DxfOneMm(benchmark::State& state) {
  const std::string file =
      (std::filesystem::path(QV_SOURCE_DIR) / "examples" / "ipe300.dxf").string();
  for (auto _ : state) {
    SectionSession session;
    session.SetThreads(static_cast<int>(state.range(0)));
    session.SetLibrary(std::make_unique<TPROPClass>());
    session.SetDrawingCellSize(1);
    if (!session.AcceptPicture(file)) state.SkipWithError("no example drawing");
    session.ColourInventory();
    session.AddColourToMaterialList("clRed");
    session.Analyse(SectionSize{});
    if (session.ComputeElastic() != SectionSession::ElasticOutcome::Done) {
      state.SkipWithError("no torsion");
    }
    benchmark::DoNotOptimize(session.Elastic()->GJ);
  }
}
BENCHMARK(BM_TorsionIpe300DxfOneMm)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The composite (a concrete slab 1000 x 150, E 33000, on the rolled I) the same way, on cells of
// the first argument's mm (the coarsest that carry its J to 1e-3 are 3 and 2 mm), on the second's
// threads.
void BM_TorsionCompositeDxf(benchmark::State& state) {
  OutlineLoop slab{{{-500, 150, 0}, {500, 150, 0}, {500, 300, 0}, {-500, 300, 0}}};
  const test::TempDir dir;
  const std::string file = dir.File("composite.dxf");
  test::WriteAll(file, test::DxfOf({{{0x0000FF, {test::RolledILoop()}}, {0x808080, {slab}}}}));
  for (auto _ : state) {
    SectionSession session;
    session.SetThreads(static_cast<int>(state.range(1)));
    session.SetLibrary(std::make_unique<TPROPClass>(
        test::LibraryOf({{"clRed", 210000, 7850}, {"clGray", 33000, 2500}})));
    session.SetDrawingCellSize(static_cast<double>(state.range(0)));
    if (!session.AcceptPicture(file)) state.SkipWithError("no drawing");
    session.ColourInventory();
    session.AddColourToMaterialList("clRed");
    session.AddColourToMaterialList("clGray");
    session.Analyse(SectionSize{});
    if (session.ComputeElastic() != SectionSession::ElasticOutcome::Done) {
      state.SkipWithError("no torsion");
    }
    benchmark::DoNotOptimize(session.Elastic()->GJ);
  }
}
BENCHMARK(BM_TorsionCompositeDxf)
    ->Args({3, 0})
    ->Args({3, 1})
    ->Args({2, 0})
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace qv
