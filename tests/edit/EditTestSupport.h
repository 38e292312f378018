#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <vector>

#include "brindle/brindle.h"
#include "support/ObjLoad.h"

// Records for the editing tests. Every corner's UV is its vertex's (x, y) and its colour is
// (x, y, z, 1), so after any edit a corner's values can be checked against its vertex alone,
// split corners included (interpolation along an edge keeps linear functions exact).
namespace edittest {

inline constexpr int32_t kBdType = 7101;

inline void decorate(TpolyGeom& g) {
    g.update(dirtyFaceOffsets);
    const uint32_t s = g.newEmptyMapSet(Tstring("map1"));
    const uint32_t c = g.newEmptyColorSet(Tstring("colorSet1"));
    // One UV and colour per vertex, shared by all its corners.
    for (uint32_t v = 0; v < g.nbVertex(); ++v) {
        const T3dFltPoint& p = g.vertexConst(v);
        g.appendUV(p.x, p.y, s);
        g.addLastColor(TpolyColorValue{p.x, p.y, p.z, 1}, c);
    }
    for (uint32_t o = 0; o < g.faceDescLength(); ++o) {
        g.setUVId(o, int32_t(g.getStartVertex(o)), s);
        g.setColorId(o, int32_t(g.getStartVertex(o)), c);
    }
    const uint32_t grp = g.bgnGroup(3, kPolyGrpFace);
    g.addElement(grp, g.nbFace() - 1);
    const uint32_t egrp = g.bgnGroup(4, kPolyGrpEdge);
    g.addElement(egrp, 0);
    theBlindDataTable().addBd(kBdType, "tag", kBdInt);
    BD_dataHolder value{};
    value.i = 42;
    g.faceBlindData()->addBlindDataElement(nullptr, kBdType, "tag", g.nbFace() - 1, value);
    value.i = 7;
    g.edgeBlindData()->addBlindDataElement(nullptr, kBdType, "tag", 0, value);
}

// Two unit quads side by side sharing the edge from (1,0) to (1,1).
inline std::unique_ptr<TpolyGeom> twoQuads() {
    auto g = std::make_unique<TpolyGeom>();
    for (float y : {0.0f, 1.0f})
        for (float x : {0.0f, 1.0f, 2.0f}) g->appendVertex(x, y, 0.0f);
    addRingFace(*g, {0, 1, 4, 3});
    addRingFace(*g, {1, 2, 5, 4});
    decorate(*g);
    return g;
}

inline std::unique_ptr<TpolyGeom> grid(uint32_t n) {
    auto g = std::make_unique<TpolyGeom>();
    for (uint32_t j = 0; j <= n; ++j)
        for (uint32_t i = 0; i <= n; ++i) g->appendVertex(float(i), float(j), 0.0f);
    for (uint32_t j = 0; j < n; ++j)
        for (uint32_t i = 0; i < n; ++i) {
            const uint32_t a = j * (n + 1) + i;
            addRingFace(*g, {a, a + 1, a + n + 2, a + n + 1});
        }
    decorate(*g);
    return g;
}

inline std::unique_ptr<TpolyGeom> box() {
    auto g = std::make_unique<TpolyGeom>();
    addUnitCube(*g);
    decorate(*g);
    return g;
}

// Errors of the record's own check plus corners whose UV or colour is not their vertex's (the
// check does not look at values).
inline int structuralErrors(TpolyGeom& g) {
    g.update(dirtyFaceOffsets);
    int errors = int(g.checkObject(kCheckAll));
    for (uint32_t o = 0; o < g.faceDescLength(); ++o) {
        const T3dFltPoint& p = g.vertexConst(g.getStartVertex(o));
        const int32_t uv = g.getUVId(o, 0);
        if (uv >= 0 && uint32_t(uv) < g.nbUV(0)) {
            const float* q = g.uvFloatConst(uint32_t(uv), 0);
            if (std::abs(q[0] - p.x) > 1e-5f || std::abs(q[1] - p.y) > 1e-5f) ++errors;
        }
        const int32_t c = g.getColorId(o, 0);
        const TpolyColorValue* col = c >= 0 ? g.getColor(uint32_t(c), 0) : nullptr;
        if (c >= 0 && (!col || std::abs(col->r - p.x) > 1e-5f || std::abs(col->g - p.y) > 1e-5f)) ++errors;
    }
    return errors;
}

// V - E + F - H over the vertices and edges some face uses, H the hole loops (a face with h holes
// counts 1 - h), so that merging faces into one with a hole keeps it.
inline int euler(TpolyGeom& g) {
    g.update(dirtyFaceOffsets);
    int holes = 0;
    for (uint32_t f = 0; f < g.nbFace(); ++f) holes += int(g.faceOrder(f)) - 1;
    std::set<uint32_t> edges, vertices;
    for (uint32_t o = 0; o < g.faceDescLength(); ++o) {
        edges.insert(g.getEdge(o));
        vertices.insert(g.getStartVertex(o));
    }
    return int(vertices.size()) - int(edges.size()) + int(g.nbFace()) - holes;
}

}  // namespace edittest
