#pragma once

#include <vector>

#include "brindle/brindle.h"

// Fills a CGAL Surface_mesh with a record's vertices (vertex index = vertex id) and its faces'
// outer loops, each face fanned into triangles from its first corner when triangles is set (for
// the operations CGAL runs on triangle meshes only). The record's face offsets must be up to date.
template <typename Mesh>
void fillSurfaceMesh(Mesh& mesh, const TpolyGeom& g, bool triangles) {
    using Point = typename Mesh::Point;
    using Vertex = typename Mesh::Vertex_index;
    mesh.reserve(g.nbVertex(), g.nbEdge() + (triangles ? g.nbFace() : 0), triangles ? 2 * g.nbFace() : g.nbFace());
    for (uint32_t v = 0; v < g.nbVertex(); ++v) {
        const T3dFltPoint& p = g.vertexConst(v);
        mesh.add_vertex(Point(p.x, p.y, p.z));
    }
    std::vector<Vertex> ring;
    for (uint32_t f = 0; f < g.nbFace(); ++f) {
        ring.clear();
        for (uint32_t o = g.faceOffset(f); o < g.faceOffset(f + 1) && (o == g.faceOffset(f) || !g.endOfLoop(o - 1));
             ++o)
            ring.push_back(Vertex(g.getStartVertex(o)));
        if (!triangles) {
            mesh.add_face(ring);
            continue;
        }
        for (size_t k = 1; k + 1 < ring.size(); ++k) mesh.add_face(ring[0], ring[k], ring[k + 1]);
    }
}
