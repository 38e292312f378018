import brindle
import numpy as np
import pytest
from conftest import grid_arrays

KINDS = ["vertices", "edges", "faces", "uvs"]


def state(mesh):
    return [mesh.positions.copy(), mesh.edges, mesh.face_sizes, mesh.corners] + [
        a for s in mesh.uv_sets for a in (mesh.uvs(s).copy(), mesh.uv_ids(s).copy())
    ]


def test_every_operation_runs_by_name_or_refuses_leaving_the_mesh_as_it_was(suzanne):
    names = brindle.operations()
    assert len(names) == len(set(names)) >= 40 and names == sorted(names)
    worked = set()
    for name in names:
        op = brindle.operation(name)
        assert op.name == name and brindle.operation(op.type) is op
        assert [p.name for p in brindle.parameters(name)] == [p.name for p in op.parameters]
        for kind in KINDS:
            mesh = suzanne.copy()
            before = state(mesh)
            try:
                assert mesh.op(name, kind) is mesh
                worked.add(name)
            except brindle.Error as e:
                assert str(e).startswith(name + ": ")
                for a, b in zip(before, state(mesh)):
                    np.testing.assert_array_equal(a, b)
            assert mesh.check() == 0, (name, kind)
    # Each family is reachable: a face, an edge, a vertex and a UV operation at least.
    assert {"extrudeFacet", "subdEdge", "mergeVert", "mergeUV"} <= worked


def test_every_operation_takes_its_own_defaults_on_its_own_selection():
    """The table's defaults, read back as Python values, are values the operations take."""
    for name in brindle.operations():
        op = brindle.operation(name)
        for p in op.parameters:
            assert p.type in {"bool", "int", "unsigned", "float", "double", "point", "vector", "rotation", "matrix"}
            assert (p.default is None) == (p.name not in op.defaults)
        mesh = brindle.Mesh(*grid_arrays(3))
        selection = brindle.Selection(op.selection) if op.selection else None
        try:
            mesh.op(name, selection, **op.defaults)
        except brindle.Error as e:
            assert str(e).startswith(name + ": ") and len(str(e)) > len(name) + 2
        assert mesh.check() == 0, name


def test_parameters_carry_type_default_and_range_from_the_table():
    subdivide = brindle.operation("TpolySubdFacetFty")
    assert subdivide.name == "subdFacet" and subdivide.selection == "faces"
    divisions = subdivide.parameters[0]
    assert (divisions.name, divisions.type, divisions.default, divisions.range) == ("Divisions", "int", 1, (1.0, 3.0))
    assert divisions.help and divisions.owner == "TpolySubdFacetFty"
    smooth = brindle.operation("smoothFacet").defaults
    assert isinstance(smooth["KeepBorder"], bool) and isinstance(smooth["Smoothness"], float)
    move = brindle.operation("moveVertex")
    assert move.selection == "vertices" and move.defaults["Trans"] == (0.0, 0.0, 0.0)
    with pytest.raises(ValueError, match="unknown operation 'nope'; brindle.operations"):
        brindle.operation("nope")


def test_named_wrappers_take_ids_and_keyword_parameters():
    positions, sizes, corners, uvs, ids = grid_arrays(4)
    mesh = brindle.Mesh(positions, sizes, corners, uvs=uvs, uv_ids=ids)
    assert mesh.triangulate([0, 1]).n_faces == 18
    assert mesh.subdivide([5], divisions=1).n_faces > 18
    assert mesh.smooth(divisions=1).check() == 0
    faces = mesh.n_faces
    mesh.extrude(brindle.faces([3]).ids, offset=1.0, divisions=2)
    assert mesh.n_faces > faces
    assert mesh.reduce(percentage=50).n_faces < mesh.copy().n_faces or mesh.n_faces > 0

    # Two quads that share an edge only in space: merging fuses the two vertex pairs.
    pair = brindle.Mesh(
        np.array([[0, 0, 0], [1, 0, 0], [1, 1, 0], [0, 1, 0], [1, 0, 0], [2, 0, 0], [2, 1, 0], [1, 1, 0]], np.float32),
        [4, 4],
        [0, 1, 2, 3, 4, 5, 6, 7],
    )
    assert pair.merge_vertices(threshold=0.01).n_vertices == 6 and pair.check() == 0


def test_bad_operation_arguments_raise_clear_errors(grid):
    with pytest.raises(ValueError, match="unknown operation 'TpolyNoSuchFty'"):
        grid.op("TpolyNoSuchFty", "faces")
    with pytest.raises(ValueError, match="smoothFacet has no parameter 'smoothnes'; it has: Smoothness, "):
        grid.smooth(smoothnes=1)
    with pytest.raises(ValueError, match="smoothFacet parameter Divisions takes an integer, not 'two'"):
        grid.smooth(divisions="two")
    with pytest.raises(ValueError, match="parameter Divisions takes an integer, not 1.5"):
        grid.smooth(divisions=1.5)
    with pytest.raises(ValueError, match="parameter Divisions takes an integer, not None"):
        grid.smooth(divisions=None)
    with pytest.raises(ValueError, match="parameter KeepBorder takes a bool, not 0.5"):
        grid.smooth(keep_border=0.5)
    with pytest.raises(ValueError, match=r"parameter Trans takes three or four numbers, not \(1, 2\)"):
        grid.op("moveVertex", None, trans=(1, 2))
    with pytest.raises(ValueError, match="parameter Divisions does not take 70000"):
        grid.smooth(divisions=70000)
    with pytest.raises(IndexError, match="face id 16 out of range: the mesh has 16 faces"):
        grid.extrude([0, 16])
    with pytest.raises(IndexError, match="vertex id -1 out of range"):
        grid.merge_vertices([-1])
    with pytest.raises(ValueError, match="ids must be integers, not float64"):
        grid.extrude([0.5])
    with pytest.raises(ValueError, match=r"one-dimensional, not of shape \(1, 2\)"):
        grid.extrude([[0, 1]])
    with pytest.raises(ValueError, match="vertices, edges, faces or uvs, not 'face'"):
        grid.op("TpolyExtrudeFacetFty", "face")
    with pytest.raises(ValueError, match="a selection is brindle.faces"):
        grid.op("TpolyExtrudeFacetFty", [0, 1])
    before = state(grid)
    with pytest.raises(brindle.Error, match="smoothFacet: "):
        grid.smooth(divisions=-1)
    for a, b in zip(before, state(grid)):
        np.testing.assert_array_equal(a, b)
