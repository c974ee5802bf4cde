// RunUnprivileged: fork, drop to nobody, run, report through the exit status.
#include "support/unprivileged.h"

#include <grp.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <exception>

namespace qv::test {
namespace {

constexpr uid_t kNobody = 65534;
constexpr int kPassed = 0;
constexpr int kFailed = 1;
constexpr int kCannotDrop = 3;

}  // namespace

void RunUnprivileged(const std::function<void()>& body) {
  if (::geteuid() != 0) {
    body();
    return;
  }
  std::fflush(nullptr);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0) << "fork failed";
  if (child == 0) {
    if (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0 ||
        ::geteuid() == 0) {
      std::_Exit(kCannotDrop);
    }
    int status = kPassed;
    try {
      body();
    } catch (const std::exception& e) {
      ADD_FAILURE() << "exception: " << e.what();
    }
    if (testing::Test::HasFailure()) status = kFailed;
    std::fflush(nullptr);
    // No destructors of the parent's objects run in the child.
    std::_Exit(status);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status)) << "the unprivileged run ended by signal " << WTERMSIG(status);
  const int code = WEXITSTATUS(status);
  if (code == kCannotDrop) {
    if (std::getenv("QV_REQUIRE_UNPRIVILEGED") != nullptr) {
      FAIL() << "root cannot give up its rights here, so the permission test cannot run";
    }
    GTEST_SKIP() << "root cannot give up its rights here";
  }
  EXPECT_EQ(code, kPassed) << "the unprivileged run failed (its output is above)";
}

}  // namespace qv::test
