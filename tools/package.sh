#!/usr/bin/env bash
# Installs what is missing, builds the two programs, the Python module and the manual in release
# mode and makes the Debian packages with CPack: build-deb/quorvane_<version>_<arch>.deb and
# build-deb/python3-quorvane_<version>_<arch>.deb (the module, when it is built). No tests are
# built.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install_deps.sh
cmake --preset deb
targets=(quorvane quorvane-cli qv_manual qv_install_files)
# The list is read whole: grep -q would stop reading early, and under pipefail ninja's broken pipe
# would count as "no module".
if grep -q '^qv_python:' <<<"$(ninja -C build-deb -t targets all)"; then
  targets+=(qv_python)
fi
cmake --build build-deb --parallel "$(nproc)" --target "${targets[@]}"
rm -f build-deb/quorvane_*.deb build-deb/python3-quorvane_*.deb
(cd build-deb && cpack -G DEB)
ls build-deb/*quorvane_*.deb
