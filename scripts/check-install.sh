#!/usr/bin/env bash
# Installs the build in build/ into a scratch prefix and builds and runs a consumer project against it.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT
cmake --install "$root/build" --prefix "$tmp/prefix" >/dev/null
cmake -S "$root/tests/support/consumer" -B "$tmp/consumer" -DCMAKE_PREFIX_PATH="$tmp/prefix" >/dev/null
cmake --build "$tmp/consumer" >/dev/null
LD_LIBRARY_PATH="$tmp/prefix/lib" "$tmp/consumer/consumer" >/dev/null
echo "install check: consumer project built and ran"
# The Python module, when the build made one, imports from the prefix and finds the library there.
if [ -f "$root/build/python/python-executable" ]; then
  module="$(find "$tmp/prefix" -name 'brindle*.so' -path '*-packages/*' | head -n 1)"
  [ -n "$module" ] || { echo "install check: the Python module was not installed"; exit 1; }
  (cd "$tmp" && PYTHONPATH="$(dirname "$module")" "$(cat "$root/build/python/python-executable")" \
    -c "import brindle, sys; sys.exit(brindle.Mesh().n_vertices)")
  echo "install check: Python module imported from the prefix"
fi
