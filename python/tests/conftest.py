import os
import pathlib

import numpy as np
import pytest

DATA = pathlib.Path(os.environ.get("BRINDLE_DATA_DIR", pathlib.Path(__file__).resolve().parents[2] / "tests" / "data"))


def grid_arrays(n):
    """An n x n grid of quads in the z = 0 plane with one UV per vertex."""
    xs, ys = np.meshgrid(np.arange(n + 1, dtype=np.float32), np.arange(n + 1, dtype=np.float32))
    positions = np.stack([xs.ravel(), ys.ravel(), np.zeros(xs.size, np.float32)], axis=1)
    v = (np.arange(n)[None, :] + (n + 1) * np.arange(n)[:, None]).ravel()
    corners = np.stack([v, v + 1, v + n + 2, v + n + 1], axis=1).ravel().astype(np.int32)
    uvs = positions[:, :2] / n
    return positions, np.full(n * n, 4, np.int32), corners, uvs, corners.copy()


@pytest.fixture
def grid():
    import brindle

    return brindle.Mesh(*grid_arrays(4))


@pytest.fixture
def suzanne():
    import brindle

    return brindle.Mesh.from_obj(str(DATA / "suzanne.obj"))
