#!/usr/bin/env bash
# Installs what is missing, builds the two programs and the manual in release mode and makes
# the Debian package with CPack: build-deb/quorvane_<version>_<arch>.deb. No tests are built.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install_deps.sh
cmake --preset deb
cmake --build build-deb --parallel "$(nproc)" \
  --target quorvane quorvane-cli qv_manual qv_install_files
rm -f build-deb/quorvane_*.deb
(cd build-deb && cpack -G DEB)
ls build-deb/quorvane_*.deb
