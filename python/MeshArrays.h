#pragma once

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <string>

#include "ArrayOwner.h"

class TpyMesh;

// A record from numpy arrays: positions (n, 3), the corner count of each face and the vertex of
// each corner, optionally UVs with one id per corner into them (or one UV per corner when ids are
// not given). ValueError for a wrong dtype or shape or a face the record cannot hold, IndexError
// for an id out of range.
TpyMesh* meshFromArrays(const pybind11::object& positions, const pybind11::object& faceSizes,
                        const pybind11::object& corners, const pybind11::object& uvs, const pybind11::object& uvIds,
                        const std::string& uvSet);

// A numpy view into the record array of that kind, its base the array's owner (which keeps the
// Mesh self alive). UV ids are read-only: a bad id written there would send operations outside
// the UV array.
pybind11::array viewOf(const pybind11::object& self, TpyArrayKind kind, const std::string& uvSet);
// Copies positions in place, keeping the vertex count.
void setPositions(TpyMesh& mesh, const pybind11::object& positions);

// Copies, since the record packs flags into these words or derives them: edge end vertices (n, 2)
// and hard flags, corner counts per face (every loop of a face with holes), corner vertices.
pybind11::array edgesOf(TpyMesh& mesh);
pybind11::array hardEdgesOf(TpyMesh& mesh);
pybind11::array faceSizesOf(TpyMesh& mesh);
pybind11::array cornersOf(TpyMesh& mesh);

// The name of the UV set called name, or of the current one for None; ValueError when there is none.
std::string uvSetName(TpyMesh& mesh, const pybind11::object& name);
