// Runs one command, its standard input, output and error on /dev/null, and prints on its own
// standard output what the kernel accounted for it: "WALL_S CPU_S PEAK_KIB STATUS".
// bench/pairs.py runs every timed command through it. The peak resident memory that wait4
// reports includes the memory of the process that started the command, up to the moment of
// its exec (Linux keeps the larger of the two): started from a Python interpreter, every
// command would weigh some 14 MiB before its first instruction. This starter is small, and it
// starts the command without copying itself (posix_spawn shares its memory until the exec), so
// the figure is the command's own to within about a megabyte.
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <cstdio>
#include <ctime>

extern char** environ;

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: qv_run_once PROGRAM [ARG ...]\n");
    return 2;
  }
  timespec start{}, end{};
  clock_gettime(CLOCK_MONOTONIC, &start);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  for (int fd = 0; fd <= 2; ++fd) {
    posix_spawn_file_actions_addopen(&actions, fd, "/dev/null", fd == 0 ? O_RDONLY : O_WRONLY, 0);
  }
  pid_t pid = 0;
  const int failed = posix_spawnp(&pid, argv[1], &actions, nullptr, argv + 1, environ);
  posix_spawn_file_actions_destroy(&actions);
  if (failed != 0) {
    std::fprintf(stderr, "qv_run_once: %s cannot be started\n", argv[1]);
    return 2;
  }
  int status = 0;
  rusage usage{};
  if (wait4(pid, &status, 0, &usage) != pid) {
    std::perror("wait4");
    return 2;
  }
  clock_gettime(CLOCK_MONOTONIC, &end);
  const double wall = static_cast<double>(end.tv_sec - start.tv_sec) +
                      static_cast<double>(end.tv_nsec - start.tv_nsec) * 1e-9;
  const double cpu = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                     static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
  std::printf("%.6f %.6f %ld %d\n", wall, cpu, usage.ru_maxrss,
              WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status));
  return 0;
}
