// Decoding speed of the picture readers on warm files: the BMP reader on a 24-bit file, and the
// PNG reader beside libspng decoding the same file into a plain RGB buffer on its own, so the
// cost of converting into the grid shows as the difference.
#include <benchmark/benchmark.h>
#include <spng.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <random>
#include <vector>

#include "core/picture/picture_reader.h"
#include "support/bmp_writer.h"
#include "support/grid_builder.h"
#include "support/png_writer.h"

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

// An 8000 x 8000 section as drawn: flat areas of a few colours, plus a band of noise so that
// inflating is not all the work there is. Level 1 keeps the set-up short; the file is written once.
const std::string& PngPath(const std::string& kind) {
  static test::TempDir dir;
  static std::map<std::string, std::string> paths;
  std::string& path = paths[kind];
  if (path.empty()) {
    constexpr int kSize = 8000;
    PixelGrid g(kSize, kSize, 0x00FFFFFF);
    g.FillRect(kSize / 5, kSize / 10, 4 * kSize / 5, kSize / 5, 0x00808080);
    g.FillRect(kSize / 4, kSize / 5, 3 * kSize / 4, kSize / 4, 0x000000FF);
    g.FillRect(9 * kSize / 20, kSize / 4, 11 * kSize / 20, 4 * kSize / 5, 0x00008080);
    if (kind == "noisy") {
      std::mt19937 rng(1);
      for (int y = 0; y < kSize / 8; ++y) {
        for (int x = 0; x < kSize; ++x) g.Set(x, 7 * kSize / 8 + y, rng() & 0x00FFFFFF);
      }
    }
    test::PngOptions options;
    options.compression = 1;
    path = dir.File(kind + ".png");
    test::WriteAll(path, test::EncodePng(g, options));
  }
  return path;
}

const char* Kind(benchmark::State& state) { return state.range(0) == 0 ? "flat" : "noisy"; }

// The PNG reader into a fresh grid, as a picture is opened.
void BM_DecodePng8000(benchmark::State& state) {
  const std::string& path = PngPath(Kind(state));
  for (auto _ : state) {
    PixelGrid g = ReadPicture(path);
    benchmark::DoNotOptimize(g.Data());
  }
  state.counters["Mpix/s"] =
      benchmark::Counter(64.0, benchmark::Counter::kIsIterationInvariantRate);
  state.counters["MB"] = static_cast<double>(std::filesystem::file_size(path)) / 1e6;
}

// libspng alone: the same file read through its FILE input and decoded in one call into a
// fresh RGB buffer, three bytes a pixel.
void BM_SpngDecodeRgb8(benchmark::State& state) {
  const std::string& path = PngPath(Kind(state));
  for (auto _ : state) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    spng_ctx* ctx = spng_ctx_new(0);
    spng_set_png_file(ctx, file);
    std::size_t size = 0;
    spng_decoded_image_size(ctx, SPNG_FMT_RGB8, &size);
    std::unique_ptr<unsigned char[]> image(new unsigned char[size]);
    const int error = spng_decode_image(ctx, image.get(), size, SPNG_FMT_RGB8, 0);
    spng_ctx_free(ctx);
    std::fclose(file);
    if (error != 0) state.SkipWithError(spng_strerror(error));
    benchmark::DoNotOptimize(image.get());
  }
  state.counters["Mpix/s"] =
      benchmark::Counter(64.0, benchmark::Counter::kIsIterationInvariantRate);
}

// Both again into memory that is already mapped (the reader's reload path), so that page faults
// of the larger grid do not count.
void BM_ReloadPng8000(benchmark::State& state) {
  const std::string& path = PngPath(Kind(state));
  PixelGrid spare(8000, 8000);
  for (auto _ : state) {
    PixelGrid g = ReadPicture(path, std::move(spare));
    benchmark::DoNotOptimize(g.Data());
    spare = std::move(g);
  }
  state.counters["Mpix/s"] =
      benchmark::Counter(64.0, benchmark::Counter::kIsIterationInvariantRate);
}

void BM_SpngRedecodeRgb8(benchmark::State& state) {
  const std::string& path = PngPath(Kind(state));
  std::vector<unsigned char> image(std::size_t{8000} * 8000 * 3);
  for (auto _ : state) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    spng_ctx* ctx = spng_ctx_new(0);
    spng_set_png_file(ctx, file);
    const int error = spng_decode_image(ctx, image.data(), image.size(), SPNG_FMT_RGB8, 0);
    spng_ctx_free(ctx);
    std::fclose(file);
    if (error != 0) state.SkipWithError(spng_strerror(error));
    benchmark::DoNotOptimize(image.data());
  }
  state.counters["Mpix/s"] =
      benchmark::Counter(64.0, benchmark::Counter::kIsIterationInvariantRate);
}

BENCHMARK(BM_DecodeBmp24)
    ->Arg(1000)
    ->Arg(2000)
    ->Arg(8000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_ReloadBmp24)->Arg(2000)->Arg(8000)->Unit(benchmark::kMillisecond)->UseRealTime();
// Argument 0: the flat section; 1: the same with a band of noise. The CPU column counts every
// thread of the process: the reader converts large pictures on a second one.
BENCHMARK(BM_DecodePng8000)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MeasureProcessCPUTime();
BENCHMARK(BM_SpngDecodeRgb8)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MeasureProcessCPUTime();
BENCHMARK(BM_ReloadPng8000)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MeasureProcessCPUTime();
BENCHMARK(BM_SpngRedecodeRgb8)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MeasureProcessCPUTime();

}  // namespace
}  // namespace qv
