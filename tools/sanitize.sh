#!/usr/bin/env bash
# Builds the core, imaging, batch-tool and window tests with AddressSanitizer and
# UndefinedBehaviorSanitizer (clang) and runs them; any sanitizer report fails the run. Leaks that
# Qt's platform libraries keep for the process's life are listed in tests/sanitizer/lsan.supp.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install_deps.sh
dir=build-san
jobs=${QV_JOBS:-$(nproc)}

cmake --preset sanitize
mapfile -t windows < <(sed -n 's/^    \(tst_[a-z_]*\)$/\1/p' tests/gui/CMakeLists.txt)
ninja -C "$dir" -j"$jobs" qv_core_tests qv_imaging_tests qv_cli_tests "${windows[@]}"

symbolizer=$(command -v llvm-symbolizer || command -v llvm-symbolizer-14 || true)
export ASAN_SYMBOLIZER_PATH=$symbolizer
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1:detect_stack_use_after_return=1:check_initialization_order=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export LSAN_OPTIONS=suppressions=$PWD/tests/sanitizer/lsan.supp:print_suppressions=0
export QT_QPA_PLATFORM=offscreen

status=0
for t in qv_core_tests qv_imaging_tests qv_cli_tests; do
  echo "== sanitized $t"
  "$dir/tests/$t" --gtest_brief=1 || status=1
done
for t in "${windows[@]}"; do
  echo "== sanitized $t"
  # A download cut off at its deadline leaves its manager, and the network thread's objects, to
  # the end of the process by design (a manager waits for that thread when destroyed).
  leaks=1
  [ "$t" = tst_download ] && leaks=0
  ASAN_OPTIONS=$ASAN_OPTIONS:detect_leaks=$leaks "$dir/tests/gui/$t" -silent || status=1
done
exit $status
