// Runs a test body where file permissions bind, also when the tests run as root (as CI does).
#pragma once

#include <functional>

namespace qv::test {

/// Runs `body` as an ordinary user: directly when this process is not root, else in a forked
/// child that has given up root for the user and group "nobody" (65534) before it starts. A
/// failed expectation in the child fails the calling test. When root cannot be given up (no
/// such right in a container), the test is skipped, unless QV_REQUIRE_UNPRIVILEGED is set: then
/// it fails, so CI never passes without having run the body.
void RunUnprivileged(const std::function<void()>& body);

}  // namespace qv::test
