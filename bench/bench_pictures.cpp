// Writes the pictures of the whole-process benchmarks (bench/floors.sh) into a folder: the same
// generated sections every time, so that anyone's rerun measures the same files.
//
//   section-8000.png, section-8000.bmp   an 8000 x 8000 drawn section: flat areas of four
//                                        colours (RGB, libspng's default compression)
//   section-1000.bmp                     the same drawing at 1000 x 1000 (one megapixel)
//   ipe300.bmp                           IPE 300 with root fillets at 0.1 mm per pixel
//   random-4000.bmp                      4000 x 4000 random colours (about 10.3 million)
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>

#include "core/picture/pixel_grid.h"
#include "support/bmp_writer.h"
#include "support/grid_builder.h"
#include "support/png_writer.h"
#include "support/section_pictures.h"

namespace {

// A composite section as drawn: a grey plate, a red flange and a web of another colour on white.
qv::PixelGrid Drawing(int size) {
  qv::PixelGrid g(size, size, 0x00FFFFFF);
  g.FillRect(size / 5, size / 10, 4 * size / 5, size / 5, 0x00808080);
  g.FillRect(size / 4, size / 5, 3 * size / 4, size / 4, 0x000000FF);
  g.FillRect(9 * size / 20, size / 4, 11 * size / 20, 4 * size / 5, 0x00008080);
  return g;
}

void Write(const std::filesystem::path& folder, const std::string& name, const std::string& bytes) {
  qv::test::WriteAll((folder / name).string(), bytes);
  std::printf("%s\n", (folder / name).c_str());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: qv_bench_pictures FOLDER\n");
    return 2;
  }
  const std::filesystem::path folder = argv[1];
  std::filesystem::create_directories(folder);
  {
    const qv::PixelGrid big = Drawing(8000);
    Write(folder, "section-8000.png", qv::test::EncodePng(big));
    Write(folder, "section-8000.bmp", qv::test::EncodeBmp24(big));
  }
  Write(folder, "section-1000.bmp", qv::test::EncodeBmp24(Drawing(1000)));
  Write(folder, "ipe300.bmp",
        qv::test::EncodeBmp24(
            qv::test::DrawSection(150, 300, 0.1,
                                  qv::test::ISection(300, 150, 7.1, 10.7, 15, 0x000000FF))
                .grid));
  qv::PixelGrid noise(4000, 4000);
  std::mt19937 rng(1);
  for (std::size_t i = 0; i < noise.Size(); ++i) noise.Data()[i] = rng() & 0x00FFFFFFu;
  Write(folder, "random-4000.bmp", qv::test::EncodeBmp24(noise));
  return 0;
}
