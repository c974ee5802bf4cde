#!/usr/bin/env bash
# Style and static checks CI accepts no finding from: the layering of src/ (check_layers.sh),
# every C++ source in the project's clang-format style, and clang-tidy's checks (.clang-tidy) over
# every source of the programs, the tests and the benchmarks. Each part prints its wall time.
# Needs a configured build folder with compile_commands.json (tools/test.sh makes build/).
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build}"
jobs=${QV_JOBS:-$(nproc)}

began=$SECONDS
bash tools/check_layers.sh
echo "lint: layering $((SECONDS - began)) s"

began=$SECONDS
mapfile -t sources < <(git ls-files '*.cpp' '*.h')
clang-format --dry-run --Werror "${sources[@]}"
echo "clang-format: ${#sources[@]} files in style"
echo "lint: format $((SECONDS - began)) s"

began=$SECONDS
if [ ! -f "$build/compile_commands.json" ]; then
  cmake --preset test > /dev/null
fi
# One file per job, the costliest first (a file's cost is nearly that of the headers it pulls
# in: the window's and Qt Test's, then Qt's others, then Eigen's, then the standard library's), so
# that no core waits at the end while the other works through a batch.
mapfile -t programs < <(git ls-files 'src/*.cpp' 'tests/*.cpp' 'bench/*.cpp')
mapfile -t ordered < <(
  for file in "${programs[@]}"; do
    weight=1
    if grep -qE '^#include [<"](QtTest|QTest|gui/|support/window_test|support/qt_helpers)' "$file"; then
      weight=4
    elif grep -qE '^#include <Q' "$file"; then
      weight=3
    elif grep -qE '^#include [<"](Eigen|core/elastic/|core/session/)' "$file"; then
      weight=2
    fi
    printf '%d %d %s\n' "$weight" "$(wc -c <"$file")" "$file"
  done | sort -k1,1nr -k2,2nr | cut -d' ' -f3)
# The compile flags are GCC's: clang-tidy need not know GCC-only options, and the compiler
# already reports its own warnings. A job's output is printed whole, and only with a finding;
# each file's time goes to $build/tidy-times.txt.
times=$build/tidy-times.txt
: >"$times"
printf '%s\n' "${ordered[@]}" |
  xargs -P "$jobs" -n 1 bash -c 'began=$(date +%s%N)
    out=$(clang-tidy -p "$0" --quiet --extra-arg=-Wno-unknown-warning-option \
      --extra-arg=-Wno-everything "$2" 2>&1) || { printf "%s\n" "$out"; exit 1; }
    echo "$((($(date +%s%N) - began) / 1000000)) $2" >>"$1"' "$build" "$times"
echo "clang-tidy: ${#programs[@]} files without finding," \
  "$(awk '{ms += $1} END {printf "%d", ms / 1000}' "$times") s of work; the longest:" \
  "$(sort -rn "$times" | head -n 3 | awk '{printf "%s %.0f s; ", $2, $1 / 1000}')"
echo "lint: tidy $((SECONDS - began)) s"
