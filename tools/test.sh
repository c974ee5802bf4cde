#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install_deps.sh
# QV_WERROR=ON (as CI sets it) turns every compiler warning into an error.
cmake --preset test -DQV_WERROR="${QV_WERROR:-OFF}"
cmake --build build --parallel "$(nproc)"
(cd build && QT_QPA_PLATFORM=offscreen ctest --output-on-failure --parallel "$(nproc)")
# The Python tests again, against the pip package installed from this tree.
bash tools/test_python_package.sh build
