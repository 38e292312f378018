#!/usr/bin/env bash
# Runs the Python module's tests against the module in a build tree (default build/), with the
# interpreter the module was built for. Skips, saying so, when the build made no module.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$(cd "${1:-$root/build}" && pwd)"
if [ ! -f "$build/python/python-executable" ] || ! ls "$build"/python/brindle*.so >/dev/null 2>&1; then
  echo "test-python: $build has no Python module (pybind11 missing or BRINDLE_BUILD_PYTHON off); skipped"
  exit 0
fi
python="$(cat "$build/python/python-executable")"
export PYTHONPATH="$build/python${PYTHONPATH:+:$PYTHONPATH}" BRINDLE_DATA_DIR="$root/tests/data"
exec "$python" -m pytest -q -p no:cacheprovider "$root/python/tests"
