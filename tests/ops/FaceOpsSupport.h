#pragma once

#include <cmath>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "brindle/brindle.h"
#include "support/GridBuilder.h"
#include "support/ObjLoad.h"

// Shared fixtures of the face-rebuilding operation tests.

// A body owning the record.
inline std::unique_ptr<TmidBody> bodyOf(TpolyGeom* g) { return std::make_unique<TmidBody>(g); }

// A face list over the given ids.
inline TmidFaceComponent faceList(const std::vector<uint32_t>& ids) {
    TmidFaceComponent list;
    for (uint32_t id : ids) list.addElement(id);
    return list;
}
inline TmidFaceComponent allFaces(const TpolyGeom& g) {
    TmidFaceComponent list;
    if (g.nbFace()) list.addRange(0, g.nbFace() - 1);
    return list;
}

// Total area of the record's cached triangles.
inline double triangleArea(TpolyGeom& g) {
    g.update(dirtyTriangles);
    double area = 0;
    for (uint32_t f = 0; f < g.nbFace(); ++f) {
        uint32_t t0 = 0;
        const uint32_t n = g.trgFaceOrder(f, &t0);
        for (uint32_t t = t0; t < t0 + n; ++t) {
            const T3dFltPoint& a = g.vertexConst(g.cornerVertexOfTriangle(f, t, 0));
            const T3dFltPoint& b = g.vertexConst(g.cornerVertexOfTriangle(f, t, 1));
            const T3dFltPoint& c = g.vertexConst(g.cornerVertexOfTriangle(f, t, 2));
            const double ux = b.x - a.x, uy = b.y - a.y, uz = b.z - a.z;
            const double vx = c.x - a.x, vy = c.y - a.y, vz = c.z - a.z;
            area +=
                0.5 * std::sqrt((uy * vz - uz * vy) * (uy * vz - uz * vy) + (uz * vx - ux * vz) * (uz * vx - ux * vz) +
                                (ux * vy - uy * vx) * (ux * vy - uy * vx));
        }
    }
    return area;
}

// A UV set "map1" whose UV at each corner is (x + 10 z, y) of its vertex, one UV per corner, and a
// colour set whose colour is (x, y, z, 1): every corner's values can be checked after an edit.
inline void addPositionSets(TpolyGeom& g) {
    g.update(dirtyFaceOffsets);
    Tstring uvName("map1"), colorName("colorSet1");
    const uint32_t uvSet = g.addLastMapSet(uvName);
    const uint32_t colorSet = g.addLastColorSet(colorName);
    g.setColorRepresentation(TpolyColorValue::RGBA, colorSet);
    for (uint32_t k = 0; k < g.faceDescLength(); ++k) {
        const T3dFltPoint& p = g.vertexConst(g.getStartVertex(k));
        g.refUV(g.appendUV(p.x + 10 * p.z, p.y, uvSet), uvSet);
        const float c[4] = {p.x, p.y, p.z, 1};
        g.refColor(g.appendColor(c, TpolyColorValue::RGBA, 1, colorSet), colorSet);
    }
}

// Number of corners whose UV or colour is not the one addPositionSets gives their vertex (an
// unmapped corner counts too).
inline uint32_t wrongCornerValues(const TpolyGeom& g) {
    uint32_t wrong = 0;
    for (uint32_t k = 0; k < g.faceDescLength(); ++k) {
        const T3dFltPoint& p = g.vertexConst(g.getStartVertex(k));
        float uv[2] = {-1e9f, -1e9f}, c[4] = {-1e9f, 0, 0, 0};
        const int32_t id = g.getUVId(k, 0);
        if (id < 0 || !g.getUV(uint32_t(id), uv, 0) || std::fabs(uv[0] - (p.x + 10 * p.z)) > 1e-5f ||
            std::fabs(uv[1] - p.y) > 1e-5f)
            ++wrong;
        if (!g.getColorByOffset(k, c, 0) || std::fabs(c[0] - p.x) > 1e-5f || std::fabs(c[1] - p.y) > 1e-5f ||
            std::fabs(c[2] - p.z) > 1e-5f)
            ++wrong;
    }
    return wrong;
}

// The unit square as one quad with position-valued sets; edge 0 runs from (0,0) to (1,0).
inline TpolyGeom* loneQuad() {
    auto* g = new TpolyGeom;
    for (uint32_t v = 0; v < 4; ++v) g->appendVertex(float(v == 1 || v == 2), float(v >= 2), 0);
    addRingFace(*g, {0, 1, 2, 3});
    addPositionSets(*g);
    return g;
}

inline int eulerOf(const TpolyGeom& g) { return int(g.nbVertex()) - int(g.nbEdge()) + int(g.nbFace()); }

// Faces whose corner count is n.
inline uint32_t facesOfSize(TpolyGeom& g, uint32_t n) {
    g.update(dirtyFaceOffsets);
    uint32_t count = 0;
    for (uint32_t f = 0; f < g.nbFace(); ++f) count += g.faceVertexCount(f) == n;
    return count;
}

inline std::string dataPath(const char* name) { return std::string(BRINDLE_DATA_DIR) + "/" + name; }
