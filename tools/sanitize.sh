#!/usr/bin/env bash
# Builds the core, imaging, batch-tool and window tests with AddressSanitizer and
# UndefinedBehaviorSanitizer (clang, build-san/) and runs them, on every core at once; any sanitizer
# report fails the run. Leaks that Qt's platform libraries keep for the process's life are listed
# in tests/sanitizer/lsan.supp. The same tree builds the fuzz targets (tools/fuzz.sh).
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

# The job list, longest first so that both cores stay busy to the end: the GoogleTest binaries in
# shards (each runs every `shards`-th test), then each window test.
logs=$dir/sanitize-logs
rm -rf "$logs"
mkdir -p "$logs"
shards=$((jobs * 2))
list=()
for t in qv_core_tests qv_cli_tests; do
  for ((i = 0; i < shards; ++i)); do list+=("gtest $t $i $shards"); done
done
list+=("gtest qv_imaging_tests 0 1")
for t in "${windows[@]}"; do list+=("qt $t"); done

run_job() {
  local kind=$1 name=$2 log status=0
  if [ "$kind" = gtest ]; then
    log=$logs/$name.$3.log
    GTEST_SHARD_INDEX=$3 GTEST_TOTAL_SHARDS=$4 "$dir/tests/$name" --gtest_brief=1 >"$log" 2>&1 ||
      status=$?
  else
    log=$logs/$name.log
    # A download cut off at its deadline leaves its manager, and the network thread's objects, to
    # the end of the process by design (a manager waits for that thread when destroyed).
    local leaks=1
    [ "$name" = tst_download ] && leaks=0
    ASAN_OPTIONS=$ASAN_OPTIONS:detect_leaks=$leaks "$dir/tests/gui/$name" -silent >"$log" 2>&1 ||
      status=$?
  fi
  if [ "$status" -eq 0 ]; then
    echo "sanitized $*: ok"
  else
    # One job's report whole, not interleaved with the other core's.
    echo "sanitized $*: FAILED with status $status; $log ends:"$'\n'"$(tail -n 80 "$log")"
  fi
  return "$status"
}
export -f run_job
export dir logs

# xargs reports a failed job with status 123 once every job has run.
printf '%s\n' "${list[@]}" | xargs -P "$jobs" -L 1 bash -c 'run_job "$@"' run_job
