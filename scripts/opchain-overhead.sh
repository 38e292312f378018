#!/usr/bin/env bash
# What the brindle tool adds to the operations it runs. Makes a 1000 x 1000 quad plane as OBJ
# (1M faces, UVs, normals), then times `brindle op` on a chain (subdivide, triangulate, soften,
# extrude, merge) and bench/bench_opchain running the same chain with the same selections and
# parameters straight through the library, OBJ read and write included, on the same file. The
# runs alternate between the two; both write their result and the results must be the same bytes.
# Times are processor seconds (user + system, every thread): the tool's whole process (start-up,
# the operation table, argument parsing, selections, its safe output) against the benchmark's
# read-to-write span, so everything the tool does beyond the library's work counts against it.
# usage: scripts/opchain-overhead.sh [builddir] [runs]   (build the brindle_tool and bench_opchain targets first)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$(cd "${1:-$root/build}" && pwd)"
runs="${2:-3}"
tool="$build/tools/brindle/brindle"
bench="$build/bench/bench_opchain"
for program in "$tool" "$bench"; do
    [ -x "$program" ] || { echo "opchain-overhead: no $program (build brindle_tool and bench_opchain)" >&2; exit 1; }
done
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

"$tool" primitive plane --width 100 --height 100 --xSubdivide 1000 --ySubdivide 1000 -o "$work/grid.obj" >/dev/null
chain=(subdFacet --faces 0-99999 then triangulate then softEdge --Angle 0.5
    then extrudeFacet --faces 0-199999 --Trans 0,0,0.5 --Scale 1,1,1 --LScale 1,1,1 then mergeVert --Threshold 0.01)

TIMEFORMAT='%3U %3S'
tool_seconds() {  # processor seconds of one tool run
    if ! { time "$tool" op "$work/grid.obj" "$work/tool.obj" "${chain[@]}" >"$work/tool.txt" 2>&1; } 2>"$work/time.txt"; then
        cat "$work/tool.txt" >&2
        exit 1
    fi
    awk '{ printf "%.3f", $1 + $2 }' "$work/time.txt"
}
bench_seconds() {  # processor seconds of the benchmark's chain
    "$bench" --input="$work/grid.obj" --output="$work/bench.obj" --benchmark_format=json >"$work/bench.json"
    sed -n 's/.*"cpu_time": \([0-9.e+]*\),.*/\1/p' "$work/bench.json" | awk '{ printf "%.3f", $1 / 1000 }'
}

tools=() benches=()
for ((run = 1; run <= runs; ++run)); do
    t="$(tool_seconds)"
    b="$(bench_seconds)"
    cmp -s "$work/tool.obj" "$work/bench.obj" || { echo "opchain-overhead: the tool and the benchmark wrote different results" >&2; exit 1; }
    tools+=("$t") benches+=("$b")
    awk -v r="$run" -v t="$t" -v b="$b" 'BEGIN { printf "run %d: tool %.3f s, library %.3f s, ratio %.3f\n", r, t, b, t / b }'
done
sed 's/^/  /' "$work/tool.txt"
median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
awk -v t="$(median "${tools[@]}")" -v b="$(median "${benches[@]}")" -v n="$runs" \
    'BEGIN { printf "median of %d: tool %.3f s, library %.3f s, tool / library %.3f\n", n, t, b, t / b }'
