import gc
import time
import weakref

import brindle
import numpy as np
import pytest
from conftest import DATA, grid_arrays


def arrays_of(mesh):
    return mesh.positions.copy(), mesh.face_sizes, mesh.corners, mesh.edges


@pytest.mark.parametrize("sample", ["cow.obj", "suzanne.obj", "beetle.obj"])
def test_sample_round_trips_through_arrays_and_obj(sample, tmp_path):
    mesh = brindle.Mesh.from_obj(str(DATA / sample))
    rebuilt = brindle.Mesh(mesh.positions, mesh.face_sizes, mesh.corners)
    assert rebuilt.check() == 0
    for a, b in zip(arrays_of(mesh), arrays_of(rebuilt)):
        np.testing.assert_array_equal(a, b)
    assert rebuilt.uv_sets == []

    path = tmp_path / "out.obj"
    rebuilt.to_obj(str(path))
    again = brindle.Mesh.from_obj(str(path))
    for a, b in zip(arrays_of(rebuilt), arrays_of(again)):
        np.testing.assert_array_equal(a, b)
    assert rebuilt.to_obj() == path.read_text()


def test_uvs_round_trip_with_ids_or_one_per_corner():
    positions, sizes, corners, uvs, ids = grid_arrays(3)
    mesh = brindle.Mesh(positions, sizes, corners, uvs=uvs, uv_ids=ids, uv_set="paint")
    assert mesh.uv_sets == ["paint"]
    np.testing.assert_array_equal(mesh.uvs("paint"), uvs)
    np.testing.assert_array_equal(mesh.uv_ids(), ids)
    per_corner = brindle.Mesh(positions, sizes, corners, uvs=uvs[corners])
    np.testing.assert_array_equal(per_corner.uvs()[per_corner.uv_ids()], uvs[corners])
    # float64 input is converted; -1 leaves a corner unmapped.
    ids[0] = -1
    partly = brindle.Mesh(positions.astype(np.float64), sizes, corners, uvs=uvs, uv_ids=ids)
    assert partly.uv_ids()[0] == -1 and partly.check() == 0
    with pytest.raises(ValueError, match="no UV set 'nope'; it has: map1"):
        partly.uvs("nope")


def test_views_share_memory_and_keep_their_mesh_alive():
    grid = brindle.Mesh(*grid_arrays(4))
    p = grid.positions
    assert p.dtype == np.float32 and p.shape == (grid.n_vertices, 3)
    assert np.shares_memory(p, grid.positions)
    p[0] = (7, 8, 9)
    np.testing.assert_array_equal(grid.positions[0], (7, 8, 9))
    assert "7" in grid.to_obj().splitlines()[0]
    ids = grid.uv_ids()
    with pytest.raises(ValueError, match="read-only"):
        ids[0] = 3

    alive = weakref.ref(grid)
    del grid
    gc.collect()
    assert alive() is not None
    assert p[0, 2] == 9 and ids[1] == 1
    del p, ids
    gc.collect()
    assert alive() is None


def test_views_follow_operations_and_survive_resizing_ones(grid):
    p, uv = grid.positions, grid.uvs()
    before = p.copy()
    grid.op("TpolyMoveVertexFty", "vertices", trans=(0, 0, 1.5), scale=(1, 1, 1))
    np.testing.assert_array_equal(p[:, 2], before[:, 2] + 1.5)
    assert np.shares_memory(p, grid.positions) and not p.base.detached

    moved = p.copy()
    grid.extrude([0, 5], offset=2.0)
    assert grid.n_vertices > len(p)
    # The old view keeps the values from before, in memory of its own.
    assert p.base.detached and not np.shares_memory(p, grid.positions)
    np.testing.assert_array_equal(p, moved)
    np.testing.assert_array_equal(grid.positions[: len(p)], moved)
    assert uv.base.detached == (len(grid.uvs()) != len(uv))
    assert grid.check() == 0


def test_written_positions_reach_the_next_operation(grid):
    grid.positions[:, 2] = grid.positions[:, 0] ** 2
    grid.triangulate()
    assert grid.n_faces == 32
    np.testing.assert_array_equal(grid.positions[:, 2], grid.positions[:, 0] ** 2)
    grid.positions = np.zeros((grid.n_vertices, 3))
    assert not grid.positions.any()
    with pytest.raises(ValueError, match="vertex count"):
        grid.positions = np.zeros((3, 3))


def test_bad_arrays_raise_clear_errors():
    positions, sizes, corners, _, _ = grid_arrays(2)
    with pytest.raises(ValueError, match="positions must hold floats .* not int64"):
        brindle.Mesh(positions.astype(np.int64), sizes, corners)
    with pytest.raises(ValueError, match=r"positions must have shape \(n, 3\), not \(9, 2\)"):
        brindle.Mesh(positions[:, :2], sizes, corners)
    with pytest.raises(ValueError, match="corners must hold integers, not float64"):
        brindle.Mesh(positions, sizes, corners.astype(np.float64))
    with pytest.raises(ValueError, match="add up to 16 corners but corners holds 15"):
        brindle.Mesh(positions, sizes, corners[:-1])
    with pytest.raises(ValueError, match="face 1 has 2 corners"):
        brindle.Mesh(positions, [4, 2, 4, 4, 2], corners)
    bad = corners.copy()
    bad[5] = 9
    with pytest.raises(IndexError, match="corner 5 names vertex 9 but the mesh has 9 vertices"):
        brindle.Mesh(positions, sizes, bad)
    bad[5] = bad[4]
    with pytest.raises(ValueError, match="face 1 cannot be made"):
        brindle.Mesh(positions, sizes, bad)
    with pytest.raises(IndexError, match="names UV 9"):
        brindle.Mesh(positions, sizes, corners, uvs=positions[:, :2], uv_ids=np.full(16, 9))
    with pytest.raises(ValueError, match="one UV per corner"):
        brindle.Mesh(positions, sizes, corners, uvs=positions[:, :2])
    with pytest.raises(FileNotFoundError):
        brindle.Mesh.from_obj("/no/such/file.obj")


def test_positions_of_a_million_vertices_are_a_view_read_in_under_a_millisecond():
    mesh = brindle.Mesh(*grid_arrays(999)[:3])
    assert mesh.n_vertices == 1_000_000
    first = mesh.positions
    best = float("inf")
    for _ in range(20):
        start = time.perf_counter()
        view = mesh.positions
        best = min(best, time.perf_counter() - start)
        # No copy: every read aliases the same memory through the same owner.
        assert view.ctypes.data == first.ctypes.data and view.base is first.base
    assert best < 1e-3, f"{best * 1e3:.3f} ms"
