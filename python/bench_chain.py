"""Times the Python module against the library in one run.

usage: bench_chain.py <builddir> [runs]

Reads the positions of a 1M-vertex mesh as a numpy view (no copy: the time per read), then runs
the chain of bench/bench_pychain.cpp (move every vertex, extrude every 100th face, triangulate,
soften every edge) on a 999 x 999 quad grid from Python, with and without a live positions view,
runs bench_pychain for the same chain in C++, and prints the ratios of the medians.
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

SIDE = 999


def grid(n):
    xs, ys = np.meshgrid(np.arange(n + 1, dtype=np.float32), np.arange(n + 1, dtype=np.float32))
    positions = np.stack([xs.ravel(), ys.ravel(), np.zeros(xs.size, np.float32)], axis=1)
    v = (np.arange(n)[None, :] + (n + 1) * np.arange(n)[:, None]).ravel()
    corners = np.stack([v, v + 1, v + n + 2, v + n + 1], axis=1).ravel().astype(np.int32)
    return brindle.Mesh(positions, np.full(n * n, 4, np.int32), corners)


def chain(mesh):
    mesh.op("TpolyMoveVertexFty", "vertices", trans=(0, 0, 0.5), scale=(1, 1, 1))
    mesh.extrude(np.arange(0, mesh.n_faces, 100), offset=1.0)
    mesh.triangulate()
    mesh.op("TpolySoftEdgeFty", "edges", angle=30.0)
    return mesh.n_faces


def median_chain(base, keep_view):
    times = []
    for _ in range(runs):
        mesh = base.copy()
        view = mesh.positions if keep_view else None
        gc.collect()
        gc.disable()
        start = time.perf_counter()
        faces = chain(mesh)
        times.append(time.perf_counter() - start)
        gc.enable()
        del view, mesh
    return statistics.median(times), faces


base = grid(SIDE)
reads = 1000
start = time.perf_counter()
for _ in range(reads):
    view = base.positions
elapsed = (time.perf_counter() - start) / reads
assert view.shape == (base.n_vertices, 3) and np.shares_memory(view, base.positions)
print(f"positions view of {base.n_vertices} vertices: {elapsed * 1e6:.2f} us per read (shares memory)")
del view

python_time, faces = median_chain(base, keep_view=False)
viewed_time, _ = median_chain(base, keep_view=True)

out = subprocess.run(
    [str(build / "bench" / "bench_pychain"), "--benchmark_format=json", f"--benchmark_repetitions={runs}"],
    check=True,
    capture_output=True,
    text=True,
).stdout
cpp = next(b for b in json.loads(out)["benchmarks"] if b.get("aggregate_name") == "median")
cpp_time = cpp["real_time"] / 1e3  # milliseconds
print(f"chain to {faces} faces, median of {runs}: Python {python_time * 1e3:.1f} ms, C++ {cpp_time * 1e3:.1f} ms")
print(f"  ratio Python / C++ {python_time / cpp_time:.3f}")
print(f"  with a live positions view: {viewed_time * 1e3:.1f} ms, ratio {viewed_time / cpp_time:.3f}")
