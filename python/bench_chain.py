"""Times the Python module against the library in one run.

usage: bench_chain.py <builddir> [runs]

Reads the positions of a 1M-vertex mesh as a numpy view (no copy: the time per read), then runs
the chain of bench/bench_pychain.cpp (subdivide every 10th face, triangulate, smooth every 100th
face, merge vertices closer than 0.01, extrude every 100th face) on a 1000 x 1000 quad grid from
Python, with and without a live positions view, runs bench_pychain for the same chain in C++,
and prints the ratios of the medians, for the chain and for each step. The runs alternate
between the languages; both time chains after an untimed first one.
"""
import gc
import json
import pathlib
import statistics
import subprocess
import sys
import time

import numpy as np

build = pathlib.Path(sys.argv[1]).resolve()
runs = int(sys.argv[2]) if len(sys.argv) > 2 else 5
sys.path.insert(0, str(build / "python"))
import brindle  # noqa: E402

SIDE = 1000
STEPS = [
    ("subdivide", lambda m: m.subdivide(np.arange(0, m.n_faces, 10), divisions=1)),
    ("triangulate", lambda m: m.triangulate()),
    ("smooth", lambda m: m.smooth(np.arange(0, m.n_faces, 100), divisions=1)),
    ("merge_vertices", lambda m: m.merge_vertices(threshold=0.01)),
    ("extrude", lambda m: m.extrude(np.arange(0, m.n_faces, 100), offset=1.0)),
]


def grid(n):
    xs, ys = np.meshgrid(np.arange(n + 1, dtype=np.float32), np.arange(n + 1, dtype=np.float32))
    positions = np.stack([xs.ravel(), ys.ravel(), np.zeros(xs.size, np.float32)], axis=1)
    v = (np.arange(n)[None, :] + (n + 1) * np.arange(n)[:, None]).ravel()
    corners = np.stack([v, v + 1, v + n + 2, v + n + 1], axis=1).ravel().astype(np.int32)
    return brindle.Mesh(positions, np.full(n * n, 4, np.int32), corners)


def run_chain(base, keep_view):
    """Seconds of the whole chain and of each step (selection included), and the face count."""
    mesh = base.copy()
    view = mesh.positions if keep_view else None
    gc.collect()
    gc.disable()
    steps = []
    for _, step in STEPS:
        start = time.perf_counter()
        step(mesh)
        steps.append(time.perf_counter() - start)
    gc.enable()
    del view
    return sum(steps), steps, mesh.n_faces


def run_cpp():
    """Seconds of one chain in C++, of each step, and the face count."""
    out = subprocess.run(
        [str(build / "bench" / "bench_pychain"), "--benchmark_format=json", "--benchmark_repetitions=1"],
        check=True,
        capture_output=True,
        text=True,
    ).stdout
    b = json.loads(out)["benchmarks"][0]
    return b["real_time"] / 1e3, [b[name + "_ms"] / 1e3 for name, _ in STEPS], b["faces"]


def median_of(results):
    return (
        statistics.median(r[0] for r in results),
        [statistics.median(r[1][k] for r in results) for k in range(len(STEPS))],
        results[0][2],
    )


base = grid(SIDE)
reads = 1000
start = time.perf_counter()
for _ in range(reads):
    view = base.positions
elapsed = (time.perf_counter() - start) / reads
assert view.shape == (base.n_vertices, 3) and np.shares_memory(view, base.positions)
print(f"positions view of {base.n_vertices} vertices: {elapsed * 1e6:.2f} us per read (shares memory)")
del view

# The runs alternate between C++ and Python so that a change in the machine's load hits both.
# Each side times chains in a process that has already run one, as bench_pychain does.
run_chain(base, keep_view=False)
cpp_runs, python_runs, viewed_runs = [], [], []
for _ in range(runs):
    cpp_runs.append(run_cpp())
    python_runs.append(run_chain(base, keep_view=False))
    viewed_runs.append(run_chain(base, keep_view=True))
cpp_time, cpp_steps, cpp_faces = median_of(cpp_runs)
python_time, python_steps, faces = median_of(python_runs)
viewed_time, _, _ = median_of(viewed_runs)
assert faces == cpp_faces, (faces, cpp_faces)

print(f"chain to {faces} faces, median of {runs}: Python {python_time * 1e3:.1f} ms, C++ {cpp_time * 1e3:.1f} ms")
print(f"  ratio Python / C++ {python_time / cpp_time:.3f}")
print(f"  with a live positions view: {viewed_time * 1e3:.1f} ms, ratio {viewed_time / cpp_time:.3f}")
for (name, _), p, c in zip(STEPS, python_steps, cpp_steps):
    print(f"  {name:15s} Python {p * 1e3:8.1f} ms  C++ {c * 1e3:8.1f} ms  ratio {p / c:.3f}")

# An operation that keeps the vertex count updates a live view in place: the cost of pinning it.
def move_seconds(keep_view):
    mesh = base.copy()
    view = mesh.positions if keep_view else None
    times = []
    for _ in range(runs):
        start = time.perf_counter()
        mesh.op("moveVertex", None, trans=(0, 0, 0.5), scale=(1, 1, 1))
        times.append(time.perf_counter() - start)
    del view
    return statistics.median(times)


bare, pinned = move_seconds(False), move_seconds(True)
print(f"moveVertex on {base.n_vertices} vertices: {bare * 1e3:.1f} ms, with a live view {pinned * 1e3:.1f} ms")
