// libFuzzer entry of one fuzz target; QV_FUZZ_CHECK names the check it runs.
#include <cstddef>
#include <cstdint>

#include "support/fuzz_harness.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // A FuzzFailure escapes on purpose: libFuzzer then keeps the input as a crash.
  qv::test::QV_FUZZ_CHECK(data, size);
  return 0;
}
