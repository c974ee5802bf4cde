// Elastic section solver: torsion and shear centre of a rolled section at 0.1 mm per pixel and
// of a 4-megapixel solid section, with the default options (error estimate included); silent_ms
// is the longest time between two progress calls.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <memory>

#include "core/elastic/section_solver.h"
#include "core/library/dd_props.h"
#include "core/section/integration.h"
#include "support/material_library.h"
#include "support/section_pictures.h"

namespace qv {
namespace {

const test::DrawnSection& Section(const std::string& kind) {
  static std::map<std::string, std::unique_ptr<test::DrawnSection>> cache;
  auto& slot = cache[kind];
  if (!slot) {
    if (kind == "ipe300") {
      // About 538 000 section pixels.
      slot = std::make_unique<test::DrawnSection>(
          test::DrawSection(150, 300, 0.1, test::ISection(300, 150, 7.1, 10.7, 15, 0x000000FF)));
    } else {
      // 2000 x 2000 pixels of one material.
      slot = std::make_unique<test::DrawnSection>(
          test::DrawSection(400, 400, 0.2, test::Rectangle(0x000000FF)));
    }
  }
  return *slot;
}

void BM_TorsionAndShearCentre(benchmark::State& state, const std::string& kind) {
  const test::DrawnSection& s = Section(kind);
  const TPROPClass lib = test::LibraryOf({{"clRed", 210000, 7850}});
  SectionResult section;
  const SectionMoments m = ScanMoments(s.grid, lib);
  ComputeCentres(m, s.bounds, s.widthMm, s.heightMm, section);
  ComputeStiffness(m, section);
  ElasticOptions options;
  options.threads = static_cast<int>(state.range(0));
  // The longest stretch without a progress call: how long the window would not answer.
  using Clock = std::chrono::steady_clock;
  Clock::time_point last;
  double longestGap = 0;
  options.progress = [&](std::int64_t, std::int64_t) {
    const Clock::time_point now = Clock::now();
    longestGap = std::max(longestGap, std::chrono::duration<double>(now - last).count());
    last = now;
  };
  std::optional<ElasticResult> r;
  for (auto _ : state) {
    last = Clock::now();
    r = ComputeElasticSection(s.grid, s.bounds, lib, PoissonTable{}, s.widthMm, s.heightMm, section,
                              options);
    benchmark::DoNotOptimize(r->GJ);
  }
  state.counters["cells"] = static_cast<double>(r->Cells);
  state.counters["iterations"] = r->Iterations;
  state.counters["coarsening"] = r->Coarsening;
  state.counters["silent_ms"] = longestGap * 1000;
}

BENCHMARK_CAPTURE(BM_TorsionAndShearCentre, ipe300, std::string("ipe300"))
    ->Arg(1)
    ->Arg(2)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);
BENCHMARK_CAPTURE(BM_TorsionAndShearCentre, solid4M, std::string("solid4M"))
    ->Arg(1)
    ->Arg(2)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(2);

}  // namespace
}  // namespace qv
