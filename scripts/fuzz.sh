#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for the given number of seconds (default 60).
# A crash leaves its input in build-fuzz/artifacts/ and fails the script.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
seconds="${1:-60}"
build="$root/build-fuzz"
cmake -S "$root" -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DBRINDLE_BUILD_FUZZ=ON -DBRINDLE_BUILD_TESTS=OFF -DBRINDLE_BUILD_BENCH=OFF -DBRINDLE_BUILD_TOOLS=OFF \
  -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link,address,undefined" \
  -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" -DCMAKE_SHARED_LINKER_FLAGS="-fsanitize=address,undefined" >/dev/null
cmake --build "$build" -j"$(nproc)"
mkdir -p "$build/artifacts"
# Inputs are small, and every reader checks a count against the bytes left before it sizes
# anything: one allocation above 64 MB or a process above 384 MB is a reader growing without
# bound. A small quarantine keeps the sanitizer's own holding of freed memory out of the figure.
export ASAN_OPTIONS="quarantine_size_mb=16${ASAN_OPTIONS:+:$ASAN_OPTIONS}"
limits=(-rss_limit_mb=384 -malloc_limit_mb=64)
shopt -s nullglob
for target in "$build"/tests/fuzz/fuzz_*; do
  [ -x "$target" ] || continue
  name="$(basename "$target")"
  corpus="$build/corpus/$name"
  mkdir -p "$corpus"
  seeds=()
  [ -d "$root/tests/fuzz/seeds/$name" ] && seeds+=("$root/tests/fuzz/seeds/$name")
  echo "fuzzing $name for ${seconds}s"
  "$target" -max_total_time="$seconds" "${limits[@]}" -artifact_prefix="$build/artifacts/" -print_final_stats=1 "$corpus" "${seeds[@]}"
done
