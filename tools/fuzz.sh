#!/usr/bin/env bash
# Builds the libFuzzer targets in the sanitizer tree (clang, ASan + UBSan, build-san/, shared with
# tools/sanitize.sh) and runs each for a bounded time from its seed corpus in fuzz/corpus. A crash, leak, timeout, out-of-memory or sanitizer report fails the run;
# the input that caused it is kept under the build folder, to be copied into
# tests/data/fuzz-regressions/<target>/ so that qv_core_tests replays it from then on.
#   QV_FUZZ_SECONDS  time per target (default 45)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
bash tools/install_deps.sh
dir=build-san
seconds=${QV_FUZZ_SECONDS:-45}
jobs=${QV_JOBS:-$(nproc)}
targets=(picture png library prop_line number_text settings)

[ -f "$dir/build.ninja" ] || cmake --preset sanitize
ninja -C "$dir" -j"$jobs" "${targets[@]/#/qv_fuzz_}"

symbolizer=$(command -v llvm-symbolizer || command -v llvm-symbolizer-14 || true)
export ASAN_SYMBOLIZER_PATH=$symbolizer
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

run_target() {
  local name=$1
  local work="$root/$dir/fuzz-run/$name"
  rm -rf "$work"
  mkdir -p "$work/corpus" "$work/artifacts"
  local max_len=4096
  [ "$name" = picture ] && max_len=16384
  [ "$name" = png ] && max_len=16384
  # New inputs go to the scratch corpus; the committed seeds are only read.
  if "$root/$dir/fuzz/qv_fuzz_$name" "$work/corpus" "$root/fuzz/corpus/$name" \
       -max_total_time="$seconds" -rss_limit_mb=2048 -malloc_limit_mb=1024 -timeout=10 \
       -max_len="$max_len" -print_final_stats=1 -artifact_prefix="$work/artifacts/" \
       >"$work/log" 2>&1; then
    echo "fuzz $name: ok ($(grep -o 'stat::number_of_executed_units: *[0-9]*' "$work/log" |
      grep -o '[0-9]*$') runs)"
  else
    echo "fuzz $name: FAILED; log $work/log, inputs:" $(ls "$work/artifacts")
    tail -n 60 "$work/log"
    return 1
  fi
}

status=0
pids=()
for name in "${targets[@]}"; do
  run_target "$name" &
  pids+=($!)
  # At most `jobs` targets at once.
  while [ "$(jobs -rp | wc -l)" -ge "$jobs" ]; do sleep 1; done
done
for pid in "${pids[@]}"; do wait "$pid" || status=1; done
exit $status
