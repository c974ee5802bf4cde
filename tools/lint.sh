#!/usr/bin/env bash
# Style and static checks CI accepts no finding from: the layering of src/ (check_layers.sh),
# every C++ source in the project's clang-format style, and clang-tidy's checks (.clang-tidy) over
# every source of the programs, the tests and the benchmarks.
# Needs a configured build folder with compile_commands.json (tools/test.sh makes build/).
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build}"

bash tools/check_layers.sh

mapfile -t sources < <(git ls-files '*.cpp' '*.h')
clang-format --dry-run --Werror "${sources[@]}"
echo "clang-format: ${#sources[@]} files in style"

if [ ! -f "$build/compile_commands.json" ]; then
  cmake --preset test > /dev/null
fi
# The compile flags are GCC's: clang-tidy need not know GCC-only options, and the compiler
# already reports its own warnings.
mapfile -t programs < <(git ls-files 'src/*.cpp' 'tests/*.cpp' 'bench/*.cpp')
printf '%s\n' "${programs[@]}" |
  xargs -P "$(nproc)" -n 4 clang-tidy -p "$build" --quiet \
    --extra-arg=-Wno-unknown-warning-option --extra-arg=-Wno-everything
echo "clang-tidy: ${#programs[@]} files without finding"
