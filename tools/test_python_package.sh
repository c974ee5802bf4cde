#!/usr/bin/env bash
# The pip package against the Python tests: installs it with `pip install .` into a fresh virtual
# environment (with the system's site packages, for NumPy and pytest), reusing the CMake tree
# given (default build/, which tools/test.sh built: only the module and its overlay module are
# brought up to date), and runs tests/python against the installed package, not the tree's
# module. Offline: nothing comes from an index.
set -euo pipefail
cd "$(dirname "$0")/.."
tree=$(cd "${1:-build}" && pwd)
if [ ! -f "$tree/python-package.txt" ]; then
  # As ctest, which then has no python_module either.
  echo "test_python_package: $tree builds no Python module; skipped"
  exit 0
fi
# The interpreter the tree built the module for.
python=$(head -n 1 "$tree/python-package.txt")
venv=$tree/pip-venv
rm -rf "$venv"
"$python" -m venv --system-site-packages "$venv"
QUORVANE_CMAKE_BUILD_DIR=$tree PIP_DISABLE_PIP_VERSION_CHECK=1 \
  "$venv/bin/python" -m pip install . --no-build-isolation --no-index --root-user-action=ignore \
  --quiet
# No PYTHONPATH: the tree's module must not stand in for the package.
env -u PYTHONPATH QV_PACKAGE_ENVIRONMENT="$venv" QV_CLI="$tree/src/cli/quorvane-cli" \
  QT_QPA_PLATFORM=offscreen "$venv/bin/python" -m pytest -q -p no:cacheprovider tests/python
