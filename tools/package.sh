#!/usr/bin/env bash
# Installs what is missing, builds the two programs and the manual in release mode and makes
# the Debian package with CPack: build-deb/quorvane_<version>_<arch>.deb. No tests are built.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install_deps.sh
cmake -S . -B build-deb -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
  -DQV_BUILD_TESTS=OFF -DQV_BUILD_BENCH=OFF
cmake --build build-deb --parallel "$(nproc)" \
  --target quorvane quorvane-cli qv_manual qv_install_files
rm -f build-deb/quorvane_*.deb
(cd build-deb && cpack -G DEB)
ls build-deb/quorvane_*.deb
