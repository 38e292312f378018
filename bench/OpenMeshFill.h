#pragma once

#include <vector>

#include "brindle/brindle.h"

// Fills an OpenMesh polygon mesh with a record's vertices and faces (outer loops), vertex
// handles equal to vertex ids; the record's face offsets must be up to date.
template <typename Mesh>
void fillOpenMesh(Mesh& mesh, const TpolyGeom& g) {
    mesh.reserve(g.nbVertex(), g.nbEdge(), g.nbFace());
    for (uint32_t v = 0; v < g.nbVertex(); ++v) {
        const T3dFltPoint& p = g.vertexConst(v);
        mesh.add_vertex(typename Mesh::Point(p.x, p.y, p.z));
    }
    std::vector<typename Mesh::VertexHandle> face;
    for (uint32_t f = 0; f < g.nbFace(); ++f) {
        face.clear();
        for (uint32_t o = g.faceOffset(f); o < g.faceOffset(f + 1); ++o)
            face.push_back(typename Mesh::VertexHandle(int(g.getStartVertex(o))));
        mesh.add_face(face);
    }
}
