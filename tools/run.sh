#!/usr/bin/env bash
# Installs what is missing, builds in release mode and runs the window with the example section.
# Without a display it says so and runs the batch tool on the example instead.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install_deps.sh
cmake --preset release
cmake --build build-release --parallel "$(nproc)"
if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  exec ./build-release/src/app/quorvane "$@"
fi
echo "No display found (DISPLAY and WAYLAND_DISPLAY are unset): running the batch tool on the"
echo "example section instead. Start the window with build-release/src/app/quorvane on a desktop."
echo
exec ./build-release/src/cli/quorvane-cli analyse examples/u-channel.bmp --width 500 --height 650 \
  --use clRed --library examples/properties.ini
