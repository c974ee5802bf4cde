#!/usr/bin/env bash
# Installs the Debian 12 packages the build and the tests need, skipping those already present.
# As root it runs apt-get itself; otherwise it prints the exact command to run and fails.
# --reference adds what tools/p2_reference.py needs (gmsh's Python API and SciPy); neither the
# build nor the tests use them.
set -euo pipefail

reference=0
for arg in "$@"; do
  case "$arg" in
    --reference) reference=1 ;;
    *)
      echo "usage: $0 [--reference]" >&2
      exit 2
      ;;
  esac
done

packages=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev qt6-svg-dev libgl-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  libjpeg-dev libsodium-dev libspng-dev libdxflib-dev
  libeigen3-dev
  pybind11-dev python3-dev python3-numpy python3-pytest
  python3-venv python3-pip python3-setuptools python3-wheel
  xvfb xauth poppler-utils
  clang libclang-rt-14-dev llvm clang-format clang-tidy
  dpkg-dev appstream desktop-file-utils groff-base
)
if [ "$reference" -eq 1 ]; then
  packages+=(python3-gmsh python3-scipy)
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

cmd="apt-get update && DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends ${missing[*]}"
if [ "$(id -u)" -eq 0 ]; then
  echo "Installing: ${missing[*]}"
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
else
  echo "Missing packages: ${missing[*]}" >&2
  echo "Run as root:  $cmd" >&2
  exit 1
fi
