#pragma once

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "brindle/brindle.h"
#include "support/ObjLoad.h"
#include "support/SurfaceCheck.h"

namespace reducetest {

inline std::unique_ptr<TpolyGeom> sample(const char* name) {
    TobjImportReport report;
    return std::unique_ptr<TpolyGeom>(TobjImport::read((std::string(BRINDLE_DATA_DIR) + "/" + name).c_str(), report));
}

// An n x n grid of unit cells in the plane z = 0, each cell two triangles.
inline std::unique_ptr<TpolyGeom> triangleGrid(uint32_t n) {
    auto g = std::make_unique<TpolyGeom>();
    const uint32_t row = n + 1;
    for (uint32_t j = 0; j <= n; ++j)
        for (uint32_t i = 0; i <= n; ++i) g->appendVertex(float(i), float(j), 0.0f);
    for (uint32_t j = 0; j < n; ++j)
        for (uint32_t i = 0; i < n; ++i) {
            const uint32_t v = j * row + i;
            addRingFace(*g, {v, v + 1, v + row + 1});
            addRingFace(*g, {v, v + row + 1, v + row});
        }
    return g;
}

// A closed torus of nu x nv quads.
inline std::unique_ptr<TpolyGeom> quadTorus(uint32_t nu, uint32_t nv) {
    auto g = std::make_unique<TpolyGeom>();
    for (uint32_t j = 0; j < nv; ++j)
        for (uint32_t i = 0; i < nu; ++i) {
            const double u = kTwoPi * i / nu, v = kTwoPi * j / nv;
            g->appendVertex(float((2 + std::cos(v)) * std::cos(u)), float((2 + std::cos(v)) * std::sin(u)),
                            float(std::sin(v)));
        }
    for (uint32_t j = 0; j < nv; ++j)
        for (uint32_t i = 0; i < nu; ++i) {
            const uint32_t i1 = (i + 1) % nu, j1 = (j + 1) % nv;
            addRingFace(*g, {j * nu + i, j * nu + i1, j1 * nu + i1, j1 * nu + i});
        }
    return g;
}

// UV set "map1" with u = x / scale, v = y / scale shared by all corners at a vertex, except that
// faces whose centre lies right of x = seamX take their own UVs shifted by 1 in u: a seam runs
// along x = seamX (none when seamX is negative).
inline void addPlanarUVs(TpolyGeom& g, float scale, float seamX = -1.0f) {
    g.update(dirtyFaceOffsets);
    const uint32_t s = g.addLastMapSet("map1");
    g.setCurrentMap(s);
    TpolyMap& map = (*g.maps())[s];
    for (uint32_t v = 0; v < g.nbVertex(); ++v) {
        const T3dFltPoint& p = g.vertexConst(v);
        map.appendUV(p.x / scale, p.y / scale);
    }
    const uint32_t shifted = map.nbUV();
    for (uint32_t v = 0; v < g.nbVertex(); ++v) {
        const T3dFltPoint& p = g.vertexConst(v);
        map.appendUV(p.x / scale + 1.0f, p.y / scale);
    }
    Tint32Array& ids = map.indexArray();
    ids.changeLogicalSizeTo(g.faceDescLength());
    for (uint32_t f = 0; f < g.nbFace(); ++f) {
        const uint32_t o = g.faceOffset(f), n = g.faceVertexCount(f);
        float cx = 0;
        for (uint32_t k = 0; k < n; ++k) cx += g.vertexConst(g.getStartVertex(o + k)).x / float(n);
        const bool right = seamX >= 0 && cx > seamX;
        for (uint32_t k = 0; k < n; ++k) ids[o + k] = int32_t(g.getStartVertex(o + k) + (right ? shifted : 0));
    }
    g.markDirty(dirtyAll);
}

// Runs a reduction on a body holding g; answers the action's result. The body keeps the record.
struct ReduceRun {
    TmidBody body;
    int result = -2;
    explicit ReduceRun(std::unique_ptr<TpolyGeom> g) : body(g.release()) {}
    TpolyGeom& geom() { return *body.polyGeom(); }
    int reduce(TpolyDecimateFty& fty, TmidComponent* list = nullptr) { return result = fty.doAction(&body, list); }
};

// Every UV id of every set names a UV, every corner has one id per set.
inline bool uvIdsValid(const TpolyGeom& g) {
    for (const TpolyMap& m : *g.maps()) {
        if (m.nbIndex() != g.faceDescLength()) return false;
        for (uint32_t c = 0; c < m.nbIndex(); ++c)
            if (m.getIndex(c) >= 0 && uint32_t(m.getIndex(c)) >= m.nbUV()) return false;
    }
    return true;
}

}  // namespace reducetest
