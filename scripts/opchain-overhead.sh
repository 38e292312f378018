#!/usr/bin/env bash
# What the brindle tool adds to the operations it runs. Makes a 1000 x 1000 quad plane as OBJ
# (1M faces, UVs, normals), then times `brindle op` on a chain (subdivide, triangulate, soften,
# extrude, merge) and bench/bench_opchain running the same chain with the same selections and
# parameters straight through the library, OBJ read and write included, on the same file. The
# runs alternate between the two; both write their result and the results must be the same bytes.
# Times are processor seconds (user + system, every thread) of each whole process, so that the
# tool's start-up, operation table, argument parsing, selections and safe output (a temporary
# flushed to disk, then renamed) count against it.
# usage: scripts/opchain-overhead.sh [builddir] [runs]   (build the brindle_tool and bench_opchain targets first)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$(cd "${1:-$root/build}" && pwd)"
runs="${2:-5}"
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

# Both sides are timed the same way, as whole processes: user and system seconds of the process
# and its threads, as bash's time reports them, until the result is on disk. The tool flushes its
# output before renaming it, and the kernel charges that writing to the tool; the benchmark's
# output would be written later by the kernel's own threads, so a sync after each program, timed
# with it, puts both results on disk at their own cost.
TIMEFORMAT='%3U %3S'
timed() {  # timed <log> <program> <arguments...>: prints "user system" of the run
    local log=$1
    shift
    if ! { time { "$@" >"$log" 2>&1 && sync; }; } 2>"$work/time.txt"; then
        cat "$log" >&2
        exit 1
    fi
    cat "$work/time.txt"
}

# Each run also starts with nothing left to write back (sync, untimed), so that no run pays for
# the dirty pages the one before it left.
run_tool() { sync && timed "$work/tool.txt" "$tool" op "$work/grid.obj" "$work/tool.obj" "${chain[@]}" >"$work/tool.time"; }
run_bench() { sync && timed "$work/bench.txt" "$bench" --input="$work/grid.obj" --output="$work/bench.obj" >"$work/bench.time"; }
sum() { awk -v u="$1" -v s="$2" 'BEGIN { print u + s }'; }
tools=() benches=() tool_users=() bench_users=()
for ((run = 1; run <= runs; ++run)); do
    # Which side goes first alternates, so that neither always follows the other's exit (and the
    # kernel's reclaim of its memory).
    if ((run % 2)); then run_tool && run_bench; else run_bench && run_tool; fi
    cmp -s "$work/tool.obj" "$work/bench.obj" || { echo "opchain-overhead: the tool and the benchmark wrote different results" >&2; exit 1; }
    read -r tu ts <"$work/tool.time"
    read -r bu bs <"$work/bench.time"
    tools+=("$(sum "$tu" "$ts")") benches+=("$(sum "$bu" "$bs")") tool_users+=("$tu") bench_users+=("$bu")
    awk -v r="$run" -v tu="$tu" -v ts="$ts" -v bu="$bu" -v bs="$bs" 'BEGIN {
        printf "run %d: tool %.3f s (user %.3f, system %.3f), library %.3f s (user %.3f, system %.3f), ratio %.3f\n",
            r, tu + ts, tu, ts, bu + bs, bu, bs, (tu + ts) / (bu + bs) }'
done
sed 's/^/  /' "$work/tool.txt"
# The median says what a run costs; on a shared machine the least of the runs is the one least
# disturbed by other work.
median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
least() { printf '%s\n' "$@" | sort -g | head -1; }
report() {  # report <what> <tool seconds> <library seconds>
    awk -v w="$1" -v t="$2" -v b="$3" 'BEGIN { printf "%-22s tool %.3f s, library %.3f s, tool / library %.3f\n", w, t, b, t / b }'
}
report "median of $runs:" "$(median "${tools[@]}")" "$(median "${benches[@]}")"
report "least of $runs:" "$(least "${tools[@]}")" "$(least "${benches[@]}")"
report "median of $runs, user:" "$(median "${tool_users[@]}")" "$(median "${bench_users[@]}")"
