#!/usr/bin/env bash
# Builds a fresh clone of the committed tree in a scratch folder that has nothing beside it (no
# sibling ../shared) and runs its tests, so that the suite never depends on files outside the
# repository or left untracked in a working copy.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT
git clone -q --no-checkout "$root" "$tmp/brindle"
git -C "$tmp/brindle" checkout -q "$(git -C "$root" rev-parse HEAD)"
launcher=()
if command -v ccache >/dev/null; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi
cmake -S "$tmp/brindle" -B "$tmp/brindle/build" -DBRINDLE_WERROR=ON -DBRINDLE_BUILD_BENCH=OFF "${launcher[@]}" >/dev/null
cmake --build "$tmp/brindle/build" -j"${JOBS:-$(nproc)}" >/dev/null
ctest --test-dir "$tmp/brindle/build" --output-on-failure -j"${JOBS:-$(nproc)}" | tail -n 3
echo "clone check: a clone with nothing beside it built and passed its tests"
