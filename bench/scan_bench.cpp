// Scan throughput on generated pictures: the colour inventory and the two integration passes
// against a baseline that only reads every pixel once.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <random>

#include "core/library/dd_props.h"
#include "core/picture/pixel_grid.h"
#include "core/scan/coverage.h"
#include "core/scan/edge_smoothing.h"
#include "core/scan/inventory.h"
#include "core/section/integration.h"
#include "core/session/session.h"
#include "support/bmp_writer.h"
#include "support/grid_builder.h"
#include "support/material_library.h"

namespace qv {
namespace {

// A composite I-section on white: steel flanges, a timber web and a concrete slab on top.
PixelGrid Composite(int size) {
  PixelGrid g(size, size, 0x00FFFFFF);
  const int m = size / 10;
  g.FillRect(2 * m, m, 8 * m, 2 * m, 0x00808080);                              // slab, clGray
  g.FillRect(3 * m, 2 * m, 7 * m, 2 * m + m / 2, 0x000000FF);                  // top flange, clRed
  g.FillRect(4 * m + m / 2, 2 * m + m / 2, 5 * m + m / 2, 8 * m, 0x00008080);  // web, clOlive
  g.FillRect(3 * m, 8 * m, 7 * m, 8 * m + m / 2, 0x000000FF);                  // bottom flange
  return g;
}

// The composite with a round steel bar drawn smoothed: its rim blends red into white.
PixelGrid Smoothed(int size) {
  PixelGrid g = Composite(size);
  const double cx = size * 0.8, cy = size * 0.5, r = size * 0.08;
  for (int y = static_cast<int>(cy - r) - 2; y <= static_cast<int>(cy + r) + 2; ++y) {
    for (int x = static_cast<int>(cx - r) - 2; x <= static_cast<int>(cx + r) + 2; ++x) {
      const double d =
          std::hypot(x - cx, y - cy) - r;  // coverage falls from 1 to 0 over d in [-0.5, 0.5]
      const double cover = std::clamp(0.5 - d, 0.0, 1.0);
      const auto other = static_cast<std::uint32_t>(std::lround(255 * (1 - cover)));
      if (cover > 0) g.Set(x, y, 0x000000FF | (other << 8) | (other << 16));
    }
  }
  return g;
}

PixelGrid RandomColours(int size) {
  PixelGrid g(size, size);
  std::mt19937 rng(1);
  for (std::size_t i = 0; i < g.Size(); ++i) g.Data()[i] = rng() & 0x00FFFFFF;
  return g;
}

const PixelGrid& Picture(const std::string& kind, int size) {
  static std::map<std::pair<std::string, int>, std::unique_ptr<PixelGrid>> cache;
  auto& slot = cache[{kind, size}];
  if (!slot) {
    slot = std::make_unique<PixelGrid>(kind == "random"     ? RandomColours(size)
                                       : kind == "smoothed" ? Smoothed(size)
                                                            : Composite(size));
  }
  return *slot;
}

// The picture written once as a BMP file for the flows that read files.
std::string BenchFile(const std::string& name, const PixelGrid& grid) {
  static test::TempDir dir;
  std::string path = dir.File(name);
  if (!std::filesystem::exists(path)) test::WriteAll(path, test::EncodeBmp24(grid));
  return path;
}

// The three materials of the composite picture, each of density E / 30.
TPROPClass CompositeLibrary() {
  return test::LibraryOf(
      {{"clGray", 30000, 1000}, {"clRed", 210000, 7000}, {"clOlive", 11000, 11000.0 / 30}});
}

void SetRate(benchmark::State& state, const PixelGrid& g) {
  state.counters["Mpix/s"] = benchmark::Counter(static_cast<double>(g.Size()) / 1e6,
                                                benchmark::Counter::kIsIterationInvariantRate);
}

void BM_ReadBaseline(benchmark::State& state, const std::string& kind) {
  const PixelGrid& g = Picture(kind, static_cast<int>(state.range(0)));
  for (auto _ : state) {
    std::uint64_t sum = 0;
    const std::uint32_t* p = g.Data();
    for (std::size_t i = 0; i < g.Size(); ++i) sum += p[i];
    benchmark::DoNotOptimize(sum);
  }
  SetRate(state, g);
}

void BM_Inventory(benchmark::State& state, const std::string& kind) {
  const PixelGrid& g = Picture(kind, static_cast<int>(state.range(0)));
  const int threads = static_cast<int>(state.range(1));
  std::size_t colours = 0;
  for (auto _ : state) {
    auto found = ScanColours(g, false, {}, threads);
    colours = found.size();
    benchmark::DoNotOptimize(found.data());
  }
  state.counters["colours"] = static_cast<double>(colours);
  SetRate(state, g);
}

// Records the longest time between two progress reports (or the start and the first, or the
// last and the end): how long a window answering from them would not answer.
class SilenceMeter : public InventoryView {
 public:
  void SetBusy(bool) override {}
  void InventoryStarted() override { Tick(); }
  void ResultsReset() override {}
  void Progress(std::int64_t, std::int64_t) override { Tick(); }
  void InventoryFinished() override { Tick(); }
  void Start() { mLast = Clock::now(); }
  double LongestMs() const { return mLongest * 1000; }

 private:
  using Clock = std::chrono::steady_clock;
  void Tick() {
    const Clock::time_point now = Clock::now();
    mLongest = std::max(mLongest, std::chrono::duration<double>(now - mLast).count());
    mLast = now;
  }
  Clock::time_point mLast;
  double mLongest = 0;
};

// The whole inventory as the window runs it: the scan plus the found-colours list; silent_ms as
// in SilenceMeter.
void BM_SessionInventory(benchmark::State& state, const std::string& kind) {
  // The session reads its picture from a file, as the window does.
  const PixelGrid& grid = Picture(kind, static_cast<int>(state.range(0)));
  const std::string path = BenchFile("inventory-" + kind + ".bmp", grid);
  SectionSession session;
  ProgramSettings settings = session.Settings();
  settings.IgnoreDollarColours = false;
  session.ChangeSettings(settings);
  session.SetThreads(static_cast<int>(state.range(1)));
  if (!session.AcceptPicture(path)) {
    state.SkipWithError("the picture file cannot be read");
    return;
  }
  SilenceMeter meter;
  for (auto _ : state) {
    meter.Start();
    session.ColourInventory(&meter);
  }
  state.counters["colours"] = static_cast<double>(session.Found().Size());
  state.counters["silent_ms"] = meter.LongestMs();
  SetRate(state, session.Picture());
}

void BM_BothPasses(benchmark::State& state, const std::string& kind) {
  const PixelGrid& g = Picture(kind, static_cast<int>(state.range(0)));
  const int threads = static_cast<int>(state.range(1));
  const TPROPClass lib = CompositeLibrary();
  const int size = g.Width();
  for (auto _ : state) {
    SectionResult r;
    const SectionMoments m = ScanMoments(g, lib, {}, threads);
    ComputeCentres(m, SectionBounds{0, 0, size - 1, size - 1}, 500, 650, r);
    ComputeStiffness(m, r);
    benchmark::DoNotOptimize(r.EIyy);
  }
  SetRate(state, g);
}

// BothPasses with smoothed edges read as coverage, as a first analysis of a picture runs it:
// the scan of every colour's moments and neighbours, the shares of the blends, the materials'
// moments from their colours' and the integration.
void BM_CoveragePasses(benchmark::State& state, const std::string& kind) {
  const PixelGrid& g = Picture(kind, static_cast<int>(state.range(0)));
  const int threads = static_cast<int>(state.range(1));
  const TPROPClass lib = CompositeLibrary();
  std::int64_t blends = 0;
  for (auto _ : state) {
    SectionResult r;
    const std::optional<PictureColours> colours = ScanPictureColours(g, {}, threads);
    std::vector<MaterialMoments> materials = MaterialsInUse(lib);
    const CoverageTable table(*colours, ColoursOf(materials));
    const SectionMoments m = CoverageMoments(*colours, table, std::move(materials));
    const CoverageBox& box = table.Box();
    ComputeCentres(m, SectionBounds{box.xmin, box.ymin, box.xmax, box.ymax}, 500, 650, r);
    ComputeStiffness(m, r);
    blends = table.BlendColours();
    benchmark::DoNotOptimize(r.EIyy);
  }
  state.counters["blends"] = static_cast<double>(blends);
  SetRate(state, g);
}

// The batch tool's check for smoothed edges after listing the colours.
void BM_EdgeSmoothing(benchmark::State& state, const std::string& kind) {
  const PixelGrid& g = Picture(kind, static_cast<int>(state.range(0)));
  std::size_t smoothed = 0;
  for (auto _ : state) {
    const EdgeSmoothing found = FindEdgeSmoothing(g);
    smoothed = found.smoothed.size();
    benchmark::DoNotOptimize(found.inBetweenColours);
  }
  state.counters["smoothed"] = static_cast<double>(smoothed);
  SetRate(state, g);
}

BENCHMARK_CAPTURE(BM_ReadBaseline, composite, std::string("composite"))
    ->Arg(2000)
    ->Arg(8000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_Inventory, composite, std::string("composite"))
    ->Args({2000, 1})
    ->Args({8000, 1})
    ->Args({8000, 2})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_BothPasses, composite, std::string("composite"))
    ->Args({2000, 1})
    ->Args({8000, 1})
    ->Args({8000, 2})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_BothPasses, smoothed, std::string("smoothed"))
    ->Args({8000, 1})
    ->Args({8000, 2})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_CoveragePasses, composite, std::string("composite"))
    ->Args({2000, 1})
    ->Args({8000, 1})
    ->Args({8000, 2})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_CoveragePasses, smoothed, std::string("smoothed"))
    ->Args({8000, 1})
    ->Args({8000, 2})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_ReadBaseline, random, std::string("random"))
    ->Arg(4000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_Inventory, random, std::string("random"))
    ->Args({4000, 1})
    ->Args({4000, 2})
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2);
BENCHMARK_CAPTURE(BM_SessionInventory, random, std::string("random"))
    ->Args({4000, 1})
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);
BENCHMARK_CAPTURE(BM_BothPasses, random, std::string("random"))
    ->Args({4000, 1})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_EdgeSmoothing, composite, std::string("composite"))
    ->Arg(8000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_EdgeSmoothing, smoothed, std::string("smoothed"))
    ->Arg(8000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_EdgeSmoothing, random, std::string("random"))
    ->Arg(4000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(2);

}  // namespace
}  // namespace qv

BENCHMARK_MAIN();
