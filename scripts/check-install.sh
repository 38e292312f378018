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
