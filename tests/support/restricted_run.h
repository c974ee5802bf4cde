// Runs a test body under the restrictions a user's machine may impose: ordinary file
// permissions (also when the tests run as root, as CI does), a memory limit, a full disk.
#pragma once

#include <cstdint>
#include <functional>

namespace qv::test {

/// Runs `body` as an ordinary user: directly when this process is not root, else in a forked
/// child that has given up root for the user and group "nobody" (65534) before it starts. A
/// failed expectation in the child fails the calling test. When root cannot be given up (no
/// such right in a container), the test is skipped, unless QV_REQUIRE_UNPRIVILEGED is set: then
/// it fails, so CI never passes without having run the body.
void RunUnprivileged(const std::function<void()>& body);

/// Runs `body` in a forked child that can start no thread (an ordinary user whose process limit
/// is reached), as on a machine out of threads. Skipped where the limit cannot be set, unless
/// QV_REQUIRE_UNPRIVILEGED is set: then it fails.
void RunWithoutNewThreads(const std::function<void()>& body);

/// Runs `body` in a forked child whose address space may grow by no more than `extraBytes`
/// beyond what it holds at the start, so that the next large allocation fails as on a machine
/// out of memory. Skipped in sanitizer builds, whose shadow memory needs far more.
void RunWithMemoryLimit(std::uint64_t extraBytes, const std::function<void()>& body);

/// Runs `body` with writes that would make any file larger than `bytes` failing (EFBIG), as on a
/// nearly full disk; the limit is lifted again afterwards.
void RunWithFileSizeLimit(std::uint64_t bytes, const std::function<void()>& body);

/// True in a build with AddressSanitizer.
bool SanitizerBuild();

}  // namespace qv::test
