// Stresses of a rolled section at 0.1 mm per pixel under every action at once: the solve that
// keeps its fields (error estimate included, as the window runs it), the stress field with its
// extremes and joints, and the map for the window's 401-pixel view; each step timed on its own.
#include <benchmark/benchmark.h>

#include <chrono>

#include "bench_sections.h"
#include "core/elastic/section_solver.h"
#include "core/elastic/stress_field.h"
#include "core/elastic/stress_map.h"
#include "core/library/dd_props.h"
#include "support/material_library.h"
#include "support/section_analysis.h"

namespace qv {
namespace {

void BM_StressesIpe300(benchmark::State& state) {
  const test::DrawnSection& s = bench::Ipe300();
  const TPROPClass lib = test::LibraryOf({{"clRed", 210000, 7850}});
  const SectionResult section = test::SectionValues(s, lib);
  ElasticOptions options;
  options.threads = static_cast<int>(state.range(0));
  options.keepFields = true;
  const SectionActions actions{2e5, 1e7, 1.5e8, 2e4, 3e5, 2e6};
  using Clock = std::chrono::steady_clock;
  double solve = 0, field = 0, view = 0;
  for (auto _ : state) {
    const Clock::time_point start = Clock::now();
    const std::optional<ElasticResult> r = ComputeElasticSection(
        s.grid, s.bounds, lib, PoissonTable{}, s.widthMm, s.heightMm, section, options);
    const Clock::time_point solved = Clock::now();
    StressInput input;
    input.grid = &s.grid;
    input.bounds = s.bounds;
    input.library = &lib;
    input.section = &section;
    input.elastic = &*r;
    input.threads = options.threads;
    const StressField f(input, actions);
    const Clock::time_point computed = Clock::now();
    const StressDrawing d = DrawStressView(f, ScaleOf(f, StressKind::VonMises), s.grid.Width(),
                                           s.grid.Height(), 401, 401, {}, 96);
    const Clock::time_point drawn = Clock::now();
    benchmark::DoNotOptimize(d.picture.Data());
    solve += std::chrono::duration<double>(solved - start).count();
    field += std::chrono::duration<double>(computed - solved).count();
    view += std::chrono::duration<double>(drawn - computed).count();
  }
  const auto n = static_cast<double>(state.iterations());
  state.counters["solve_ms"] = solve / n * 1000;
  state.counters["field_ms"] = field / n * 1000;
  state.counters["view_ms"] = view / n * 1000;
}

BENCHMARK(BM_StressesIpe300)
    ->Arg(1)
    ->Arg(2)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);

}  // namespace
}  // namespace qv
