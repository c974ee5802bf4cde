#!/usr/bin/env bash
# Installs what is missing, builds in release mode and runs the scan benchmark.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install_deps.sh
cmake --preset bench
cmake --build build-bench --parallel "$(nproc)" --target qv_bench
exec ./build-bench/bench/qv_bench "$@"
