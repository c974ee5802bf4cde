// The restricted runs: a forked child that reports through its exit status, or a limit set and
// lifted around the body.
#include "support/restricted_run.h"

#include <grp.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <fstream>
#include <system_error>
#include <thread>

namespace qv::test {
namespace {

constexpr uid_t kNobody = 65534;
constexpr int kPassed = 0;
constexpr int kFailed = 1;
constexpr int kCannotRestrict = 3;

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
#else
constexpr bool kSanitized = false;
#endif

// Runs `body` in a child after `restrict` (which returns false when it cannot); returns the
// child's exit code, kCannotRestrict when the restriction failed.
int RunInChild(const std::function<bool()>& restrict, const std::function<void()>& body) {
  std::fflush(nullptr);
  const pid_t child = ::fork();
  if (child < 0) {
    ADD_FAILURE() << "fork failed";
    return kFailed;
  }
  if (child == 0) {
    if (!restrict()) std::_Exit(kCannotRestrict);
    try {
      body();
    } catch (const std::exception& e) {
      ADD_FAILURE() << "exception: " << e.what();
    }
    const int status = testing::Test::HasFailure() ? kFailed : kPassed;
    std::fflush(nullptr);
    // No destructors of the parent's objects run in the child.
    std::_Exit(status);
  }
  int status = 0;
  if (::waitpid(child, &status, 0) != child || !WIFEXITED(status)) {
    ADD_FAILURE() << "the restricted run ended abnormally (signal " << WTERMSIG(status) << ")";
    return kFailed;
  }
  return WEXITSTATUS(status);
}

// Root becomes the user and group "nobody" for good; false when it cannot.
bool GiveUpRoot() {
  return ::setgroups(0, nullptr) == 0 && ::setgid(kNobody) == 0 && ::setuid(kNobody) == 0 &&
         ::geteuid() != 0;
}

// The calling test's verdict on a restricted run: skipped when the child could not restrict
// itself (failed instead where QV_REQUIRE_UNPRIVILEGED asks for the run), failed when the body
// failed.
void Judge(int code, const char* cannotRestrict, const char* bodyFailed) {
  if (code == kCannotRestrict) {
    if (std::getenv("QV_REQUIRE_UNPRIVILEGED") != nullptr) {
      FAIL() << cannotRestrict << ", so the test cannot run";
    }
    GTEST_SKIP() << cannotRestrict;
  }
  EXPECT_EQ(code, kPassed) << bodyFailed << " (its output is above)";
}

std::uint64_t AddressSpaceInUse() {
  std::ifstream statm("/proc/self/statm");
  std::uint64_t pages = 0;
  statm >> pages;
  return pages * static_cast<std::uint64_t>(::sysconf(_SC_PAGESIZE));
}

}  // namespace

void RunUnprivileged(const std::function<void()>& body) {
  if (::geteuid() != 0) {
    body();
    return;
  }
  Judge(RunInChild(GiveUpRoot, body), "root cannot give up its rights here",
        "the unprivileged run failed");
}

void RunWithoutNewThreads(const std::function<void()>& body) {
  const int code = RunInChild(
      [] {
        if (::geteuid() == 0 && !GiveUpRoot()) return false;
        // Every thread counts as a process of its user; this one already has one.
        rlimit limit{};
        if (::getrlimit(RLIMIT_NPROC, &limit) != 0) return false;
        limit.rlim_cur = 1;
        if (::setrlimit(RLIMIT_NPROC, &limit) != 0) return false;
        try {
          std::thread probe([] {});
          probe.join();
          return false;  // threads still start: the limit does not hold here
        } catch (const std::system_error&) {
          return true;
        }
      },
      body);
  Judge(code, "no limit on threads can be set here", "the run without threads failed");
}

void RunWithMemoryLimit(std::uint64_t extraBytes, const std::function<void()>& body) {
  if (kSanitized) GTEST_SKIP() << "a sanitizer build needs its shadow memory";
  const int code = RunInChild(
      [extraBytes] {
        const rlimit limit{AddressSpaceInUse() + extraBytes, RLIM_INFINITY};
        return ::setrlimit(RLIMIT_AS, &limit) == 0;
      },
      body);
  ASSERT_NE(code, kCannotRestrict) << "the address space cannot be limited";
  EXPECT_EQ(code, kPassed) << "the run under a memory limit failed (its output is above)";
}

bool SanitizerBuild() { return kSanitized; }

void RunWithFileSizeLimit(std::uint64_t bytes, const std::function<void()>& body) {
  // Beyond the limit a write fails with EFBIG instead of ending the process.
  struct sigaction ignore {};
  struct sigaction previous {};
  ignore.sa_handler = SIG_IGN;
  ::sigaction(SIGXFSZ, &ignore, &previous);
  rlimit old{};
  ::getrlimit(RLIMIT_FSIZE, &old);
  const rlimit limit{bytes, old.rlim_max};
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limit), 0);
  body();
  ::setrlimit(RLIMIT_FSIZE, &old);
  ::sigaction(SIGXFSZ, &previous, nullptr);
}

}  // namespace qv::test
