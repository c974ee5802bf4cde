// Elastic section solver: torsion and shear centre of a rolled section at 0.1 mm per pixel, of a
// 4-megapixel solid section, of one composite strip picture on square pixels and on pixels 7.5
// times as tall as wide, and of two plates 2 and 8 pixels apart, with the default options (error
// estimate included); silent_ms is the longest time between two progress calls, estimate_pct the
// error estimate of GJ in per cent (-1 without one).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <map>
#include <memory>

#include "bench_sections.h"
#include "core/elastic/section_solver.h"
#include "core/library/dd_props.h"
#include "support/material_library.h"
#include "support/section_analysis.h"
#include "support/section_pictures.h"

namespace qv {
namespace {

const test::DrawnSection& Section(const std::string& kind) {
  if (kind == "ipe300") return bench::Ipe300();
  static std::map<std::string, std::unique_ptr<test::DrawnSection>> cache;
  auto& slot = cache[kind];
  if (!slot) {
    if (kind == "solid4M") {
      // 2000 x 2000 pixels of one material.
      slot = std::make_unique<test::DrawnSection>(
          test::DrawSection(400, 400, 0.2, test::Rectangle(0x000000FF)));
    } else if (kind == "strip" || kind == "strip7.5") {
      // 3000 x 401 pixels: a stiff top band over a softer body with a round hole. The same
      // picture as 300 x 40.1 mm (square pixels) or as 300 x 300.75 mm (pixels 7.5 times as
      // tall as wide), as when the typed height does not follow the picture's proportions.
      slot = std::make_unique<test::DrawnSection>(
          test::DrawSection(300, 40.1, 0.1, [](double u, double v) -> std::uint32_t {
            if (std::hypot(u - 60, v) < 8) return 0x00FFFFFF;
            return v < -10 ? 0x000000FF : 0x00FF0000;
          }));
      if (kind == "strip7.5") slot->heightMm *= 7.5;
    } else {
      // Two 300 x 500 pixel plates at 0.1 mm, 2 or 8 pixels apart; the first plate's 301st
      // column puts the gap across the boundaries of 2 x 2 and 4 x 4 blocks of pixels.
      const double gap = kind == "gap2" ? 0.2 : 0.8;
      slot = std::make_unique<test::DrawnSection>(
          test::DrawSection(60.1 + gap, 50, 0.1, [gap](double u, double) -> std::uint32_t {
            const double x = u + (60.1 + gap) / 2;  // from the left edge
            return x < 30.1 || x > 30.1 + gap ? 0x000000FF : 0x00FFFFFF;
          }));
    }
  }
  return *slot;
}

void BM_TorsionAndShearCentre(benchmark::State& state, const std::string& kind) {
  const test::DrawnSection& s = Section(kind);
  const TPROPClass lib = test::LibraryOf({{"clRed", 210000, 7850}, {"clBlue", 11000, 500}});
  const SectionResult section = test::SectionValues(s, lib);
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
    // A copy: DoNotOptimize may leave its argument changed, and the counters read the result.
    double gj = r->GJ;
    benchmark::DoNotOptimize(gj);
  }
  state.counters["cells"] = static_cast<double>(r->Cells);
  state.counters["iterations"] = r->Iterations;
  state.counters["coarsening"] = r->Coarsening;
  state.counters["silent_ms"] = longestGap * 1000;
  state.counters["estimate_pct"] = r->HasErrorEstimate ? 100 * r->GJErrorEstimate / r->GJ : -1;
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
// Side by side: the pixels' shape must not change the cost much.
BENCHMARK_CAPTURE(BM_TorsionAndShearCentre, strip, std::string("strip"))
    ->Arg(2)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1);
BENCHMARK_CAPTURE(BM_TorsionAndShearCentre, strip7_5, std::string("strip7.5"))
    ->Arg(2)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1);
// Side by side: a narrow gap must not cost many more iterations than a wide one.
BENCHMARK_CAPTURE(BM_TorsionAndShearCentre, gap2, std::string("gap2"))
    ->Arg(2)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);
BENCHMARK_CAPTURE(BM_TorsionAndShearCentre, gap8, std::string("gap8"))
    ->Arg(2)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);

}  // namespace
}  // namespace qv
