// Decoding speed of the BMP reader on a warm 24-bit file.
#include <benchmark/benchmark.h>

#include <filesystem>

#include "core/picture/picture_reader.h"
#include "support/bmp_writer.h"
#include "support/grid_builder.h"

namespace qv {
namespace {

void BM_DecodeBmp24(benchmark::State& state) {
  const int size = static_cast<int>(state.range(0));
  static test::TempDir dir;
  const std::string path = dir.File("decode-" + std::to_string(size) + ".bmp");
  if (!std::filesystem::exists(path)) {
    PixelGrid g(size, size, 0x00FFFFFF);
    g.FillRect(size / 4, size / 4, 3 * size / 4, 3 * size / 4, 0x000000FF);
    test::WriteAll(path, test::EncodeBmp24(g));
  }
  for (auto _ : state) {
    PixelGrid g = ReadPicture(path);
    benchmark::DoNotOptimize(g.Data());
  }
  state.counters["Mpix/s"] = benchmark::Counter(static_cast<double>(size) * size / 1e6,
                                                benchmark::Counter::kIsIterationInvariantRate);
}

// Reloading a picture of the same size, as the window does to wipe its drawings.
void BM_ReloadBmp24(benchmark::State& state) {
  const int size = static_cast<int>(state.range(0));
  static test::TempDir dir;
  const std::string path = dir.File("reload-" + std::to_string(size) + ".bmp");
  if (!std::filesystem::exists(path)) {
    PixelGrid g(size, size, 0x00FFFFFF);
    g.FillRect(size / 4, size / 4, 3 * size / 4, 3 * size / 4, 0x000000FF);
    test::WriteAll(path, test::EncodeBmp24(g));
  }
  PixelGrid spare(size, size);
  for (auto _ : state) {
    PixelGrid g = ReadPicture(path, std::move(spare));
    benchmark::DoNotOptimize(g.Data());
    spare = std::move(g);
  }
  state.counters["Mpix/s"] = benchmark::Counter(static_cast<double>(size) * size / 1e6,
                                                benchmark::Counter::kIsIterationInvariantRate);
}

BENCHMARK(BM_DecodeBmp24)->Arg(2000)->Arg(8000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ReloadBmp24)->Arg(2000)->Arg(8000)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace qv
