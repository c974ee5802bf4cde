// The floor of a batch run on an uncompressed picture: a program that only reads the file, in
// pieces of 256 KiB into one buffer, as `cat FILE > /dev/null` does without writing anything.
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <vector>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: qv_floor_read FILE\n");
    return 2;
  }
  const int fd = ::open(argv[1], O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    std::perror(argv[1]);
    return 1;
  }
  std::vector<unsigned char> buffer(std::size_t{1} << 18);
  unsigned long long total = 0;
  for (;;) {
    const ssize_t got = ::read(fd, buffer.data(), buffer.size());
    if (got < 0) {
      std::perror(argv[1]);
      return 1;
    }
    if (got == 0) break;
    total += static_cast<unsigned long long>(got);
  }
  ::close(fd);
  return total > 0 ? 0 : 1;
}
