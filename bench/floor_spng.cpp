// The floor of a batch run on a PNG picture: libspng alone decoding the file row by row, in the
// file's own sample format, into one row buffer (no conversion, no picture in memory), up to the
// end chunk. The batch tool's reading of a PNG does this plus converting each row and scanning it.
#include <spng.h>

#include <cstdio>
#include <vector>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: qv_floor_spng FILE.png\n");
    return 2;
  }
  std::FILE* file = std::fopen(argv[1], "rb");
  if (file == nullptr) {
    std::perror(argv[1]);
    return 1;
  }
  spng_ctx* ctx = spng_ctx_new(0);
  spng_set_png_file(ctx, file);
  std::size_t size = 0;
  int error = spng_decoded_image_size(ctx, SPNG_FMT_PNG, &size);
  spng_ihdr ihdr{};
  if (error == 0) error = spng_get_ihdr(ctx, &ihdr);
  if (error == 0) error = spng_decode_image(ctx, nullptr, 0, SPNG_FMT_PNG, SPNG_DECODE_PROGRESSIVE);
  std::vector<unsigned char> row(ihdr.height > 0 ? size / ihdr.height : 0);
  while (error == 0) {
    error = spng_decode_scanline(ctx, row.data(), row.size());
  }
  if (error == SPNG_EOI) error = spng_decode_chunks(ctx);
  spng_ctx_free(ctx);
  std::fclose(file);
  if (error != 0) {
    std::fprintf(stderr, "%s: %s\n", argv[1], spng_strerror(error));
    return 1;
  }
  return 0;
}
