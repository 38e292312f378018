#pragma once

#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

#include "brindle/brindle.h"
#include "support/GridBuilder.h"

// A body holding an n x n quad grid with the UV set "map1": one UV per vertex, its position
// scaled into the unit square, shared by every corner of the vertex.
inline std::unique_ptr<TmidBody> gridBody(uint32_t n) {
    auto* g = new TpolyGeom;
    buildQuadGrid(*g, n);
    g->update(dirtyFaceOffsets);
    const uint32_t s = g->newEmptyMapSet(Tstring("map1"));
    for (uint32_t v = 0; v < g->nbVertex(); ++v) g->appendUV(g->vertexConst(v).x / n, g->vertexConst(v).y / n, s);
    for (uint32_t c = 0; c < g->faceDescLength(); ++c) g->setUVId(c, int32_t(g->getStartVertex(c)), s);
    return std::make_unique<TmidBody>(g);
}

template <typename List>
List allOf(uint32_t count) {
    List list;
    if (count) list.addRange(0, count - 1);
    return list;
}

// Every corner's UV in set s (NaN pair for an unmapped one).
inline std::vector<T2FloatPair> cornerUVs(const TpolyGeom& g, uint32_t s) {
    std::vector<T2FloatPair> out;
    for (uint32_t c = 0; c < g.faceDescLength(); ++c) {
        const int32_t id = g.getUVId(c, s);
        out.push_back(id < 0 ? T2FloatPair{NAN, NAN} : *g.uvConst(uint32_t(id), s));
    }
    return out;
}

// checkObject finds nothing and every corner's id is -1 or names a UV, in every set.
inline bool cleanRecord(const TpolyGeom& g) {
    if (g.checkObject(0x7) != 0) return false;
    for (uint32_t s = 0; s < g.nbMapSet(); ++s) {
        if (g.nbUVRef(s) != g.faceDescLength()) return false;
        for (uint32_t c = 0; c < g.faceDescLength(); ++c) {
            const int32_t id = g.getUVId(c, s);
            if (id < -1 || (id >= 0 && uint32_t(id) >= g.nbUV(s))) return false;
        }
    }
    return true;
}
