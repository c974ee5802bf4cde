#!/usr/bin/env bash
# Makes the Debian packages with CPack: build-deb/quorvane_<version>_<arch>.deb and
# build-deb/python3-quorvane_<version>_<arch>.deb (the module, when it is built).
#   tools/package.sh          installs what is missing and builds the two programs, the Python
#                             module and the manual in release mode (build-deb/), no tests
#   tools/package.sh BUILD    packages the programs of a release tree already built and tested
#                             (tools/test.sh's build/), so CI ships what its tests ran on
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
out=build-deb
tree=${1:-}

if [ -z "$tree" ]; then
  bash tools/install_deps.sh
  cmake --preset deb
  tree=$out
  targets=(quorvane quorvane-cli qv_manual qv_install_files)
  # The list is read whole: grep -q would stop reading early, and under pipefail ninja's broken
  # pipe would count as "no module".
  if grep -q '^qv_python:' <<<"$(ninja -C "$tree" -t targets all)"; then
    targets+=(qv_python)
  fi
  cmake --build "$tree" --parallel "$(nproc)" --target "${targets[@]}"
else
  # The programs find their files by paths relative to their folder, computed from the install
  # prefix: a tree configured for another prefix would package programs that look elsewhere.
  cache="$tree/CMakeCache.txt"
  [ -f "$cache" ] || { echo "package: $tree is not a configured build tree" >&2; exit 1; }
  prefix=$(sed -n 's/^CMAKE_INSTALL_PREFIX:PATH=//p' "$cache")
  type=$(sed -n 's/^CMAKE_BUILD_TYPE:STRING=//p' "$cache")
  if [ "$prefix" != /usr ] || [ "$type" != Release ]; then
    echo "package: $tree is a $type tree for $prefix; packages come from Release trees for /usr" >&2
    exit 1
  fi
  # Nothing to do when the tree is up to date; CPack's own install step would build it too.
  cmake --build "$tree" --parallel "$(nproc)"
fi

mkdir -p "$out"
rm -f "$out"/quorvane_*.deb "$out"/python3-quorvane_*.deb
(cd "$tree" && cpack -G DEB -B "$root/$out")
ls "$out"/*quorvane_*.deb
