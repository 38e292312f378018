#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "brindle/brindle.h"
#include "support/ObjLoad.h"
#include "support/TempFile.h"

// A sample mesh and the same mesh cut in two along a seam: the faces whose first corner lies
// below the mean x form one piece, the others the second. Both are written as OBJ with UVs
// (u, v) = (x, z), each piece with UVs of its own, and read back through the importer; in the
// cut one the vertices the two pieces share are written twice, the second piece's copies after
// every original vertex, so welding them back must give the original ids.
namespace seam {

struct Pair {
    std::unique_ptr<TpolyGeom> whole, cut;
    uint32_t seamVertices = 0;
};

// Two unit quads side by side whose touching border is written twice: vertices 1, 2 of the
// first sit on vertices 4, 7 of the second, and edge 1 (1 to 2) on edge 7 (7 to 4).
inline std::unique_ptr<TpolyGeom> twoQuads() {
    auto g = std::make_unique<TpolyGeom>();
    for (T3dFltPoint p : {T3dFltPoint(0, 0, 0), T3dFltPoint(1, 0, 0), T3dFltPoint(1, 1, 0), T3dFltPoint(0, 1, 0),
                          T3dFltPoint(1, 0, 0), T3dFltPoint(2, 0, 0), T3dFltPoint(2, 1, 0), T3dFltPoint(1, 1, 0)})
        g->appendVertex(p);
    addRingFace(*g, {0, 1, 2, 3});
    addRingFace(*g, {4, 5, 6, 7});
    return g;
}

inline std::unique_ptr<TpolyGeom> import(const std::string& text) {
    TempFile file(text);
    TobjImportReport report;
    std::unique_ptr<TpolyGeom> g(TobjImport::read(file.path(), report));
    EXPECT_TRUE(g) << report.error;
    return g;
}

inline Pair split(const std::string& sample) {
    ObjMesh mesh;
    EXPECT_TRUE(readObj(std::string(BRINDLE_DATA_DIR) + "/" + sample, mesh));
    const uint32_t nv = uint32_t(mesh.points.size());
    double mean = 0;
    for (const T3dFltPoint& p : mesh.points) mean += p.x;
    mean /= nv;
    std::vector<int> piece(mesh.faces.size());
    std::vector<int> uses(nv, 0);  // bit 0: first piece, bit 1: second
    for (size_t f = 0; f < mesh.faces.size(); ++f) {
        piece[f] = mesh.points[mesh.faces[f][0]].x < mean ? 0 : 1;
        for (uint32_t v : mesh.faces[f]) uses[v] |= 1 << piece[f];
    }
    Pair out;
    std::vector<uint32_t> copy(nv, 0);
    uint32_t next = nv;
    for (uint32_t v = 0; v < nv; ++v)
        if (uses[v] == 3) copy[v] = next++, ++out.seamVertices;
    std::ostringstream vt, whole, cut, faces, cutFaces;
    vt.precision(9);
    whole.precision(9);
    cut.precision(9);
    for (int p = 0; p < 2; ++p)
        for (const T3dFltPoint& q : mesh.points) vt << "vt " << q.x << ' ' << q.z << '\n';
    for (const T3dFltPoint& q : mesh.points) whole << "v " << q.x << ' ' << q.y << ' ' << q.z << '\n';
    cut << whole.str();
    for (uint32_t v = 0; v < nv; ++v)
        if (uses[v] == 3) cut << "v " << mesh.points[v].x << ' ' << mesh.points[v].y << ' ' << mesh.points[v].z << '\n';
    for (size_t f = 0; f < mesh.faces.size(); ++f) {
        faces << 'f';
        cutFaces << 'f';
        for (uint32_t v : mesh.faces[f]) {
            const uint32_t t = v + 1 + uint32_t(piece[f]) * nv;
            faces << ' ' << v + 1 << '/' << t;
            cutFaces << ' ' << (piece[f] && uses[v] == 3 ? copy[v] : v) + 1 << '/' << t;
        }
        faces << '\n';
        cutFaces << '\n';
    }
    out.whole = import(whole.str() + vt.str() + faces.str());
    out.cut = import(cut.str() + vt.str() + cutFaces.str());
    // Each piece names only its own half of the UVs.
    if (out.whole) TpolyCompact::removeUnusedUVs(*out.whole);
    return out;
}

// Same counts, positions by vertex id and, corner by corner in face order, the same vertex and
// the same UV value.
inline void expectSame(TpolyGeom& a, TpolyGeom& b) {
    ASSERT_EQ(a.nbVertex(), b.nbVertex());
    ASSERT_EQ(a.nbEdge(), b.nbEdge());
    ASSERT_EQ(a.nbFace(), b.nbFace());
    ASSERT_EQ(a.faceDescLength(), b.faceDescLength());
    EXPECT_EQ(a.nbUV(0), b.nbUV(0));
    for (uint32_t v = 0; v < a.nbVertex(); ++v) ASSERT_EQ(a.vertexConst(v), b.vertexConst(v)) << v;
    a.update(dirtyFaceOffsets);
    b.update(dirtyFaceOffsets);
    for (uint32_t o = 0; o < a.faceDescLength(); ++o) {
        ASSERT_EQ(a.getStartVertex(o), b.getStartVertex(o)) << o;
        float ua[2], ub[2];
        ASSERT_TRUE(a.getUV(uint32_t(a.getUVId(o, 0)), ua, 0));
        ASSERT_TRUE(b.getUV(uint32_t(b.getUVId(o, 0)), ub, 0));
        ASSERT_EQ(ua[0], ub[0]);
        ASSERT_EQ(ua[1], ub[1]);
    }
}

}  // namespace seam
