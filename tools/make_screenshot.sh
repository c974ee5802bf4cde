#!/usr/bin/env bash
# Makes docs/screenshot.png and docs/stress_map.png anew from the current main window: the
# end-to-end test runs the real window under Xvfb, analyses its T-section and saves what the
# window then shows, and the stresses of its composite beam with the map in the picture's place.
# Run it after any change to the main window; the end-to-end test fails while the menus or the
# status bar in docs/screenshot.png differ from the window's.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install_deps.sh
cmake --preset test >/dev/null
cmake --build build --target tst_e2e_window
QT_QPA_PLATFORM=xcb QV_E2E_SCREENSHOT="$PWD/docs/screenshot.png" \
  QV_E2E_STRESS_SCREENSHOT="$PWD/docs/stress_map.png" \
  xvfb-run -a -s "-screen 0 1280x1024x24" build/tests/e2e/tst_e2e_window
echo "make_screenshot: docs/screenshot.png and docs/stress_map.png made from the current window"
